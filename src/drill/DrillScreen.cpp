#include "drill/DrillScreen.h"

#include "state/SharedState.h"
#include "drill/EndOfRun.h"
#include "results/Tally.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace tobrel {
namespace {

// Layout of the screen, in pixels (1024 x 768).
constexpr int kBarLeft = 40, kBarTop = 640, kBarWidth = 944, kBarHeight = 44;

QLabel *bigLabel(QWidget *parent, const QString &name, const QString &text, int x, int y, int w,
                 int h, double pt, Qt::Alignment align = Qt::AlignCenter)
{
    QLabel *l = makeLabel(parent, name, text);
    l->setGeometry(x, y, w, h);
    l->setFont(screenFont(pt));
    l->setAlignment(align);
    return l;
}

QFrame *bar(QWidget *parent, const QString &name, const QString &spoken, const QString &style)
{
    auto *f = new QFrame(parent);
    f->setObjectName(name);
    f->setAccessibleName(spoken);
    f->setStyleSheet(QStringLiteral("QFrame#%1 { %2 }").arg(name, style));
    f->setGeometry(kBarLeft, kBarTop, 0, kBarHeight);
    return f;
}

} // namespace

DrillScreen::DrillScreen(AppContext &context) : Screen(context, QStringLiteral("MainFrm"))
{
    setWindowTitle(QStringLiteral("velmora"));
    placeFullScreen(this);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colourFromBgr(ctx.state.profile.ScreenColour));
    setPalette(pal);

    // The problem: N × N in large digits on a white card.
    auto *card = new QFrame(this);
    card->setObjectName(QStringLiteral("problemCard"));
    card->setGeometry(30, 40, 660, 560);
    card->setStyleSheet(QStringLiteral("QFrame#problemCard { background: white; border-radius: 18px; }"));
    qLabel1 = bigLabel(card, QStringLiteral("qLabel1"), {}, 20, 50, 260, 170, 110);
    Label6 = bigLabel(card, QStringLiteral("Label6"), QStringLiteral("×"), 280, 50, 100, 170, 80);
    qlabel2 = bigLabel(card, QStringLiteral("qlabel2"), {}, 380, 50, 260, 170, 110);
    Label11 = bigLabel(card, QStringLiteral("Label11"), QStringLiteral("="), 20, 250, 100, 150, 80);
    Label11->setVisible(false);
    inputLabel = bigLabel(card, QStringLiteral("inputLabel"), {}, 120, 250, 300, 150, 100);
    inputLabel->setStyleSheet(QStringLiteral("color: #1a3d8f; border-bottom: 4px solid #1a3d8f;"));
    seitouLabel = bigLabel(card, QStringLiteral("seitouLabel"), {}, 430, 250, 220, 150, 80);
    seitouLabel->setStyleSheet(QStringLiteral("color: #d01010;"));
    seitouLabel->setVisible(false);
    Commandkakunin2 = bigLabel(card, QStringLiteral("Commandkakunin2"),
                               QStringLiteral("+を２回押しなさい"), 20, 420, 620, 60, 30);
    Commandkakunin2->setStyleSheet(QStringLiteral("color: #d01010;"));
    Commandkakunin2->setVisible(false);
    Label1 = bigLabel(card, QStringLiteral("Label1"), QStringLiteral("判定＝スペースキー"), 20, 490,
                      620, 50, 22);
    Label1->setStyleSheet(QStringLiteral("color: #555;"));

    // The status panel.
    sPicture1 = new QFrame(this);
    sPicture1->setObjectName(QStringLiteral("sPicture1"));
    sPicture1->setAccessibleName(QStringLiteral("成績"));
    sPicture1->setGeometry(710, 40, 290, 560);
    sPicture1->setStyleSheet(QStringLiteral("QFrame#sPicture1 { background: rgba(255,255,255,200); border-radius: 14px; }"));
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    sLabel2 = bigLabel(sPicture1, QStringLiteral("sLabel2"), {}, 10, 10, 270, 50, 16.8);
    sLabel3 = bigLabel(sPicture1, QStringLiteral("sLabel3"), QStringLiteral("レベル"), 15, 75, 100, 44, 18, left);
    sLabel8 = bigLabel(sPicture1, QStringLiteral("sLabel8"), {}, 110, 75, 170, 44, 20, left);
    sLabel4 = bigLabel(sPicture1, QStringLiteral("sLabel4"), QStringLiteral("残り"), 15, 130, 100, 60, 18, left);
    sLabel9 = bigLabel(sPicture1, QStringLiteral("sLabel9"), {}, 100, 125, 110, 70, 40, right);
    sLabel6 = bigLabel(sPicture1, QStringLiteral("sLabel6"), QStringLiteral("問"), 215, 130, 60, 60, 18, left);
    sLabel5 = bigLabel(sPicture1, QStringLiteral("sLabel5"), QStringLiteral("タイム"), 15, 205, 100, 60, 18, left);
    sLabel10 = bigLabel(sPicture1, QStringLiteral("sLabel10"), {}, 100, 200, 110, 70, 40, right);
    bigLabel(sPicture1, QStringLiteral("sLabel15"), QStringLiteral("秒"), 215, 205, 60, 60, 18, left);
    sLabel7 = bigLabel(sPicture1, QStringLiteral("sLabel7"), {}, 10, 290, 270, 44, 20);
    sLabel14 = bigLabel(sPicture1, QStringLiteral("sLabel14"), {}, 10, 335, 270, 34, 13);
    const QString texts[6] = {QStringLiteral("このレベル"), QStringLiteral("回目"), QStringLiteral("本日"),
                              QStringLiteral("回目"), QStringLiteral("起動後"), QStringLiteral("分")};
    for (int i = 0; i < 6; ++i) {
        const int row = i / 2;
        const bool first = i % 2 == 0;
        sLabel16.push_back(bigLabel(sPicture1, QStringLiteral("sLabel16_%1").arg(i), texts[i],
                                    first ? 15 : 205, 390 + row * 52, first ? 120 : 70, 44, 15, left));
    }
    sLabel11 = bigLabel(sPicture1, QStringLiteral("sLabel11"), {}, 135, 390, 65, 44, 20, right);
    sLabel12 = bigLabel(sPicture1, QStringLiteral("sLabel12"), {}, 135, 442, 65, 44, 20, right);
    sLabel13 = bigLabel(sPicture1, QStringLiteral("sLabel13"), {}, 135, 494, 65, 44, 20, right);

    // The time bar: the whole bar is the time limit; marks at the target and pass line.
    sShape5 = bar(this, QStringLiteral("sShape5"), QStringLiteral("時間切れまで"), QStringLiteral("background: white; border: 2px solid #333;"));
    sShape5->setGeometry(kBarLeft, kBarTop, kBarWidth, kBarHeight);
    sShape4 = bar(this, QStringLiteral("sShape4"), QStringLiteral("合格ライン"),
                  QStringLiteral("background: rgba(255,170,0,70); border-right: 5px solid #e08000;"));
    sShape3 = bar(this, QStringLiteral("sShape3"), QStringLiteral("目標タイム"),
                  QStringLiteral("background: rgba(0,170,60,70); border-right: 5px solid #008a30;"));
    sShape2 = bar(this, QStringLiteral("sShape2"), QStringLiteral("経過時間"), QStringLiteral("background: rgba(30,80,200,170);"));
    sShape7 = bar(this, QStringLiteral("sShape7"), QString(), QStringLiteral("background: transparent;"));
    auto *legend = bigLabel(this, QStringLiteral("barLegend"),
                            QStringLiteral("緑＝目標タイム　　橙＝合格ライン　　右はし＝時間切れ"),
                            kBarLeft, kBarTop + kBarHeight + 8, kBarWidth, 30, 13, left);
    legend->setStyleSheet(QStringLiteral("color: #222;"));

    // The end-of-run overlay.
    sPicture2 = new QFrame(this);
    sPicture2->setObjectName(QStringLiteral("sPicture2"));
    
    sPicture2->setGeometry(0, 0, 1024, 768);
    sPicture2->setStyleSheet(QStringLiteral("QFrame#sPicture2 { background: rgba(255,255,255,225); }"));
    lblsss2 = bigLabel(sPicture2, QStringLiteral("lblsss2"), QStringLiteral("時間切れ"), 0, 250, 1024, 160, 80);
    lblsss2->setStyleSheet(QStringLiteral("color: #d01010;"));
    lblsss1 = bigLabel(sPicture2, QStringLiteral("lblsss1"), QStringLiteral("成績記録中"), 0, 250, 1024, 160, 60);
    Commandkakunin = new QPushButton(QStringLiteral("確認"), sPicture2);
    Commandkakunin->setObjectName(QStringLiteral("Commandkakunin"));
    Commandkakunin->setVisible(false);
    CmdOK = new QPushButton(QStringLiteral("O.K."), sPicture2);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setVisible(false);
    sPicture2->setVisible(false);

    for (QWidget *w : findChildren<QWidget *>())
        w->setFocusPolicy(Qt::NoFocus);

    m_run = std::make_unique<DrillRun>(ctx.state, ctx.sound, ctx.clock, ctx.random, *this,
                                       static_cast<double>(kBarWidth));
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
    sPicture2->move(0, 0);
    setFocus();
    m_run->Form_Activate();
}

