#include "results/Tally.h"

#include "state/SharedState.h"
#include "text/DayNumber.h"
#include "text/Numbers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

namespace tobrel {

QString resultsFilePath(const SharedState &state) { return state.config.DataFolder + resultsFileName(); }

ResultRecord runRecord(const SharedState &state, const Clock &clock, int level)
{
    ResultRecord run;
    run.ResultRecDate = dayNumber(clock.today());
    // Whole seconds, as the suite's other programs store them, so every reader shows
    // the same clock time.
    run.ResultRecClock = dayFraction(std::floor(clock.timeOfDay()));
    run.ResultRecStudentNo = state.student.CurrentStudent;
    run.ResultRecLevel = static_cast<int16_t>(level);
    run.ResultRecTime = state.run.RunTime;
    run.setSchool(state.config.SchoolCode);
    if (state.results.lastRecordRead.Reserved3.size() == 5)
        run.Reserved3 = state.results.lastRecordRead.Reserved3;
    return run;
}

AppendOutcome WriteResultRecord(const ResultRecord &run, const ResultsFile &file, const AppendWait &wait)
{
    return file.appendRun(run, wait);
}

TallyWorkspace::RunAdds runAdds(int32_t time, int32_t targetTime, float rate)
{
    const int32_t st = shortTime(time);
    return {ratedPoints(basePoints(time, st, targetTime), rate), st, time < 6000 ? 1 : 0, 0};
}

TallyWindows tallyWindows(const CriteriaTable &c, int level, double today)
{
    return {today - c.CritPassDays[level].toNumber(), today - c.CritOverDays[level].toNumber(), today};
}

namespace {

// The points of a run at one level: from the table for times 0..999 (the short time is
// the time itself there) and for a timed-out run, worked out for the rare other runs.
struct alignas(64) LevelScoring {
    const TallyWorkspace::RunAdds *byTime = nullptr;
    TallyCell *row = nullptr; // the level's row of tally cells, by student
    TallyWindowCell *windowRow = nullptr; // and of window cells
    int32_t target = 0;
    float rate = 0;
    TallyWindows windows{};
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
            // Built from the one rule: entry t for a run of t seconds, entry 1000 for a
            // timed-out run.
            for (int32_t t = 0; t < 1000; ++t)
                p.byTime[static_cast<size_t>(t)] = runAdds(t, T, rate);
            p.byTime[1000] = runAdds(kTimedOut, T, rate);
            p.made = true;
            p.target = T;
            p.rate = rate;
        }
        LevelScoring &s = scoring[static_cast<size_t>(L)];
        s.byTime = p.byTime.data();
        s.row = state.tallies.cells.dataToWrite() + static_cast<size_t>(L) * kStudentSlots;
        s.windowRow = state.tallies.windows.dataToWrite() + static_cast<size_t>(L) * kStudentSlots;
        s.target = T;
        s.rate = rate;
        s.windows = tallyWindows(c, L, today);
        // NaN-safe: a window that holds no date cannot lower the bound.
        s.windowsFrom = std::nextafter(today, -INFINITY);
        if (s.windows.passFrom < s.windowsFrom)
            s.windowsFrom = s.windows.passFrom;
        if (s.windows.overFrom < s.windowsFrom)
            s.windowsFrom = s.windows.overFrom;
    }
}

// A record that is not kept: a damaged one is skipped and reported; another is dropped,
// but its time still counts toward the best times.
[[gnu::noinline]] void setAside(const char *p, int64_t recordNumber, ReadReport &report,
                                std::vector<DroppedTime> &dropped)
{
    const ResultRecord::Numbers r = ResultRecord::decodeNumbers(p);
    if (isDamagedRecord(r))
        report.corrupt.push_back({recordNumber, r});
    else
        dropped.push_back({r.level, r.student, r.time});
}

// A record is kept when its level and student are real ones (not 0), its date lies in
// the range of record dates and its time is not negative. Each is one comparison of
// whole numbers: the date's bits, as those of positive numbers run in the same order as
// the numbers (a negative date, or one that is no number, lies outside).
inline bool levelIsKept(int level) { return static_cast<unsigned>(level - 1) < unsigned(kMaxLevel); }
inline bool studentIsKept(int student) { return static_cast<unsigned>(student - 1) < unsigned(kMaxStudent); }
inline bool dateIsKept(double date)
{
    constexpr uint64_t first = std::bit_cast<uint64_t>(kFirstRecordDay);
    constexpr uint64_t last = std::bit_cast<uint64_t>(kLastRecordDay);
    return std::bit_cast<uint64_t>(date) - first <= last - first;
}
inline bool isKeptRecord(const ResultRecord::Numbers &r)
{
    return levelIsKept(r.level) & studentIsKept(r.student) & dateIsKept(r.date) & (r.time >= 0);
}

