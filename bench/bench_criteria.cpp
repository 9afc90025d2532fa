// The criteria editor on a big results file: 35 levels, runs of 5000 students.
//
//   BM_ReadResultsOnce/N    the floor: one pass over the results file of N records
//   BM_FirstHistogram/N     building the histogram tables of every level from that file
//   BM_KeyInCellEditor      one key in the cell editor of the real screen (offscreen) with
//                           the histograms built, on 1,000,000 records: Down and Up in
//                           turn, so every key shows another level's histograms
//   BM_Save35Levels         "更新記録" on the real screen: check with the loader, write,
//                           flush, rename over, keep the backup, reload the criteria
#include "admin/CriteriaEditorScreen.h"
#include "admin/TimeHistogram.h"
#include "criteria/CriteriaFile.h"
#include "results/ResultsFile.h"
#include "results/Tally.h"
#include "state/SharedState.h"
#include "text/DayNumber.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "BenchScreens.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace tobrel;
using namespace tobrel::bench;

namespace {

struct DataFolder {
    QTemporaryDir dir;
    SharedState state;
    FixedClock clock;

    explicit DataFolder(int64_t records)
    {
        state.config.DataFolder = dir.path() + u'/';
        state.profile.ScreenColour = 0x00C0FFC0;
        QList<QStringList> rows;
        for (int L = 1; L <= 35; ++L)
            rows << QStringList{QString::number(20 + 2 * L),
                                QString::number(40 + 4 * L),
                                "30",
                                "3",
                                "1.5",
                                "10",
                                "0",
                                "7",
                                "1",
                                "",
                                "",
                                ""};
        WriteCriteriaFile(state.config.DataFolder + criteriaFileName(), rows);
        state.criteria = LoadCriteria(state.config.DataFolder + criteriaFileName(), state.criteria);

        std::mt19937 gen(5);
        const double today = dayNumber(clock.today());
        writeResultsFile(resultsFilePath(state), records, [&](int64_t) {
            ResultRecord r;
            r.ResultRecDate = today - static_cast<double>(gen() % 400);
            r.ResultRecClock = (gen() % 86400) / 86400.0;
            r.ResultRecStudentNo = static_cast<int16_t>(1 + gen() % 5000);
            r.ResultRecLevel = static_cast<int16_t>(1 + gen() % 35);
            r.ResultRecTime = gen() % 30 == 0 ? kTimedOut : static_cast<int32_t>(15 + gen() % 400);
            return r;
        });
    }
    QString resultsPath() const { return resultsFilePath(state); }
};

DataFolder &folder(int64_t records) { return schoolOf<DataFolder>(records); }

void BM_ReadResultsOnce(benchmark::State &bs)
{
    DataFolder &f = folder(bs.range(0));
    const ResultsFile file(f.resultsPath());
    for (auto _ : bs) {
        int64_t levels = 0;
        ResultsFile::ScanInfo info;
        QString error;
        file.scan(
            [&](int64_t, const char *bytes, int64_t count) {
                for (int64_t k = 0; k < count; ++k)
                    levels += ResultRecord::decodeNumbers(bytes + k * kRecordSize).level;
                return true;
            },
            &info, &error);
        benchmark::DoNotOptimize(levels);
    }
    bs.SetItemsProcessed(bs.iterations() * bs.range(0));
}

void BM_FirstHistogram(benchmark::State &bs)
{
    DataFolder &f = folder(bs.range(0));
    for (auto _ : bs) {
        TimeHistogram h;
        benchmark::DoNotOptimize(h.update(ResultsFile(f.resultsPath())));
        benchmark::DoNotOptimize(h.runCount(1));
    }
    bs.SetItemsProcessed(bs.iterations() * bs.range(0));
}

// The editor open on the data folder, its histograms built.
CriteriaEditorScreen *openEditor(ScreenRig &rig)
{
    rig.forms.registerForm(QStringLiteral("FrmTimeData"), [&] { return new CriteriaEditorScreen(rig.ctx); });
    auto *s = static_cast<CriteriaEditorScreen *>(rig.forms.show(QStringLiteral("FrmTimeData")));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return s;
}

void BM_KeyInCellEditor(benchmark::State &bs)
{
    DataFolder &f = folder(1000000);
    ScreenRig rig(f.state, f.clock);
    CriteriaEditorScreen *s = openEditor(rig);
    bool down = true;
    for (auto _ : bs) {
        QTest::keyClick(s->Gridinputtext, down ? Qt::Key_Down : Qt::Key_Up);
        QCoreApplication::processEvents();
        down = !down;
    }
    if (s->logic().histogram().fileReads() != 1)
        bs.SkipWithError("the results file was read again");
}

void BM_Save35Levels(benchmark::State &bs)
{
    DataFolder &f = folder(100000);
    ScreenRig rig(f.state, f.clock);
    CriteriaEditorScreen *s = openEditor(rig);
    for (auto _ : bs) {
        bs.PauseTiming();
        QTest::keyClick(s->Gridinputtext, Qt::Key_Space);
        QTest::keyClick(s->Gridinputtext, Qt::Key_3);
        bs.ResumeTiming();
        QTest::mouseClick(s->Command3, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    if (!rig.messages.shown.isEmpty())
        bs.SkipWithError(rig.messages.shown.join(u'\n').toStdString().c_str());
}

BENCHMARK(BM_ReadResultsOnce)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FirstHistogram)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_KeyInCellEditor)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Save35Levels)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv) { return runOffscreen(argc, argv); }
