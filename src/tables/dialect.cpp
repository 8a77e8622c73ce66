#include "dialect.h"

#include "database.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace ov {

namespace {

// Accented letters of the Latin blocks and the plain lower-case letter they come from.
struct PlainLetters {
    QString accented;
    QString plain;
};

const PlainLetters& plainLetters() {
    static const PlainLetters letters = [] {
        PlainLetters result;
        for (char16_t code = 0x00C0; code <= 0x024F; ++code) {
            const QChar c(code);
            const QString base = QString(c).normalized(QString::NormalizationForm_D);
            if (base.size() < 2 || base.at(0).unicode() >= 0x80 || !base.at(0).isLetter())
                continue;
            result.accented += c;
            result.plain += base.at(0).toLower();
        }
        return result;
    }();
    return letters;
}

QString quotedLiteral(QString text) {
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

// ---------------------------------------------------------------------------------------------
class SqliteDialect final : public Dialect {
public:
    QString driverName() const override { return QStringLiteral("QSQLITE"); }
    QStringList connectionSetup() const override {
        return {QStringLiteral("PRAGMA journal_mode=WAL"),
                QStringLiteral("PRAGMA synchronous=NORMAL")};
    }
    QStringList beginWrite() const override { return {QStringLiteral("BEGIN IMMEDIATE")}; }
    QString beginRead() const override { return QStringLiteral("BEGIN"); }
    bool prepares(const QString&) const override { return true; }
    QString catalogName(const QString& table) const override { return table; }

    bool hasTable(const Database& database, const QString& name) const override {
        return database
                   .scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table'"
                                          " AND name = ? COLLATE NOCASE"),
                           {name})
                   .toInt() > 0;
    }
    bool isEmpty(const Database& database) const override {
        return database.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master")).toInt() == 0;
    }
    int schemaVersion(const Database& database) const override {
        return database.scalar(QStringLiteral("PRAGMA user_version")).toInt();
    }
    void setSchemaVersion(const Database& database, int version) const override {
        database.run(QStringLiteral("PRAGMA user_version = %1").arg(version));
    }
    QString copyIntoFile() const override { return QStringLiteral("VACUUM INTO ?"); }

    QString tableDefinition(const QString& sql) const override {
        return QString(sql).remove(QStringLiteral("{rowid}"));
    }
    QStringList caseInsensitiveUnique(const QString&, const QString&) const override {
        return {}; // the column's NOCASE collation does it
    }

