#include "testsupport.h"

#include "tables/errors.h"
#include "tables/historyindex.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace ovtest {

QString isolateUserFolders() {
    static QTemporaryDir home;
    const QString root = home.path();
    QDir(root).mkpath(QStringLiteral("data"));
    QDir(root).mkpath(QStringLiteral("config"));
    QDir(root).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", root.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/runtime")).toLocal8Bit());
    return root;
}

TempDatabase::TempDatabase() {
    path = dir.path() + QStringLiteral("/test.db");
    db = std::make_unique<ov::Database>(path);
}

void dropHistoryIndex(const ov::Database& db) {
    for (const ov::HistorySource& source : ov::historySources())
        for (const char* suffix : {"ins", "del", "upd"})
            db.run(QStringLiteral("DROP TRIGGER IF EXISTS ovHistory_%1_%2")
                       .arg(source.table, QLatin1String(suffix)));
    db.run(QStringLiteral("DROP TRIGGER IF EXISTS OVgenerateur_carry_results"));
    db.run(QStringLiteral("DROP TABLE ovHistoryText"));
    db.run(QStringLiteral("DROP TABLE IF EXISTS ovHistoryPending"));
    db.run(QStringLiteral("DROP TABLE ovHistory"));
}

void clearRandomTables(const ov::Database& db) {
    db.run(QStringLiteral("DELETE FROM OVslave"));
    db.run(QStringLiteral("DELETE FROM OVmaster"));
}

void addTable(const ov::Database& db, const QString& id,
              const QVector<QPair<QString, double>>& elements, const QString& name) {
    db.transaction([&] {
        db.run(QStringLiteral("INSERT INTO OVmaster (Id, Nom) VALUES (?, ?)"),
               {id, name.isEmpty() ? id : name});
        for (const auto& element : elements)
            db.run(QStringLiteral("INSERT INTO OVslave (ID, Element, Proba) VALUES (?, ?, ?)"),
                   {id, element.first, element.second});
    });
}

namespace {

QSqlQuery prepared(const ov::Database& db, const QString& sql) {
    QSqlQuery query(db.connection());
    if (!query.prepare(sql))
        throw ov::DatabaseError(query.lastError().text());
    return query;
}

void execute(QSqlQuery& query, const QVariantList& values) {
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw ov::DatabaseError(query.lastError().text());
}

} // namespace

void addLargeTable(const ov::Database& db, const QString& id, const QString& name, int count,
                   const std::function<QPair<QString, double>(int)>& element) {
    db.transaction([&] {
        QSqlQuery master =
            prepared(db, QStringLiteral("INSERT INTO OVmaster (Id, Nom) VALUES (?, ?)"));
        execute(master, {id, name});
        QSqlQuery slave = prepared(
            db, QStringLiteral("INSERT INTO OVslave (ID, Element, Proba) VALUES (?, ?, ?)"));
        for (int i = 0; i < count; ++i) {
            const auto [text, weight] = element(i);
            execute(slave, {id, text, weight});
        }
    });
}

void setTotals(const ov::Database& db, const QString& id, double count, double total) {
    db.run(QStringLiteral("UPDATE OVmaster SET NbrElement = ?, TotProba = ? WHERE Id = ?"),
           {count, total, id});
}

} // namespace ovtest
