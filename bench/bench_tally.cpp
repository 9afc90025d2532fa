// Speed of reading the results file and tallying it, against a floor measured in the
// same process, interleaved with the tally so that both see the same machine.
//
// The floor is what any tally of the file must do at least, written here apart from
// the program's code: open the file, read its last 20000 records with one positioned
// read into a buffer that is reused, zero a table of 6 levels x 5001 students of
// 32-byte cells, and make one pass that touches the cell of each record's level and
// student.
//
//   BM_TallyAgainstFloor   a school of 5000 students, 6 levels, 20000 records; each
//                          iteration times the floor and the tally once (in turn
//                          first); counters: the medians and their ratio, the goal
//                          being a ratio of at most 1.5
//   BM_HubLogicAgainstTally  the logic of the hub's activation (the tally and the
//                          cumulative points ranking of every level, all grades) against
//                          the tally alone, interleaved likewise; the goal being a
//                          ratio of at most 1.5. Nothing new in the file between looks,
//                          as when the next student logs in: the rankings are kept
//   BM_HubLogicAfterOneRun   the same with one run appended before each turn, as when
//                          the hub comes back after a run: the run's level, and the level
//                          of the record that leaves the last 20000, are ranked again
//   BM_HubLogicAfterRunsAtEveryLevel  the same with a run at each of the six levels
//                          appended before each turn: every level changes
//   BM_HubLogicFirstLook   the same with the roster's order turned round before each
//                          turn, so that no ranking is kept: every level is ranked
//                          afresh, as at the hub's first activation after the start
//                          when the log-in key came before the roster screen had made
//                          the rankings ahead
//   BM_HubLogicFirstLookAfterRosterIdle  the first look as a student meets it: the
//                          roster's order turned round, then (untimed) what the roster
//                          screen does before it waits for a name and while it waits:
//                          the tally, and the rankings brought up to date ahead
//   BM_Tally1000000        the tally of a file of a million records (the last 20000
//                          are read)
//
//   bench_tally --peak-memory   tallies the 20000-record file once and prints the
//                               process's peak resident memory (the tally alone; the
//                               program's peak is measured by bench_program)
#include "state/SharedState.h"
#include "hub/PointsRanking.h"
#include "hub/Rankings.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "text/DayNumber.h"

#include <QFile>
#include <QTemporaryDir>

#include "BenchSchool.h"
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tobrel;
using namespace tobrel::bench;

namespace {

struct Fixture {
    QTemporaryDir dir;
    SharedState state;
    FixedClock clock;
    explicit Fixture(int64_t records)
    {
        state.config.DataFolder = dir.path() + u'/';
        for (int L = 1; L <= 6; ++L) {
            state.criteria.CritTargetTime[L] = 20 + 8 * L;
            state.criteria.CritPassTime[L] = 40 + 16 * L;
            state.criteria.CritPointRate[L] = 1.5f;
            state.criteria.CritPassDays[L] = Variant(7);
            state.criteria.CritOverDays[L] = Variant(1);
        }
        std::mt19937 gen(7);
        const double today = dayNumber(clock.today());
        writeResultsFile(resultsFilePath(state), records, [&](int64_t) { return randomRun(gen, today, 60); });
    }
};

// The floor, in plain POSIX and standard C++.
class Floor {
public:
    explicit Floor(std::string path) : m_path(std::move(path)), m_cells(6 * 5001) {}

