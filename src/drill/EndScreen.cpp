#include "drill/EndScreen.h"

#include "state/SharedState.h"
#include "drill/DrillScreen.h"
#include "drill/EndOfRun.h"
#include "results/Tally.h"
#include "sound/SoundCues.h"
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

QPixmap endBackground(const QColor &season)
{
    QPixmap pix(1024, 768);
    QPainter p(&pix);
    QLinearGradient g(0, 0, 0, 768);
    g.setColorAt(0, season.lighter(130));
    g.setColorAt(1, season);
    p.fillRect(pix.rect(), g);
    p.setBrush(QColor(255, 255, 255, 215));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRect(112, 60, 800, 600), 24, 24);
    return pix;
}

QLabel *line(QWidget *parent, const QString &name, int y, int h, double pt, const QString &text = {})
{
    QLabel *l = makeLabel(parent, name, text);
    l->setGeometry(112, y, 800, h);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(screenFont(pt));
    return l;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAccessibleName(text);
    b->setFont(screenFont(24));
    return b;
}

} // namespace

EndScreen::EndScreen(AppContext &context) : Screen(context, QStringLiteral("FrmSyuuryou"))
{
    setWindowTitle(QStringLiteral("終了"));
    placeFullScreen(this);
    Image1 = makeLabel(this, QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 1024, 768); // 15360 x 11520 twips
    Image1->setPixmap(endBackground(colourFromBgr(ctx.state.profile.ScreenColour)));

    Label15 = line(this, QStringLiteral("Label15"), 80, 50, 20);
    Label16 = line(this, QStringLiteral("Label16"), 135, 50, 24);
    Label17 = line(this, QStringLiteral("Label17"), 190, 60, 30);
    Label18 = line(this, QStringLiteral("Label18"), 260, 80, 44);
    Label19 = line(this, QStringLiteral("Label19"), 345, 50, 24);
    Label20 = line(this, QStringLiteral("Label20"), 400, 70, 36);
    Label20->setStyleSheet(QStringLiteral("color: #d01010;"));
    Label13 = makeLabel(this, QStringLiteral("Label13"));
    Label13->setGeometry(112, 475, 400, 40);
    Label13->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label13->setFont(screenFont(18));
    Label14 = makeLabel(this, QStringLiteral("Label14"));
    Label14->setGeometry(520, 475, 392, 40);
    Label14->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label14->setFont(screenFont(18));
    Label2 = line(this, QStringLiteral("Label2"), 520, 50, 26, QStringLiteral("このレベルクリア"));
    Label2->setStyleSheet(QStringLiteral("color: #0a7a20;"));
    Label2->setVisible(false);

    Command5 = button(this, QStringLiteral("Command5"), QStringLiteral("もう一度"));
    Command5->setGeometry(220, 585, 260, 62);
    Command5->setVisible(false);
    Command4 = button(this, QStringLiteral("Command4"), QStringLiteral("メニューへ"));
    Command4->setGeometry(544, 585, 260, 62);
    Command4->setVisible(false);

    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(162, 250, 700, 200);
    Picture1->setStyleSheet(QStringLiteral("QFrame#Picture1 { background: #fff4b0; border: 4px solid #e0a000; border-radius: 16px; }"));
    Label1 = makeLabel(Picture1, QStringLiteral("Label1"), QStringLiteral("目標レベルクリア。おめでとう！"));
    Label1->setGeometry(0, 0, 700, 200);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(screenFont(30));
    Picture1->setVisible(false);

    // Buttons on panels this program never shows; they do what "メニューへ" does.
    auto *hiddenPanel = new QFrame(this);
    hiddenPanel->setObjectName(QStringLiteral("Picture2"));
    hiddenPanel->setVisible(false);
    Command1 = button(hiddenPanel, QStringLiteral("Command1"), QStringLiteral("メニューへ"));
    Command3 = button(hiddenPanel, QStringLiteral("Command3"), QStringLiteral("メニューへ"));

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

    const ReadReport report =
        TallyResults(state, ctx.clock, ResultsFile(resultsFilePath(state), ctx.wait));
    if (!report.ok()) {
        ctx.messages.critical(this, QStringLiteral("Tobrel"), report.fatalError);
        ctx.forms->closeAll();
        ctx.exit(1);
        return;
    }
    const QString damaged = takeCorruptRecordMessage(state, report);
    if (!damaged.isEmpty())
        ctx.messages.information(this, QStringLiteral("Tobrel"), damaged);

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
    Label17->setText(c.Label17);
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
    ctx.forms->unload(QStringLiteral("BASEFRM"));
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
    ctx.forms->show(QStringLiteral("BASEFRM"));
    ctx.forms->unload(objectName());
    letEventsRun();
    StartRun(ctx);
}

void EndScreen::Command4_Click()
{
    Command4->setEnabled(false);
    ctx.forms->show(QStringLiteral("seisekitime1"));
    ctx.forms->unload(objectName());
    letEventsRun();
}

} // namespace tobrel