void DrillScreen::refresh()
{
    const DrillView &v = m_run->view;
    qLabel1->setText(v.qLabel1);
    qlabel2->setText(v.qlabel2);
    inputLabel->setText(v.inputLabel);
    Label11->setVisible(v.Label11Visible);
    seitouLabel->setText(v.seitouLabel);
    seitouLabel->setVisible(v.seitouLabelVisible);
    Commandkakunin2->setVisible(v.Commandkakunin2Visible);
    sLabel2->setText(v.sLabel2);
    if (sLabel2->font().pointSizeF() != v.sLabel2PointSize)
        sLabel2->setFont(screenFont(v.sLabel2PointSize));
    sLabel7->setText(v.sLabel7);
    sLabel8->setText(v.sLabel8);
    sLabel9->setText(v.sLabel9);
    sLabel10->setText(v.sLabel10);
    sLabel11->setText(v.sLabel11);
    sLabel12->setText(v.sLabel12);
    sLabel13->setText(v.sLabel13);
    sLabel14->setText(v.sLabel14);
    const QRect whole = sShape5->geometry();
    auto place = [&](QFrame *f, double width) {
        f->setGeometry(whole.x(), whole.y(), static_cast<int>(width + 0.5), whole.height());
        f->setVisible(width >= 1);
    };
    place(sShape3, v.sShape3Width);
    place(sShape4, v.sShape4Width);
    place(sShape2, v.sShape2Width);
    place(sShape7, v.sShape7Width);
    sPicture2->setVisible(v.sPicture2Visible);
    lblsss1->setVisible(v.lblsss1Visible);
    lblsss2->setVisible(v.lblsss2Visible);
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
    ctx.forms->unload(QStringLiteral("seisekitime1"));
    ctx.forms->unload(QStringLiteral("BASEFRM"));
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
    const ResultsFile file(resultsFilePath(state), ctx.wait);
    const QString error = RecordRun(state, ctx.clock, file, state.run.CurrentLevel);
    if (!error.isEmpty()) {
        ctx.messages.critical(this, QStringLiteral("Tobrel"),
                              QStringLiteral("成績を記録できませんでした。先生を呼びなさい。\n\n") + error);
        ctx.forms->closeAll();
        ctx.exit(1);
        return;
    }
    ctx.forms->show(QStringLiteral("BASEFRM"));
    tobrel::letEventsRun();
    WaitSeconds(ctx.clock, 1, [] { tobrel::letEventsRun(); });
    ctx.forms->unload(objectName());
    ctx.forms->show(QStringLiteral("FrmSyuuryou"));
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
    ctx.forms->show(QStringLiteral("MainFrm"));
}

} // namespace tobrel
