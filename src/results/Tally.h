// Reading the results file into memory and computing every student's counts, points
// and best times from it. Nothing is kept on disk but the runs themselves: every
// screen that shows counts calls TallyResults and gets them fresh.
#pragma once
#include "state/Platform.h"
#include "state/SharedState.h"
#include "results/ResultsFile.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <vector>

namespace tobrel {

struct ReadReport {
    QString fatalError; // the program cannot go on (file unreadable):
        // what is wrong, then the file's path
    int fatalErrorNumber = 0; // its error number (text/SystemError.h)
    std::vector<CorruptRecord> corrupt; // damaged records skipped in this read
    bool ok() const { return fatalError.isEmpty(); }
};

// Path of the results file in the data folder.
QString resultsFilePath(const SharedState &state);
// Path of the pending file in the program's folder, which keeps runs while the results
// file cannot be written.
QString pendingFilePath(const SharedState &state);
// The results file as the screens use it: with this PC's pending file, waiting
// between retries with `wait`.
ResultsFile sharedResultsFile(const SharedState &state, WaitFunction wait = {});

// The record of the run that just ended: CurrentStudent at `level` with time RunTime,
// dated now, with this school's code. Its last reserved field carries on what the last
// record read held (five zero bytes in every file this program writes), as the suite's
// programs write their runs.
ResultRecord runRecord(const SharedState &state, const Clock &clock, int level);
// Appends a run's record, waiting for the file as `wait` says (see appendRun).
AppendOutcome WriteResultRecord(const ResultRecord &run, const ResultsFile &file, const AppendWait &wait);

// Loads the valid records among the last 20000 of the file, and the best times.
ReadReport ReadResults(SharedState &state, const ResultsFile &file);

// Rebuilds the ten tally tables from the results file.
ReadReport TallyResults(SharedState &state, const Clock &clock, const ResultsFile &file);

// One record for a teacher: "120番目の記録: 日付=2004/01/14 (38000) 生徒番号=.. レベル=.. タイム=..".
QString describeRecord(int64_t recordNumber, const ResultRecord::Numbers &record);

// The message for damaged records not reported before (empty when there are none);
// marks them as reported.
QString takeCorruptRecordMessage(SharedState &state, const ReadReport &report);

// The first three characters of the time in decimal, as a number (999 for 99999).
int32_t shortTimeOfNegative(int32_t t);
inline int32_t shortTime(int32_t t)
{
    if (t < 0)
        return shortTimeOfNegative(t);
    while (t >= 1000)
        t /= 10;
    return t;
}

// Base points of a run of time t against target T; tFormula is the time put into the
// formula (the short time when tallying, t itself on the end screen). A target of 0
// gives 0 points. A negative time (a record typed in by hand) earns what an instant
// run earns, so no record can make a points sum overflow.
inline int32_t basePoints(int32_t t, int32_t tFormula, int32_t T)
{
    if (isTimedOut(t) || T <= 0)
        return 0;
    if (t <= T) {
        const double f = static_cast<double>(T - std::max<int32_t>(tFormula, 0)) / T;
        return static_cast<int32_t>(std::floor(50.0 * f * f * f + 5.0));
    }
    if (t < 2 * static_cast<int64_t>(T))
        return 4;
    if (t < 10 * static_cast<int64_t>(T))
        return 1;
    return 0;
}

// Base points times the rate (single precision, as the rate is stored), whole part kept.
inline int32_t ratedPoints(int32_t base, float rate)
{
    const float product = rate * static_cast<float>(base);
    return static_cast<int32_t>(std::floor(product));
}

// What one run adds to the tallies of its level and student: its points (from the
// short time), its short time, and 1 when it is a completed run (time below 6000). A
// timed-out run adds 999 to the time sums and nothing else.
TallyWorkspace::RunAdds runAdds(int32_t time, int32_t targetTime, float rate);

// The windows of one level on the day `today`: a run dated after passFrom counts toward
// passing, one dated after overFrom toward over-practice, one dated today toward
// today's figures. A window of 1 day holds today alone; of 0 (or empty), nothing.
struct TallyWindows {
    double passFrom;
    double overFrom;
    double today;
};
TallyWindows tallyWindows(const CriteriaTable &criteria, int level, double today);

// The part of a run that only the windows holding its date take.
inline void addWindowedRun(TallyCell &cell, TallyWindowCell &window, double date, const TallyWorkspace::RunAdds &adds,
                           const TallyWindows &w)
{
    if (date > w.passFrom) {
        cell.PassRunCount = static_cast<int16_t>(cell.PassRunCount + adds.completed);
        window.PassPoints += adds.points;
    }
    if (date > w.overFrom) {
        window.OverRunCount = static_cast<int16_t>(window.OverRunCount + adds.completed);
        window.OverPoints += adds.points;
    }
    if (date == w.today) {
        window.TodayRuns = static_cast<int16_t>(window.TodayRuns + adds.completed);
        window.TodayTimeSum += static_cast<float>(adds.shortTime);
        cell.TodayPoints += adds.points;
    }
}

// Adds one run dated `date` to its student's cells at its level: the rule every tally
// follows. (The tally's fast path adds the all-time part as one sum of the same RunAdds.)
inline void addRun(TallyCell &cell, TallyWindowCell &window, double date, const TallyWorkspace::RunAdds &adds,
                   const TallyWindows &w)
{
    cell.AllRunCount = static_cast<int16_t>(cell.AllRunCount + adds.completed);
    cell.AllPoints += adds.points;
    cell.AllTimeSum += adds.shortTime;
    addWindowedRun(cell, window, date, adds, w);
}

bool LevelCleared(const SharedState &state, int level, int student);
// The clearing rule itself, on a student's runs and points inside the pass window.
bool levelClearedBy(const CriteriaTable &criteria, int level, int64_t passPoints, int64_t passRuns);
bool ClearedBeforeTest(const SharedState &state, int level, int student);
bool LevelBarred(const SharedState &state, int level, int student);

} // namespace tobrel
