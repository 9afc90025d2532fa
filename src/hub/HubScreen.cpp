#include "hub/HubScreen.h"

#include "hub/SheetPanel.h"
#include "state/SharedState.h"
#include "drill/DrillScreen.h"
#include "hub/TeacherEntry.h"
#include "hub/TeacherPanel.h"
#include "roster/Roster.h"
#include "text/DataFileError.h"
#include "ui/Accessible.h"
#include "ui/FormNames.h"
#include "ui/LineListModel.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

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

HubScreen::HubScreen(AppContext &context, KeptRankings &rankings)
    : Screen(context, FormName::seisekitime1, StageShape::DisplayShape),
      columns(stage(), scale(), columnLayout(context.state.profile.LevelCount, stageWidthTwips()), context.state,
              [this](int level) { Command4_Click(level); }),
      m_logic(context.state, context.clock, rankings, *this), m_filled(static_cast<size_t>(columns.levelCount()) + 1, 0)
{
    setWindowTitle(QStringLiteral("velmora"));
    setFocusPolicy(Qt::StrongFocus);
    m_logic.columns = columns.layout();
    const FormScale &tw = scale();
    QWidget *form = stage();
    // On a stage wider than the form area the top line spreads with it: the title and
    // the display kinds stay at the left, the view buttons in the middle, the rest (the
    // back button, the teacher's door, the filters) at the right edge, as on the form.
    const double extra = wider();
    const auto middle = [extra](double left) { return left + extra / 2; };
    const auto right = [extra](double left) { return left + extra; };

    Label11 = label(form, tw, QStringLiteral("Label11"), 24);
    Label11->setGeometry(tw.rect(240, 90, 3450, 690));
    Label12 = label(form, tw, QStringLiteral("Label12"), 22);
    Label12->setGeometry(tw.rect(3750, 90, 5700, 600));
    Label13 = label(form, tw, QStringLiteral("Label13"), 12);
    Label13->setGeometry(tw.rect(3780, 660, 5700, 300));
    Label17 = label(form, tw, QStringLiteral("Label17"), 12);
    Label17->setGeometry(tw.rect(right(9600), 120, 3000, 330));
    Label18 = label(form, tw, QStringLiteral("Label18"), 12);
    Label18->setGeometry(tw.rect(right(9600), 480, 3000, 330));
    Command1 = button(form, tw, QStringLiteral("Command1"), QStringLiteral("戻る(0)"), 16);
    Command1->setGeometry(tw.rect(right(13350), 120, 1770, 780));
    // The door to the administration screens is built for teachers only: a student has
    // no "データ処理" and no teacher panel, not even hidden ones.
    const bool teacher = teacherLoggedIn(ctx.state);
    if (teacher) {
        Command8 = button(form, tw, QStringLiteral("Command8"), QStringLiteral("データ処理"));
        Command8->setGeometry(tw.rect(right(11550), 120, 1650, 780));
        Command8->setVisible(false);
    }
    Command27 = button(form, tw, QStringLiteral("Command27"), QStringLiteral("印刷"));
    Command27->setVisible(false);
    Command26 = button(form, tw, QStringLiteral("Command26"), QStringLiteral("表示１"));
    Command26->setVisible(false);
    Command17 = button(form, tw, QStringLiteral("Command17"), QStringLiteral("グラフ"));
    Command17->setGeometry(tw.rect(right(11520), 990, 1350, 510));
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
    Picture1->setGeometry(tw.rect(middle(4560), 960, 4680, 600));
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
    Combo1->setGeometry(tw.rect(right(9330), 990, 2100, 510));
    Combo2 = new QComboBox(form);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    nameComboBox(Combo2, QStringLiteral("期間"));
    Combo2->setFont(tw.font(12));
    Combo2->setGeometry(tw.rect(right(11520), 990, 3600, 510));
    Combo2->setVisible(false);

    Label5 = label(form, tw, QStringLiteral("Label5"), 14);
    Label5->setGeometry(tw.rect(240, LevelColumns::kLabel5Top, 14850 + extra, LevelColumns::kLabel5Height));
    Label6 = label(form, tw, QStringLiteral("Label6"), 11, QStringLiteral("GRPH+A,B,C,D..でも選択できます。"));
    Label6->setGeometry(tw.rect(240, LevelColumns::kScrollTop + LevelColumns::kScrollHeight + 60, 9000, 300));

    HScroll1 = new QScrollBar(Qt::Horizontal, form);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    HScroll1->setAccessibleName(QStringLiteral("レベルの列"));
    // Under the columns in view.
    const ColumnLayout &layout = columns.layout();
    if (extra > 0)
        HScroll1->setGeometry(tw.rect(layout.left, LevelColumns::kScrollTop, layout.shown * layout.width - layout.gap,
                                      LevelColumns::kScrollHeight));
    else
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
        // The panel stays in the middle; its notices stay at the right, beside the
        // title's line and under the columns.
        shiftRight(teacherPanel, extra / 2);
        shiftRight(teacherPanel->DamagedLabel, extra);
        shiftRight(teacherPanel->FontLabel, extra);
    }
    Picture11 = new SheetPanel(ctx, rankings, tw, form);
    if (extra > 0) {
        // The sheet covers the whole width, so no column shows beside it; what it holds
        // stands in its middle.
        for (QWidget *w : Picture11->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            shiftRight(w, extra / 2);
        Picture11->setGeometry(0, Picture11->y(), tw.px(stageWidthTwips()), Picture11->height());
    }
    Picture11->setHubLinks({[this] { return Combo1->currentText(); }, [this] { return m_logic.PointsOrder; },
                            [this](int level) { m_logic.selectLastOwnLine(level); }});

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
    m_logic.Form_Load();
    const QColor season = colourFromBgr(state.profile.ScreenColour);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, season);
    setPalette(pal);
    Picture2->setPalette(pal);
    Picture6->setPalette(pal);

    // The level columns are built with the form (LevelColumns); W follows LevelCount.
    const HubView &v = m_logic.view;
    HScroll1->setVisible(v.HScroll1Visible);
    HScroll1->setMaximum(v.HScroll1Maximum);

    Combo1->addItems(gradeFilterTexts());
    Combo1->setCurrentText(m_logic.gradeFilter);
    Combo2->addItems({QStringLiteral("　　　今週の全成績"), QStringLiteral("　　先週からの全成績"),
                      QStringLiteral("　　１ヶ月間の全成績"), QStringLiteral("　　１年間の全成績"),
                      QStringLiteral("　　今までの全成績\"")});
    Combo2->setCurrentIndex(2);

    const FormScale &tw = scale();
    const double formWidth = stageWidthTwips();
    const double middle = wider() / 2;
    Picture2->setGeometry(tw.rect(0, 0, formWidth, FormScale::kFormHeightTwips));
    Label19->setGeometry(tw.rect(0, 4500, formWidth, 900));
    ProgressBar1->setGeometry(tw.rect(4680 + middle, 5700, 6000, 360));
    Picture2->raise();
    Picture6->setGeometry(
        tw.rect(0, LevelColumns::kLabel5Top, formWidth, LevelColumns::kScrollTop - LevelColumns::kLabel5Top));
    Label21->setGeometry(tw.rect(0, 3000, formWidth, 900));
    ProgressBar2->setGeometry(tw.rect(4680 + middle, 4200, 6000, 360));

    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