    QStringList randomTableTriggers() const override {
        return {
            // Field widths are counted in characters; a longer text is cut, whoever writes it.
            QStringLiteral("CREATE TRIGGER OVmaster_width_ins AFTER INSERT ON OVmaster"
                           " WHEN length(NEW.Id) > 4 OR length(NEW.Nom) > 40 BEGIN"
                           " UPDATE OVmaster SET Id = substr(Id, 1, 4), Nom = substr(Nom, 1, 40)"
                           " WHERE rowid = NEW.rowid; END"),
            QStringLiteral("CREATE TRIGGER OVmaster_width_upd AFTER UPDATE OF Id, Nom ON OVmaster"
                           " WHEN length(NEW.Id) > 4 OR length(NEW.Nom) > 40 BEGIN"
                           " UPDATE OVmaster SET Id = substr(Id, 1, 4), Nom = substr(Nom, 1, 40)"
                           " WHERE rowid = NEW.rowid; END"),
            QStringLiteral("CREATE TRIGGER OVslave_width_ins AFTER INSERT ON OVslave"
                           " WHEN length(NEW.ID) > 4 OR length(NEW.Element) > 60 BEGIN"
                           " UPDATE OVslave SET ID = substr(ID, 1, 4),"
                           " Element = substr(Element, 1, 60) WHERE rowid = NEW.rowid; END"),
            QStringLiteral("CREATE TRIGGER OVslave_width_upd AFTER UPDATE OF ID, Element ON OVslave"
                           " WHEN length(NEW.ID) > 4 OR length(NEW.Element) > 60 BEGIN"
                           " UPDATE OVslave SET ID = substr(ID, 1, 4),"
                           " Element = substr(Element, 1, 60) WHERE rowid = NEW.rowid; END"),

            // Elements follow their table when its Id is edited; the table keeps the totals of
            // exactly the elements it now has.
            QStringLiteral(
                "CREATE TRIGGER OVmaster_carry_elements AFTER UPDATE OF Id ON OVmaster"
                " WHEN NEW.Id IS NOT OLD.Id BEGIN UPDATE OVslave SET ID = NEW.Id WHERE ID = OLD.Id;"
                " UPDATE OVmaster SET NbrElement = (SELECT count(*) FROM OVslave WHERE ID = "
                "NEW.Id),"
                " TotProba = (SELECT coalesce(sum(Proba), 0) FROM OVslave WHERE ID = NEW.Id)"
                " WHERE Id = NEW.Id; END"),

            // The totals of a table stay right whenever one of its elements is posted or
            // deleted. Each change adjusts them by its own weight, so loading or deleting many
            // elements costs one step per element.
            QStringLiteral("CREATE TRIGGER OVslave_totals_ins AFTER INSERT ON OVslave BEGIN"
                           " UPDATE OVmaster SET NbrElement = NbrElement + 1,"
                           " TotProba = TotProba + NEW.Proba WHERE Id = NEW.ID; END"),
            QStringLiteral("CREATE TRIGGER OVslave_totals_del AFTER DELETE ON OVslave BEGIN"
                           " UPDATE OVmaster SET NbrElement = NbrElement - 1,"
                           " TotProba = TotProba - OLD.Proba WHERE Id = OLD.ID; END"),
            QStringLiteral("CREATE TRIGGER OVslave_totals_upd AFTER UPDATE OF Proba, ID ON OVslave"
                           " BEGIN UPDATE OVmaster SET NbrElement = NbrElement - 1,"
                           " TotProba = TotProba - OLD.Proba WHERE Id = OLD.ID;"
                           " UPDATE OVmaster SET NbrElement = NbrElement + 1,"
                           " TotProba = TotProba + NEW.Proba WHERE Id = NEW.ID; END"),

            // The counter that tells cached draws that a random table changed.
            QStringLiteral("CREATE TRIGGER OVmaster_version_ins AFTER INSERT ON OVmaster BEGIN"
                           " UPDATE ovTablesVersion SET version = version + 1; END"),
            QStringLiteral("CREATE TRIGGER OVmaster_version_upd AFTER UPDATE ON OVmaster BEGIN"
                           " UPDATE ovTablesVersion SET version = version + 1; END"),
            QStringLiteral("CREATE TRIGGER OVmaster_version_del AFTER DELETE ON OVmaster BEGIN"
                           " UPDATE ovTablesVersion SET version = version + 1; END"),
            QStringLiteral("CREATE TRIGGER OVslave_version_ins AFTER INSERT ON OVslave BEGIN"
                           " UPDATE ovTablesVersion SET version = version + 1; END"),
            QStringLiteral("CREATE TRIGGER OVslave_version_upd AFTER UPDATE ON OVslave BEGIN"
                           " UPDATE ovTablesVersion SET version = version + 1; END"),
            QStringLiteral("CREATE TRIGGER OVslave_version_del AFTER DELETE ON OVslave BEGIN"
                           " UPDATE ovTablesVersion SET version = version + 1; END"),
        };
    }

