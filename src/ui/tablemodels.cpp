#include "tablemodels.h"

#include "messages.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "tables/textrules.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>
#include <limits>

namespace ov::ui {

StoreTableModel::StoreTableModel(const Database& database, QObject* parent)
    : QSqlTableModel(parent, database.gridConnection()), m_database(database) {
    setEditStrategy(OnRowChange);
}

int StoreTableModel::locate(const QVariant& key) {
    if (!key.isValid() || key.isNull())
        return -1;
    const qint64 before = rowsBefore(key);
    if (before < std::numeric_limits<int>::max()) {
        fetchUpTo(int(before));
        if (before < rowCount() && keyOf(int(before)) == key)
            return int(before);
    }
    // The rows read before the table changed: look through what is loaded.
    for (int row = 0; row < rowCount(); ++row)
        if (keyOf(row) == key)
            return row;
    return -1;
}

void StoreTableModel::fetchUpTo(int row) {
    while (rowCount() <= row && canFetchMore())
        fetchMore();
}

void StoreTableModel::fetchAll() {
    while (canFetchMore())
        fetchMore();
}

void StoreTableModel::post() {
    if (!isDirty())
        return;
    const int row = m_editRow;
    // Writing resets the statement that reads the table, and a half-read statement would hold the
    // grids' connection on the file as it was (its write would fail once another program has
    // written): every row is read first.
    fetchAll();
    if (!submitAll()) {
        const QString message = m_database.failureMessage(QStringLiteral("UPDATE"), lastError());
        revertAll();
        throw DatabaseError(message);
    }
    Q_EMIT posted(row);
}

bool StoreTableModel::submit() {
    try {
        post();
        return true;
    } catch (const Error& error) {
        showMessage(error.message());
        return false;
    }
}

void StoreTableModel::setStoreTable(const QString& table, const QStringList& fields) {
    m_fields = fields;
    setTable(m_database.dialect().catalogName(table));
}

QString StoreTableModel::fieldName(int column) const {
    const QString name = record().fieldName(column);
    for (const QString& field : m_fields)
        if (field.compare(name, Qt::CaseInsensitive) == 0)
            return field;
    return name;
}

QVariant StoreTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return fieldName(section);
    return QSqlTableModel::headerData(section, orientation, role);
}

bool StoreTableModel::isWholeNumber(int column) const {
    return m_wholeNumberFields.contains(fieldName(column));
}

QVariant StoreTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole && isWholeNumber(index.column()))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    const QVariant value = QSqlTableModel::data(index, role);
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !isWholeNumber(index.column()) ||
        value.isNull())
        return value;
    const qint64 whole = roundHalfEven(value.toDouble());
    if (role == Qt::EditRole)
        return QString::number(whole);
    return QVariant(whole);
}

Qt::ItemFlags StoreTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QSqlTableModel::flags(index);
    if (index.isValid() && m_readOnlyFields.contains(fieldName(index.column())))
        flags &= ~Qt::ItemIsEditable;
    return flags;
}

Refusal StoreTableModel::accept(const QModelIndex& index, QVariant& value) const {
    Q_UNUSED(index);
    Q_UNUSED(value);
    return std::nullopt;
}

bool StoreTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid())
        return QSqlTableModel::setData(index, value, role);
    if (!(flags(index) & Qt::ItemIsEditable))
        return false;
    try {
        QVariant accepted = value;
        // No text of any grid takes a control character.
        if (const Refusal refusal =
                value.typeId() == QMetaType::QString
                    ? controlCharacterRefusal(fieldName(index.column()), value.toString())
                    : std::nullopt) {
            showMessage(*refusal);
            return false;
        }
        if (const Refusal refusal = accept(index, accepted)) {
            showMessage(*refusal);
            return false;
        }
        const QVariant current = QSqlTableModel::data(index, Qt::EditRole);
        if (current == accepted && current.isNull() == accepted.isNull())
            return true;
        if (isDirty() && m_editRow != index.row())
            post();
        if (!isDirty())
            Q_EMIT editStarting(index.row());
        m_editRow = index.row();
        return QSqlTableModel::setData(index, accepted, role);
    } catch (const Error& error) {
        showMessage(error.message());
        return false;
    }
}

