#include "results/Tally.h"

#include "state/SharedState.h"
#include "text/DayNumber.h"
#include "text/Numbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace tobrel {

QString resultsFilePath(const SharedState &state)
{
    return state.config.DataFolder + resultsFileName();
}

AppendOutcome WriteResultRecord(SharedState &state, const Clock &clock, const ResultsFile &file,
                                const AppendWait &wait)
{
    ResultRecord &buf = state.ResultRecBuffer;
    buf.ResultRecDate = dayNumber(clock.today());
    // Whole seconds, as the suite's other programs store them, so every reader shows
    // the same clock time.
    buf.ResultRecClock = dayFraction(std::floor(clock.timeOfDay()));
    buf.ResultRecStudentNo = state.student.CurrentStudent;
    buf.ResultRecLevel = state.run.CurrentLevel;
    buf.ResultRecTime = state.run.RunTime;
    buf.setSchool(state.config.SchoolCode);
    buf.Reserved1 = QByteArray(5, ' ');
    buf.Reserved2 = QByteArray("0    ", 5);
    if (buf.Reserved3.size() != 5)
        buf.Reserved3 = QByteArray(5, '\0');
    return file.appendRun(buf, wait);
}

namespace {

// The points of a run at one level: from the table for times 0..999 (the short time is
// the time itself there) and for a timed-out run, worked out for the rare other runs.
struct LevelScoring {
    const int32_t *byTime = nullptr;
    int32_t target = 0;
    float rate = 0;
    double passFrom = 0; // the pass window holds dates after this day
    double overFrom = 0; // the over-practice window likewise
    double windowsFrom = 0; // no window (nor today) holds a date up to this one
};

// Brings each level's table of points up to date with the criteria: a table is made
// again only when the level's target time or rate has changed since it was made.
void prepareScoring(SharedState &state, double today, std::array<LevelScoring, kLevelSlots> &scoring)
{
    const CriteriaTable &c = state.criteria;
    for (int L = 1; L <= kMaxLevel; ++L) {
        TallyWorkspace::LevelPoints &p = state.tallyWork.points[static_cast<size_t>(L)];
        const int32_t T = c.CritTargetTime[L];
        const float rate = c.CritPointRate[L];
        // Compared bit for bit, so a NaN rate is not made again on every tally.
        if (!p.made || p.target != T || std::memcmp(&p.rate, &rate, sizeof rate) != 0) {
            for (int32_t t = 0; t < 1000; ++t)
                p.byTime[static_cast<size_t>(t)] = ratedPoints(basePoints(t, t, T), rate);
            p.byTime[1000] = ratedPoints(basePoints(kTimedOut, shortTime(kTimedOut), T), rate);
            p.made = true;
            p.target = T;
            p.rate = rate;
        }
        LevelScoring &s = scoring[static_cast<size_t>(L)];
        s.byTime = p.byTime.data();
        s.target = T;
        s.rate = rate;
        s.passFrom = today - c.CritPassDays[L].toNumber();
        s.overFrom = today - c.CritOverDays[L].toNumber();
        // NaN-safe: a window that holds no date cannot lower the bound.
        s.windowsFrom = std::nextafter(today, -INFINITY);
        if (s.passFrom < s.windowsFrom)
            s.windowsFrom = s.passFrom;
        if (s.overFrom < s.windowsFrom)
            s.windowsFrom = s.overFrom;
    }
}

// The records of one read, in place: keeps the valid ones (closing up behind those it
// drops) and, when Tally is set, adds every kept record to the tallies. Returns the
// number kept; damaged records go to the report. Bit L of levelsKept tells that a
// record of level L was kept.
// A record that is not kept: a damaged one is skipped and reported; another is dropped,
// but its time still counts toward the best times. Apart from the pass, which then
// keeps its figures in registers.
[[gnu::noinline]] void setAside(const char *p, int64_t recordNumber, ReadReport &report,
                                std::vector<DroppedTime> &dropped)
{
    const ResultRecord::Numbers r = ResultRecord::decodeNumbers(p);
    if (isDamagedRecord(r))
        report.corrupt.push_back({recordNumber, r});
    else
        dropped.push_back({r.level, r.student, r.time});
}

template <bool Tally>
int64_t passOverRecords(SharedState &state, char *const base, const int64_t count, const int64_t firstNumber,
                        const LevelScoring *const levels, const double today, ReadReport &report,
                        uint64_t &levelsKept)
{
    // A plain pointer, so the compiler keeps it in a register through the loop; the
    // caller marks the rows written afterwards.
    TallyCell *const cells = state.tallies.cells.dataToWrite();
    std::vector<DroppedTime> &dropped = state.results.droppedTimes;
    int64_t kept = 0;
    uint64_t levelsSeen = 0;
    const char *p = base;
    for (int64_t k = 0; k < count; ++k, p += kRecordSize) {
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(p);
        const int level = r.level;
        const int student = r.student;
        // A record is kept when its level and student are real ones (not 0) and its date
        // lies in the range of record dates: one test, so the usual records pass by with
        // a single branch; the rare others are sorted out apart.
        const bool keptRecord = (static_cast<unsigned>(level - 1) < unsigned(kMaxLevel)) &
                                (static_cast<unsigned>(student - 1) < unsigned(kMaxStudent)) &
                                (r.date >= kFirstRecordDay) & (r.date <= kLastRecordDay);
        if (!keptRecord) [[unlikely]] {
            setAside(p, firstNumber + k, report, dropped);
            continue;
        }
        // Close up behind dropped records, so entry i stays at 44 x (i - 1).
        if (kept != k) [[unlikely]]
            std::memcpy(base + kept * kRecordSize, p, kRecordSize);
        ++kept;
        if constexpr (!Tally)
            continue;

        levelsSeen |= uint64_t(1) << level;
        const LevelScoring &sc = levels[level];
        const int32_t time = r.time;
        int32_t st, points;
        const bool underThousand = static_cast<uint32_t>(time) < 1000u;
        // Runs under 1000 seconds and timed-out runs (a thirtieth, say, at random) take
        // their points from the table without a branch between them.
        if (underThousand | (time == kTimedOut)) [[likely]] {
            st = underThousand ? time : 999;
            points = sc.byTime[underThousand ? time : 1000];
        } else {
            st = shortTime(time);
            points = ratedPoints(basePoints(time, st, sc.target), sc.rate);
        }
        const int completed = time < 6000;
        TallyCell &cell = cells[static_cast<size_t>(level) * kStudentSlots + static_cast<size_t>(student)];
        cell.AllRunCount = static_cast<int16_t>(cell.AllRunCount + completed);
        cell.AllPoints += points;
        cell.AllTimeSum += st;
        // Most runs lie before every window of their level: one test passes them by.
        if (!(r.date > sc.windowsFrom)) [[likely]]
            continue;
        if (r.date > sc.passFrom) {
            cell.PassRunCount = static_cast<int16_t>(cell.PassRunCount + completed);
            cell.PassPoints += points;
        }
        if (r.date > sc.overFrom) {
            cell.OverRunCount = static_cast<int16_t>(cell.OverRunCount + completed);
            cell.OverPoints += points;
        }
        if (r.date == today) {
            cell.TodayRuns = static_cast<int16_t>(cell.TodayRuns + completed);
            cell.TodayTimeSum += static_cast<float>(st);
            cell.TodayPoints += points;
        }
    }
    levelsKept = levelsSeen;
    return kept;
}

// Reads the valid records among the last 20000 into memory (the best times follow
// from them) and, when scoring is given, adds each one to the tallies in the same pass.
ReadReport readAndTally(SharedState &state, const std::array<LevelScoring, kLevelSlots> *scoring,
                        double today, const ResultsFile &file)
{
    ReadReport report;
    ResultsInMemory &mem = state.results;
    mem.RecordCount = 0;
    mem.droppedTimes.clear();
    mem.recordsReplaced();

    // The records are read straight into the memory that holds them.
    ResultsFile::Range range;
    range.bytes = std::move(mem.records);
    QString error;
    const bool read = file.readTail(kMaxRecordsInMemory, &range, &error, &report.fatalErrorNumber);
    mem.records = std::move(range.bytes);
    // The tallies are cleared after the read, so that they are still in the cache when
    // the records are added to them.
    if (scoring)
        state.tallies.clear();
    if (!read) {
        mem.records.clear();
        report.fatalError = error;
        return report;
    }

    char *const base = mem.records.data();
    const int64_t count = mem.records.size() / kRecordSize;
    // The record buffer holds the last record read, as after a read through it.
    if (count > 0)
        state.ResultRecBuffer = ResultRecord::decode(base + (count - 1) * kRecordSize);

    uint64_t levelsKept = 0;
    const int64_t kept =
        scoring ? passOverRecords<true>(state, base, count, range.first, scoring->data(), today, report, levelsKept)
                : passOverRecords<false>(state, base, count, range.first, nullptr, today, report, levelsKept);
    for (int L = 0; L <= kMaxLevel; ++L)
        if (levelsKept >> L & 1)
            state.tallies.cells.markWritten(L);
    mem.records.truncate(static_cast<qsizetype>(kept * kRecordSize));
    mem.RecordCount = static_cast<int>(kept);
    return report;
}

} // namespace

