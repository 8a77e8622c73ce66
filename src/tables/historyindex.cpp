#include "historyindex.h"

#include "database.h"
#include "outputs.h"

#include <QSqlQuery>
#include <QStringList>

namespace ov {

namespace {

// An expression of the source over the row named row.
QString over(const QString& expression, const QString& row) {
    return QString(expression).replace(QStringLiteral("{r}"), row);
}

// The dialect's triggers with {t}: the table, {x}: the text field, {kn} and {ko}: the kind of the
// new and of the old row, {dn}: the day of the new row, {tn}: its time when written, {tu}: its
// time after a change.
QString forSource(const Dialect& dialect, QString statement, const HistorySource& source) {
    const QString day = over(source.dayExpression, QStringLiteral("NEW"));
    const QString time = source.timeExpression.isEmpty()
                             ? dialect.timeIfToday(day)
                             : over(source.timeExpression, QStringLiteral("NEW"));
    return statement.replace(QStringLiteral("{t}"), source.table)
        .replace(QStringLiteral("{x}"), source.textField)
        .replace(QStringLiteral("{kn}"), source.kindOf(QStringLiteral("NEW")))
        .replace(QStringLiteral("{ko}"), source.kindOf(QStringLiteral("OLD")))
        .replace(QStringLiteral("{dn}"), day)
        .replace(QStringLiteral("{tn}"), time)
        .replace(QStringLiteral("{tu}"), source.timeExpression.isEmpty()
                                             ? QStringLiteral("createdTime")
                                             : over(source.timeExpression, QStringLiteral("NEW")));
}

// The existing rows of the sources, oldest first, so that the index's order is the order of
// creation; then their words.
void indexExistingRows(const Database& database, const QVector<HistorySource>& sources) {
    QStringList selects;
    const QString row = QStringLiteral("s");
    for (const HistorySource& source : sources)
        selects.append(QStringLiteral("SELECT %1 AS kind, s.rowid AS rec, s.Id AS n, %2 AS created,"
                                      " %3 AS createdTime, s.DateImprime AS printed FROM %4 s")
                           .arg(source.kindOf(row), over(source.dayExpression, row),
                                source.timeExpression.isEmpty() ? QStringLiteral("NULL")
                                                                : over(source.timeExpression, row),
                                source.table));
    if (selects.isEmpty())
        return;
    database.run(
        QStringLiteral("INSERT INTO ovHistory (kind, rec, n, created, createdTime, printed)"
                       " SELECT kind, rec, n, created, createdTime, printed FROM (") +
        selects.join(QStringLiteral(" UNION ALL ")) +
        QStringLiteral(") AS existing ORDER BY created, coalesce(createdTime, ''), rec"));
    const Dialect& dialect = database.dialect();
    for (const HistorySource& source : sources)
        database.run(QStringLiteral("INSERT INTO ovHistoryText (rowid, %1)"
                                    " SELECT h.hid, %2 FROM %3 s JOIN ovHistory h"
                                    " ON h.kind = %4 AND h.rec = s.rowid ORDER BY h.hid")
                         .arg(dialect.historyWordsColumn(),
                              dialect.historyWords(QStringLiteral("s.") + source.textField),
                              source.table, source.kindOf(row)));
}

// The sources whose tables the store has: a file that lacks an output table is refused when
// that table is opened, and the others are indexed meanwhile.
QVector<HistorySource> presentSources(const Database& database) {
    QVector<HistorySource> present;
    for (const HistorySource& source : historySources())
        if (database.hasTable(source.table))
            present.append(source);
    return present;
}

// A store that cannot be written and still has texts waiting for their words: this connection
// searches a word index of its own, made of every text, which hides the stored one.
void indexWordsForThisConnection(const Database& database) {
    if (database
            .scalar(QStringLiteral("SELECT count(*) FROM sqlite_temp_master"
                                   " WHERE name = 'ovHistoryText'"))
            .toInt() > 0)
        return;
    database.run(QStringLiteral("CREATE VIRTUAL TABLE temp.ovHistoryText USING fts5 (body,"
                                " content = '', tokenize = 'unicode61 remove_diacritics 2')"));
    for (const HistorySource& source : presentSources(database))
        database.run(QStringLiteral("INSERT INTO temp.ovHistoryText (rowid, body)"
                                    " SELECT h.hid, coalesce(s.%1, '') FROM ovHistory h"
                                    " JOIN %2 s ON h.kind = %3 AND h.rec = s.rowid")
                         .arg(source.textField, source.table, source.kindOf(QStringLiteral("s"))));
}

void createTriggers(const Database& database, const HistorySource& source) {
    for (const QString& statement : database.dialect().historySourceTriggers())
        database.run(forSource(database.dialect(), statement, source));
}

QVector<HistorySource> outputSources() {
    QVector<HistorySource> list;
    for (OutputKind kind : allOutputKinds) {
        const OutputTable& table = outputTable(kind);
        list.append({table.name, table.table, table.textField,
                     QLatin1Char('\'') + table.name + QLatin1Char('\''),
                     QStringLiteral("{r}.DateCreation"), QString()});
    }
    return list;
}

// A result's DateCreation is its date and time, 2026-12-09T21:05:00.
const HistorySource& resultsSource() {
    static const HistorySource source{
        QString(),
        QStringLiteral("OVresultat"),
        QStringLiteral("Texte"),
        QStringLiteral("{r}.Generateur"),
        QStringLiteral("substr({r}.DateCreation, 1, 10)"),
        QStringLiteral("nullif(substr({r}.DateCreation, 12, 8), '')")};
    return source;
}

} // namespace

const QVector<HistorySource>& historySources() {
    static const QVector<HistorySource> sources = outputSources() << resultsSource();
    return sources;
}

const HistorySource* historySource(const QString& kind) {
    for (const HistorySource& source : historySources())
        if (source.hasFixedKind() && source.kind == kind)
            return &source;
    return nullptr;
}

const HistorySource& historySourceOf(const QString& kind) {
    const HistorySource* fixed = historySource(kind);
    return fixed ? *fixed : resultsSource();
}

bool isBuiltInHistoryKind(const QString& kind) {
    return historySource(kind) != nullptr;
}

void createHistoryIndex(const Database& database) {
    database.transaction([&] {
        for (const QString& statement : database.dialect().historyIndexTables())
            database.run(statement);
        database.run(database.dialect().historyPendingTable());
        database.run(
            QStringLiteral("CREATE UNIQUE INDEX ixHistoryRecord ON ovHistory (kind, rec)"));
        database.run(QStringLiteral("CREATE INDEX ixHistoryUnprinted ON ovHistory (hid)"
                                    " WHERE printed IS NULL"));
        // A file that lacks an output table is refused when that table is opened; the others
        // are indexed meanwhile.
        QVector<HistorySource> present;
        for (const HistorySource& source : historySources())
            if (source.hasFixedKind() && database.hasTable(source.table))
                present.append(source);
        for (const HistorySource& source : present)
            createTriggers(database, source);
        indexExistingRows(database, present);
    });
}

void addResultsToHistory(const Database& database) {
    database.transaction([&] {
        if (!database.hasTable(resultsSource().table))
            return;
        addHistorySource(database, resultsSource());
        // The results, and so their history, follow their generator when its Id changes, its
        // case included. A generator is removed with its results (GeneratorStore::remove), and
        // they leave the history by their own trigger.
        for (const QString& statement : database.dialect().resultsFollowTheirGenerator())
            database.run(statement);
    });
}

void deferHistoryWords(const Database& database) {
    database.transaction([&] {
        if (!database.hasTable(QStringLiteral("ovHistory")))
            return;
        const Dialect& dialect = database.dialect();
        database.run(dialect.historyPendingTable());
        const QStringList dropped = dialect.droppedHistorySourceTriggers();
        if (dropped.isEmpty())
            return;
        for (const HistorySource& source : presentSources(database)) {
            for (const QString& statement : dropped)
                database.run(forSource(dialect, statement, source));
            createTriggers(database, source);
        }
    });
}

void catchUpHistoryWords(const Database& database) {
    // A store that could not be brought up to date indexes every text at once.
    if (!database.hasTable(QStringLiteral("ovHistoryPending")) ||
        database.scalar(QStringLiteral("SELECT count(*) FROM ovHistoryPending")).toLongLong() == 0)
        return;
    if (database.isReadOnly()) {
        indexWordsForThisConnection(database);
        return;
    }
    database.transaction([&] {
        const Dialect& dialect = database.dialect();
        if (const QString merging = dialect.historyWordsMerging(); !merging.isEmpty())
            database.run(merging);
        // The waiting rows lead (the engine keeps a CROSS JOIN in its written order): walking
        // the history of a kind instead would make each catch-up as long as the history.
        for (const HistorySource& source : presentSources(database))
            database.run(QStringLiteral("INSERT INTO ovHistoryText (rowid, %1)"
                                        " SELECT h.hid, %2 FROM ovHistoryPending p"
                                        " CROSS JOIN ovHistory h"
                                        " JOIN %3 s ON h.kind = %4 AND h.rec = s.rowid"
                                        " WHERE h.hid = p.hid")
                             .arg(dialect.historyWordsColumn(),
                                  dialect.historyWords(QStringLiteral("s.") + source.textField),
                                  source.table, source.kindOf(QStringLiteral("s"))));
        database.run(QStringLiteral("DELETE FROM ovHistoryPending"));
    });
}

bool historyWordsFallBehind(const Database& database) {
    // A search never has more than this many texts to index before it starts.
    // The span of the waiting rows is never less than their number, and is read without
    // counting them.
    constexpr int mostPending = 4096;
    return database
               .scalar(QStringLiteral("SELECT (SELECT max(hid) FROM ovHistoryPending) -"
                                      " (SELECT min(hid) FROM ovHistoryPending) + 1"))
               .toLongLong() >= mostPending;
}

void keepHistoryWordsUp(const Database& database) {
    if (historyWordsFallBehind(database))
        catchUpHistoryWords(database);
}

void addHistorySource(const Database& database, const HistorySource& source) {
    database.transaction([&] {
        createTriggers(database, source);
        indexExistingRows(database, {source});
    });
}

QVector<HistoryPlace> historyPlaces(const Database& database, const HistorySource& source) {
    const QString order = database.insertionOrder();
    const QString sql =
        database.hasTable(QStringLiteral("ovHistory"))
            ? QStringLiteral("SELECT s.%1, h.hid, h.createdTime FROM %2 s LEFT JOIN ovHistory h"
                             " ON h.kind = %3 AND h.rec = s.%1 ORDER BY s.%1")
                  .arg(order, source.table, source.kindOf(QStringLiteral("s")))
            : QStringLiteral("SELECT %1, 0, NULL FROM %2 ORDER BY %1").arg(order, source.table);
    QVector<HistoryPlace> places;
    database.forEachRow(sql, {}, [&](const QSqlQuery& row) {
        places.append({row.value(0), row.value(1).toLongLong(), row.value(2)});
        return true;
    });
    return places;
}

void setLastRowTime(const Database& database, const HistorySource& source,
                    const QVariant& createdTime) {
    // A source that keeps the time in its rows gives it to the index itself.
    if (!source.timeExpression.isEmpty())
        return;
    database.execute(QStringLiteral("UPDATE ovHistory SET createdTime = ? WHERE kind = ? AND"
                                    " rec = (SELECT max(%1) FROM %2)")
                         .arg(database.insertionOrder(), source.table),
                     {createdTime, source.kind});
}

} // namespace ov
