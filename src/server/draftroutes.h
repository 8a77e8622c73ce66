#pragma once
// Drafts from the phone: the server's drafts, kept in its memory per access code, and their
// routes (start, re-roll a line or all, lock, unlock, keep).

#include "drafts/draft.h"
#include "routes.h"

#include <deque>
#include <memory>
#include <utility>

namespace ov::server {

class DraftBook {
public:
    static constexpr std::size_t maxDrafts = 100; // per code; the oldest goes first

    // The drafts of a code: another code than the last one's finds none of the old drafts.
    void useCode(const QString& code);
    // Adds a draft; returns its token.
    QString add(std::unique_ptr<Draft> draft);
    // The draft of a token, kept ones included; null when unknown or dropped.
    Draft* find(const QString& token) const;
    std::size_t size() const { return m_drafts.size(); }
    const Clock& clock() const { return m_clock; }

private:
    QString m_code;
    std::deque<std::pair<QString, std::unique_ptr<Draft>>> m_drafts; // the oldest first
    Clock m_clock;
};

// The draft routes, for the routes' table.
std::vector<Route> draftRoutes();

} // namespace ov::server
