#include "hub/HubScreen.h"

#include "state/LoginMinutes.h"
#include "state/SharedState.h"
#include "drill/DrillScreen.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "text/DataFileError.h"
#include "ui/LineListModel.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <cmath>
#include <memory>

namespace tobrel {
namespace {

// Rows of a column, in pixels from the top of the screen.
constexpr int kLabel5Top = 108, kLabel5Height = 26;
constexpr int kColumnTop = kLabel5Top + (kLabel5Height * 105) / 100;
constexpr int kBadgeHeight = 30, kButtonTop = kColumnTop + 33, kButtonHeight = 44;
constexpr int kHeadingTop = kButtonTop + 47, kRowHeight = 21;
constexpr int kValueTop = kHeadingTop + kRowHeight, kPassTop = kValueTop + kRowHeight + 2;
constexpr int kListTop = kPassTop + kRowHeight + 2, kListHeight = 400;
constexpr int kCriteriaTop = kListTop + kListHeight + 2;
constexpr int kScrollTop = kCriteriaTop + kRowHeight + 4, kScrollHeight = 22;
constexpr int kFormWidth = 1024, kFormHeight = 768;

QLabel *label(QWidget *parent, const QString &name, double pt, const QString &text = {})
{
    QLabel *l = makeLabel(parent, name, text);
    l->setFont(screenFont(pt));
    return l;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &text, double pt = 13)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(text).remove(u'&'));
    b->setFont(screenFont(pt));
    return b;
}

// A panel with a centred message and a progress bar.
QFrame *waitPanel(QWidget *parent, const QString &name, const QString &labelName, double pt, const QString &text,
                  const QString &barName, QLabel *&message, QProgressBar *&bar)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setAutoFillBackground(true);
    message = label(panel, labelName, pt, text);
    message->setAlignment(Qt::AlignCenter);
    bar = new QProgressBar(panel);
    bar->setObjectName(barName);
    return panel;
}

QString indexed(const char *name, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i); }

} // namespace

