#include "tablecursor.h"

#include "messages.h"
#include "tables/database.h"
#include "tables/errors.h"

#include <QItemSelectionModel>
#include <QSqlError>
#include <QSqlRecord>
#include <QTableView>

namespace ov::ui {

namespace {
// Marks the moves that the program makes, as opposed to the user's.
class MovingScope {
public:
    explicit MovingScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~MovingScope() { --m_depth; }
    MovingScope(const MovingScope&) = delete;
    MovingScope& operator=(const MovingScope&) = delete;

private:
    int& m_depth;
};
} // namespace

TableCursor::TableCursor(const QString& objectName, const QString& table, QObject* parent)
    : QObject(parent), m_table(table) {
    setObjectName(objectName);
}

void TableCursor::showIn(QTableView* grid, ModelFactory factory, GridLayout layout) {
    m_grid = grid;
    m_factory = std::move(factory);
    m_layout = std::move(layout);
}

QString TableCursor::closedMessage(const QString& table) {
    return QStringLiteral("Opération impossible : la table %1 n'est pas ouverte.").arg(table);
}

void TableCursor::requireOpen() const {
    if (!m_open)
        throw DatabaseError(closedMessage(m_table));
}

void TableCursor::open(const Database& database) {
    if (m_open)
        return;
    database.requireTable(m_table);
    if (m_factory) {
        StoreTableModel* model = m_factory(database, this);
        if (!model->select()) {
            const QString message =
                database.failureMessage(QStringLiteral("SELECT"), model->lastError());
            delete model;
            throw DatabaseError(message);
        }
        m_model = model;
        connect(m_model, &StoreTableModel::editStarting, this, &TableCursor::editStarting);
        connect(m_model, &StoreTableModel::posted, this, &TableCursor::posted);
        bindGrid();
    }
    m_open = true;
    standOn(0);
    Q_EMIT stateChanged();
}

void TableCursor::bindGrid() {
    if (!m_grid)
        return;
    MovingScope moving(m_moving);
    m_grid->setModel(m_model);
    if (m_layout)
        m_layout(m_grid);
    QItemSelectionModel* selection = m_grid->selectionModel();
    connect(selection, &QItemSelectionModel::currentRowChanged, this,
            &TableCursor::onCurrentChanged);
    connect(selection, &QItemSelectionModel::currentColumnChanged, this,
            &TableCursor::onCurrentColumnChanged);
}

void TableCursor::close() {
    if (!m_open)
        return;
    m_open = false;
    if (m_model) {
        MovingScope moving(m_moving);
        if (m_grid)
            m_grid->setModel(nullptr);
        delete m_model;
        m_model = nullptr;
    }
    Q_EMIT stateChanged();
}

int TableCursor::row() const {
    if (!m_open || !m_model || !m_grid)
        return -1;
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TableCursor::loadedRows() const {
    return m_open && m_model ? m_model->rowCount() : 0;
}

QVariant TableCursor::value(const QString& field) const {
    const int current = row();
    if (current < 0)
        return {};
    return m_model->record(current).value(field);
}

void TableCursor::standOn(int row, int column) {
    if (!m_model || !m_grid)
        return;
    MovingScope moving(m_moving);
    m_model->fetchUpTo(row);
    if (row >= m_model->rowCount())
        row = m_model->rowCount() - 1;
    if (column < 0) {
        const QModelIndex current = m_grid->currentIndex();
        column = current.isValid() ? current.column() : 0;
        while (column < m_model->columnCount() && m_grid->isColumnHidden(column))
            ++column;
    }
    const int previous = this->row();
    if (row < 0) {
        m_grid->selectionModel()->clearCurrentIndex();
        m_grid->selectionModel()->clearSelection();
    } else {
        m_grid->setCurrentIndex(m_model->index(row, column));
    }
    if (previous != this->row())
        Q_EMIT rowChanged(this->row(), previous);
}

void TableCursor::setRow(int row) {
    requireOpen();
    post();
    standOn(qMax(0, row));
}

void TableCursor::first() {
    setRow(0);
}

void TableCursor::prior() {
    setRow(row() - 1);
}

void TableCursor::next() {
    setRow(row() + 1);
}

void TableCursor::last() {
    requireOpen();
    post();
    if (m_model)
        m_model->fetchAll();
    standOn(loadedRows() - 1);
}

bool TableCursor::locate(const QVariant& key) {
    requireOpen();
    post();
    if (!m_model)
        return false;
    const int found = m_model->locate(key);
    if (found < 0)
        return false;
    standOn(found);
    return true;
}

QString TableCursor::filter() const {
    return m_model ? m_model->filter() : QString();
}

void TableCursor::setFilter(const QString& filter) {
    requireOpen();
    post();
    if (!m_model)
        return;
    m_model->setFilter(filter);
    reselect();
    standOn(0);
}

bool TableCursor::isDirty() const {
    return m_open && m_model && m_model->isDirty();
}

void TableCursor::post() {
    if (isDirty())
        m_model->post();
}

void TableCursor::cancel() {
    requireOpen();
    if (m_model && m_model->isDirty())
        m_model->revertAll();
}

void TableCursor::reselect() {
    MovingScope moving(m_moving);
    if (!m_model->select())
        throw DatabaseError(
            m_model->store().failureMessage(QStringLiteral("SELECT"), m_model->lastError()));
    Q_EMIT stateChanged();
}

void TableCursor::refresh() {
    requireOpen();
    post();
    if (!m_model)
        return;
    const int current = row();
    const QVariant key = current >= 0 ? m_model->keyOf(current) : QVariant();
    reselect();
    const int found = m_model->locate(key);
    standOn(found >= 0 ? found : qMax(current, 0));
}

void TableCursor::refreshAt(int place) {
    requireOpen();
    post();
    if (!m_model)
        return;
    reselect();
    standOn(qMax(place, 0));
}

void TableCursor::onCurrentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (m_moving > 0)
        return;
    if (m_model && previous.isValid() && m_model->editRow() == previous.row() &&
        current.row() != previous.row())
        guarded([this] { m_model->post(); });
    Q_EMIT rowChanged(current.isValid() ? current.row() : -1,
                      previous.isValid() ? previous.row() : -1);
}

void TableCursor::onCurrentColumnChanged(const QModelIndex& current, const QModelIndex& previous) {
    Q_UNUSED(previous);
    if (m_moving > 0 || !current.isValid())
        return;
    Q_EMIT columnEntered();
}

} // namespace ov::ui
