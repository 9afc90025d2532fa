#include "hub/HubScreen.h"

#include "hub/ListFields.h"
#include "hub/SheetPanel.h"
#include "state/LoginMinutes.h"
#include "state/SharedState.h"
#include "drill/DrillScreen.h"
#include "hub/TeacherEntry.h"
#include "hub/TeacherPanel.h"
#include "results/Tally.h"
#include "roster/Roster.h"
#include "text/DataFileError.h"
#include "text/FixedWidth.h"
#include "ui/Accessible.h"
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

QLabel *label(QWidget *parent, const FormScale &tw, const QString &name, double pt, const QString &text = {})
{
    QLabel *l = makeLabel(parent, name, text);
    l->setFont(tw.font(pt));
    return l;
}

QPushButton *button(QWidget *parent, const FormScale &tw, const QString &name, const QString &text, double pt = 13)
{
    QPushButton *b = makeButton(parent, name, text);
    b->setFont(tw.font(pt));
    return b;
}

// A panel with a centred message and a progress bar.
QFrame *waitPanel(QWidget *parent, const FormScale &tw, const QString &name, const QString &labelName, double pt,
                  const QString &text, const QString &barName, QLabel *&message, QProgressBar *&bar)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setAutoFillBackground(true);
    message = label(panel, tw, labelName, pt, text);
    message->setAlignment(Qt::AlignCenter);
    bar = new QProgressBar(panel);
    bar->setObjectName(barName);
    return panel;
}

// Checks an option for the program, which runs its handler itself where it must.
void checkQuietly(QRadioButton *option)
{
    const QSignalBlocker quiet(option->group());
    option->setChecked(true);
}

} // namespace

