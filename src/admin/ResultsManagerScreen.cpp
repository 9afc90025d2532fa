#include "admin/ResultsManagerScreen.h"

#include "state/SchoolFiles.h"
#include "admin/ResultsCsv.h"
#include "results/Tally.h"

#include "state/SharedState.h"
#include "ui/Accessible.h"
#include "ui/FormNames.h"
#include "ui/MessageBoxes.h"
#include "ui/Printers.h"
#include "ui/Ui.h"

#include <QAbstractListModel>
#include <QBrush>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

namespace tobrel {

// The lines of List1, made by the logic only when the list shows them. Damaged records
// stand out in red.
class ResultsListModel final : public QAbstractListModel {
public:
    ResultsListModel(const ResultsManagerLogic &logic, QObject *parent) : QAbstractListModel(parent), m_logic(logic) {}
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_logic.lineCount();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return m_logic.line(index.row());
        if (role == Qt::ForegroundRole && m_logic.lineIsDamaged(index.row()))
            return QBrush(QColor(0xC0, 0, 0));
        return {};
    }
    void rebuilt()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const ResultsManagerLogic &m_logic;
};

namespace {

// The form's layout in twips.
namespace layout {
constexpr double kListLeft = 240, kListTop = 900, kListWidth = 14880, kListHeight = 6480;
constexpr double kDialogTop = 7560, kDialogWidth = 11520, kDialogHeight = 2640;
} // namespace layout

QPushButton *button(QWidget *parent, const FormScale &scale, const QString &name, const QString &text, double pt)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFont(scale.font(pt));
    return b;
}

QLabel *label(QWidget *parent, const FormScale &scale, const QString &name, double pt, const QString &text = {})
{
    QLabel *l = makeLabel(parent, name, text);
    l->setFont(scale.font(pt));
    return l;
}

} // namespace