double HubScreen::wider() const { return stageWidthTwips() - FormScale::kFormWidthTwips; }

void HubScreen::shiftRight(QWidget *widget, double twips)
{
    if (widget && twips > 0)
        widget->move(widget->x() + scale().px(twips), widget->y());
}

void HubScreen::readControls() { m_logic.gradeFilter = Combo1->currentText(); }

void HubScreen::Form_Activate()
{
    readControls();
    m_logic.Form_Activate();
    if (teacherPanel)
        teacherPanel->hubActivated();
    if (m_logic.KeysReady == 1)
        setFocus();
}

bool HubScreen::Form_KeyPress(QChar key)
{
    readControls();
    return m_logic.Form_KeyPress(key);
}

void HubScreen::Command4_Click(int level)
{
    readControls();
    m_logic.Command4_Click(level);
}

void HubScreen::Label3_Click(int level)
{
    readControls();
    m_logic.Label3_Click(level);
}

void HubScreen::Command1_Click() { m_logic.Command1_Click(); }

void HubScreen::Option2_Click(int kind)
{
    readControls();
    m_logic.Option2_Click(kind);
}

void HubScreen::Option1_Click(int view)
{
    readControls();
    m_logic.Option1_Click(view);
}

void HubScreen::Combo1_Click()
{
    readControls();
    m_logic.Combo1_Click();
    Command4[1]->setFocus();
}

