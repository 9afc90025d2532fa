#include "hub/HubViews.h"

#include "state/SharedState.h"
#include "criteria/CriteriaTable.h"
#include "hub/ListFields.h"
#include "results/Tally.h"
#include "roster/NameList.h"
#include "roster/Roster.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tobrel {

int columnWidthTwips(int levelCount)
{
    if (levelCount <= 0)
        return 14592;
    return levelCount <= 4 ? 14592 / levelCount : 3456;
}

QString startButtonCaption(int level)
{
    return QStringLiteral("ｽﾀｰﾄ") + QStringLiteral("(&") + QString::number(level) + u')';
}

QString criteriaLine(const SharedState &state, int i)
{
    const CriteriaTable &c = state.criteria;
    const QString head = QStringLiteral("目標=") + CStr(c.CritTargetTime[i]) + QStringLiteral("秒");
    if (c.CritClearPoints[i] == 9999)
        return head + QStringLiteral(" --------");
    return head + u' ' + CStr(int(c.CritClearCount[i])) + QStringLiteral("回/") + CStr(c.CritClearPoints[i]) +
           QStringLiteral("点(×") + CStr(c.CritPointRate[i]) + u')';
}

QString passWindowLine(const SharedState &state, int i, int s)
{
    return QStringLiteral("最近") + state.criteria.CritPassDays[i].toText() + QStringLiteral("日=") +
           QString::number(state.tallies.PassRunCount(i, s)) + QStringLiteral("回 / ") +
           QString::number(state.tallies.PassPoints(i, s)) + QStringLiteral("点");
}

QString todayValue(const SharedState &state, int i, int s)
{
    const float runs = state.tallies.TodayRunCount(i, s);
    if (runs == 0)
        return QStringLiteral("-----");
    return CStr(runs) + QStringLiteral("回/") + QString::number(state.tallies.TodayPoints(i, s)) +
           QStringLiteral("点");
}

QString soFarValue(const SharedState &state, int i, int s)
{
    const int runs = state.tallies.AllRunCount(i, s);
    if (runs == 0)
        return QStringLiteral("------");
    return QString::number(runs) + QStringLiteral("回/") + QString::number(state.tallies.AllPoints(i, s)) +
           QStringLiteral("点");
}

bool isTeacher(const QString &name)
{
    return name.contains(u'★') || name.contains(QStringLiteral("先生"));
}

bool levelCanStart(const SharedState &state, int level)
{
    return level >= 1 && level <= kMaxLevel && state.criteria.CritPassTime[level] > 0;
}

QString noCriteriaMessage(const SharedState &state, int level)
{
    return QStringLiteral("レベル%1は始められません。\n"
                          "合格ラインのタイムが決まっていません。\n"
                          "基準のファイル: %2\n\n"
                          "先生を呼びなさい。")
        .arg(level)
        .arg(state.config.DataFolder + criteriaFileName());
}

Availability availabilityPass(const SharedState &state)
{
    Availability a;
    const int n = state.profile.LevelCount;
    const int s = state.student.CurrentStudent;
    const int last = static_cast<int>(state.profile.LastLevel.toNumber());
    a.freeStatus = (last >= 1 && last <= kMaxLevel && LevelCleared(state, last, s)) ? 1 : 0;
    a.enabled.assign(n + 1, false);
    a.barred.assign(n + 1, false);
    a.noCriteria.assign(n + 1, false);
    if (n >= 1)
        a.enabled[1] = true;
    for (int i = 1; i <= n; ++i) {
        if (i < n) {
            // Every level counts as unlocked in this program.
            a.enabled[i + 1] = true;
            a.barred[i + 1] = false;
        }
        if (i < n && a.freeStatus == 0 && LevelBarred(state, i, s)) {
            a.enabled[i] = false;
            a.barred[i] = true;
        } else {
            a.barred[i] = false;
        }
    }
    for (int i = 1; i <= n; ++i) {
        if (!levelCanStart(state, i)) {
            a.enabled[i] = false;
            a.barred[i] = false;
            a.noCriteria[i] = true;
        }
    }
    return a;
}

namespace {

// A student's place in a ranking: the sort key (lower first) and the roster position.
struct RankItem {
    uint64_t key;
    uint32_t position;
};

// A stable radix sort on the 64-bit key, 11 bits a pass, skipping passes where every
// key has the same digit. Positions come in ascending, so equal keys stay in roster
// order.
void sortRankItems(std::vector<RankItem> &items)
{
    std::vector<RankItem> work(items.size());
    for (int shift = 0; shift < 64; shift += 11) {
        std::array<uint32_t, 2048> count{};
        for (const RankItem &v : items)
            ++count[(v.key >> shift) & 2047];
        if (!items.empty() && count[(items[0].key >> shift) & 2047] == items.size())
            continue;
        uint32_t sum = 0;
        for (uint32_t &c : count) {
            const uint32_t here = c;
            c = sum;
            sum += here;
        }
        for (const RankItem &v : items)
            work[count[(v.key >> shift) & 2047]++] = v;
        items.swap(work);
    }
}

// A 32-bit value as 32 bits of a key that sort the lower values first, or the higher.
uint64_t lowerFirst(int64_t value)
{
    return static_cast<uint64_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX) - int64_t(INT32_MIN));
}
uint64_t higherFirst(int64_t value) { return 0xFFFFFFFFu - lowerFirst(value); }

} // namespace