// The window cells a tally writes, listed so that the next tally clears those alone: a
// run inside a window of its level is about one in ten.
struct WindowCellList {
    uint32_t *cells;
    size_t count;
    void add(uint32_t level, uint32_t student) { cells[count++] = level * kStudentSlots + student; }
};

// Adds a run whose time is neither under 1000 seconds nor timed out, which the table
// does not hold: a run typed in by hand, say.
[[gnu::noinline]] void addUnusualRun(const char *const record, const LevelScoring &sc, WindowCellList &windowCells)
{
    const ResultRecord::Numbers r = ResultRecord::decodeNumbers(record);
    TallyCell &cell = sc.row[r.student];
    addRun(cell, sc.windowRow[r.student], r.date, runAdds(r.time, sc.target, sc.rate), sc.windows);
    if (r.date > sc.windowsFrom)
        windowCells.add(static_cast<uint16_t>(r.level), static_cast<uint16_t>(r.student));
}

// Adds the records from `base` to the tallies for as long as they are kept, and returns
// how many it added: it stops at the first record that is not kept. A loop with few
// figures to carry, so that they all stay in registers and many records' cells are on
// their way from memory at once; seen[L] is set for every level L it adds to, and every
// window cell it writes is listed.
[[gnu::noinline]] int64_t tallyWhileKept(const char *const base, const int64_t count, const LevelScoring *const levels,
                                         std::array<uint8_t, kLevelSlots> &levelsSeen, WindowCellList &windowCells)
{
    // Marked here and handed on at the end: bytes written through the caller's array
    // could be any figure the loop reads, which would then be read again each time.
    std::array<uint8_t, kLevelSlots> seen{};
    using Lanes = int32_t __attribute__((vector_size(16)));
    static_assert(offsetof(TallyCell, AllPoints) == 0 && offsetof(TallyCell, AllTimeSum) == 4 &&
                  offsetof(TallyCell, AllRunCount) == 8 && sizeof(TallyWorkspace::RunAdds) == sizeof(Lanes));
    // AllRunCount takes its runs in the low half of a 32-bit lane: no tally may carry out.
    static_assert(kMaxRecordsInMemory < 32768);
    const char *p = base;
    const char *const end = base + count * kRecordSize;
    for (; p != end; p += kRecordSize) {
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(p);
        // Three tests that never fail on a sound file, each a single branch.
        const uint32_t level = static_cast<uint16_t>(r.level);
        const uint32_t student = static_cast<uint16_t>(r.student);
        if (level - 1u >= unsigned(kMaxLevel)) [[unlikely]]
            break;
        if (student - 1u >= unsigned(kMaxStudent)) [[unlikely]]
            break;
        if (!dateIsKept(r.date)) [[unlikely]]
            break;
        seen[level] = 1;
        const LevelScoring &sc = levels[level];
        TallyCell &cell = sc.row[student];
        // A run under 1000 seconds or timed out (a thirtieth, say, at random) adds what
        // the table gives for its time, entry 1000 for a timed-out one. A negative time
        // (damaged) lies above them all as an unsigned number: its test costs nothing
        // on the common path.
        const uint32_t timedOut = r.time == kTimedOut;
        const uint32_t t = timedOut ? 999u : static_cast<uint32_t>(r.time);
        if (t >= 1000u) [[unlikely]] {
            if (r.time < 0)
                break;
            addUnusualRun(p, sc, windowCells);
            continue;
        }
        const TallyWorkspace::RunAdds &a = sc.byTime[t + timedOut];
        Lanes sums, adds;
        std::memcpy(&adds, &a, sizeof adds);
        std::memcpy(&sums, &cell, sizeof sums);
        sums += adds;
        std::memcpy(&cell, &sums, sizeof sums);
        // Most runs lie before every window of their level: one test passes them by.
        if (r.date > sc.windowsFrom) [[unlikely]] {
            addWindowedRun(cell, sc.windowRow[student], r.date, a, sc.windows);
            windowCells.add(level, student);
        }
    }
    for (size_t L = 0; L < seen.size(); ++L)
        levelsSeen[L] |= seen[L];
    return (p - base) / kRecordSize;
}

