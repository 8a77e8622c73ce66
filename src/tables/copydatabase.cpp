#include "copydatabase.h"

#include "database.h"
#include "historyindex.h"
#include "savefile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace ov {

const QStringList& campaignTableNames() {
    // The elements come before their tables: each element written adds its weight to the totals
    // of its table, which then arrives with the totals it has in the source, the ones the draws
    // read.
    static const QStringList names{QStringLiteral("OVslave"),      QStringLiteral("OVmaster"),
                                   QStringLiteral("OVperso"),      QStringLiteral("OVtresor"),
                                   QStringLiteral("OVrencontre"),  QStringLiteral("OVvillage"),
                                   QStringLiteral("OVgenerateur"), QStringLiteral("OVresultat")};
    return names;
}

QString CopyReport::text() const {
    QString text;
    for (const auto& [table, count] : rows)
        text += QStringLiteral("  %1 : %2 ligne%3\n")
                    .arg(table)
                    .arg(count)
                    .arg(count > 1 ? QStringLiteral("s") : QString());
    return text;
}

namespace {

// One table as the copy reads and writes it: the columns that both sides have, in the source's
// order, each spelled as its own side spells it.
class TableCopy {
public:
    TableCopy(const Database& from, const Database& to, const QString& table) : m_to(to) {
        const QSqlRecord source = from.connection().record(from.dialect().catalogName(table));
        const QSqlRecord target = to.connection().record(to.dialect().catalogName(table));
        QStringList read, written, marks;
        for (int i = 0; i < source.count(); ++i) {
            // Where an engine shows the insertion order as a column, the target numbers the rows
            // itself as they arrive.
            if (source.fieldName(i).compare(from.insertionOrder(), Qt::CaseInsensitive) == 0)
                continue;
            const int j = target.indexOf(source.fieldName(i));
            if (j < 0)
                continue;
            read.append(from.connection().driver()->escapeIdentifier(source.fieldName(i),
                                                                     QSqlDriver::FieldName));
            written.append(to.connection().driver()->escapeIdentifier(target.fieldName(j),
                                                                      QSqlDriver::FieldName));
            marks.append(QStringLiteral("?"));
        }
        m_columns = int(read.size());
        if (read.isEmpty())
            throw DatabaseError(QStringLiteral("La table %1 n'a aucune colonne commune aux bases"
                                               " %2 et %3.")
                                    .arg(table, QDir::toNativeSeparators(from.path()),
                                         QDir::toNativeSeparators(to.path())));
        m_select = QStringLiteral("SELECT %1 FROM %2").arg(read.join(QStringLiteral(", ")), table);
        m_insert =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, written.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }

    // The statement that reads the columns; a condition or an order may follow it.
    const QString& select() const { return m_select; }

    // Writes a row read by select() into the target.
    bool write(const QSqlQuery& row) const {
        QVariantList values;
        for (int i = 0; i < m_columns; ++i)
            values.append(row.value(i));
        m_to.execute(m_insert, values);
        return true;
    }

private:
    const Database& m_to;
    QString m_select;
    QString m_insert;
    int m_columns = 0;
};

qint64 copyInOrder(const Database& from, const Database& to, const QString& table) {
    const TableCopy copy(from, to, table);
    qint64 rows = 0;
    from.forEachRow(copy.select() + QStringLiteral(" ORDER BY ") + from.insertionOrder(), {},
                    [&](const QSqlQuery& row) {
                        ++rows;
                        return copy.write(row);
                    });
    return rows;
}

// The tables of generated texts, each in its own order, interleaved as the source's history
// lists them, so that the target's history (filled by its triggers as the rows arrive) has the
// same order and the same times of creation. Rows the index lacks come after the others.
void copyHistorySources(const Database& from, const Database& to,
                        const QVector<HistorySource>& sources, QHash<QString, qint64>& counts) {
    struct Stream {
        const HistorySource& source;
        TableCopy copy;
        QVector<HistoryPlace> places;
        qsizetype next = 0;
        qint64 rank() const {
            const qint64 position = places.at(next).position;
            return position > 0 ? position : std::numeric_limits<qint64>::max();
        }
    };
    std::vector<Stream> streams;
    for (const HistorySource& source : sources) {
        streams.push_back({source, TableCopy(from, to, source.table), historyPlaces(from, source)});
        counts.insert(source.table, streams.back().places.size());
    }
    const QString byKey = QStringLiteral(" WHERE %1 = ?").arg(from.insertionOrder());
    for (;;) {
        Stream* chosen = nullptr;
        for (Stream& stream : streams)
            if (stream.next < stream.places.size() && (!chosen || stream.rank() < chosen->rank()))
                chosen = &stream;
        if (!chosen)
            break;
        const HistoryPlace& place = chosen->places.at(chosen->next++);
        from.forEachRow(chosen->copy.select() + byKey, {place.key},
                        [&](const QSqlQuery& row) { return chosen->copy.write(row); });
        setLastRowTime(to, chosen->source, place.createdTime);
    }
}

} // namespace

