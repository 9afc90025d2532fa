#include "admin/CriteriaEditorScreen.h"

#include "hub/TeacherEntry.h"
#include "state/SharedState.h"
#include "ui/FormNames.h"
#include "ui/LineListModel.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"

#include <QAbstractTableModel>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QFrame>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <cmath>

namespace tobrel {
namespace {

// Layout in twips inside the main panel Picture1. The grid runs across the whole panel
// under the column explanation, in the size of the screen's other controls, so its
// headers are read whole; the two histograms stand side by side under it, wide enough
// for their longest line, with the buttons beside them.
constexpr double kGridLeft = 210, kGridTop = 1950, kGridWidth = 14895;
constexpr double kRowHeight = 345; // the header row; every row is as high
constexpr int kVisibleRows = 9; // the header row and eight levels; more scroll
constexpr double kGridPoints = 11;
constexpr double kHeaderPoints = 10;
constexpr double kHistogramTop = 5160, kHistogramHeight = 5430;
constexpr double kListWidth = 6090, kListTop = 780, kListHeight = 4590;
constexpr double kButtonLeft = 12840, kButtonWidth = 2160, kButtonHeight = 660;

constexpr QRgb kFixedColour = 0xFFD4D0C8;
constexpr QRgb kMarkColour = 0xFFFFFF00; // changed by typing: yellow
constexpr QRgb kSelectionColour = 0xFFC8DCF8;
constexpr QRgb kCellColour = 0xFFFFFFFF;

// The key code of a key, as the cell editor's key handling knows them.
int keyCodeOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Escape:
        return KeyEscape;
    case Qt::Key_Up:
        return KeyUp;
    case Qt::Key_Down:
        return KeyDown;
    case Qt::Key_Left:
        return KeyLeft;
    case Qt::Key_Right:
        return KeyRight;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return KeyEnter;
    case Qt::Key_Backspace:
        return KeyBackspace;
    case Qt::Key_Space:
        return KeySpace;
    default:
        return qtKey < 0x80 ? qtKey : 0;
    }
}

// The cell editor: every key goes to the editor's logic, which owns the text.
class CellEditor final : public QLineEdit {
public:
    CellEditor(CriteriaEditorScreen *screen, QWidget *parent) : QLineEdit(parent), m_screen(screen) {}

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        QString typed = e->text();
        if (e->key() == Qt::Key_Backspace)
            typed = QString(QChar(KeyBackspace));
        m_screen->cellEditorKey(keyCodeOf(e->key()), e->modifiers(), typed);
        e->accept();
    }
    void inputMethodEvent(QInputMethodEvent *e) override
    {
        if (e->commitString().isEmpty()) {
            QLineEdit::inputMethodEvent(e);
            return;
        }
        // Text from an input method: one key, then its characters.
        QInputMethodEvent clearPreedit;
        QLineEdit::inputMethodEvent(&clearPreedit);
        m_screen->cellEditorKey(229, Qt::NoModifier, e->commitString());
        e->accept();
    }

private:
    CriteriaEditorScreen *m_screen;
};

QLabel *label(QWidget *parent, const QString &name, const FormScale &s, double pt, const QString &text, QRect where)
{
    QLabel *l = makeLabel(parent, name, text);
    l->setFont(s.font(pt));
    l->setGeometry(where);
    return l;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &text, const FormScale &s, QRect where)
{
    QPushButton *b = makeButton(parent, name, text);
    b->setFont(s.font(11));
    b->setGeometry(where);
    return b;
}

QFrame *panel(QWidget *parent, const QString &name, QRect where, const QString &style = {})
{
    auto *f = new QFrame(parent);
    f->setObjectName(name);
    f->setGeometry(where);
    if (!style.isEmpty())
        f->setStyleSheet(QStringLiteral("QFrame#%1 { %2 }").arg(name, style));
    return f;
}

