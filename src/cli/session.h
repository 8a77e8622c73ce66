#pragma once
// What a verb opens: the database (a file or the alias "OV"), the random source and the dice.

#include "command.h"
#include "tables/database.h"
#include "tables/messages.h"
#include "tables/random.h"

#include <memory>

namespace ov::cli {

// Messages of the tool: one line each on standard error.
class StreamMessageSink : public MessageSink {
public:
    explicit StreamMessageSink(QTextStream& err) : m_err(err) {}
    void showMessage(const QString& text) override {
        m_err << text << '\n';
        m_err.flush();
    }

private:
    QTextStream& m_err;
};

// Opens the database of --database, or the one the alias "OV" designates; every table must be
// there. Raises DatabaseError.
std::unique_ptr<Database> openDatabase(const Options& options);

// Sets the random source from --seed, or from the clock. Returns false on a bad seed.
bool seedRandom(const Options& options, RandomSource& source);

} // namespace ov::cli
