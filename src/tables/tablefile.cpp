#include "tablefile.h"

#include "database.h"
#include "savefile.h"
#include "textrules.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <cmath>
#include <optional>

namespace ov {

namespace {

// More problems than this are summed up in one last line.
constexpr int maxListedProblems = 20;

QString joinProblems(const QStringList& problems) {
    return problems.join(QLatin1Char('\n'));
}

// Splits one line into its fields. Quoted fields may hold separators and doubled quotes; a quote
// inside an unquoted field is taken as it is. Returns the problem when the line is malformed.
std::optional<QString> splitFields(const QString& line, QChar separator, QStringList& fields) {
    fields.clear();
    int i = 0;
    const int size = int(line.size());
    while (true) {
        QString field;
        if (i < size && line.at(i) == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < size) {
                if (line.at(i) == QLatin1Char('"')) {
                    if (i + 1 < size && line.at(i + 1) == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                field += line.at(i++);
            }
            if (!closed)
                return QStringLiteral("guillemet non fermé (un champ ne peut pas s'étendre sur "
                                      "plusieurs lignes)");
            if (i < size && line.at(i) != separator)
                return QStringLiteral("caractère inattendu après un champ entre guillemets");
        } else {
            const qsizetype comma = line.indexOf(separator, i);
            const int end = comma < 0 ? size : int(comma);
            field = line.mid(i, end - i);
            i = end;
        }
        fields.append(field);
        if (i >= size)
            return std::nullopt;
        ++i; // the separator
    }
}

QString csvField(const QString& text) {
    const bool needsQuotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                             text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    if (!needsQuotes)
        return text;
    QString escaped = text;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

enum Column { IdColumn, NameColumn, ElementColumn, WeightColumn, ColumnCount };

const char* const columnNames[ColumnCount] = {"Id", "Nom", "Element", "Proba"};

QString moreProblems(int count) {
    return QStringLiteral("… et %1 autre(s) problème(s)").arg(count);
}

// The first problems of a list, the others counted.
QStringList listed(const QStringList& problems) {
    if (problems.size() <= maxListedProblems)
        return problems;
    return problems.mid(0, maxListedProblems)
           << moreProblems(int(problems.size()) - maxListedProblems);
}

// Collects problems; past the limit they are only counted.
class Problems {
public:
    void add(int line, const QString& text) {
        add(QStringLiteral("ligne %1 : %2").arg(line).arg(text));
    }
    void add(const QString& text) {
        if (m_list.size() < maxListedProblems)
            m_list.append(text);
        else
            ++m_more;
    }
    bool any() const { return !m_list.isEmpty(); }
    [[noreturn]] void raise() const {
        QStringList all = m_list;
        if (m_more > 0)
            all.append(moreProblems(m_more));
        throw TableFileError(all);
    }

private:
    QStringList m_list;
    int m_more = 0;
};

} // namespace

TableFileError::TableFileError(QStringList problems)
    : Error(joinProblems(problems)), m_problems(std::move(problems)) {}

QString formatWeight(double weight) {
    if (std::isfinite(weight) && weight == std::trunc(weight) && std::fabs(weight) < 1e15)
        return QString::number(qint64(weight));
    return QString::number(weight, 'g', QLocale::FloatingPointShortest);
}

namespace {

// One line of the file below the header: a table's element, or a table declared without one.
struct TableRow {
    QString id;
    QString name;
    QString text;
    QString weightText;
    std::optional<double> weight;
    bool declaresEmptyTable() const { return text.isEmpty() && weightText.isEmpty(); }
};

// The reading of a table file in the order the file is written: UTF-8 lines of CSV fields, the
// header line naming the columns, then one row per line. Every problem is gathered with its line;
// a problem before the header ends the reading at once.
class TableFileReader {
public:
    RandomTables read(const QByteArray& bytes);

private:
    // The fields of one line, or nothing when the line is blank or has a problem (then noted).
    std::optional<QStringList> fieldsOf(int lineNumber, QByteArray raw);
    void lineProblem(int lineNumber, const QString& problem);
    void readHeader(int lineNumber, const QStringList& fields);
    void readRow(int lineNumber, const QStringList& fields);
    // The cells of a row against the columns' rules; false when the row is refused.
    bool checkRow(int lineNumber, const QStringList& fields, TableRow& row);
    void addRow(int lineNumber, const TableRow& row);
    // After the last line: the header was there, and no table declared empty has elements.
    void finish();

    Problems m_problems;
    bool m_headerSeen = false;
    int m_columns[ColumnCount] = {-1, -1, -1, -1};
    int m_fieldCount = 0;
    RandomTables m_tables;
    QHash<QString, int> m_indexById;
    QHash<QString, int> m_emptyDeclarationLine; // tables declared without elements, by Id
    // Commas, or semicolons where the header has no comma (what French spreadsheets write).
    QChar m_separator = QLatin1Char(',');
};

RandomTables TableFileReader::read(const QByteArray& bytes) {
    QByteArray content = bytes;
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    // Lines are split on the bytes: no UTF-8 sequence holds a line feed, so a bad sequence is
    // reported on its own line.
    const QList<QByteArray> rawLines = content.split('\n');
    for (int n = 0; n < rawLines.size(); ++n) {
        const int lineNumber = n + 1;
        const std::optional<QStringList> fields = fieldsOf(lineNumber, rawLines.at(n));
        if (!fields)
            continue;
        if (m_headerSeen)
            readRow(lineNumber, *fields);
        else
            readHeader(lineNumber, *fields);
    }
    finish();
    return m_tables;
}

std::optional<QStringList> TableFileReader::fieldsOf(int lineNumber, QByteArray raw) {
    if (raw.endsWith('\r'))
        raw.chop(1);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString line = decoder.decode(raw);
    if (decoder.hasError()) {
        lineProblem(lineNumber, QStringLiteral("texte qui n'est pas en UTF-8"));
        return std::nullopt;
    }
    if (line.trimmed().isEmpty())
        return std::nullopt;
    if (!m_headerSeen && !line.contains(QLatin1Char(',')) && line.contains(QLatin1Char(';')))
        m_separator = QLatin1Char(';');
    QStringList fields;
    if (const auto problem = splitFields(line, m_separator, fields)) {
        lineProblem(lineNumber, *problem);
        return std::nullopt;
    }
    return fields;
}

void TableFileReader::lineProblem(int lineNumber, const QString& problem) {
    m_problems.add(lineNumber, problem);
    if (!m_headerSeen)
        m_problems.raise();
}

void TableFileReader::readHeader(int lineNumber, const QStringList& fields) {
    m_headerSeen = true;
    m_fieldCount = int(fields.size());
    for (int f = 0; f < fields.size(); ++f) {
        const QString name = fields.at(f).trimmed();
        int column = -1;
        for (int c = 0; c < ColumnCount; ++c) {
            if (name.compare(QLatin1String(columnNames[c]), Qt::CaseInsensitive) == 0)
                column = c;
        }
        if (column < 0)
            m_problems.add(lineNumber,
                           QStringLiteral("colonne %1 inconnue dans l'en-tête").arg(quoted(name)));
        else if (m_columns[column] >= 0)
            m_problems.add(lineNumber,
                           QStringLiteral("colonne %1 en double dans l'en-tête").arg(quoted(name)));
        else
            m_columns[column] = f;
    }
    for (int c = 0; c < ColumnCount; ++c) {
        if (m_columns[c] < 0)
            m_problems.add(lineNumber, QStringLiteral("colonne %1 absente de l'en-tête")
                                           .arg(quoted(QLatin1String(columnNames[c]))));
    }
    if (m_problems.any()) {
        m_problems.add(
            QStringLiteral("L'en-tête attendu est : %1").arg(QLatin1String(tableFileHeader)));
        m_problems.raise();
    }
}

void TableFileReader::readRow(int lineNumber, const QStringList& fields) {
    if (fields.size() != m_fieldCount) {
        m_problems.add(lineNumber, QStringLiteral("%1 colonnes attendues, %2 trouvées")
                                       .arg(m_fieldCount)
                                       .arg(fields.size()));
        return;
    }
    TableRow row{fields.at(m_columns[IdColumn]),
                 fields.at(m_columns[NameColumn]),
                 fields.at(m_columns[ElementColumn]),
                 fields.at(m_columns[WeightColumn]),
                 {}};
    if (checkRow(lineNumber, fields, row))
        addRow(lineNumber, row);
}

bool TableFileReader::checkRow(int lineNumber, const QStringList& fields, TableRow& row) {
    bool rowOk = true;
    const auto refuse = [&](const QString& problem) {
        m_problems.add(lineNumber, problem);
        rowOk = false;
    };
    for (int c = 0; c < ColumnCount; ++c) {
        const QString& field = fields.at(m_columns[c]);
        if (const qsizetype at = firstControlCharacter(field); at >= 0)
            refuse(controlCharacterProblem(field, at) +
                   QStringLiteral(" dans la colonne %1").arg(QLatin1String(columnNames[c])));
    }
    if (row.id.isEmpty())
        refuse(QStringLiteral("identifiant de table vide"));
    else if (characterCount(row.id) > width::TableId)
        refuse(QStringLiteral("identifiant de table %1 trop long (%2 caractères au plus)")
                   .arg(quoted(row.id))
                   .arg(width::TableId));
    if (characterCount(row.name) > width::TableName)
        refuse(QStringLiteral("nom de table trop long (%1 caractères, %2 au plus)")
                   .arg(characterCount(row.name))
                   .arg(width::TableName));
    if (characterCount(row.text) > width::Element)
        refuse(QStringLiteral("élément trop long (%1 caractères, %2 au plus)")
                   .arg(characterCount(row.text))
                   .arg(width::Element));
    if (!row.declaresEmptyTable()) {
        if (row.weightText.isEmpty())
            refuse(QStringLiteral("poids manquant"));
        else if (const auto whole = parseElementWeight(row.weightText))
            row.weight = double(*whole);
        else
            refuse(QStringLiteral("poids %1 incorrect (%2 est attendu)")
                       .arg(quoted(row.weightText), elementWeightRule()));
    }
    return rowOk;
}

void TableFileReader::addRow(int lineNumber, const TableRow& row) {
    auto found = m_indexById.constFind(row.id);
    if (found == m_indexById.constEnd()) {
        found = m_indexById.insert(row.id, int(m_tables.size()));
        m_tables.append(RandomTable{row.id, row.name, {}, lineNumber});
    }
    RandomTable& table = m_tables[*found];
    if (table.name != row.name) {
        m_problems.add(lineNumber, QStringLiteral("la table %1 porte le nom %2 à la ligne %3")
                                       .arg(quoted(row.id), quoted(table.name))
                                       .arg(table.line));
        return;
    }
    if (!row.declaresEmptyTable()) {
        table.elements.append(TableElement{row.text, *row.weight});
        return;
    }
    if (m_emptyDeclarationLine.contains(row.id))
        m_problems.add(lineNumber,
                       QStringLiteral("la table %1 est déjà déclarée vide à la ligne %2")
                           .arg(quoted(row.id))
                           .arg(m_emptyDeclarationLine.value(row.id)));
    else
        m_emptyDeclarationLine.insert(row.id, lineNumber);
}

void TableFileReader::finish() {
    if (!m_headerSeen)
        m_problems.add(QStringLiteral("Le fichier est vide : la ligne d'en-tête « %1 » manque.")
                           .arg(QLatin1String(tableFileHeader)));
    for (auto it = m_emptyDeclarationLine.constBegin(); it != m_emptyDeclarationLine.constEnd();
         ++it) {
        const RandomTable& table = m_tables.at(m_indexById.value(it.key()));
        if (!table.elements.isEmpty())
            m_problems.add(it.value(),
                           QStringLiteral("ligne sans élément ni poids pour la table %1, qui a "
                                          "des éléments (une telle ligne déclare une table vide)")
                               .arg(quoted(it.key())));
    }
    if (m_problems.any())
        m_problems.raise();
}

} // namespace

RandomTables parseTableFile(const QByteArray& bytes) {
    return TableFileReader().read(bytes);
}

RandomTables readTableFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TableFileError({QStringLiteral("Impossible de lire le fichier %1 : %2")
                                  .arg(path, file.errorString())});
    return parseTableFile(file.readAll());
}

QByteArray formatTableFile(const RandomTables& tables) {
    QString text = QLatin1String(tableFileHeader) + QLatin1Char('\n');
    for (const RandomTable& table : tables) {
        const QString head =
            csvField(table.id) + QLatin1Char(',') + csvField(table.name) + QLatin1Char(',');
        if (table.elements.isEmpty())
            text += head + QStringLiteral(",\n");
        for (const TableElement& element : table.elements)
            text += head + csvField(element.text) + QLatin1Char(',') +
                    formatWeight(element.weight) + QLatin1Char('\n');
    }
    return text.toUtf8();
}

QByteArray tableFileBytes(const RandomTables& tables) {
    // The byte order mark lets spreadsheets recognise UTF-8.
    return QByteArray("\xEF\xBB\xBF") + formatTableFile(tables);
}

void writeTableFile(const QString& path, const RandomTables& tables) {
    OutputFile file(path);
    if (!file.open())
        throw Error(cannotWriteMessage(path, file.errorString()));
    file.device().write(tableFileBytes(tables));
    if (const QString failure = file.commit(); !failure.isEmpty())
        throw Error(cannotWriteMessage(path, failure));
}

RandomTables loadRandomTables(const Database& database) {
    RandomTables tables;
    QHash<QString, int> indexById;
    QSqlQuery master = database.run(QStringLiteral("SELECT Id, Nom FROM OVmaster ORDER BY Id"));
    while (master.next()) {
        const QString id = master.value(0).toString();
        indexById.insert(id, int(tables.size()));
        tables.append(RandomTable{id, master.value(1).toString(), {}, 0});
    }
    QSqlQuery elements =
        database.run(QStringLiteral("SELECT ID, Element, Proba FROM OVslave ORDER BY rowid"));
    while (elements.next()) {
        const auto found = indexById.constFind(elements.value(0).toString());
        if (found == indexById.constEnd())
            continue; // an element whose table is gone belongs to no table
        tables[*found].elements.append(
            TableElement{elements.value(1).toString(), elements.value(2).toDouble()});
    }
    return tables;
}

ImportSummary importTables(const Database& database, const RandomTables& tables, ImportMode mode) {
    ImportSummary summary;
    database.transaction([&] {
        QStringList conflicts;
        QStringList duplicates;
        QHash<QString, int> seen;
        QSet<QString> existing;
        for (const RandomTable& table : tables) {
            const QString where =
                table.line > 0 ? QStringLiteral("ligne %1 : ").arg(table.line) : QString();
            if (seen.contains(table.id)) {
                duplicates.append(
                    where + QStringLiteral("la table %1 apparaît deux fois").arg(quoted(table.id)));
                continue;
            }
            seen.insert(table.id, table.line);
            if (database
                    .scalar(QStringLiteral("SELECT count(*) FROM OVmaster WHERE Id = ?"),
                            {table.id})
                    .toInt() > 0) {
                existing.insert(table.id);
                if (mode == ImportMode::AddOnly)
                    conflicts.append(where + QStringLiteral("la table %1 existe déjà dans la base")
                                                 .arg(quoted(table.id)));
            }
        }
        if (!duplicates.isEmpty())
            throw TableFileError(listed(duplicates));
        if (!conflicts.isEmpty())
            throw TableConflictError(listed(conflicts));

        QSqlQuery insertElement(database.connection());
        if (!insertElement.prepare(
                QStringLiteral("INSERT INTO OVslave (ID, Element, Proba) VALUES (?, ?, ?)")))
            throw DatabaseError(
                database.failureMessage(insertElement.lastQuery(), insertElement.lastError()));
        for (const RandomTable& table : tables) {
            if (mode == ImportMode::SkipExisting && existing.contains(table.id)) {
                ++summary.skipped;
                continue;
            }
            // Elements left without their table under this Id would join the new one.
            database.run(QStringLiteral("DELETE FROM OVslave WHERE ID = ?"), {table.id});
            if (existing.contains(table.id)) {
                database.run(QStringLiteral("DELETE FROM OVmaster WHERE Id = ?"), {table.id});
                ++summary.replaced;
            }
            database.run(QStringLiteral("INSERT INTO OVmaster (Id, Nom, NbrElement, TotProba)"
                                        " VALUES (?, ?, 0, 0)"),
                         {table.id, table.name});
            for (const TableElement& element : table.elements) {
                insertElement.bindValue(0, table.id);
                insertElement.bindValue(1, element.text);
                insertElement.bindValue(2, element.weight);
                if (!insertElement.exec())
                    throw DatabaseError(database.failureMessage(insertElement.lastQuery(),
                                                                insertElement.lastError()));
            }
            database.run(QStringLiteral("UPDATE OVmaster SET"
                                        " NbrElement = (SELECT count(*) FROM OVslave WHERE ID = ?),"
                                        " TotProba = (SELECT coalesce(sum(Proba), 0) FROM OVslave"
                                        " WHERE ID = ?) WHERE Id = ?"),
                         {table.id, table.id, table.id});
            ++summary.tables;
            summary.elements += int(table.elements.size());
        }
    });
    return summary;
}

namespace {
QString plural(int count, const QString& singular, const QString& pluralForm) {
    return QString::number(count) + QLatin1Char(' ') + (count > 1 ? pluralForm : singular);
}
QString elementCount(int count) {
    return plural(count, QStringLiteral("élément"), QStringLiteral("éléments"));
}
} // namespace

QString importSummaryText(const ImportSummary& summary) {
    QString text =
        QStringLiteral("Importé : %1, %2")
            .arg(plural(summary.tables, QStringLiteral("table"), QStringLiteral("tables")),
                 elementCount(summary.elements));
    if (summary.replaced > 0)
        text +=
            QStringLiteral(" (%1)").arg(plural(summary.replaced, QStringLiteral("table remplacée"),
                                               QStringLiteral("tables remplacées")));
    if (summary.skipped > 0)
        text += QStringLiteral(" (%1)").arg(plural(summary.skipped,
                                                   QStringLiteral("table existante gardée"),
                                                   QStringLiteral("tables existantes gardées")));
    return text;
}

ExportSummary summarize(const RandomTables& tables) {
    ExportSummary summary;
    summary.tables = int(tables.size());
    for (const RandomTable& table : tables)
        summary.elements += int(table.elements.size());
    return summary;
}

ExportSummary exportTables(const Database& database, const QString& path) {
    if (const QString refusal = database.ownFileRefusal(path); !refusal.isEmpty())
        throw Error(refusal);
    const RandomTables tables = loadRandomTables(database);
    writeTableFile(path, tables);
    return summarize(tables);
}

QString exportSummaryText(const ExportSummary& summary, const QString& where) {
    return QStringLiteral("Exporté : %1, %2 dans %3")
        .arg(plural(summary.tables, QStringLiteral("table"), QStringLiteral("tables")),
             elementCount(summary.elements), where);
}

} // namespace ov
