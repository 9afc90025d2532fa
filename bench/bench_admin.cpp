// The results manager on big results files, timed as the teacher waits for it.
//
//   BM_ReadFileOnce/N       the floor of opening: the whole file read once
//   BM_OpenManager/N        "データ変更": the real screen built (roster, file read, lines
//                           indexed), shown and its list painted (offscreen)
//   BM_ScrollPage           one page down in the list of 1,000,000 lines, painted
//   BM_SearchNoMatch        a key typed in the list of 1,000,000 lines that no line starts
//                           with: the list looks through every line
//   BM_DeleteRecord         one deletion in the 1,000,000-record file (rewrite, flush,
//                           backup, rename; the oldest backup is removed after it, untimed,
//                           as the manager does once its list is painted); in the same
//                           iteration the floor, one copy of
//                           the file flushed to disk, is timed too: counter "floor_ms" and
//                           "ratio" (deletion / floor)
//   BM_DeleteAndRelist      what the teacher waits for after OK: the deletion through the
//                           screen's logic, the list read again and painted
//
//   bench_admin --peak-memory [N]   opens the manager on N records (1,000,000 when not
//                                   given; the goal is under 150 MB at 5,000,000 and flat in
//                                   the file's size), pages through the list, opens a record,
//                                   and prints the peak resident memory
#include "admin/ResultsManagerScreen.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "text/DurableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QScrollBar>

#include "BenchSchool.h"
#include "BenchScreens.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace tobrel;
using namespace tobrel::bench;

namespace {

School &school(int64_t records) { return schoolOf<School>(records); }

ResultsManagerScreen *openManager(ScreenRig &rig)
{
    auto *m = static_cast<ResultsManagerScreen *>(rig.forms.show(QStringLiteral("FrmData")));
    QCoreApplication::processEvents();
    m->List1->viewport()->repaint();
    return m;
}

void BM_ReadFileOnce(benchmark::State &bs)
{
    School &s = school(bs.range(0));
    const ResultsFile file(resultsFilePath(s.state));
    for (auto _ : bs) {
        ResultsFile::Range range;
        QString error;
        file.readAll(&range, &error);
        benchmark::DoNotOptimize(range.bytes.data());
    }
}

void BM_OpenManager(benchmark::State &bs)
{
    School &s = school(bs.range(0));
    ScreenRig rig(s.state, s.clock);
    rig.forms.registerForm(QStringLiteral("FrmData"), [&] { return new ResultsManagerScreen(rig.ctx); });
    for (auto _ : bs) {
        ResultsManagerScreen *m = openManager(rig);
        benchmark::DoNotOptimize(m->listCount());
        bs.PauseTiming();
        rig.forms.unload(QStringLiteral("FrmData"));
        QCoreApplication::processEvents();
        bs.ResumeTiming();
    }
}

void BM_ScrollPage(benchmark::State &bs)
{
    School &s = school(1000000);
    ScreenRig rig(s.state, s.clock);
    rig.forms.registerForm(QStringLiteral("FrmData"), [&] { return new ResultsManagerScreen(rig.ctx); });
    ResultsManagerScreen *m = openManager(rig);
    QScrollBar *bar = m->List1->verticalScrollBar();
    for (auto _ : bs) {
        if (bar->value() >= bar->maximum())
            bar->setValue(0);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        m->List1->viewport()->repaint();
    }
}

void BM_SearchNoMatch(benchmark::State &bs)
{
    School &s = school(1000000);
    ScreenRig rig(s.state, s.clock);
    rig.forms.registerForm(QStringLiteral("FrmData"), [&] { return new ResultsManagerScreen(rig.ctx); });
    ResultsManagerScreen *m = openManager(rig);
    for (auto _ : bs) {
        m->List1->keyboardSearch(QStringLiteral("x"));
        m->List1->keyboardSearch({}); // the next key starts a new search
    }
}

// One copy of the file into a new file of the same folder, flushed to disk: the floor of
// a deletion, which must at least copy the records it keeps.
double copyOnceMs(const QString &from)
{
    const auto start = std::chrono::steady_clock::now();
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = src + ".floor";
    const int in = ::open(src.constData(), O_RDONLY);
    const int out = ::open(dst.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    // The quickest copy there is: the kernel's, where the file system can make it.
    copyRange(in, 0, out, 0, static_cast<size_t>(lengthOf(in)));
    ::fsync(out);
    ::close(out);
    ::close(in);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ::unlink(dst.constData());
    return ms;
}

void BM_DeleteRecord(benchmark::State &bs)
{
    School &s = school(1000000);
    const ResultsFile file(resultsFilePath(s.state));
    double floorMs = 0, deleteMs = 0;
    int64_t n = 0;
    for (auto _ : bs) {
        bs.PauseTiming();
        QByteArray bytes;
        QString error;
        const int64_t middle = 500000 + n % 1000;
        file.readRecord(middle, &bytes, &error);
        floorMs += copyOnceMs(file.path());
        bs.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        // The oldest backup goes once the teacher's list is painted again, as the results
        // manager does it: nobody waits for that.
        const RewriteOutcome out = file.deleteRecord({middle, bytes}, QDateTime::currentDateTime(), {}, {}, false);
        deleteMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!out.ok())
            bs.SkipWithError(out.message.toLocal8Bit().constData());
        bs.PauseTiming();
        ResultsFile::pruneBackups(file.backupFolder(), kBackupsKept, QFileInfo(out.backupPath).fileName());
        bs.ResumeTiming();
        ++n;
    }
    bs.counters["floor_ms"] = floorMs / static_cast<double>(n);
    bs.counters["ratio"] = deleteMs / floorMs;
}

void BM_DeleteAndRelist(benchmark::State &bs)
{
    School &s = school(1000000);
    ScreenRig rig(s.state, s.clock);
    rig.forms.registerForm(QStringLiteral("FrmData"), [&] { return new ResultsManagerScreen(rig.ctx); });
    s.state.student.CurrentStudentName = QStringLiteral("佐藤先生"); // only a teacher deletes
    ResultsManagerScreen *m = openManager(rig);
    int64_t n = 0;
    for (auto _ : bs) {
        bs.PauseTiming();
        m->logic().List1_DblClick(static_cast<int>(400000 + n % 1000));
        bs.ResumeTiming();
        m->logic().Command3_Click(); // the recording message boxes answer OK
        m->List1->viewport()->repaint();
        ++n;
    }
}

BENCHMARK(BM_ReadFileOnce)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenManager)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchNoMatch)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DeleteRecord)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_DeleteAndRelist)->Unit(benchmark::kMillisecond)->Iterations(5);

int peakMemory(int argc, char **argv, int64_t records)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    School &s = school(records);
    ScreenRig rig(s.state, s.clock);
    rig.forms.registerForm(QStringLiteral("FrmData"), [&] { return new ResultsManagerScreen(rig.ctx); });
    ResultsManagerScreen *m = openManager(rig);
    QScrollBar *bar = m->List1->verticalScrollBar();
    for (int step = 0; step <= 20; ++step) {
        bar->setValue(bar->maximum() / 20 * step);
        m->List1->viewport()->repaint();
    }
    m->logic().List1_DblClick(m->listCount() - 1);
    QCoreApplication::processEvents();
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory with the manager open on %d lines: %.1f MiB\n", m->listCount(),
                usage.ru_maxrss / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--peak-memory") == 0)
            return peakMemory(argc, argv, i + 1 < argc ? std::atoll(argv[i + 1]) : 1000000);
    return runOffscreen(argc, argv);
}