CopyReport copyDatabase(const Database& from, const Database& to, bool replace) {
    const QString target = QDir::toNativeSeparators(to.path());
    if (from.isOwnFile(to.path()))
        throw DatabaseError(QStringLiteral("La base %1 ne peut pas être copiée sur elle-même :"
                                           " rien n'a été écrit.")
                                .arg(target));
    if (to.isReadOnly())
        throw DatabaseError(
            QStringLiteral("La base %1 est en lecture seule : rien n'y a été écrit.").arg(target));
    for (const QString& table : campaignTableNames()) {
        from.requireTable(table);
        if (!to.awaitsSchema())
            to.requireTable(table);
    }
    QVector<HistorySource> sources;
    for (const HistorySource& source : historySources())
        if (campaignTableNames().contains(source.table, Qt::CaseInsensitive))
            sources.append(source);
    const auto isSource = [&](const QString& table) {
        return std::any_of(sources.begin(), sources.end(), [&](const HistorySource& source) {
            return source.table.compare(table, Qt::CaseInsensitive) == 0;
        });
    };

    // What the source holds when the copy begins, whatever other programs write meanwhile.
    Database::ReadSnapshot snapshot(from);
    QHash<QString, qint64> counts;
    to.transaction([&] {
        // A new target gets its schema in the copy's transaction: a failure leaves it empty.
        to.createEmptySchema();
        QStringList holding;
        for (const QString& table : campaignTableNames())
            if (to.scalar(QStringLiteral("SELECT count(*) FROM ") + table).toLongLong() > 0)
                holding.append(table);
        if (!holding.isEmpty() && !replace)
            throw TargetNotEmptyError(
                QStringLiteral("La base %1 contient déjà des données (%2) : rien n'y a été écrit.")
                    .arg(target, holding.join(QStringLiteral(", "))));
        // Tables before their elements, so that no total is adjusted for nothing.
        for (auto table = campaignTableNames().crbegin(); table != campaignTableNames().crend();
             ++table)
            to.execute(QStringLiteral("DELETE FROM ") + *table);

        bool sourcesCopied = false;
        for (const QString& table : campaignTableNames()) {
            if (!isSource(table))
                counts.insert(table, copyInOrder(from, to, table));
            else if (!std::exchange(sourcesCopied, true))
                copyHistorySources(from, to, sources, counts);
        }
    });
    CopyReport report;
    for (const QString& table : campaignTableNames())
        report.rows.append({table, counts.value(table)});
    return report;
}

CopyReport copyDatabaseToNewFile(const Database& from, const QString& path) {
    const QFileInfo info(path);
    const QString target = QDir::toNativeSeparators(path);
    if (info.exists() || info.isSymLink())
        throw DatabaseError(QStringLiteral("La base %1 existe déjà.").arg(target));
    if (!info.absoluteDir().exists())
        throw DatabaseError(QStringLiteral("Le dossier de la base %1 n'existe pas : aucune base n'a"
                                           " été créée.")
                                .arg(target));
    QString partial;
    {
        // A free name beside the target, on the same disk, so that the rename cannot copy.
        QTemporaryFile reserved(info.absoluteFilePath() + QStringLiteral(".copie-XXXXXX"));
        reserved.setAutoRemove(false);
        if (!reserved.open())
            throw DatabaseError(
                cannotWriteMessage(reserved.fileTemplate(), reserved.errorString()));
        partial = reserved.fileName();
    }
    QFile::remove(partial);
    try {
        CopyReport report;
        {
            const Database to(partial, Database::NewStore::SchemaLater);
            report = copyDatabase(from, to, false);
            // The whole base in the one file that takes the target's name.
            to.execute(QStringLiteral("PRAGMA journal_mode=DELETE"));
        }
        if (!flushToDisk(partial))
            throw DatabaseError(
                cannotWriteMessage(partial, QStringLiteral("écriture sur le disque impossible")));
        // Renamed only if the name is still free: a file that appeared meanwhile stays as it is.
        if (!QFile::rename(partial, path))
            throw DatabaseError(
                QStringLiteral("La base %1 n'a pas pu prendre son nom (un fichier de ce nom est"
                               " apparu pendant la copie ?) : rien n'a été copié.")
                    .arg(target));
        return report;
    } catch (...) {
        removeDatabaseFiles(partial);
        throw;
    }
}

} // namespace ov
