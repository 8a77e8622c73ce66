#include "personalgeneration.h"

#include "tables/errors.h"
#include "tables/outputs.h"
#include "tables/random.h"
#include "tables/tabledraw.h"

namespace ov {

PersonalRunReport PersonalGeneration::run(const PersonalGenerator& generator, RunHost& host,
                                          bool store) {
    m_count.countResultsOf(generator.id);
    m_count.close();
    host.countClosed();
    host.gridsHidden();
    host.memoCleared();
    PersonalRun run(m_database, m_clock, m_draw, m_messages);
    const PersonalRunReport report = run.run(generator, store);
    for (const QString& line : report.lines)
        host.lineAdded(line);
    host.gridsShown();
    try {
        m_count.open();
        host.countReopened(m_count.value());
    } catch (const Error& error) {
        m_messages.showMessage(error.message());
    }
    return report;
}

PersonalRunReport previewGenerator(const Database& database, const PersonalGenerator& generator,
                                   quint32 seed, const Clock& clock) {
    RandomSource source(seed);
    Dice dice(source);
    TableDraw draw(database, dice);
    RecordingMessageSink messages;
    PersonalRun run(database, clock, draw, messages);
    try {
        return run.run(generator, false);
    } catch (const Error& error) {
        PersonalRunReport report;
        report.generator = generator.id;
        report.error = error.message();
        return report;
    }
}

} // namespace ov
