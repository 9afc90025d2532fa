// The class overview on a school of 5,000 students, timed as the teacher waits for it.
//
//   BM_CountOverview/N     the floor: the whole file of N records read once and every
//                          student's figures counted
//   BM_ChangePeriod/N      a period chosen: the file read again and the lines made and
//                          sorted, through the overview's logic
//   BM_OpenOverview/N      "クラス一覧": the real screen built (the file read, the lines
//                          made), shown and its table painted (offscreen)
//
// The goal: under 100 ms at 5,000 students and 1,000,000 runs.
#include "admin/ClassOverview.h"
#include "admin/ClassOverviewScreen.h"
#include "hub/TeacherEntry.h"
#include "results/Tally.h"

#include <QTableView>

#include "BenchSchool.h"
#include "BenchScreens.h"

#include <benchmark/benchmark.h>

using namespace tobrel;
using namespace tobrel::bench;

namespace {

// The school with a teacher signed in, who may open the overview.
School &school(int64_t records)
{
    School &s = schoolOf<School>(records);
    s.state.student.CurrentStudentName = QStringLiteral("佐藤先生");
    return s;
}

struct QuietHost final : ClassOverviewHost {
    void refresh() override {}
    void rowsChanged() override {}
    void tell(const QString &) override {}
    void showSheet(int) override {}
};

void BM_CountOverview(benchmark::State &bs)
{
    School &s = school(bs.range(0));
    const ResultsFile file = sharedResultsFile(s.state);
    const DaySpan week = overviewPeriodSpan(OverviewPeriod::ThisWeek, s.clock.today(), 4);
    for (auto _ : bs) {
        OverviewCounts counts;
        QString error;
        countOverview(s.state, file, s.clock.today(), week, &counts, &error);
        benchmark::DoNotOptimize(counts.figures.data());
    }
}

void BM_ChangePeriod(benchmark::State &bs)
{
    School &s = school(bs.range(0));
    QuietHost host;
    ClassOverviewLogic logic(s.state, s.clock, {}, host, QString());
    logic.Form_Load();
    logic.Header_Click(ClassOverviewLogic::kOwnColumns + 3); // sorted by level 1's points
    int period = 0;
    for (auto _ : bs) {
        logic.PeriodCombo_Click(period);
        period = (period + 1) % static_cast<int>(OverviewPeriod::Between);
        benchmark::DoNotOptimize(logic.rowCount());
    }
    bs.counters["students"] = logic.rowCount();
}

void BM_OpenOverview(benchmark::State &bs)
{
    School &s = school(bs.range(0));
    ScreenRig rig(s.state, s.clock);
    rig.forms.registerForm(QStringLiteral("FrmClassOverview"),
                           [&] { return new ClassOverviewScreen(rig.ctx, rig.keptRankings); });
    for (auto _ : bs) {
        auto *o = static_cast<ClassOverviewScreen *>(rig.forms.show(QStringLiteral("FrmClassOverview")));
        QCoreApplication::processEvents();
        o->TableStudents->viewport()->repaint();
        benchmark::DoNotOptimize(o->logic().rowCount());
        bs.PauseTiming();
        rig.forms.unload(QStringLiteral("FrmClassOverview"));
        QCoreApplication::processEvents();
        bs.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_CountOverview)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangePeriod)->Arg(20000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenOverview)->Arg(1000000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) { return runOffscreen(argc, argv); }
