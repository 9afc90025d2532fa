#include "drill/DrillScreen.h"

#include "sound/SoundCues.h"
#include "state/SharedState.h"
#include "drill/EndOfRun.h"
#include "results/Tally.h"
#include "ui/Accessible.h"
#include "ui/FormNames.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace tobrel {
namespace {

// The time bar, in twips: its whole width stands for the time limit.
constexpr int kBarLeft = 600, kBarTop = 9600, kBarWidth = 14160, kBarHeight = 660;

// A label of the screen, placed in twips of its parent; every text of this screen is in
// the font with a plain zero.
QLabel *bigLabel(const FormScale &tw, QWidget *parent, const QString &name, const QString &text, int x, int y, int w,
                 int h, double pt, Qt::Alignment align = Qt::AlignCenter)
{
    QLabel *l = makeLabel(parent, name, text);
    l->setGeometry(tw.rect(x, y, w, h));
    l->setFont(tw.digitFont(pt));
    l->setAlignment(align);
    return l;
}

QFrame *bar(const FormScale &tw, QWidget *parent, const QString &name, const QString &spoken, const QString &style)
{
    auto *f = new QFrame(parent);
    f->setObjectName(name);
    f->setAccessibleName(spoken);
    f->setStyleSheet(QStringLiteral("QFrame#%1 { %2 }").arg(name, style));
    f->setGeometry(tw.rect(kBarLeft, kBarTop, 0, kBarHeight));
    return f;
}

} // namespace

