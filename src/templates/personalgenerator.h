#pragma once
// Personal generators: their check, their store and one run of one of them.

#include "generators/draws.h"
#include "tables/clock.h"
#include "tables/generatorfile.h"
#include "tables/messages.h"
#include "template.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace ov {

class Database;

// A generator's pinned number as the store holds it: null when none is pinned.
QVariant shortcutValue(const PersonalGenerator& generator);

// The check of a generator: its first syntax error, and the tables it draws from that are
// missing or empty.
struct GeneratorCheck {
    std::optional<TemplateError> error;
    QStringList warnings;
    bool clean() const { return !error && warnings.isEmpty(); }
};
GeneratorCheck checkGenerator(const Database& database, const PersonalGenerator& generator);

// The stored generators and their results. Every change is one transaction; failures raise
// Error with a French message.
class GeneratorStore {
public:
    explicit GeneratorStore(const Database& database);

    QList<PersonalGenerator> list() const;                          // by Id
    std::optional<PersonalGenerator> find(const QString& id) const; // any case
    // Stores the generators after checking their Id, Nom and syntax: all or none. Without
    // replace, an Id already stored (any case) is refused.
    void save(const QList<PersonalGenerator>& generators, bool replace) const;
    // Removes a generator and its results; returns the number of results removed.
    int remove(const QString& id) const;

    // The number of results the generator has stored.
    int resultCount(const QString& id) const;
    // The n of its next result: the number of results stored before it, or one more than the
    // largest n when some were deleted since.
    int nextResultNumber(const QString& id) const;
    // Stores a result: n is allocated in the same statement that writes it, so that concurrent
    // writers never share one; the header line is built on that n. Returns n.
    int storeResult(const PersonalGenerator& generator, const QString& dateText,
                    const QStringList& body, const QDateTime& created) const;

private:
    const Database& m_database;
};

// The keys of the generators (Ctrl+1 to Ctrl+9), given in the menu's order: a generator pinned
// to a number keeps it; the others take the free numbers in that order. 0: no key.
QList<int> shortcutNumbers(const QList<PersonalGenerator>& menuOrder);

// Refuses (Error, in French) two generators pinned to one number. stored: the generators as they
// are stored; incoming: those about to be written, each in the place of the stored one with its
// Id, the first of them instead of renamedFrom when it is given.
void requireDistinctShortcuts(const QList<PersonalGenerator>& stored,
                              const QList<PersonalGenerator>& incoming,
                              const QString& renamedFrom = QString());

// The header line of a result.
QString resultHeader(const PersonalGenerator& generator, int n, const QString& dateText);

struct PersonalRunReport {
    QString generator; // its Id
    int id = 0;        // n
    QStringList lines; // the header, then the body
    QStringList messages;
    std::optional<QString> error; // set when the run ended without a result
    bool stored = false;
};

// A result's run as one JSON object (kind, id, lines, messages, and error when it ended without a
// result): what the tool writes for --json and what the web server answers.
QJsonObject runJson(const PersonalRunReport& report);

// Runs of personal generators on one store, one clock, one source of draws and messages.
class PersonalRun {
public:
    PersonalRun(const Database& database, const Clock& clock, TableDraw& draw,
                MessageSink& messages)
        : m_database(database), m_clock(clock), m_draw(draw), m_messages(messages) {}

    // One run: the whole template checked first, then expanded; stored unless store is false.
    PersonalRunReport run(const PersonalGenerator& generator, bool store = true);

    // One draw from a table, its element expanded (nothing stored). Messages are shown;
    // returns the text, or nothing when the draw failed or went beyond the permitted size.
    std::optional<QString> expandDraw(const QString& table);

private:
    const Database& m_database;
    const Clock& m_clock;
    TableDraw& m_draw;
    MessageSink& m_messages;
};

// « dépassement de capacité dans une expression »: what stops a run whose arithmetic leaves the
// 64-bit range.
QString overflowText();

// « Le générateur "Id" dépasse la taille permise »
QString sizeExceededMessage(const QString& id);
// A run that was to store its result finds its generator gone.
QString goneGeneratorMessage(const QString& id);

} // namespace ov
