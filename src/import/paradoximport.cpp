#include "paradoximport.h"

#include "paradoxtable.h"
#include "tables/database.h"
#include "tables/textrules.h"
#include "tables/wording.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <cmath>
#include <initializer_list>

namespace ov {

using paradox::FieldType;
using paradox::ParadoxError;
using paradox::ParadoxTable;

namespace {

// The largest weight an element may have.
constexpr double maximumWeight = 1e9;

const char* const outputFiles[] = {"OVperso.db", "OVtresor.DB", "OVrencontre.DB", "OVvillage.db"};

// A name in a message of the import, between straight double quotes.
QString inDoubleQuotes(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString fileName(const ParadoxTable& table) {
    return QFileInfo(table.path()).fileName();
}

// The position of a field the import needs, refused when it is missing or of another kind.
int requireField(const ParadoxTable& table, const QString& name,
                 std::initializer_list<FieldType> types) {
    const int index = table.fieldIndex(name);
    if (index < 0)
        throw ParadoxError(QStringLiteral("Le fichier %1 n'a pas de champ %2 : ce n'est pas une "
                                          "table d'Orvanthe.")
                               .arg(QDir::toNativeSeparators(table.path()), name));
    for (FieldType type : types)
        if (table.fields().at(index).type == type)
            return index;
    throw ParadoxError(QStringLiteral("Le champ %1 du fichier %2 n'est pas du type attendu.")
                           .arg(name, QDir::toNativeSeparators(table.path())));
}

const std::initializer_list<FieldType> textTypes = {FieldType::Alpha, FieldType::Memo,
                                                    FieldType::FormattedMemo};
const std::initializer_list<FieldType> numberTypes = {FieldType::Number, FieldType::Currency,
                                                      FieldType::Short, FieldType::Long,
                                                      FieldType::AutoIncrement};

// A text of the file that holds a control character refuses the whole file: the import never
// stores one. A memo of generated text keeps its line ends.
const QVariant& checkedText(const ParadoxTable& table, qsizetype row, int field,
                            bool memo = false) {
    const QVariant& value = table.value(row, field);
    if (value.typeId() != QMetaType::QString)
        return value;
    const QString text = value.toString();
    const qsizetype at = firstControlCharacter(text, memo ? LineEnds::Allowed : LineEnds::Refused);
    if (at >= 0)
        throw ParadoxError(
            QStringLiteral("%1, fiche %2, champ %3 : %4 ; rien n'a été importé.")
                .arg(QDir::toNativeSeparators(table.path()))
                .arg(row + 1)
                .arg(table.fields().at(field).name, controlCharacterProblem(text, at)));
    return value;
}

QString text(const ParadoxTable& table, qsizetype row, int field) {
    return checkedText(table, row, field).toString();
}

double number(const ParadoxTable& table, qsizetype row, int field) {
    return table.value(row, field).toDouble(); // a blank number reads as 0
}

QString rowPlace(const ParadoxTable& table, qsizetype row) {
    return QStringLiteral("%1, fiche %2 : ").arg(fileName(table)).arg(row + 1);
}

ParadoxTable readRequired(const QString& folder, const QString& name) {
    const QString path = paradox::findFile(folder, name);
    if (path.isEmpty())
        throw ParadoxError(
            QStringLiteral("Le fichier %1 est introuvable dans le dossier %2.")
                .arg(name, QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath())));
    return ParadoxTable::read(path);
}

void readRandomTables(const QString& folder, ParadoxFolder& into) {
    const ParadoxTable master = readRequired(folder, QStringLiteral("OVmaster.db"));
    const ParadoxTable slave = readRequired(folder, QStringLiteral("OVslave.DB"));
    const int masterId = requireField(master, QStringLiteral("Id"), textTypes);
    const int masterName = requireField(master, QStringLiteral("Nom"), textTypes);
    const int masterCount = requireField(master, QStringLiteral("NbrElement"), numberTypes);
    const int masterTotal = requireField(master, QStringLiteral("TotProba"), numberTypes);
    const int slaveWeight = requireField(slave, QStringLiteral("Proba"), numberTypes);
    const int slaveText = requireField(slave, QStringLiteral("Element"), textTypes);
    const int slaveId = requireField(slave, QStringLiteral("ID"), textTypes);

    QHash<QString, int> indexById;
    QVector<std::pair<double, double>> storedTotals;
    for (qsizetype row = 0; row < master.rowCount(); ++row) {
        const QString id = text(master, row, masterId);
        QString name = text(master, row, masterName);
        const auto skip = [&](const QString& reason) {
            into.skipped.append(rowPlace(master, row) + reason);
        };
        if (id.isEmpty()) {
            skip(QStringLiteral("table sans Id"));
            continue;
        }
        if (id.size() > width::TableId) {
            skip(QStringLiteral("Id %1 trop long (%2 caractères au plus)")
                     .arg(inDoubleQuotes(id))
                     .arg(width::TableId));
            continue;
        }
        if (indexById.contains(id)) {
            skip(QStringLiteral("la table %1 apparaît deux fois").arg(inDoubleQuotes(id)));
            continue;
        }
        if (name.size() > width::TableName) {
            into.notes.append(rowPlace(master, row) +
                              QStringLiteral("nom de la table %1 coupé à %2 caractères")
                                  .arg(inDoubleQuotes(id))
                                  .arg(width::TableName));
            name = cutToWidth(name, width::TableName);
        }
        indexById.insert(id, int(into.tables.size()));
        into.tables.append(RandomTable{id, name, {}, 0});
        storedTotals.append({number(master, row, masterCount), number(master, row, masterTotal)});
    }

    for (qsizetype row = 0; row < slave.rowCount(); ++row) {
        const QString id = text(slave, row, slaveId);
        QString element = text(slave, row, slaveText);
        const double weight = number(slave, row, slaveWeight);
        const auto skip = [&](const QString& reason) {
            into.skipped.append(rowPlace(slave, row) + reason);
        };
        const auto found = indexById.constFind(id);
        if (found == indexById.constEnd()) {
            skip(QStringLiteral("élément %1 d'une table %2 absente de %3")
                     .arg(inDoubleQuotes(element), inDoubleQuotes(id), fileName(master)));
            continue;
        }
        if (!std::isfinite(weight) || weight < 0 || weight > maximumWeight) {
            skip(QStringLiteral("élément %1 de la table %2 : poids %3 incorrect (de 0 à "
                                "1 000 000 000)")
                     .arg(inDoubleQuotes(element), inDoubleQuotes(id), formatWeight(weight)));
            continue;
        }
        if (element.size() > width::Element) {
            into.notes.append(rowPlace(slave, row) +
                              QStringLiteral("élément %1 coupé à %2 caractères")
                                  .arg(inDoubleQuotes(element))
                                  .arg(width::Element));
            element = cutToWidth(element, width::Element);
        }
        into.tables[*found].elements.append(TableElement{element, weight});
    }

    // The stored totals, read as whole numbers, against those of the elements brought in.
    for (qsizetype i = 0; i < into.tables.size(); ++i) {
        const RandomTable& table = into.tables.at(i);
        double sum = 0;
        for (const TableElement& element : table.elements)
            sum += element.weight;
        const qint64 storedCount = roundHalfEven(storedTotals.at(i).first);
        const qint64 storedSum = roundHalfEven(storedTotals.at(i).second);
        if (storedCount != table.elements.size() || storedSum != roundHalfEven(sum))
            into.staleTotals.append(
                QStringLiteral("%1 : %2 éléments et %3 de poids notés, %4 et %5 recomptés")
                    .arg(inDoubleQuotes(table.id))
                    .arg(storedCount)
                    .arg(storedSum)
                    .arg(table.elements.size())
                    .arg(formatWeight(sum)));
    }
}

void readOutputTable(const QString& folder, OutputKind kind, const QString& name,
                     ParadoxFolder& into) {
    const QString path = paradox::findFile(folder, name);
    if (path.isEmpty()) {
        into.notes.append(QStringLiteral("%1 absent : table passée").arg(name));
        return;
    }
    const ParadoxTable table = ParadoxTable::read(path);
    const OutputTable& shape = outputTable(kind);
    const int id = requireField(table, QStringLiteral("Id"), numberTypes);
    const int textField = requireField(table, shape.textField, textTypes);
    const int stringField = requireField(table, shape.stringField, textTypes);
    const int created = requireField(table, QStringLiteral("DateCreation"),
                                     {FieldType::Date, FieldType::Timestamp});
    const int printed = requireField(table, QStringLiteral("DateImprime"), textTypes);

    ParadoxFolder::Records records{kind, fileName(table), {}};
    records.records.reserve(table.rowCount());
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        QVariant day = table.value(row, created);
        if (day.typeId() == QMetaType::QDateTime)
            day = day.toDateTime().date();
        records.records.append(StoredRecord{
            table.value(row, id), checkedText(table, row, textField, true),
            checkedText(table, row, stringField), day, checkedText(table, row, printed)});
    }
    into.outputs.append(records);
}

// Raised inside the transaction of a dry run so that everything is rolled back.
struct DryRunRollback {};

} // namespace

