#pragma once
// The table maintenance actions of the main screen, without a widget: the checks in their order,
// the change in the store, and what the shown tables do after it.

#include "maintenance.h"

#include <QString>
#include <optional>

namespace ov {

class Database;
class MessageSink;

// The random tables as a window shows them: a list of tables standing on one, and the elements.
class TablesView {
public:
    virtual ~TablesView() = default;
    // The message of a closed list is raised as an error.
    virtual bool tablesOpen() const = 0;
    virtual void requireTablesOpen() const = 0;
    virtual void requireElementsOpen() const = 0;
    // A change pending in either list is stored.
    virtual void postPendingEdits() = 0;
    // The Id of the table the list stands on; nothing when it stands on none.
    virtual std::optional<QString> currentTable() const = 0;
    // Stands on the listed table with that key; false, and unmoved, when it is not listed.
    virtual bool standOnTable(const QString& key) = 0;
    // The list of tables read again, standing on the same table.
    virtual void tablesChanged() = 0;
    // An element came or went: the tables' totals shown again, unless a table is being edited.
    virtual void totalsChanged() = 0;
    // The element list read again.
    virtual void elementsChanged() = 0;
    // The element list shows only the elements of that table.
    virtual void showElementsOf(const QString& tableId) = 0;
    // The element list read again and standing on its last element.
    virtual void standOnLastElement() = 0;
    // After "Rafraîchir": tables read again, standing on the last, its elements shown.
    virtual void tablesRecounted() = 0;
};

class MaintenanceActions {
public:
    explicit MaintenanceActions(MessageSink& messages) : m_messages(messages) {}

    // The store the actions change; until then every action stops at the closed lists.
    void useStore(const Database& database);

    // "&Nouvelle Table": both texts, a free Id, then the list stands on the new table. False,
    // with a message, when refused.
    bool newTable(const QString& idText, const QString& name, TablesView& view);
    // "&Ajouter": an element for the table the list stands on.
    bool addToCurrentTable(const QString& element, const QString& weightText, TablesView& view);
    // An element for a named table; the element list then shows that table, on the new element.
    bool addElement(const QString& tableId, const QString& element, const QString& weightText,
                    TablesView& view);
    // The cascade before a table goes: its elements deleted, the element list read again.
    void deleteElementsOf(const QString& tableId, TablesView& view);
    // The cascade and the table, in one transaction; when it fails, nothing is deleted and the
    // element list is read again.
    void deleteTable(const QString& tableId, TablesView& view);
    void deleteElement(qint64 rowId, TablesView& view);
    // "Rafraîchir": every table's totals counted again.
    void recount(TablesView& view);

private:
    bool refused(const Refusal& refusal);
    // The element list read again after a change; a failure shows its message.
    void readElementsAgain(TablesView& view);

    // The rules on the store; raises when there is no store.
    const TableMaintenance& rules() const;

    MessageSink& m_messages;
    const Database* m_database = nullptr;
    std::optional<TableMaintenance> m_maintenance;
};

} // namespace ov