void HubScreen::Combo2_Click()
{
    readControls();
    m_logic.Combo2_Click(Combo2->currentIndex());
}

void HubScreen::HScroll1_Change() { m_logic.HScroll1_Change(HScroll1->value()); }

void HubScreen::refresh()
{
    const HubView &v = m_logic.view;
    const int n = columns.levelCount();

    Label11->setFont(scale().font(v.Label11PointSize));
    Label11->setText(v.Label11);
    if (v.Label12 != m_label12) {
        // The whole name, in a smaller font when it is long: the student checks it is his.
        setTextFitting(Label12, v.Label12, scale().font(22), scale().points(9));
        m_label12 = v.Label12;
    }
    Label13->setText(v.Label13);
    Label17->setText(v.Label17);
    Label18->setText(v.Label18);
    Label5->setText(v.Label5);
    Command27->setVisible(v.Command27Visible);
    Command17->setVisible(v.Command17Visible);
    Combo2->setVisible(v.Combo2Visible);
    Picture1->setEnabled(v.Picture1Enabled);
    Command1->setEnabled(v.Command1Enabled);
    for (int i = 1; i <= 3; ++i)
        Option1[static_cast<size_t>(i)]->setText(v.Option1Text[i]);
    Option1[3]->setEnabled(v.Option1_3Enabled);
    if (v.Option1Checked >= 1 && v.Option1Checked <= 3)
        checkQuietly(Option1[static_cast<size_t>(v.Option1Checked)]);
    if (v.Option2Checked >= 0 && v.Option2Checked <= 2)
        checkQuietly(Option2[static_cast<size_t>(v.Option2Checked)]);
    showProgress();

    HScroll1->setVisible(v.HScroll1Visible);
    HScroll1->setMaximum(v.HScroll1Maximum);
    if (v.columnScroll != m_placedScroll) {
        const QSignalBlocker quiet(HScroll1);
        HScroll1->setValue(v.columnScroll);
        columns.place(v.columnScroll);
        m_placedScroll = v.columnScroll;
    }

    bool refilled = false;
    for (int i = 1; i <= n && i < static_cast<int>(v.levels.size()); ++i) {
        const HubLevelView &level = v.levels[static_cast<size_t>(i)];
        if (!level.Label9.isEmpty())
            Label9[i]->setText(level.Label9);
        if (!level.Label10.isEmpty())
            Label10[i]->setText(level.Label10);
        if (v.countsShown) {
            if (!m_countsShown) {
                Label7[i]->setStyleSheet(QStringLiteral("background: #E0E0E0;"));
                Label8[i]->setStyleSheet(QStringLiteral("background: #E0E0E0;"));
            }
            Label8[i]->setText(level.Label8);
            Label15[i]->setText(level.Label15);
            Label14[i]->setText(level.Label14);
        }
        Command4[i]->setEnabled(level.Command4Enabled);
        if (level.filled != m_filled[static_cast<size_t>(i)]) {
            // A list filled anew starts at its top with nothing selected.
            if (level.madeLine)
                List5Lines[i]->setMadeLines(level.madeCount, level.madeLine);
            else
                List5Lines[i]->setLines(level.lines);
            List5[i]->scrollToTop();
            List5[i]->clearSelection();
            List5[i]->setCurrentIndex(QModelIndex());
            m_filled[static_cast<size_t>(i)] = level.filled;
            refilled = true;
        }
        columns.setOwnLine(i, level.ownLine);
    }
    m_countsShown = v.countsShown;
    if (v.availabilityPasses != m_availabilityShown && !v.availability.enabled.empty()) {
        columns.showAvailability(v.availability);
        m_availabilityShown = v.availabilityPasses;
    }
    if (refilled)
        columns.fitListFonts();
    columns.showLists(v.listsVisible);

    // The cover and the wait panel come to the front when they are shown.
    if (v.Picture2Visible && Picture2->isHidden())
        Picture2->raise();
    Picture2->setVisible(v.Picture2Visible);
    if (v.Picture6Visible && Picture6->isHidden())
        Picture6->raise();
    Picture6->setVisible(v.Picture6Visible);

    if (v.ownLinesShown != m_ownLinesShown && v.listsVisible) {
        columns.showOwnLines();
        m_ownLinesShown = v.ownLinesShown;
    }
}

