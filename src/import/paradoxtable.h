#pragma once
// A Paradox data file (.DB) and its memo file (.MB) read whole into memory, every check bounded:
// a damaged file is refused with a French message that names it, never read past its end.

#include "tables/errors.h"

#include <QString>
#include <QVariant>
#include <QVector>

namespace ov::paradox {

// Field type codes of the format.
enum class FieldType : quint8 {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

struct Field {
    QString name;
    FieldType type = FieldType::Alpha;
    int size = 0;   // bytes in the record
    int offset = 0; // from the start of the record
    // False for the types whose values are not read (binary objects, BCD): their values are null.
    bool readable = true;
};

// A file refused as a whole; the message names it.
class ParadoxError : public Error {
public:
    using Error::Error;
};

class ParadoxTable {
public:
    // Reads the table and, when a memo needs it, the memo file of the same name beside it.
    // Raises ParadoxError.
    static ParadoxTable read(const QString& path);

    const QString& path() const { return m_path; }
    int codePage() const { return m_codePage; }
    bool isKeyed() const { return m_keyFields > 0; }
    const QVector<Field>& fields() const { return m_fields; }
    // The field's position, names compared without regard to case; -1 when there is none.
    int fieldIndex(const QString& name) const;

    // Rows in the order of the primary index: the data blocks along their chain.
    qsizetype rowCount() const { return m_rows.size(); }
    // Null for a blank field; otherwise QString (alpha, memos), double (number, currency), int
    // (short, long, autoincrement), bool, QDate, QTime, QDateTime or QByteArray (bytes).
    const QVariant& value(qsizetype row, int field) const { return m_rows.at(row).at(field); }

private:
    QString m_path;
    int m_codePage = 0;
    int m_keyFields = 0;
    QVector<Field> m_fields;
    QVector<QVector<QVariant>> m_rows;
};

// The file of a folder whose name matches, case aside (tables copied from another system keep
// any case); an empty string when there is none.
QString findFile(const QString& folder, const QString& fileName);

} // namespace ov::paradox
