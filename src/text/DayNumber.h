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
// The date of a day number; an invalid date for a number that is no day (not finite,
// or far outside any calendar).
inline QDate dateFromDayNumber(double day)
{
    if (!(day > -1e11 && day < 1e11))
        return QDate();
    return dayZero().addDays(static_cast<qint64>(day));
}
inline double dayFraction(double secondsSinceMidnight) { return secondsSinceMidnight / 86400.0; }
// Time of day of a fraction, to the nearest second (23:59:59 at most); midnight for a
// value that is not finite.
QTime timeFromFraction(double fraction);

} // namespace tobrel
