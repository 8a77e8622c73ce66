#include "frenchpass.h"

#include <QHash>
#include <QSet>
#include <QStringView>
#include <optional>

namespace ov {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// A character after which a word cannot start a trigger: it belongs to a longer token
// (« l'le », « dis-le », « 5de »).
bool gluesToNextWord(QChar c) {
    return c.isLetter() || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           c == QLatin1Char('\'') || c == QLatin1Char('-');
}

const QSet<QString>& aspiratedWords() {
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* word :
             {"hache",        "hachette",   "hacher",       "haie",     "haillon",  "haine",
              "haïr",         "haïssable",  "halage",       "hâle",     "haleter",  "hall",
              "halle",        "hallebarde", "hallebardier", "halo",     "halte",    "hamac",
              "hameau",       "hampe",      "hanche",       "handicap", "hangar",   "hanneton",
              "hanter",       "happer",     "harangue",     "haras",    "harceler", "hardes",
              "hardi",        "hardiesse",  "harem",        "hareng",   "hargne",   "hargneux",
              "haricot",      "harnais",    "harpe",        "harpie",   "harpon",   "hasard",
              "hase",         "hâte",       "hâtif",        "hausse",   "haut",     "hautain",
              "hautbois",     "hauteur",    "havre",        "havresac", "heaume",   "hennir",
              "hennissement", "hérisson",   "hernie",       "héron",    "héros",    "herse",
              "hêtre",        "heurt",      "hibou",        "hiboux",   "hic",      "hideux",
              "hiérarchie",   "hisser",     "hobereau",     "hochet",   "hockey",   "hollandais",
              "hongrois",     "homard",     "honte",        "honteux",  "hoquet",   "horde",
              "hors",         "hotte",      "houblon",      "houe",     "houille",  "houle",
              "houlette",     "houppe",     "hourra",       "housse",   "houx",     "hublot",
              "huche",        "huée",       "huguenot",     "huit",     "huitième", "hululement",
              "hune",         "huppe",      "hurlement",    "hurleur",  "hussard",  "hutte",
              "hyène",        "hollande",   "hongrie"})
            set.insert(QString::fromUtf8(word));
        return set;
    }();
    return words;
}

// The word, or the word without a final « s », « e » or « es », is in the closed list.
bool isAspirated(const QString& lower) {
    const QSet<QString>& words = aspiratedWords();
    if (words.contains(lower))
        return true;
    if (lower.endsWith(QLatin1String("es")) && words.contains(lower.chopped(2)))
        return true;
    return (lower.endsWith(QLatin1Char('s')) || lower.endsWith(QLatin1Char('e'))) &&
           words.contains(lower.chopped(1));
}

int wordEnd(const QString& line, int from) {
    while (from < line.size() && line.at(from).isLetter())
        ++from;
    return from;
}

int blanksEnd(const QString& line, int from) {
    while (from < line.size() && isBlank(line.at(from)))
        ++from;
    return from;
}

// A trigger as written: in lower case, or with its first letter alone in capital.
struct Written {
    QString lower;
    bool capital = false;
};

std::optional<Written> asWritten(QStringView word) {
    const QString lower = word.toString().toLower();
    if (word == lower)
        return Written{lower, false};
    if (word.mid(1) == QStringView(lower).mid(1) && word.at(0) != lower.at(0))
        return Written{lower, true};
    return std::nullopt;
}

QString capitalised(const QString& text, bool capital) {
    if (!capital || text.isEmpty())
        return text;
    return text.at(0).toUpper() + text.mid(1);
}

// The word that follows a trigger ending at end: one or more blanks, then a letter. Its start,
// or -1 when something else follows (a digit, « , punctuation, the end of the line).
int nextWordAfter(const QString& line, int end) {
    const int start = blanksEnd(line, end);
    if (start == end || start >= line.size() || !line.at(start).isLetter())
        return -1;
    return start;
}

struct Rewrite {
    QString text;
    int resume = 0; // where the scan goes on in the line as given
};

