#include "maintenance.h"

#include "database.h"
#include "textrules.h"

#include <QHash>
#include <QStringList>

namespace ov {

Refusal controlCharacterRefusal(const QString& field, const QString& text) {
    const qsizetype index = firstControlCharacter(text);
    if (index < 0)
        return std::nullopt;
    return field + QStringLiteral(" : ") + controlCharacterProblem(text, index);
}

QString TableMaintenance::tableKey(const QString& text) {
    return cutToWidth(text, width::TableId);
}

bool TableMaintenance::tableExists(const QString& id) const {
    return m_database.scalar(QStringLiteral("SELECT 1 FROM OVmaster WHERE Id = ?"), {tableKey(id)})
        .isValid();
}

bool TableMaintenance::elementExists(const QString& tableId, const QString& element) const {
    return m_database
        .scalar(QStringLiteral("SELECT 1 FROM OVslave WHERE ID = ? AND Element = ?"),
                {tableKey(tableId), cutToWidth(element, width::Element)})
        .isValid();
}

Refusal TableMaintenance::createTable(const QString& idText, const QString& name) const {
    if (idText.isEmpty() || name.isEmpty())
        return maintenance::enterValues();
    if (auto refusal = controlCharacterRefusal(QStringLiteral("Id"), idText))
        return refusal;
    if (auto refusal = controlCharacterRefusal(QStringLiteral("Nom"), name))
        return refusal;
    if (tableExists(idText))
        return maintenance::tableExists();
    m_database.run(QStringLiteral("INSERT INTO OVmaster (Id, Nom, NbrElement, TotProba)"
                                  " VALUES (?, ?, 0, 0)"),
                   {tableKey(idText), cutToWidth(name, width::TableName)});
    return std::nullopt;
}

Refusal TableMaintenance::addElement(const QString& tableId, const QString& element,
                                     const QString& weightText) const {
    if (auto refusal = controlCharacterRefusal(QStringLiteral("Element"), element))
        return refusal;
    if (elementExists(tableId, element))
        return maintenance::elementExists();
    if (!tableExists(tableId))
        return maintenance::noTableSelected();
    const std::optional<int> weight = parseElementWeight(weightText);
    if (!weight)
        return maintenance::badWeight();
    m_database.run(QStringLiteral("INSERT INTO OVslave (Proba, Element, ID) VALUES (?, ?, ?)"),
                   {double(*weight), cutToWidth(element, width::Element), tableKey(tableId)});
    return std::nullopt;
}

Refusal TableMaintenance::checkTableIdChange(const QString& currentId,
                                             const QString& newIdText) const {
    const QString newId = tableKey(newIdText);
    if (newId.isEmpty())
        return maintenance::emptyTableId();
    if (auto refusal = controlCharacterRefusal(QStringLiteral("Id"), newIdText))
        return refusal;
    if (newId != currentId && tableExists(newId))
        return maintenance::tableIdTaken(newId);
    return std::nullopt;
}

Refusal TableMaintenance::changeTableId(const QString& currentId, const QString& newIdText) const {
    Refusal refusal;
    m_database.transaction([&] {
        refusal = checkTableIdChange(currentId, newIdText);
        if (!refusal)
            m_database.run(QStringLiteral("UPDATE OVmaster SET Id = ? WHERE Id = ?"),
                           {tableKey(newIdText), currentId});
    });
    return refusal;
}

void TableMaintenance::deleteElements(const QString& tableId) const {
    m_database.run(QStringLiteral("DELETE FROM ovSlave WHERE ID = ?"), {tableId});
}

void TableMaintenance::deleteTableRow(const QString& tableId) const {
    m_database.run(QStringLiteral("DELETE FROM OVmaster WHERE Id = ?"), {tableId});
}

void TableMaintenance::deleteTable(const QString& tableId) const {
    m_database.transaction([&] {
        deleteElements(tableId);
        deleteTableRow(tableId);
    });
}

void TableMaintenance::deleteElement(qint64 rowId) const {
    m_database.run(QStringLiteral("DELETE FROM OVslave WHERE rowid = ?"), {rowId});
}

void TableMaintenance::recount() const {
    m_database.transaction([&] {
        struct Totals {
            qint64 count = 0;
            qint64 sum = 0;
        };
        QHash<QString, Totals> totals;
        QSqlQuery elements = m_database.run(QStringLiteral("SELECT ID, Proba FROM OVslave"));
        while (elements.next()) {
            Totals& t = totals[elements.value(0).toString()];
            ++t.count;
            t.sum += roundHalfEven(elements.value(1).toDouble());
        }
        QStringList ids;
        QSqlQuery tables = m_database.run(QStringLiteral("SELECT Id FROM OVmaster ORDER BY Id"));
        while (tables.next())
            ids.append(tables.value(0).toString());
        for (const QString& id : ids) {
            const Totals t = totals.value(id);
            m_database.run(
                QStringLiteral("UPDATE OVmaster SET NbrElement = ?, TotProba = ? WHERE Id = ?"),
                {double(t.count), double(t.sum), id});
        }
    });
}

} // namespace ov