    QStringList historyIndexTables() const override {
        return {
            QStringLiteral("CREATE TABLE ovHistory (hid INTEGER PRIMARY KEY, kind TEXT NOT NULL,"
                           " rec INTEGER NOT NULL, n INTEGER, created TEXT, createdTime TEXT,"
                           " printed TEXT)"),
            // Contentless: the texts stay in their tables, the index keeps only their words.
            QStringLiteral("CREATE VIRTUAL TABLE ovHistoryText USING fts5 (body, content = '',"
                           " tokenize = 'unicode61 remove_diacritics 2')"),
        };
    }
    QStringList historySourceTriggers() const override {
        return {
            // A new row waits for its words in ovHistoryPending: writing the word index costs
            // more than the rest of storing, and it is written for many rows at a time. Only
            // the words of indexed rows are taken out of the index.
            QStringLiteral("CREATE TRIGGER ovHistory_{t}_ins AFTER INSERT ON {t} BEGIN"
                           " INSERT INTO ovHistory (kind, rec, n, created, createdTime, printed)"
                           " VALUES ({kn}, NEW.rowid, NEW.Id, {dn}, {tn}, NEW.DateImprime);"
                           " INSERT INTO ovHistoryPending (hid) VALUES (last_insert_rowid()); END"),
            QStringLiteral("CREATE TRIGGER ovHistory_{t}_del AFTER DELETE ON {t} BEGIN"
                           " INSERT INTO ovHistoryText (ovHistoryText, rowid, body)"
                           " SELECT 'delete', hid, coalesce(OLD.{x}, '') FROM ovHistory"
                           " WHERE kind = {ko} AND rec = OLD.rowid"
                           " AND hid NOT IN (SELECT hid FROM ovHistoryPending);"
                           " DELETE FROM ovHistoryPending WHERE hid IN (SELECT hid FROM ovHistory"
                           " WHERE kind = {ko} AND rec = OLD.rowid);"
                           " DELETE FROM ovHistory WHERE kind = {ko} AND rec = OLD.rowid; END"),
            QStringLiteral(
                "CREATE TRIGGER ovHistory_{t}_upd AFTER UPDATE ON {t} BEGIN"
                " INSERT INTO ovHistoryText (ovHistoryText, rowid, body)"
                " SELECT 'delete', hid, coalesce(OLD.{x}, '') FROM ovHistory"
                " WHERE kind = {ko} AND rec = OLD.rowid AND NEW.{x} IS NOT OLD.{x}"
                " AND hid NOT IN (SELECT hid FROM ovHistoryPending);"
                " INSERT INTO ovHistoryText (rowid, body) SELECT hid, coalesce(NEW.{x}, '')"
                " FROM ovHistory WHERE kind = {ko} AND rec = OLD.rowid AND NEW.{x} IS NOT OLD.{x}"
                " AND hid NOT IN (SELECT hid FROM ovHistoryPending);"
                " UPDATE ovHistory SET kind = {kn}, rec = NEW.rowid, n = NEW.Id, created = {dn},"
                " createdTime = {tu}, printed = NEW.DateImprime"
                " WHERE kind = {ko} AND rec = OLD.rowid; END"),
        };
    }
    QString recordCountsTable() const override {
        return QStringLiteral("CREATE TABLE IF NOT EXISTS ovCounts (tbl TEXT NOT NULL PRIMARY KEY,"
                              " total INTEGER NOT NULL, unprinted INTEGER NOT NULL)");
    }
    QStringList recordCountTriggers() const override {
        return {QStringLiteral("CREATE TRIGGER ovCounts_{t}_ins AFTER INSERT ON {t} BEGIN"
                               " UPDATE ovCounts SET total = total + 1,"
                               " unprinted = unprinted + (NEW.DateImprime IS NULL)"
                               " WHERE tbl = '{t}'; END"),
                QStringLiteral("CREATE TRIGGER ovCounts_{t}_del AFTER DELETE ON {t} BEGIN"
                               " UPDATE ovCounts SET total = total - 1,"
                               " unprinted = unprinted - (OLD.DateImprime IS NULL)"
                               " WHERE tbl = '{t}'; END"),
                QStringLiteral("CREATE TRIGGER ovCounts_{t}_upd AFTER UPDATE OF DateImprime ON {t}"
                               " WHEN (OLD.DateImprime IS NULL) <> (NEW.DateImprime IS NULL) BEGIN"
                               " UPDATE ovCounts SET unprinted = unprinted"
                               " + (NEW.DateImprime IS NULL) - (OLD.DateImprime IS NULL)"
                               " WHERE tbl = '{t}'; END")};
    }
    QStringList droppedRecordCountTriggers() const override {
        return {QStringLiteral("DROP TRIGGER IF EXISTS ovCounts_{t}_ins"),
                QStringLiteral("DROP TRIGGER IF EXISTS ovCounts_{t}_del"),
                QStringLiteral("DROP TRIGGER IF EXISTS ovCounts_{t}_upd")};
    }
    QStringList resultCountTriggers() const override {
        const QString removed =
            QStringLiteral(" UPDATE ovCounts SET total = total - 1,"
                           " unprinted = unprinted - (OLD.DateImprime IS NULL)"
                           " WHERE tbl IN ('OVresultat', 'OVresultat:' || OLD.Generateur);");
        const QString added = QStringLiteral(
            " UPDATE ovCounts SET total = total + 1,"
            " unprinted = unprinted + (NEW.DateImprime IS NULL) WHERE tbl = 'OVresultat';"
            " INSERT INTO ovCounts (tbl, total, unprinted)"
            " VALUES ('OVresultat:' || NEW.Generateur, 1, NEW.DateImprime IS NULL)"
            " ON CONFLICT (tbl) DO UPDATE SET total = ovCounts.total + 1,"
            " unprinted = ovCounts.unprinted + excluded.unprinted;");
        return {QStringLiteral("CREATE TRIGGER ovCounts_results_ins AFTER INSERT ON OVresultat"
                               " BEGIN") +
                    added + QStringLiteral(" END"),
                QStringLiteral("CREATE TRIGGER ovCounts_results_del AFTER DELETE ON OVresultat"
                               " BEGIN") +
                    removed + QStringLiteral(" END"),
                QStringLiteral("CREATE TRIGGER ovCounts_results_upd AFTER UPDATE OF Generateur,"
                               " DateImprime ON OVresultat BEGIN") +
                    removed + added + QStringLiteral(" END")};
    }
    QStringList droppedResultCountTriggers() const override {
        return {QStringLiteral("DROP TRIGGER IF EXISTS ovCounts_results_ins"),
                QStringLiteral("DROP TRIGGER IF EXISTS ovCounts_results_del"),
                QStringLiteral("DROP TRIGGER IF EXISTS ovCounts_results_upd")};
    }
    QString historyPendingTable() const override {
        return QStringLiteral("CREATE TABLE IF NOT EXISTS ovHistoryPending"
                              " (hid INTEGER PRIMARY KEY)");
    }
    QStringList droppedHistorySourceTriggers() const override {
        return {QStringLiteral("DROP TRIGGER IF EXISTS ovHistory_{t}_ins"),
                QStringLiteral("DROP TRIGGER IF EXISTS ovHistory_{t}_del"),
                QStringLiteral("DROP TRIGGER IF EXISTS ovHistory_{t}_upd")};
    }
    QString timeIfToday(const QString& day) const override {
        return QStringLiteral("CASE WHEN %1 = date('now', 'localtime')"
                              " THEN time('now', 'localtime') END")
            .arg(day);
    }
    QStringList resultsFollowTheirGenerator() const override {
        return {QStringLiteral(
            "CREATE TRIGGER OVgenerateur_carry_results AFTER UPDATE OF Id ON OVgenerateur"
            " WHEN NEW.Id IS NOT OLD.Id COLLATE BINARY BEGIN"
            " UPDATE OVresultat SET Generateur = NEW.Id WHERE Generateur = OLD.Id; END")};
    }
    QString historyWordsColumn() const override { return QStringLiteral("body"); }
    // Eight segments of a size merged at once instead of four: each word is copied fewer times
    // as the history grows, for a fifth less time per batch; a search reads no slower.
    QString historyWordsMerging() const override {
        return QStringLiteral(
            "INSERT INTO ovHistoryText (ovHistoryText, rank) VALUES ('automerge', 8)");
    }
    QString historyWords(const QString& text) const override {
        return QStringLiteral("coalesce(%1, '')").arg(text);
    }
    QString historyMatchCondition() const override {
        return QStringLiteral("ovHistoryText MATCH ?");
    }
    // Each word quoted, each a prefix, all required.
    QString historyMatchValue(const QStringList& words) const override {
        QStringList terms;
        for (const QString& word : words)
            terms.append(QLatin1Char('"') + word + QStringLiteral("\"*"));
        return terms.join(QLatin1Char(' '));
    }

