#include "hub/PointsRanking.h"

#include "state/SharedState.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tobrel {

namespace {

// Where each student stands in the roster: position[s] is the place 1..n of student s,
// 0 for a student who is not listed. Made again only when the roster's numbers change,
// which a comparison of the kept copy tells.
struct RosterPositions {
    std::vector<int16_t> numbers;             // the roster's numbers at 1..n, as made for
    std::vector<uint16_t> position;           // by student number
    int highestStudent = 0;                   // the highest number listed
    bool usable = false;                      // every number listed once and in range
};

const RosterPositions &rosterPositions(const SharedState &state)
{
    thread_local RosterPositions kept;
    const int n = state.roster.RosterCount;
    const int16_t *const numbers = state.roster.RosterNumbers.data();
    if (static_cast<int>(kept.numbers.size()) == n + 1 &&
        std::equal(kept.numbers.begin() + 1, kept.numbers.end(), numbers + 1))
        return kept;
    kept.numbers.assign(numbers, numbers + n + 1);
    kept.position.assign(kStudentSlots, 0);
    kept.highestStudent = 0;
    kept.usable = n < 65536;
    for (int k = 1; k <= n && kept.usable; ++k) {
        const int s = numbers[k];
        if (s < 1 || s > kMaxStudent || kept.position[static_cast<size_t>(s)] != 0) {
            kept.usable = false;
            break;
        }
        kept.position[static_cast<size_t>(s)] = static_cast<uint16_t>(k);
        kept.highestStudent = std::max(kept.highestStudent, s);
    }
    return kept;
}

// A student sorted apart on both kinds of points, at roster place `place`.
struct SortedApart {
    uint32_t place;
    int32_t value, other;
};

// Work space for ranking points, kept between calls so that a ranking of 5000 students
// does not first fill fresh tables with zeros; `count` is left all zero after each use.
struct PointsWork {
    static constexpr uint32_t kMaxValue = (1 << 15) - 1; // also the mask of a count's place
    std::vector<int32_t> value;
    std::vector<uint32_t> count = std::vector<uint32_t>(kMaxValue + 1);
    std::vector<uint32_t> begin, next, special, nonzero;
    std::vector<SortedApart> sorted;
};

// What reading a level's points by roster place found.
struct PointsRead {
    uint32_t outside = 0; // a listed student has points below none or above kMaxValue
    int32_t highest = 0;  // the highest ordering points of a listed student
    uint32_t specials = 0;
};

// Reads the ordering points of students 1..highestStudent in student order, which runs
// through the level's cells from front to back, into their roster places (place 0 takes
// the unlisted); counts each ordering value, and notes the few places that need sorting
// on both kinds of points: in the order of all points those with points today, in
// today's order those with any today. Its own small loop, so that its figures stay in
// registers.
template <bool Cumulative>
[[gnu::noinline]] PointsRead readPointsByPlace(const TallyCell *const cells, const uint16_t *const position,
                                               const int highestStudent, int32_t *const value,
                                               uint32_t *const count, uint32_t *const special)
{
    constexpr uint32_t kMaxValue = PointsWork::kMaxValue;
    uint32_t outside = 0, specials = 0;
    int32_t highest = 0;
    for (int s = 1; s <= highestStudent; ++s) {
        const uint32_t k = position[s];
        const int32_t x = Cumulative ? cells[s].AllPoints : cells[s].TodayPoints;
        const int32_t y = Cumulative ? cells[s].TodayPoints : cells[s].AllPoints;
        value[k] = x;
        // Unlisted students count nothing and fail nothing.
        const uint32_t listed = k != 0;
        outside |= listed & ((static_cast<uint32_t>(x) > kMaxValue) | (y < 0));
        count[static_cast<uint32_t>(x) & kMaxValue] += listed;
        highest = std::max(highest, static_cast<int32_t>(static_cast<uint32_t>(x) & (0u - listed)));
        if ((Cumulative ? y : x) != 0 && listed) [[unlikely]]
            special[specials++] = k;
    }
    return {outside, highest, specials};
}

// Lays out the students not sorted apart (value[k] not marked below none) in roster
// order: those without any points, about half a big school, fill the last places (from
// `none`) straight away, the others are listed in `nonzero` to go by their value's next
// place. Both are written for every student, the place moving on only for its own kind,
// so no student waits on the one before. Returns the number listed.
[[gnu::noinline]] uint32_t layOutRest(const int32_t *const value, const int16_t *const numbers, const uint32_t n,
                                      RankedStudent *none, const int16_t noneRank, uint32_t *const nonzero)
{
    uint32_t nonzeros = 0;
    for (uint32_t k = 1; k <= n; ++k) {
        const int32_t x = value[k];
        if (x < 0) [[unlikely]]
            continue;
        const bool some = x != 0;
        nonzero[nonzeros] = k;
        nonzeros += some;
        *none = {numbers[k], noneRank};
        none += !some;
    }
    return nonzeros;
}

int16_t rankField(uint32_t rank) { return static_cast<int16_t>(std::min<uint32_t>(rank, 32767)); }

// Places the students listed in `places` in order, each at its value's next place, with
// the rank where its value's places begin.
[[gnu::noinline]] void placeByValue(const uint32_t *const places, const size_t count, const int32_t *const value,
                                    const int16_t *const numbers, const uint32_t *const begin,
                                    uint32_t *const next, RankedStudent *const shown)
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t k = places[i];
        const int32_t x = value[k];
        shown[next[x]++] = {numbers[k], rankField(begin[x] + 1)};
    }
}

} // namespace

