// One answer on the real drill screen (offscreen): key presses -> judged -> the next
// problem shown. The correct-answer sound is left out (the sound output here only
// records): the program plays it to its end before the next problem by design, so its
// length is the school's choice and counts toward the run's time, not the program's.
#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "drill/DrillScreen.h"
#include "sound/SoundCues.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

#include "BenchScreens.h"

#include <benchmark/benchmark.h>

using namespace tobrel;
using namespace tobrel::bench;

namespace {

void BM_OneAnswer(benchmark::State &bs)
{
    static SharedState state;
    FixedClock clock;
    ScreenRig rig(state, clock);
    Forms &forms = rig.forms;
    AppContext &ctx = rig.ctx;
    forms.registerForm(QStringLiteral("MainFrm"), [&] { return new DrillScreen(ctx); });
    ApplyProgramProfileTables(state);
    SetProgramTitle(state);
    state.criteria.CritPassTime[6] = 600;
    state.criteria.CritTargetTime[6] = 300;
    state.run.CurrentLevel = 6;
    StartRun(ctx);
    QCoreApplication::processEvents();
    auto *screen = forms.loadedAs<DrillScreen>(QStringLiteral("MainFrm"));
    screen->Form_Activate();
    for (auto _ : bs) {
        // Keep the run going: never reach the tenth correct answer.
        state.run.CorrectCount = 0;
        const int n = screen->qLabel1->text().toInt();
        QTest::keyClicks(screen, QString::number(n * n));
        QTest::keyClick(screen, Qt::Key_Space);
        QCoreApplication::processEvents(); // the new problem is painted
        benchmark::DoNotOptimize(screen->qLabel1->text());
    }
}

BENCHMARK(BM_OneAnswer)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv) { return runOffscreen(argc, argv); }