ResultsManagerScreen::ResultsManagerScreen(AppContext &context)
    : Screen(context, FormName::FrmData), dialogs(context.fileDialogs)
{
    setWindowTitle(QStringLiteral("データ変更"));
    setAutoFillBackground(true);
    const FormScale &s = scale();
    QWidget *form = stage();
    m_logic = std::make_unique<ResultsManagerLogic>(ctx.state, ctx.clock, waitShowingReason(ctx.wait, stage()),
                                                    static_cast<ResultsManagerHost &>(*this));

    Label5 = label(form, s, QStringLiteral("Label5"), 12, QStringLiteral("ダブルクリックすると変更、消去できます"));
    Label5->setGeometry(s.rect(240, 150, 7800, 420));
    Label3 = label(form, s, QStringLiteral("Label3"), 12);
    Label3->setGeometry(s.rect(8400, 150, 4200, 420));
    DamagedLabel = label(form, s, QStringLiteral("DamagedLabel"), 11);
    DamagedLabel->setGeometry(s.rect(240, 540, 14880, 330));
    DamagedLabel->setStyleSheet(QStringLiteral("color: #c00000;"));

    List1 = new QListView(form);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("成績の一覧"));
    List1->setFont(s.listFont(12));
    List1->setUniformItemSizes(true); // a million lines are never measured one by one
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setGeometry(s.rect(layout::kListLeft, layout::kListTop, layout::kListWidth, layout::kListHeight));
    m_model = new ResultsListModel(*m_logic, this);
    List1->setModel(m_model);

    // The change dialog.
    Picture3 = new QFrame(form);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setFrameShape(QFrame::Panel);
    Picture3->setFrameShadow(QFrame::Raised);
    Picture3->setAutoFillBackground(true);
    Picture3->setGeometry(s.rect(layout::kListLeft, layout::kDialogTop, layout::kDialogWidth, layout::kDialogHeight));
    label(Picture3, s, QStringLiteral("RecordCaption"), 12, QStringLiteral("記録番号"))
        ->setGeometry(s.rect(120, 180, 1320, 420));
    Label1 = label(Picture3, s, QStringLiteral("Label1"), 12);
    Label1->setGeometry(s.rect(1440, 180, 1920, 420));
    label(Picture3, s, QStringLiteral("TimeCaption"), 12, QStringLiteral("タイム"))
        ->setGeometry(s.rect(120, 840, 1320, 420));
    Text1 = new QLineEdit(Picture3);
    Text1->setObjectName(QStringLiteral("Text1_1"));
    Text1->setAccessibleName(QStringLiteral("タイム（秒）"));
    Text1->setFont(s.font(12));
    Text1->setGeometry(s.rect(1440, 810, 1320, 480));
    for (int i = 0; i < 5; ++i) {
        if (i == 3)
            continue;
        Label2[i] = label(Picture3, s, QStringLiteral("Label2_%1").arg(i), 12);
    }
    Label2[0]->setText(QStringLiteral("秒"));
    Label2[0]->setGeometry(s.rect(2820, 840, 480, 420));
    Label2[1]->setGeometry(s.rect(4080, 180, 1680, 420));
    Label2[2]->setGeometry(s.rect(5880, 180, 2400, 420));
    Label2[4]->setGeometry(s.rect(9960, 840, 1320, 420));
    VScroll1 = new QScrollBar(Qt::Vertical, Picture3);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setAccessibleName(QStringLiteral("タイム"));
    VScroll1->setRange(0, 6000);
    VScroll1->setPageStep(60);
    VScroll1->setGeometry(s.rect(3480, 120, 330, 2400));
    label(Picture3, s, QStringLiteral("StudentCaption"), 12, QStringLiteral("生徒"))
        ->setGeometry(s.rect(4080, 840, 720, 420));
    Combo1 = new QComboBox(Picture3);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    nameComboBox(Combo1, QStringLiteral("生徒"));
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setMaxVisibleItems(20);
    Combo1->setFont(s.font(12));
    Combo1->setGeometry(s.rect(4800, 810, 5040, 480));
    Command2 = button(Picture3, s, QStringLiteral("Command2"), QStringLiteral("変更して記録"), 12);
    Command2->setGeometry(s.rect(4080, 1620, 2520, 720));
    Command3 = button(Picture3, s, QStringLiteral("Command3"), QStringLiteral("消去"), 12);
    Command3->setGeometry(s.rect(6840, 1620, 1800, 720));
    Command6 = button(Picture3, s, QStringLiteral("Command6"), QStringLiteral("キャンセル"), 12);
    Command6->setGeometry(s.rect(8880, 1620, 2280, 720));
    Picture3->setVisible(false);
    // Escape closes the dialog as "キャンセル" does, wherever its focus is.
    Picture3->installEventFilter(this);
    for (QWidget *w : Picture3->findChildren<QWidget *>())
        w->installEventFilter(this);

    ProgressBar1 = new QProgressBar(form);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("消去の進み具合"));
    ProgressBar1->setGeometry(s.rect(layout::kListLeft, 10440, layout::kDialogWidth, 360));
    ProgressBar1->setVisible(false);

    CommandCsv = button(form, s, QStringLiteral("CommandCsv"), QStringLiteral("CSV出力"), 12);
    CommandCsv->setAccessibleDescription(QStringLiteral("すべての成績をCSVファイルに書き出します"));
    CommandCsv->setGeometry(s.rect(12240, layout::kDialogTop, 2880, 720));
    CommandXlsx = button(form, s, QStringLiteral("CommandXlsx"), QStringLiteral("Excel出力"), 12);
    CommandXlsx->setAccessibleDescription(QStringLiteral("すべての成績をExcelファイルに書き出します"));
    CommandXlsx->setGeometry(s.rect(12240, layout::kDialogTop + 840, 2880, 720));

    Picture10 = new QFrame(form);
    Picture10->setObjectName(QStringLiteral("Picture10"));
    Picture10->setGeometry(s.rect(12240, 9960, 2880, 1200));
    Command4 = button(Picture10, s, QStringLiteral("Command4"), QStringLiteral("戻る"), 16);
    Command4->setGeometry(s.rect(0, 0, 2880, 1200));

    Picture1 = new QFrame(form);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAutoFillBackground(true);
    Picture1->setVisible(false);

    connect(List1, &QListView::clicked, this, [this](const QModelIndex &index) { m_logic->List1_Click(index.row()); });
    connect(List1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &index) {
        if (!m_applying)
            m_logic->List1_Click(index.row());
    });
    connect(List1, &QListView::activated, this,
            [this](const QModelIndex &index) { m_logic->List1_DblClick(index.row()); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_applying)
            m_logic->VScroll1_Change(value);
    });
    // What the teacher types stays in the view, so that writing the view back keeps it.
    connect(Text1, &QLineEdit::textEdited, this, [this](const QString &text) { m_logic->view.Text1 = text; });
    connect(Combo1->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString &text) { m_logic->view.Combo1Text = text; });
    connect(Combo1, &QComboBox::activated, this, [this](int index) { m_logic->Combo1_Click(Combo1->itemText(index)); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { m_logic->Command2_Click(Text1->text(), Combo1->currentText()); });
    connect(Command3, &QPushButton::clicked, this, [this] { m_logic->Command3_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { m_logic->Command6_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(CommandCsv, &QPushButton::clicked, this, [this] { CommandCsv_Click(); });
    connect(CommandXlsx, &QPushButton::clicked, this, [this] { CommandXlsx_Click(); });

    Form_Load();
}

ResultsManagerScreen::~ResultsManagerScreen() = default;

void ResultsManagerScreen::Form_Load()
{
    Picture1->setGeometry(scale().rect(0, 0, FormScale::kFormWidthTwips, FormScale::kFormHeightTwips));
    List1->setVisible(true);
    m_logic->Form_Load();
    List1->setFocus();
}

void ResultsManagerScreen::Command4_Click()
{
    Picture1->raise();
    Picture1->setVisible(true);
    repaint();
    ctx.forms->show(FormName::seisekitime1);
    ctx.forms->unload(objectName());
}

void ResultsManagerScreen::CommandCsv_Click() { exportResults(false); }

void ResultsManagerScreen::CommandXlsx_Click() { exportResults(true); }

void ResultsManagerScreen::exportResults(bool workbook)
{
    if (!m_logic->mayAct())
        return;
    const QDate today = ctx.clock.today();
    const QString extension = workbook ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    const QString path = chooseSaveFile(
        *dialogs, ctx.messages, this, ctx.state.LastSaveFolder,
        workbook ? QStringLiteral("成績をExcelファイルに書き出す") : QStringLiteral("成績をCSVファイルに書き出す"),
        workbook ? suggestedWorkbookFileName(today) : suggestedCsvFileName(today),
        workbook ? QStringLiteral("Excel (*.xlsx)") : QStringLiteral("CSV (*.csv)"), extension);
    if (path.isEmpty())
        return;
    // Never over one of the school's files, also not through a link.
    if (const QString refusal = schoolFileRefusal(ctx.state.config, path, extension); !refusal.isEmpty())
        return tell(refusal);
    ProgressBar1->setAccessibleName(workbook ? QStringLiteral("Excel出力の進み具合")
                                             : QStringLiteral("CSV出力の進み具合"));
    ResultsCsvReport report;
    QString error;
    // The wait tells why, as every read of the results file on this screen does.
    const ResultsFile file = sharedResultsFile(ctx.state, waitShowingReason(ctx.wait, stage()));
    const auto showProgress = [this](int64_t done, int64_t total) {
        progress(done, total);
        return true;
    };
    const bool written =
        workbook ? writeResultsWorkbook(file, csvSourceOf(ctx.state, today), {}, path, &report, &error, showProgress)
                 : writeResultsCsvFile(file, csvSourceOf(ctx.state, today), {}, path, &report, &error, showProgress);
    progress(0, 0);
    ProgressBar1->setAccessibleName(QStringLiteral("消去の進み具合"));
    tell(written ? (workbook ? workbookWrittenMessage(path, report) : csvWrittenMessage(path, report)) : error);
}

QString ResultsManagerScreen::listLine(int row) const
{
    return m_model->data(m_model->index(row), Qt::DisplayRole).toString();
}

int ResultsManagerScreen::listCount() const { return m_model->rowCount(); }

int ResultsManagerScreen::selectedLine() const
{
    const QModelIndexList rows = List1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ResultsManagerScreen::refresh()
{
    const ResultsManagerView &v = m_logic->view;
    m_applying = true;
    Label3->setText(v.Label3);
    DamagedLabel->setText(v.damagedNotice);
    DamagedLabel->setVisible(!v.damagedNotice.isEmpty());
    Label1->setText(v.Label1);
    for (int i : {1, 2, 4})
        Label2[i]->setText(v.Label2[i]);
    Text1->setText(v.Text1);
    VScroll1->setValue(v.VScroll1);
    // The list stands on the shown student, so the arrow keys and the drop-down go on
    // from the record's student rather than from the first one.
    const bool anotherStudent = Combo1->currentText() != v.Combo1Text;
    if (const int item = Combo1->findText(v.Combo1Text, Qt::MatchExactly); item >= 0 && item != Combo1->currentIndex())
        Combo1->setCurrentIndex(item);
    if (anotherStudent) {
        Combo1->setEditText(v.Combo1Text);
        // Its start, the student number, stays in view however long the name.
        Combo1->lineEdit()->setCursorPosition(0);
    }
    Command2->setEnabled(v.Command2Enabled);
    Command3->setEnabled(v.Command3Enabled);
    const bool opening = v.Picture3Visible && !Picture3->isVisible();
    const bool closing = !v.Picture3Visible && Picture3->isVisible();
    Picture3->setVisible(v.Picture3Visible);
    // The dialog takes the keys when it opens (its time first), so Escape and Tab work
    // there at once, however it was opened; once it closes (a change, a deletion,
    // "キャンセル") the list has them again.
    if (opening)
        Text1->setFocus();
    if (v.List1Selected >= 0 && v.List1Selected < m_model->rowCount()) {
        const QModelIndex index = m_model->index(v.List1Selected);
        // Current and chosen: the list's taking the focus can make a line current unchosen.
        if (List1->currentIndex() != index || !List1->selectionModel()->isSelected(index)) {
            List1->setCurrentIndex(index);
            List1->scrollTo(index, QAbstractItemView::PositionAtCenter);
        }
    }
    if (closing)
        List1->setFocus();
    m_applying = false;
}

void ResultsManagerScreen::listRebuilt()
{
    m_applying = true;
    m_model->rebuilt();
    Combo1->clear();
    Combo1->addItems(m_logic->roster().Combo1Items);
    m_applying = false;
}

bool ResultsManagerScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
        Picture3->isVisible() && !Combo1->view()->isVisible()) {
        m_logic->Command6_Click();
        List1->setFocus();
        return true;
    }
    return Screen::eventFilter(watched, event);
}

bool ResultsManagerScreen::confirmDelete()
{
    return ctx.messages.okCancel(this, QStringLiteral("注意"), QStringLiteral("本当に消去しますか"));
}

void ResultsManagerScreen::tell(const QString &text) { ctx.messages.information(this, QStringLiteral("Tobrel"), text); }

void ResultsManagerScreen::progress(int64_t done, int64_t total)
{
    if (total <= 0) {
        ProgressBar1->setVisible(false);
        setBusy(false);
        return;
    }
    if (!ProgressBar1->isVisible()) {
        setBusy(true);
        ProgressBar1->setVisible(true);
        ProgressBar1->raise();
    }
    // Counted in thousands, so files beyond the bar's range still fill it evenly.
    ProgressBar1->setMaximum(1000);
    ProgressBar1->setValue(static_cast<int>(done * 1000 / total));
    letEventsRun();
}

void ResultsManagerScreen::whenFree(const std::function<void()> &work)
{
    // After the list is painted again: the teacher's next click does not wait for it
    // either, and a screen closed before then leaves it to the next deletion.
    QTimer::singleShot(200, this, work);
}

void ResultsManagerScreen::setBusy(bool busy)
{
    for (QWidget *w : std::initializer_list<QWidget *>{List1, Picture3, Picture10, CommandCsv, CommandXlsx})
        w->setEnabled(!busy);
}

} // namespace tobrel
