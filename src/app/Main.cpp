// Tobrel: a timed drill of squares of two-digit numbers for a cram school.
//
// main reads the command line first (--help and --version print and end without a
// window), then creates the one shared state and the platform pieces (clock, random numbers,
// sound output, message boxes, process start), registers the screens by their form
// names and shows the start-up form, which loads the configuration and hands over to
// the roster screen.
#include "state/SharedState.h"
#include "admin/CriteriaEditorScreen.h"
#include "admin/ClassOverviewScreen.h"
#include "admin/ResultsManagerScreen.h"
#include "app/ProgramOptions.h"
#include "app/SessionBus.h"
#include "app/StartupForm.h"
#include "drill/DrillScreen.h"
#include "drill/EndScreen.h"
#include "hub/HubScreen.h"
#include "hub/PointsRanking.h"
#include "hub/TeacherPanel.h"
#include "roster/NameSelectScreen.h"
#include "sound/SdlAudioDevice.h"
#include "sound/SoundCues.h"
#include "ui/FormNames.h"
#include "ui/FormStyle.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/PaintProbe.h"
#include "ui/Printers.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <optional>
#include <system_error>
#include <vector>

#include <fontconfig/fontconfig.h>

using namespace tobrel;

namespace {

[[noreturn]] void endProgram(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

void waitLettingEventsRun(double seconds, const QString &)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < static_cast<qint64>(seconds * 1000)) {
        letEventsRun();
        QThread::msleep(5);
    }
}

class EndOnSoundFailure final : public SoundFailureHandler {
public:
    EndOnSoundFailure(MessageBoxes &boxes, Forms &forms) : m_boxes(boxes), m_forms(forms) {}
    void soundFailed(const QString &title, const QString &text) override
    {
        m_boxes.critical(nullptr, title, text);
        m_forms.closeAll();
        endProgram(1);
    }

private:
    MessageBoxes &m_boxes;
    Forms &m_forms;
};

// Qt's messages while the application starts, held until it is known whether a
// display was found.
struct HeldContext {
    QByteArray file, function, category;
    int line = 0;
};
struct HeldMessage {
    QtMsgType type;
    HeldContext context;
    QString text;
};
std::vector<HeldMessage> heldMessages;
QtMessageHandler previousMessageHandler = nullptr;

