#pragma once
// A personal generator as stored and shared: its Id and Nom rules and its file (.ovgen).

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ov {

struct PersonalGenerator {
    QString id;
    QString nom;
    QString modele;
    QDateTime modified;    // as stored; invalid before it is
    bool francais = false; // the French post-pass runs on its lines
    int raccourci = 0;     // the pinned shortcut number, 1 to 9; 0 when none is pinned
};

// What is wrong with an Id or a Nom, in French, or nothing.
std::optional<QString> idProblem(const QString& id);
std::optional<QString> nomProblem(const QString& nom);

// Pinned shortcut numbers: 1 to 9.
inline constexpr int maxShortcutNumber = 9;

// The file of one generator (.ovgen): "Id: ..." and "Nom: ..." lines ("Français: oui" and
// "Raccourci: N" when set), a line "---", then the template as it is.
QString generatorFileText(const PersonalGenerator& generator);
// Reads such a text; raises Error with a French message when it is not one.
PersonalGenerator readGeneratorFile(const QString& text);

// Reads .ovgen files: all of them or none; raises Error naming the file that fails.
QList<PersonalGenerator> readGeneratorFiles(const QStringList& paths);

// Writes one generator's .ovgen file whole or not at all; raises Error.
void writeGeneratorFile(const PersonalGenerator& generator, const QString& path);

} // namespace ov