HubScreen::HubScreen(AppContext &context)
    : Screen(context, QStringLiteral("seisekitime1")),
      columns(stage(), scale(), context.state, [this](int level) { Command4_Click(level); })
{
    setWindowTitle(QStringLiteral("velmora"));
    setFocusPolicy(Qt::StrongFocus);
    const FormScale &tw = scale();
    QWidget *form = stage();

    Label11 = label(form, tw, QStringLiteral("Label11"), 24);
    Label11->setGeometry(tw.rect(240, 90, 3450, 690));
    Label12 = label(form, tw, QStringLiteral("Label12"), 22);
    Label12->setGeometry(tw.rect(3750, 90, 5700, 600));
    Label13 = label(form, tw, QStringLiteral("Label13"), 12);
    Label13->setGeometry(tw.rect(3780, 660, 5700, 300));
    Label17 = label(form, tw, QStringLiteral("Label17"), 12);
    Label17->setGeometry(tw.rect(9600, 120, 3000, 330));
    Label18 = label(form, tw, QStringLiteral("Label18"), 12);
    Label18->setGeometry(tw.rect(9600, 480, 3000, 330));
    Command1 = button(form, tw, QStringLiteral("Command1"), QStringLiteral("戻る(0)"), 16);
    Command1->setGeometry(tw.rect(13350, 120, 1770, 780));
    // The door to the administration screens is built for teachers only: a student has
    // no "データ処理" and no teacher panel, not even hidden ones.
    const bool teacher = teacherLoggedIn(ctx.state);
    if (teacher) {
        Command8 = button(form, tw, QStringLiteral("Command8"), QStringLiteral("データ処理"));
        Command8->setGeometry(tw.rect(11550, 120, 1650, 780));
        Command8->setVisible(false);
    }
    Command27 = button(form, tw, QStringLiteral("Command27"), QStringLiteral("印刷"));
    Command27->setVisible(false);
    Command26 = button(form, tw, QStringLiteral("Command26"), QStringLiteral("表示１"));
    Command26->setVisible(false);
    Command17 = button(form, tw, QStringLiteral("Command17"), QStringLiteral("グラフ"));
    Command17->setGeometry(tw.rect(11520, 990, 1350, 510));
    Command17->setVisible(false);

    // Display kind, view buttons, grade filter and period.
    const QString kinds[3] = {QStringLiteral("ﾀｲﾑ表示"), QStringLiteral("ﾎﾟｲﾝﾄ表示"), QStringLiteral("個人ﾀｲﾑ")};
    auto *kindGroup = new QButtonGroup(this);
    for (int k = 0; k < 3; ++k) {
        auto *r = new QRadioButton(kinds[k], form);
        r->setObjectName(arrayElementName("Option2", k));
        r->setFont(tw.font(12));
        r->setGeometry(tw.rect(240 + k * 1440, 1050, 1410, 420));
        kindGroup->addButton(r, k);
        Option2.push_back(r);
    }
    Picture1 = new QFrame(form);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(tw.rect(4560, 960, 4680, 600));
    Picture1->setFrameShape(QFrame::StyledPanel);
    const QString views[3] = {QStringLiteral("BEST表示"), QStringLiteral("本日のみ"), QStringLiteral("オール表示")};
    auto *viewGroup = new QButtonGroup(this);
    Option1.push_back(nullptr);
    for (int v = 1; v <= 3; ++v) {
        auto *r = new QRadioButton(views[v - 1], Picture1);
        r->setObjectName(arrayElementName("Option1", v));
        r->setFont(tw.font(11));
        r->setGeometry(tw.rect(60 + (v - 1) * 1530, 90, 1500, 420));
        viewGroup->addButton(r, v);
        Option1.push_back(r);
    }
    Combo1 = new QComboBox(form);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    nameComboBox(Combo1, QStringLiteral("学年"));
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setToolTip(QStringLiteral("表示する学年を選びます"));
    Combo1->setFont(tw.font(12));
    Combo1->setGeometry(tw.rect(9330, 990, 2100, 510));
    Combo2 = new QComboBox(form);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    nameComboBox(Combo2, QStringLiteral("期間"));
    Combo2->setFont(tw.font(12));
    Combo2->setGeometry(tw.rect(11520, 990, 3600, 510));
    Combo2->setVisible(false);

    Label5 = label(form, tw, QStringLiteral("Label5"), 14);
    Label5->setGeometry(tw.rect(240, LevelColumns::kLabel5Top, 14850, LevelColumns::kLabel5Height));
    Label6 = label(form, tw, QStringLiteral("Label6"), 11, QStringLiteral("GRPH+A,B,C,D..でも選択できます。"));
    Label6->setGeometry(tw.rect(240, LevelColumns::kScrollTop + LevelColumns::kScrollHeight + 60, 9000, 300));

    HScroll1 = new QScrollBar(Qt::Horizontal, form);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    HScroll1->setAccessibleName(QStringLiteral("レベルの列"));
    HScroll1->setGeometry(tw.rect(300, LevelColumns::kScrollTop, 13830, LevelColumns::kScrollHeight));
    HScroll1->setMinimum(1);
    HScroll1->setPageStep(1);
    HScroll1->setVisible(false);

    // Panels: the cover while the screen is built, the wait panel while a view is
    // built, the teacher panel and the result-sheet panel (opened by later parts).
    Picture2 =
        waitPanel(form, tw, QStringLiteral("Picture2"), QStringLiteral("Label19"), 24,
                  QStringLiteral("Just a moment, please."), QStringLiteral("ProgressBar1"), Label19, ProgressBar1);
    Picture6 =
        waitPanel(form, tw, QStringLiteral("Picture6"), QStringLiteral("Label21"), 20,
                  QStringLiteral("Just a momento, please."), QStringLiteral("ProgressBar2"), Label21, ProgressBar2);
    Picture6->setVisible(false);
    if (teacher) {
        teacherPanel = new TeacherPanel(ctx, tw, form, Command8);
        Picture7 = teacherPanel;
    }
    Picture11 = new SheetPanel(ctx, tw, form);
    Picture11->setHubLinks({[this] { return Combo1->currentText(); }, [this] { return PointsOrder; },
                            [this](int level) { selectLastOwnLine(level); }});

    connectChoice(kindGroup, this, [this](int k) { Option2_Click(k); });
    connectChoice(viewGroup, this, [this](int v) { Option1_Click(v); });
    connect(Combo1, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
    connect(Combo2, &QComboBox::activated, this, [this](int) { Combo2_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command17, &QPushButton::clicked, this, [this] { Picture11->Command17_Click(); });
    connect(HScroll1, &QScrollBar::valueChanged, this, [this](int) { HScroll1_Change(); });

    Form_Load();
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

    // The level columns are built with the form (LevelColumns); W follows LevelCount.
    const int n = state.profile.LevelCount;
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

    const FormScale &tw = scale();
    const double formWidth = FormScale::kFormWidthTwips;
    Picture2->setGeometry(tw.rect(0, 0, formWidth, FormScale::kFormHeightTwips));
    Label19->setGeometry(tw.rect(0, 4500, formWidth, 900));
    ProgressBar1->setGeometry(tw.rect(4680, 5700, 6000, 360));
    Picture2->raise();
    Picture6->setGeometry(
        tw.rect(0, LevelColumns::kLabel5Top, formWidth, LevelColumns::kScrollTop - LevelColumns::kLabel5Top));
    Label21->setGeometry(tw.rect(0, 3000, formWidth, 900));
    ProgressBar2->setGeometry(tw.rect(4680, 4200, 6000, 360));

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
    Picture11->setTeacher(teacher);
    Label17->setText(QStringLiteral("起動後") +
                     QString::number(minutesSinceLogin(state.student, ctx.clock)) +
                     QStringLiteral("分"));

    KeysReady = 0;
    Picture2->setGeometry(scale().rect(0, 0, FormScale::kFormWidthTwips, FormScale::kFormHeightTwips));
    Picture2->setVisible(true);
    Picture2->raise();
    repaintNow();

    Option1[1]->setText(QStringLiteral("累計順"));
    Option1[2]->setText(QStringLiteral("本日順"));

    ctx.forms->unload(QStringLiteral("namesel"));
    const ReadReport report = TallyResults(
        state, ctx.clock, sharedResultsFile(state, waitShowingReason(ctx.wait, Picture2, Label19)));
    if (!report.ok()) {
        fileError(resultsFileKind(), report.fatalError, report.fatalErrorNumber);
        return;
    }
    // Damaged records are the teachers' business: they see the count, students nothing.
    if (teacherPanel)
        teacherPanel->Form_Activate(teacher);

    double total = 0;
    for (int L = 1; L <= kMaxLevel; ++L)
        total += state.tallies.TodayRunCount(L, s);
    state.TodayRunTotal = static_cast<int>(total);
    Label18->setText(QStringLiteral("本日総回数＝") + QString::number(state.TodayRunTotal) + QStringLiteral("回"));
    ProgressBar1->setMaximum(n);

    ListMode = PointsDisplay;
    ActivateBusy = 1;
    checkQuietly(Option1[1]);
    Option1_Click(1);
    Option2_Click(1);
    checkQuietly(Option2[1]);
    Command1->setEnabled(true);
    ActivateBusy = 0;

    columns.showLists(true);
    Picture6->setVisible(false);
    // The whole name, in a smaller font when it is long: the student checks it is his.
    setTextFitting(Label12, state.student.CurrentStudentGroup + u' ' + trimBlanks(state.student.CurrentStudentName),
                   scale().font(22), scale().points(9));
    Label13->setText(state.config.SchoolName + u':' + QString::number(s));
    Label11->setFont(scale().font(state.profile.ProgramTitle.size() >= 10 ? 20 : 24));
    Label11->setText(state.profile.ProgramTitle);

    HubState &hub = state.hub;
    if (hub.ColumnScroll.toNumber() == 0)
        hub.ColumnScroll = Variant(1);
    if (HScroll1->maximum() < hub.ColumnScroll.toNumber())
        hub.ColumnScroll = Variant(1);
    HScroll1->blockSignals(true);
    HScroll1->setValue(static_cast<int>(hub.ColumnScroll.toNumber()));
    HScroll1->blockSignals(false);
    columns.place(static_cast<int>(hub.ColumnScroll.toNumber()));

    for (int i = 2; i <= n; ++i)
        Command4[i]->setEnabled(false);
    columns.showCounts(state, s);
    for (int i = 1; i <= n; ++i)
        Command4[i]->setEnabled(false);
    Command9_Click();

    Picture2->setVisible(false);
    columns.showOwnLines();
    repaint();
    Command26->setVisible(false);
    KeysReady = 1;
    setFocus();
}

void HubScreen::HScroll1_Change()
{
    HubState &hub = ctx.state.hub;
    hub.ColumnScroll = Variant(HScroll1->value());
    if (hub.ColumnScroll.toNumber() > ctx.state.profile.LevelCount)
        hub.ColumnScroll = Variant(1);
    columns.place(static_cast<int>(hub.ColumnScroll.toNumber()));
}

void HubScreen::Command9_Click()
{
    const Availability a = availabilityPass(ctx.state);
    ctx.state.hub.FreeStatus = Variant(a.freeStatus);
    columns.showAvailability(a);
}

bool HubScreen::teacherPanelOpen() const { return teacherPanel && teacherPanel->isOpen(); }

bool HubScreen::Form_KeyPress(QChar key)
{
    // While the teacher panel is open, keys are the password's.
    if (KeysReady == 0 || teacherPanelOpen())
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

bool HubScreen::refuseLevelWithoutCriteria(int i)
{
    if (i < 1 || i > ctx.state.profile.LevelCount || levelCanStart(ctx.state, i))
        return false;
    ctx.messages.information(this, QStringLiteral("Tobrel"), noCriteriaMessage(ctx.state, i));
    return true;
}

void HubScreen::Command4_Click(int i)
{
    if (teacherPanelOpen())
        return;
    if (refuseLevelWithoutCriteria(i))
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
    if (teacherPanelOpen())
        return;
    if (refuseLevelWithoutCriteria(i))
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
        // A list filled anew starts at its top; the student's own line, where there is
        // one, is brought into view when the view is shown.
        List5[i]->scrollToTop();
        columns.setOwnLine(i, -1);
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
    for (int i = 1; i <= ctx.state.profile.LevelCount; ++i)
        Command4[i]->setEnabled(false);
    columns.showLists(false);
    Picture6->setVisible(true);
    Picture6->raise();
}

void HubScreen::finishView()
{
    Command1->setEnabled(true);
    Command9_Click();
    columns.fitListFonts();
    columns.showLists(true);
    Picture6->setVisible(false);
    columns.showOwnLines();
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
        Command17->setVisible(true);
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
    if (Option2[0]->isChecked()) {
        Option2_Click(0);
    } else {
        // The points display is shown (also when 個人ﾀｲﾑ was chosen): its choice is ticked.
        checkQuietly(Option2[1]);
        Option2_Click(1);
    }
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
    const ResultsFile file = sharedResultsFile(ctx.state, waitShowingReason(ctx.wait, Picture6, Label21));
    const bool ok = view(file, lists, &error, [this](int64_t v, int64_t m) {
        ProgressBar2->setMaximum(static_cast<int>(m));
        ProgressBar2->setValue(static_cast<int>(std::min(v, m)));
    });
    if (!ok) {
        fileError(resultsFileKind(), error);
        return false;
    }
    showLists(lists);
    return true;
}

void HubScreen::fileError(const QString &fileKind, const QString &detail, int number)
{
    ctx.messages.critical(this, QStringLiteral("Tobrel"),
                          stopMessage(fileKind + QStringLiteral("を読めないため、終了します。"), detail, number));
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
    List5[i]->scrollToTop();
    成績リスト色表示単独(i);
    // In a long ranking the student finds their own "●" line at once.
    columns.setOwnLine(i, rowOfStudent(*ranking, state->student.CurrentStudent));
}

void HubScreen::Command16_Click()
{
    SharedState &state = ctx.state;
    try {
        Picture11->fillLists(LoadSheetStudents(state), state.profile.LevelCount, state.student.CurrentStudent);
    } catch (const DataFileError &e) {
        return fileError(QStringLiteral("名簿ファイル"), e.detail(), e.number());
    }
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
    columns.fitListFonts();
    columns.showLists(true);
    Command1->setEnabled(true);
    // The newest run stands last; the list opens on it.
    for (int i = 1; i <= state.profile.LevelCount; ++i)
        columns.setOwnLine(i, List5Lines[i]->rowCount() - 1);
    columns.showOwnLines();
}

void HubScreen::selectLastOwnLine(int level)
{
    if (level < 1 || level >= static_cast<int>(List5Lines.size()))
        return;
    const QStringList lines = List5Lines[level]->lines();
    for (int row = static_cast<int>(lines.size()) - 1; row >= 0; --row)
        if (lines[row].contains(ownMark())) {
            columns.setOwnLine(level, row);
            columns.showOwnLines();
            return;
        }
}

void HubScreen::showColumnOf(QObject *widget)
{
    if (!HScroll1->isVisible())
        return;
    for (int i = 1; i <= ctx.state.profile.LevelCount && i < static_cast<int>(Command4.size()); ++i) {
        if (widget != Command4[i] && widget != List5[i])
            continue;
        // Four columns are in view, from the scroll bar's value on.
        const int first = HScroll1->value();
        if (i < first)
            HScroll1->setValue(i);
        else if (i > first + 3)
            HScroll1->setValue(i - 3);
        return;
    }
}

bool HubScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        // Tab reaches a column that is scrolled out of view: it comes into view. (Focus
        // that moves on because a view hides the lists while it is built moves no column.)
        const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
        if ((why == Qt::TabFocusReason || why == Qt::BacktabFocusReason) && KeysReady != 0 && Command1->isEnabled())
            showColumnOf(watched);
    } else if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && !(key->modifiers() & Qt::AltModifier) && Form_KeyPress(key->text().at(0)))
            return true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 1; i < static_cast<int>(Label3.size()); ++i) {
            if (watched == Label3[i]) {
                Label3_Click(i);
                return true;
            }
            // The notice over a level that has no criteria says why it cannot start.
            if (watched == Text1[i] && KeysReady != 0 && !teacherPanelOpen() && refuseLevelWithoutCriteria(i))
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
