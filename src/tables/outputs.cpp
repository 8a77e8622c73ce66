#include "outputs.h"

#include "database.h"
#include "dialect.h"
#include "errors.h"
#include "historyindex.h"
#include "textrules.h"

#include <QSqlError>
#include <QSqlQuery>

namespace ov {

const OutputTable& outputTable(OutputKind kind) {
    static const OutputTable tables[] = {
        {OutputKind::Perso, QStringLiteral("perso"), QStringLiteral("OVperso"),
         QStringLiteral("ovPerso"), QStringLiteral("Perso"), QStringLiteral("Sexe_Cel_Mel_Stat"),
         QString(42, QLatin1Char(' ')) + QStringLiteral("OV -")},
        {OutputKind::Tresor, QStringLiteral("tresor"), QStringLiteral("OVtresor"),
         QStringLiteral("ovTresor"), QStringLiteral("Tresor"), QStringLiteral("Type"),
         QStringLiteral("OV -")},
        {OutputKind::Rencontre, QStringLiteral("rencontre"), QStringLiteral("OVrencontre"),
         QStringLiteral("ovRencontre"), QStringLiteral("Rencontre"), QStringLiteral("Type"),
         QStringLiteral("OV -")},
        {OutputKind::Village, QStringLiteral("village"), QStringLiteral("OVvillage"),
         QStringLiteral("ovVillage"), QStringLiteral("Village"), QStringLiteral("Type"),
         QStringLiteral("OV -")},
    };
    return tables[static_cast<int>(kind)];
}

std::optional<OutputKind> outputKindFromName(const QString& name) {
    QString plain;
    for (const QChar c : name.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c.toLower();
    for (OutputKind kind : allOutputKinds)
        if (outputTable(kind).name == plain)
            return kind;
    return std::nullopt;
}

QString unprintedCountStatement(OutputKind kind) {
    return QStringLiteral("SELECT COUNT(*) as NonImprime FROM ") + outputTable(kind).sqlName +
           QStringLiteral(" WHERE DateImprime IS NULL");
}

int recordCount(const Database& database, OutputKind kind) {
    return database.scalar(QStringLiteral("SELECT count(*) FROM ") + outputTable(kind).table)
        .toInt();
}

NumberedRecords numberedRecords(OutputKind kind) {
    return {outputTable(kind).table, QString()};
}

namespace {

// A count that the triggers keep in ovCounts (column "total" or "unprinted") under row: an output
// table's, or a generator's ("OVresultat:<Id>"). Invalid where the store does not keep the counts
// of table, whose own row says that they are kept; a generator without a result has no row yet
// and counts 0.
QVariant keptCount(const Database& database, const char* column, const QString& row,
                   const QString& table) {
    if (!database.keepsRecordCounts())
        return {};
    // An output table's own row: one look-up.
    if (row == table)
        return database.scalar(
            QStringLiteral("SELECT %1 FROM ovCounts WHERE tbl = ?").arg(QLatin1String(column)),
            {table});
    return database.scalar(QStringLiteral("SELECT coalesce((SELECT %1 FROM ovCounts WHERE tbl = ?),"
                                          " 0) FROM ovCounts WHERE tbl = ?")
                               .arg(QLatin1String(column)),
                           {row, table});
}

} // namespace

int recordNumber(const Database& database, const NumberedRecords& records) {
    // The count, unless a record holds it; then the first number after a held one that no record
    // holds. Only numbers from the count up are looked at, through the index on Id. The count is
    // the one the triggers keep, where the store keeps it: an output table's, or a generator's.
    const bool results = !records.generator.isEmpty();
    const QString scope = results ? QStringLiteral("Generateur = ? AND ") : QString();
    const QVariantList generator = results ? QVariantList{records.generator} : QVariantList{};
    QString count =
        results
            ? QStringLiteral("SELECT count(*) AS n FROM %1 WHERE Generateur = ?").arg(records.table)
            : QStringLiteral("SELECT count(*) AS n FROM %1").arg(records.table);
    QVariantList values = generator;
    const QVariant kept =
        keptCount(database, "total",
                  results ? records.table + QLatin1Char(':') + records.generator : records.table,
                  records.table);
    if (kept.isValid()) {
        // Most often the count is free: two look-ups, no search.
        if (!database
                 .scalar(
                     QStringLiteral("SELECT 1 FROM %1 WHERE %2Id = ?").arg(records.table, scope),
                     generator + QVariantList{kept})
                 .isValid())
            return kept.toInt();
        count = QStringLiteral("SELECT %1 AS n").arg(kept.toLongLong());
        values.clear();
    }
    const QString sql =
        QStringLiteral("WITH counted AS MATERIALIZED (%1)"
                       " SELECT min(x) FROM (SELECT n AS x FROM counted UNION ALL SELECT Id + 1"
                       " FROM %2, counted WHERE %3Id >= counted.n) AS candidates WHERE NOT EXISTS"
                       " (SELECT 1 FROM %2 WHERE %3Id = candidates.x)")
            .arg(count, records.table, scope);
    return database.scalar(sql, values + generator + generator).toInt();
}

int nextRecordNumber(const Database& database, OutputKind kind) {
    return recordNumber(database, numberedRecords(kind));
}

int appendRecord(const Database& database, OutputKind kind,
                 const std::function<QString(int number)>& text, const QString& stringValue,
                 const QDateTime& created, UnprintedCount* reopened) {
    const OutputTable& t = outputTable(kind);
    int number = 0;
    bool behind = false;
    // Reading the count where the record is written spares a read of the store of its own.
    try {
        database.transaction([&] {
            number = recordNumber(database, numberedRecords(kind));
            database.execute(QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation, DateImprime)"
                                            " VALUES (?, ?, ?, ?, NULL)")
                                 .arg(t.table, t.textField, t.stringField),
                             {double(number), text(number),
                              cutToWidth(stringValue, width::RecordType),
                              created.date().toString(Qt::ISODate)});
            behind = historyWordsFallBehind(database);
            // Only a kept count: it was just written, a statement that fails must not take the
            // record with it.
            if (reopened)
                reopened->openKept();
        });
    } catch (...) {
        if (reopened)
            reopened->close(); // it may have counted a record that was not stored
        throw;
    }
    // Indexed after the record is safe: a failure there never takes the record with it.
    if (behind)
        catchUpHistoryWords(database);
    return number;
}