MasterModel::MasterModel(const Database& database, QObject* parent)
    : StoreTableModel(database, parent) {
    setStoreTable(QStringLiteral("OVmaster"),
                  {QStringLiteral("Id"), QStringLiteral("Nom"), QStringLiteral("NbrElement"),
                   QStringLiteral("TotProba")});
    setSort(fieldIndex(QStringLiteral("Id")), Qt::AscendingOrder);
    for (const QString& field : {QStringLiteral("NbrElement"), QStringLiteral("TotProba")}) {
        addWholeNumberField(field);
        addReadOnlyField(field);
    }
}

QVariant MasterModel::keyOf(int row) const {
    return primaryValues(row).value(QStringLiteral("Id"));
}

Refusal MasterModel::accept(const QModelIndex& index, QVariant& value) const {
    const QString field = fieldName(index.column());
    if (field == QLatin1String("Id")) {
        const QString text = value.toString();
        if (Refusal refusal =
                TableMaintenance(store()).checkTableIdChange(keyOf(index.row()).toString(), text))
            return refusal;
        value = TableMaintenance::tableKey(text);
    } else if (field == QLatin1String("Nom")) {
        value = cutToWidth(value.toString(), width::TableName);
    }
    return std::nullopt;
}

qint64 MasterModel::rowsBefore(const QVariant& key) const {
    return store()
        .scalar(QStringLiteral("SELECT count(*) FROM OVmaster WHERE Id < ?"), {key})
        .toLongLong();
}

ElementModel::ElementModel(const Database& database, QObject* parent)
    : StoreTableModel(database, parent) {
    setStoreTable(QStringLiteral("OVslave"), {QStringLiteral("Proba"), QStringLiteral("Element"),
                                              QStringLiteral("ID"), QStringLiteral("rowid")});
    setRowKey();
    addWholeNumberField(QStringLiteral("Proba"));
}

void ElementModel::setRowKey() {
    QSqlIndex key(QString(), QStringLiteral("rowid"));
    key.append(QSqlField(QStringLiteral("rowid"), QMetaType(QMetaType::LongLong),
                         QStringLiteral("OVslave")));
    setPrimaryKey(key);
}

bool ElementModel::select() {
    const bool selected = StoreTableModel::select();
    if (!selected)
        setRowKey();
    return selected;
}

QString ElementModel::tableFilter(const QString& id) {
    QString quoted = id;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("ID = '") + quoted + QLatin1Char('\'');
}

QString ElementModel::selectStatement() const {
    QString statement = QStringLiteral("SELECT Proba, Element, ID, rowid FROM OVslave");
    if (!filter().isEmpty())
        statement += QStringLiteral(" WHERE ") + filter();
    return statement + QStringLiteral(" ORDER BY rowid");
}

QVariant ElementModel::keyOf(int row) const {
    return primaryValues(row).value(QStringLiteral("rowid"));
}

Refusal ElementModel::accept(const QModelIndex& index, QVariant& value) const {
    const QString field = fieldName(index.column());
    if (field == QLatin1String("Proba")) {
        const std::optional<int> weight = parseElementWeight(value.toString());
        if (!weight)
            return maintenance::badWeight();
        value = double(*weight);
    } else if (field == QLatin1String("Element")) {
        value = cutToWidth(value.toString(), width::Element);
    }
    return std::nullopt;
}

qint64 ElementModel::rowsBefore(const QVariant& key) const {
    QString statement = QStringLiteral("SELECT count(*) FROM OVslave WHERE rowid < ?");
    if (!filter().isEmpty())
        statement += QStringLiteral(" AND (") + filter() + QLatin1Char(')');
    return store().scalar(statement, {key}).toLongLong();
}

} // namespace ov::ui
