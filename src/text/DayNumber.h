// Dates as day numbers counted from 30 December 1899, and times of day as fractions
// of a day, as the results file stores them.
#pragma once
#include <QDate>
#include <QTime>

namespace tobrel {

inline const QDate &dayZero()
{
    static const QDate zero(1899, 12, 30);
    return zero;
}
inline double dayNumber(const QDate &date) { return static_cast<double>(dayZero().daysTo(date)); }
inline QDate dateFromDayNumber(double day) { return dayZero().addDays(static_cast<qint64>(day)); }
inline double dayFraction(double secondsSinceMidnight) { return secondsSinceMidnight / 86400.0; }
// Time of day of a fraction, to the nearest second (23:59:59 at most).
QTime timeFromFraction(double fraction);

} // namespace tobrel
