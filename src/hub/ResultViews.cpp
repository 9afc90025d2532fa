#include "hub/ResultViews.h"

#include "state/SharedState.h"
#include "hub/ListFields.h"
#include "hub/Rankings.h"
#include "results/Tally.h"
#include "roster/NameList.h"
#include "roster/Roster.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

#include <algorithm>
#include <cmath>

namespace tobrel {

int resultListDaysFor(int period, const QDate &today)
{
    const int w = today.dayOfWeek() % 7 + 1; // Sunday = 1 .. Saturday = 7
    switch (period) {
    case 1:
        return w == 1 ? 7 : w - 1;
    case 2:
        return w == 1 ? 14 : w - 1 + 7;
    case 3:
        return 30;
    case 4:
        return 365;
    default:
        return 3650;
    }
}

namespace {

// Reads the tail of the file and hands every run of a student to visit, with progress.
bool forEachRecord(const ResultsFile &file, int64_t maxRecords, QString *error, const ViewProgress &progress,
                   const std::function<void(const ResultRecord::Numbers &)> &visit)
{
    ResultsFile::Range range;
    if (!file.readTail(maxRecords, &range, error))
        return false;
    const int64_t maximum = static_cast<int64_t>((range.recordCount + 1) * 1.1);
    const int64_t count = range.bytes.size() / kRecordSize;
    for (int64_t k = 0; k < count; ++k) {
        if (progress && (k % 256 == 0 || k == count - 1))
            progress(range.first + k, maximum);
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(range.bytes.constData() + k * kRecordSize);
        if (isStudentRun(r))
            visit(r);
    }
    return true;
}

// The mark and the name of a run line, for a run of a level with a column whose
// student passes the grade filter; false for any other run.
struct RunLineParts {
    QString mark;
    QString name;
};
bool runLineParts(const SharedState &state, const GradeFilter &filter, const ResultRecord::Numbers &r,
                  RunLineParts &parts)
{
    if (r.level < 1 || r.level > state.profile.LevelCount)
        return false;
    const int g = gradeIndexOfStudent(state, r.student);
    if (!filter.matches(g))
        return false;
    parts.mark = r.student == state.student.CurrentStudent ? ownMark() : gradeMark(g);
    parts.name = runNameField(validStudentIndex(r.student) ? state.roster.StudentNames[r.student] : QString());
    return true;
}

} // namespace

bool todayLines(const SharedState &state, const Clock &clock, const ResultsFile &file, const QString &filter,
                LevelLists &lists, QString *error, const ViewProgress &progress)
{
    const int n = state.profile.LevelCount;
    lists.assign(n + 1, {});
    const double today = dayNumber(clock.today());
    const GradeFilter passes(filter);
    return forEachRecord(file, 1000, error, progress, [&](const ResultRecord::Numbers &r) {
        RunLineParts p;
        if (r.date != today || !runLineParts(state, passes, r, p))
            return;
        const QString &mark = p.mark;
        const QString &name = p.name;
        if (failedRun(r.time))
            lists[r.level] << failureField() + clockField(r.clock) + mark + name + mark;
        else
            lists[r.level] << timeField(r.time) + u' ' + clockField(r.clock) + mark + name + mark +
                                  CStr(listPoints(r.time, state.criteria.CritTargetTime[r.level]));
    });
}

bool periodLines(const SharedState &state, const Clock &clock, const ResultsFile &file, const QString &filter,
                 int resultListDays, int listMode, LevelLists &lists, QString *error, const ViewProgress &progress)
{
    const int n = state.profile.LevelCount;
    lists.assign(n + 1, {});
    const double from = dayNumber(clock.today()) + dayFraction(clock.timeOfDay()) - resultListDays;
    const GradeFilter passes(filter);
    return forEachRecord(file, kMaxRecordsInMemory, error, progress, [&](const ResultRecord::Numbers &r) {
        RunLineParts p;
        if (!(r.date > from) || !runLineParts(state, passes, r, p))
            return;
        const QString &mark = p.mark;
        const QString &name = p.name;
        const QString date = dateField(r.date);
        if (failedRun(r.time)) {
            lists[r.level] << failureField() + date + mark + name + mark;
            return;
        }
        const int32_t points = listPoints(r.time, state.criteria.CritTargetTime[r.level]);
        if (listMode == PointsDisplay)
            lists[r.level] << runPointsField(points) + u' ' + date + mark + name + mark + CStr(r.time) +
                                  QStringLiteral("秒");
        else
            lists[r.level] << timeField(r.time) + u' ' + date + mark + name + mark + CStr(points);
    });
}

QString personalTimeLine(double day, double fraction, int32_t seconds)
{
    const QString date = rightChars(dateFromDayNumber(day).toString(QStringLiteral("yyyy/MM/dd")), 10);
    const QTime t = timeFromFraction(fraction);
    const QString clock = rightChars(QString::number(t.hour()) + t.toString(QStringLiteral(":mm:ss")), 10);
    const QString time = failedRun(seconds) ? QStringLiteral("時間切れ") : CStr(seconds) + QStringLiteral("秒");
    // Right-aligned in five characters; a time of four digits or more is never cut and
    // keeps a blank before it, so it does not run into the clock ("13:37:01 1234秒").
    return date + u' ' + clock + (time.size() >= 5 ? u' ' + time : alignRight(time, 5));
}

bool personalTimesLines(const SharedState &state, const Clock &clock, const ResultsFile &file, const QString &filter,
                        LevelLists &lists, QString *error, const ViewProgress &progress)
{
    const int n = state.profile.LevelCount;
    lists.assign(n + 1, {});
    const double from = dayNumber(clock.today()) + dayFraction(clock.timeOfDay()) - 3650;
    const int me = state.student.CurrentStudent;
    const bool passes = GradeFilterMatches(filter, gradeIndexOfStudent(state, me));
    return forEachRecord(file, kMaxRecordsInMemory, error, progress, [&](const ResultRecord::Numbers &r) {
        if (r.level < 1 || r.level > n || !(r.date > from))
            return;
        if (r.student != me || !passes)
            return;
        lists[r.level] << personalTimeLine(r.date, r.clock, r.time);
    });
}

} // namespace tobrel
