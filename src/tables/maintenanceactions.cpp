#include "maintenanceactions.h"

#include "database.h"
#include "errors.h"
#include "messages.h"

namespace ov {

void MaintenanceActions::useStore(const Database& database) {
    m_database = &database;
    m_maintenance.emplace(database);
}

const TableMaintenance& MaintenanceActions::rules() const {
    if (!m_maintenance)
        throw DatabaseError(QStringLiteral("La base de données n'est pas ouverte."));
    return *m_maintenance;
}

bool MaintenanceActions::refused(const Refusal& refusal) {
    if (refusal)
        m_messages.showMessage(*refusal);
    return bool(refusal);
}

void MaintenanceActions::readElementsAgain(TablesView& view) {
    try {
        view.elementsChanged();
    } catch (const Error& error) {
        m_messages.showMessage(error.message());
    } catch (const std::exception& error) {
        m_messages.showMessage(QString::fromLocal8Bit(error.what()));
    }
}

bool MaintenanceActions::newTable(const QString& idText, const QString& name, TablesView& view) {
    if (idText.isEmpty() || name.isEmpty())
        return !refused(maintenance::enterValues());
    view.requireTablesOpen();
    const QString key = TableMaintenance::tableKey(idText);
    if (view.standOnTable(key))
        return !refused(maintenance::tableExists());
    if (refused(rules().createTable(idText, name)))
        return false;
    view.tablesChanged();
    view.standOnTable(key);
    readElementsAgain(view);
    return true;
}

bool MaintenanceActions::addToCurrentTable(const QString& element, const QString& weightText,
                                           TablesView& view) {
    if (!view.tablesOpen())
        return !refused(maintenance::masterInactive());
    if (!view.currentTable())
        return !refused(maintenance::noTableSelected());
    if (element.isEmpty() || weightText.isEmpty())
        return !refused(maintenance::enterElementValues());
    view.postPendingEdits();
    return addElement(view.currentTable().value_or(QString()), element, weightText, view);
}

bool MaintenanceActions::addElement(const QString& tableId, const QString& element,
                                    const QString& weightText, TablesView& view) {
    view.requireElementsOpen();
    view.postPendingEdits();
    if (rules().elementExists(tableId, element))
        return !refused(maintenance::elementExists());
    view.showElementsOf(tableId);
    if (refused(rules().addElement(tableId, element, weightText)))
        return false;
    // The new element is the table's last one in insertion order; the store has already counted
    // it in its table's totals.
    view.standOnLastElement();
    view.totalsChanged();
    return true;
}

void MaintenanceActions::deleteElementsOf(const QString& tableId, TablesView& view) {
    rules().deleteElements(tableId);
    view.elementsChanged();
}

void MaintenanceActions::deleteTable(const QString& tableId, TablesView& view) {
    rules();
    try {
        m_database->transaction([&] {
            deleteElementsOf(tableId, view);
            rules().deleteTableRow(tableId);
        });
    } catch (const Error&) {
        // Nothing was deleted: the element list shows the elements again.
        readElementsAgain(view);
        throw;
    }
}

void MaintenanceActions::deleteElement(qint64 rowId, TablesView& view) {
    rules().deleteElement(rowId);
    view.elementsChanged();
    view.totalsChanged();
}

void MaintenanceActions::recount(TablesView& view) {
    view.requireTablesOpen();
    view.requireElementsOpen();
    view.postPendingEdits();
    rules().recount();
    view.tablesRecounted();
}

} // namespace ov
