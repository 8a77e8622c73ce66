#include "outputs.h"

#include "database.h"
#include "errors.h"
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

int nextRecordNumber(const Database& database, OutputKind kind) {
    const OutputTable& t = outputTable(kind);
    if (!database.hasTable(QStringLiteral("ovRecordNumbers")))
        return recordCount(database, kind); // a read-only file of an older version
    return database
        .scalar(QStringLiteral("SELECT (SELECT count(*) FROM %1) + (SELECT count(*) FROM"
                               " ovRecordNumbers WHERE OutputTable = ?)")
                    .arg(t.table),
                {t.table})
        .toInt();
}

int takeRecordNumber(const Database& database, OutputKind kind) {
    int number = 0;
    database.transaction([&] {
        number = nextRecordNumber(database, kind);
        database.execute(
            QStringLiteral("INSERT INTO ovRecordNumbers (OutputTable, Number) VALUES (?, ?)"),
            {outputTable(kind).table, number});
    });
    return number;
}

void giveBackRecordNumber(const Database& database, OutputKind kind, int number) {
    database.execute(
        QStringLiteral("DELETE FROM ovRecordNumbers WHERE OutputTable = ? AND Number = ?"),
        {outputTable(kind).table, number});
}

void appendRecord(const Database& database, OutputKind kind, int id, const QString& text,
                  const QString& stringValue, const QDateTime& created) {
    const OutputTable& t = outputTable(kind);
    // The record and the end of its number's reservation go together: the number is in use
    // either way, never twice and never not at all.
    database.transaction([&] {
        database.execute(QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation, DateImprime)"
                                        " VALUES (?, ?, ?, ?, NULL)")
                             .arg(t.table, t.textField, t.stringField),
                         {double(id), text, cutToWidth(stringValue, width::RecordType),
                          created.date().toString(Qt::ISODate)});
        giveBackRecordNumber(database, kind, id);
    });
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
}

void deleteRecords(const Database& database, OutputKind kind) {
    database.run(QStringLiteral("DELETE FROM ") + outputTable(kind).table);
}

UnprintedCount::UnprintedCount(const Database& database)
    : m_database(database), m_statement(initialStatement()) {}

QString UnprintedCount::initialStatement() {
    return QStringLiteral("SELECT COUNT(*) as NonImprime\nFROM ovPerso\nWHERE DateImprime IS NULL");
}

void UnprintedCount::open() {
    m_open = false;
    m_value = m_database.scalar(m_statement).toLongLong();
    m_open = true;
}

} // namespace ov
