#include "clock.h"

#include "textrules.h"

#include <QRegularExpression>

namespace ov {

QString shortDate(const QDate& date, const QLocale& locale) {
    // Formatted once a day: every run of a batch asks for the same date.
    struct Formatted {
        QDate date;
        QLocale locale;
        QString text;
    };
    thread_local Formatted last;
    if (last.date != date || !(last.locale == locale) || last.text.isNull())
        last = {date, locale, locale.toString(date, QLocale::ShortFormat)};
    return last.text;
}

QString printDateStamp(const QDate& date, const QLocale& locale) {
    const QString text = shortDate(date, locale);
    if (text.size() <= width::PrintDate)
        return text;
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression longYear(QStringLiteral("y{3,}"));
    format.replace(longYear, QStringLiteral("yy"));
    const QString twoDigits = locale.toString(date, format);
    if (twoDigits.size() <= width::PrintDate)
        return twoDigits;
    return date.toString(QStringLiteral("dd/MM/yy"));
}

} // namespace ov