// The points ranking of the usual school, where no student has points below none and no
// one more than some tens of thousands, placed without comparing whole lists. Fills
// r.shown for every student (today's order leaves out those with none today) and
// returns true, or returns false for the general way.
bool rankPointsQuickly(const SharedState &state, int level, bool cumulative, Ranking &r)
{
    const RosterPositions &roster = rosterPositions(state);
    const int n = state.roster.RosterCount;
    if (!roster.usable || n == 0)
        return false;
    thread_local PointsWork w;
    const TallyCell *const cells = state.tallies.cells.row(level);
    const int16_t *const numbers = state.roster.RosterNumbers.data();
    w.value.resize(static_cast<size_t>(n) + 1);
    w.special.resize(static_cast<size_t>(roster.highestStudent) + 1);
    int32_t *const value = w.value.data();
    uint32_t *const count = w.count.data();
    uint32_t *const special = w.special.data();
    const PointsRead read =
        cumulative
            ? readPointsByPlace<true>(cells, roster.position.data(), roster.highestStudent, value, count, special)
            : readPointsByPlace<false>(cells, roster.position.data(), roster.highestStudent, value, count, special);
    if (read.outside) {
        std::fill(w.count.begin(), w.count.end(), 0);
        return false;
    }
    const int32_t highest = read.highest;
    // The few sorted apart, on both kinds of points: the higher ordering points first,
    // then the higher other points, then roster order.
    std::vector<SortedApart> &sorted = w.sorted;
    sorted.clear();
    for (size_t i = 0; i < read.specials; ++i) {
        const uint32_t k = special[i];
        const TallyCell &c = cells[numbers[k]];
        sorted.push_back({k, cumulative ? c.AllPoints : c.TodayPoints, cumulative ? c.TodayPoints : c.AllPoints});
    }
    std::sort(sorted.begin(), sorted.end(), [](const SortedApart &a, const SortedApart &b) {
        if (a.value != b.value)
            return a.value > b.value;
        return a.other != b.other ? a.other > b.other : a.place < b.place;
    });

    if (!cumulative) {
        // Today's order: only the few with points today are listed.
        std::fill(count, count + highest + 1, 0);
        r.shown.resize(sorted.size());
        uint32_t rank = 0;
        for (size_t i = 0; i < sorted.size(); ++i) {
            if (i == 0 || sorted[i].value != sorted[i - 1].value)
                rank = static_cast<uint32_t>(i) + 1;
            r.shown[i] = {numbers[sorted[i].place], rankField(rank)};
        }
        return true;
    }

    // Each value's places begin after those of every higher value; its rank is the first.
    w.begin.resize(static_cast<size_t>(highest) + 1);
    w.next.resize(static_cast<size_t>(highest) + 1);
    uint32_t *const begin = w.begin.data();
    uint32_t *const next = w.next.data();
    uint32_t sum = 0;
    for (int32_t x = highest; x >= 0; --x) {
        begin[x] = sum;
        next[x] = sum;
        sum += count[x];
        count[x] = 0;
    }
    r.shown.resize(static_cast<size_t>(n) + 1); // one beyond, written over by the last none
    RankedStudent *const shown = r.shown.data();
    // Those with points today lead their value's places, the more points the sooner; they
    // are marked below none so that the rest in roster order pass them by.
    for (const SortedApart &e : sorted) {
        shown[next[e.value]++] = {numbers[e.place], rankField(begin[e.value] + 1)};
        value[e.place] = -1;
    }
    w.nonzero.resize(static_cast<size_t>(n));
    // Those without points follow any with none but points today.
    const uint32_t nonzeros = layOutRest(value, numbers, static_cast<uint32_t>(n), shown + next[0],
                                         rankField(begin[0] + 1), w.nonzero.data());
    placeByValue(w.nonzero.data(), nonzeros, value, numbers, begin, next, shown);
    r.shown.resize(static_cast<size_t>(n));
    return true;
}

} // namespace tobrel