void messagesWhileStarting(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        heldMessages.push_back({type, {context.file, context.function, context.category, context.line}, text});
        return;
    }
    // The only fatal message while the application starts: no platform plugin could
    // be set up, nearly always because there is no display to show windows on.
    QString display = qEnvironmentVariable("DISPLAY");
    if (const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY"); !wayland.isEmpty())
        display += (display.isEmpty() ? QString() : QStringLiteral("、")) + wayland;
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString why =
        !platform.isEmpty()
            ? QStringLiteral("画面の仕組み %1（QT_QPA_PLATFORM）を始められないため、起動できません。").arg(platform)
        : display.isEmpty()
            ? QStringLiteral("画面（ディスプレイ）が見つからないため、起動できません"
                             "（DISPLAY も WAYLAND_DISPLAY もありません）。")
            : QStringLiteral("画面（ディスプレイ %1）につながらないため、起動できません。").arg(display);
    std::fputs(
        (QStringLiteral("tobrel: ") + why +
         QStringLiteral("\nデスクトップの中から起動してください。画面のない PC では xvfb-run tobrel で動かせます。\n"))
            .toUtf8()
            .constData(),
        stderr);
    // Qt's own words after ours, for whoever looks into it.
    std::fputs("Qt:\n", stderr);
    auto indented = [](const QString &message) {
        return (QStringLiteral("  ") + message.trimmed().replace(u'\n', QStringLiteral("\n  ")) + u'\n').toLocal8Bit();
    };
    for (const HeldMessage &m : heldMessages)
        std::fputs(indented(m.text).constData(), stderr);
    std::fputs(indented(text).constData(), stderr);
    endProgram(1);
}
// The sound output as the whole-program benchmarks see it: each sound tells the probe
// how long the device took to play it.
class ProbedAudio final : public AudioDevice {
public:
    ProbedAudio(SdlAudioDevice &device, PaintProbe &probe) : m_device(device), m_probe(probe) {}
    int play(const QString &path, QString *errorText) override
    {
        const int code = m_device.play(path, errorText);
        m_probe.soundPlayed(code == AudioOk ? m_device.lastDeviceWaitMs() : 0.0);
        return code;
    }
    void startEarly() override { m_device.startEarly(); }

private:
    SdlAudioDevice &m_device;
    PaintProbe &m_probe;
};

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ProgramOptions options = parseProgramOptions(arguments);
    switch (options.action) {
    case ProgramOptions::Action::Help:
        std::fputs(programHelp().toUtf8().constData(), stdout);
        return 0;
    case ProgramOptions::Action::Version:
        std::fputs((programVersionLine(QStringLiteral("tobrel")) + u'\n').toUtf8().constData(), stdout);
        return 0;
    case ProgramOptions::Action::Usage:
        std::fputs(QStringLiteral("tobrel: %1\n使い方は tobrel --help で見られます。\n")
                       .arg(options.error)
                       .toUtf8()
                       .constData(),
                   stderr);
        return 2;
    case ProgramOptions::Action::Start:
        break;
    }

    sayWhenThereIsNoSessionBus();
    // The system's font configuration is read on a thread of its own while Qt starts: the
    // splash's text, the first the program draws, would otherwise wait for it.
    std::future<void> fontConfigurationRead;
    try {
        fontConfigurationRead = std::async(std::launch::async, [] { FcInit(); });
    } catch (const std::system_error &) {
        // no thread to be had: Qt reads it when the first text is drawn
    }
    // Without a display Qt would end the program with an abort and an English message:
    // say in Japanese what is missing and end with a status instead.
    previousMessageHandler = qInstallMessageHandler(messagesWhileStarting);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousMessageHandler);
    for (const auto &[type, context, text] : heldMessages) {
        const QMessageLogContext original(context.file.constData(), context.line, context.function.constData(),
                                          context.category.constData());
        if (previousMessageHandler)
            previousMessageHandler(type, original, text);
        else
            std::fputs((text + u'\n').toLocal8Bit().constData(), stderr);
    }
    heldMessages.clear();
    QApplication::setFont(screenFont(11));
    QApplication::setStyle(new FormStyle);
    // Qt's own dialogs (the PDF save dialog, message box buttons) speak Japanese too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    // The benchmarks of the whole program ask, through the environment, to be told
    // when a screen has been painted and how long each sound took to play.
    const std::unique_ptr<PaintProbe> paintProbe = PaintProbe::fromEnvironment([](int status) { endProgram(status); });

    static SharedState state;
    SystemClock clock;
    SystemRandom random;
    SdlAudioDevice sdlAudio;
    std::optional<ProbedAudio> probedAudio;
    if (paintProbe)
        probedAudio.emplace(sdlAudio, *paintProbe);
    AudioDevice &audio = probedAudio ? static_cast<AudioDevice &>(*probedAudio) : sdlAudio;
    QtMessageBoxes messages;
    SystemProcessStarter processes;
    // The hub's points rankings, kept from one log-in to the next: the hub screen is
    // made afresh each time, the rankings only brought up to date.
    KeptRankings keptRankings;
    Forms forms;
    EndOnSoundFailure soundFailure(messages, forms);
    SoundPlayer sound(state, audio, random, soundFailure);
    CupsPrinters printers;
    QtFileDialogs fileDialogs;
    AppContext ctx{state,
                   clock,
                   random,
                   audio,
                   messages,
                   processes,
                   sound,
                   waitLettingEventsRun,
                   [](int status) { endProgram(status); },
                   &forms,
                   QCoreApplication::applicationDirPath(),
                   options.dataRoot,
                   QString(), // the missing fonts: looked for behind the splash
                   options.dataFolder,
                   &printers,
                   &fileDialogs};
    // While the roster screen waits for a name, the hub's rankings are brought up to date
    // with the tallies the roster screen has just read, so the hub's first look finds them made.
    ctx.whileRosterWaits = [&] { keptRankings.bringUpToDate(state); };

    forms.setPaintProbe(paintProbe.get());

    forms.registerForm(FormName::Firstfrm, [&] { return new StartupForm(ctx); });
    forms.registerForm(FormName::BASEFRM, [&] { return new WaitForm(ctx); });
    forms.registerForm(FormName::namesel, [&] { return new NameSelectScreen(ctx); });
    forms.registerForm(FormName::seisekitime1, [&] { return new HubScreen(ctx, keptRankings); });
    forms.registerForm(FormName::MainFrm, [&] { return new DrillScreen(ctx); });
    forms.registerForm(FormName::FrmSyuuryou, [&] { return new EndScreen(ctx); });
    // The administration screens open only through the teacher panel's door.
    forms.registerForm(FormName::FrmTimeData,
                       adminScreenFactory(ctx, FormName::FrmTimeData, [&] { return new CriteriaEditorScreen(ctx); }));
    forms.registerForm(FormName::FrmData,
                       adminScreenFactory(ctx, FormName::FrmData, [&] { return new ResultsManagerScreen(ctx); }));
    forms.registerForm(FormName::FrmClassOverview, adminScreenFactory(ctx, FormName::FrmClassOverview, [&] {
                           return new ClassOverviewScreen(ctx, keptRankings);
                       }));

    auto *startup = static_cast<StartupForm *>(forms.load(FormName::Firstfrm));
    startup->Form_Load();
    return app.exec();
}
