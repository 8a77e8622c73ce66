#pragma once
// The random source (a 32-bit linear congruential generator) and the dice D and D4 rolled on it.

#include <QTime>
#include <QtGlobal>

namespace ov {

class RandomSource {
public:
    explicit RandomSource(quint32 state = 0) : m_state(state) {}

    quint32 state() const { return m_state; }
    void setState(quint32 state) { m_state = state; }

    // Advances the state and returns a whole number in 0..range-1 (0 for a range of 0).
    quint32 next(quint32 range) {
        m_state = m_state * 134775813u + 1u;
        return static_cast<quint32>((quint64(m_state) * range) >> 32);
    }

    // The seed taken from a time of day in universal time, in milliseconds since midnight.
    static quint32 seedFromTime(const QTime& utc) {
        return quint32(((utc.hour() * 60 + utc.minute()) * 60 + utc.second()) * 1000 + utc.msec());
    }

    // Seeds from the system clock in universal time.
    void seedFromClock();

private:
    quint32 m_state;
};

class Dice {
public:
    explicit Dice(RandomSource& source) : m_source(source) {}

    // Uniform in 1..n; D(0) is 1. A negative range also gives 1; each roll consumes one number.
    int D(int n) {
        const quint32 value = m_source.next(n > 0 ? quint32(n) : 0u);
        return int(value) + 1;
    }

    // Weighted 1..4 from one D(10): 1-4 -> 1, 5-7 -> 2, 8-9 -> 3, 10 -> 4.
    int D4() { return bandD4(D(10)); }

    static int bandD4(int d10) { return d10 <= 4 ? 1 : d10 <= 7 ? 2 : d10 <= 9 ? 3 : 4; }

    RandomSource& source() { return m_source; }

private:
    RandomSource& m_source;
};

} // namespace ov