ParadoxFolder readParadoxFolder(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        throw ParadoxError(
            QStringLiteral("Le dossier %1 est introuvable.")
                .arg(QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath())));
    ParadoxFolder read;
    read.folder = folder;
    readRandomTables(folder, read);
    int i = 0;
    for (OutputKind kind : allOutputKinds)
        readOutputTable(folder, kind, QLatin1String(outputFiles[i++]), read);
    return read;
}

ParadoxImportReport importParadoxFolder(const Database& database, const QString& folder,
                                        ImportMode mode, bool dryRun) {
    ParadoxImportReport report;
    report.read = readParadoxFolder(folder);
    const ParadoxFolder& read = report.read;

    // Every conflict is listed at once, before anything is written.
    QStringList conflicts;
    for (const RandomTable& table : read.tables)
        if (database
                .scalar(QStringLiteral("SELECT count(*) FROM OVmaster WHERE Id = ?"), {table.id})
                .toInt() > 0)
            conflicts.append(QStringLiteral("la table %1 existe déjà dans la base")
                                 .arg(inDoubleQuotes(table.id)));
    for (const ParadoxFolder::Records& output : read.outputs) {
        const int existing = recordCount(database, output.kind);
        if (existing > 0)
            conflicts.append(QStringLiteral("la table %1 de la base contient déjà %2")
                                 .arg(outputTable(output.kind).table,
                                      plural(existing, QStringLiteral("enregistrement"),
                                             QStringLiteral("enregistrements"))));
    }
    if (mode == ImportMode::AddOnly && !conflicts.isEmpty())
        throw TableConflictError(conflicts);

    try {
        database.transaction([&] {
            report.replacedTables = importTables(database, read.tables, mode).replaced;
            for (const ParadoxFolder::Records& output : read.outputs) {
                deleteRecords(database, output.kind);
                insertRecords(database, output.kind, output.records);
            }
            if (dryRun)
                throw DryRunRollback();
        });
        report.written = true;
    } catch (const DryRunRollback&) {
        report.written = false;
    }
    return report;
}