void appendRecord(const Database& database, OutputKind kind, int id, const QString& text,
                  const QString& stringValue, const QDateTime& created) {
    insertRecords(database, kind, {{id, text, stringValue, created.date(), QVariant()}});
}

void insertRecords(const Database& database, OutputKind kind,
                   const QVector<StoredRecord>& records) {
    const OutputTable& t = outputTable(kind);
    const auto cut = [](const QVariant& value, int width) {
        return value.isNull() ? QVariant() : QVariant(cutToWidth(value.toString(), width));
    };
    database.transaction([&] {
        const QString sql = QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation, DateImprime)"
                                           " VALUES (?, ?, ?, ?, ?)")
                                .arg(t.table, t.textField, t.stringField);
        QSqlQuery insert(database.connection());
        if (!insert.prepare(sql))
            throw DatabaseError(database.failureMessage(sql, insert.lastError()));
        for (const StoredRecord& record : records) {
            insert.bindValue(0, record.id.isNull() ? QVariant() : QVariant(record.id.toDouble()));
            insert.bindValue(1, record.text.isNull() ? QVariant() : record.text.toString());
            insert.bindValue(2, cut(record.stringValue, width::RecordType));
            insert.bindValue(3, record.created.isNull()
                                    ? QVariant()
                                    : QVariant(record.created.toDate().toString(Qt::ISODate)));
            insert.bindValue(4, cut(record.printDate, width::PrintDate));
            if (!insert.exec())
                throw DatabaseError(database.failureMessage(sql, insert.lastError()));
        }
    });
    keepHistoryWordsUp(database);
}

void deleteRecords(const Database& database, OutputKind kind) {
    database.run(QStringLiteral("DELETE FROM ") + outputTable(kind).table);
}

