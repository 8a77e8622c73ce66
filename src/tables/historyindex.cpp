#include "historyindex.h"

#include "database.h"
#include "outputs.h"

#include <QStringList>

namespace ov {

namespace {

// {k}: the kind, {t}: the table, {x}: the text field.
QString forSource(QString statement, const HistorySource& source) {
    return statement.replace(QStringLiteral("{k}"), source.kind)
        .replace(QStringLiteral("{t}"), source.table)
        .replace(QStringLiteral("{x}"), source.textField);
}

// The existing rows of the sources, oldest first, so that the index's order is the order of
// creation; then their words.
void indexExistingRows(const Database& database, const QVector<HistorySource>& sources) {
    QStringList selects;
    for (const HistorySource& source : sources)
        selects.append(QStringLiteral("SELECT CAST('%1' AS TEXT) AS kind, rowid AS rec, Id AS n,"
                                      " DateCreation, DateImprime FROM %2")
                           .arg(source.kind, source.table));
    if (selects.isEmpty())
        return;
    database.run(QStringLiteral("INSERT INTO ovHistory (kind, rec, n, created, printed)"
                                " SELECT kind, rec, n, DateCreation, DateImprime FROM (") +
                 selects.join(QStringLiteral(" UNION ALL ")) +
                 QStringLiteral(") AS existing ORDER BY DateCreation, rec"));
    const Dialect& dialect = database.dialect();
    for (const HistorySource& source : sources)
        database.run(QStringLiteral("INSERT INTO ovHistoryText (rowid, %1) SELECT h.hid, %2"
                                    " FROM ovHistory h JOIN %3 s ON s.rowid = h.rec"
                                    " WHERE h.kind = ?")
                         .arg(dialect.historyWordsColumn(),
                              dialect.historyWords(QStringLiteral("s.") + source.textField),
                              source.table),
                     {source.kind});
}

void createTriggers(const Database& database, const HistorySource& source) {
    for (const QString& statement : database.dialect().historySourceTriggers())
        database.run(forSource(statement, source));
}

} // namespace

const QVector<HistorySource>& historySources() {
    static const QVector<HistorySource> sources = [] {
        QVector<HistorySource> list;
        for (OutputKind kind : allOutputKinds) {
            const OutputTable& table = outputTable(kind);
            list.append({table.name, table.table, table.textField});
        }
        return list;
    }();
    return sources;
}

const HistorySource* historySource(const QString& kind) {
    for (const HistorySource& source : historySources())
        if (source.kind == kind)
            return &source;
    return nullptr;
}

void createHistoryIndex(const Database& database) {
    database.transaction([&] {
        for (const QString& statement : database.dialect().historyIndexTables())
            database.run(statement);
        database.run(
            QStringLiteral("CREATE UNIQUE INDEX ixHistoryRecord ON ovHistory (kind, rec)"));
        database.run(QStringLiteral("CREATE INDEX ixHistoryUnprinted ON ovHistory (hid)"
                                    " WHERE printed IS NULL"));
        // A file that lacks an output table is refused when that table is opened; the others
        // are indexed meanwhile.
        QVector<HistorySource> present;
        for (const HistorySource& source : historySources())
            if (database.hasTable(source.table))
                present.append(source);
        for (const HistorySource& source : present)
            createTriggers(database, source);
        indexExistingRows(database, present);
    });
}

void addHistorySource(const Database& database, const HistorySource& source) {
    database.transaction([&] {
        createTriggers(database, source);
        indexExistingRows(database, {source});
    });
}

} // namespace ov
