#include "roster/NameSelectScreen.h"

#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "roster/NameList.h"
#include "sound/SoundCues.h"
#include "ui/Accessible.h"
#include "ui/FormNames.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"
#include "ui/VersionBox.h"
#include "ui/WhenPainted.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <utility>
#include <vector>

namespace tobrel {

namespace {

// Half-width cells a text takes in the list's fixed-pitch font: two for a wide
// character, one for any other.
int cellsOf(const QString &text)
{
    int cells = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool halfWidthKana = u >= 0xFF61 && u <= 0xFFDC;
        cells += (u >= 0x1100 && !halfWidthKana && !c.isLowSurrogate()) ? 2 : 1;
    }
    return cells;
}

// The list lays every line out at the size of the first; the first is made as large as
// the largest line, so that no line is cut and a long one scrolls into view. Only the
// lines that are longest by their count of cells are measured.
void giveFirstLineTheWidestWidth(QListWidget *list)
{
    if (list->count() == 0)
        return;
    std::vector<std::pair<int, int>> byCells; // (cells, row)
    byCells.reserve(static_cast<size_t>(list->count()));
    for (int row = 0; row < list->count(); ++row)
        byCells.emplace_back(cellsOf(list->item(row)->text()), row);
    const size_t measured = std::min<size_t>(8, byCells.size());
    std::partial_sort(byCells.begin(), byCells.begin() + static_cast<std::ptrdiff_t>(measured), byCells.end(),
                      [](const auto &a, const auto &b) { return a.first > b.first; });
    QAbstractItemModel *model = list->model();
    QSize first = list->sizeHintForIndex(model->index(0, 0));
    for (size_t k = 0; k < measured; ++k)
        first = first.expandedTo(list->sizeHintForIndex(model->index(byCells[k].second, 0)));
    list->item(0)->setSizeHint(first);
}

// Two presses of one key closer together than this are one double press.
constexpr qint32 kDoublePressMs = 500;

// Leaving for the program menu is the one step on this screen that cannot be undone.
// A "0" held down (repeating), or pressed again within a double press of the "0" that
// left the hub, is the student's double press on the hub arriving here after this
// screen came up: it does not leave. Every other key, and a "0" pressed later, counts.
// The two presses are compared in the key events' own clock; where either carried no
// time (a screen reader's bridge hands keys on without it), by when each reached the
// program, which the bridge delays alike.
bool repeatsTheZeroThatLeftTheHub(const QKeyEvent &key, const KeyPressNote &broughtUpBy, const KeyPressNote &thisKey)
{
    if (key.isAutoRepeat())
        return true;
    if (broughtUpBy.key != Qt::Key_0)
        return false;
    qint64 apart = 0;
    if (broughtUpBy.timestamp != 0 && key.timestamp() != 0)
        apart =
            static_cast<qint32>(static_cast<quint32>(key.timestamp()) - static_cast<quint32>(broughtUpBy.timestamp));
    else if (broughtUpBy.arrived != 0 && thisKey.arrived != 0)
        apart = thisKey.arrived - broughtUpBy.arrived;
    else
        return false;
    return apart >= 0 && apart < kDoublePressMs;
}

} // namespace

