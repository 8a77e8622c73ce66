#pragma once
// The SQL table models behind the two grids: the random tables and their elements.

#include "tables/maintenance.h"

#include <QSet>
#include <QSqlTableModel>

namespace ov {
class Database;
}

namespace ov::ui {

// A table of the store edited in place in a grid: one row changed at a time, posted when the row
// is left or Post is pressed; whole-number fields shown rounded; refused edits change nothing.
class StoreTableModel : public QSqlTableModel {
    Q_OBJECT
public:
    StoreTableModel(const Database& database, QObject* parent);

    const Database& store() const { return m_database; }

    // The value that finds a row again after the table is read anew.
    virtual QVariant keyOf(int row) const = 0;
    // The row that shows the key, loading rows as needed; -1 when none does.
    int locate(const QVariant& key);
    // Loads rows until the row is loaded or none is left.
    void fetchUpTo(int row);
    void fetchAll();
    // The grids read through a connection of their own (Database::gridConnection): a table is
    // read as far as it is shown, and its half-read statement holds nothing on the connection
    // that writes.

    // The row that holds a change not yet posted; -1 when none does.
    int editRow() const { return isDirty() ? m_editRow : -1; }

    // Writes the pending change; a failure cancels it and raises DatabaseError.
    void post();
    // The view's submit: a post whose failure is shown.
    bool submit() override;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // A row without pending change is about to receive one.
    void editStarting(int row);
    // A row's change was written.
    void posted(int row);

protected:
    // Checks an edited value and may adjust it; a refusal's message is shown, nothing changes.
    virtual Refusal accept(const QModelIndex& index, QVariant& value) const;
    // How many rows come before the key in the grid's order.
    virtual qint64 rowsBefore(const QVariant& key) const = 0;

    // Edits the store table; its fields are named as spelled here, whatever case the engine's
    // catalogue gives them.
    void setStoreTable(const QString& table, const QStringList& fields);
    void addWholeNumberField(const QString& field) { m_wholeNumberFields.insert(field); }
    void addReadOnlyField(const QString& field) { m_readOnlyFields.insert(field); }
    bool isWholeNumber(int column) const;
    QString fieldName(int column) const;

private:
    const Database& m_database;
    QStringList m_fields;
    QSet<QString> m_wholeNumberFields;
    QSet<QString> m_readOnlyFields;
    int m_editRow = -1;
};

// OVmaster in the order of its Id; the totals are kept by the store and not edited here.
class MasterModel : public StoreTableModel {
    Q_OBJECT
public:
    MasterModel(const Database& database, QObject* parent);
    QVariant keyOf(int row) const override;

protected:
    Refusal accept(const QModelIndex& index, QVariant& value) const override;
    qint64 rowsBefore(const QVariant& key) const override;
};

// OVslave in insertion order, each row known by its rowid so that two equal rows stay apart.
class ElementModel : public StoreTableModel {
    Q_OBJECT
public:
    ElementModel(const Database& database, QObject* parent);
    QVariant keyOf(int row) const override;
    bool select() override;

    // The filter that shows the elements of one table: "ID = '" + id + "'", quotes doubled.
    static QString tableFilter(const QString& id);

protected:
    QString selectStatement() const override;
    Refusal accept(const QModelIndex& index, QVariant& value) const override;
    qint64 rowsBefore(const QVariant& key) const override;

private:
    void setRowKey();
};

} // namespace ov::ui
