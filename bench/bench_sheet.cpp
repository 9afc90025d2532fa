// The result sheet as a teacher waits for it, on the real hub screen (offscreen), for a
// school of 5000 students whose signed-in student has runs all through the file.
//
//   BM_SheetOnScreen/20000    "表示" with levels 1..3: the file read, three blocks drawn
//   BM_SheetOnScreen/1000000  and the canvas painted; the same on a file of 1,000,000 records
//   BM_SheetPdf               "PDF保存" of levels 1..4 (two A4 pages) on 20,000 records
//   BM_SheetRead/N            the file's read alone, for reference
#include "hub/HubScreen.h"
#include "hub/SheetPanel.h"
#include "ui/Printers.h"
#include "ui/TwipsSurfaces.h"

#include "BenchSchool.h"
#include "BenchScreens.h"

#include <QCoreApplication>
#include <QListWidget>

using namespace tobrel;
using namespace tobrel::bench;

namespace {

struct SaveTo final : FileDialogs {
    QString path;
    QString saveFile(QWidget *, const QString &, const QString &, const QString &) override { return path; }
    QString folder(QWidget *, const QString &, const QString &) override { return {}; }
};

// The hub of student 17 with the sheet open on levels 1..3.
struct SheetRig {
    School school;
    ScreenRig rig;
    HubScreen *hub = nullptr;
    SaveTo dialogs;
    explicit SheetRig(int64_t records) : school(records, records / 1000), rig(school.state, school.clock)
    {
        rig.forms.registerForm(QStringLiteral("seisekitime1"),
                               [this] { return new HubScreen(rig.ctx, rig.keptRankings); });
        hub = static_cast<HubScreen *>(rig.forms.show(QStringLiteral("seisekitime1")));
        QCoreApplication::processEvents();
        hub->Option2_Click(2);
        hub->Picture11->Command17_Click();
        hub->Picture11->dialogs = &dialogs;
        dialogs.path = school.dir.filePath(QStringLiteral("sheet.pdf"));
        QCoreApplication::processEvents();
    }
};

SheetRig &rig(int64_t records) { return schoolOf<SheetRig>(records); }

void BM_SheetOnScreen(benchmark::State &bs)
{
    SheetRig &r = rig(bs.range(0));
    SheetPanel *sheet = r.hub->Picture11;
    for (auto _ : bs) {
        sheet->Command24_Click(0);
        sheet->Picture12->repaint();
    }
    bs.counters["drawn"] = static_cast<double>(sheet->Picture12->drawn().ops().size());
}

void BM_SheetPdf(benchmark::State &bs)
{
    SheetRig &r = rig(20000);
    SheetPanel *sheet = r.hub->Picture11;
    for (int row = 0; row < sheet->List3->count(); ++row)
        sheet->List3->item(row)->setSelected(row < 4);
    for (auto _ : bs) {
        sheet->CommandPdf_Click();
        r.rig.messages.shown.clear();
    }
    bs.counters["bytes"] = static_cast<double>(QFileInfo(r.dialogs.path).size());
    for (int row = 0; row < sheet->List3->count(); ++row)
        sheet->List3->item(row)->setSelected(row < 3);
}

void BM_SheetRead(benchmark::State &bs)
{
    SheetRig &r = rig(bs.range(0));
    const ResultsFile file(resultsFilePath(r.school.state));
    for (auto _ : bs) {
        SheetReading reading;
        QString error;
        benchmark::DoNotOptimize(readSheetResults(r.school.state, r.school.clock, file, 17, &reading, &error));
    }
}

BENCHMARK(BM_SheetOnScreen)
    ->Arg(20000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SheetPdf)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SheetRead)
    ->Arg(20000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv) { return runOffscreen(argc, argv); }
