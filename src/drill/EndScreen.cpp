#include "drill/EndScreen.h"

#include "state/SharedState.h"
#include "drill/DrillScreen.h"
#include "drill/EndOfRun.h"
#include "results/Tally.h"
#include "sound/SoundCues.h"
#include "text/DataFileError.h"
#include "ui/FormNames.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

namespace tobrel {
namespace {

// The background picture: the season colour in a soft gradient with a white card in the
// middle, drawn on the 1024 x 768 design and scaled to the size of the form area.
QPixmap endBackground(const QColor &season, const QSize &size)
{
    QPixmap pix(size);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setWindow(0, 0, 1024, 768);
    QLinearGradient g(0, 0, 0, 768);
    g.setColorAt(0, season.lighter(130));
    g.setColorAt(1, season);
    p.fillRect(QRect(0, 0, 1024, 768), g);
    p.setBrush(QColor(255, 255, 255, 215));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRect(112, 60, 800, 600), 24, 24);
    return pix;
}

// One centred line across the card, in twips; the screen's texts are in the font with a
// plain zero.
QLabel *line(const FormScale &tw, QWidget *parent, const QString &name, int top, int height, double pt,
             const QString &text = {})
{
    QLabel *l = makeLabel(parent, name, text);
    l->setGeometry(tw.rect(1680, top, 12000, height));
    l->setAlignment(Qt::AlignCenter);
    l->setFont(tw.digitFont(pt));
    return l;
}

QPushButton *button(const FormScale &tw, QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFont(tw.digitFont(24));
    return b;
}

} // namespace

EndScreen::EndScreen(AppContext &context) : Screen(context, FormName::FrmSyuuryou)
{
    setWindowTitle(QStringLiteral("終了"));
    const FormScale &tw = scale();
    QWidget *form = stage();
    Image1 = makeLabel(form, QStringLiteral("Image1"));
    Image1->setGeometry(tw.rect(0, 0, 15360, 11520));
    Image1->setPixmap(endBackground(colourFromBgr(ctx.state.profile.ScreenColour), Image1->size()));

    Label15 = line(tw, form, QStringLiteral("Label15"), 1200, 750, 20);
    Label16 = line(tw, form, QStringLiteral("Label16"), 2025, 750, 24);
    Label17 = line(tw, form, QStringLiteral("Label17"), 2850, 900, 30);
    Label18 = line(tw, form, QStringLiteral("Label18"), 3900, 1200, 44);
    Label19 = line(tw, form, QStringLiteral("Label19"), 5175, 750, 24);
    Label20 = line(tw, form, QStringLiteral("Label20"), 6000, 1050, 36);
    Label20->setStyleSheet(QStringLiteral("color: #d01010;"));
    Label13 = makeLabel(form, QStringLiteral("Label13"));
    Label13->setGeometry(tw.rect(1680, 7125, 6000, 600));
    Label13->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label13->setFont(tw.digitFont(18));
    Label14 = makeLabel(form, QStringLiteral("Label14"));
    Label14->setGeometry(tw.rect(7800, 7125, 5880, 600));
    Label14->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label14->setFont(tw.digitFont(18));
    Label2 = line(tw, form, QStringLiteral("Label2"), 7800, 750, 26, QStringLiteral("このレベルクリア"));
    Label2->setStyleSheet(QStringLiteral("color: #0a7a20;"));
    Label2->setVisible(false);

    Command5 = button(tw, form, QStringLiteral("Command5"), QStringLiteral("もう一度"));
    Command5->setGeometry(tw.rect(3300, 8775, 3900, 930));
    Command5->setVisible(false);
    Command4 = button(tw, form, QStringLiteral("Command4"), QStringLiteral("メニューへ"));
    Command4->setGeometry(tw.rect(8160, 8775, 3900, 930));
    Command4->setVisible(false);

    Picture1 = new QFrame(form);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(tw.rect(2430, 3750, 10500, 3000));
    Picture1->setStyleSheet(
        QStringLiteral("QFrame#Picture1 { background: #fff4b0; border: %1px solid #e0a000; border-radius: %2px; }")
            .arg(tw.px(60))
            .arg(tw.px(240)));
    Label1 = makeLabel(Picture1, QStringLiteral("Label1"), QStringLiteral("目標レベルクリア。おめでとう！"));
    Label1->setGeometry(tw.rect(0, 0, 10500, 3000));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(tw.digitFont(30));
    Picture1->setVisible(false);

    // Buttons on panels this program never shows; they do what "メニューへ" does.
    auto *hiddenPanel = new QFrame(form);
    hiddenPanel->setObjectName(QStringLiteral("Picture2"));
    hiddenPanel->setVisible(false);
    Command1 = button(tw, hiddenPanel, QStringLiteral("Command1"), QStringLiteral("メニューへ"));
    Command3 = button(tw, hiddenPanel, QStringLiteral("Command3"), QStringLiteral("メニューへ"));

    Timer1.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] {
        Command1->setEnabled(false);
        Command4_Click();
    });
    connect(Command3, &QPushButton::clicked, this, [this] { Command4_Click(); });
}

