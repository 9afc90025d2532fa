#include "hub/PointsRanking.h"

#include "state/SharedState.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tobrel {

namespace {

// Leaves the new elements of a buffer unset where a plain default would zero them: for the
// rankings' buffers, which are written whole before they are read, so a big school's first
// ranking does not fill them with zeros first.
template <class T>
struct UnsetAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <class U>
    UnsetAllocator(const UnsetAllocator<U> &) noexcept
    {}
    template <class U>
    void construct(U *at) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void *>(at)) U;
    }
    template <class U, class... Args>
    void construct(U *at, Args &&...args)
    {
        ::new (static_cast<void *>(at)) U(std::forward<Args>(args)...);
    }
};
template <class T>
using Buffer = std::vector<T, UnsetAllocator<T>>;

// Where each student stands in the roster: position[s] is the place 1..n of student s,
// 0 for a student who is not listed. Made again only when the roster's numbers change,
// which a comparison of the kept copy tells.
struct RosterPositions {
    std::vector<int16_t> numbers; // the roster's numbers at 1..n, as made for
    std::vector<uint16_t> position; // by student number
    int highestStudent = 0; // the highest number listed
    bool usable = false; // every number listed once and in range
    uint64_t made = 0; // counts the makings, to tell one from another
};

const RosterPositions &rosterPositions(RosterPositions &kept, const SharedState &state)
{
    const int n = state.roster.RosterCount;
    const int16_t *const numbers = state.roster.RosterNumbers.data();
    if (static_cast<int>(kept.numbers.size()) == n + 1 &&
        std::equal(kept.numbers.begin() + 1, kept.numbers.end(), numbers + 1))
        return kept;
    kept.numbers.assign(numbers, numbers + n + 1);
    ++kept.made;
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

// The highest points placed by counting; all above, and any below none, go the general way.
constexpr uint32_t kMaxPointsValue = (1 << 15) - 1;

int16_t rankField(uint32_t rank) { return static_cast<int16_t>(std::min<uint32_t>(rank, 32767)); }

// A level's ranking as last made, with the points it was made from, so that a level
// whose points have not changed since (most of them, each time the hub comes back after
// a run) is not ranked again.
struct KeptRanking {
    uint64_t rosterMade = 0; // the roster places it was made with; 0 for none made
    Buffer<uint64_t> points; // [s]: all points, then today's, as they lie in memory
    Buffer<RankedStudent> shown;
};

// A student's two kinds of points as kept: all points, then today's.
uint64_t packedPoints(const TallyCell &c)
{
    return static_cast<uint32_t>(c.AllPoints) | static_cast<uint64_t>(static_cast<uint32_t>(c.TodayPoints)) << 32;
}
int32_t allPointsOf(uint64_t packed) { return static_cast<int32_t>(static_cast<uint32_t>(packed)); }
int32_t todayPointsOf(uint64_t packed) { return static_cast<int32_t>(static_cast<uint32_t>(packed >> 32)); }

#ifdef __SSE2__
// The packed points of two students side by side, from their cells in one shuffle.
__m128i pointsOfTwo(const TallyCell *const cells)
{
    static_assert(offsetof(TallyCell, AllPoints) == 0 && offsetof(TallyCell, TodayPoints) == 12);
    const __m128 a = _mm_load_ps(reinterpret_cast<const float *>(cells));
    const __m128 b = _mm_load_ps(reinterpret_cast<const float *>(cells + 1));
    return _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 0, 3, 0)));
}
#endif

// Up to this many students whose points changed are moved in the kept ranking; more, and
// the level is ranked afresh.
constexpr size_t kFewChanged = 16;