    Failure failureOf(const QSqlError& error, bool) const override {
        switch (error.nativeErrorCode().toInt() & 0xff) {
        case 5: // busy
        case 6: // locked
            return Failure::Busy;
        case 8:
            return Failure::ReadOnly;
        case 10:
            return Failure::Disk;
        case 11:
            return Failure::Corrupt;
        case 13:
            return Failure::Full;
        case 26:
            return Failure::NotDatabase;
        default:
            return Failure::Other;
        }
    }
};

// ---------------------------------------------------------------------------------------------
class PostgresqlDialect final : public Dialect {
public:
    QString driverName() const override { return QStringLiteral("QPSQL"); }
    QStringList connectionSetup() const override {
        QStringList setup{QStringLiteral("SET client_min_messages = warning"),
                          // Waits for another writer as long as a file store does.
                          QStringLiteral("SET lock_timeout = '10s'")};
        // Dates and times written by the server's triggers are the user's local ones.
        const QByteArray zone = QTimeZone::systemTimeZoneId();
        if (!zone.isEmpty() && QTimeZone(zone).isValid())
            setup.append(QStringLiteral("SET TIME ZONE ") +
                         quotedLiteral(QString::fromLatin1(zone)));
        return setup;
    }
    // One lock for the whole base, held until the transaction ends: the writers of one campaign
    // take their turns as they do on a file, and a number counted inside is nobody else's.
    QStringList beginWrite() const override {
        return {QStringLiteral("BEGIN"), QStringLiteral("SELECT pg_advisory_xact_lock(20040916)")};
    }
    QString beginRead() const override {
        return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ");
    }
    bool prepares(const QString& sql) const override {
        static const QRegularExpression dml(QStringLiteral("^\\s*(SELECT|INSERT|UPDATE|DELETE|"
                                                           "WITH|VALUES)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
        return dml.match(sql).hasMatch();
    }
    // Names written without quotes are kept in lower case.
    QString catalogName(const QString& table) const override { return table.toLower(); }

    bool hasTable(const Database& database, const QString& name) const override {
        return database
                   .scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_tables"
                                          " WHERE schemaname = current_schema()"
                                          " AND tablename = lower(?)"),
                           {name})
                   .toInt() > 0;
    }
    bool isEmpty(const Database& database) const override {
        return database
                   .scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_class c JOIN"
                                          " pg_catalog.pg_namespace s ON s.oid = c.relnamespace"
                                          " WHERE s.nspname = current_schema()"))
                   .toInt() == 0;
    }
    int schemaVersion(const Database& database) const override {
        if (!hasTable(database, QStringLiteral("ovSchemaVersion")))
            return 0;
        return database.scalar(QStringLiteral("SELECT max(version) FROM ovSchemaVersion")).toInt();
    }
    void setSchemaVersion(const Database& database, int version) const override {
        if (!hasTable(database, QStringLiteral("ovSchemaVersion")))
            database.run(QStringLiteral("CREATE TABLE ovSchemaVersion (version INTEGER NOT NULL)"));
        database.run(QStringLiteral("DELETE FROM ovSchemaVersion"));
        database.run(QStringLiteral("INSERT INTO ovSchemaVersion (version) VALUES (?)"), {version});
    }
    QString copyIntoFile() const override { return {}; }

    QString tableDefinition(const QString& sql) const override {
        QString out = sql;
        out.replace(QStringLiteral("{rowid}"),
                    QStringLiteral(", rowid BIGINT GENERATED ALWAYS AS IDENTITY UNIQUE"));
        out.remove(QStringLiteral(" COLLATE NOCASE"));
        // Texts compare and sort byte by byte, as on a file, whatever the server's language.
        static const QRegularExpression text(QStringLiteral("\\bTEXT\\b"));
        static const QRegularExpression real(QStringLiteral("\\bREAL\\b"));
        static const QRegularExpression integer(QStringLiteral("\\bINTEGER\\b"));
        out.replace(text, QStringLiteral("TEXT COLLATE \"C\""));
        out.replace(real, QStringLiteral("DOUBLE PRECISION"));
        out.replace(integer, QStringLiteral("BIGINT"));
        return out;
    }
    QStringList caseInsensitiveUnique(const QString& table, const QString& column) const override {
        return {QStringLiteral("CREATE UNIQUE INDEX ix%1%2Nocase ON %1 (lower(%2))")
                    .arg(table, column)};
    }

    QStringList randomTableTriggers() const override {
        return {
            // Field widths are counted in characters; a longer text is cut, whoever writes it.
            QStringLiteral("CREATE FUNCTION ov_master_width() RETURNS trigger LANGUAGE plpgsql AS"
                           " $$ BEGIN NEW.Id := substr(NEW.Id, 1, 4);"
                           " NEW.Nom := substr(NEW.Nom, 1, 40); RETURN NEW; END $$"),
            QStringLiteral("CREATE TRIGGER OVmaster_width BEFORE INSERT OR UPDATE OF Id, Nom"
                           " ON OVmaster FOR EACH ROW EXECUTE FUNCTION ov_master_width()"),
            QStringLiteral("CREATE FUNCTION ov_slave_width() RETURNS trigger LANGUAGE plpgsql AS"
                           " $$ BEGIN NEW.ID := substr(NEW.ID, 1, 4);"
                           " NEW.Element := substr(NEW.Element, 1, 60); RETURN NEW; END $$"),
            QStringLiteral("CREATE TRIGGER OVslave_width BEFORE INSERT OR UPDATE OF ID, Element"
                           " ON OVslave FOR EACH ROW EXECUTE FUNCTION ov_slave_width()"),

            // Elements follow their table when its Id is edited; the table keeps the totals of
            // exactly the elements it now has.
            QStringLiteral(
                "CREATE FUNCTION ov_master_carry() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                " IF NEW.Id IS DISTINCT FROM OLD.Id THEN"
                " UPDATE OVslave SET ID = NEW.Id WHERE ID = OLD.Id;"
                " UPDATE OVmaster SET NbrElement = (SELECT count(*) FROM OVslave WHERE ID = "
                "NEW.Id),"
                " TotProba = (SELECT coalesce(sum(Proba), 0) FROM OVslave WHERE ID = NEW.Id)"
                " WHERE Id = NEW.Id; END IF; RETURN NULL; END $$"),
            QStringLiteral("CREATE TRIGGER OVmaster_carry_elements AFTER UPDATE OF Id ON OVmaster"
                           " FOR EACH ROW EXECUTE FUNCTION ov_master_carry()"),

            // The totals of a table follow each element posted, changed or deleted.
            QStringLiteral(
                "CREATE FUNCTION ov_slave_totals() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                " IF TG_OP <> 'INSERT' THEN UPDATE OVmaster SET NbrElement = NbrElement - 1,"
                " TotProba = TotProba - OLD.Proba WHERE Id = OLD.ID; END IF;"
                " IF TG_OP <> 'DELETE' THEN UPDATE OVmaster SET NbrElement = NbrElement + 1,"
                " TotProba = TotProba + NEW.Proba WHERE Id = NEW.ID; END IF;"
                " RETURN NULL; END $$"),
            QStringLiteral("CREATE TRIGGER OVslave_totals AFTER INSERT OR DELETE OR UPDATE OF"
                           " Proba, ID ON OVslave FOR EACH ROW EXECUTE FUNCTION ov_slave_totals()"),

            // The counter that tells cached draws that a random table changed: once a statement.
            QStringLiteral("CREATE FUNCTION ov_tables_version() RETURNS trigger LANGUAGE plpgsql"
                           " AS $$ BEGIN UPDATE ovTablesVersion SET version = version + 1;"
                           " RETURN NULL; END $$"),
            QStringLiteral("CREATE TRIGGER OVmaster_version AFTER INSERT OR UPDATE OR DELETE"
                           " ON OVmaster FOR EACH STATEMENT EXECUTE FUNCTION ov_tables_version()"),
            QStringLiteral("CREATE TRIGGER OVslave_version AFTER INSERT OR UPDATE OR DELETE"
                           " ON OVslave FOR EACH STATEMENT EXECUTE FUNCTION ov_tables_version()"),
        };
    }

    QStringList historyIndexTables() const override {
        const PlainLetters& letters = plainLetters();
        return {
            QStringLiteral("CREATE TABLE ovHistory (hid BIGINT GENERATED BY DEFAULT AS IDENTITY"
                           " PRIMARY KEY, kind TEXT COLLATE \"C\" NOT NULL, rec BIGINT NOT NULL,"
                           " n BIGINT, created TEXT COLLATE \"C\", createdTime TEXT COLLATE \"C\","
                           " printed TEXT COLLATE \"C\")"),
            // The words of each text, without accents and in lower case, the same way on every
            // server whatever its language.
            QStringLiteral("CREATE FUNCTION ov_words(body text) RETURNS tsvector LANGUAGE sql"
                           " IMMUTABLE AS $$ SELECT to_tsvector('simple', lower(translate("
                           "coalesce(body, ''), %1, %2))) $$")
                .arg(quotedLiteral(letters.accented), quotedLiteral(letters.plain)),
            QStringLiteral("CREATE TABLE ovHistoryText (rowid BIGINT PRIMARY KEY,"
                           " words tsvector NOT NULL)"),
            QStringLiteral("CREATE INDEX ixHistoryWords ON ovHistoryText USING gin (words)"),
        };
    }
    QStringList historySourceTriggers() const override {
        return {
            QStringLiteral(
                "CREATE FUNCTION ovhistory_{t}() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                " IF TG_OP = 'INSERT' THEN"
                " INSERT INTO ovHistory (kind, rec, n, created, createdTime, printed)"
                " VALUES ({kn}, NEW.rowid, NEW.Id, {dn}, {tn}, NEW.DateImprime);"
                " INSERT INTO ovHistoryText (rowid, words) SELECT hid, ov_words(NEW.{x})"
                " FROM ovHistory WHERE kind = {kn} AND rec = NEW.rowid;"
                " ELSIF TG_OP = 'DELETE' THEN"
                " DELETE FROM ovHistoryText WHERE rowid IN (SELECT hid FROM ovHistory"
                " WHERE kind = {ko} AND rec = OLD.rowid);"
                " DELETE FROM ovHistory WHERE kind = {ko} AND rec = OLD.rowid;"
                " ELSE"
                " IF NEW.{x} IS DISTINCT FROM OLD.{x} THEN UPDATE ovHistoryText SET words ="
                " ov_words(NEW.{x}) WHERE rowid IN (SELECT hid FROM ovHistory"
                " WHERE kind = {ko} AND rec = OLD.rowid); END IF;"
                " UPDATE ovHistory SET kind = {kn}, rec = NEW.rowid, n = NEW.Id, created = {dn},"
                " createdTime = {tu}, printed = NEW.DateImprime"
                " WHERE kind = {ko} AND rec = OLD.rowid;"
                " END IF; RETURN NULL; END $$"),
            QStringLiteral("CREATE TRIGGER ovHistory_{t} AFTER INSERT OR UPDATE OR DELETE ON {t}"
                           " FOR EACH ROW EXECUTE FUNCTION ovhistory_{t}()"),
        };
    }
    QString recordCountsTable() const override {
        return QStringLiteral("CREATE TABLE IF NOT EXISTS ovCounts (tbl TEXT COLLATE \"C\" NOT NULL"
                              " PRIMARY KEY, total BIGINT NOT NULL, unprinted BIGINT NOT NULL)");
    }
    QStringList recordCountTriggers() const override {
        return {
            QStringLiteral(
                "CREATE OR REPLACE FUNCTION ovcounts_{t}() RETURNS trigger LANGUAGE plpgsql"
                " AS $$ BEGIN"
                " IF TG_OP = 'INSERT' THEN UPDATE ovCounts SET total = total + 1, unprinted ="
                " unprinted + (CASE WHEN NEW.DateImprime IS NULL THEN 1 ELSE 0 END)"
                " WHERE tbl = '{t}';"
                " ELSIF TG_OP = 'DELETE' THEN UPDATE ovCounts SET total = total - 1, unprinted ="
                " unprinted - (CASE WHEN OLD.DateImprime IS NULL THEN 1 ELSE 0 END)"
                " WHERE tbl = '{t}';"
                " ELSIF (OLD.DateImprime IS NULL) <> (NEW.DateImprime IS NULL) THEN"
                " UPDATE ovCounts SET unprinted = unprinted"
                " + (CASE WHEN NEW.DateImprime IS NULL THEN 1 ELSE -1 END) WHERE tbl = '{t}';"
                " END IF; RETURN NULL; END $$"),
            QStringLiteral("CREATE TRIGGER ovcounts_{t} AFTER INSERT OR UPDATE OR DELETE ON {t}"
                           " FOR EACH ROW EXECUTE FUNCTION ovcounts_{t}()")};
    }
    QStringList droppedRecordCountTriggers() const override {
        return {QStringLiteral("DROP TRIGGER IF EXISTS ovcounts_{t} ON {t}")};
    }
    QStringList resultCountTriggers() const override {
        return {QStringLiteral(
                    "CREATE OR REPLACE FUNCTION ovcounts_results() RETURNS trigger LANGUAGE plpgsql"
                    " AS $$ BEGIN"
                    " IF TG_OP <> 'INSERT' THEN UPDATE ovCounts SET total = total - 1, unprinted ="
                    " unprinted - (CASE WHEN OLD.DateImprime IS NULL THEN 1 ELSE 0 END)"
                    " WHERE tbl IN ('OVresultat', 'OVresultat:' || OLD.Generateur); END IF;"
                    " IF TG_OP <> 'DELETE' THEN UPDATE ovCounts SET total = total + 1, unprinted ="
                    " unprinted + (CASE WHEN NEW.DateImprime IS NULL THEN 1 ELSE 0 END)"
                    " WHERE tbl = 'OVresultat';"
                    " INSERT INTO ovCounts (tbl, total, unprinted) VALUES ('OVresultat:' ||"
                    " NEW.Generateur, 1, CASE WHEN NEW.DateImprime IS NULL THEN 1 ELSE 0 END)"
                    " ON CONFLICT (tbl) DO UPDATE SET total = ovCounts.total + 1,"
                    " unprinted = ovCounts.unprinted + EXCLUDED.unprinted; END IF;"
                    " RETURN NULL; END $$"),
                QStringLiteral("CREATE TRIGGER ovcounts_results AFTER INSERT OR DELETE OR UPDATE OF"
                               " Generateur, DateImprime ON OVresultat"
                               " FOR EACH ROW EXECUTE FUNCTION ovcounts_results()")};
    }
    QStringList droppedResultCountTriggers() const override {
        return {QStringLiteral("DROP TRIGGER IF EXISTS ovcounts_results ON OVresultat")};
    }
    QString historyPendingTable() const override {
        return QStringLiteral("CREATE TABLE IF NOT EXISTS ovHistoryPending"
                              " (hid BIGINT PRIMARY KEY)");
    }
    // The server's index takes each text's words at once, in its own pending list.
    QStringList droppedHistorySourceTriggers() const override { return {}; }
    QString timeIfToday(const QString& day) const override {
        return QStringLiteral("CASE WHEN %1 = to_char(localtimestamp, 'YYYY-MM-DD')"
                              " THEN to_char(localtimestamp, 'HH24:MI:SS') END")
            .arg(day);
    }
    QStringList resultsFollowTheirGenerator() const override {
        return {QStringLiteral("CREATE FUNCTION ov_generator_carry() RETURNS trigger"
                               " LANGUAGE plpgsql AS $$ BEGIN IF NEW.Id IS DISTINCT FROM OLD.Id"
                               " THEN UPDATE OVresultat SET Generateur = NEW.Id"
                               " WHERE Generateur = OLD.Id; END IF; RETURN NULL; END $$"),
                QStringLiteral("CREATE TRIGGER OVgenerateur_carry_results AFTER UPDATE OF Id"
                               " ON OVgenerateur FOR EACH ROW EXECUTE FUNCTION"
                               " ov_generator_carry()")};
    }
    QString historyWordsColumn() const override { return QStringLiteral("words"); }
    QString historyWords(const QString& text) const override {
        return QStringLiteral("ov_words(%1)").arg(text);
    }
    QString historyMatchCondition() const override {
        return QStringLiteral("ovHistoryText.words @@ to_tsquery('simple', ?)");
    }
    QString historyMatchValue(const QStringList& words) const override {
        QStringList terms;
        for (const QString& word : words) {
            QString plain = plainWord(word);
            plain.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
            terms.append(quotedLiteral(plain) + QStringLiteral(":*"));
        }
        return terms.join(QStringLiteral(" & "));
    }

    Failure failureOf(const QSqlError& error, bool stillOpen) const override {
        const QString state = error.nativeErrorCode();
        const QString text = error.databaseText() + QLatin1Char(' ') + error.driverText();
        if (!stillOpen || state.startsWith(QStringLiteral("08")) ||
            state.startsWith(QStringLiteral("57P")) || error.type() == QSqlError::ConnectionError ||
            text.contains(QStringLiteral("server closed the connection")) ||
            text.contains(QStringLiteral("no connection to the server")) ||
            text.contains(QStringLiteral("terminating connection")))
            return Failure::ConnectionLost;
        if (state == QStringLiteral("55P03") || state == QStringLiteral("40P01") ||
            state == QStringLiteral("40001"))
            return Failure::Busy;
        if (state == QStringLiteral("25006") || state == QStringLiteral("42501"))
            return Failure::ReadOnly;
        if (state == QStringLiteral("53100"))
            return Failure::Full;
        if (state.startsWith(QStringLiteral("58")))
            return Failure::Disk;
        if (state.startsWith(QStringLiteral("XX")))
            return Failure::Corrupt;
        return Failure::Other;
    }
};

} // namespace

const Dialect& Dialect::sqlite() {
    static const SqliteDialect dialect;
    return dialect;
}

const Dialect& Dialect::postgresql() {
    static const PostgresqlDialect dialect;
    return dialect;
}

QString plainWord(const QString& word) {
    const PlainLetters& letters = plainLetters();
    QString plain = word;
    for (QChar& c : plain) {
        const qsizetype at = letters.accented.indexOf(c);
        if (at >= 0)
            c = letters.plain.at(at);
    }
    return plain.toLower();
}

} // namespace ov
