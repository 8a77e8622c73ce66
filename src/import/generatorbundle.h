#pragma once
// A personal generator shared with the tables it draws from: one text file (.ovpack) written from
// a store and brought into another, all or nothing.

#include "tables/generatorfile.h"
#include "tables/tablefile.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace ov {

class Database;

// The version of the bundle's text that this program writes and reads.
inline constexpr int bundleVersion = 1;

struct GeneratorBundle {
    PersonalGenerator generator;
    RandomTables tables; // every table it names, directly or through element texts
    QStringList missing; // tables it names that the store does not have
};

// The generator with every table of the store that it draws from, following its template and
// the texts of the elements it may draw. Raises Error when the generator is unknown or its
// template has a syntax error.
GeneratorBundle bundleOf(const Database& database, const QString& generatorId);

// The bundle's text: « Paquet Orvanthe: 1 », then « Générateur: N lignes » and the lines of the
// generator's .ovgen file, then « Tables: M lignes » and the lines of its tables' CSV file.
QString bundleText(const GeneratorBundle& bundle);
// Reads it; raises Error with a French message naming the line that is wrong.
GeneratorBundle readBundle(const QString& text);

GeneratorBundle readBundleFile(const QString& path);
void writeBundleFile(const GeneratorBundle& bundle, const QString& path);

// What to do with a table of the bundle whose Id the store gives to a different table (a table
// with the same elements is always reused).
enum class BundleClash { Refuse, Rename, Replace };

struct BundleImport {
    QString generatorId;                 // as stored
    bool generatorReused = false;        // the store had it already, the same
    QStringList added, reused, replaced; // table Ids as stored
    QHash<QString, QString> renamed;     // the bundle's Id -> the Id given
};

// Brings the bundle into the store in one transaction. With Refuse, a different table or a
// different generator under the same Id makes it all refused (Error listing them); Rename gives
// them free Ids and rewrites the template and the element texts to them; Replace replaces them.
BundleImport importBundle(const Database& database, GeneratorBundle bundle, BundleClash clash);

// What an import did, in French, one line per fact.
QStringList bundleImportText(const BundleImport& done);

} // namespace ov
