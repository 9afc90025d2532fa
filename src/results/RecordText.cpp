#include "results/RecordText.h"

#include "text/Cp932.h"
#include "text/DayNumber.h"
#include "text/Numbers.h"

#include <cmath>

namespace tobrel {

QString recordDateText(double day)
{
    // 1 January 100 .. 31 December 9999, the dates the system can show.
    if (std::isfinite(day) && day >= -657434 && day <= 2958465)
        return dateFromDayNumber(std::floor(day)).toString(QStringLiteral("yyyy/MM/dd"));
    return CStr(day);
}

QString recordClockText(double fraction)
{
    if (!std::isfinite(fraction) || fraction < 0 || fraction >= 1)
        return CStr(fraction);
    const QTime t = timeFromFraction(fraction);
    return QString::number(t.hour()) + t.toString(QStringLiteral(":mm:ss"));
}

QString recordSchoolText(const ResultRecord &record)
{
    QString school = fromCp932(record.ResultRecSchool);
    while (!school.isEmpty() && school.back() == u' ')
        school.chop(1);
    return school;
}

QString recordFieldsText(const ResultRecord &r)
{
    return QStringLiteral("日付=%1 時刻=%2 生徒番号=%3 レベル=%4 タイム=%5 学校=%6")
        .arg(recordDateText(r.ResultRecDate), recordClockText(r.ResultRecClock))
        .arg(r.ResultRecStudentNo)
        .arg(r.ResultRecLevel)
        .arg(r.ResultRecTime)
        .arg(recordSchoolText(r));
}

} // namespace tobrel
