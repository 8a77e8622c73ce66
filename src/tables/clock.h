#pragma once
// The current date and time, passed in so that tests can fix them; and the date texts derived.

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace ov {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime at) : m_at(std::move(at)) {}
    QDateTime now() const override { return m_at; }
    void set(const QDateTime& at) { m_at = at; }

private:
    QDateTime m_at;
};

// The date in the system's short date format (the locale set as default).
QString shortDate(const QDate& date, const QLocale& locale = QLocale());

// The date as stored in an 8-character print-date field: the short date format when it fits,
// otherwise the same order with a two-digit year (08/12/26 rather than a cut 08/12/20).
QString printDateStamp(const QDate& date, const QLocale& locale = QLocale());

} // namespace ov
