// The roster screen's list and the hub's activation with a big school: 5000 listed
// students, a results file of 20000 records and 6 levels.
//
//   BM_HubScreen          the activation of a hub already built and shown, again
//                         (offscreen); what a student waits for from the log-in key
//                         is bench_program's BM_LogInKeyToHubPainted, and the hub's
//                         logic against the tally is in bench_tally
//   BM_NameList           名簿表示: tally + roster load + the name list
//   BM_NameListDamaged    the same with a results file of 20000 damaged records (they
//                         are skipped and collected for the teachers' report)
//   BM_RosterScreenList   the roster screen's list made again on the real screen
//                         (offscreen) and laid out and painted, as a change of the
//                         display mode does it
#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "hub/HubScreen.h"
#include "results/Tally.h"
#include "roster/NameList.h"
#include "roster/NameSelectScreen.h"
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

void BM_NameListDamaged(benchmark::State &bs)
{
    static School sc;
    static const bool damaged = [] {
        // Level 40 is outside the tables: every record is damaged.
        QByteArray bytes;
        for (int i = 0; i < 20000; ++i) {
            ResultRecord r;
            r.ResultRecDate = dayNumber(sc.clock.today());
            r.ResultRecStudentNo = static_cast<int16_t>(1 + i % 5000);
            r.ResultRecLevel = 40;
            r.ResultRecTime = 60;
            const auto b = r.encode();
            bytes.append(b.data(), b.size());
        }
        QFile f(resultsFilePath(sc.state));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }();
    if (!damaged) {
        bs.SkipWithError("cannot write the results file");
        return;
    }
    for (auto _ : bs)
        benchmark::DoNotOptimize(名簿表示(sc.state, sc.clock, {}, 1, QStringLiteral("全学年")).List1.size());
}

void BM_RosterScreenList(benchmark::State &bs)
{
    School &sc = school();
    ScreenRig rig(sc.state, sc.clock);
    rig.forms.registerForm(QStringLiteral("namesel"), [&] { return new NameSelectScreen(rig.ctx); });
    auto *roster = static_cast<NameSelectScreen *>(rig.forms.show(QStringLiteral("namesel")));
    QCoreApplication::processEvents();
    int mode = 0;
    for (auto _ : bs) {
        roster->Option1_Click(mode);
        mode = 1 - mode;
        QCoreApplication::processEvents(); // laid out and painted
    }
}

void BM_HubScreen(benchmark::State &bs)
{
    School &sc = school();
    ScreenRig rig(sc.state, sc.clock);
    Forms &forms = rig.forms;
    AppContext &ctx = rig.ctx;
    forms.registerForm(QStringLiteral("seisekitime1"), [&] { return new HubScreen(ctx, rig.keptRankings); });
    auto *hub = static_cast<HubScreen *>(forms.show(QStringLiteral("seisekitime1")));
    QCoreApplication::processEvents();
    for (auto _ : bs) {
        hub->Form_Activate();
        QCoreApplication::processEvents();
    }
}

BENCHMARK(BM_HubScreen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_NameList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_NameListDamaged)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RosterScreenList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv) { return runOffscreen(argc, argv); }
