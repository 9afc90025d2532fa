// Speed of reading the results file and tallying it, against a floor measured in the
// same binary: reading the same file into memory and zeroing the ten tally tables.
//
//   bench_tally                       the benchmarks
//   bench_tally --peak-memory         tallies the 20000-record file once and prints the
//                                     process's peak resident memory
#include "state/SharedState.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "text/DayNumber.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sys/resource.h>

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
        QFile f(resultsFilePath(state));
        f.open(QIODevice::WriteOnly);
        QByteArray chunk;
        for (int64_t i = 0; i < records; ++i) {
            ResultRecord r;
            r.ResultRecDate = today - static_cast<double>(gen() % 60);
            r.ResultRecClock = (gen() % 86400) / 86400.0;
            r.ResultRecStudentNo = static_cast<int16_t>(1 + gen() % 5000);
            r.ResultRecLevel = static_cast<int16_t>(1 + gen() % 6);
            r.ResultRecTime = gen() % 30 == 0 ? 99999 : static_cast<int32_t>(15 + gen() % 200);
            const auto b = r.encode();
            chunk.append(b.data(), b.size());
            if (chunk.size() > (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
    }
};

void tally(benchmark::State &bs, int64_t records)
{
    Fixture fx(records);
    const ResultsFile file(resultsFilePath(fx.state));
    for (auto _ : bs) {
        const ReadReport r = TallyResults(fx.state, fx.clock, file);
        benchmark::DoNotOptimize(r.ok());
    }
}

void BM_Tally20000(benchmark::State &bs) { tally(bs, 20000); }
void BM_Tally1000000(benchmark::State &bs) { tally(bs, 1000000); }

// The floor: the same file read into memory and the ten tables zeroed once.
void BM_Floor20000(benchmark::State &bs)
{
    Fixture fx(20000);
    for (auto _ : bs) {
        QFile f(resultsFilePath(fx.state));
        f.open(QIODevice::ReadOnly);
        QByteArray bytes = f.readAll();
        benchmark::DoNotOptimize(bytes.data());
        fx.state.tallies.clear();
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_Floor20000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Tally20000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
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
