#include "app/StartupForm.h"

#include "app/Configuration.h"
#include "app/DataSetting.h"
#include "app/EraDate.h"
#include "results/Tally.h"
#include "sound/AudioDevice.h"
#include "state/SharedState.h"
#include "text/DataFileError.h"
#include "ui/FormNames.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"
#include "ui/WindowImage.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QWindow>

#include <cstdio>
#include <system_error>

namespace tobrel {

QRect splashSquaresArea() { return QRect(40, 266, 544, 96); }

QPixmap splashPicture(const QSize &size)
{
    // Drawn on a 640 x 480 canvas and scaled to the size the form gives it. The canvas's
    // memory is put in place on a thread while the picture's fonts are looked up.
    QImage canvas(size, QImage::Format_RGB32);
    std::future<void> canvasReady = makeMemoryReady(canvas.bits(), static_cast<size_t>(canvas.sizeInBytes()));
    for (const QFont &face : {screenFont(12), digitFont(12)})
        QFontMetrics(face).height(); // the font's file found and opened
    if (canvasReady.valid())
        canvasReady.wait();
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setWindow(0, 0, 640, 480);
    QLinearGradient g(0, 0, 0, 480);
    g.setColorAt(0, QColor(18, 52, 110));
    g.setColorAt(1, QColor(60, 140, 200));
    p.fillRect(QRect(0, 0, 640, 480), g);
    // A row of squares: the drill's problems, n × n, standing on the bottom of their band.
    p.setPen(QPen(QColor(255, 255, 255, 60), 2));
    const QRect band = splashSquaresArea();
    for (int i = 0; i < 6; ++i) {
        const int s = 24 + i * 14;
        p.drawRect(band.left() + i * 90, band.bottom() + 1 - s, s, s);
    }
    // Text sizes in pixels of the canvas, so they scale with it.
    auto canvasFont = [](const QFont &face, int pixels) {
        QFont f = face;
        f.setPixelSize(pixels);
        return f;
    };
    p.setPen(Qt::white);
    QFont title = canvasFont(screenFont(12), 72);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(0, 70, 640, 110), Qt::AlignCenter, QStringLiteral("Tobrel"));
    p.setFont(canvasFont(screenFont(12), 29));
    p.drawText(QRect(0, 175, 640, 50), Qt::AlignCenter, QStringLiteral("２けたの２乗　タイムトライアル"));
    p.setFont(canvasFont(digitFont(12), 24));
    p.setPen(QColor(255, 230, 120));
    p.drawText(QRect(0, 225, 640, 40), Qt::AlignCenter, QStringLiteral("13 × 13 = 169　　24 × 24 = 576"));
    p.end();
    return QPixmap::fromImage(std::move(canvas));
}

StartupForm::StartupForm(AppContext &context) : Screen(context, FormName::Firstfrm, 9600, 7200)
{
    setWindowTitle(QStringLiteral("Tobrel"));
    m_imageReady = makeWindowImageReady(this);
    try {
        m_dateCaption = std::async(std::launch::async, [date = ctx.clock.today()] {
            return std::make_pair(date, eraDateCaption(date));
        });
    } catch (const std::system_error &) {
        // no thread to be had: the date is written when the splash shows
    }
    const FormScale &tw = scale();
    Picture1 = makeLabel(stage(), QStringLiteral("Picture1"));
    Picture1->setGeometry(tw.rect(0, 0, 9600, 7200));
    Image1 = makeLabel(Picture1, QStringLiteral("Image1"));
    Image1->setGeometry(tw.rect(0, 0, 9600, 7200));
    Image1->setPixmap(splashPicture(Image1->size()));
    // Empty until the date is written into it: the splash's first paint, before the date,
    // shows no placeholder there.
    Label5 = makeLabel(Picture1, QStringLiteral("Label5"));
    // The date has its own place, below the squares of the picture.
    Label5->setGeometry(tw.rect(0, 5520, 9600, 660));
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setFont(tw.font(18));
    Label5->setStyleSheet(QStringLiteral("color: white;"));
    Label1 = makeLabel(Picture1, QStringLiteral("Label1"), QStringLiteral("Just a moment, please."));
    Label1->setGeometry(tw.rect(0, 6300, 9600, 450));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(tw.font(14));
    Label1->setStyleSheet(QStringLiteral("color: white;"));
    Timer1.setInterval(100);
    Timer1.setSingleShot(false);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

void StartupForm::Form_Load()
{
    if (m_imageReady.valid())
        m_imageReady.wait();
    show();
    letEventsRun();
    ctx.random.seed(ctx.clock.timeOfDay());
    const QDate today = ctx.clock.today();
    Label5->setText(dateCaption(today));
    ctx.state.profile.ScreenColour = screenColourForMonth(today.month());
    show();
    letEventsRun();
    Timer1.start();
    // The splash's time is not lost. The sound output comes up on a thread of its own
    // (the first answer of a run does not wait for it), and once the splash is on the
    // display, the work it waits for is done behind it.
    ctx.audio.startEarly();
    if (QWindow *window = windowHandle())
        window->installEventFilter(this);
    QTimer::singleShot(0, this, [this] { prepareBehindTheSplash(); });
}

QString StartupForm::dateCaption(const QDate &today)
{
    if (m_dateCaption.valid()) {
        auto [date, caption] = m_dateCaption.get();
        if (date == today)
            return caption;
    }
    return eraDateCaption(today); // the day changed since the splash was made
}

void StartupForm::prepareBehindTheSplash()
{
    if (m_behindTheSplash != Behind::NotYet)
        return;
    const QWindow *window = windowHandle();
    if (!window || !window->isExposed())
        return; // tried again when the splash is exposed
    // The splash, with its date, goes to the display before the work starts.
    repaint();
    m_behindTheSplash = Behind::Working;
    tellMissingFonts();
    m_behindTheSplash = PrepareProgram(ctx) ? Behind::Configured : Behind::Failed;
}

bool StartupForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle() && m_behindTheSplash == Behind::NotYet)
        QTimer::singleShot(0, this, [this] { prepareBehindTheSplash(); });
    return Screen::eventFilter(watched, event);
}

