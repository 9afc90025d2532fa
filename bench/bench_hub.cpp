// The roster screen's list and the hub's activation with a big school: 5000 listed
// students, a results file of 20000 records and 6 levels.
//
//   BM_HubScreen          the activation of a hub already built and shown, again
//                         (offscreen); what a student waits for from the log-in key
//                         is bench_program's BM_LogInKeyToHubPainted, and the hub's
//                         logic against the tally is in bench_tally
//   BM_NameList           名簿表示: tally + roster load + the name list
#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "hub/HubScreen.h"
#include "hub/HubViews.h"
#include "results/Tally.h"
#include "roster/NameList.h"
#include "sound/SoundCues.h"
#include "text/DayNumber.h"
#include "text/LineWriter.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "BenchSchool.h"
#include "BenchScreens.h"

#include <benchmark/benchmark.h>


using namespace tobrel;
using namespace tobrel::bench;

namespace {

School &school()
{
    static School s;
    return s;
}

void BM_NameList(benchmark::State &bs)
{
    School &sc = school();
    for (auto _ : bs)
        benchmark::DoNotOptimize(名簿表示(sc.state, sc.clock, {}, 1, QStringLiteral("全学年")).List1.size());
}

void BM_HubScreen(benchmark::State &bs)
{
    School &sc = school();
    ScreenRig rig(sc.state, sc.clock);
    Forms &forms = rig.forms;
    AppContext &ctx = rig.ctx;
    forms.registerForm(QStringLiteral("seisekitime1"), [&] { return new HubScreen(ctx); });
    auto *hub = static_cast<HubScreen *>(forms.show(QStringLiteral("seisekitime1")));
    QCoreApplication::processEvents();
    for (auto _ : bs) {
        hub->Form_Activate();
        QCoreApplication::processEvents();
    }
}

BENCHMARK(BM_HubScreen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_NameList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv) { return runOffscreen(argc, argv); }