NameSelectScreen::NameSelectScreen(AppContext &context) : Screen(context, FormName::namesel)
{
    setWindowTitle(QStringLiteral("velmora"));
    const FormScale &tw = scale();
    QWidget *form = stage();

    Label4 = makeLabel(form, QStringLiteral("Label4"));
    Label4->setGeometry(tw.rect(0, 90, 15360, 1440));
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->setToolTip(QStringLiteral("バージョン情報"));

    auto *filterCaption = makeLabel(form, QStringLiteral("filterCaption"), QStringLiteral("学年"));
    filterCaption->setGeometry(tw.rect(360, 1770, 3900, 420));
    filterCaption->setFont(tw.font(13));
    Combo1 = new QComboBox(form);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    nameComboBox(Combo1, QStringLiteral("学年"));
    Combo1->setToolTip(QStringLiteral("表示する学年を選びなさい"));
    Combo1->setFont(tw.font(16));
    Combo1->setGeometry(tw.rect(360, 2220, 3900, 660));
    Combo1->addItem(QStringLiteral("全学年"));

    const QString captions[4] = {QStringLiteral("回数(今日／今まで）"), QStringLiteral("ポイント（今日／今まで）"),
                                 QStringLiteral("本日（ポイント／回数）"), QStringLiteral("今まで（ポイント／回数）")};
    auto *group = new QButtonGroup(form);
    for (int i = 0; i < 4; ++i) {
        auto *b = new QRadioButton(captions[i], form);
        b->setObjectName(QStringLiteral("Option1_%1").arg(i));
        b->setFont(tw.font(13));
        b->setGeometry(tw.rect(360, 3150 + i * 600, 4200, 540));
        group->addButton(b, i);
        Option1.push_back(b);
    }
    Option1[0]->setChecked(true);

    Label1 = makeLabel(form, QStringLiteral("Label1"));
    Label1->setGeometry(tw.rect(360, 6000, 4200, 840));
    Label1->setFont(tw.font(22));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setStyleSheet(QStringLiteral("background: white; border: 2px solid #555;"));
    Label2 = makeLabel(form, QStringLiteral("Label2"));
    Label2->setGeometry(tw.rect(360, 6900, 4200, 450));
    Label2->setFont(tw.font(14));
    Label2->setAlignment(Qt::AlignCenter);
    Command14 = new QPushButton(QStringLiteral("O.K."), form);
    Command14->setObjectName(QStringLiteral("Command14"));
    Command14->setFont(tw.font(24));
    Command14->setGeometry(tw.rect(960, 7575, 3000, 1050));
    Command14->setVisible(!ctx.state.student.okButtonRetired);
    Command7 = new QPushButton(QStringLiteral("ﾌﾟﾟﾛｸﾞﾗﾑメニューへ(0)"), form);
    Command7->setObjectName(QStringLiteral("Command7"));
    Command7->setFont(tw.font(14));
    Command7->setGeometry(tw.rect(360, 10200, 4200, 840));

    Label5 = makeLabel(form, QStringLiteral("Label5"), QStringLiteral("今までの全成績"));
    Label5->setGeometry(tw.rect(4950, 1680, 10050, 480));
    Label5->setFont(tw.font(14));
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    List1 = new QListWidget(form);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("名前"));
    List1->setFont(tw.listFont(17));
    List1->setGeometry(tw.rect(4950, 2220, 10050, 8940));
    // Every line is as high as the first: a school of 5000 is laid out without measuring
    // 5000 lines (the first line is given the width of the widest, see 名簿表示).
    List1->setUniformItemSizes(true);

    Picture5 = new QFrame(form);
    Picture5->setObjectName(QStringLiteral("Picture5"));
    Picture5->setGeometry(tw.rect(4950, 2220, 10050, 8940));
    Picture5->setAutoFillBackground(true);
    Label19 = makeLabel(Picture5, QStringLiteral("Label19"), QStringLiteral("Just a moment, please."));
    Label19->setGeometry(tw.rect(0, 0, 10050, 8940));
    Label19->setAlignment(Qt::AlignCenter);
    Label19->setFont(tw.font(22));

    connect(Combo1, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
    connectChoice(group, this, [this](int id) { Option1_Click(id); });
    connect(List1, &QListWidget::currentRowChanged, this, [this](int) { List1_Click(); });
    connect(List1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *) { List1_DblClick(); });
    connect(Command14, &QPushButton::clicked, this, [this] { Command14_Click(); });
    connect(Command7, &QPushButton::clicked, this, [this] { Command7_Click(); });
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);

    // The grade filter the class chose stays chosen when the next student comes.
    const QString keptFilter = ctx.state.roster.RosterScreenFilter;
    if (!keptFilter.isEmpty()) {
        Combo1->clear();
        Combo1->addItems(gradeFilterTexts());
        Combo1->setCurrentText(keptFilter);
        m_comboFilled = true;
    }

    Form_Load();
}

