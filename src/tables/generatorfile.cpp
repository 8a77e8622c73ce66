#include "generatorfile.h"

#include "errors.h"
#include "savefile.h"
#include "textrules.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

namespace ov {

namespace {

constexpr int maxIdLength = 20;
constexpr int maxNomLength = 60;

const QString headerEnd = QStringLiteral("---");

// Room for the header of a generator file beyond its template: a file larger than the template's
// limit and this is refused without being read.
constexpr qint64 maxHeaderBytes = 64 * 1024;

QString tooManyBytes() {
    return QStringLiteral("modèle trop long (limite : 1 000 000 octets en UTF-8)");
}

// The text of a file read as UTF-8; raises Error naming the first line that is not.
QString decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    // Lines are split on the bytes: no UTF-8 sequence holds a line feed.
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        QStringDecoder line(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = line.decode(lines.at(n));
        if (line.hasError())
            throw Error(QStringLiteral("Ligne %1 : texte qui n'est pas en UTF-8").arg(n + 1));
    }
    throw Error(QStringLiteral("Texte qui n'est pas en UTF-8"));
}

} // namespace

std::optional<QString> templateSizeProblem(const QString& modele) {
    qint64 bytes = 0;
    int lines = 0;
    bool pending = false; // a line has begun and not ended
    for (qsizetype i = 0; i < modele.size(); ++i) {
        const char16_t c = modele.at(i).unicode();
        // A pair of surrogates is four bytes in UTF-8, a lone one the three of its replacement.
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : QChar::isSurrogate(c) ? 2 : 3;
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < modele.size() && modele.at(i + 1) == QLatin1Char('\n')) {
                ++i;
                ++bytes;
            }
            ++lines;
            pending = false;
        } else {
            pending = true;
        }
        if (bytes > maxTemplateBytes)
            return tooManyBytes();
        if (lines + (pending ? 1 : 0) > maxTemplateLines)
            return QStringLiteral("modèle trop long (limite : 10 000 lignes)");
    }
    return std::nullopt;
}

// The line and column (both from 1) of an index in a text whose lines end in CR LF, CR or LF.
std::pair<int, int> placeInText(const QString& text, int index) {
    int line = 1;
    int lineStart = 0;
    for (int i = 0; i < index; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < index && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            ++line;
            lineStart = i + 1;
        }
    }
    return {line, index - lineStart + 1};
}

std::optional<QString> idProblem(const QString& id) {
    if (id.isEmpty() || id.size() > maxIdLength)
        return QStringLiteral("L'Id « %1 » doit avoir de 1 à %2 caractères")
            .arg(id)
            .arg(maxIdLength);
    for (QChar c : id)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'))
            return QStringLiteral("L'Id « %1 » ne peut contenir que des lettres, des chiffres,"
                                  " « - » et « _ »")
                .arg(id);
    static const QStringList builtIn{QStringLiteral("perso"), QStringLiteral("tresor"),
                                     QStringLiteral("trésor"), QStringLiteral("rencontre"),
                                     QStringLiteral("village")};
    for (const QString& kind : builtIn)
        if (id.compare(kind, Qt::CaseInsensitive) == 0)
            return QStringLiteral("L'Id « %1 » est celui d'un générateur intégré").arg(id);
    return std::nullopt;
}

std::optional<QString> nomProblem(const QString& nom) {
    if (nom.trimmed().isEmpty() || nom.size() > maxNomLength)
        return QStringLiteral("Le nom « %1 » doit avoir de 1 à %2 caractères")
            .arg(nom)
            .arg(maxNomLength);
    if (nom.contains(QLatin1Char('\n')) || nom.contains(QLatin1Char('\r')))
        return QStringLiteral("Le nom « %1 » doit tenir sur une ligne").arg(nom);
    if (const int at = firstControlCharacter(nom); at >= 0)
        return QStringLiteral("Le nom contient un %1").arg(controlCharacterText(nom.at(at)));
    return std::nullopt;
}

QString generatorFileText(const PersonalGenerator& generator) {
    QString header = QStringLiteral("Id: ") + generator.id + QStringLiteral("\nNom: ") +
                     generator.nom + QLatin1Char('\n');
    if (generator.francais)
        header += QStringLiteral("Français: oui\n");
    if (generator.raccourci > 0)
        header += QStringLiteral("Raccourci: ") + QString::number(generator.raccourci) +
                  QLatin1Char('\n');
    return header + headerEnd + QLatin1Char('\n') + generator.modele;
}

