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

bool isPlural(Gender tag) {
    return tag == Gender::MP || tag == Gender::FP;
}

bool isFeminine(Gender tag) {
    return tag == Gender::F || tag == Gender::FP;
}

} // namespace

TaggedText splitGenderTag(const QString& element) {
    const int at = int(element.lastIndexOf(QLatin1Char('@')));
    if (at < 0)
        return {element, Gender::None};
    static const QHash<QString, Gender> tags{{QStringLiteral("m"), Gender::M},
                                             {QStringLiteral("f"), Gender::F},
                                             {QStringLiteral("mp"), Gender::MP},
                                             {QStringLiteral("fp"), Gender::FP}};
    const auto tag = tags.constFind(element.mid(at + 1));
    if (tag == tags.constEnd())
        return {element, Gender::None};
    int start = at;
    while (start > 0 && isBlank(element.at(start - 1)))
        --start;
    if (start == at && at > 0) // « a@f »: no blank before, no tag
        return {element, Gender::None};
    return {element.left(start), *tag};
}

std::optional<QString> agreeingArticle(const QString& word, Gender tag) {
    static const QHash<QString, QStringList> articles{
        {QStringLiteral("le"), {QStringLiteral("le"), QStringLiteral("la"), QStringLiteral("les")}},
        {QStringLiteral("un"),
         {QStringLiteral("un"), QStringLiteral("une"), QStringLiteral("des")}},
        {QStringLiteral("de"),
         {QStringLiteral("de le"), QStringLiteral("de la"), QStringLiteral("de les")}},
        {QStringLiteral("à"),
         {QStringLiteral("à le"), QStringLiteral("à la"), QStringLiteral("à les")}},
        {QStringLiteral("ce"),
         {QStringLiteral("ce"), QStringLiteral("cette"), QStringLiteral("ces")}}};
    const auto written = asWritten(word);
    if (!written)
        return std::nullopt;
    const auto found = articles.constFind(written->lower);
    if (found == articles.constEnd())
        return std::nullopt;
    const int column = isPlural(tag) ? 2 : isFeminine(tag) ? 1 : 0;
    return capitalised(found->at(column), written->capital);
}

QString agreeingForm(const QString& expanded, Gender tag) {
    const QStringList parts = expanded.split(QLatin1Char('/'));
    if (parts.size() == 4)
        return parts.at(tag == Gender::FP ? 3 : tag == Gender::MP ? 2 : tag == Gender::F ? 1 : 0);
    if (parts.size() > 2)
        return expanded;
    QString form = parts.size() == 2 && isFeminine(tag) ? parts.at(1) : parts.at(0);
    static const QString sibilants = QStringLiteral("sxzSXZ");
    if (isPlural(tag) && !form.isEmpty() && !sibilants.contains(form.back()))
        form += QLatin1Char('s');
    return form;
}

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
