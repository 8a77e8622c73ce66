#include "historyindex.h"

#include "database.h"
#include "outputs.h"

#include <QSqlQuery>
#include <QStringList>

namespace ov {

namespace {

// {k}: the kind, {t}: the table, {x}: the text field. The time of creation is only known for a
// row written today, at the moment it is written.
const char* const sourceTriggers[] = {
    "CREATE TRIGGER ovHistory_{t}_ins AFTER INSERT ON {t} BEGIN"
    " INSERT INTO ovHistory (kind, rec, n, created, createdTime, printed)"
    " VALUES ('{k}', NEW.rowid, NEW.Id, NEW.DateCreation,"
    " CASE WHEN NEW.DateCreation = date('now', 'localtime')"
    " THEN time('now', 'localtime') END, NEW.DateImprime);"
    " INSERT INTO ovHistoryText (rowid, body) SELECT hid, coalesce(NEW.{x}, '') FROM ovHistory"
    " WHERE kind = '{k}' AND rec = NEW.rowid; END",

    "CREATE TRIGGER ovHistory_{t}_del AFTER DELETE ON {t} BEGIN"
    " INSERT INTO ovHistoryText (ovHistoryText, rowid, body)"
    " SELECT 'delete', hid, coalesce(OLD.{x}, '') FROM ovHistory"
    " WHERE kind = '{k}' AND rec = OLD.rowid;"
    " DELETE FROM ovHistory WHERE kind = '{k}' AND rec = OLD.rowid; END",

    "CREATE TRIGGER ovHistory_{t}_upd AFTER UPDATE ON {t} BEGIN"
    " INSERT INTO ovHistoryText (ovHistoryText, rowid, body)"
    " SELECT 'delete', hid, coalesce(OLD.{x}, '') FROM ovHistory"
    " WHERE kind = '{k}' AND rec = OLD.rowid AND NEW.{x} IS NOT OLD.{x};"
    " INSERT INTO ovHistoryText (rowid, body) SELECT hid, coalesce(NEW.{x}, '') FROM ovHistory"
    " WHERE kind = '{k}' AND rec = OLD.rowid AND NEW.{x} IS NOT OLD.{x};"
    " UPDATE ovHistory SET rec = NEW.rowid, n = NEW.Id, created = NEW.DateCreation,"
    " printed = NEW.DateImprime WHERE kind = '{k}' AND rec = OLD.rowid; END",
};

QString forSource(const char* statement, const HistorySource& source) {
    return QString::fromLatin1(statement)
        .replace(QStringLiteral("{k}"), source.kind)
        .replace(QStringLiteral("{t}"), source.table)
        .replace(QStringLiteral("{x}"), source.textField);
}

// The existing rows of the sources, oldest first, so that the index's order is the order of
// creation; then their words.
void indexExistingRows(const Database& database, const QVector<HistorySource>& sources) {
    QStringList selects;
    for (const HistorySource& source : sources)
        selects.append(QStringLiteral("SELECT '%1' AS kind, rowid AS rec, Id AS n, DateCreation,"
                                      " DateImprime FROM %2")
                           .arg(source.kind, source.table));
    if (selects.isEmpty())
        return;
    database.run(QStringLiteral("INSERT INTO ovHistory (kind, rec, n, created, printed)"
                                " SELECT kind, rec, n, DateCreation, DateImprime FROM (") +
                 selects.join(QStringLiteral(" UNION ALL ")) +
                 QStringLiteral(") ORDER BY DateCreation, rec"));
    for (const HistorySource& source : sources)
        database.run(QStringLiteral("INSERT INTO ovHistoryText (rowid, body)"
                                    " SELECT h.hid, coalesce(s.%1, '') FROM ovHistory h"
                                    " JOIN %2 s ON s.rowid = h.rec WHERE h.kind = ?")
                         .arg(source.textField, source.table),
                     {source.kind});
}

void createTriggers(const Database& database, const HistorySource& source) {
    for (const char* statement : sourceTriggers)
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
        database.run(QStringLiteral(
            "CREATE TABLE ovHistory (hid INTEGER PRIMARY KEY, kind TEXT NOT NULL,"
            " rec INTEGER NOT NULL, n INTEGER, created TEXT, createdTime TEXT, printed TEXT)"));
        database.run(
            QStringLiteral("CREATE UNIQUE INDEX ixHistoryRecord ON ovHistory (kind, rec)"));
        database.run(QStringLiteral("CREATE INDEX ixHistoryUnprinted ON ovHistory (hid)"
                                    " WHERE printed IS NULL"));
        // Contentless: the texts stay in their tables, the index keeps only their words.
        database.run(
            QStringLiteral("CREATE VIRTUAL TABLE ovHistoryText USING fts5 (body, content = '',"
                           " tokenize = 'unicode61 remove_diacritics 2')"));
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

QVector<HistoryPlace> historyPlaces(const Database& database, const HistorySource& source) {
    const QString order = database.insertionOrder();
    const bool indexed = database.hasTable(QStringLiteral("ovHistory"));
    const QString sql =
        indexed ? QStringLiteral("SELECT s.%1, h.hid, h.createdTime FROM %2 s LEFT JOIN ovHistory h"
                                 " ON h.kind = ? AND h.rec = s.%1 ORDER BY s.%1")
                : QStringLiteral("SELECT %1, 0, NULL FROM %2 ORDER BY %1");
    QVector<HistoryPlace> places;
    database.forEachRow(sql.arg(order, source.table),
                        indexed ? QVariantList{source.kind} : QVariantList{},
                        [&](const QSqlQuery& row) {
                            places.append({row.value(0), row.value(1).toLongLong(), row.value(2)});
                            return true;
                        });
    return places;
}

void setLastRowTime(const Database& database, const HistorySource& source,
                    const QVariant& createdTime) {
    database.execute(QStringLiteral("UPDATE ovHistory SET createdTime = ? WHERE kind = ? AND"
                                    " rec = (SELECT max(%1) FROM %2)")
                         .arg(database.insertionOrder(), source.table),
                     {createdTime, source.kind});
}

} // namespace ov
