#include "showstream.h"

#include <QJsonDocument>

namespace ov::server {

namespace {
// A listener that fell further behind than this misses the oldest ones.
constexpr std::size_t keptItems = 32;
} // namespace

void ShowStream::show(const QJsonObject& item) {
    {
        std::lock_guard lock(m_mutex);
        m_items.push_back({++m_serial, QJsonDocument(item).toJson(QJsonDocument::Compact)});
        while (m_items.size() > keptItems)
            m_items.pop_front();
    }
    m_changed.notify_all();
}

std::optional<ShowStream::Event> ShowStream::following(quint64 after) const {
    if (m_items.empty())
        return std::nullopt;
    if (after == 0)
        return m_items.back();
    for (const Event& event : m_items)
        if (event.serial > after)
            return event;
    return std::nullopt;
}

std::optional<ShowStream::Event> ShowStream::next(quint64 after, std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    std::optional<Event> event;
    m_changed.wait_for(lock, wait, [&] {
        if (m_stopped)
            return true;
        event = following(after);
        return event.has_value();
    });
    if (m_stopped)
        return std::nullopt;
    return event;
}

void ShowStream::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_changed.notify_all();
}

bool ShowStream::stopped() const {
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

} // namespace ov::server