QListView *histogramList(QWidget *parent, const QString &name, const QString &spoken, LineListModel *&lines,
                         const FormScale &s, QRect where)
{
    auto *list = new QListView(parent);
    list->setObjectName(name);
    list->setAccessibleName(spoken);
    lines = new LineListModel(list);
    list->setModel(lines);
    list->setUniformItemSizes(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setFont(s.listFont(11));
    list->setGeometry(where);
    return list;
}

} // namespace

// The grid's cells as the logic holds them. The logic's row 0 and column 0, the fixed
// header row and level column, are the view's column and row headers, so they stay in
// place while the levels scroll; the view's cell (r, c) is the logic's (r + 1, c + 1).
// Changed cells are yellow; the fill-down selection is shaded.
class CriteriaEditorScreen::GridModel final : public QAbstractTableModel {
public:
    GridModel(CriteriaEditorLogic &logic, QFont headerFont, QObject *parent)
        : QAbstractTableModel(parent), m_logic(logic), m_headerFont(std::move(headerFont))
    {}

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : std::max(0, m_rows - 1);
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : CriteriaEditorLogic::kCols - 1;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const int r = index.row() + 1, c = index.column() + 1;
        if (!index.isValid() || r >= m_logic.Rows())
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return m_logic.TextMatrix(r, c);
        case Qt::BackgroundRole:
            return QColor::fromRgb(background(r, c));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        const bool top = orientation == Qt::Horizontal;
        const int r = top ? 0 : section + 1, c = top ? section + 1 : 0;
        if (r >= m_logic.Rows() || c >= CriteriaEditorLogic::kCols)
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return m_logic.TextMatrix(r, c);
        case Qt::ToolTipRole:
            return top ? QVariant(m_logic.TextMatrix(r, c)) : QVariant();
        case Qt::FontRole:
            return top ? QVariant(m_headerFont) : QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(top ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        default:
            return {};
        }
    }
    // The view's cell of a cell of the logic (invalid for the header row and level column).
    QModelIndex cellOf(int row, int col) const { return index(row - 1, col - 1); }
    // What the logic changed since the last update: a new row count resets the view,
    // otherwise only the cells whose text or colour changed are repainted.
    void update()
    {
        const int rows = m_logic.Rows();
        if (m_rows != rows) {
            beginResetModel();
            m_rows = rows;
            endResetModel();
            m_shown.clear();
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < CriteriaEditorLogic::kCols; ++c)
                    m_shown.push_back({m_logic.TextMatrix(r, c), background(r, c)});
            return;
        }
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < CriteriaEditorLogic::kCols; ++c) {
                Shown &was = m_shown[static_cast<size_t>(r * CriteriaEditorLogic::kCols + c)];
                const QString &text = m_logic.TextMatrix(r, c);
                const QRgb colour = background(r, c);
                if (was.text != text || was.colour != colour) {
                    was = {text, colour};
                    if (r == 0)
                        emit headerDataChanged(Qt::Horizontal, c - 1, c - 1);
                    else if (c == 0)
                        emit headerDataChanged(Qt::Vertical, r - 1, r - 1);
                    else
                        emit dataChanged(cellOf(r, c), cellOf(r, c));
                }
            }
    }

private:
    QRgb background(int r, int c) const
    {
        if (r == 0 || c == 0)
            return kFixedColour;
        if (c == m_logic.Col() && r > m_logic.Row() && r <= m_logic.RowSel())
            return kSelectionColour;
        if (m_logic.marked(r, c))
            return kMarkColour;
        return kCellColour;
    }
    struct Shown {
        QString text;
        QRgb colour;
    };

    CriteriaEditorLogic &m_logic;
    QFont m_headerFont; // the header texts are long for their narrow columns
    int m_rows = 0;
    std::vector<Shown> m_shown;
};