QString ParadoxImportReport::text() const {
    QStringList lines;
    lines.append(QStringLiteral("Dossier Paradox : %1").arg(QDir::toNativeSeparators(read.folder)));
    int elements = 0;
    for (const RandomTable& table : read.tables)
        elements += int(table.elements.size());
    lines.append(
        QStringLiteral("Tables aléatoires : %1, %2")
            .arg(plural(read.tables.size(), QStringLiteral("table"), QStringLiteral("tables")),
                 plural(elements, QStringLiteral("élément"), QStringLiteral("éléments"))));
    for (const ParadoxFolder::Records& output : read.outputs)
        lines.append(QStringLiteral("%1 : %2").arg(
            output.file, plural(output.records.size(), QStringLiteral("enregistrement"),
                                QStringLiteral("enregistrements"))));
    for (const QString& note : read.notes)
        lines.append(note);
    if (!read.staleTotals.isEmpty()) {
        lines.append(QStringLiteral("Totaux périmés, recomptés :"));
        for (const QString& stale : read.staleTotals)
            lines.append(QStringLiteral("  ") + stale);
    }
    if (!read.skipped.isEmpty()) {
        lines.append(QStringLiteral("Fiches écartées :"));
        for (const QString& skipped : read.skipped)
            lines.append(QStringLiteral("  ") + skipped);
    }
    if (!written)
        lines.append(QStringLiteral("Essai seulement : rien n'a été écrit dans la base."));
    else if (replacedTables > 0)
        lines.append(QStringLiteral("Import terminé (%1).")
                         .arg(plural(replacedTables, QStringLiteral("table remplacée"),
                                     QStringLiteral("tables remplacées"))));
    else
        lines.append(QStringLiteral("Import terminé."));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace ov
