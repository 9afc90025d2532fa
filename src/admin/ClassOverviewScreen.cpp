#include "admin/ClassOverviewScreen.h"

#include "hub/LevelColumns.h"
#include "hub/SheetPanel.h"
#include "roster/Roster.h"
#include "roster/SheetStudents.h"
#include "state/SchoolFiles.h"
#include "state/SharedState.h"
#include "text/DataFileError.h"
#include "ui/Accessible.h"
#include "ui/FormNames.h"
#include "ui/MessageBoxes.h"
#include "ui/PaperOutput.h"
#include "ui/Printers.h"
#include "ui/Ui.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

namespace tobrel {

// The table's cells, made by the logic only when the view shows them.
class ClassOverviewModel final : public QAbstractTableModel {
public:
    ClassOverviewModel(const ClassOverviewLogic &logic, QObject *parent) : QAbstractTableModel(parent), m_logic(logic)
    {}
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_logic.rowCount();
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_logic.columnCount();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return m_logic.text(index.row(), index.column());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (m_logic.column(index.column()).alignRight ? Qt::AlignRight : Qt::AlignLeft));
        case Qt::BackgroundRole:
            if (m_logic.marked(index.row()))
                return QBrush(QColor(0xFF, 0xE4, 0xE4)); // not practised for a while
            if (index.column() >= ClassOverviewLogic::kOwnColumns &&
                (index.column() - ClassOverviewLogic::kOwnColumns) / ClassOverviewLogic::kPerLevel % 2 == 1)
                return QBrush(QColor(0xEE, 0xF3, 0xFA)); // every other level, so the groups stand apart
            return {};
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
            return {};
        if (orientation == Qt::Vertical) // stays in sight while the levels scroll past
            return m_logic.text(section, 3);
        if (section < 0 || section >= m_logic.columnCount())
            return {};
        const ClassOverviewColumn &c = m_logic.column(section);
        return c.group.isEmpty() ? QStringLiteral("\n") + c.heading : c.group + u'\n' + c.heading;
    }
    void rebuilt()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const ClassOverviewLogic &m_logic;
};

namespace {

namespace layout {
constexpr double kTableTop = 2100, kTableBottom = 10900;
constexpr double kButtonTop = 11010, kButtonHeight = 450;
} // namespace layout

QLabel *label(QWidget *parent, const FormScale &scale, const QString &name, double pt, const QString &text,
              const QRect &geometry)
{
    QLabel *l = makeLabel(parent, name, text);
    l->setFont(scale.font(pt));
    l->setGeometry(geometry);
    return l;
}

QPushButton *button(QWidget *parent, const FormScale &scale, const QString &name, const QString &text,
                    const QRect &geometry)
{
    QPushButton *b = makeButton(parent, name, text);
    b->setFont(scale.font(11));
    b->setGeometry(geometry);
    return b;
}

} // namespace

