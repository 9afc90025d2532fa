// The roster screen's list and the hub's activation with a big school: 5000 listed
// students, a results file of 20000 records and 6 levels.
//
//   BM_TallyOnly          TallyResults alone (the reference for the hub's logic)
//   BM_HubLogic           TallyResults + the cumulative points ranking of every level
//   BM_HubScreen          the hub's activation on the real screen (offscreen)
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

#include "BenchScreens.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace tobrel;
using namespace tobrel::bench;

namespace {

struct School {
    QTemporaryDir dir;
    SharedState state;
    FixedClock clock;
    School()
    {
        state.config.DataRoot = dir.path() + u'/';
        state.config.DataFolder = dir.path() + QStringLiteral("/prog/");
        state.config.SchoolYearStartMonth = 4;
        state.config.SchoolName = QStringLiteral("ベンチ塾");
        QDir().mkpath(state.config.DataFolder);
        ApplyProgramProfileTables(state);
        SetProgramTitle(state);
        for (int L = 1; L <= 6; ++L) {
            state.criteria.CritTargetTime[L] = 20 + 8 * L;
            state.criteria.CritPassTime[L] = 40 + 16 * L;
            state.criteria.CritPointRate[L] = 1.5f;
            state.criteria.CritClearPoints[L] = 30;
            state.criteria.CritClearCount[L] = 3;
            state.criteria.CritPassDays[L] = Variant(7);
            state.criteria.CritOverDays[L] = Variant(1);
        }
        std::mt19937 gen(11);
        LineWriter roster;
        const char16_t *family[] = {u"佐藤", u"鈴木", u"髙橋", u"田中", u"山﨑", u"伊藤", u"渡辺", u"中村"};
        const char16_t *given[] = {u"翔太", u"美咲", u"健一", u"花子", u"大輝", u"さくら", u"蓮", u"結衣"};
        for (int s = 1; s <= 5000; ++s)
            roster.addLine({QString::number(s), QString::number(2005 + s % 14), QStringLiteral("0"),
                            QStringLiteral("0"),
                            QString::fromUtf16(family[gen() % 8]) + u'　' + QString::fromUtf16(given[gen() % 8]),
                            QStringLiteral("0"), QString(), QString()});
        roster.writeTo(state.config.DataRoot + rosterFileName());
        const double today = dayNumber(clock.today());
        QByteArray bytes;
        for (int i = 0; i < 20000; ++i) {
            ResultRecord r;
            r.ResultRecDate = today - static_cast<double>(gen() % 60);
            r.ResultRecClock = (gen() % 86400) / 86400.0;
            r.ResultRecStudentNo = static_cast<int16_t>(1 + gen() % 5000);
            r.ResultRecLevel = static_cast<int16_t>(1 + gen() % 6);
            r.ResultRecTime = static_cast<int32_t>(15 + gen() % 200);
            const auto b = r.encode();
            bytes.append(b.data(), b.size());
        }
        QFile f(resultsFilePath(state));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        // The roster tables, as after the roster screen.
        名簿表示(state, clock, {}, 1, QStringLiteral("全学年"));
        state.student.CurrentStudent = 17;
    }
};

School &school()
{
    static School s;
    return s;
}

void BM_TallyOnly(benchmark::State &bs)
{
    School &sc = school();
    const ResultsFile file(resultsFilePath(sc.state));
    for (auto _ : bs)
        benchmark::DoNotOptimize(TallyResults(sc.state, sc.clock, file).ok());
}

void BM_HubLogic(benchmark::State &bs)
{
    School &sc = school();
    const ResultsFile file(resultsFilePath(sc.state));
    for (auto _ : bs) {
        TallyResults(sc.state, sc.clock, file);
        for (int L = 1; L <= 6; ++L)
            benchmark::DoNotOptimize(
                rankStudents(sc.state, L, PointsDisplay, CumulativeOrder, QStringLiteral("全学年")).shown.size());
    }
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

BENCHMARK(BM_TallyOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_HubLogic)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_HubScreen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_NameList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv) { return runOffscreen(argc, argv); }
