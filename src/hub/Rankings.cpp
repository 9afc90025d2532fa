#include "hub/Rankings.h"

#include "state/SharedState.h"
#include "hub/ListFields.h"
#include "hub/PointsRanking.h"
#include "results/Tally.h"
#include "roster/NameList.h"
#include "roster/Roster.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tobrel {

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

// The values of the students at roster positions 1..n (index 0 unused), with their range.
struct PositionValues {
    std::vector<int32_t> at;
    int32_t lo = INT32_MAX;
    int32_t hi = INT32_MIN;
    explicit PositionValues(int n) : at(static_cast<size_t>(n) + 1) {}
    void set(int k, int32_t v)
    {
        at[static_cast<size_t>(k)] = v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    // Values spread over a range not much wider than the roster are sorted by counting.
    bool countable(int n) const { return n == 0 || int64_t(hi) - lo < std::max<int64_t>(4096, 4 * int64_t(n)); }
};

// One stable counting pass: the positions of `in` ordered by their values, the higher
// first or the lower.
std::vector<uint32_t> countingOrder(const PositionValues &v, const std::vector<uint32_t> &in, bool higherFirstOrder)
{
    std::vector<uint32_t> out(in.size());
    if (in.empty())
        return out;
    const size_t span = static_cast<size_t>(int64_t(v.hi) - v.lo + 1);
    // Slots run from the first value in the order: value - lo for the lower first,
    // hi - value (as lo - value past the end of the table) for the higher.
    const int32_t *const value = v.at.data();
    const int64_t base = higherFirstOrder ? v.hi : v.lo;
    const int64_t sign = higherFirstOrder ? -1 : 1;
    std::vector<uint32_t> start(span + 1);
    uint32_t *const count = start.data() + 1;
    for (const uint32_t position : in)
        ++count[static_cast<size_t>(sign * (value[position] - base))];
    uint32_t sum = 0;
    for (size_t i = 0; i < span; ++i) {
        const uint32_t here = start[i + 1];
        start[i] = sum;
        sum += here;
    }
    uint32_t *const next = start.data();
    uint32_t *const o = out.data();
    for (const uint32_t position : in)
        o[next[static_cast<size_t>(sign * (value[position] - base))]++] = position;
    return out;
}

// The positions of `in` ordered by `first`, then by `second` where given; equal values
// keep the order they come in.
std::vector<uint32_t> positionsInOrder(std::vector<uint32_t> order, const PositionValues &first,
                                       const PositionValues *second, bool higherFirstOrder)
{
    const int n = static_cast<int>(order.size());
    if (first.countable(n) && (!second || second->countable(n))) {
        if (second)
            order = countingOrder(*second, order, higherFirstOrder);
        return countingOrder(first, order, higherFirstOrder);
    }
    std::vector<RankItem> items(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const uint32_t position = order[i];
        auto key = [&](const PositionValues &v) {
            const int32_t x = v.at[position];
            return higherFirstOrder ? higherFirst(x) : lowerFirst(x);
        };
        items[i] = {key(first) << 32 | (second ? key(*second) : 0), position};
    }
    sortRankItems(items);
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = items[i].position;
    return order;
}

} // namespace