// Lists in `changed` the students 1..highest whose points at a level differ from those
// kept, stopping after kFewChanged + 1; returns how many it listed. Two students at a time
// where the processor allows.
size_t findChangedStudents(const TallyCell *const cells, const uint64_t *const kept, const int highest,
                           int *const changed)
{
    size_t found = 0;
    int s = 1;
#ifdef __SSE2__
    for (; s + 1 <= highest; s += 2) {
        const __m128i same =
            _mm_cmpeq_epi32(pointsOfTwo(cells + s), _mm_loadu_si128(reinterpret_cast<const __m128i *>(kept + s)));
        if (_mm_movemask_epi8(same) != 0xFFFF) [[unlikely]] {
            for (int t = s; t <= s + 1; ++t)
                if (packedPoints(cells[t]) != kept[t]) {
                    changed[found++] = t;
                    if (found > kFewChanged)
                        return found;
                }
        }
    }
#endif
    for (; s <= highest; ++s)
        if (packedPoints(cells[s]) != kept[s]) {
            changed[found++] = s;
            if (found > kFewChanged)
                return found;
        }
    return found;
}

// Keeps the points of students 0..highest at a level.
void keepAllPoints(const TallyCell *const cells, uint64_t *const kept, const int highest)
{
    int s = 0;
#ifdef __SSE2__
    for (; s + 1 <= highest; s += 2)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(kept + s), pointsOfTwo(cells + s));
#endif
    for (; s <= highest; ++s)
        kept[s] = packedPoints(cells[s]);
}

// Gives `count` lines from `line` on the rank `rank`, four at a time where the processor
// allows (a value such as no points may have thousands of lines).
void setRanks(RankedStudent *line, size_t count, const int16_t rank)
{
    static_assert(sizeof(RankedStudent) == 4 && offsetof(RankedStudent, rank) == 2);
#ifdef __SSE2__
    const __m128i students = _mm_set1_epi32(0xFFFF);
    const __m128i ranks =
        _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(rank)) << 16));
    for (; count >= 4; count -= 4, line += 4) {
        __m128i *const at = reinterpret_cast<__m128i *>(line);
        _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(at), students), ranks));
    }
#endif
    for (; count > 0; --count, ++line)
        line->rank = rank;
}

