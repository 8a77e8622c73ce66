#include "paradoxtable.h"

#include "codepages.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTime>
#include <cstring>
#include <optional>

namespace ov::paradox {

namespace {

// Larger files are refused rather than read whole.
constexpr qint64 maximumFileSize = qint64(1) << 30;
constexpr int memoBlockSize = 4096;
constexpr int dataBlockHeader = 6;
// The format counts days from 1 January of year 1; this is the Julian day before it.
constexpr qint64 julianDayBeforeYearOne = 1721425;

QString shown(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

[[noreturn]] void refuse(const QString& path, const QString& problem) {
    throw ParadoxError(
        QStringLiteral("Le fichier %1 ne peut pas être lu : %2.").arg(shown(path), problem));
}

QByteArray readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(path, QStringLiteral("ouverture impossible (%1)").arg(file.errorString()));
    if (file.size() > maximumFileSize)
        refuse(path, QStringLiteral("il dépasse 1 Go"));
    QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        refuse(path, QStringLiteral("lecture incomplète (%1)").arg(file.errorString()));
    return bytes;
}

// Bounded little-endian reads over a whole file.
class Bytes {
public:
    Bytes(const QByteArray& data, const QString& path) : m_data(data), m_path(path) {}
    qsizetype size() const { return m_data.size(); }
    bool holds(qint64 offset, qint64 length) const {
        return offset >= 0 && length >= 0 && offset <= m_data.size() - length;
    }
    void require(qint64 offset, qint64 length, const QString& what) const {
        if (!holds(offset, length))
            refuse(m_path, QStringLiteral("il est tronqué (%1 au-delà de la fin)").arg(what));
    }
    quint8 byte(qint64 offset) const {
        require(offset, 1, QStringLiteral("en-tête"));
        return quint8(m_data[offset]);
    }
    quint16 word(qint64 offset) const { return quint16(byte(offset) | (byte(offset + 1) << 8)); }
    quint32 dword(qint64 offset) const {
        return quint32(word(offset)) | (quint32(word(offset + 2)) << 16);
    }
    const char* at(qint64 offset) const { return m_data.constData() + offset; }

private:
    const QByteArray& m_data;
    const QString& m_path;
};

quint32 littleEndian32(const char* bytes) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes[i]);
    return value;
}

