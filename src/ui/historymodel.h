#pragma once
// The list of the history window: the records that pass a filter, newest first, read page by page
// as the list scrolls.

#include "history/history.h"

#include <QAbstractTableModel>
#include <QVector>

namespace ov::ui {

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        KindColumn,
        NumberColumn,
        CreatedColumn,
        PrintedColumn,
        TitleColumn,
        ColumnCount
    };

    explicit HistoryModel(const Database& database, QObject* parent = nullptr, int pageSize = 100);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    const HistoryFilter& filter() const { return m_filter; }
    // Reads the first page of the records that pass the filter. Raises DatabaseError (the list
    // is empty then).
    void setFilter(const HistoryFilter& filter);
    // Reads the first page again, with as many pages as were read before.
    void reload();

    const HistoryEntry& entry(int row) const { return m_entries.at(row); }
    // The row of a record among those read, or -1.
    int rowOf(const HistoryKey& key) const;
    const History& history() const { return m_history; }

private:
    History m_history;
    HistoryFilter m_filter;
    QVector<HistoryEntry> m_entries;
    int m_pageSize;
    bool m_atEnd = true;
    bool m_changing = false;
};

} // namespace ov::ui