HubScreen::HubScreen(AppContext &context) : Screen(context, QStringLiteral("seisekitime1"))
{
    setWindowTitle(QStringLiteral("velmora"));
    placeFullScreen(this);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    Label11 = label(this, QStringLiteral("Label11"), 24);
    Label11->setGeometry(16, 6, 230, 46);
    Label12 = label(this, QStringLiteral("Label12"), 22);
    Label12->setGeometry(250, 6, 380, 40);
    Label13 = label(this, QStringLiteral("Label13"), 12);
    Label13->setGeometry(252, 44, 380, 20);
    Label17 = label(this, QStringLiteral("Label17"), 12);
    Label17->setGeometry(640, 8, 200, 22);
    Label18 = label(this, QStringLiteral("Label18"), 12);
    Label18->setGeometry(640, 32, 200, 22);
    Command1 = button(this, QStringLiteral("Command1"), QStringLiteral("戻る(0)"), 16);
    Command1->setGeometry(890, 8, 118, 52);
    Command8 = button(this, QStringLiteral("Command8"), QStringLiteral("データ処理"));
    Command8->setGeometry(770, 8, 110, 52);
    Command8->setVisible(false);
    Command27 = button(this, QStringLiteral("Command27"), QStringLiteral("印刷"));
    Command27->setVisible(false);
    Command26 = button(this, QStringLiteral("Command26"), QStringLiteral("表示１"));
    Command26->setVisible(false);
    Command17 = button(this, QStringLiteral("Command17"), QStringLiteral("グラフ"));
    Command17->setGeometry(768, 66, 90, 34);
    Command17->setVisible(false);

    // Display kind, view buttons, grade filter and period.
    const QString kinds[3] = {QStringLiteral("ﾀｲﾑ表示"), QStringLiteral("ﾎﾟｲﾝﾄ表示"), QStringLiteral("個人ﾀｲﾑ")};
    auto *kindGroup = new QButtonGroup(this);
    for (int k = 0; k < 3; ++k) {
        auto *r = new QRadioButton(kinds[k], this);
        r->setObjectName(indexed("Option2", k));
        r->setAccessibleName(kinds[k]);
        r->setFont(screenFont(12));
        r->setGeometry(16 + k * 96, 70, 94, 28);
        kindGroup->addButton(r, k);
        Option2.push_back(r);
    }
    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(304, 64, 312, 40);
    Picture1->setFrameShape(QFrame::StyledPanel);
    const QString views[3] = {QStringLiteral("BEST表示"), QStringLiteral("本日のみ"), QStringLiteral("オール表示")};
    auto *viewGroup = new QButtonGroup(this);
    Option1.push_back(nullptr);
    for (int v = 1; v <= 3; ++v) {
        auto *r = new QRadioButton(views[v - 1], Picture1);
        r->setObjectName(indexed("Option1", v));
        r->setAccessibleName(views[v - 1]);
        r->setFont(screenFont(11));
        r->setGeometry(4 + (v - 1) * 102, 6, 100, 28);
        viewGroup->addButton(r, v);
        Option1.push_back(r);
    }
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setAccessibleName(QStringLiteral("学年"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setToolTip(QStringLiteral("表示する学年を選びます"));
    Combo1->setFont(screenFont(12));
    Combo1->setGeometry(622, 66, 140, 34);
    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setAccessibleName(QStringLiteral("期間"));
    Combo2->setFont(screenFont(12));
    Combo2->setGeometry(768, 66, 240, 34);
    Combo2->setVisible(false);

    Label5 = label(this, QStringLiteral("Label5"), 14);
    Label5->setGeometry(16, kLabel5Top, 990, kLabel5Height);
    Label6 = label(this, QStringLiteral("Label6"), 11, QStringLiteral("GRPH+A,B,C,D..でも選択できます。"));
    Label6->setGeometry(16, kScrollTop + kScrollHeight + 4, 600, 20);

    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    HScroll1->setAccessibleName(QStringLiteral("レベルの列"));
    HScroll1->setGeometry(20, kScrollTop, 922, kScrollHeight);
    HScroll1->setMinimum(1);
    HScroll1->setPageStep(1);
    HScroll1->setVisible(false);

    // Panels: the cover while the screen is built, the wait panel while a view is
    // built, the teacher panel and the result-sheet panel (opened by later parts).
    Picture2 = waitPanel(this, QStringLiteral("Picture2"), QStringLiteral("Label19"), 24,
                         QStringLiteral("Just a moment, please."), QStringLiteral("ProgressBar1"), Label19,
                         ProgressBar1);
    Picture6 = waitPanel(this, QStringLiteral("Picture6"), QStringLiteral("Label21"), 20,
                         QStringLiteral("Just a momento, please."), QStringLiteral("ProgressBar2"), Label21,
                         ProgressBar2);
    Picture6->setVisible(false);
    Picture7 = new QFrame(this);
    Picture7->setObjectName(QStringLiteral("Picture7"));
    Picture7->setGeometry(324, 240, 403, 263);
    Picture7->setVisible(false);
    Command12 = button(Picture7, QStringLiteral("Command12"), QStringLiteral("戻る"));
    Picture11 = new QFrame(this);
    Picture11->setObjectName(QStringLiteral("Picture11"));
    Picture11->setVisible(false);
    Command18 = button(Picture11, QStringLiteral("Command18"), QStringLiteral("戻る"));

    connect(kindGroup, &QButtonGroup::idClicked, this, [this](int k) { Option2_Click(k); });
    connect(viewGroup, &QButtonGroup::idClicked, this, [this](int v) { Option1_Click(v); });
    connect(Combo1, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
    connect(Combo2, &QComboBox::activated, this, [this](int) { Combo2_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command8, &QPushButton::clicked, this, [this] {
        Picture7->setVisible(true);
        Picture7->raise();
    });
    connect(Command12, &QPushButton::clicked, this, [this] { Picture7->setVisible(false); });
    connect(Command18, &QPushButton::clicked, this, [this] { Picture11->setVisible(false); });
    connect(HScroll1, &QScrollBar::valueChanged, this, [this](int) { HScroll1_Change(); });

    Form_Load();
}

int HubScreen::columnWidth() const
{
    return static_cast<int>(std::lround(columnWidthTwips(ctx.state.profile.LevelCount) / 15.0));
}

void HubScreen::Form_Load()
{
    SharedState &state = ctx.state;
    state.hub.ResultPeriod = Variant(3);
    const QColor season = colourFromBgr(state.profile.ScreenColour);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, season);
    setPalette(pal);
    Picture2->setPalette(pal);
    Picture6->setPalette(pal);

    const int n = state.profile.LevelCount;
    const int W = columnWidth();
    if (n > 4) {
        HScroll1->setVisible(true);
        HScroll1->setMaximum(n - 3);
    }

    Combo1->addItems(gradeFilterTexts());
    Combo1->setCurrentText(state.roster.SelectedGradeFilter.isEmpty() ? QStringLiteral("全学年")
                                                                        : state.roster.SelectedGradeFilter);
    Combo2->addItems({QStringLiteral("　　　今週の全成績"), QStringLiteral("　　先週からの全成績"),
                      QStringLiteral("　　１ヶ月間の全成績"), QStringLiteral("　　１年間の全成績"),
                      QStringLiteral("　　今までの全成績\"")});
    Combo2->setCurrentIndex(2);

    const int margin = static_cast<int>(std::lround(0.02 * kFormWidth));
    const int badge = W / 5;
    const QFont listFace = [] {
        QFont f = listFont();
        f.setPixelSize(14);
        return f;
    }();
    const int s = state.student.CurrentStudent;
    for (int i = 0; i <= n; ++i) {
        const int x = (i == 0 ? 0 : i - 1) * W + margin;
        auto *badgeLabel = label(this, indexed("Label1", i), 14, QString::number(i));
        badgeLabel->setGeometry(x, kColumnTop, badge, kBadgeHeight);
        badgeLabel->setAlignment(Qt::AlignCenter);
        badgeLabel->setStyleSheet(QStringLiteral("background: #1a3d8f; color: white; border-radius: 6px;"));
        auto *name = label(this, indexed("Label3", i), 14);
        name->setGeometry(x + badge, kColumnTop, W - badge, kBadgeHeight);
        name->setCursor(Qt::PointingHandCursor);
        auto *start = button(this, indexed("Command4", i), startButtonCaption(i), 16);
        start->setGeometry(x, kButtonTop, W - 4, kButtonHeight);
        start->setToolTip(QStringLiteral("クリックしてスタートします。番号を押してもよろしい"));
        auto *practice = button(this, indexed("Command28", i), QStringLiteral("練習"));
        practice->setGeometry(x + W - 4 - W / 5, kButtonTop, W / 5, kButtonHeight);
        practice->setVisible(false);
        auto *explain = button(this, indexed("Command30", i), QStringLiteral("★解説★"));
        explain->setGeometry(x, kButtonTop, W / 2, kButtonHeight);
        explain->setVisible(false);
        auto *notice = label(this, indexed("Text1", i), 16, QStringLiteral("やりすぎ禁止"));
        notice->setGeometry(x, kButtonTop, W - 4, kButtonHeight);
        notice->setAlignment(Qt::AlignCenter);
        notice->setStyleSheet(QStringLiteral("background: #fff0f0; color: #c00000; border: 2px solid #c00000;"));
        notice->setVisible(false);
        auto *head9 = label(this, indexed("Label9", i), 11, QString::number(i));
        head9->setGeometry(x, kHeadingTop, W / 2, kRowHeight);
        auto *head10 = label(this, indexed("Label10", i), 11, QString::number(i));
        head10->setGeometry(x + W / 2, kHeadingTop, W / 2, kRowHeight);
        auto *value14 = label(this, indexed("Label14", i), 12);
        value14->setGeometry(x, kValueTop, W / 2, kRowHeight);
        auto *value15 = label(this, indexed("Label15", i), 12);
        value15->setGeometry(x + W / 2, kValueTop, W / 2, kRowHeight);
        auto *pass = label(this, indexed("Label8", i), 11);
        pass->setGeometry(x, kPassTop, W - 4, kRowHeight);
        auto *list = new QListView(this);
        auto *lines = new LineListModel(list);
        list->setModel(lines);
        list->setUniformItemSizes(true);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setObjectName(indexed("List5", i));
        list->setAccessibleName(state.profile.LevelNames[i].isEmpty() ? indexed("List5", i)
                                                                       : state.profile.LevelNames[i]);
        list->setFont(listFace);
        list->setGeometry(x, kListTop, W - 4, kListHeight);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto *crit = label(this, indexed("Label7", i), 11);
        crit->setGeometry(x, kCriteriaTop, W - 4, kRowHeight);
        auto *show = button(this, indexed("Command3", i), QStringLiteral("成績表示"));
        show->setVisible(false);
        auto *reset = button(this, indexed("Command2", i), QStringLiteral("タイム初期化"));
        reset->setVisible(false);

        Label1.push_back(badgeLabel);
        Label3.push_back(name);
        Command4.push_back(start);
        Command28.push_back(practice);
        Command30.push_back(explain);
        Text1.push_back(notice);
        Label9.push_back(head9);
        Label10.push_back(head10);
        Label14.push_back(value14);
        Label15.push_back(value15);
        Label8.push_back(pass);
        List5.push_back(list);
        List5Lines.push_back(lines);
        Label7.push_back(crit);
        Command3.push_back(show);
        Command2.push_back(reset);

        if (i == 0) {
            // The template column is never shown.
            for (QWidget *w : std::initializer_list<QWidget *>{badgeLabel, name, start, head9, head10, value14,
                                                               value15, pass, list, crit})
                w->setVisible(false);
            continue;
        }
        name->setText(state.profile.LevelNames[i]);
        name->setToolTip(state.profile.LevelNames[i]);
        if (state.profile.LevelTimed[i] == 1)
            pass->setText(passWindowLine(state, i, s));
        crit->setText(criteriaLine(state, i));
        list->raise();
        connect(start, &QPushButton::clicked, this, [this, i] { Command4_Click(i); });
    }

    Picture2->setGeometry(0, 0, kFormWidth, kFormHeight);
    Label19->setGeometry(0, 300, kFormWidth, 60);
    ProgressBar1->setGeometry(312, 380, 400, 24);
    Picture2->raise();
    Picture6->setGeometry(0, kLabel5Top, kFormWidth, kScrollTop - kLabel5Top);
    Label21->setGeometry(0, 200, kFormWidth, 60);
    ProgressBar2->setGeometry(312, 280, 400, 24);

    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
    m_loaded = true;
}

void HubScreen::repaintNow()
{
    repaint();
    letEventsRun();
}

void HubScreen::Form_Activate()
{
    SharedState &state = ctx.state;
    const int s = state.student.CurrentStudent;
    const int n = state.profile.LevelCount;
    const bool teacher = isTeacher(state.student.CurrentStudentName);
    Command27->setVisible(teacher && state.profile.PrintButtonOn.toNumber() == 1);
    // The teacher's data-processing panel comes with the administration screens.
    Command8->setVisible(false);
    Label17->setText(QStringLiteral("起動後") +
                     QString::number(minutesSinceLogin(state.student, ctx.clock)) +
                     QStringLiteral("分"));

    KeysReady = 0;
    Picture2->setGeometry(0, 0, width(), height());
    Picture2->setVisible(true);
    Picture2->raise();
    repaintNow();

    Option1[1]->setText(QStringLiteral("累計順"));
    Option1[2]->setText(QStringLiteral("本日順"));

    ctx.forms->unload(QStringLiteral("namesel"));
    const ReadReport report = TallyResults(state, ctx.clock, ResultsFile(resultsFilePath(state), ctx.wait));
    if (!report.ok()) {
        fileError(report.fatalError);
        return;
    }
    const QString damaged = takeCorruptRecordMessage(state, report);
    if (!damaged.isEmpty())
        ctx.messages.information(this, QStringLiteral("Tobrel"), damaged);

    double total = 0;
    for (int L = 1; L <= kMaxLevel; ++L)
        total += state.tallies.TodayRunCount(L, s);
    state.TodayRunTotal = static_cast<int>(total);
    Label18->setText(QStringLiteral("本日総回数＝") + QString::number(state.TodayRunTotal) + QStringLiteral("回"));
    ProgressBar1->setMaximum(n);

    ListMode = PointsDisplay;
    ActivateBusy = 1;
    Option1[1]->setChecked(true);
    Option1_Click(1);
    Option2_Click(1);
    Option2[1]->setChecked(true);
    Command1->setEnabled(true);
    ActivateBusy = 0;

    for (int i = 1; i <= n; ++i)
        List5[i]->setVisible(true);
    Picture6->setVisible(false);
    Label12->setText(state.student.CurrentStudentGroup + u' ' + state.student.CurrentStudentName.trimmed());
    Label13->setText(state.config.SchoolName + u':' + QString::number(s));
    Label11->setFont(screenFont(state.profile.ProgramTitle.size() >= 10 ? 20 : 24));
    Label11->setText(state.profile.ProgramTitle);

    HubState &hub = state.hub;
    if (hub.ColumnScroll.toNumber() == 0)
        hub.ColumnScroll = Variant(1);
    if (HScroll1->maximum() < hub.ColumnScroll.toNumber())
        hub.ColumnScroll = Variant(1);
    HScroll1->blockSignals(true);
    HScroll1->setValue(static_cast<int>(hub.ColumnScroll.toNumber()));
    HScroll1->blockSignals(false);
    placeColumns();

    for (int i = 2; i <= n; ++i)
        Command4[i]->setEnabled(false);
    for (int i = 1; i <= n; ++i) {
        Label7[i]->setStyleSheet(QStringLiteral("background: #E0E0E0;"));
        Label8[i]->setStyleSheet(QStringLiteral("background: #E0E0E0;"));
        Label8[i]->setText(passWindowLine(state, i, s));
        Command4[i]->setEnabled(true);
        Label15[i]->setText(soFarValue(state, i, s));
        Label14[i]->setText(todayValue(state, i, s));
    }
    for (int i = 1; i <= n; ++i)
        Command4[i]->setEnabled(false);
    Command9_Click();

    Picture2->setVisible(false);
    repaint();
    Command26->setVisible(false);
    KeysReady = 1;
    setFocus();
}

void HubScreen::placeColumns()
{
    const int n = ctx.state.profile.LevelCount;
    const int W = columnWidth();
    const int scroll = static_cast<int>(ctx.state.hub.ColumnScroll.toNumber());
    const int templateLeft = static_cast<int>(std::lround(0.02 * kFormWidth));
    for (int i = 1; i <= n; ++i) {
        int x = templateLeft + (i - scroll) * W;
        if (x < 0)
            x = width();
        auto moveX = [](QWidget *w, int left) { w->move(left, w->y()); };
        for (QWidget *w : std::initializer_list<QWidget *>{List5[i], Command4[i], Command30[i], Text1[i], Label1[i],
                                                           Label7[i], Label8[i], Label9[i], Label14[i]})
            moveX(w, x);
        moveX(Command28[i], x + Command4[i]->width() - Command28[i]->width());
        moveX(Label3[i], x + Label1[0]->width());
        moveX(Label10[i], x + Label9[i]->width());
        moveX(Label15[i], x + Label14[i]->width());
    }
}

void HubScreen::HScroll1_Change()
{
    HubState &hub = ctx.state.hub;
    hub.ColumnScroll = Variant(HScroll1->value());
    if (hub.ColumnScroll.toNumber() > ctx.state.profile.LevelCount)
        hub.ColumnScroll = Variant(1);
    placeColumns();
}

void HubScreen::Command9_Click()
{
    const Availability a = availabilityPass(ctx.state);
    ctx.state.hub.FreeStatus = Variant(a.freeStatus);
    for (int i = 1; i <= ctx.state.profile.LevelCount; ++i) {
        Command4[i]->setEnabled(a.enabled[i]);
        Text1[i]->setVisible(a.barred[i]);
        if (a.barred[i])
            Text1[i]->raise();
    }
}

bool HubScreen::Form_KeyPress(QChar key)
{
    if (KeysReady == 0)
        return false;
    const int n = ctx.state.profile.LevelCount;
    const char16_t c = key.unicode();
    if (c >= u'1' && c <= u'9') {
        const int level = c - u'0';
        if (level == 1 || n >= level)
            Command4_Click(level);
        return true;
    }
    if (c >= u'a' && c <= u'd') {
        const int level = 10 + (c - u'a');
        if (n >= level)
            Command4_Click(level);
        return true;
    }
    if (c == u'0') {
        if (Command1->isEnabled())
            Command1_Click();
        return true;
    }
    return false;
}

void HubScreen::Command4_Click(int i)
{
    if (Picture7->isVisible())
        return;
    if (i < 1 || i >= static_cast<int>(Command4.size()) || !Command4[i]->isEnabled())
        return;
    Picture2->raise();
    Picture2->setVisible(true);
    ctx.state.run.CurrentLevel = static_cast<int16_t>(i);
    repaint();
    KeysReady = 0;
    StartRun(ctx);
}

void HubScreen::Label3_Click(int i)
{
    if (Picture7->isVisible())
        return;
    if (i < 1 || i >= static_cast<int>(Command4.size()) || !Command4[i]->isEnabled())
        return;
    ctx.state.run.CurrentLevel = static_cast<int16_t>(i);
    StartRun(ctx);
    ctx.forms->unload(objectName());
}

void HubScreen::Command1_Click()
{
    Picture2->raise();
    Picture2->setVisible(true);
    repaint();
    ctx.forms->show(QStringLiteral("namesel"));
    letEventsRun();
}

void HubScreen::回数など表示()
{
    for (int i = 1; i <= ctx.state.profile.LevelCount; ++i) {
        Label9[i]->setText(QStringLiteral("今日"));
        Label10[i]->setText(QStringLiteral("今まで"));
        List5Lines[i]->clear();
    }
}

QStringList HubScreen::listLines(int level) const
{
    if (level < 0 || level >= static_cast<int>(List5Lines.size()))
        return {};
    return List5Lines[level]->lines();
}

void HubScreen::成績リスト色表示()
{
    for (int i = 1; i <= ctx.state.profile.LevelCount; ++i)
        成績リスト色表示単独(i);
}

void HubScreen::成績リスト色表示単独(int i)
{
    if (List5Lines[i]->rowCount() > 0) {
        List5[i]->clearSelection();
        List5[i]->setCurrentIndex(QModelIndex());
    }
}

void HubScreen::disableForView()
{
    Command1->setEnabled(false);
    for (int i = 1; i <= ctx.state.profile.LevelCount; ++i) {
        Command4[i]->setEnabled(false);
        List5[i]->setVisible(false);
    }
    Picture6->setVisible(true);
    Picture6->raise();
}

void HubScreen::finishView()
{
    Command1->setEnabled(true);
    Command9_Click();
    for (int i = 1; i <= ctx.state.profile.LevelCount; ++i)
        List5[i]->setVisible(true);
    Picture6->setVisible(false);
}

void HubScreen::Option2_Click(int k)
{
    Command17->setVisible(false);
    Picture11->setVisible(false);
    disableForView();
    repaintNow();
    if (ActivateBusy == 1)
        return;
    if (k == 0) {
        Option1[1]->setText(QStringLiteral("BEST表示"));
        Option1[2]->setText(QStringLiteral("本日のみ"));
        Option1[3]->setEnabled(true);
        ListMode = TimeDisplay;
        for (int v = 1; v <= 3; ++v)
            if (Option1[v]->isChecked()) {
                Option1_Click(v);
                return;
            }
        finishView();
    } else if (k == 1) {
        Combo2->setVisible(false);
        Option1[1]->setText(QStringLiteral("合計累計"));
        Option1[2]->setText(QStringLiteral("合計本日"));
        Option1[3]->setText(QStringLiteral("すべて"));
        Option1[3]->setEnabled(true);
        ListMode = PointsDisplay;
        repaintNow();
        if (Option1[1]->isChecked()) {
            PointsOrder = CumulativeOrder;
            Option1_Click(1);
        } else if (Option1[3]->isChecked()) {
            Option1_Click(3);
        } else if (Option1[2]->isChecked()) {
            PointsOrder = TodayOrder;
            Option1_Click(2);
        } else {
            finishView();
        }
    } else {
        // The result sheet's "グラフ" comes with the sheet itself.
        Combo2->setVisible(false);
        Command16_Click();
    }
}

void HubScreen::Option1_Click(int v)
{
    disableForView();
    Combo2->setVisible(false);
    Picture1->setEnabled(false);
    repaintNow();
    if (ListMode == 0)
        ListMode = TimeDisplay;
    const int n = ctx.state.profile.LevelCount;
    if (ListMode == TimeDisplay) {
        if (v == 1)
            Command6_Click();
        else if (v == 2)
            Command5_Click();
        else
            Command7_Click();
    } else if (ListMode == PointsDisplay) {
        if (PointsOrder == 0)
            PointsOrder = CumulativeOrder;
        if (v == 1 || v == 2) {
            PointsOrder = v == 1 ? CumulativeOrder : TodayOrder;
            Label5->setText(v == 1 ? QStringLiteral("獲得ポイント（今まで順位）") : QStringLiteral("獲得ポイント（今日の順位）"));
            ProgressBar1->setValue(0);
            ProgressBar2->setValue(0);
            ProgressBar2->setMaximum(n);
            for (int i = 1; i <= n; ++i) {
                ProgressBar1->setValue(i);
                ProgressBar2->setValue(i);
                Command3_Click(i);
            }
        } else {
            Command7_Click();
        }
        Picture1->setEnabled(true);
    }
    finishView();
}

void HubScreen::Combo1_Click()
{
    if (Option2[0]->isChecked())
        Option2_Click(0);
    else
        Option2_Click(1);
    Command4[1]->setFocus();
}

void HubScreen::Combo2_Click()
{
    if (!Option1[3]->isChecked())
        return;
    const int index = Combo2->currentIndex();
    if (index < 0 || index > 4)
        return;
    ctx.state.hub.ResultPeriod = Variant(index + 1);
    Option1_Click(3);
}

void HubScreen::showLists(const LevelLists &lists)
{
    for (int i = 1; i <= ctx.state.profile.LevelCount && i < static_cast<int>(lists.size()); ++i)
        List5Lines[i]->addLines(lists[i]);
}

bool HubScreen::fillListsFromFile(const FileView &view)
{
    LevelLists lists;
    QString error;
    const ResultsFile file(resultsFilePath(ctx.state), ctx.wait);
    const bool ok = view(file, lists, &error, [this](int64_t v, int64_t m) {
        ProgressBar2->setMaximum(static_cast<int>(m));
        ProgressBar2->setValue(static_cast<int>(std::min(v, m)));
    });
    if (!ok) {
        fileError(error);
        return false;
    }
    showLists(lists);
    return true;
}

void HubScreen::fileError(const QString &error)
{
    ctx.messages.critical(this, QStringLiteral("Tobrel"),
                          QStringLiteral("成績ファイルを読めないため、終了します。\n\n") + error);
    ctx.forms->closeAll();
    ctx.exit(1);
}

void HubScreen::Command5_Click()
{
    Label5->setText(QStringLiteral("本日の成績"));
    回数など表示();
    const QString filter = Combo1->currentText();
    if (!fillListsFromFile([&](const ResultsFile &file, LevelLists &lists, QString *error,
                               const ViewProgress &progress) {
            return todayLines(ctx.state, ctx.clock, file, filter, lists, error, progress);
        }))
        return;
    成績リスト色表示();
    Picture1->setEnabled(true);
}

void HubScreen::Command6_Click()
{
    Label5->setText(QStringLiteral("ベスト成績"));
    回数など表示();
    const int n = ctx.state.profile.LevelCount;
    ProgressBar2->setValue(0);
    ProgressBar2->setMaximum(n);
    for (int i = 1; i <= n; ++i) {
        ProgressBar2->setValue(i);
        Command3_Click(i);
        成績リスト色表示単独(i);
    }
    Picture1->setEnabled(true);
}

void HubScreen::Command7_Click()
{
    回数など表示();
    SharedState &state = ctx.state;
    state.hub.ResultListDays =
        resultListDaysFor(static_cast<int>(state.hub.ResultPeriod.toNumber()), ctx.clock.today());
    Label5->setText(QString());
    const QString filter = Combo1->currentText();
    if (!fillListsFromFile([&](const ResultsFile &file, LevelLists &lists, QString *error,
                               const ViewProgress &progress) {
            return periodLines(state, ctx.clock, file, filter, state.hub.ResultListDays, ListMode, lists, error,
                               progress);
        }))
        return;
    repaintNow();
    成績リスト色表示();
    Picture1->setEnabled(true);
    Combo2->setVisible(true);
}

void HubScreen::Command3_Click(int i)
{
    Label9[i]->setText(QStringLiteral("今日"));
    Label10[i]->setText(QStringLiteral("今まで"));
    if (ListMode == 0)
        ListMode = TimeDisplay;
    if (ListMode == PointsDisplay && PointsOrder == 0)
        PointsOrder = CumulativeOrder;
    auto ranking = std::make_shared<Ranking>(
        rankStudents(ctx.state, i, ListMode, PointsOrder, Combo1->currentText()));
    SharedState *state = &ctx.state;
    List5Lines[i]->setMadeLines(static_cast<int>(ranking->shown.size()), [state, ranking](int row) {
        return rankingLine(*state, *ranking, ranking->shown[static_cast<size_t>(row)]);
    });
    成績リスト色表示単独(i);
}

void HubScreen::Command16_Click()
{
    SharedState &state = ctx.state;
    try {
        List2 = LoadSheetStudents(state);
    } catch (const DataFileError &e) {
        return fileError(e.message());
    }
    List3.clear();
    for (int i = 1; i <= state.profile.LevelCount; ++i)
        List3 << QString::number(i);
    SheetLevel = 1;
    SheetStudent = state.student.CurrentStudent;
    回数など表示();
    state.hub.ResultListDays = 3650;
    Label5->setText(QStringLiteral("個人別ﾀｲﾑ"));
    const QString filter = Combo1->currentText();
    if (!fillListsFromFile([&](const ResultsFile &file, LevelLists &lists, QString *error,
                               const ViewProgress &progress) {
            return personalTimesLines(state, ctx.clock, file, filter, lists, error, progress);
        }))
        return;
    Picture6->setVisible(false);
    Command9_Click();
    for (int i = 1; i <= state.profile.LevelCount; ++i)
        List5[i]->setVisible(true);
    Command1->setEnabled(true);
}

bool HubScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && !(key->modifiers() & Qt::AltModifier) && Form_KeyPress(key->text().at(0)))
            return true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 1; i < static_cast<int>(Label3.size()); ++i)
            if (watched == Label3[i]) {
                Label3_Click(i);
                return true;
            }
    }
    return Screen::eventFilter(watched, event);
}

void HubScreen::keyPressEvent(QKeyEvent *event)
{
    if (!event->text().isEmpty() && Form_KeyPress(event->text().at(0)))
        return;
    Screen::keyPressEvent(event);
}

} // namespace tobrel