CriteriaEditorScreen::CriteriaEditorScreen(AppContext &context) : Screen(context, FormName::FrmTimeData)
{
    setWindowTitle(QStringLiteral("合格タイムデータ変更"));
    const FormScale &s = scale();
    QWidget *stage = this->stage();
    m_logic = std::make_unique<CriteriaEditorLogic>(ctx.state, waitShowingReason(ctx.wait, stage), *this);

    const QString backColour = colourFromBgr(ctx.state.profile.ScreenColour).name();
    Picture2 =
        panel(stage, QStringLiteral("Picture2"), s.rect(0, 0, FormScale::kFormWidthTwips, FormScale::kFormHeightTwips),
              QStringLiteral("background: %1;").arg(backColour));
    Picture1 = panel(stage, QStringLiteral("Picture1"), s.rect(0, 0, 15405, 11220));
    Picture1->setVisible(false);

    Label5 = label(Picture1, QStringLiteral("Label5"), s, 16, QStringLiteral("成績の基準となるデータを変更できます"),
                   s.rect(450, 150, 9600, 435));
    Label6 = label(Picture1, QStringLiteral("Label6"), s, 12, QStringLiteral("列の説明"), s.rect(240, 840, 2025, 495));
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3 = label(Picture1, QStringLiteral("Label3"), s, 11, QString(), s.rect(2280, 840, 12825, 975));
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setStyleSheet(QStringLiteral("background: white; border: 1px solid #808080; padding: 2px;"));

    // The grid: 13 columns of one thirteenth of its width each, the first of the fields a
    // little narrower; nine rows high. The header row and the level column are the view's
    // own headers: they stay where they are while a long list of levels scrolls.
    MSFlexGrid1 = new QTableView(Picture1);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setAccessibleName(QStringLiteral("合格タイムデータ"));
    const QFont headerFont = s.font(kHeaderPoints);
    m_grid = new GridModel(*m_logic, headerFont, MSFlexGrid1);
    MSFlexGrid1->setModel(m_grid);
    MSFlexGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFlexGrid1->setFocusPolicy(Qt::NoFocus);
    MSFlexGrid1->setWordWrap(false);
    MSFlexGrid1->setTextElideMode(Qt::ElideNone);
    MSFlexGrid1->setFont(s.font(kGridPoints));
    MSFlexGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MSFlexGrid1->setCornerButtonEnabled(false);
    MSFlexGrid1->setStyleSheet(
        QStringLiteral(
            "QHeaderView { background: white; } QHeaderView::section { background: %1; color: black; border: 0px; "
            "border-right: 1px solid #808080; border-bottom: 1px solid #808080; "
            "padding: 0px 1px; }")
            .arg(QColor::fromRgb(kFixedColour).name()));
    const int rowPixels = s.px(kRowHeight);
    const double columnWidth = std::round(kGridWidth / CriteriaEditorLogic::kCols);
    QHeaderView *levels = MSFlexGrid1->verticalHeader();
    levels->setMinimumSectionSize(1);
    levels->setDefaultSectionSize(rowPixels);
    levels->setSectionResizeMode(QHeaderView::Fixed);
    levels->setFixedWidth(s.px(columnWidth));
    QHeaderView *headers = MSFlexGrid1->horizontalHeader();
    headers->setMinimumSectionSize(1);
    headers->setSectionResizeMode(QHeaderView::Fixed);
    headers->setFixedHeight(rowPixels);
    headers->setFont(headerFont);
    headers->setTextElideMode(Qt::ElideNone);
    for (int c = 1; c < CriteriaEditorLogic::kCols; ++c)
        m_columnPixels.push_back(s.px(c == 1 ? std::round(0.8 * columnWidth) : columnWidth));
    fitColumns();
    // Whole rows at every scale: a height rounded from twips would cut the last row where
    // a row's pixels are rounded up.
    const QRect gridArea = s.rect(kGridLeft, kGridTop, kGridWidth, kVisibleRows * kRowHeight);
    MSFlexGrid1->setGeometry(gridArea.x(), gridArea.y(), gridArea.width(), kVisibleRows * rowPixels);
    // "レベル", the fixed cell where the header row meets the level column.
    m_corner = new QLabel(QStringLiteral("レベル"), MSFlexGrid1);
    m_corner->setObjectName(QStringLiteral("MSFlexGrid1Corner"));
    m_corner->setFont(headerFont);
    m_corner->setAlignment(Qt::AlignCenter);
    m_corner->setStyleSheet(QStringLiteral("background: %1; color: black; border-right: 1px solid #808080; "
                                           "border-bottom: 1px solid #808080;")
                                .arg(QColor::fromRgb(kFixedColour).name()));
    const int frame = MSFlexGrid1->frameWidth();
    m_corner->setGeometry(frame, frame, levels->width(), rowPixels);
    m_corner->raise();
    connect(MSFlexGrid1, &QTableView::clicked, this,
            [this](const QModelIndex &i) { m_logic->MSFlexGrid1_Click(i.row() + 1, i.column() + 1); });
    connect(headers, &QHeaderView::sectionClicked, this, [this](int c) { m_logic->MSFlexGrid1_Click(0, c + 1); });
    connect(levels, &QHeaderView::sectionClicked, this, [this](int r) { m_logic->MSFlexGrid1_Click(r + 1, 0); });
    connect(MSFlexGrid1->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { layEditorOverCell(); });
    // The scroll bar of a long list of levels takes room from the columns: the last
    // column (a spare field) gives it up, so the grid never scrolls sideways.
    MSFlexGrid1->viewport()->installEventFilter(this);

    // The cell editor lies over the grid as a control of the panel, not inside the grid's
    // view: assistive technology finds it among the screen's controls and tells the cell
    // it edits (its name, "レベル2 目標Time") and the value typed.
    auto *editor = new CellEditor(this, Picture1);
    Gridinputtext = editor;
    Gridinputtext->installEventFilter(this);
    Gridinputtext->setObjectName(QStringLiteral("Gridinputtext"));
    Gridinputtext->setAccessibleName(QStringLiteral("セルの値"));
    Gridinputtext->setFont(s.font(kGridPoints));
    Gridinputtext->setFrame(false);
    Gridinputtext->setStyleSheet(
        QStringLiteral("QLineEdit { border: 2px solid #1a3d8f; padding: 0px; background: white; }"));
    Gridinputtext->setContextMenuPolicy(Qt::NoContextMenu);
    Gridinputtext->setText(QStringLiteral("Text1"));
    Gridinputtext->setVisible(false);
    connect(Gridinputtext, &QLineEdit::textEdited, this, [this](const QString &t) {
        m_logic->view.caret = Gridinputtext->cursorPosition();
        m_logic->Gridinputtext_Change(t);
    });

    // The two options side by side above the column explanation.
    Picture4 = panel(Picture1, QStringLiteral("Picture4"), s.rect(10530, 90, 4575, 630),
                     QStringLiteral("background: white; border: 1px solid #808080;"));
    auto *options = new QButtonGroup(this);
    const QString optionTexts[2] = {QStringLiteral("度数表示"), QStringLiteral("度数非表示")};
    for (int i = 0; i < 2; ++i) {
        auto *o = new QRadioButton(optionTexts[i], Picture4);
        o->setObjectName(arrayElementName("Option1", i));
        o->setFont(s.font(11));
        o->setGeometry(s.rect(i == 0 ? 180 : 2340, 135, 2100, 360));
        options->addButton(o, i);
        Option1.push_back(o);
        connect(o, &QRadioButton::clicked, this, [this, i] { m_logic->Option1_Click(i); });
    }
    Option1[0]->setChecked(true);

    Picture3 = panel(Picture1, QStringLiteral("Picture3"),
                     s.rect(kGridLeft, kHistogramTop, 2 * kListWidth + 180, kHistogramHeight),
                     QStringLiteral("background: white; border: 1px solid #808080;"));
    Label7 = label(Picture3, QStringLiteral("Label7"), s, 12, QStringLiteral("現在までの成績度数分布"),
                   s.rect(120, 30, 5400, 360));
    Label9 = label(Picture3, QStringLiteral("Label9"), s, 11, QStringLiteral("全成績"), s.rect(90, 420, 3000, 330));
    List3 = histogramList(Picture3, QStringLiteral("List3"), QStringLiteral("全成績"), m_list3, s,
                          s.rect(60, kListTop, kListWidth, kListHeight));
    Label10 = label(Picture3, QStringLiteral("Label10"), s, 11, QStringLiteral("最高タイム"),
                    s.rect(kListWidth + 150, 420, 3000, 330));
    List4 = histogramList(Picture3, QStringLiteral("List4"), QStringLiteral("最高タイム"), m_list4, s,
                          s.rect(kListWidth + 120, kListTop, kListWidth, kListHeight));

    Command2 = button(Picture1, QStringLiteral("Command2"), QStringLiteral("元に戻す"), s,
                      s.rect(kButtonLeft, kHistogramTop, kButtonWidth, kButtonHeight));
    Command3 = button(Picture1, QStringLiteral("Command3"), QStringLiteral("更新記録"), s,
                      s.rect(kButtonLeft, kHistogramTop + 900, kButtonWidth, kButtonHeight));
    Command4 =
        button(Picture1, QStringLiteral("Command4"), QStringLiteral("戻る"), s,
               s.rect(kButtonLeft, kHistogramTop + kHistogramHeight - kButtonHeight, kButtonWidth, kButtonHeight));
    Command7 = button(Picture1, QStringLiteral("Command7"), QStringLiteral("Command7"), s, QRect());
    Command7->setVisible(false);
    connect(Command2, &QPushButton::clicked, this, [this] { m_logic->Command2_Click(); });
    // Saved only for the teacher the editor was opened for, still logged in.
    connect(Command3, &QPushButton::clicked, this, [this, openedFor = int(ctx.state.student.CurrentStudent)] {
        if (adminMayAct(ctx.state, openedFor))
            m_logic->Command3_Click();
    });
    connect(Command4, &QPushButton::clicked, this, [this] { m_logic->Command4_Click(); });
    connect(Command7, &QPushButton::clicked, this, [this] { m_logic->Command7_Click(); });

    Label1 = label(Picture1, QStringLiteral("Label1"), s, 10,
                   QStringLiteral("スペース：セルクリア　　Shift + ↓：セルコピー"), s.rect(270, 10710, 14835, 330));

    // The wait overlay, over everything while saving and leaving.
    Picture6 =
        panel(stage, QStringLiteral("Picture6"), s.rect(0, 0, FormScale::kFormWidthTwips, FormScale::kFormHeightTwips),
              QStringLiteral("background: %1;").arg(backColour));
    Label8 = label(Picture6, QStringLiteral("Label8"), s, 28, QStringLiteral("Just a moment,please."),
                   s.rect(0, 4800, FormScale::kFormWidthTwips, 1200));
    Label8->setAlignment(Qt::AlignCenter);
    Picture6->setVisible(false);
}

