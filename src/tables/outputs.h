#pragma once
// The four output tables of generated records, the unprinted count, and appending a record.

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

namespace ov {

class Database;

enum class OutputKind { Perso, Tresor, Rencontre, Village };

inline constexpr OutputKind allOutputKinds[] = {OutputKind::Perso, OutputKind::Tresor,
                                                OutputKind::Rencontre, OutputKind::Village};

struct OutputTable {
    OutputKind kind;
    QString name;         // the kind's name on the command line: perso, tresor, ...
    QString table;        // OVperso, ...
    QString sqlName;      // ovPerso, ... (the name its statements use)
    QString textField;    // Perso, Tresor, Rencontre, Village
    QString stringField;  // Sexe_Cel_Mel_Stat or Type
    QString headerLeadIn; // what stands before the sequence number in the header line
};

const OutputTable& outputTable(OutputKind kind);
std::optional<OutputKind> outputKindFromName(const QString& name);

// "SELECT COUNT(*) as NonImprime FROM <sql name> WHERE DateImprime IS NULL"
QString unprintedCountStatement(OutputKind kind);

// Number of rows of the output table.
int recordCount(const Database& database, OutputKind kind);

// Record numbers. Each stored record has its own number, shared with the header line of its
// text: the number of records of the output table plus the numbers taken by runs that have not
// stored their record yet (another window or tool generating at this moment). Taking a number
// holds the write lock only for that moment, so any number of windows and tools may generate
// into one database at once.

// The number the next record would get, without taking it (a run that stores nothing).
int nextRecordNumber(const Database& database, OutputKind kind);

// Takes the next number for a record about to be stored; no other writer gets it.
int takeRecordNumber(const Database& database, OutputKind kind);

// Gives back a number whose run stored nothing, unless a later one was taken meanwhile.
void giveBackRecordNumber(const Database& database, OutputKind kind, int number);

// Appends and commits one generated record, ending the reservation of its number; the string value
// is cut to its 9 characters.
void appendRecord(const Database& database, OutputKind kind, int id, const QString& text,
                  const QString& stringValue, const QDateTime& created);

// A generated record as another store kept it, each field as stored: a null stays null.
struct StoredRecord {
    QVariant id;   // the sequence number
    QVariant text; // the generated text
    QVariant stringValue;
    QVariant created;   // a QDate
    QVariant printDate; // the print stamp; null while the record waits for printing
};

// Adds the records after those the table holds, in one transaction; the string value and the
// print date are cut to their widths.
void insertRecords(const Database& database, OutputKind kind, const QVector<StoredRecord>& records);

// Deletes every record of the output table.
void deleteRecords(const Database& database, OutputKind kind);

// The unprinted-count query: a statement that can be replaced, closed and reopened.
class UnprintedCount {
public:
    explicit UnprintedCount(const Database& database);

    // The statement it holds at start: the characters, over several lines.
    static QString initialStatement();

    const QString& statement() const { return m_statement; }
    void setStatement(const QString& statement) { m_statement = statement; }

    void open(); // runs the statement; raises DatabaseError
    void close() { m_open = false; }
    bool isOpen() const { return m_open; }
    qint64 value() const { return m_value; } // NonImprime, when open

private:
    const Database& m_database;
    QString m_statement;
    bool m_open = false;
    qint64 m_value = 0;
};

} // namespace ov
