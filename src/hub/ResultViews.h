// The hub's views that read the results file: today's runs, all runs of a period and a
// student's personal times, as lines for each level's list.
#pragma once
#include "state/Platform.h"
#include "results/ResultsFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tobrel {

struct SharedState;

using LevelLists = std::vector<QStringList>; // index = level, 0 unused

// Days back of the all-results view for a period 1..5 (this week, since last week,
// a month, a year, all so far).
int resultListDaysFor(int period, const QDate &today);

// Progress while a view reads the file: (record number, maximum).
using ViewProgress = std::function<void(int64_t value, int64_t maximum)>;

// Today's runs of the filtered students among the last 1000 records, oldest first.
bool todayLines(const SharedState &state, const Clock &clock, const ResultsFile &file, const QString &filter,
                LevelLists &lists, QString *error, const ViewProgress &progress = {});
// All runs of the period among the last 20000 records.
bool periodLines(const SharedState &state, const Clock &clock, const ResultsFile &file, const QString &filter,
                 int resultListDays, int listMode, LevelLists &lists, QString *error,
                 const ViewProgress &progress = {});
// The current student's own runs of the last 3650 days, among the last 20000 records.
bool personalTimesLines(const SharedState &state, const Clock &clock, const ResultsFile &file, const QString &filter,
                        LevelLists &lists, QString *error, const ViewProgress &progress = {});
// One line of the personal-times view.
QString personalTimeLine(double day, double fraction, int32_t seconds);

} // namespace tobrel