DrillScreen::DrillScreen(AppContext &context) : Screen(context, FormName::MainFrm)
{
    setWindowTitle(QStringLiteral("velmora"));
    setFocusPolicy(Qt::StrongFocus);
    const FormScale &tw = scale();
    QWidget *form = stage();

    // The problem: N × N in large digits on a white card.
    auto *card = new QFrame(form);
    card->setObjectName(QStringLiteral("problemCard"));
    card->setGeometry(tw.rect(450, 600, 9900, 8400));
    card->setStyleSheet(
        QStringLiteral("QFrame#problemCard { background: white; border-radius: %1px; }").arg(tw.px(270)));
    qLabel1 = bigLabel(tw, card, QStringLiteral("qLabel1"), {}, 300, 750, 3900, 2550, 110);
    Label6 = bigLabel(tw, card, QStringLiteral("Label6"), QStringLiteral("×"), 4200, 750, 1500, 2550, 80);
    qlabel2 = bigLabel(tw, card, QStringLiteral("qlabel2"), {}, 5700, 750, 3900, 2550, 110);
    Label11 = bigLabel(tw, card, QStringLiteral("Label11"), QStringLiteral("="), 300, 3750, 1500, 2250, 80);
    Label11->setVisible(false);
    inputLabel = bigLabel(tw, card, QStringLiteral("inputLabel"), {}, 1800, 3750, 4500, 2250, 100);
    inputLabel->setAccessibleName(QStringLiteral("答え"));
    inputLabel->setStyleSheet(QStringLiteral("color: #1a3d8f; border-bottom: %1px solid #1a3d8f;").arg(tw.px(60)));
    seitouLabel = bigLabel(tw, card, QStringLiteral("seitouLabel"), {}, 6450, 3750, 3300, 2250, 80);
    seitouLabel->setStyleSheet(QStringLiteral("color: #d01010;"));
    seitouLabel->setVisible(false);
    Commandkakunin2 = bigLabel(tw, card, QStringLiteral("Commandkakunin2"), QStringLiteral("+を２回押しなさい"), 300,
                               6300, 9300, 900, 30);
    Commandkakunin2->setStyleSheet(QStringLiteral("color: #d01010;"));
    Commandkakunin2->setVisible(false);
    Label1 =
        bigLabel(tw, card, QStringLiteral("Label1"), QStringLiteral("判定＝スペースキー"), 300, 7350, 9300, 750, 22);
    Label1->setStyleSheet(QStringLiteral("color: #555;"));

    // The status panel.
    sPicture1 = new QFrame(form);
    sPicture1->setObjectName(QStringLiteral("sPicture1"));
    sPicture1->setAccessibleName(QStringLiteral("成績"));
    sPicture1->setGeometry(tw.rect(10650, 600, 4350, 8400));
    sPicture1->setStyleSheet(
        QStringLiteral("QFrame#sPicture1 { background: rgba(255,255,255,200); border-radius: %1px; }").arg(tw.px(210)));
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    sLabel2 = bigLabel(tw, sPicture1, QStringLiteral("sLabel2"), {}, 150, 150, 4050, 750, 16.8);
    sLabel3 =
        bigLabel(tw, sPicture1, QStringLiteral("sLabel3"), QStringLiteral("レベル"), 225, 1125, 1500, 660, 18, left);
    sLabel8 = bigLabel(tw, sPicture1, QStringLiteral("sLabel8"), {}, 1650, 1125, 2550, 660, 20, left);
    sLabel4 =
        bigLabel(tw, sPicture1, QStringLiteral("sLabel4"), QStringLiteral("残り"), 225, 1950, 1500, 900, 18, left);
    sLabel9 = bigLabel(tw, sPicture1, QStringLiteral("sLabel9"), {}, 1500, 1875, 1650, 1050, 40, right);
    sLabel6 = bigLabel(tw, sPicture1, QStringLiteral("sLabel6"), QStringLiteral("問"), 3225, 1950, 900, 900, 18, left);
    sLabel5 =
        bigLabel(tw, sPicture1, QStringLiteral("sLabel5"), QStringLiteral("タイム"), 225, 3075, 1500, 900, 18, left);
    sLabel10 = bigLabel(tw, sPicture1, QStringLiteral("sLabel10"), {}, 1500, 3000, 1650, 1050, 40, right);
    bigLabel(tw, sPicture1, QStringLiteral("sLabel15"), QStringLiteral("秒"), 3225, 3075, 900, 900, 18, left);
    sLabel7 = bigLabel(tw, sPicture1, QStringLiteral("sLabel7"), {}, 150, 4350, 4050, 660, 20);
    sLabel14 = bigLabel(tw, sPicture1, QStringLiteral("sLabel14"), {}, 150, 5025, 4050, 510, 13);
    const QString texts[6] = {QStringLiteral("このレベル"), QStringLiteral("回目"),   QStringLiteral("本日"),
                              QStringLiteral("回目"),       QStringLiteral("起動後"), QStringLiteral("分")};
    for (int i = 0; i < 6; ++i) {
        const int row = i / 2;
        const bool first = i % 2 == 0;
        sLabel16.push_back(bigLabel(tw, sPicture1, QStringLiteral("sLabel16_%1").arg(i), texts[i], first ? 225 : 3075,
                                    5850 + row * 780, first ? 1800 : 1050, 660, 15, left));
    }
    sLabel11 = bigLabel(tw, sPicture1, QStringLiteral("sLabel11"), {}, 2025, 5850, 975, 660, 20, right);
    sLabel12 = bigLabel(tw, sPicture1, QStringLiteral("sLabel12"), {}, 2025, 6630, 975, 660, 20, right);
    sLabel13 = bigLabel(tw, sPicture1, QStringLiteral("sLabel13"), {}, 2025, 7410, 975, 660, 20, right);

    // The time bar: the whole bar is the time limit; marks at the target and pass line.
    sShape5 = bar(tw, form, QStringLiteral("sShape5"), QStringLiteral("時間切れまで"),
                  QStringLiteral("background: white; border: %1px solid #333;").arg(tw.px(30)));
    sShape5->setGeometry(tw.rect(kBarLeft, kBarTop, kBarWidth, kBarHeight));
    sShape4 = bar(tw, form, QStringLiteral("sShape4"), QStringLiteral("合格ライン"),
                  QStringLiteral("background: rgba(255,170,0,70); border-right: %1px solid #e08000;").arg(tw.px(75)));
    sShape3 = bar(tw, form, QStringLiteral("sShape3"), QStringLiteral("目標タイム"),
                  QStringLiteral("background: rgba(0,170,60,70); border-right: %1px solid #008a30;").arg(tw.px(75)));
    sShape2 = bar(tw, form, QStringLiteral("sShape2"), QStringLiteral("経過時間"),
                  QStringLiteral("background: rgba(30,80,200,170);"));
    sShape7 = bar(tw, form, QStringLiteral("sShape7"), QString(), QStringLiteral("background: transparent;"));
    auto *legend = bigLabel(tw, form, QStringLiteral("barLegend"),
                            QStringLiteral("緑＝目標タイム　　橙＝合格ライン　　右はし＝時間切れ"), kBarLeft,
                            kBarTop + kBarHeight + 120, kBarWidth, 450, 13, left);
    legend->setStyleSheet(QStringLiteral("color: #222;"));

    // The end-of-run overlay.
    sPicture2 = new QFrame(form);
    sPicture2->setObjectName(QStringLiteral("sPicture2"));
    sPicture2->setGeometry(tw.rect(0, 0, 15360, 11520));
    sPicture2->setStyleSheet(QStringLiteral("QFrame#sPicture2 { background: rgba(255,255,255,225); }"));
    lblsss2 = bigLabel(tw, sPicture2, QStringLiteral("lblsss2"), QStringLiteral("時間切れ"), 0, 3750, 15360, 2400, 80);
    lblsss2->setStyleSheet(QStringLiteral("color: #d01010;"));
    lblsss1 =
        bigLabel(tw, sPicture2, QStringLiteral("lblsss1"), QStringLiteral("成績記録中"), 0, 3750, 15360, 2400, 60);
    lblsss3 = bigLabel(tw, sPicture2, QStringLiteral("lblsss3"), {}, 0, 6300, 15360, 1500, 20);
    lblsss3->setWordWrap(true);
    lblsss3->setVisible(false);
    Commandkakunin = new QPushButton(QStringLiteral("確認"), sPicture2);
    Commandkakunin->setObjectName(QStringLiteral("Commandkakunin"));
    Commandkakunin->setVisible(false);
    CmdOK = new QPushButton(QStringLiteral("O.K."), sPicture2);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setVisible(false);
    sPicture2->setVisible(false);

    for (QWidget *w : findChildren<QWidget *>())
        w->setFocusPolicy(Qt::NoFocus);

    m_run =
        std::make_unique<DrillRun>(ctx.state, ctx.sound, ctx.clock, ctx.random, *this, static_cast<double>(kBarWidth));
    sTimer1.setInterval(1000);
    sTimer2.setInterval(10000);
    Timer1.setInterval(1000);
    Timer2.setInterval(2000);
    connect(&sTimer1, &QTimer::timeout, this, [this] { m_run->sTimer1_Timer(); });
    connect(&sTimer2, &QTimer::timeout, this, [this] { m_run->sTimer2_Timer(); });
    connect(&Timer1, &QTimer::timeout, this, [this] { Label1->setVisible(true); });
    connect(&Timer2, &QTimer::timeout, this, [this] { Timer2.stop(); });
    connect(Commandkakunin, &QPushButton::clicked, this, [this] { m_run->Commandkakunin_Click(); });
    sTimer2.start();
    m_run->Form_Load();
}

