// A whole program in a test: the shared state, fake platform pieces and the forms
// registry with every screen registered, on the offscreen platform.
#pragma once
#include "state/SharedState.h"
#include "hub/PointsRanking.h"
#include "sound/SoundCues.h"
#include "support/TestSupport.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/Printers.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace tobrel::test {

struct RecordingProcesses final : ProcessStarter {
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        started << program + u' ' + arguments.join(u' ');
        return canStart;
    }
    QStringList started;
    bool canStart = true;
};

// Answers the save and folder dialogs with prepared names and keeps the suggestions.
struct AnsweringDialogs final : FileDialogs {
    QString file, folderAnswer;
    QStringList asked;
    QString saveFile(QWidget *, const QString &, const QString &suggested, const QString &) override
    {
        asked << suggested;
        return file;
    }
    QString folder(QWidget *, const QString &, const QString &) override { return folderAnswer; }
};

struct RecordingSoundFailure final : SoundFailureHandler {
    void soundFailed(const QString &title, const QString &text) override { failures << title + u'|' + text; }
    QStringList failures;
};

// No printer: what a test that prints nothing gets.
struct NoPrinters final : Printers {
    QString defaultPrinter(QString *why) override
    {
        if (why)
            *why = QStringLiteral("no printer in the tests");
        return {};
    }
    bool printFile(const QString &, const QString &, const QString &, QString *) override { return false; }
};

struct ScreenFixture {
    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    ScriptedRandom random;
    RecordingAudioDevice audio;
    RecordingMessageBoxes messages;
    RecordingProcesses processes;
    RecordingSoundFailure soundFailure;
    SoundPlayer sound{state, audio, random, soundFailure};
    KeptRankings keptRankings; // outlives the hub screens, as in the program
    Forms forms;
    std::vector<int> exits;
    std::vector<double> waits;
    QStringList waitReasons;
    std::function<void()> duringWait; // runs inside every wait, to look at the screens
    NoPrinters noPrinters;
    AnsweringDialogs unansweredDialogs; // every dialog cancelled
    AppContext ctx{state,
                   clock,
                   random,
                   audio,
                   messages,
                   processes,
                   sound,
                   [this](double s, const QString &why) {
                       waits.push_back(s);
                       waitReasons << why;
                       if (duringWait)
                           duringWait();
                   },
                   [this](int status) { exits.push_back(status); },
                   &forms,
                   QString(),
                   QString(),
                   QString(),
                   QString(),
                   &noPrinters,
                   &unansweredDialogs};

    ScreenFixture();
    ~ScreenFixture()
    {
        forms.closeAll();
        letEventsRun();
    }

    // Writes a small suite (path data, common data, roster, criteria, cue table) and
    // points the program folder at it.
    void writeSuite();
    // On the roster screen (shown), chooses the line holding `name` and presses Return.
    void logInFromRoster(const QString &name);
    // Lets queued activations and timers run.
    void settle(int ms = 0)
    {
        QTest::qWait(ms);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    // Lets events and timers run until `done` holds, for at most `limitMs`: a screen's own
    // timer (the end screen's buttons at half a second) may come late on a busy machine.
    template <typename Done>
    bool settleUntil(Done done, int limitMs = 10000)
    {
        const bool held = QTest::qWaitFor(done, limitMs);
        settle();
        return held;
    }
    // The text of a label now shown on any screen that starts with the given text ("" when
    // none): what a wait tells the student.
    static QString shownTextStartingWith(const QString &start)
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            for (QLabel *l : top->findChildren<QLabel *>())
                if (l->isVisible() && l->text().startsWith(start))
                    return l->text();
        return {};
    }
    // Saves a picture of the screen to $TOBREL_SHOTS/<name>.png when that folder is set,
    // so the screens can be looked at without a display.
    static void shot(QWidget *screen, const QString &name)
    {
        const QString folder = qEnvironmentVariable("TOBREL_SHOTS");
        if (!folder.isEmpty() && screen)
            screen->grab().save(folder + u'/' + name + QStringLiteral(".png"));
    }
};

} // namespace tobrel::test