bool allZero(const char* bytes, int size) {
    for (int i = 0; i < size; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

// Numbers are stored big-endian with the sign bit flipped, so that they sort as bytes.
quint64 bigEndianFlipped(const char* bytes, int size) {
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | quint8(bytes[i]);
    return value ^ (quint64(1) << (size * 8 - 1));
}

qint64 signedWhole(const char* bytes, int size) {
    const quint64 raw = bigEndianFlipped(bytes, size);
    const int shift = 64 - size * 8;
    return qint64(raw << shift) >> shift;
}

double floating(const char* bytes) {
    quint64 raw = 0;
    for (int i = 0; i < 8; ++i)
        raw = (raw << 8) | quint8(bytes[i]);
    // A positive number has its sign bit set; a negative one has every bit inverted.
    raw = (raw & (quint64(1) << 63)) ? raw & ~(quint64(1) << 63) : ~raw;
    double value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

struct TypeInfo {
    int fixedSize; // 0 when the size is the field's own
    bool readable;
};

// Whether a type is known, and its size when the format fixes it.
std::optional<TypeInfo> typeInfo(quint8 code) {
    switch (FieldType(code)) {
    case FieldType::Alpha:
    case FieldType::Bytes:
        return TypeInfo{0, true};
    case FieldType::Memo:
    case FieldType::FormattedMemo:
        return TypeInfo{0, true};
    case FieldType::Blob:
    case FieldType::Ole:
    case FieldType::Graphic:
    case FieldType::Bcd:
        return TypeInfo{0, false};
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement:
        return TypeInfo{4, true};
    case FieldType::Short:
        return TypeInfo{2, true};
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp:
        return TypeInfo{8, true};
    case FieldType::Logical:
        return TypeInfo{1, true};
    }
    return std::nullopt;
}

// The memo file, read when the first memo that does not fit its record needs it.
class MemoFile {
public:
    explicit MemoFile(const QString& tablePath) : m_tablePath(tablePath) {}

    // The whole memo of `total` bytes whose record keeps `leader` (its first bytes).
    QByteArray memo(quint32 pointer, quint32 total, const QByteArray& leader) {
        load();
        const Bytes mb(m_bytes, m_path);
        const qint64 block = pointer & 0xFFFFFF00u;
        const int slot = int(pointer & 0xFF);
        const auto bad = [&](const QString& problem) { refuse(m_path, problem); };
        if (block == 0 || !mb.holds(block, 9))
            bad(QStringLiteral("un mémo pointe au-delà de la fin du fichier"));
        qint64 start = 0;
        qint64 stored = 0;
        if (slot == 0xFF) {
            // A memo with blocks of its own: type, 4 KB chunks, length, change number, text.
            if (mb.byte(block) != 2)
                bad(QStringLiteral("un mémo pointe sur un bloc d'un autre type"));
            const qint64 chunks = mb.word(block + 1);
            stored = mb.dword(block + 3);
            start = block + 9;
            if (stored > chunks * memoBlockSize - 9)
                bad(QStringLiteral("un mémo annonce plus d'octets que ses blocs n'en ont"));
        } else {
            // A block shared by small memos: 64 entries of 5 bytes from offset 12.
            if (mb.byte(block) != 3 || slot >= 64)
                bad(QStringLiteral("un mémo pointe sur une entrée de bloc inexistante"));
            const qint64 entry = block + 12 + slot * 5;
            const qint64 dataOffset = qint64(mb.byte(entry)) * 16;
            const qint64 capacity = qint64(mb.byte(entry + 1)) * 16;
            if (dataOffset < 12 + 64 * 5 || dataOffset + capacity > memoBlockSize)
                bad(QStringLiteral("une entrée de bloc de mémos sort de son bloc"));
            start = block + dataOffset;
            // The entry counts 16-byte units; the record holds the exact length.
            stored = total <= capacity && total + 16 > capacity ? total : total - leader.size();
            if (stored < 0 || stored > capacity || stored + 16 <= capacity)
                bad(QStringLiteral("la longueur d'un mémo ne correspond pas à son entrée"));
        }
        if (!mb.holds(start, stored))
            bad(QStringLiteral("il est tronqué (un mémo au-delà de la fin)"));
        const QByteArray text(mb.at(start), stored);
        // Files keep either the whole memo or only what follows the part in the record.
        if (stored == total)
            return text;
        if (stored + leader.size() == total)
            return leader + text;
        refuse(m_path,
               QStringLiteral("la longueur d'un mémo ne correspond pas à celle de sa fiche"));
    }

private:
    void load() {
        if (m_loaded)
            return;
        const QFileInfo table(m_tablePath);
        const QString name = table.completeBaseName() + QStringLiteral(".MB");
        m_path = findFile(table.absolutePath(), name);
        if (m_path.isEmpty())
            throw ParadoxError(
                QStringLiteral("Le fichier de mémos %1 est introuvable à côté de %2 : les textes "
                               "longs de cette table ne peuvent pas être lus.")
                    .arg(name, shown(m_tablePath)));
        m_bytes = readWhole(m_path);
        m_loaded = true;
    }

    QString m_tablePath;
    QString m_path;
    QByteArray m_bytes;
    bool m_loaded = false;
};

} // namespace

QString findFile(const QString& folder, const QString& fileName) {
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names)
        if (name.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    return QString();
}

int ParadoxTable::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

ParadoxTable ParadoxTable::read(const QString& path) {
    ParadoxTable table;
    table.m_path = path;
    const QByteArray data = readWhole(path);
    const Bytes file(data, path);
    const auto bad = [&](const QString& problem) { refuse(path, problem); };

    if (file.size() < 0x58)
        bad(QStringLiteral("il est tronqué (en-tête incomplet)"));
    const int recordSize = file.word(0x00);
    const int headerSize = file.word(0x02);
    const int fileType = file.byte(0x04);
    const int blockSize = file.byte(0x05) * 1024;
    const qint64 recordCount = file.dword(0x06);
    const int fileBlocks = file.word(0x0C);
    const int firstBlock = file.word(0x0E);
    const int fieldCount = file.word(0x21);
    table.m_keyFields = file.word(0x23);
    const int version = file.byte(0x39);
    // From format 4 on the password mark moved; the old place then holds 0xFF00FF00 or 0.
    const bool hasExtendedHeader = version >= 5;
    const quint32 oldMark = file.dword(0x25);
    const quint32 encryption = hasExtendedHeader        ? file.dword(0x5C)
                               : oldMark == 0xFF00FF00u ? 0
                                                        : oldMark;

    if (fileType != 0 && fileType != 2)
        bad(QStringLiteral("ce n'est pas une table de données (type %1)").arg(fileType));
    if (version < 3 || version > 0x0C)
        bad(QStringLiteral("version de format inconnue (%1)").arg(version));
    if (encryption != 0)
        bad(QStringLiteral("la table est protégée par un mot de passe"));
    if (blockSize == 0 || blockSize > 32 * 1024)
        bad(QStringLiteral("taille de bloc incohérente dans l'en-tête"));
    if (fieldCount < 1 || fieldCount > 255 || recordSize < 1 ||
        recordSize > blockSize - dataBlockHeader)
        bad(QStringLiteral("l'en-tête annonce des tailles incohérentes"));
    if (headerSize < 0x58 || headerSize > file.size())
        bad(QStringLiteral("il est tronqué (en-tête de %1 octets annoncé)").arg(headerSize));
    if (file.size() < headerSize + qint64(fileBlocks) * blockSize)
        bad(QStringLiteral("il est tronqué (%1 blocs annoncés, place pour %2)")
                .arg(fileBlocks)
                .arg((file.size() - headerSize) / blockSize));

    // Code page: named in the header from format 4 on; DOS files before it use code page 850.
    table.m_codePage = hasExtendedHeader ? file.word(0x6A) : 850;
    if (table.m_codePage == 0 || table.m_codePage == 437)
        table.m_codePage = 850;
    if (!isKnownCodePage(table.m_codePage))
        bad(QStringLiteral("page de code %1 non prise en charge (1252 et 850 le sont)")
                .arg(table.m_codePage));

    // Field descriptors (type, size), then the name pointers, the table name, the field names.
    qint64 at = hasExtendedHeader ? 0x78 : 0x58;
    int offset = 0;
    for (int i = 0; i < fieldCount; ++i, at += 2) {
        if (at + 2 > headerSize)
            bad(QStringLiteral("l'en-tête annonce plus de champs qu'il n'en contient"));
        Field field;
        const quint8 code = file.byte(at);
        field.size = file.byte(at + 1);
        field.type = FieldType(code);
        field.offset = offset;
        const auto info = typeInfo(code);
        if (!info)
            bad(QStringLiteral("type de champ inconnu (%1)").arg(code));
        if (field.size == 0 || (info->fixedSize != 0 && field.size != info->fixedSize) ||
            ((field.type == FieldType::Memo || field.type == FieldType::FormattedMemo) &&
             field.size <= 10))
            bad(QStringLiteral("taille incohérente pour le champ %1").arg(i + 1));
        field.readable = info->readable;
        offset += field.size;
        table.m_fields.append(field);
    }
    if (offset != recordSize)
        bad(QStringLiteral("l'en-tête annonce des fiches de %1 octets, ses champs en font %2")
                .arg(recordSize)
                .arg(offset));
    at += 4 + 4 * qint64(fieldCount) + (version >= 0x0C ? 261 : 79);
    for (Field& field : table.m_fields) {
        const qint64 start = at;
        while (at < headerSize && file.byte(at) != 0)
            ++at;
        if (at >= headerSize)
            bad(QStringLiteral("les noms des champs sortent de l'en-tête"));
        field.name = decodeCodePage(QByteArrayView(file.at(start), at - start), table.m_codePage);
        ++at;
    }

    // Data blocks along their chain: each visited once, each inside the file.
    MemoFile memos(path);
    QSet<int> visited;
    for (int block = recordCount > 0 ? firstBlock : 0; block != 0;) {
        if (block < 1 || block > fileBlocks)
            bad(QStringLiteral("la chaîne des blocs mène au bloc %1, hors du fichier").arg(block));
        if (visited.contains(block))
            bad(QStringLiteral("la chaîne des blocs revient au bloc %1").arg(block));
        visited.insert(block);
        const qint64 start = headerSize + qint64(block - 1) * blockSize;
        file.require(start, blockSize, QStringLiteral("bloc %1").arg(block));
        const int next = file.word(start);
        const auto lastRecord = qint16(file.word(start + 4));
        const int rows = lastRecord < 0 ? 0 : lastRecord / recordSize + 1;
        if (lastRecord >= 0 && (lastRecord % recordSize != 0 ||
                                dataBlockHeader + qint64(rows) * recordSize > blockSize))
            bad(QStringLiteral("le bloc %1 annonce un contenu incohérent").arg(block));
        if (table.m_rows.size() + rows > recordCount)
            bad(QStringLiteral("ses blocs contiennent plus de fiches que l'en-tête n'en annonce"));
        for (int r = 0; r < rows; ++r) {
            const char* record = file.at(start + dataBlockHeader + qint64(r) * recordSize);
            QVector<QVariant> values;
            values.reserve(fieldCount);
            for (const Field& field : table.m_fields) {
                const char* bytes = record + field.offset;
                if (!field.readable || allZero(bytes, field.size)) {
                    values.append(QVariant());
                    continue;
                }
                switch (field.type) {
                case FieldType::Alpha: {
                    const int length = int(qstrnlen(bytes, field.size));
                    values.append(decodeCodePage(QByteArrayView(bytes, length), table.m_codePage));
                    break;
                }
                case FieldType::Bytes:
                    values.append(QByteArray(bytes, field.size));
                    break;
                case FieldType::Number:
                case FieldType::Currency:
                case FieldType::Timestamp: {
                    const double number = floating(bytes);
                    if (field.type != FieldType::Timestamp) {
                        values.append(number);
                        break;
                    }
                    // Milliseconds from the start of the day before 1 January of year 1.
                    if (!(number >= 0 && number < 1e15)) {
                        values.append(QVariant());
                        break;
                    }
                    const auto milliseconds = qint64(number);
                    const QDate day =
                        QDate::fromJulianDay(julianDayBeforeYearOne + milliseconds / 86400000);
                    values.append(QDateTime(
                        day, QTime::fromMSecsSinceStartOfDay(int(milliseconds % 86400000))));
                    break;
                }
                case FieldType::Date: {
                    const QDate day =
                        QDate::fromJulianDay(julianDayBeforeYearOne + signedWhole(bytes, 4));
                    values.append(day.isValid() ? QVariant(day) : QVariant());
                    break;
                }
                case FieldType::Time: {
                    const qint64 milliseconds = signedWhole(bytes, 4);
                    values.append(milliseconds >= 0 && milliseconds < 86400000
                                      ? QVariant(QTime::fromMSecsSinceStartOfDay(int(milliseconds)))
                                      : QVariant());
                    break;
                }
                case FieldType::Short:
                case FieldType::Long:
                case FieldType::AutoIncrement:
                    values.append(int(signedWhole(bytes, field.size)));
                    break;
                case FieldType::Logical:
                    values.append((quint8(bytes[0]) & 0x7F) != 0);
                    break;
                case FieldType::Memo:
                case FieldType::FormattedMemo: {
                    // The record keeps the memo's beginning, then its pointer, length and
                    // change number.
                    const int leaderSize = field.size - 10;
                    const quint32 pointer = littleEndian32(bytes + leaderSize);
                    const quint32 total = littleEndian32(bytes + leaderSize + 4);
                    QByteArray leader(bytes, qMin<qint64>(total, leaderSize));
                    const QByteArray text =
                        total <= quint32(leaderSize) ? leader : memos.memo(pointer, total, leader);
                    values.append(decodeCodePage(text, table.m_codePage));
                    break;
                }
                default:
                    values.append(QVariant());
                    break;
                }
            }
            table.m_rows.append(values);
        }
        block = next;
    }
    if (table.m_rows.size() != recordCount)
        bad(QStringLiteral("l'en-tête annonce %1 fiches, ses blocs en contiennent %2")
                .arg(recordCount)
                .arg(table.m_rows.size()));
    return table;
}

} // namespace ov::paradox
