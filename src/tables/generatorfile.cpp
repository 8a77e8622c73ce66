#include "generatorfile.h"

#include "errors.h"
#include "savefile.h"

#include <QFile>

#include <QStringList>

namespace ov {

namespace {

constexpr int maxIdLength = 20;
constexpr int maxNomLength = 60;

const QString headerEnd = QStringLiteral("---");

} // namespace

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
            generators.append(readGeneratorFile(QString::fromUtf8(file.readAll())));
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