void EndScreen::Form_Activate()
{
    if (m_activated)
        return;
    m_activated = true;
    SharedState &state = ctx.state;
    const int s = state.student.CurrentStudent;
    const int L = state.run.CurrentLevel;
    Label13->setText(QString::number(state.tallies.TodayRunCount(L, s) + 1));

    // A run kept on this PC is counted in memory: the shared file has just kept the end
    // of the run waiting for half a minute and is not read again now.
    ReadReport report;
    if (state.outcome.keptOnThisPc)
        countRunKeptOnThisPc(state);
    else
        report = TallyResults(state, ctx.clock, sharedResultsFile(state, waitShowingReason(ctx.wait, stage())));
    if (!report.ok()) {
        ctx.messages.critical(this, QStringLiteral("Tobrel"),
                              stopMessage(QStringLiteral("成績ファイルを読めないため、終了します。"), report.fatalError,
                                          report.fatalErrorNumber));
        ctx.forms->closeAll();
        ctx.exit(1);
        return;
    }
    const EndScreenContent c = endScreenContent(state);
    if (c.levelCleared)
        Label2->setVisible(true);
    if (c.showPicture1) {
        Picture1->setVisible(true);
        Picture1->raise();
    }
    letEventsRun();
    Timer1.start();

    Label19->setText(c.Label19);
    Label18->setText(c.Label18);
    setTextFitting(Label17, c.Label17, scale().digitFont(30), scale().points(10)); // the whole name
    Label15->setText(c.Label15);
    Label16->setText(c.Label16);
    Label13->setText(c.Label13);
    Label14->setText(c.Label14);
    letEventsRun();

    using Message = EndScreenContent::Message;
    Label20->setText(c.Label20);
    switch (c.message) {
    case Message::PersonalBest:
        letEventsRun();
        ctx.sound.PlayPersonalBestCue();
        letEventsRun();
        break;
    case Message::LevelBest:
        letEventsRun();
        ctx.sound.PlayLevelBest();
        letEventsRun();
        break;
    case Message::PassTime:
        ctx.sound.PlayPassTimeCue();
        break;
    case Message::TimeUp:
    case Message::None:
        break;
    }
    if (c.playLastLevelCleared)
        ctx.sound.PlayLastLevelCleared();
    if (c.hidePicture1)
        Picture1->setVisible(false);
    state.outcome.NewRecordFlags = {0, 0};
    letEventsRun();
    ctx.forms->unload(FormName::BASEFRM);
}

void EndScreen::Timer1_Timer()
{
    Picture1->setVisible(false);
    Command4->setVisible(true);
    letEventsRun();
    Command4->setFocus();
    Timer1.stop();
    const EndScreenTimerDecision d = endScreenTimerDecision(ctx.state);
    if (d.changeLabel2) {
        Label2->setText(d.label2Text);
        Label2->setVisible(d.label2Visible);
    }
    Command5->setVisible(d.showCommand5);
}

void EndScreen::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget());
            button && button->isVisible() && button->isEnabled()) {
            button->click();
            return;
        }
    }
    Screen::keyPressEvent(event);
}

void EndScreen::Command5_Click()
{
    Command4->setEnabled(false);
    ctx.forms->show(FormName::BASEFRM);
    ctx.forms->unload(objectName());
    letEventsRun();
    StartRun(ctx);
}

void EndScreen::Command4_Click()
{
    Command4->setEnabled(false);
    ctx.forms->show(FormName::seisekitime1);
    ctx.forms->unload(objectName());
    letEventsRun();
}

} // namespace tobrel