void NameSelectScreen::showChosenName(const QString &text)
{
    // A long name gets a smaller font rather than being cut.
    setTextFitting(Label1, text, scale().font(22), scale().points(10), scale().px(150));
}

void NameSelectScreen::showWaitPanel(bool on)
{
    Picture5->setVisible(on);
    if (on)
        Picture5->raise();
}

void NameSelectScreen::Form_Load()
{
    const QColor season = colourFromBgr(ctx.state.profile.ScreenColour);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, season);
    setPalette(pal);
    Picture5->setPalette(pal);
    ctx.random.seed(ctx.clock.timeOfDay());
    if (ctx.forms && ctx.forms->preparing()) {
        // Made behind the splash, unseen: the list is made at once as the first
        // activation shows it (the totals of today and so far, in points).
        DisplayMode = PointsTodaySoFar;
        checkOptionQuietly(PointsTodaySoFar);
        名簿表示();
        fillGradeFilters();
    } else {
        showWaitPanel(true);
        show();
        letEventsRun();
        名簿表示();
    }
    Label4->setFont(scale().font(48));
    Label4->setText(ctx.state.profile.ProgramTitle);
    List1->setCurrentRow(0);
    showWaitPanel(false);
}

void NameSelectScreen::Form_Activate()
{
    m_broughtUpBy = ctx.forms->keyThatBroughtUp();
    letEventsRun();
    DisplayMode = 1;
    if (!Option1[1]->isChecked()) {
        checkOptionQuietly(1);
        Option1_Click(1);
    }
    fillGradeFilters();
    ctx.state.roster.SelectedGradeFilter = QStringLiteral("全学年");
    ctx.forms->unload(FormName::seisekitime1);
    showChosenName(chooseYourName());
    Label1->setVisible(false);
    letEventsRun();
    Label1->setVisible(true);
    showWaitPanel(false);
    List1->setFocus();
    // While the screen waits for a name, the hub's first look is made ready from the
    // tallies just read; a key typed before that is done is handled first.
    if (ctx.whileRosterWaits)
        whenPaintedAndIdle(this, this, ctx.whileRosterWaits);
}

void NameSelectScreen::checkOptionQuietly(int index)
{
    const QSignalBlocker quiet(Option1[index]->group());
    Option1[index]->setChecked(true);
}

void NameSelectScreen::fillGradeFilters()
{
    if (m_comboFilled)
        return;
    const QString shown = Combo1->currentText();
    Combo1->clear();
    Combo1->addItems(gradeFilterTexts());
    Combo1->setCurrentText(shown);
    m_comboFilled = true;
}

void NameSelectScreen::名簿表示()
{
    // Made unseen, the screen has nowhere to say why it waits: it leaves a wait, a
    // failure and a notice about the roster to the screen made the usual way.
    const bool unseen = ctx.forms && ctx.forms->preparing();
    const WaitFunction wait = unseen ? WaitFunction([](double, const QString &) { throw ScreenNotReady(); })
                                     : waitShowingReason(ctx.wait, Picture5, Label19);
    NameListResult r = tobrel::名簿表示(ctx.state, ctx.clock, wait, DisplayMode, Combo1->currentText());
    if (unseen && (!r.fatalMessage.isEmpty() || !r.rosterNotice.isEmpty()))
        throw ScreenNotReady();
    if (!r.fatalMessage.isEmpty()) {
        ctx.messages.critical(this, QStringLiteral("Tobrel"), r.fatalMessage);
        ctx.forms->closeAll();
        ctx.exit(1);
        return;
    }
    List1->blockSignals(true);
    List1->clear();
    List1->addItems(r.List1);
    giveFirstLineTheWidestWidth(List1);
    List1->blockSignals(false);
    List2 = r.List2;
    List3 = r.List3;
    List1->setCurrentRow(0);
    List1_Click();
    if (r.rosterNotice != m_rosterNotice && !r.rosterNotice.isEmpty())
        ctx.messages.information(this, QStringLiteral("Tobrel"), r.rosterNotice);
    m_rosterNotice = r.rosterNotice;
}