Ranking rankStudents(const SharedState &state, int level, int listMode, int pointsOrder,
                     const QString &filter)
{
    Ranking r;
    r.level = level;
    r.listMode = listMode == 0 ? static_cast<int>(TimeDisplay) : listMode;
    r.pointsOrder = pointsOrder == 0 ? static_cast<int>(CumulativeOrder) : pointsOrder;
    const int n = state.roster.RosterCount;
    const Tallies &t = state.tallies;
    const bool byTime = r.listMode == TimeDisplay;
    const bool cumulative = r.pointsOrder == CumulativeOrder;

    // Times: the best time, fastest first. Points: the ordering points (all so far, or
    // today's), most first, then the other points, most first. Equal keys keep the
    // roster order. The rank is judged on the best time or the ordering points alone.
    std::vector<RankItem> order(static_cast<size_t>(n));
    std::vector<int64_t> tie(static_cast<size_t>(n) + 1);
    for (int k = 1; k <= n; ++k) {
        const int s = state.roster.RosterNumbers[k];
        uint64_t key;
        if (byTime) {
            const int64_t best = state.results.PersonalBest(level, s);
            key = lowerFirst(best);
            tie[k] = best;
        } else {
            const TallyCell &cell = t.cells(level, s);
            const int64_t p = cumulative ? cell.AllPoints : cell.TodayPoints;
            const int64_t q = cumulative ? cell.TodayPoints : cell.AllPoints;
            key = (higherFirst(p) << 32) | higherFirst(q);
            tie[k] = p;
        }
        order[static_cast<size_t>(k - 1)] = {key, static_cast<uint32_t>(k)};
    }
    sortRankItems(order);

    const GradeFilter passes(filter);
    r.shown.reserve(static_cast<size_t>(n));
    int rank = 0;
    int64_t previous = 0;
    for (int k = 1; k <= n; ++k) {
        const int position = static_cast<int>(order[static_cast<size_t>(k - 1)].position);
        const int64_t value = tie[position];
        if (k == 1 || value != previous)
            rank = k;
        previous = value;
        const int s = state.roster.RosterNumbers[position];
        if (!passes.matches(gradeIndexOfStudent(state, s)))
            continue;
        if (!byTime && !cumulative && value == 0)
            continue;
        r.shown.push_back({static_cast<int16_t>(s), static_cast<int16_t>(std::min(rank, 32767))});
    }
    return r;
}

int rowOfStudent(const Ranking &ranking, int student)
{
    for (size_t row = 0; row < ranking.shown.size(); ++row)
        if (ranking.shown[row].student == student)
            return static_cast<int>(row);
    return -1;
}

QString rankingLine(const SharedState &state, const Ranking &ranking, const RankedStudent &entry)
{
    const int s = entry.student;
    const int level = ranking.level;
    const bool own = s == state.student.CurrentStudent;
    const int g = gradeIndexOfStudent(state, s);
    const QString mark1 = own ? ownMark() : gradeMark(g);
    const QString name = rankingNameField(state.roster.StudentNames[s]);
    if (ranking.listMode == TimeDisplay) {
        const QString mark2 = own ? ownMark() : QString(QChar(0x3000));
        const int32_t best = state.results.PersonalBest(level, s);
        if (best == 99998)
            return rankField(entry.rank) + mark1 + name + QStringLiteral("*失敗*") + u' ' + mark2;
        if (best == 99999)
            return QStringLiteral("--") + mark1 + name + QStringLiteral("------") + u' ' + mark2;
        return rankField(entry.rank) + mark1 + name + rankingTimeField(best) + u' ' + mark2;
    }
    const Tallies &t = state.tallies;
    return rankField(entry.rank) + mark1 + name + todayPointsField(t.TodayPoints(level, s)) + u'/' +
           totalPointsField(t.AllPoints(level, s));
}

QStringList rankingLines(const SharedState &state, int level, int listMode, int pointsOrder,
                         const QString &filter)
{
    const Ranking r = rankStudents(state, level, listMode, pointsOrder, filter);
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(r.shown.size()));
    for (const RankedStudent &e : r.shown)
        lines << rankingLine(state, r, e);
    return lines;
}

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

// Reads the tail of the file and hands every whole record to visit, with progress.
bool forEachRecord(const ResultsFile &file, int64_t maxRecords, QString *error,
                   const ViewProgress &progress,
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
        if (!isDamagedRecord(r))
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

bool todayLines(const SharedState &state, const Clock &clock, const ResultsFile &file,
                const QString &filter, LevelLists &lists, QString *error, const ViewProgress &progress)
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

bool periodLines(const SharedState &state, const Clock &clock, const ResultsFile &file,
                 const QString &filter, int resultListDays, int listMode, LevelLists &lists,
                 QString *error, const ViewProgress &progress)
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

bool personalTimesLines(const SharedState &state, const Clock &clock, const ResultsFile &file,
                        const QString &filter, LevelLists &lists, QString *error, const ViewProgress &progress)
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

QStringList LoadSheetStudents(SharedState &state)
{
    QStringList list;
    RosterTables &t = state.roster;
    ReadRosterFile(state.config.DataRoot + rosterFileName(), [&](const RosterEntry &e) {
        const int s = e.record.StudentNumber;
        t.StudentNames[s] = trimBlanks(e.record.Name);
        t.StudentBirthYears[s] = e.record.BirthYear;
        if (const auto label = FullWidthGradeLabel(GradeIndexOf(t.SchoolYear, e.record.BirthYear)))
            t.StudentGradeLabels[s] = *label;
        if (e.status == 0)
            list << t.StudentGradeLabels[s] + QStringLiteral(" /  ") + t.StudentNames[s] + u'/' +
                        QString::number(s);
    });
    sortJapanese(list);
    return list;
}

} // namespace tobrel
