// What the screen benchmarks share: the platform pieces and the forms registry of a
// program whose sound output only records, and a main on the offscreen platform.
#pragma once
#include "BenchSupport.h"
#include "state/SharedState.h"
#include "hub/PointsRanking.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/Printers.h"
#include "ui/Ui.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace tobrel::bench {

struct ScreenRig {
    explicit ScreenRig(SharedState &state, Clock &clock)
        : sound(state, audio, random, failure), ctx{state,      clock,     random,    audio,
                                                    messages,   processes, sound,     [](double, const QString &) {},
                                                    [](int) {}, &forms,    QString(), QString(),
                                                    QString(),  QString(), &printers, &fileDialogs}
    {}
    ~ScreenRig()
    {
        forms.closeAll();
        QCoreApplication::processEvents();
    }
    SystemRandom random;
    RecordingAudioDevice audio;
    RecordingMessageBoxes messages;
    SystemProcessStarter processes;
    NoFailure failure;
    SoundPlayer sound;
    KeptRankings keptRankings;
    Forms forms;
    CupsPrinters printers;
    QtFileDialogs fileDialogs;
    AppContext ctx;
};

inline int runOffscreen(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

} // namespace tobrel::bench
