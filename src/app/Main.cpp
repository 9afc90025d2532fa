// Tobrel: a timed drill of squares of two-digit numbers for a cram school.
//
// main reads the command line first (--help and --version print and end without a
// window), then creates the one shared state and the platform pieces (clock, random numbers,
// sound output, message boxes, process start), registers the screens by their form
// names and shows the start-up form, which loads the configuration and hands over to
// the roster screen.
#include "state/SharedState.h"
#include "admin/CriteriaEditorScreen.h"
#include "admin/ResultsManagerScreen.h"
#include "app/ProgramOptions.h"
#include "app/StartupForm.h"
#include "drill/DrillScreen.h"
#include "drill/EndScreen.h"
#include "hub/HubScreen.h"
#include "hub/TeacherPanel.h"
#include "roster/NameSelectScreen.h"
#include "sound/SdlAudioDevice.h"
#include "sound/SoundCues.h"
#include "ui/FormStyle.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/PaintProbe.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <optional>

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
        std::fputs(QStringLiteral("tobrel: %1\n使い方は tobrel --help で見られます。\n").arg(options.error).toUtf8().constData(),
                   stderr);
        return 2;
    case ProgramOptions::Action::Start:
        break;
    }

    QApplication app(argc, argv);
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
    Forms forms;
    EndOnSoundFailure soundFailure(messages, forms);
    SoundPlayer sound(state, audio, random, soundFailure);
    AppContext ctx{state, clock, random, audio, messages, processes, sound,
                   waitLettingEventsRun, [](int status) { endProgram(status); }, &forms,
                   QCoreApplication::applicationDirPath(), options.dataRoot, missingFontsNotice()};
    // Said once where whoever started the program reads it; teachers see it on the hub.
    if (!ctx.fontNotice.isEmpty())
        std::fputs((QStringLiteral("tobrel: ") + ctx.fontNotice + u'\n').toUtf8().constData(), stderr);

    forms.setPaintProbe(paintProbe.get());

    forms.registerForm(QStringLiteral("Firstfrm"), [&] { return new StartupForm(ctx); });
    forms.registerForm(QStringLiteral("BASEFRM"), [&] { return new WaitForm(ctx); });
    forms.registerForm(QStringLiteral("namesel"), [&] { return new NameSelectScreen(ctx); });
    forms.registerForm(QStringLiteral("seisekitime1"), [&] { return new HubScreen(ctx); });
    forms.registerForm(QStringLiteral("MainFrm"), [&] { return new DrillScreen(ctx); });
    forms.registerForm(QStringLiteral("FrmSyuuryou"), [&] { return new EndScreen(ctx); });
    // The administration screens open only through the teacher panel's door.
    forms.registerForm(QStringLiteral("FrmTimeData"), adminScreenFactory(ctx, QStringLiteral("FrmTimeData"), [&] {
                           return new CriteriaEditorScreen(ctx);
                       }));
    forms.registerForm(QStringLiteral("FrmData"), adminScreenFactory(ctx, QStringLiteral("FrmData"), [&] {
                           return new ResultsManagerScreen(ctx);
                       }));

    auto *startup = static_cast<StartupForm *>(forms.load(QStringLiteral("Firstfrm")));
    startup->Form_Load();
    return app.exec();
}
