#include "hub/SheetRankings.h"

#include "hub/ListFields.h"
#include "state/SharedState.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

namespace tobrel {

QString sheetRankingLine(const SharedState &state, const Ranking &ranking, const RankedStudent &entry)
{
    const int s = entry.student;
    const int level = ranking.level;
    const bool own = s == state.student.CurrentStudent;
    const QString mark1 = own ? ownMark() : gradeMark(gradeIndexOfStudent(state, s));
    const QString name = rankingNameField(state.roster.StudentNames[s]);
    const QString rank = alignRight(Str(int(entry.rank)), 3);
    if (ranking.listMode == TimeDisplay) {
        const QString mark2 = own ? ownMark() : QString(QChar(0x3000));
        const int32_t best = state.results.PersonalBest(level, s);
        if (best == 99998)
            return rank + mark1 + name + QStringLiteral("*失敗*") + u' ' + mark2;
        if (best == kTimedOut)
            return QStringLiteral("---") + mark1 + name + QStringLiteral("------") + u' ' + mark2;
        return rank + mark1 + name + rankingTimeField(best) + u' ' + mark2;
    }
    return rank + mark1 + name + todayPointsField(state.tallies.TodayPoints(level, s)) + u'/' +
           totalPointsField(state.tallies.AllPoints(level, s));
}

namespace {

const RankedStudent *entryOf(const Ranking &ranking, int student)
{
    for (const RankedStudent &e : ranking.shown)
        if (e.student == student)
            return &e;
    return nullptr;
}

} // namespace

SheetRankFigures sheetFigures(const SharedState &state, KeptRankings &kept, int level, int student, int pointsOrder,
                              const QString &gradeFilter, QStringList *timeLines, QStringList *pointsLines)
{
    SheetRankFigures f;
    if (level < 1 || level > kMaxLevel)
        return f;
    const int order = pointsOrder == 0 ? static_cast<int>(CumulativeOrder) : pointsOrder;

    const Ranking points = rankStudents(state, kept, level, PointsDisplay, order, gradeFilter);
    for (const RankedStudent &e : points.shown) {
        const int64_t total = state.tallies.AllPoints(level, e.student);
        if (total > 0) {
            ++f.SchoolPointsCount;
            f.SchoolPointsSum += total;
        }
    }
    if (const RankedStudent *e = entryOf(points, student)) {
        f.PointsRank = QString::number(e->rank);
        f.PointsEarned = state.tallies.AllPoints(level, student);
    }

    const Ranking time = rankStudents(state, kept, level, TimeDisplay, order, gradeFilter);
    if (const RankedStudent *e = entryOf(time, student))
        f.TimeRank =
            state.results.PersonalBest(level, student) == kTimedOut ? QStringLiteral("---") : QString::number(e->rank);

    // The work lists, when someone wants to read them.
    const auto linesOf = [&](const Ranking &r, QStringList *lines) {
        if (!lines)
            return;
        lines->clear();
        for (const RankedStudent &e : r.shown)
            *lines << sheetRankingLine(state, r, e);
    };
    linesOf(time, timeLines);
    linesOf(points, pointsLines);
    return f;
}

} // namespace tobrel