void NameSelectScreen::Combo1_Click()
{
    ctx.state.roster.SelectedGradeFilter = Combo1->currentText();
    ctx.state.roster.RosterScreenFilter = Combo1->currentText();
    名簿表示();
    List1->setFocus();
}

void NameSelectScreen::Option1_Click(int index)
{
    DisplayMode = index;
    名簿表示();
}

void NameSelectScreen::List1_Click()
{
    const int i = List1->currentRow();
    if (i <= 0) {
        showChosenName(chooseYourName());
        return;
    }
    // The whole name, never cut: two students must not look the same.
    const int s = studentNumberOfEntry(List3.value(i - 1));
    showChosenName(shownStudentName(ctx.state, s));
    Label2->setText(QString::number(s));
}

void NameSelectScreen::List1_DblClick()
{
    const int i = List1->currentRow();
    if (i <= 0) {
        showChosenName(chooseYourName());
        return;
    }
    const int s = studentNumberOfEntry(List3.value(i - 1));
    showChosenName(shownStudentName(ctx.state, s));
    Label2->setText(QString::number(s));
    Command14_Click();
}

void NameSelectScreen::List1_KeyPress(int key)
{
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)
        Command14_Click();
}

bool NameSelectScreen::Form_KeyPress(QChar key)
{
    if (key == u'1' && Command14->isVisible()) {
        Command14_Click();
        return true;
    }
    if (key == u'0' && Command7->isVisible()) {
        Command7_Click();
        return true;
    }
    return false;
}

void NameSelectScreen::Command14_Click()
{
    if (!LogIn(ctx.state, ctx.clock, Label1->text(), Label2->text())) {
        ctx.sound.PlayWrongCue();
        return;
    }
    Command14->setVisible(false);
    ctx.state.student.okButtonRetired = true;
    showWaitPanel(true);
    letEventsRun();
    ApplyProgramProfileTables(ctx.state);
    ctx.forms->show(FormName::seisekitime1);
}

void NameSelectScreen::Command7_Click()
{
    // A copy installed without the suite has no program menu: the student leaves by
    // ending the program, back to the PC's own desktop.
    const QStringList &menu = ctx.state.config.ProgramMenu;
    if (!menu.isEmpty() && !ctx.processes.startDetached(menu.first(), menu.mid(1))) {
        // The program still ends (the student is leaving), but not as a success.
        ctx.messages.critical(
            this, QStringLiteral("Tobrel"),
            QStringLiteral("プログラムメニューを起動できません。先生を呼びなさい。\n\n%1").arg(menu.join(u' ')));
        ctx.forms->closeAll();
        ctx.exit(1);
        return;
    }
    ctx.forms->closeAll();
    ctx.exit(0);
}

void NameSelectScreen::Label4_Click()
{
    VersionBox box(ctx.state, this);
    box.move(mapToGlobal(QPoint((width() - box.width()) / 2, (height() - box.height()) / 2)));
    box.exec();
}

bool NameSelectScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->text() == QStringLiteral("0") &&
            repeatsTheZeroThatLeftTheHub(*key, m_broughtUpBy, ctx.forms->lastCountedKey()))
            return true;
        if (!key->text().isEmpty() && Form_KeyPress(key->text().at(0)))
            return true;
        if (watched == List1 &&
            (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            List1_KeyPress(key->key());
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease && watched == Label4) {
        Label4_Click();
        return true;
    }
    return Screen::eventFilter(watched, event);
}

} // namespace tobrel