DrillScreen::~DrillScreen() = default;

void DrillScreen::Form_Activate()
{
    if (m_activated)
        return;
    m_activated = true;
    sPicture2->move(0, 0); // the top-left corner of the form area
    setFocus();
    m_run->Form_Activate();
}

void DrillScreen::refresh()
{
    const DrillView &v = m_run->view;
    qLabel1->setText(v.qLabel1);
    qlabel2->setText(v.qlabel2);
    if (inputLabel->text() != v.inputLabel) {
        inputLabel->setText(v.inputLabel);
        // Read as "答え 40": the typed answer under its name.
        inputLabel->setAccessibleName(v.inputLabel.isEmpty() ? QStringLiteral("答え")
                                                             : QStringLiteral("答え ") + v.inputLabel);
    }
    if (v.judgements != m_judgementsTold) {
        m_judgementsTold = v.judgements;
        announce(this, v.judgement);
    }
    Label11->setVisible(v.Label11Visible);
    seitouLabel->setText(v.seitouLabel);
    seitouLabel->setVisible(v.seitouLabelVisible);
    Commandkakunin2->setVisible(v.Commandkakunin2Visible);
    sLabel2->setText(v.sLabel2);
    if (m_titlePoints != v.sLabel2PointSize) {
        m_titlePoints = v.sLabel2PointSize;
        sLabel2->setFont(scale().digitFont(m_titlePoints));
    }
    if (sLabel7->text() != v.sLabel7) // a long name is made smaller, never cut
        setTextFitting(sLabel7, v.sLabel7, scale().digitFont(20), scale().points(8));
    sLabel8->setText(v.sLabel8);
    sLabel9->setText(v.sLabel9);
    sLabel10->setText(v.sLabel10);
    sLabel11->setText(v.sLabel11);
    sLabel12->setText(v.sLabel12);
    sLabel13->setText(v.sLabel13);
    sLabel14->setText(v.sLabel14);
    // The run gives the bars' widths in twips of the time bar.
    auto place = [&](QFrame *f, double width) {
        f->setGeometry(scale().rect(kBarLeft, kBarTop, width, kBarHeight));
        f->setVisible(f->width() >= 1);
    };
    place(sShape3, v.sShape3Width);
    place(sShape4, v.sShape4Width);
    place(sShape2, v.sShape2Width);
    place(sShape7, v.sShape7Width);
    sPicture2->setVisible(v.sPicture2Visible);
    lblsss1->setVisible(v.lblsss1Visible);
    lblsss2->setVisible(v.lblsss2Visible);
    lblsss3->setText(v.lblsss3);
    lblsss3->setAccessibleName(v.lblsss3);
    lblsss3->setVisible(!v.lblsss3.isEmpty());
    if (v.sTimer1Enabled && !sTimer1.isActive())
        sTimer1.start();
    else if (!v.sTimer1Enabled && sTimer1.isActive())
        sTimer1.stop();
}

