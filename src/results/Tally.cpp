#include "results/Tally.h"

#include "state/SharedState.h"
#include "text/DayNumber.h"
#include "text/Numbers.h"

#include <algorithm>
#include <cmath>

namespace tobrel {

QString resultsFilePath(const SharedState &state)
{
    return state.config.DataFolder + resultsFileName();
}

QString WriteResultRecord(SharedState &state, const Clock &clock, const ResultsFile &file)
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
    QString error;
    if (file.append(buf, &error) == 0)
        return error;
    return {};
}

ReadReport ReadResults(SharedState &state, const ResultsFile &file)
{
    ReadReport report;
    ResultsInMemory &mem = state.results;
    for (int L = 1; L <= kMaxLevel; ++L)
        std::fill_n(mem.PersonalBest.row(L) + 1, kMaxStudent, kTimedOut);

    ResultsFile::Range range;
    QString error;
    if (!file.readTail(kMaxRecordsInMemory, &range, &error, &report.fatalErrorNumber)) {
        report.fatalError = error;
        mem.RecordCount = 0;
        return report;
    }

    const char *p = range.bytes.constData();
    const int64_t count = range.bytes.size() / kRecordSize;
    int i = 0;
    for (int64_t k = 0; k < count; ++k, p += kRecordSize) {
        const ResultRecord::Numbers r = ResultRecord::decodeNumbers(p);
        const int level = r.level;
        const int student = r.student;
        if (isDamagedRecord(r)) {
            report.corrupt.push_back({range.first + k, ResultRecord::decode(p)});
            continue;
        }
        ++i;
        mem.RecDate[i] = r.date;
        mem.RecClock[i] = r.clock;
        mem.RecStudent[i] = r.student;
        mem.RecLevel[i] = r.level;
        mem.RecTime[i] = r.time;
        int32_t &best = mem.PersonalBest(level, student);
        if (r.time < best)
            best = r.time;
        if (r.date < 0 || student == 0 || level < 1)
            --i;
    }
    // The record buffer holds the last record read, as after a read through it.
    if (count > 0)
        state.ResultRecBuffer = ResultRecord::decode(range.bytes.constData() + (count - 1) * kRecordSize);
    mem.RecordCount = i;

    for (int L = 1; L <= kMaxLevel; ++L) {
        int32_t best = kTimedOut;
        const int32_t *row = mem.PersonalBest.row(L);
        for (int s = 1; s <= 1000; ++s)
            best = std::min(best, row[s]);
        mem.LevelBest[L] = best;
    }
    return report;
}

int32_t shortTimeOfNegative(int32_t t)
{
    return static_cast<int32_t>(leadingNumber(QString::number(t).left(3)));
}

ReadReport TallyResults(SharedState &state, const Clock &clock, const ResultsFile &file)
{
    Tallies &t = state.tallies;
    t.clear();

    ReadReport report = ReadResults(state, file);
    if (!report.ok())
        return report;

    const CriteriaTable &c = state.criteria;
    const double today = dayNumber(clock.today());
    std::array<double, kLevelSlots> passFrom{}, overFrom{};
    for (int L = 1; L <= kMaxLevel; ++L) {
        passFrom[L] = today - c.CritPassDays[L].toNumber();
        overFrom[L] = today - c.CritOverDays[L].toNumber();
    }

    const ResultsInMemory &mem = state.results;
    for (int r = 1; r <= mem.RecordCount; ++r) {
        const int L = mem.RecLevel[r];
        if (L < 1 || L > kMaxLevel)
            continue;
        const int s = mem.RecStudent[r];
        const int32_t time = mem.RecTime[r];
        const double date = mem.RecDate[r];
        const bool completed = time < 6000;
        const int32_t st = shortTime(time);
        const int32_t points = ratedPoints(basePoints(time, st, c.CritTargetTime[L]),
                                           c.CritPointRate[L]);
        TallyCell &cell = t.cells(L, s);
        cell.AllRunCount += completed;
        if (date > passFrom[L]) {
            cell.PassRunCount += completed;
            cell.PassPoints += points;
        }
        if (date > overFrom[L]) {
            cell.OverRunCount += completed;
            cell.OverPoints += points;
        }
        cell.AllPoints += points;
        cell.AllTimeSum += st;
        if (date == today) {
            cell.TodayRuns += completed;
            cell.TodayTimeSum += static_cast<float>(st);
            cell.TodayPoints += points;
        }
    }
    return report;
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

QString takeCorruptRecordMessage(SharedState &state, const ReadReport &report)
{
    QStringList lines;
    for (const CorruptRecord &c : report.corrupt) {
        auto &seen = state.reportedCorruptRecords;
        if (std::find(seen.begin(), seen.end(), c.recordNumber) != seen.end())
            continue;
        seen.push_back(c.recordNumber);
        if (lines.size() < 10)
            lines << QStringLiteral("%1番目の記録: 日付=%2 生徒番号=%3 レベル=%4 タイム=%5")
                         .arg(c.recordNumber)
                         .arg(recordDateText(c.record.ResultRecDate))
                         .arg(c.record.ResultRecStudentNo)
                         .arg(c.record.ResultRecLevel)
                         .arg(c.record.ResultRecTime);
    }
    if (lines.isEmpty())
        return {};
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
