#pragma once
// French wording of counts in the summaries of the tool and the windows.

#include <QString>

namespace ov {

// "1 table", "2 tables": the plural from two on, as French writes it.
inline QString plural(qsizetype count, const QString& singular, const QString& pluralForm) {
    return QString::number(count) + QLatin1Char(' ') + (count > 1 ? pluralForm : singular);
}

} // namespace ov