QString unprintedResultsStatement(const QString& generatorId) {
    QString quoted = generatorId;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("SELECT COUNT(*) as NonImprime FROM OVresultat WHERE DateImprime IS NULL"
                          " AND Generateur = '") +
           quoted + QLatin1Char('\'');
}

UnprintedCount::UnprintedCount(const Database& database)
    : m_database(database), m_statement(initialStatement()),
      m_countedRow(outputTable(OutputKind::Perso).table), m_countedTable(m_countedRow) {}

void UnprintedCount::setStatement(const QString& statement) {
    // Each run sets its kind's statement again: the row that keeps its count is found when it
    // changes.
    if (statement == m_statement)
        return;
    m_statement = statement;
    m_countedRow.clear();
    m_countedTable.clear();
    if (statement == initialStatement())
        m_countedRow = m_countedTable = outputTable(OutputKind::Perso).table;
    for (OutputKind kind : allOutputKinds)
        if (statement == unprintedCountStatement(kind))
            m_countedRow = m_countedTable = outputTable(kind).table;
}

void UnprintedCount::countResultsOf(const QString& generatorId) {
    setStatement(unprintedResultsStatement(generatorId));
    m_countedTable = QStringLiteral("OVresultat");
    m_countedRow = m_countedTable + QLatin1Char(':') + generatorId;
}

QString UnprintedCount::initialStatement() {
    return QStringLiteral("SELECT COUNT(*) as NonImprime\nFROM ovPerso\nWHERE DateImprime IS NULL");
}

bool UnprintedCount::openKept() {
    m_open = false;
    // The count of an output table's unprinted records, or of a generator's, is the one the
    // triggers keep: a scan would cost more after each run as the campaign grows.
    const QVariant value = m_countedRow.isEmpty()
                               ? QVariant()
                               : keptCount(m_database, "unprinted", m_countedRow, m_countedTable);
    m_open = value.isValid();
    m_value = value.toLongLong();
    return m_open;
}

void UnprintedCount::open() {
    if (openKept())
        return;
    // A table without its count (a damaged file) is counted, or refused, by the statement.
    m_value = m_database.scalar(m_statement).toLongLong();
    m_open = true;
}

void keepRecordCounts(const Database& database) {
    const Dialect& dialect = database.dialect();
    database.transaction([&] {
        database.run(dialect.recordCountsTable());
        for (OutputKind kind : allOutputKinds) {
            const QString table = outputTable(kind).table;
            if (!database.hasTable(table))
                continue;
            const auto forTable = [&](QString statement) {
                return statement.replace(QStringLiteral("{t}"), table);
            };
            for (const QString& statement : dialect.droppedRecordCountTriggers())
                database.run(forTable(statement));
            database.run(QStringLiteral("DELETE FROM ovCounts WHERE tbl = ?"), {table});
            database.run(QStringLiteral("INSERT INTO ovCounts (tbl, total, unprinted) SELECT ?,"
                                        " count(*), count(*) - count(DateImprime) FROM %1")
                             .arg(table),
                         {table});
            for (const QString& statement : dialect.recordCountTriggers())
                database.run(forTable(statement));
        }
    });
}

void keepResultCounts(const Database& database) {
    const Dialect& dialect = database.dialect();
    database.transaction([&] {
        database.run(dialect.recordCountsTable());
        for (const QString& statement : dialect.droppedResultCountTriggers())
            database.run(statement);
        database.run(QStringLiteral("DELETE FROM ovCounts WHERE tbl = 'OVresultat'"
                                    " OR tbl LIKE 'OVresultat:%'"));
        database.run(QStringLiteral("INSERT INTO ovCounts (tbl, total, unprinted)"
                                    " SELECT 'OVresultat', count(*), count(*) - count(DateImprime)"
                                    " FROM OVresultat"));
        database.run(QStringLiteral("INSERT INTO ovCounts (tbl, total, unprinted)"
                                    " SELECT 'OVresultat:' || Generateur, count(*),"
                                    " count(*) - count(DateImprime) FROM OVresultat"
                                    " GROUP BY Generateur"));
        for (const QString& statement : dialect.resultCountTriggers())
            database.run(statement);
    });
}

} // namespace ov