    // Returns a sum over the table, so the work cannot be left out.
    long run()
    {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return -1;
        struct stat st {};
        ::fstat(fd, &st);
        const long n = static_cast<long>(st.st_size) / 44;
        const long first = n > 20000 ? n - 20000 : 0;
        const long count = n - first;
        m_buffer.resize(static_cast<size_t>(count) * 44);
        const ssize_t got = ::pread(fd, m_buffer.data(), m_buffer.size(), static_cast<off_t>(first) * 44);
        ::close(fd);
        if (got != static_cast<ssize_t>(m_buffer.size()))
            return -1;
        std::memset(static_cast<void *>(m_cells.data()), 0, m_cells.size() * sizeof(Cell));
        const char *p = m_buffer.data();
        for (long k = 0; k < count; ++k, p += 44) {
            int16_t student, level;
            std::memcpy(&student, p + 16, 2);
            std::memcpy(&level, p + 18, 2);
            if (level >= 1 && level <= 6 && student >= 0 && student <= 5000)
                ++m_cells[static_cast<size_t>((level - 1) * 5001 + student)].count;
        }
        return m_cells[17].count + m_cells[5001 * 5 + 4999].count;
    }

private:
    struct Cell {
        int32_t count;
        int32_t other[7];
    };
    static_assert(sizeof(Cell) == 32);
    std::string m_path;
    std::vector<char> m_buffer;
    std::vector<Cell> m_cells;
};

double millisecondsOf(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Times `base` and `measured` once per iteration, taking turns at going first so neither
// always finds the caches the other left; the medians and their ratio become counters.
// `between`, if given, runs untimed before each turn.
void timeInTurns(benchmark::State &bs, const char *baseName, const std::function<void()> &base,
                 const char *measuredName, const std::function<void()> &measured,
                 const std::function<void()> &between = {})
{
    std::vector<double> baseMs, measuredMs;
    bool baseFirst = true;
    for (auto _ : bs) {
        if (between) {
            bs.PauseTiming();
            between();
            bs.ResumeTiming();
        }
        if (baseFirst) {
            baseMs.push_back(millisecondsOf(base));
            measuredMs.push_back(millisecondsOf(measured));
        } else {
            measuredMs.push_back(millisecondsOf(measured));
            baseMs.push_back(millisecondsOf(base));
        }
        baseFirst = !baseFirst;
    }
    const double b = median(baseMs), m = median(measuredMs);
    bs.counters[baseName] = b;
    bs.counters[measuredName] = m;
    bs.counters["ratio"] = b > 0 ? m / b : 0;
}

void BM_TallyAgainstFloor(benchmark::State &bs)
{
    static Fixture fx(20000);
    const ResultsFile file(resultsFilePath(fx.state));
    Floor floor(QFile::encodeName(resultsFilePath(fx.state)).toStdString());
    timeInTurns(
        bs, "floor_ms", [&] { benchmark::DoNotOptimize(floor.run()); }, "tally_ms",
        [&] { benchmark::DoNotOptimize(TallyResults(fx.state, fx.clock, file).ok()); });
}

// The hub's activation logic against the tally alone; `newRuns` runs (one at each of
// levels 1, 2, ... in turn, dated like the rest) are appended to the school's file before
// each turn, and with `turnRoster` the roster's order is turned round; with `rankAhead`
// the roster screen's tally and its rankings made ahead follow.
void hubLogicAgainstTally(benchmark::State &bs, School &school, int newRuns, bool turnRoster = false,
                          bool rankAhead = false)
{
    const ResultsFile file(resultsFilePath(school.state));
    auto tally = [&] { benchmark::DoNotOptimize(TallyResults(school.state, school.clock, file).ok()); };
    // The rankings are kept from one turn to the next, as the program keeps them from one
    // log-in to the next.
    KeptRankings kept;
    auto hub = [&] {
        tally();
        for (int L = 1; L <= 6; ++L)
            benchmark::DoNotOptimize(
                rankStudents(school.state, kept, L, PointsDisplay, CumulativeOrder, QStringLiteral("全学年"))
                    .shown.size());
    };
    std::mt19937 gen(5);
    const double today = dayNumber(school.clock.today());
    int level = 0;
    auto appendRuns = [&] {
        for (int i = 0; i < newRuns; ++i) {
            ResultRecord r = randomRun(gen, today, 60);
            r.ResultRecLevel = static_cast<int16_t>(1 + level++ % 6);
            r.ResultRecTime = 20; // inside every level's target time: it brings points
            QString error;
            if (file.append(r, &error) < 0)
                bs.SkipWithError(error.toStdString().c_str());
        }
    };
    int16_t *const numbers = school.state.roster.RosterNumbers.data();
    auto between = [&] {
        appendRuns();
        if (turnRoster)
            std::reverse(numbers + 1, numbers + school.state.roster.RosterCount + 1);
        if (rankAhead) {
            tally();
            kept.bringUpToDate(school.state);
        }
    };
    hub(); // the kept rankings of the file as it is
    timeInTurns(bs, "tally_ms", tally, "hub_ms", hub,
                newRuns > 0 || turnRoster ? std::function<void()>(between) : nullptr);
}

void BM_HubLogicAgainstTally(benchmark::State &bs)
{
    static School school;
    hubLogicAgainstTally(bs, school, 0);
}

void BM_HubLogicAfterOneRun(benchmark::State &bs)
{
    School school;
    hubLogicAgainstTally(bs, school, 1);
}

void BM_HubLogicAfterRunsAtEveryLevel(benchmark::State &bs)
{
    School school;
    hubLogicAgainstTally(bs, school, 6);
}

void BM_HubLogicFirstLook(benchmark::State &bs)
{
    static School school;
    hubLogicAgainstTally(bs, school, 0, true);
}

void BM_HubLogicFirstLookAfterRosterIdle(benchmark::State &bs)
{
    static School school;
    hubLogicAgainstTally(bs, school, 0, true, true);
}

void BM_Tally1000000(benchmark::State &bs)
{
    static Fixture fx(1000000);
    const ResultsFile file(resultsFilePath(fx.state));
    for (auto _ : bs)
        benchmark::DoNotOptimize(TallyResults(fx.state, fx.clock, file).ok());
}

double minOf(const std::vector<double> &v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
double maxOf(const std::vector<double> &v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Ten repetitions of a measure in turns, reported as median, lowest and highest.
void inTurnsTenTimes(benchmark::internal::Benchmark *b)
{
    b->Unit(benchmark::kMillisecond)
        ->Repetitions(10)
        ->ComputeStatistics("min", minOf)
        ->ComputeStatistics("max", maxOf)
        ->ReportAggregatesOnly(true);
}

BENCHMARK(BM_TallyAgainstFloor)->Apply(inTurnsTenTimes);
BENCHMARK(BM_HubLogicAgainstTally)->Apply(inTurnsTenTimes);
BENCHMARK(BM_HubLogicAfterOneRun)->Apply(inTurnsTenTimes);
BENCHMARK(BM_HubLogicAfterRunsAtEveryLevel)->Apply(inTurnsTenTimes);
BENCHMARK(BM_HubLogicFirstLook)->Apply(inTurnsTenTimes);
BENCHMARK(BM_HubLogicFirstLookAfterRosterIdle)->Apply(inTurnsTenTimes);
BENCHMARK(BM_Tally1000000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--peak-memory") == 0) {
        static Fixture fx(20000);
        const ResultsFile file(resultsFilePath(fx.state));
        TallyResults(fx.state, fx.clock, file);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak resident memory after tallying 20000 records: %ld KiB\n", usage.ru_maxrss);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
