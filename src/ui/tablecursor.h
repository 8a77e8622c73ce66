#pragma once
// A data object of the main screen: one table of the store, opened and closed, and for a table
// shown in a grid its model and the grid's current row.

#include "tablemodels.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTableView>
#include <functional>

class QModelIndex;

namespace ov {
class Database;
}

namespace ov::ui {

class TableCursor : public QObject {
    Q_OBJECT
public:
    using ModelFactory = std::function<StoreTableModel*(const Database&, QObject* parent)>;
    using GridLayout = std::function<void(QTableView*)>;

    TableCursor(const QString& objectName, const QString& table, QObject* parent);

    // A table shown in a grid: opening makes its model and lays the grid out.
    void showIn(QTableView* grid, ModelFactory factory, GridLayout layout);

    const QString& table() const { return m_table; }
    bool isOpen() const { return m_open; }
    // Raises the message of an action on a closed table.
    void requireOpen() const;
    static QString closedMessage(const QString& table);

    // Open: the table must be in the store; a grid's model is read and stands on its first row.
    void open(const Database& database);
    void close();

    StoreTableModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }

    // The current row, -1 when there is none (0-based: the record number is row() + 1).
    int row() const;
    int recNo() const { return row() + 1; }
    int loadedRows() const;
    // A field of the current row, with its pending change.
    QVariant value(const QString& field) const;

    // Moves post a pending change first.
    void setRow(int row);
    void first();
    void prior();
    void next();
    void last();
    // Key search: true and the cursor on the row when found, false and unmoved otherwise.
    bool locate(const QVariant& key);

    QString filter() const;
    // Reads the rows that satisfy the filter and stands on the first one.
    void setFilter(const QString& filter);

    bool isDirty() const;
    void post();
    void cancel();
    // Reads the rows again and stays on the same record, or on the same place if it is gone.
    void refresh();
    // Reads the rows again and stands on the row at that place (the last one if fewer remain).
    void refreshAt(int row);

Q_SIGNALS:
    // The grid's current row changed (by the user or by a move).
    void rowChanged(int current, int previous);
    // The user entered another column of the grid.
    void columnEntered();
    // Relayed from the model.
    void editStarting(int row);
    void posted(int row);
    // Opened, closed or read again.
    void stateChanged();

private:
    void reselect();
    void bindGrid();
    void standOn(int row, int column = -1);
    void onCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void onCurrentColumnChanged(const QModelIndex& current, const QModelIndex& previous);

    QString m_table;
    bool m_open = false;
    QPointer<QTableView> m_grid;
    ModelFactory m_factory;
    GridLayout m_layout;
    StoreTableModel* m_model = nullptr;
    int m_moving = 0;
};

} // namespace ov::ui
