#pragma once
// The four output tables of generated records, the unprinted count, and appending a record.

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <optional>

namespace ov {

class Database;
class UnprintedCount;

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
// The kind of a name in any case, with or without its accents: perso, Trésor, VILLAGE...
std::optional<OutputKind> outputKindFromName(const QString& name);

// "SELECT COUNT(*) as NonImprime FROM <sql name> WHERE DateImprime IS NULL"
QString unprintedCountStatement(OutputKind kind);

// Number of rows of the output table.
int recordCount(const Database& database, OutputKind kind);

// Record numbers. Each stored record has its own number, shared with the header line of its
// text: the number of records it is counted among (the output table's, or one generator's
// results), or, when a record already holds that number, the smallest free number above it. A
// storing run takes it in the write transaction that stores the record, so that no two records
// ever get the same one, whatever other windows, tools or deletes do meanwhile.

// The records a number is counted among: an output table, or the results of one generator.
struct NumberedRecords {
    QString table;     // OVperso, ..., OVresultat
    QString generator; // the generator whose results these are; empty for an output table
};
NumberedRecords numberedRecords(OutputKind kind);

// The number the next record gets; inside the storing transaction, the number it takes.
int recordNumber(const Database& database, const NumberedRecords& records);

// The number the next record of the kind would get, without storing anything.
int nextRecordNumber(const Database& database, OutputKind kind);

// Appends and commits one generated record under the number it takes in the same transaction;
// the text is asked for once the number is known. Returns the number; the string value is cut to
// its 9 characters. A count given is reopened in that transaction on the count the store keeps
// (UnprintedCount::openKept), the record counted, and is left closed if the record could not be
// stored.
int appendRecord(const Database& database, OutputKind kind,
                 const std::function<QString(int number)>& text, const QString& stringValue,
                 const QDateTime& created, UnprintedCount* reopened = nullptr);

// Appends and commits one record under a number it brings along, as an import does.
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

// The schema step that keeps the count of each output table's records and of its unprinted
// ones in ovCounts, by triggers, from the counts of the rows already there.
void keepRecordCounts(const Database& database);
// The same for the personal generators' results, as a whole and generator by generator, so that
// a result's number is found without counting the generator's results.
void keepResultCounts(const Database& database);

// "SELECT COUNT(*) as NonImprime FROM OVresultat WHERE DateImprime IS NULL AND Generateur = '…'"
QString unprintedResultsStatement(const QString& generatorId);

// The unprinted-count query: a statement that can be replaced, closed and reopened.
class UnprintedCount {
public:
    explicit UnprintedCount(const Database& database);

    // The statement it holds at start: the characters, over several lines.
    static QString initialStatement();

    const QString& statement() const { return m_statement; }
    void setStatement(const QString& statement);
    // The statement of a personal generator's unprinted results (unprintedResultsStatement).
    void countResultsOf(const QString& generatorId);

    void open(); // runs the statement; raises DatabaseError
    // Opens on the count the store keeps for the statement, if it keeps one; else stays closed.
    bool openKept();
    void close() { m_open = false; }
    bool isOpen() const { return m_open; }
    qint64 value() const { return m_value; } // NonImprime, when open

private:
    const Database& m_database;
    QString m_statement;
    // Where the statement's count is kept, if it is the statement of an output table or of a
    // generator's results: the row of ovCounts, and the row of its table.
    QString m_countedRow;
    QString m_countedTable;
    bool m_open = false;
    qint64 m_value = 0;
};

} // namespace ov