// Moves the students listed in `changed` to where their new points put them in the kept
// ranking of a level, one at a time, and gives the lines whose rank may have changed
// their rank again. At each step the ranking is the one of the kept points, which change
// one student at a time. False where the kept ranking turns out not to be the kept
// points' own, or a student's new points need the general way: then it must be made
// afresh.
bool moveChangedStudents(KeptRanking &kept, const TallyCell *const cells, const uint16_t *const position,
                         const bool cumulative, const int *const changed, const size_t changedCount)
{
    const uint64_t *const points = kept.points.data();
    // A student's place in the order: the ordering points, most first; the other points,
    // most first; the roster place.
    struct Key {
        int32_t value, other;
        uint32_t place;
    };
    auto keyOf = [&](int student, uint64_t packed) {
        const int32_t all = allPointsOf(packed), today = todayPointsOf(packed);
        return Key{cumulative ? all : today, cumulative ? today : all, position[student]};
    };
    auto before = [](const Key &a, const Key &b) {
        if (a.value != b.value)
            return a.value > b.value;
        return a.other != b.other ? a.other > b.other : a.place < b.place;
    };
    // Today's order lists only those with points today.
    auto listed = [&](const Key &k) { return cumulative || k.value != 0; };
    auto rowFor = [&](const Key &k) {
        const auto at = std::partition_point(kept.shown.begin(), kept.shown.end(), [&](const RankedStudent &e) {
            return before(keyOf(e.student, points[e.student]), k);
        });
        return static_cast<size_t>(at - kept.shown.begin());
    };
    auto valueAt = [&](size_t row) {
        const int student = kept.shown[row].student;
        return keyOf(student, points[student]).value;
    };
    Buffer<RankedStudent> &shown = kept.shown;
    for (size_t i = 0; i < changedCount; ++i) {
        const int s = changed[i];
        const uint64_t now = packedPoints(cells[s]);
        const Key was = keyOf(s, points[s]), is = keyOf(s, now);
        if (static_cast<uint32_t>(is.value) > kMaxPointsValue || is.other < 0)
            return false;
        if (position[s] == 0) { // not listed: in no ranking
            kept.points[static_cast<size_t>(s)] = now;
            continue;
        }
        // The student's row as the kept points have it, and the row before which the new
        // points put them, both counted in the ranking as it stands.
        const size_t rowWas = listed(was) ? rowFor(was) : shown.size();
        if (listed(was) && (rowWas == shown.size() || shown[rowWas].student != s))
            return false;
        const size_t rowIs = listed(is) ? rowFor(is) : shown.size();
        kept.points[static_cast<size_t>(s)] = now;
        // The rows moved over, in the new ranking; when it grew or shrank, every later row.
        size_t from, to;
        const auto at = [&](size_t row) { return shown.begin() + static_cast<std::ptrdiff_t>(row); };
        if (listed(was) && listed(is)) {
            const RankedStudent moved = shown[rowWas];
            if (rowIs > rowWas) { // down: those between move up a row
                std::copy(at(rowWas + 1), at(rowIs), at(rowWas));
                shown[rowIs - 1] = moved;
                from = rowWas, to = rowIs - 1;
            } else { // up: those between move down a row
                std::copy_backward(at(rowIs), at(rowWas), at(rowWas + 1));
                shown[rowIs] = moved;
                from = rowIs, to = rowWas;
            }
        } else if (listed(was)) {
            shown.erase(at(rowWas));
            from = rowWas, to = shown.size();
        } else if (listed(is)) {
            shown.insert(at(rowIs), RankedStudent{static_cast<int16_t>(s), 0});
            from = rowIs, to = shown.size();
        } else {
            continue;
        }
        const size_t count = shown.size();
        if (from >= count)
            continue;
        // The value just after the rows moved over may have begun with the student who
        // left it, so it begins a row later now.
        to = std::min(to + 1, count - 1);
        // Each value's rows take the rank of its first row: from the first row of the value
        // at `from` to the last row of the value at `to`, a value at a time. The rows of a
        // value are found by halving, as a value such as no points may have thousands.
        auto rowsAbove = [&](size_t lo, size_t hi, auto above) {
            while (lo < hi) {
                const size_t mid = lo + (hi - lo) / 2;
                if (above(valueAt(mid)))
                    lo = mid + 1;
                else
                    hi = mid;
            }
            return lo;
        };
        const int32_t first = valueAt(from);
        size_t row = rowsAbove(0, from, [&](int32_t v) { return v > first; });
        while (row <= to) {
            const int32_t v = valueAt(row);
            // Striding on in ever longer steps first, so a value of few rows costs a few looks.
            size_t known = row, probe = row + 1;
            for (size_t step = 1; probe < count && valueAt(probe) == v; step *= 2) {
                known = probe;
                probe = known + step;
            }
            const size_t end = rowsAbove(known + 1, std::min(probe, count), [&](int32_t w) { return w >= v; });
            setRanks(shown.data() + row, end - row, rankField(static_cast<uint32_t>(row) + 1));
            row = end;
        }
    }
    return true;
}

// A student sorted apart on both kinds of points, at roster place `place`.
struct SortedApart {
    uint32_t place;
    int32_t value, other;
};

// Work space for ranking points, kept between calls so that a ranking of 5000 students
// does not first fill fresh tables with zeros; `count` is left all zero after each use.
struct PointsWork {
    static constexpr uint32_t kMaxValue = kMaxPointsValue; // also the mask of a count's place
    Buffer<int32_t> value;
    std::vector<uint32_t> count = std::vector<uint32_t>(kMaxValue + 1); // all zero between uses
    Buffer<uint32_t> begin, next, special, nonzero;
    std::vector<SortedApart> sorted;
};

// What reading a level's points by roster place found.
struct PointsRead {
    uint32_t outside = 0; // a listed student has points below none or above kMaxValue
    int32_t highest = 0; // the highest ordering points of a listed student
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
                                               const int highestStudent, int32_t *const value, uint32_t *const count,
                                               uint32_t *const special)
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

