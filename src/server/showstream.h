#pragma once
// What the game master shows to the players: the items in the order shown, for the players'
// stream. Shared by the threads that answer the players' connections.

#include <QByteArray>
#include <QJsonObject>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace ov::server {

class ShowStream {
public:
    struct Event {
        quint64 serial = 0;
        QByteArray data; // the item as compact JSON: {"title", "lines"}
    };

    // Adds an item and wakes every waiting listener.
    void show(const QJsonObject& item);

    // The item that follows the one a listener received last (0: none yet, which gives the last
    // item shown), waiting at most wait for it. Nothing when the wait ends or the stream stops.
    std::optional<Event> next(quint64 after, std::chrono::milliseconds wait);

    // Ends every wait for good: the server is closing.
    void stop();
    bool stopped() const;

private:
    std::optional<Event> following(quint64 after) const;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Event> m_items; // the last ones only, oldest first
    quint64 m_serial = 0;
    bool m_stopped = false;
};

} // namespace ov::server