Ranking rankStudents(const SharedState &state, KeptRankings &kept, int level, int listMode, int pointsOrder,
                     const QString &filter)
{
    Ranking r;
    r.level = level;
    r.listMode = listMode == 0 ? static_cast<int>(TimeDisplay) : listMode;
    r.pointsOrder = pointsOrder == 0 ? static_cast<int>(CumulativeOrder) : pointsOrder;
    const int n = state.roster.RosterCount;
    const int16_t *const numbers = state.roster.RosterNumbers.data();
    const bool byTime = r.listMode == TimeDisplay;
    const bool cumulative = r.pointsOrder == CumulativeOrder;

    // Times: the best time, fastest first. Points: the ordering points (all so far, or
    // today's), most first, then the other points, most first. Equal values keep the
    // roster order. The rank is judged on the best time or the ordering points alone.
    const GradeFilter passes(filter);
    const bool everyGrade = passes.matchesEveryGrade();
    if (!byTime && kept.rankPointsQuickly(state, r.level, cumulative, r)) {
        if (!everyGrade)
            std::erase_if(r.shown, [&](const RankedStudent &e) {
                return !passes.matches(gradeIndexOfStudent(state, e.student));
            });
        return r;
    }

    PositionValues value(n);
    std::vector<uint32_t> order;
    if (byTime) {
        order.resize(static_cast<size_t>(n));
        for (int k = 1; k <= n; ++k) {
            value.set(k, state.results.PersonalBest(level, numbers[k]));
            order[static_cast<size_t>(k - 1)] = static_cast<uint32_t>(k);
        }
        order = positionsInOrder(std::move(order), value, nullptr, false);
    } else {
        // Most students of a big school have no points at a level, and of those who have,
        // most have none of the other kind: with no one below none, the students without
        // any points come last in roster order, and those without other points follow
        // those with some, so only the few with other points are sorted on them before
        // the one counting pass on the ordering points.
        const TallyCell *const cells = state.tallies.cells.row(level);
        PositionValues other(n);
        std::vector<uint32_t> withOther(static_cast<size_t>(n)), withoutOther(static_cast<size_t>(n)),
            without(static_cast<size_t>(n));
        size_t withOtherCount = 0, withoutOtherCount = 0, withoutCount = 0;
        auto gather = [&](auto ordering, auto otherPoints) {
            int32_t *const p = value.at.data();
            int32_t *const q = other.at.data();
            uint32_t *const wq = withOther.data();
            uint32_t *const nq = withoutOther.data();
            uint32_t *const wo = without.data();
            int32_t plo = INT32_MAX, phi = INT32_MIN, qlo = INT32_MAX, qhi = INT32_MIN;
            for (int k = 1; k <= n; ++k) {
                const TallyCell &c = cells[numbers[k]];
                const int32_t x = c.*ordering, y = c.*otherPoints;
                p[k] = x;
                q[k] = y;
                plo = std::min(plo, x);
                phi = std::max(phi, x);
                qlo = std::min(qlo, y);
                qhi = std::max(qhi, y);
                const bool none = (x | y) == 0;
                const bool noOther = y == 0 && !none;
                wq[withOtherCount] = static_cast<uint32_t>(k);
                nq[withoutOtherCount] = static_cast<uint32_t>(k);
                wo[withoutCount] = static_cast<uint32_t>(k);
                withOtherCount += y != 0;
                withoutOtherCount += noOther;
                withoutCount += none;
            }
            value.lo = plo;
            value.hi = phi;
            other.lo = qlo;
            other.hi = qhi;
        };
        if (cumulative)
            gather(&TallyCell::AllPoints, &TallyCell::TodayPoints);
        else
            gather(&TallyCell::TodayPoints, &TallyCell::AllPoints);
        if (value.lo < 0 || other.lo < 0) {
            // Points below none: every student in one sort on both kinds of points.
            order.resize(static_cast<size_t>(n));
            for (int k = 1; k <= n; ++k)
                order[static_cast<size_t>(k - 1)] = static_cast<uint32_t>(k);
            order = positionsInOrder(std::move(order), value, &other, true);
        } else {
            withOther.resize(withOtherCount);
            withoutOther.resize(withoutOtherCount);
            without.resize(withoutCount);
            order = positionsInOrder(std::move(withOther), other, nullptr, true);
            order.insert(order.end(), withoutOther.begin(), withoutOther.end());
            order = positionsInOrder(std::move(order), value, nullptr, true);
            order.insert(order.end(), without.begin(), without.end());
        }
    }

    r.shown.reserve(static_cast<size_t>(n));
    int rank = 0;
    int32_t previous = 0;
    for (int k = 1; k <= n; ++k) {
        const uint32_t position = order[static_cast<size_t>(k - 1)];
        const int32_t v = value.at[position];
        if (k == 1 || v != previous)
            rank = k;
        previous = v;
        const int s = numbers[position];
        if (!everyGrade && !passes.matches(gradeIndexOfStudent(state, s)))
            continue;
        if (!byTime && !cumulative && v == 0)
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

QStringList rankingLines(const SharedState &state, KeptRankings &kept, int level, int listMode, int pointsOrder,
                         const QString &filter)
{
    const Ranking r = rankStudents(state, kept, level, listMode, pointsOrder, filter);
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(r.shown.size()));
    for (const RankedStudent &e : r.shown)
        lines << rankingLine(state, r, e);
    return lines;
}

} // namespace tobrel