ClassOverviewScreen::ClassOverviewScreen(AppContext &context, KeptRankings &rankings)
    : Screen(context, QString(FormName::FrmClassOverview)), dialogs(context.fileDialogs)
{
    setWindowTitle(QStringLiteral("クラス一覧"));
    const FormScale &s = scale();
    QWidget *form = stage();
    m_logic =
        std::make_unique<ClassOverviewLogic>(ctx.state, ctx.clock, waitShowingReason(ctx.wait, form),
                                             static_cast<ClassOverviewHost &>(*this), classOverviewSettingsPath());

    LabelTitle =
        label(form, s, QStringLiteral("LabelTitle"), 16, QStringLiteral("クラス一覧"), s.rect(240, 120, 2400, 480));
    LabelPeriod = label(form, s, QStringLiteral("LabelPeriod"), 12, {}, s.rect(2760, 180, 6600, 420));
    LabelCount = label(form, s, QStringLiteral("LabelCount"), 11, {}, s.rect(9480, 180, 5640, 420));
    LabelCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    QLabel *filterCaption =
        label(form, s, QStringLiteral("LabelFilter"), 11, QStringLiteral("学年"), s.rect(240, 720, 600, 420));
    ComboFilter = new QComboBox(form);
    ComboFilter->setObjectName(QStringLiteral("ComboFilter"));
    ComboFilter->setFont(s.font(11));
    ComboFilter->addItems(gradeFilterTexts());
    ComboFilter->setGeometry(s.rect(840, 720, 1860, 420));
    nameComboBox(ComboFilter, QStringLiteral("学年"));
    filterCaption->setBuddy(ComboFilter);

    QLabel *periodCaption =
        label(form, s, QStringLiteral("LabelPeriodChoice"), 11, QStringLiteral("期間"), s.rect(2880, 720, 600, 420));
    ComboPeriod = new QComboBox(form);
    ComboPeriod->setObjectName(QStringLiteral("ComboPeriod"));
    ComboPeriod->setFont(s.font(11));
    ComboPeriod->addItems(overviewPeriodTexts());
    ComboPeriod->setGeometry(s.rect(3480, 720, 1500, 420));
    nameComboBox(ComboPeriod, QStringLiteral("期間"));
    periodCaption->setBuddy(ComboPeriod);

    auto dateEdit = [&](const QString &name, const QString &accessible, double left) {
        auto *d = new QDateEdit(form);
        d->setObjectName(name);
        d->setAccessibleName(accessible);
        d->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        d->setCalendarPopup(true);
        d->setFont(s.font(11));
        d->setGeometry(s.rect(left, 720, 1860, 420));
        return d;
    };
    DateFrom = dateEdit(QStringLiteral("DateFrom"), QStringLiteral("期間の最初の日"), 5100);
    label(form, s, QStringLiteral("LabelTilde"), 11, QStringLiteral("〜"), s.rect(6990, 720, 330, 420));
    DateTo = dateEdit(QStringLiteral("DateTo"), QStringLiteral("期間の最後の日"), 7320);
    CommandDates =
        button(form, s, QStringLiteral("CommandDates"), QStringLiteral("この期間で表示"), s.rect(9240, 720, 1800, 420));
    CommandDates->setAccessibleDescription(QStringLiteral("二つの日付の間の成績を数えます"));

    QLabel *daysCaption = label(form, s, QStringLiteral("LabelDays"), 11, QStringLiteral("印を付ける日数"),
                                s.rect(11280, 720, 1920, 420));
    daysCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SpinDays = new QSpinBox(form);
    SpinDays->setObjectName(QStringLiteral("SpinDays"));
    SpinDays->setAccessibleName(QStringLiteral("この日数より長く練習していない生徒に印を付ける"));
    SpinDays->setRange(1, kMostInactiveDays);
    SpinDays->setSuffix(QStringLiteral("日"));
    SpinDays->setFont(s.font(11));
    SpinDays->setGeometry(s.rect(13260, 720, 1860, 420));
    daysCaption->setBuddy(SpinDays);

    LabelNote = label(form, s, QStringLiteral("LabelNote"), 9,
                      QStringLiteral("回数は時間切れを除く。回数・最高・点数は期間内、全回数はファイル全体"
                                     "（ハブは新しい2万件）、合格はハブと同じ判定。"),
                      s.rect(240, 1260, 10800, 390));
    QLabel *sortCaption =
        label(form, s, QStringLiteral("LabelSort"), 11, QStringLiteral("並べ替え"), s.rect(11160, 1260, 900, 390));
    ComboSort = new QComboBox(form);
    ComboSort->setObjectName(QStringLiteral("ComboSort"));
    ComboSort->setFont(s.font(10));
    ComboSort->setGeometry(s.rect(12060, 1260, 1980, 390));
    nameComboBox(ComboSort, QStringLiteral("並べ替え"));
    sortCaption->setBuddy(ComboSort);
    CommandReverse =
        button(form, s, QStringLiteral("CommandReverse"), QStringLiteral("逆順"), s.rect(14100, 1260, 1020, 390));

    LabelDamaged = label(form, s, QStringLiteral("LabelDamaged"), 10, {}, s.rect(240, 1680, 9000, 360));
    LabelDamaged->setStyleSheet(QStringLiteral("color: #c00000;"));
    LabelMark = label(form, s, QStringLiteral("LabelMark"), 10, {}, s.rect(9360, 1680, 5760, 360));
    LabelMark->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The table lies on the screen itself, not on the 4:3 form area, so that a wide
    // display shows more of the levels at once.
    TableStudents = new QTableView(this);
    TableStudents->setObjectName(QStringLiteral("TableStudents"));
    TableStudents->setAccessibleName(QStringLiteral("クラス一覧の表"));
    TableStudents->setFont(s.listFont(10));
    TableStudents->horizontalHeader()->setFont(s.font(9));
    TableStudents->verticalHeader()->setFont(s.listFont(10));
    TableStudents->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableStudents->setSelectionMode(QAbstractItemView::SingleSelection);
    TableStudents->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableStudents->setWordWrap(false);
    TableStudents->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TableStudents->verticalHeader()->setDefaultSectionSize(QFontMetrics(s.listFont(10)).height() + 4);
    TableStudents->horizontalHeader()->setSectionsClickable(true);
    TableStudents->horizontalHeader()->setSortIndicatorShown(true);
    m_model = new ClassOverviewModel(*m_logic, this);
    TableStudents->setModel(m_model);
    TableStudents->installEventFilter(this);
    // Tab leaves the table for the buttons; the arrows move within it.
    TableStudents->setTabKeyNavigation(false);
    // The line chosen is a student: it stays with that student when the lines are sorted,
    // filtered or read again.
    connect(TableStudents->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_rebuilding && current.isValid())
                    m_chosenStudent = m_logic->studentOfLine(current.row());
            });

    const int buttonWidth = 1800;
    CommandSheet = button(form, s, QStringLiteral("CommandSheet"), QStringLiteral("成績表"),
                          s.rect(240, layout::kButtonTop, buttonWidth, layout::kButtonHeight));
    CommandSheet->setAccessibleDescription(
        QStringLiteral("選んだ生徒の成績表を開きます（行のダブルクリック、Enter でも）"));
    CommandXlsx = button(form, s, QStringLiteral("CommandXlsx"), QStringLiteral("Excel出力"),
                         s.rect(2160, layout::kButtonTop, buttonWidth, layout::kButtonHeight));
    CommandXlsx->setAccessibleDescription(QStringLiteral("表に出ている生徒と数字をExcelファイルに書き出します"));
    CommandPrint = button(form, s, QStringLiteral("CommandPrint"), QStringLiteral("印刷"),
                          s.rect(4080, layout::kButtonTop, buttonWidth, layout::kButtonHeight));
    CommandPrint->setAccessibleDescription(QStringLiteral("表に出ている生徒を A4 横の紙に印刷します"));
    CommandPdf = button(form, s, QStringLiteral("CommandPdf"), QStringLiteral("PDF保存"),
                        s.rect(6000, layout::kButtonTop, buttonWidth, layout::kButtonHeight));
    CommandPdf->setAccessibleDescription(QStringLiteral("印刷と同じページを PDF ファイルに保存します"));
    CommandBack = button(form, s, QStringLiteral("CommandBack"), QStringLiteral("戻る"),
                         s.rect(13320, layout::kButtonTop, buttonWidth, layout::kButtonHeight));

    // The result sheet over the overview: its "戻る" comes back here.
    Sheet = new SheetPanel(ctx, rankings, s, form);
    Sheet->setTeacher(true);
    Sheet->setHubLinks({[this] { return m_logic->view.FilterText; }, [] { return 1; }, {}});
    Sheet->installEventFilter(this);

    connect(ComboFilter, &QComboBox::activated, this, [this](int) {
        if (!m_applying)
            m_logic->FilterCombo_Click(ComboFilter->currentText());
    });
    connect(ComboPeriod, &QComboBox::activated, this, [this](int index) {
        if (!m_applying)
            m_logic->PeriodCombo_Click(index);
    });
    connect(CommandDates, &QPushButton::clicked, this, [this] { CommandDates_Click(); });
    connect(SpinDays, &QSpinBox::valueChanged, this, [this](int days) {
        if (!m_applying)
            m_logic->Days_Change(days);
    });
    connect(ComboSort, &QComboBox::activated, this, [this](int index) {
        if (!m_applying && index != m_logic->view.SortColumn)
            m_logic->Header_Click(index);
    });
    connect(CommandReverse, &QPushButton::clicked, this, [this] { m_logic->Reverse_Click(); });
    connect(TableStudents->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_logic->Header_Click(column); });
    connect(TableStudents, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { m_logic->Row_Open(index.row()); });
    connect(CommandSheet, &QPushButton::clicked, this, [this] { CommandSheet_Click(); });
    connect(CommandXlsx, &QPushButton::clicked, this, [this] { CommandXlsx_Click(); });
    connect(CommandPrint, &QPushButton::clicked, this, [this] { CommandPrint_Click(); });
    connect(CommandPdf, &QPushButton::clicked, this, [this] { CommandPdf_Click(); });
    connect(CommandBack, &QPushButton::clicked, this, [this] { CommandBack_Click(); });

    Form_Load();
}