PersonalGenerator readGeneratorFile(const QString& source) {
    QString text = source;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    if (const int at = firstControlCharacter(text, LineEnds::Allowed); at >= 0) {
        const auto [line, column] = placeInText(text, at);
        throw Error(QStringLiteral("Ligne %1, colonne %2 : %3")
                        .arg(line)
                        .arg(column)
                        .arg(controlCharacterText(text.at(at))));
    }
    PersonalGenerator generator;
    bool hasId = false, hasNom = false;
    int pos = 0;
    int lineNumber = 0;
    while (true) {
        if (pos >= text.size())
            throw Error(QStringLiteral("La ligne « --- » qui sépare l'en-tête du modèle manque"));
        int end = pos;
        while (end < text.size() && text.at(end) != QLatin1Char('\r') &&
               text.at(end) != QLatin1Char('\n'))
            ++end;
        const QString line = text.mid(pos, end - pos);
        ++lineNumber;
        if (end + 1 < text.size() && text.at(end) == QLatin1Char('\r') &&
            text.at(end + 1) == QLatin1Char('\n'))
            pos = end + 2;
        else
            pos = qMin(end + 1, int(text.size()));
        if (line.trimmed() == headerEnd)
            break;
        if (line.trimmed().isEmpty())
            continue;
        const int colon = int(line.indexOf(QLatin1Char(':')));
        if (colon < 0)
            throw Error(
                QStringLiteral("Ligne %1 de l'en-tête : « Clé: valeur » attendu").arg(lineNumber));
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        if (key.compare(QStringLiteral("Id"), Qt::CaseInsensitive) == 0) {
            generator.id = value;
            hasId = true;
        } else if (key.compare(QStringLiteral("Nom"), Qt::CaseInsensitive) == 0) {
            generator.nom = value;
            hasNom = true;
        } else if (key.compare(QStringLiteral("Français"), Qt::CaseInsensitive) == 0) {
            generator.francais = value.compare(QStringLiteral("oui"), Qt::CaseInsensitive) == 0;
        } else if (key.compare(QStringLiteral("Raccourci"), Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int number = value.toInt(&ok);
            if (!ok || number < 1 || number > maxShortcutNumber)
                throw Error(QStringLiteral("Ligne %1 de l'en-tête : le raccourci « %2 » doit être"
                                           " un nombre de 1 à %3")
                                .arg(lineNumber)
                                .arg(value)
                                .arg(maxShortcutNumber));
            generator.raccourci = number;
        }
    }
    if (!hasId)
        throw Error(QStringLiteral("L'en-tête ne donne pas d'Id"));
    if (!hasNom)
        throw Error(QStringLiteral("L'en-tête ne donne pas de Nom"));
    if (auto problem = idProblem(generator.id))
        throw Error(*problem);
    if (auto problem = nomProblem(generator.nom))
        throw Error(*problem);
    generator.modele = text.mid(pos);
    if (auto problem = templateSizeProblem(generator.modele))
        throw Error(*problem);
    return generator;
}

QList<PersonalGenerator> readGeneratorFiles(const QStringList& paths) {
    QList<PersonalGenerator> generators;
    for (const QString& path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("Impossible de lire le fichier %1 : %2")
                            .arg(path, file.errorString()));
        try {
            if (file.size() > maxTemplateBytes + maxHeaderBytes)
                throw Error(tooManyBytes());
            generators.append(readGeneratorFile(decodeUtf8(file.readAll())));
        } catch (const Error& error) {
            throw Error(path + QStringLiteral(" : ") + error.message());
        }
    }
    return generators;
}

void writeGeneratorFile(const PersonalGenerator& generator, const QString& path) {
    OutputFile file(path);
    if (!file.open())
        throw Error(cannotWriteMessage(path, file.errorString()));
    if (file.device().write(generatorFileText(generator).toUtf8()) < 0) {
        const QString reason = file.device().errorString();
        file.cancel();
        throw Error(cannotWriteMessage(path, reason));
    }
    const QString failure = file.commit();
    if (!failure.isEmpty())
        throw Error(cannotWriteMessage(path, failure));
}

} // namespace ov