void HubScreen::paint()
{
    refresh();
    repaint();
}

void HubScreen::repaintNow()
{
    paint();
    letEventsRun();
}

void HubScreen::showProgress()
{
    const HubView &v = m_logic.view;
    ProgressBar1->setMaximum(v.ProgressBar1Maximum);
    ProgressBar1->setValue(v.ProgressBar1Value);
    ProgressBar2->setMaximum(v.ProgressBar2Maximum);
    ProgressBar2->setValue(v.ProgressBar2Value);
}

WaitFunction HubScreen::waitOnCover() { return waitShowingReason(ctx.wait, Picture2, Label19); }

WaitFunction HubScreen::waitOnWaitPanel() { return waitShowingReason(ctx.wait, Picture6, Label21); }

void HubScreen::unloadRosterScreen() { ctx.forms->unload(FormName::namesel); }

void HubScreen::fileError(const QString &fileKind, const QString &detail, int number)
{
    ctx.messages.critical(this, QStringLiteral("Tobrel"),
                          stopMessage(fileKind + QStringLiteral("を読めないため、終了します。"), detail, number));
    ctx.forms->closeAll();
    ctx.exit(1);
}

void HubScreen::tell(const QString &message) { ctx.messages.information(this, QStringLiteral("Tobrel"), message); }

bool HubScreen::teacherPanelOpen() const { return teacherPanel && teacherPanel->isOpen(); }

void HubScreen::sheetForTeacher(bool teacher) { Picture11->setTeacher(teacher); }

void HubScreen::tallied(bool teacher)
{
    if (teacherPanel)
        teacherPanel->Form_Activate(teacher);
}

void HubScreen::fillSheet(const QStringList &students)
{
    Picture11->fillLists(students, ctx.state.profile.LevelCount, ctx.state.student.CurrentStudent);
}

void HubScreen::hideSheet() { Picture11->setVisible(false); }

void HubScreen::startRun() { StartRun(ctx); }

void HubScreen::unloadHub() { ctx.forms->unload(objectName()); }

void HubScreen::showRosterScreen()
{
    ctx.forms->show(FormName::namesel);
    letEventsRun();
}

QStringList HubScreen::listLines(int level) const
{
    if (level < 0 || level >= static_cast<int>(List5Lines.size()))
        return {};
    return List5Lines[level]->lines();
}

void HubScreen::showColumnOf(QObject *widget)
{
    if (!HScroll1->isVisible())
        return;
    for (int i = 1; i <= ctx.state.profile.LevelCount && i < static_cast<int>(Command4.size()); ++i) {
        if (widget != Command4[i] && widget != List5[i])
            continue;
        HScroll1->setValue(columns.layout().scrollShowing(i, HScroll1->value()));
        return;
    }
}

bool HubScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        // Tab reaches a column that is scrolled out of view: it comes into view. (Focus
        // that moves on because a view hides the lists while it is built moves no column.)
        const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
        if ((why == Qt::TabFocusReason || why == Qt::BacktabFocusReason) && m_logic.KeysReady != 0 &&
            m_logic.view.Command1Enabled)
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
            if (watched == Text1[i] && m_logic.Text1_Click(i))
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
