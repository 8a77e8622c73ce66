#pragma once
// The four generators and the guarded run that the window and the command-line tool share.

#include "draws.h"
#include "generationrun.h"

#include <QJsonObject>
#include <QStringList>
#include <functional>
#include <optional>

namespace ov {

// A generator body: it calls the frame's steps in its own order and adds its lines.
using GeneratorBody = void (*)(GenerationRun& run, Draws& draws);
GeneratorBody generatorBody(OutputKind kind);

struct RunReport {
    OutputKind kind = OutputKind::Perso;
    int id = 0;
    QStringList lines;
    QString type; // the value of the 9-character field, after its cut
    QStringList messages;
    std::optional<QString> error; // set when an error ended the run
    bool stored = false;
    QString lastTable;   // the table of the last successful draw
    QString lastElement; // and the element it gave
};

// A run as one JSON object (kind, id, lines, type, messages, and error when one ended it): what
// the tool writes for --json and what the web server answers.
QJsonObject runJson(const RunReport& report);

// The message of a run whose text could not be stored, followed by the reason.
QString notStoredMessage(const QString& reason);

// Everything a run needs: the store, the count query, the clock, the draw, the messages.
class Generation {
public:
    Generation(const Database& database, UnprintedCount& count, const Clock& clock, TableDraw& draw,
               MessageSink& messages)
        : m_database(database), m_count(count), m_clock(clock), m_draw(draw), m_messages(messages) {
    }

    // One run, as a press of the generator's button. An error ends it: its message is shown,
    // nothing is stored, the grids are shown again and the count reopened.
    RunReport run(OutputKind kind, RunHost& host, bool store = true);

    // The same guarded run with a body of the caller's choosing.
    RunReport run(OutputKind kind, const std::function<void(GenerationRun&, Draws&)>& body,
                  RunHost& host, bool store = true);

private:
    const Database& m_database;
    UnprintedCount& m_count;
    const Clock& m_clock;
    TableDraw& m_draw;
    MessageSink& m_messages;
};

} // namespace ov