ClassOverviewScreen::~ClassOverviewScreen() = default;

void ClassOverviewScreen::Form_Load()
{
    m_logic->Form_Load();
    m_applying = true;
    ComboSort->clear();
    const QFontMetrics cell(TableStudents->font());
    const int half = cell.horizontalAdvance(u'0');
    for (int c = 0; c < m_logic->columnCount(); ++c) {
        const ClassOverviewColumn &col = m_logic->column(c);
        ComboSort->addItem(col.group.isEmpty() ? col.heading : col.group + u' ' + col.heading);
        const int heading = QFontMetrics(TableStudents->horizontalHeader()->font()).horizontalAdvance(col.group);
        TableStudents->setColumnWidth(c, std::max(half * (col.widthChars + 1), heading + half * 2));
    }
    m_applying = false;
    refresh();
    TableStudents->setFocus();
    if (m_logic->rowCount() > 0)
        TableStudents->selectRow(0);
}

void ClassOverviewScreen::resizeEvent(QResizeEvent *event)
{
    Screen::resizeEvent(event);
    placeTable();
}

void ClassOverviewScreen::placeTable()
{
    const QRect form = stage()->geometry();
    const int margin = scale().px(120);
    const int top = form.y() + scale().px(layout::kTableTop);
    const int bottom = form.y() + scale().px(layout::kTableBottom);
    TableStudents->setGeometry(margin, top, std::max(0, width() - 2 * margin), bottom - top);
    TableStudents->raise();
}