CriteriaEditorScreen::~CriteriaEditorScreen() = default;

void CriteriaEditorScreen::Form_Activate()
{
    if (m_activated)
        return;
    m_activated = true;
    m_logic->Form_Activate();
}

void CriteriaEditorScreen::cellEditorKey(int keyCode, Qt::KeyboardModifiers modifiers, const QString &typed)
{
    const bool held = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    m_logic->Gridinputtext_KeyDown(keyCode, held);
    // Keys with Ctrl or Alt type nothing; Esc is ignored altogether.
    if (keyCode == KeyEscape || (modifiers & (Qt::ControlModifier | Qt::AltModifier)))
        return;
    for (const QChar c : typed)
        m_logic->Gridinputtext_KeyPress(c);
    // The grid may have been scrolled away from the current cell (the mouse wheel, the
    // scroll bar): what is typed shows where it goes.
    if (!typed.isEmpty() && !m_logic->busy()) {
        const QModelIndex cell = m_grid->cellOf(m_logic->Row(), m_logic->Col());
        if (cell.isValid()) {
            MSFlexGrid1->scrollTo(cell);
            layEditorOverCell();
        }
    }
}

void CriteriaEditorScreen::refresh()
{
    const CriteriaEditorView &v = m_logic->view;
    m_grid->update();
    if (Gridinputtext->text() != v.Gridinputtext)
        Gridinputtext->setText(v.Gridinputtext);
    Gridinputtext->setCursorPosition(v.caret);
    Gridinputtext->setVisible(v.GridinputtextVisible);
    Label3->setText(QString(v.Label3).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (m_list3->lines() != v.List3)
        m_list3->setLines(v.List3);
    if (m_list4->lines() != v.List4)
        m_list4->setLines(v.List4);
    Picture1->setVisible(v.Picture1Visible);
    Picture3->setVisible(v.Picture3Visible);
    if (v.Option1 >= 0 && v.Option1 < static_cast<int>(Option1.size()))
        Option1[v.Option1]->setChecked(true);
    Picture6->setVisible(v.Picture6Visible);
    if (v.Picture6Visible)
        Picture6->raise();
}

void CriteriaEditorScreen::repaintNow()
{
    refresh();
    repaint();
}

void CriteriaEditorScreen::fitColumns()
{
    int total = 0;
    for (const int w : m_columnPixels)
        total += w;
    const int room = MSFlexGrid1->viewport()->width();
    const int last = static_cast<int>(m_columnPixels.size()) - 1;
    for (int c = 0; c <= last; ++c) {
        int width = m_columnPixels[static_cast<size_t>(c)];
        if (c == last && room > 0)
            width = std::max(1, width + room - total);
        MSFlexGrid1->setColumnWidth(c, width);
    }
    MSFlexGrid1->horizontalScrollBar()->setValue(0);
}

bool CriteriaEditorScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (MSFlexGrid1 && watched == MSFlexGrid1->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
        layEditorOverCell();
    }
    // The mouse wheel over the cell editor scrolls the grid under it.
    if (watched == Gridinputtext && event->type() == QEvent::Wheel && MSFlexGrid1) {
        QCoreApplication::sendEvent(MSFlexGrid1->viewport(), event);
        return true;
    }
    return Screen::eventFilter(watched, event);
}

