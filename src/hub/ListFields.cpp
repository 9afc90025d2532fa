#include "hub/ListFields.h"

#include "state/SharedState.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

#include <cmath>

namespace tobrel {

QString timeField(int32_t seconds)
{
    return rightChars(QStringLiteral("      ") + CStr(seconds) + QStringLiteral("秒"), 5);
}

QString clockField(double fraction)
{
    const QTime t = timeFromFraction(fraction);
    const QString hms = QString::number(t.hour()) + t.toString(QStringLiteral(":mm:ss"));
    return leftChars(rightChars(QStringLiteral("00") + hms, 8), 5);
}

QString dateField(double day) { return rightChars(dateFromDayNumber(day).toString(QStringLiteral("yyyy/MM/dd")), 5); }

namespace {

// A name in the room of five full-width characters, ten cells of the fixed-pitch list:
// cut before the first character that would not fit, padded with full-width blanks (and
// one blank after an odd count of half-width characters). A name in full-width
// characters comes out as its first five characters padded with full-width blanks; one
// in half-width kana takes its true width too, so the fields after it stay in line.
QString nameInFiveFullWidths(const QString &name)
{
    constexpr int kCells = 10;
    QString field;
    int cells = 0;
    for (const QChar c : name) {
        const int width = displayCells(QString(c));
        if (cells + width > kCells)
            break;
        field += c;
        cells += width;
    }
    if (cells % 2 != 0) {
        field += u' ';
        ++cells;
    }
    for (; cells < kCells; cells += 2)
        field += QChar(0x3000);
    return field;
}

} // namespace

QString runNameField(const QString &name) { return nameInFiveFullWidths(trimBlanks(name)); }

QString rankingNameField(const QString &name)
{
    QString n = name;
    while (!n.isEmpty() && n.back() == u' ')
        n.chop(1);
    return nameInFiveFullWidths(n);
}

QString rankField(int rank) { return rightChars(Str(rank), 2); }

QString rankingTimeField(int32_t best) { return rightChars(QStringLiteral("    ") + Str(best), 6); }

QString todayPointsField(int32_t points) { return rightChars(QStringLiteral("    ") + CStr(points), 3); }

QString totalPointsField(int32_t points) { return rightChars(QStringLiteral("    ") + CStr(points), 5); }

QString runPointsField(int32_t points) { return rightChars(QStringLiteral("      ") + CStr(points), 5); }

QString gradeMark(int g)
{
    static const char16_t marks[] = u"①②③④⑤⑥ⅠⅡⅢ";
    if (g >= 1 && g <= 9)
        return QString(QChar(marks[g - 1]));
    return QString(QChar(0x3000));
}

int32_t listPoints(int32_t t, int32_t T)
{
    if (T <= 0)
        return 0;
    if (t <= T) {
        const double f = static_cast<double>(T - shortTime(t)) / T;
        return static_cast<int32_t>(std::floor(f * f * f * 50 + 5));
    }
    if (t < 2 * static_cast<int64_t>(T))
        return 4;
    if (t < 10 * static_cast<int64_t>(T))
        return 1;
    return 0;
}

int gradeIndexOfStudent(const SharedState &state, int student)
{
    if (!validStudentIndex(student))
        return -99;
    return GradeIndexOf(state.roster.SchoolYear, state.roster.StudentBirthYears[student]);
}

} // namespace tobrel