bool ClassOverviewScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TableStudents && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_logic->Row_Open(selectedLine());
            return true;
        }
    }
    if (watched == Sheet && event->type() == QEvent::Hide) {
        // Back from the sheet: the overview as it was, on the same line.
        TableStudents->setVisible(true);
        showOwnButtons(true);
        TableStudents->setFocus();
    }
    return Screen::eventFilter(watched, event);
}

int ClassOverviewScreen::selectedLine() const
{
    const QModelIndexList rows = TableStudents->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        return rows.first().row();
    const QModelIndex current = TableStudents->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ClassOverviewScreen::CommandSheet_Click() { m_logic->Row_Open(selectedLine()); }

void ClassOverviewScreen::CommandDates_Click() { m_logic->Dates_Change(DateFrom->date(), DateTo->date()); }

void ClassOverviewScreen::CommandBack_Click()
{
    ctx.forms->show(FormName::seisekitime1);
    ctx.forms->unload(objectName());
}

void ClassOverviewScreen::CommandXlsx_Click()
{
    if (!m_logic->mayAct())
        return;
    if (m_logic->view.ReadFailed)
        return tell(ClassOverviewLogic::readFailedRefusal());
    const QString extension = QStringLiteral(".xlsx");
    const QString path = chooseSaveFile(*dialogs, ctx.messages, this, ctx.state.LastSaveFolder,
                                        QStringLiteral("クラス一覧をExcelファイルに書き出す"),
                                        m_logic->suggestedWorkbookName(), QStringLiteral("Excel (*.xlsx)"), extension);
    if (path.isEmpty())
        return;
    // Never over one of the school's files, also not through a link.
    if (const QString refusal = schoolFileRefusal(ctx.state.config, path, extension); !refusal.isEmpty())
        return tell(refusal);
    QString error;
    if (m_logic->writeWorkbook(path, &error))
        tell(QStringLiteral("クラス一覧（生徒 %1人）をExcelファイルに書き出しました。\n%2")
                 .arg(m_logic->rowCount())
                 .arg(QDir::toNativeSeparators(path)));
    else
        tell(error);
}

namespace {

PaperPages overviewPages(const OverviewPrintout &printout)
{
    return {QStringLiteral("クラス一覧"), QPageLayout::Landscape,
            [printout](DrawingSurface &surface) { drawOverviewPages(surface, printout); }};
}

} // namespace

void ClassOverviewScreen::CommandPrint_Click()
{
    if (!m_logic->mayAct())
        return;
    if (m_logic->view.ReadFailed)
        return tell(ClassOverviewLogic::readFailedRefusal());
    // The message waits until the wait cursor is gone.
    QString message;
    {
        BusyCursor busy;
        message = printPages(*ctx.printers, overviewPages(m_logic->printout()));
    }
    if (!message.isEmpty())
        tell(message);
}

void ClassOverviewScreen::CommandPdf_Click()
{
    if (!m_logic->mayAct())
        return;
    if (m_logic->view.ReadFailed)
        return tell(ClassOverviewLogic::readFailedRefusal());
    const PdfSaving saving{*dialogs, ctx.messages, ctx.state.config, ctx.state.LastSaveFolder, this};
    savePdf(saving, QStringLiteral("クラス一覧をPDFで保存"), m_logic->suggestedPdfName(), QStringLiteral("クラス一覧"),
            overviewPages(m_logic->printout()));
}

void ClassOverviewScreen::refresh()
{
    const ClassOverviewView &v = m_logic->view;
    m_applying = true;
    LabelPeriod->setText(v.PeriodLabel);
    LabelCount->setText(v.CountLabel);
    LabelDamaged->setText(v.DamagedLabel);
    LabelDamaged->setVisible(!v.DamagedLabel.isEmpty());
    LabelMark->setText(v.MarkNote);
    ComboFilter->setCurrentText(v.FilterText);
    ComboPeriod->setCurrentIndex(v.PeriodIndex);
    const QDate today = ctx.clock.today();
    DateFrom->setDate(v.From.isValid() ? v.From : today);
    DateTo->setDate(v.To.isValid() ? v.To : today);
    SpinDays->setValue(v.InactiveDays);
    ComboSort->setCurrentIndex(v.SortColumn);
    TableStudents->horizontalHeader()->setSortIndicator(v.SortColumn,
                                                        v.SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    for (QPushButton *b : {CommandSheet, CommandXlsx, CommandPrint, CommandPdf})
        b->setEnabled(!v.ReadFailed);
    m_applying = false;
}

void ClassOverviewScreen::rowsChanged()
{
    m_rebuilding = true;
    m_model->rebuilt();
    const int line = std::max(0, m_logic->lineOfStudent(m_chosenStudent));
    if (m_logic->rowCount() > 0)
        TableStudents->selectRow(line);
    m_rebuilding = false;
    m_chosenStudent = m_logic->studentOfLine(line);
}

void ClassOverviewScreen::showOwnButtons(bool shown)
{
    // Under the sheet, the overview's own buttons would stand beside the sheet's (two
    // "印刷", two "戻る"): they step aside while it is open.
    for (QPushButton *b : {CommandSheet, CommandXlsx, CommandPrint, CommandPdf, CommandBack})
        b->setVisible(shown);
}

void ClassOverviewScreen::keyPressEvent(QKeyEvent *event)
{
    // Escape leaves the overview for the hub, as "戻る" does; over the sheet it is the
    // sheet's own "戻る".
    if (event->key() == Qt::Key_Escape) {
        if (Sheet->isVisible())
            Sheet->Command18_Click();
        else
            CommandBack_Click();
        return;
    }
    Screen::keyPressEvent(event);
}

void ClassOverviewScreen::tell(const QString &text) { ctx.messages.information(this, QStringLiteral("Tobrel"), text); }

void ClassOverviewScreen::showSheet(int student)
{
    QStringList list;
    try {
        list = LoadSheetStudents(ctx.state);
    } catch (const DataFileError &) {
        list.clear(); // the chosen student's sheet needs no list
    }
    Sheet->fillLists(list, ctx.state.profile.LevelCount, student);
    for (int row = 0; row < Sheet->List3->count(); ++row)
        Sheet->List3->item(row)->setSelected(row < 3);
    Sheet->List2->setVisible(false);
    Sheet->Command25->setVisible(true);
    Sheet->SheetFontSize = 6;
    Sheet->SheetLevelOffset = 1;
    TableStudents->setVisible(false);
    showOwnButtons(false);
    Sheet->Command24_Click(0);
    Sheet->Command18->setFocus();
}

} // namespace tobrel