// The rewrite of a trigger that begins at `at` (a word start where triggers may begin).
std::optional<Rewrite> rewriteAt(const QString& line, int at) {
    const int end = wordEnd(line, at);
    const auto first = asWritten(QStringView(line).mid(at, end - at));
    if (!first)
        return std::nullopt;
    const int next = nextWordAfter(line, end);
    if (next < 0)
        return std::nullopt;
    const int nextEnd = wordEnd(line, next);
    const QString nextWord = line.mid(next, nextEnd - next);

    // Two words first: « à le », « à les », « de le », « de les ».
    if (first->lower == QStringLiteral("à") || first->lower == QStringLiteral("de")) {
        const QString second = nextWord;
        if (second == QStringLiteral("le") || second == QStringLiteral("les")) {
            const int third = nextWordAfter(line, nextEnd);
            if (third >= 0) {
                const bool de = first->lower == QStringLiteral("de");
                const QString blanksAfter = line.mid(nextEnd, third - nextEnd);
                if (second == QStringLiteral("les"))
                    return Rewrite{capitalised(de ? QStringLiteral("des") : QStringLiteral("aux"),
                                               first->capital) +
                                       blanksAfter,
                                   third};
                if (beginsWithVowelSound(line.mid(third, wordEnd(line, third) - third)))
                    return Rewrite{line.mid(at, next - at) + QStringLiteral("l'"), third};
                return Rewrite{
                    capitalised(de ? QStringLiteral("du") : QStringLiteral("au"), first->capital) +
                        blanksAfter,
                    third};
            }
        }
    }

    if (first->lower == QStringLiteral("si")) {
        const QString lower = nextWord.toLower();
        if (lower == QStringLiteral("il") || lower == QStringLiteral("ils"))
            return Rewrite{capitalised(QStringLiteral("s'"), first->capital), next};
        return std::nullopt;
    }
    if (!beginsWithVowelSound(nextWord))
        return std::nullopt;
    if (first->lower == QStringLiteral("ce"))
        return Rewrite{capitalised(QStringLiteral("cet"), first->capital), end};
    static const QHash<QString, QString> elided{{QStringLiteral("le"), QStringLiteral("l'")},
                                                {QStringLiteral("la"), QStringLiteral("l'")},
                                                {QStringLiteral("de"), QStringLiteral("d'")},
                                                {QStringLiteral("que"), QStringLiteral("qu'")},
                                                {QStringLiteral("ne"), QStringLiteral("n'")},
                                                {QStringLiteral("je"), QStringLiteral("j'")},
                                                {QStringLiteral("me"), QStringLiteral("m'")},
                                                {QStringLiteral("te"), QStringLiteral("t'")},
                                                {QStringLiteral("se"), QStringLiteral("s'")}};
    const auto found = elided.constFind(first->lower);
    if (found == elided.constEnd())
        return std::nullopt;
    return Rewrite{capitalised(*found, first->capital), next};
}

} // namespace

bool beginsWithVowelSound(const QString& word) {
    if (word.isEmpty())
        return false;
    const QString lower = word.toLower();
    static const QString vowels = QStringLiteral("aeiouàâäéèêëîïôöùûüæœ");
    if (vowels.contains(lower.at(0))) {
        static const QSet<QString> exceptions{QStringLiteral("onze"), QStringLiteral("onzième"),
                                              QStringLiteral("oui"), QStringLiteral("ouistiti")};
        return !exceptions.contains(lower);
    }
    return lower.at(0) == QLatin1Char('h') && !isAspirated(lower);
}

QString frenchPostPass(const QString& line) {
    QString out;
    out.reserve(line.size());
    int i = 0;
    while (i < line.size()) {
        if (!line.at(i).isLetter()) {
            out += line.at(i++);
            continue;
        }
        if (i == 0 || !gluesToNextWord(line.at(i - 1))) {
            if (const auto rewrite = rewriteAt(line, i)) {
                out += rewrite->text;
                i = rewrite->resume;
                continue;
            }
        }
        const int end = wordEnd(line, i);
        out += QStringView(line).mid(i, end - i);
        i = end;
    }
    return out;
}

} // namespace ov
