#pragma once
// A personal generator as stored and shared: its Id and Nom rules and its file (.ovgen).

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace ov {

struct PersonalGenerator {
    QString id;
    QString nom;
    QString modele;
    QDateTime modified;    // as stored; invalid before it is
    bool francais = false; // the French post-pass runs on its lines
    int raccourci = 0;     // the pinned shortcut number, 1 to 9; 0 when none is pinned
};

// The largest template: refused before it is parsed when longer.
inline constexpr qint64 maxTemplateBytes = 1000000; // in UTF-8
inline constexpr int maxTemplateLines = 10000;

// « modèle trop long (limite : …) » when a template is beyond either limit, or nothing. Counts
// without splitting the text, and stops as soon as a limit is passed.
std::optional<QString> templateSizeProblem(const QString& modele);

// The line and column (both from 1) of an index in a text whose lines end in CR LF, CR or LF.
std::pair<int, int> placeInText(const QString& text, int index);

// What is wrong with an Id or a Nom, in French, or nothing.
std::optional<QString> idProblem(const QString& id);
std::optional<QString> nomProblem(const QString& nom);

// Pinned shortcut numbers: 1 to 9.
inline constexpr int maxShortcutNumber = 9;

// The file of one generator (.ovgen): "Id: ..." and "Nom: ..." lines ("Français: oui" and
// "Raccourci: N" when set), a line "---", then the template as it is.
QString generatorFileText(const PersonalGenerator& generator);
// Reads such a text; raises Error with a French message when it is not one (a control character
// is told with its line and column in the file, a template too long with the limit).
PersonalGenerator readGeneratorFile(const QString& text);

// Reads .ovgen files: all of them or none; raises Error naming the file that fails. A file that is
// not UTF-8 is refused with its line; a file far beyond the template's size is refused unread.
QList<PersonalGenerator> readGeneratorFiles(const QStringList& paths);

// Writes one generator's .ovgen file whole or not at all; raises Error.
void writeGeneratorFile(const PersonalGenerator& generator, const QString& path);

} // namespace ov
