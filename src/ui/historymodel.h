#pragma once
// The list of the history window: the records that pass a filter, newest first, read page by page
// as the list scrolls.

#include "history/history.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QTime>
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
    // Reads the list again from its first row, with as many rows as before (up to a limit).
    void reload();

    // The record of a row, without its text.
    HistoryEntry entry(int row) const;
    // The row of a record among those read, or -1.
    int rowOf(const HistoryKey& key) const;
    const History& history() const { return m_history; }

private:
    // What the list keeps of a record: a few bytes besides its title, so that a list scrolled
    // through hundreds of thousands of records stays small.
    struct Row {
        qint64 position = 0;
        qint64 rowid = 0;
        QDate created;
        QTime createdTime;
        int n = 0;
        int kind = -1;       // in m_kinds
        QString createdText; // only when the stored date is not a date
        QString printed;
        QString title;
    };
    Row rowFrom(const HistoryEntry& entry);
    void append(const QVector<HistoryEntry>& page);
    void readFirst(const HistoryFilter& filter, int count);

    History m_history;
    HistoryFilter m_filter;
    QVector<Row> m_entries;
    // The kinds met in the list and their names, each kept once for every row of that kind.
    QStringList m_kinds;
    QStringList m_kindLabels;
    int m_pageSize;
    bool m_atEnd = true;
    bool m_changing = false;
};

} // namespace ov::ui