ReadReport ReadResults(SharedState &state, const ResultsFile &file)
{
    return readAndTally(state, nullptr, 0, file);
}

int32_t shortTimeOfNegative(int32_t t)
{
    return static_cast<int32_t>(leadingNumber(QString::number(t).left(3)));
}

ReadReport TallyResults(SharedState &state, const Clock &clock, const ResultsFile &file)
{
    const double today = dayNumber(clock.today());
    std::array<LevelScoring, kLevelSlots> scoring;
    prepareScoring(state, today, scoring);
    return readAndTally(state, &scoring, today, file);
}

namespace {

// The date of a record as yyyy/mm/dd with its day number, or the bare number when it
// is no sensible date.
QString recordDateText(double day)
{
    if (std::isfinite(day) && day > 0 && day < 2958466 && day == std::floor(day))
        return dateFromDayNumber(day).toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" (") +
               CStr(day) + u')';
    return CStr(day);
}

} // namespace

QString describeRecord(int64_t recordNumber, const ResultRecord::Numbers &record)
{
    return QStringLiteral("%1番目の記録: 日付=%2 生徒番号=%3 レベル=%4 タイム=%5")
        .arg(recordNumber)
        .arg(recordDateText(record.date))
        .arg(record.student)
        .arg(record.level)
        .arg(record.time);
}