// The records of one read, in place: keeps the valid ones (closing up behind those it
// drops) and, when Tally is set, adds every kept record to the tallies. Returns the
// number kept; damaged records go to the report. Bit L of levelsKept tells that a
// record of level L was kept.
template <bool Tally>
int64_t passOverRecords(SharedState &state, char *const base, const int64_t count, const int64_t firstNumber,
                        const LevelScoring *const levels, ReadReport &report, uint64_t &levelsKept,
                        WindowCellList &windowCells)
{
    std::array<uint8_t, kLevelSlots> seen{};
    std::vector<int64_t> droppedPlaces;
    for (int64_t k = 0;;) {
        // A run of damaged records is passed over here, one test each, without starting
        // the pass for every one of them.
        if (k < count && isKeptRecord(ResultRecord::decodeNumbers(base + k * kRecordSize))) {
            if constexpr (Tally) {
                k += tallyWhileKept(base + k * kRecordSize, count - k, levels, seen, windowCells);
            } else {
                while (k < count && isKeptRecord(ResultRecord::decodeNumbers(base + k * kRecordSize)))
                    ++k;
            }
        }
        if (k >= count)
            break;
        setAside(base + k * kRecordSize, firstNumber + k, report, state.results.droppedTimes);
        droppedPlaces.push_back(k);
        ++k;
    }
    // Close up behind the dropped records, so entry i stays at 44 x (i - 1).
    int64_t kept = droppedPlaces.empty() ? count : droppedPlaces.front();
    for (size_t i = 0; i < droppedPlaces.size(); ++i) {
        const int64_t from = droppedPlaces[i] + 1;
        const int64_t to = i + 1 < droppedPlaces.size() ? droppedPlaces[i + 1] : count;
        std::memmove(base + kept * kRecordSize, base + from * kRecordSize,
                     static_cast<size_t>(to - from) * kRecordSize);
        kept += to - from;
    }
    levelsKept = 0;
    for (size_t L = 0; L < seen.size(); ++L)
        levelsKept |= uint64_t(seen[L]) << L;
    return kept;
}

// Reads the valid records among the last 20000 into memory (the best times follow
// from them) and, when scoring is given, adds each one to the tallies in the same pass.
ReadReport readAndTally(SharedState &state, const std::array<LevelScoring, kLevelSlots> *scoring,
                        const ResultsFile &file)
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
    // The last record read, kept or not: the next run recorded carries on its last
    // reserved field.
    if (count > 0)
        mem.lastRecordRead = ResultRecord::decode(base + (count - 1) * kRecordSize);

    uint64_t levelsKept = 0;
    // Each kept record writes one window cell at most.
    WindowCellList windowCells{scoring ? state.tallies.windows.cellListToWrite(static_cast<size_t>(count)) : nullptr,
                               0};
    const int64_t kept =
        scoring
            ? passOverRecords<true>(state, base, count, range.first, scoring->data(), report, levelsKept, windowCells)
            : passOverRecords<false>(state, base, count, range.first, nullptr, report, levelsKept, windowCells);
    for (int L = 0; L <= kMaxLevel; ++L)
        if (levelsKept >> L & 1)
            state.tallies.cells.markWritten(L);
    if (scoring)
        state.tallies.windows.markCellsWritten(windowCells.count);
    mem.records.truncate(static_cast<qsizetype>(kept * kRecordSize));
    mem.RecordCount = static_cast<int>(kept);
    return report;
}

} // namespace

ReadReport ReadResults(SharedState &state, const ResultsFile &file) { return readAndTally(state, nullptr, file); }

int32_t shortTimeOfNegative(int32_t t) { return static_cast<int32_t>(leadingNumber(QString::number(t).left(3))); }

ReadReport TallyResults(SharedState &state, const Clock &clock, const ResultsFile &file)
{
    const double today = dayNumber(clock.today());
    std::array<LevelScoring, kLevelSlots> scoring;
    prepareScoring(state, today, scoring);
    return readAndTally(state, &scoring, file);
}

namespace {

// The date of a record as yyyy/mm/dd with its day number, or the bare number when it
// is no sensible date.
QString recordDateText(double day)
{
    if (std::isfinite(day) && day > 0 && day < 2958466 && day == std::floor(day))
        return dateFromDayNumber(day).toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" (") + CStr(day) + u')';
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

bool levelClearedBy(const CriteriaTable &c, int L, int64_t passPoints, int64_t passRuns)
{
    return passPoints >= c.CritClearPoints[L] && passRuns >= c.CritClearCount[L];
}

bool LevelCleared(const SharedState &state, int L, int s)
{
    const auto &t = state.tallies;
    return levelClearedBy(state.criteria, L, t.PassPoints(L, s), t.PassRunCount(L, s));
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
    return (overRuns != 0 && t.OverRunCount(L, s) >= overRuns) || (overPoints != 0 && t.OverPoints(L, s) >= overPoints);
}

} // namespace tobrel
