#include "historymodel.h"

#include "messages.h"

#include <QScopedValueRollback>

namespace ov::ui {

namespace {
constexpr int reloadedRowsAtMost = 2000;
}

HistoryModel::HistoryModel(const Database& database, QObject* parent, int pageSize)
    : QAbstractTableModel(parent), m_history(database), m_pageSize(pageSize) {}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

HistoryModel::Row HistoryModel::rowFrom(const HistoryEntry& entry) {
    Row row;
    row.position = entry.position;
    row.rowid = entry.key.rowid;
    row.created = QDate::fromString(entry.created, Qt::ISODate);
    if (!row.created.isValid())
        row.createdText = entry.created;
    row.createdTime = QTime::fromString(entry.createdTime, Qt::ISODate);
    row.n = entry.n;
    row.kind = int(m_kinds.indexOf(entry.key.kind));
    if (row.kind < 0) {
        row.kind = int(m_kinds.size());
        m_kinds.append(entry.key.kind);
        m_kindLabels.append(entry.kindLabel);
    }
    row.printed = entry.printed;
    row.title = entry.title;
    row.title.squeeze();
    return row;
}

HistoryEntry HistoryModel::entry(int row) const {
    const Row& kept = m_entries.at(row);
    HistoryEntry entry;
    entry.position = kept.position;
    entry.key = {m_kinds.value(kept.kind), kept.rowid};
    entry.kindLabel = m_kindLabels.value(kept.kind);
    entry.n = kept.n;
    entry.created = kept.created.isValid() ? kept.created.toString(Qt::ISODate) : kept.createdText;
    entry.createdTime =
        kept.createdTime.isValid() ? kept.createdTime.toString(Qt::ISODate) : QString();
    entry.printed = kept.printed;
    entry.title = kept.title;
    return entry;
}

void HistoryModel::append(const QVector<HistoryEntry>& page) {
    for (const HistoryEntry& entry : page)
        m_entries.append(rowFrom(entry));
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HistoryEntry entry = this->entry(index.row());
    if (role == Qt::TextAlignmentRole && index.column() == NumberColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case KindColumn:
        return entry.kindLabel;
    case NumberColumn:
        return entry.n;
    case CreatedColumn: {
        const QDate day = QDate::fromString(entry.created, Qt::ISODate);
        const QString date =
            day.isValid() ? QLocale().toString(day, QLocale::ShortFormat) : entry.created;
        return entry.createdTime.isEmpty() ? date
                                           : date + QLatin1Char(' ') + entry.createdTime.left(5);
    }
    case PrintedColumn:
        return entry.printed;
    case TitleColumn:
        return entry.title;
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case KindColumn:
        return QStringLiteral("Genre");
    case NumberColumn:
        return QStringLiteral("N°");
    case CreatedColumn:
        return QStringLiteral("Créé le");
    case PrintedColumn:
        return QStringLiteral("Imprimé le");
    case TitleColumn:
        return QStringLiteral("Texte");
    default:
        return {};
    }
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_atEnd && !m_changing;
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    const QScopedValueRollback changing(m_changing, true);
    // A failure while scrolling ends the list where it stands and says why.
    QVector<HistoryEntry> page;
    guarded([&] { page = m_history.page(m_filter, m_pageSize, m_entries.last().position); });
    m_atEnd = page.size() < m_pageSize;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_entries.size()), int(m_entries.size() + page.size() - 1));
    append(page);
    endInsertRows();
}

void HistoryModel::setFilter(const HistoryFilter& filter) {
    readFirst(filter, m_pageSize);
}

void HistoryModel::readFirst(const HistoryFilter& filter, int count) {
    // Views that fetch as soon as they hear of a change wait until it is over.
    const QScopedValueRollback resetting(m_changing, true);
    beginResetModel();
    m_filter = filter;
    m_entries.clear();
    m_kinds.clear();
    m_kindLabels.clear();
    m_atEnd = true;
    try {
        const QVector<HistoryEntry> page = m_history.page(m_filter, count);
        append(page);
        m_atEnd = page.size() < count;
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

void HistoryModel::reload() {
    // As many rows as the list had, in one statement; a list scrolled very far comes back
    // nearer the top rather than reading again everything it had read.
    readFirst(m_filter, int(qBound(qsizetype(m_pageSize), m_entries.size(),
                                   qsizetype(std::max(m_pageSize, reloadedRowsAtMost)))));
}

int HistoryModel::rowOf(const HistoryKey& key) const {
    for (qsizetype row = 0; row < m_entries.size(); ++row)
        if (m_entries.at(row).rowid == key.rowid &&
            m_kinds.value(m_entries.at(row).kind) == key.kind)
            return int(row);
    return -1;
}

} // namespace ov::ui
