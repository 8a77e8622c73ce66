#pragma once
// A personal generator run as the built-in buttons run theirs (count, grids, memo, storing), and
// its preview, which stores nothing.

#include "generators/generationrun.h"
#include "personalgenerator.h"
#include "tables/outputs.h"

namespace ov {

// Everything a run needs: the store, the count query, the clock, the draw, the messages.
class PersonalGeneration {
public:
    PersonalGeneration(const Database& database, UnprintedCount& count, const Clock& clock,
                       TableDraw& draw, MessageSink& messages)
        : m_database(database), m_count(count), m_clock(clock), m_draw(draw), m_messages(messages) {
    }

    // One run: the count switched to the generator's unprinted results and closed, the grids
    // hidden, the memo emptied and filled with the result, the grids shown, the count reopened.
    // A failed run shows its message and stores nothing.
    PersonalRunReport run(const PersonalGenerator& generator, RunHost& host, bool store = true);

private:
    const Database& m_database;
    UnprintedCount& m_count;
    const Clock& m_clock;
    TableDraw& m_draw;
    MessageSink& m_messages;
};

// The text a generator gives from a seed, as a run would give it, without storing it; the
// messages of the run are kept in the report instead of being shown.
PersonalRunReport previewGenerator(const Database& database, const PersonalGenerator& generator,
                                   quint32 seed, const Clock& clock);

} // namespace ov
