// What a teacher waits for with the data tool: the real `tobrel-data` started as a
// process on a school with a roster of 5000 students and a results file of 20,000 or
// 1,000,000 records, running "check" or "export" (as CSV or as an Excel workbook) to its
// end. Each run reports the tool's peak resident memory (peak_MB): it must not grow
// with the file.
//
// Floors, measured in this binary on the same file: reading the results file once,
// and writing as many bytes as the CSV holds.
#include "state/ResultRecord.h"
#include "text/Cp932.h"
#include "text/DayNumber.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <map>
#include <random>
#include <memory>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace tobrel;
using namespace tobrel::bench;

namespace {

struct School {
    QTemporaryDir dir;
    QString dataFolder;
    QString results;
    explicit School(int64_t records)
    {
        const QString root = dir.path();
        const QString data = root + QStringLiteral("/data/");
        dataFolder = data + QStringLiteral("tobrel");
        results = dataFolder + QStringLiteral("/成績累積データ.dat");
        QDir().mkpath(dataFolder);
        QDir().mkpath(data + QStringLiteral("音フォルダ"));
        auto write = [](const QString &path, const QByteArray &bytes) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        };
        write(data + QStringLiteral("共通データ.txt"),
              toCp932(QStringLiteral("4\r\n01234みなと算数塾\r\n1\r\n0\r\n0\r\nsensei\r\n0\r\n0\r\n0\r\n0\r\n")));
        QString roster;
        for (int s = 1; s <= 5000; ++s)
            roster += QStringLiteral("%1,%2,0,0,\"生徒　%1\",0,-,-\r\n").arg(s).arg(2008 + s % 12);
        write(data + QStringLiteral("新名簿.txt"), toCp932(roster));
        QString criteria =
            QStringLiteral("目標Time,最低Time,ｸﾘｱﾎﾟｲﾝﾄ,ｸﾘｱ回数,ﾎﾟｲﾝﾄ倍率,禁回,禁点,判期間,禁期間,,,\r\n");
        for (int L = 1; L <= 6; ++L)
            criteria += QStringLiteral("%1,%2,30,3,1.5,12,0,7,1,,,\r\n").arg(20 + 8 * L).arg(40 + 16 * L);
        write(dataFolder + QStringLiteral("/タイム回数データ.txt"), toCp932(criteria));
        write(data + QStringLiteral("音フォルダ/新音ファイル.txt"), QByteArray());

        std::mt19937 gen(17);
        const double today = dayNumber(QDate::currentDate());
        writeResultsFile(results, records, [&](int64_t) {
            ResultRecord r = randomRun(gen, today, 1500);
            r.setSchool(QStringLiteral("01234"));
            return r;
        });
    }
};

School &school(int64_t records) { return schoolOf<School>(records); }

// Runs the tool to its end; returns its exit status and peak resident memory in MB.
std::pair<int, double> runTool(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    std::string program = TOBREL_DATA_TOOL;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string &a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        return {-1, 0};
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss / 1024.0};
}

void runCommand(benchmark::State &state, const std::vector<std::string> &command)
{
    School &s = school(state.range(0));
    std::vector<std::string> args{"--data", s.dataFolder.toStdString()};
    args.insert(args.end(), command.begin(), command.end());
    double peak = 0;
    for (auto _ : state) {
        const auto [status, mb] = runTool(args);
        if (status != 0 && status != 1) {
            state.SkipWithError("the tool failed");
            return;
        }
        peak = std::max(peak, mb);
    }
    state.counters["peak_MB"] = peak;
    state.counters["records"] = static_cast<double>(state.range(0));
}

void BM_Check(benchmark::State &state) { runCommand(state, {"check"}); }

void BM_Export(benchmark::State &state)
{
    const std::string csv = school(state.range(0)).dir.path().toStdString() + "/out.csv";
    runCommand(state, {"export", csv});
    state.counters["csv_MB"] = QFileInfo(QString::fromStdString(csv)).size() / 1e6;
}

void BM_ExportWorkbook(benchmark::State &state)
{
    const std::string xlsx = school(state.range(0)).dir.path().toStdString() + "/out.xlsx";
    runCommand(state, {"export", "--xlsx", xlsx});
    state.counters["xlsx_MB"] = QFileInfo(QString::fromStdString(xlsx)).size() / 1e6;
}

// Floor: the results file read once, in the blocks the tool reads.
void BM_FloorReadResults(benchmark::State &state)
{
    School &s = school(state.range(0));
    std::vector<char> buffer(4096 * 44);
    for (auto _ : state) {
        QFile f(s.results);
        f.open(QIODevice::ReadOnly);
        int64_t total = 0;
        for (qint64 got; (got = f.read(buffer.data(), static_cast<qint64>(buffer.size()))) > 0;)
            total += got;
        benchmark::DoNotOptimize(total);
    }
}

// Floor: as many bytes as the CSV holds written to a file.
void BM_FloorWriteCsvBytes(benchmark::State &state)
{
    School &s = school(state.range(0));
    const QString csv = s.dir.path() + QStringLiteral("/out.csv");
    qint64 size = QFileInfo(csv).size();
    if (size <= 0)
        size = state.range(0) * 80;
    const QByteArray block(1 << 20, 'x');
    for (auto _ : state) {
        QFile f(s.dir.path() + QStringLiteral("/floor.bin"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (qint64 left = size; left > 0; left -= block.size())
            f.write(block.constData(), std::min<qint64>(left, block.size()));
    }
    state.counters["MB"] = size / 1e6;
}

} // namespace

BENCHMARK(BM_Check)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Export)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportWorkbook)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_FloorReadResults)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloorWriteCsvBytes)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
