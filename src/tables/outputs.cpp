#include "outputs.h"

#include "database.h"
#include "errors.h"
#include "textrules.h"

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

void appendRecord(const Database& database, OutputKind kind, int id, const QString& text,
                  const QString& stringValue, const QDateTime& created) {
    const OutputTable& t = outputTable(kind);
    database.run(QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation, DateImprime)"
                                " VALUES (?, ?, ?, ?, NULL)")
                     .arg(t.table, t.textField, t.stringField),
                 {double(id), text, cutToWidth(stringValue, width::RecordType),
                  created.date().toString(Qt::ISODate)});
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
