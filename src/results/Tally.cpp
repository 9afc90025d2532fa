#include "results/Tally.h"

#include "app/SharedState.h"
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
    buf.ResultRecClock = dayFraction(clock.timeOfDay());
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
    if (!file.readTail(kMaxRecordsInMemory, &range, &error)) {
        report.fatalError = error;
        mem.RecordCount = 0;
        return report;
    }

    const char *p = range.bytes.constData();
    const int64_t count = range.bytes.size() / kRecordSize;
    int i = 0;
    for (int64_t k = 0; k < count; ++k, p += kRecordSize) {
        const ResultRecord r = ResultRecord::decode(p);
        const int level = r.ResultRecLevel;
        const int student = r.ResultRecStudentNo;
        if (!validLevelIndex(level) || !validStudentIndex(student)) {
            report.corrupt.push_back({range.first + k, r});
            continue;
        }
        ++i;
        mem.RecDate[i] = r.ResultRecDate;
        mem.RecClock[i] = r.ResultRecClock;
        mem.RecStudent[i] = r.ResultRecStudentNo;
        mem.RecLevel[i] = r.ResultRecLevel;
        mem.RecTime[i] = r.ResultRecTime;
        int32_t &best = mem.PersonalBest(level, student);
        if (r.ResultRecTime < best)
            best = r.ResultRecTime;
        if (r.ResultRecDate < 0 || student == 0 || level < 1)
            --i;
        if (k == count - 1)
            state.ResultRecBuffer = r;
    }
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

int32_t shortTime(int32_t t)
{
    if (t >= 0 && t < 1000)
        return t;
    return static_cast<int32_t>(leadingNumber(QString::number(t).left(3)));
}

int32_t basePoints(int32_t t, int32_t tFormula, int32_t T)
{
    if (t > 99997 || T <= 0)
        return 0;
    if (t <= T) {
        const double f = static_cast<double>(T - tFormula) / T;
        return static_cast<int32_t>(std::floor(50.0 * f * f * f + 5.0));
    }
    if (t < 2 * static_cast<int64_t>(T))
        return 4;
    if (t < 10 * static_cast<int64_t>(T))
        return 1;
    return 0;
}

int32_t ratedPoints(int32_t base, float rate)
{
    const float product = rate * static_cast<float>(base);
    return static_cast<int32_t>(std::floor(product));
}

ReadReport TallyResults(SharedState &state, const Clock &clock, const ResultsFile &file)
{
    Tallies &t = state.tallies;
    t.AllRunCount.fill(0);
    t.AllPoints.fill(0);
    t.AllTimeSum.fill(0);
    t.PassRunCount.fill(0);
    t.PassPoints.fill(0);
    t.OverRunCount.fill(0);
    t.OverPoints.fill(0);
    t.TodayRunCount.fill(0);
    t.TodayPoints.fill(0);
    t.TodayTimeSum.fill(0);

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
        if (completed)
            ++t.AllRunCount(L, s);
        if (date > passFrom[L]) {
            if (completed)
                ++t.PassRunCount(L, s);
            t.PassPoints(L, s) += points;
        }
        if (date > overFrom[L]) {
            if (completed)
                ++t.OverRunCount(L, s);
            t.OverPoints(L, s) += points;
        }
        t.AllPoints(L, s) += points;
        t.AllTimeSum(L, s) += st;
        if (date == today) {
            if (completed)
                t.TodayRunCount(L, s) += 1;
            t.TodayTimeSum(L, s) += static_cast<float>(st);
            t.TodayPoints(L, s) += points;
        }
    }
    return report;
}

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
                         .arg(CStr(c.record.ResultRecDate))
                         .arg(c.record.ResultRecStudentNo)
                         .arg(c.record.ResultRecLevel)
                         .arg(c.record.ResultRecTime);
    }
    if (lines.isEmpty())
        return {};
    return QStringLiteral("成績ファイル %1 に壊れた記録があります。この記録は集計に使いません。\n"
                          "先生の「データ変更」で直すか削除してください。\n\n")
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