// Places the students listed in `places` in order, each at its value's next place, with
// the rank where its value's places begin.
[[gnu::noinline]] void placeByValue(const uint32_t *const places, const size_t count, const int32_t *const value,
                                    const int16_t *const numbers, const uint32_t *const begin, uint32_t *const next,
                                    RankedStudent *const shown)
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t k = places[i];
        const int32_t x = value[k];
        shown[next[x]++] = {numbers[k], rankField(begin[x] + 1)};
    }
}

// Ranks a level's points from its cells into `ranked`, as rankPointsQuickly tells; false
// where they need the general way.
bool rankPointsAfresh(const SharedState &state, const RosterPositions &roster, const TallyCell *const cells,
                      const bool cumulative, PointsWork &w, Buffer<RankedStudent> &ranked)
{
    const int n = state.roster.RosterCount;
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
        ranked.resize(sorted.size());
        uint32_t rank = 0;
        for (size_t i = 0; i < sorted.size(); ++i) {
            if (i == 0 || sorted[i].value != sorted[i - 1].value)
                rank = static_cast<uint32_t>(i) + 1;
            ranked[i] = {numbers[sorted[i].place], rankField(rank)};
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
    ranked.resize(static_cast<size_t>(n) + 1); // one beyond, written over by the last none
    RankedStudent *const shown = ranked.data();
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
    ranked.resize(static_cast<size_t>(n));
    return true;
}

} // namespace

// What the kept rankings hold between two looks at the hub.
struct KeptRankings::Store {
    RosterPositions roster;
    std::vector<KeptRanking> rankings = std::vector<KeptRanking>(2 * kLevelSlots); // [2 x level + cumulative]
    PointsWork work;
    std::vector<int> changed = std::vector<int>(kFewChanged + 1);
};

KeptRankings::KeptRankings() : m_store(std::make_unique<Store>()) {}
KeptRankings::~KeptRankings() = default;

// The points ranking of the usual school, where no student has points below none and no
// one more than some tens of thousands, placed without comparing whole lists. Fills
// r.shown for every student (today's order leaves out those with none today) and
// returns true, or returns false for the general way.
bool KeptRankings::rankPointsQuickly(const SharedState &state, int level, bool cumulative, Ranking &r)
{
    Store &store = *m_store;
    const RosterPositions &roster = rosterPositions(store.roster, state);
    const int n = state.roster.RosterCount;
    if (!roster.usable || n == 0 || level < 0 || level > kMaxLevel)
        return false;
    const TallyCell *const cells = state.tallies.cells.row(level);

    // With the same roster places, the ranking last made is brought up to date by moving
    // the few students whose points changed since.
    KeptRanking &kept = store.rankings[static_cast<size_t>(2 * level + (cumulative ? 1 : 0))];
    if (kept.rosterMade == roster.made) {
        std::vector<int> &changed = store.changed;
        const size_t changedCount =
            findChangedStudents(cells, kept.points.data(), roster.highestStudent, changed.data());
        if (changedCount <= kFewChanged &&
            moveChangedStudents(kept, cells, roster.position.data(), cumulative, changed.data(), changedCount)) {
            r.shown.assign(kept.shown.begin(), kept.shown.end());
            return true;
        }
    }
    kept.rosterMade = 0;
    kept.points.resize(static_cast<size_t>(roster.highestStudent) + 1);
    keepAllPoints(cells, kept.points.data(), roster.highestStudent);
    if (!rankPointsAfresh(state, roster, cells, cumulative, store.work, kept.shown))
        return false;
    r.shown.assign(kept.shown.begin(), kept.shown.end());
    kept.rosterMade = roster.made;
    return true;
}

void KeptRankings::bringUpToDate(const SharedState &state)
{
    Ranking ranking;
    for (int level = 1; level <= state.profile.LevelCount && level <= kMaxLevel; ++level)
        for (const bool cumulative : {true, false})
            rankPointsQuickly(state, level, cumulative, ranking);
}

} // namespace tobrel