void StartupForm::Timer1_Timer()
{
    if (m_behindTheSplash == Behind::Working)
        return; // a tick that came while the work was being done: the next one goes on
    Timer1.stop();
    tellMissingFonts();
    const bool configured = m_behindTheSplash == Behind::Configured;
    m_behindTheSplash = Behind::Done;
    // The roster screen is ready when the work behind the splash made it; otherwise it
    // is made now, and anything that failed is told as it always was.
    if (configured)
        ShowRosterScreen(ctx);
    else
        StartProgram(ctx);
    ctx.forms->unload(objectName());
}

void StartupForm::tellMissingFonts()
{
    if (m_fontsLookedFor)
        return;
    m_fontsLookedFor = true;
    ctx.fontNotice = missingFontsNotice();
    if (!ctx.fontNotice.isEmpty())
        std::fputs((QStringLiteral("tobrel: ") + ctx.fontNotice + u'\n').toUtf8().constData(), stderr);
}

WaitForm::WaitForm(AppContext &context) : Screen(context, FormName::BASEFRM, 5400, 1350)
{
    setWindowTitle(QStringLiteral("Tobrel"));
    Label19 = makeLabel(stage(), QStringLiteral("Label19"), QStringLiteral("Just a moment, please."));
    Label19->setGeometry(scale().rect(0, 0, 5400, 1350));
    Label19->setAlignment(Qt::AlignCenter);
    Label19->setFont(scale().font(16));
    letEventsRun();
}

namespace {

// LoadConfiguration from wherever the data root is set; raises DataFileError. origin
// receives where the data root came from.
void loadConfiguration(AppContext &ctx, QString *origin)
{
    const DataLocation where = locateDataRoot(
        ctx.programFolderPath, ThisStart{ctx.dataRootOption, ctx.dataFolderOption}, SettingPlaces::ofThisProcess());
    *origin = where.origin;
    LoadConfiguration(ctx.state, where);
    // Runs the share could not take are kept in the user's own folder for this
    // results file (all but the suite's own data folder); the first run that needs
    // it must find it there.
    if (where.localFolder != where.programFolderPath + u'/' && !where.localFolder.isEmpty())
        QDir().mkpath(where.localFolder);
}

} // namespace

void StartProgram(AppContext &ctx)
{
    QString origin;
    try {
        loadConfiguration(ctx, &origin);
    } catch (const DataFileError &e) {
        // Where the data root came from, so that a share that is not mounted or a
        // mistyped setting can be told apart from a damaged file.
        const QString detail =
            origin.isEmpty() ? e.detail() : e.detail() + QStringLiteral("\n（データルートは %1 から）").arg(origin);
        std::fputs((detail + u'\n').toUtf8().constData(), stderr);
        ctx.messages.critical(nullptr, QStringLiteral("Tobrel"),
                              stopMessage(QStringLiteral("設定を読めないため、起動できません。"), detail, e.number()));
        ctx.forms->closeAll();
        ctx.exit(1);
        return;
    }
    ShowRosterScreen(ctx);
}

void ShowRosterScreen(AppContext &ctx)
{
    // Runs kept on this PC are sent at the first read of the results file; a pending file
    // that is no such runs is left alone, and said so once here.
    if (const QString pending = sharedResultsFile(ctx.state).pendingFileProblem(); !pending.isEmpty())
        ctx.messages.information(nullptr, QStringLiteral("Tobrel"), pending);
    ctx.forms->show(FormName::namesel);
}

bool PrepareProgram(AppContext &ctx)
{
    QString origin;
    try {
        loadConfiguration(ctx, &origin);
    } catch (const DataFileError &) {
        return false; // told when the program starts
    }
    ctx.forms->prepare(FormName::namesel);
    return true;
}

} // namespace tobrel
