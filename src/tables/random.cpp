#include "random.h"

#include <QDateTime>

namespace ov {

void RandomSource::seedFromClock() {
    m_state = seedFromTime(QDateTime::currentDateTimeUtc().time());
}

} // namespace ov