QRect CriteriaEditorScreen::cellEditorArea() const
{
    const QModelIndex cell = m_grid->cellOf(m_logic->Row(), m_logic->Col());
    if (!cell.isValid())
        return {};
    // The cell in the panel's coordinates, cut to what the grid shows of it.
    QWidget *view = MSFlexGrid1->viewport();
    const QPoint offset = view->mapTo(Picture1, QPoint(0, 0));
    return MSFlexGrid1->visualRect(cell).translated(offset) & view->rect().translated(offset);
}

void CriteriaEditorScreen::layEditorOverCell()
{
    if (m_grid->cellOf(m_logic->Row(), m_logic->Col()).isValid())
        Gridinputtext->setGeometry(cellEditorArea());
}

void CriteriaEditorScreen::placeEditBox()
{
    m_grid->update();
    const QModelIndex cell = m_grid->cellOf(m_logic->Row(), m_logic->Col());
    if (!cell.isValid())
        return;
    MSFlexGrid1->scrollTo(cell);
    layEditorOverCell();
    // The cell's own text goes with the editor at once, before the histograms are read.
    if (Gridinputtext->text() != m_logic->view.Gridinputtext)
        Gridinputtext->setText(m_logic->view.Gridinputtext);
    // A screen reader names the cell being edited.
    const QString header = m_logic->TextMatrix(0, m_logic->Col());
    Gridinputtext->setAccessibleName(
        QStringLiteral("レベル%1 %2")
            .arg(m_logic->Row())
            .arg(header.isEmpty() ? QStringLiteral("%1列目").arg(m_logic->Col()) : header));
    Gridinputtext->setCursorPosition(m_logic->view.caret);
    Label3->setText(QString(m_logic->view.Label3).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    Gridinputtext->setFocus();
}

bool CriteriaEditorScreen::question(const QString &title, const QString &text)
{
    return ctx.messages.question(this, title, text);
}

void CriteriaEditorScreen::tell(const QString &title, const QString &text)
{
    ctx.messages.information(this, title, text);
}

void CriteriaEditorScreen::showHubAndClose()
{
    // The hub is built afresh, so it shows the new criteria.
    ctx.forms->unload(FormName::seisekitime1);
    ctx.forms->show(FormName::seisekitime1);
    ctx.forms->unload(objectName());
}

} // namespace tobrel