void DrillScreen::repaintNow()
{
    refresh();
    repaint();
}

void DrillScreen::letEventsRun() { tobrel::letEventsRun(); }

void DrillScreen::unloadHubAndWaitForm()
{
    ctx.forms->unload(FormName::seisekitime1);
    ctx.forms->unload(FormName::BASEFRM);
}

void DrillScreen::EndRun()
{
    SharedState &state = ctx.state;
    tobrel::letEventsRun();
    if (!BeginEndRun(state))
        return;
    DrillView &v = m_run->view;
    v.sPicture2Visible = true;
    v.lblsss2Visible = state.run.TimeUp == 1;
    v.lblsss1Visible = state.run.TimeUp != 1;
    refresh();
    sPicture2->raise();
    repaint();
    tobrel::letEventsRun();

    v.sTimer1Enabled = false;
    refresh();
    const ResultsFile file = sharedResultsFile(state, ctx.wait);
    AppendWait wait;
    wait.giveUpAfter = kRecordingGiveUpSeconds;
    wait.waiting = [this](int seconds, bool locked) {
        m_run->view.lblsss3 = recordingWaitText(seconds, locked);
        refresh();
    };
    const AppendOutcome outcome = RecordRun(state, ctx.clock, file, state.run.CurrentLevel, wait);
    v.lblsss3.clear();
    refresh();
    if (outcome.status == AppendOutcome::Failed) {
        ctx.messages.critical(this, QStringLiteral("Tobrel"),
                              QStringLiteral("成績を記録できませんでした。先生を呼びなさい。\n\n") + outcome.message);
        ctx.forms->closeAll();
        ctx.exit(1);
        return;
    }
    if (outcome.status == AppendOutcome::KeptPending)
        ctx.messages.information(this, QStringLiteral("Tobrel"), keptOnThisPcText(outcome.message));
    // The run is recorded: a sound that failed during it may now be reported.
    ctx.sound.reportHeldFailure();
    ctx.forms->show(FormName::BASEFRM);
    tobrel::letEventsRun();
    WaitSeconds(ctx.clock, 1, [] { tobrel::letEventsRun(); });
    ctx.forms->unload(objectName());
    ctx.forms->show(FormName::FrmSyuuryou);
}

void DrillScreen::keyPressEvent(QKeyEvent *event)
{
    QChar key;
    if (event->key() == Qt::Key_Backspace)
        key = QChar(8);
    else if (!event->text().isEmpty())
        key = event->text().at(0);
    else
        return Screen::keyPressEvent(event);
    m_run->Form_KeyPress(key);
}

void StartRun(AppContext &ctx)
{
    ResetRunFlags(ctx.state);
    letEventsRun();
    ctx.forms->show(FormName::MainFrm);
}

} // namespace tobrel