QString takeCorruptRecordMessage(SharedState &state, const ReadReport &report)
{
    // Both lists run in ascending record number, so one walk finds the new ones.
    std::vector<int64_t> &seen = state.reportedCorruptRecords;
    const size_t seenBefore = seen.size();
    QStringList lines;
    auto old = seen.cbegin();
    const auto oldEnd = seen.cbegin() + static_cast<std::ptrdiff_t>(seenBefore);
    std::vector<int64_t> fresh;
    for (const CorruptRecord &c : report.corrupt) {
        while (old != oldEnd && *old < c.recordNumber)
            ++old;
        if (old != oldEnd && *old == c.recordNumber)
            continue;
        fresh.push_back(c.recordNumber);
        if (lines.size() < 10)
            lines << describeRecord(c.recordNumber, c.record);
    }
    if (fresh.empty())
        return {};
    seen.insert(seen.end(), fresh.begin(), fresh.end());
    std::inplace_merge(seen.begin(), seen.begin() + static_cast<std::ptrdiff_t>(seenBefore), seen.end());
    return QStringLiteral("成績ファイル %1 に壊れた記録があります。この記録は集計に使いません。\n"
                          "先生が「データ処理」→「データ変更」で消去するか直してください。\n\n")
               .arg(resultsFilePath(state)) +
           lines.join(u'\n');
}

bool LevelCleared(const SharedState &state, int L, int s)
{
    const auto &c = state.criteria;
    const auto &t = state.tallies;
    return t.PassPoints(L, s) >= c.CritClearPoints[L] && t.PassRunCount(L, s) >= c.CritClearCount[L];
}

bool ClearedBeforeTest(const SharedState &state, int L, int s)
{
    const auto &c = state.criteria;
    const auto &t = state.tallies;
    return t.AllRunCount(L, s) >= c.CritClearCount[L] && t.AllPoints(L, s) >= c.CritClearPoints[L];
}

bool LevelBarred(const SharedState &state, int L, int s)
{
    const auto &c = state.criteria;
    const auto &t = state.tallies;
    const double overRuns = c.CritOverRuns[L].toNumber();
    const double overPoints = c.CritOverPoints[L].toNumber();
    return (overRuns != 0 && t.OverRunCount(L, s) >= overRuns) ||
           (overPoints != 0 && t.OverPoints(L, s) >= overPoints);
}

} // namespace tobrel
