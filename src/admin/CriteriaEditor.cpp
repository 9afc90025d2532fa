#include "admin/CriteriaEditor.h"

#include "criteria/CriteriaFile.h"
#include "results/Tally.h"
#include "state/SharedState.h"

#include <algorithm>

namespace tobrel {
namespace {

// The caret goes to character position 10, or to the end of a shorter text.
constexpr int kCaretPosition = 10;

int caretFor(const QString &text) { return std::min<int>(kCaretPosition, static_cast<int>(text.size())); }

} // namespace

CriteriaEditorLogic::CriteriaEditorLogic(SharedState &state, WaitFunction wait, CriteriaEditorHost &host)
    : m_state(state), m_wait(std::move(wait)), m_host(host)
{}

QStringList CriteriaEditorLogic::headerTexts()
{
    return QStringList{QStringLiteral("レベル")} + criteriaHeaderFields();
}

QString CriteriaEditorLogic::columnExplanation(int col)
{
    static const QString texts[] = {
        QStringLiteral("合格基準タイム\r\n　大部分の人ががんばったら出せそうなタイムにしてください"),
        QStringLiteral("合格最低ラインタイム\r\n  この５倍が時間切れになります"),
        QStringLiteral("目標ポイント\r\n　　 目標ポイント"),
        QStringLiteral("目標回数\r\n　　 目標回数"),
        QStringLiteral("ポイント倍率\r\n  ポイントを何倍にして加算するか\r\n  "
                       "むずかしいレベルや生徒のいやがるレベルは高くしてください"),
        QStringLiteral("やりすぎ禁止回数\r\n  何回やったらやりすぎ禁止にするか\r\n  "),
        QStringLiteral("やりすぎ禁止ポイント\r\n  何ポイントとったらやりすぎ禁止にするか\r\n "),
        QStringLiteral("合格判定をする日数\r\n　何日前からのポイントを有効にするか"),
        QStringLiteral("やりすぎ判定をする日数\r\n　何日前からのポイントを有効にするか"),
    };
    return col >= 1 && col <= 9 ? texts[col - 1] : QString();
}

QString CriteriaEditorLogic::criteriaPath() const { return m_state.config.DataFolder + criteriaFileName(); }

QList<QStringList> CriteriaEditorLogic::levelRows() const
{
    QList<QStringList> rows;
    for (size_t r = 1; r < m_cells.size(); ++r)
        rows << QStringList(m_cells[r].begin() + 1, m_cells[r].end());
    return rows;
}

void CriteriaEditorLogic::Form_Activate()
{
    view.Picture1Visible = true;
    reloadGrid();
    if (hasLevelRows()) {
        m_row = 1;
        m_col = 1;
        m_rowSel = 1;
    }
    view.GridinputtextVisible = hasLevelRows();
    PlaceEditBox();
    GridToText転送();
    Command7_Click();
}

bool CriteriaEditorLogic::reloadGrid()
{
    const CriteriaTexts texts = ReadCriteriaTexts(criteriaPath());
    m_loaded = texts.stamp;
    if (!texts.opened) {
        if (m_cells.empty()) {
            std::array<QString, kCols> header;
            const QStringList h = headerTexts();
            std::copy(h.begin(), h.end(), header.begin());
            m_cells.assign(1, header);
            m_marks.assign(1, {});
        }
        m_host.tell(QStringLiteral("注意"), QStringLiteral("合格タイムデータを読めません。\n%1").arg(texts.problem));
        return false;
    }
    std::array<QString, kCols> header;
    const QStringList h = headerTexts();
    std::copy(h.begin(), h.end(), header.begin());
    m_cells.assign(1, header);
    for (int i = 0; i < texts.levelRows.size(); ++i) {
        std::array<QString, kCols> row;
        row[0] = QString::number(i + 1);
        const QStringList &fields = texts.levelRows[i];
        for (int c = 1; c < kCols; ++c)
            row[c] = fields.value(c - 1);
        m_cells.push_back(row);
    }
    m_marks.assign(m_cells.size(), {});
    LevelRowCount = static_cast<int>(texts.levelRows.size());
    // The current cell stays where it was; a file that has fewer levels now than the
    // row that was current puts it on the last level.
    m_row = std::min(m_row, LevelRowCount);
    m_rowSel = m_row;
    if (!texts.problem.isEmpty())
        m_host.tell(QStringLiteral("注意"), texts.problem);
    return true;
}

void CriteriaEditorLogic::Command2_Click()
{
    if (m_busy)
        return;
    reloadGrid();
    view.GridinputtextVisible = hasLevelRows();
    if (hasLevelRows()) {
        if (m_row < 1)
            m_row = m_rowSel = 1;
        // The editor shows the reloaded text of its cell, not the discarded edit.
        GridToText転送();
        PlaceEditBox();
    }
    m_host.refresh();
}

void CriteriaEditorLogic::Command3_Click()
{
    if (m_busy)
        return;
    save();
    m_host.refresh();
}

bool CriteriaEditorLogic::save()
{
    view.Picture6Visible = true;
    m_host.repaintNow();
    const CriteriaSaveResult result =
        SaveCriteriaTexts(criteriaPath(), levelRows(), m_state.criteria, saveSteps, [this] { return mayOverwrite(); });
    view.Picture6Visible = false;
    if (result.saved) {
        DataChanged = 0;
        m_loaded = result.written;
        // From now on every run and every judgement uses the new values.
        m_state.criteria = result.table;
        m_host.refresh();
        if (!result.message.isEmpty())
            m_host.tell(QStringLiteral("注意"), result.message);
        return true;
    }
    m_host.refresh();
    if (result.declined) {
        // The other version stays in the file; the grid keeps every edit.
        if (hasLevelRows())
            m_host.placeEditBox();
        return false;
    }
    m_host.tell(QStringLiteral("注意"), result.message);
    // The grid keeps every edit; the cell that stopped the save becomes current.
    if (result.badLevel >= 1 && result.badLevel < Rows() && result.badColumn >= 1) {
        m_row = m_rowSel = result.badLevel;
        m_col = result.badColumn;
        PlaceEditBox();
        Command7_Click();
        GridToText転送();
    } else if (hasLevelRows()) {
        m_host.placeEditBox();
    }
    return false;
}

bool CriteriaEditorLogic::mayOverwrite()
{
    // A file that is gone loses nothing when it is written anew, and one that cannot be
    // read now is refused by the replacement itself, naming it.
    const CriteriaFileStamp now = criteriaFileStamp(criteriaPath());
    if (now.kind != CriteriaFileStamp::Read || now == m_loaded)
        return true;
    view.Picture6Visible = false;
    m_host.refresh();
    const bool overwrite = m_host.question(
        QStringLiteral("注意"),
        QStringLiteral("合格タイムデータのファイル\n%1\nは、この画面を開いた後に、ほかのコンピューター"
                       "（または、ほかのプログラム）で変更されています。\n\n"
                       "この画面の内容で上書きしますか？\n\n"
                       "「はい」：この画面の内容で上書きします。ほかのコンピューターで記録された内容は消えます。\n"
                       "「いいえ」：上書きしません。ファイルはほかのコンピューターで記録された内容のまま残り、"
                       "この画面の変更もそのまま残ります（「元に戻す」を押すと、ファイルの内容を表示します）。")
            .arg(criteriaPath()));
    if (overwrite) {
        view.Picture6Visible = true;
        m_host.repaintNow();
    }
    return overwrite;
}

void CriteriaEditorLogic::Command4_Click()
{
    if (m_busy)
        return;
    if (DataChanged == 1 &&
        m_host.question(QStringLiteral("注意"), QStringLiteral("データが変更されています。記録しますか？"))) {
        // A save that was refused keeps the editor open, so no edit is lost.
        if (!save())
            return;
    }
    view.Picture6Visible = true;
    m_host.repaintNow();
    m_host.showHubAndClose();
}

void CriteriaEditorLogic::Command7_Click()
{
    if (m_busy)
        return;
    // The results file as every screen opens it: runs this PC kept while the share was
    // away are sent first. Reading it may wait for another PC's lock while screen events
    // run; the handlers do nothing until it is read.
    m_busy = true;
    const QString error = m_histogram.update(sharedResultsFile(m_state, m_wait));
    m_busy = false;
    HistogramLevel = m_row;
    if (error.isEmpty()) {
        view.List3 = m_histogram.allResultsLines(HistogramLevel);
        view.List4 = m_histogram.bestTimeLines(HistogramLevel);
    } else {
        view.List3 = error.split(u'\n');
        view.List4.clear();
    }
    m_host.refresh();
}

void CriteriaEditorLogic::Option1_Click(int index)
{
    if (m_busy)
        return;
    view.Option1 = index;
    view.Picture3Visible = true;
    Command7_Click();
}

void CriteriaEditorLogic::MSFlexGrid1_Click(int row, int col)
{
    if (m_busy)
        return;
    if (!hasLevelRows())
        return;
    // The fixed header row and level column cannot become current.
    if (row >= 1 && row < Rows() && col >= 1 && col <= kLastCol) {
        m_row = m_rowSel = row;
        m_col = col;
    }
    PlaceEditBox();
    Command7_Click();
    GridToText転送();
    m_host.refresh();
}

void CriteriaEditorLogic::editorText(const QString &text)
{
    if (view.Gridinputtext == text)
        return;
    view.Gridinputtext = text;
    view.caret = std::min<int>(view.caret, static_cast<int>(text.size()));
    TextToGrid転送();
}

void CriteriaEditorLogic::Gridinputtext_Change(const QString &text)
{
    if (m_busy)
        return;
    view.Gridinputtext = text;
    view.caret = std::min<int>(view.caret, static_cast<int>(text.size()));
    TextToGrid転送();
    m_host.refresh();
}

void CriteriaEditorLogic::TextToGrid転送()
{
    if (!hasLevelRows() || m_row < 1)
        return;
    QString &cell = m_cells[m_row][m_col];
    if (cell != view.Gridinputtext) {
        m_marks[m_row][m_col] = true;
        DataChanged = 1;
        cell = view.Gridinputtext;
    }
}

void CriteriaEditorLogic::GridToText転送()
{
    if (!hasLevelRows() || m_row < 1)
        return;
    editorText(m_cells[m_row][m_col]);
    view.caret = caretFor(view.Gridinputtext);
}

void CriteriaEditorLogic::PlaceEditBox()
{
    view.caret = caretFor(view.Gridinputtext);
    view.Label3 = columnExplanation(m_col);
    m_host.placeEditBox();
}

void CriteriaEditorLogic::Gridinputtext_KeyDown(int keyCode, bool shiftCtrlOrAlt)
{
    if (m_busy)
        return;
    if (keyCode == KeyEscape || !hasLevelRows())
        return;
    const int lastRow = Rows() - 1;
    auto moveTo = [&](int row, int col) {
        m_row = m_rowSel = row;
        m_col = col;
        editorText(m_cells[m_row][m_col]);
        PlaceEditBox();
    };
    switch (keyCode) {
    case KeyUp:
        if (m_row > 1)
            moveTo(m_row - 1, m_col);
        break;
    case KeyDown:
        if (shiftCtrlOrAlt) {
            // Fill down: the selection grows by a row and takes the editor's text,
            // without marks and without counting as a change.
            if (m_rowSel < lastRow)
                ++m_rowSel;
            for (int r = m_row; r <= m_rowSel; ++r)
                m_cells[r][m_col] = view.Gridinputtext;
        } else if (m_row < lastRow) {
            moveTo(m_row + 1, m_col);
        }
        break;
    case KeyLeft:
        if (m_col > 1)
            moveTo(m_row, m_col - 1);
        break;
    case KeyRight:
        if (m_col < kLastCol)
            moveTo(m_row, m_col + 1);
        break;
    default:
        break;
    }
    Command7_Click();
    GridToText転送();
    m_host.refresh();
}

void CriteriaEditorLogic::Gridinputtext_KeyPress(QChar key)
{
    if (m_busy)
        return;
    if (!hasLevelRows() || m_row < 1)
        return;
    QString text = view.Gridinputtext;
    int caret = std::clamp(view.caret, 0, static_cast<int>(text.size()));
    if (key == u' ') {
        // The space bar clears the cell.
        text.clear();
        caret = 0;
    } else if (key.unicode() == KeyBackspace) {
        if (caret == 0)
            return;
        text.remove(caret - 1, 1);
        --caret;
    } else if (key.unicode() < 32 || key.unicode() == 127) {
        return;
    } else {
        text.insert(caret, key);
        ++caret;
    }
    view.caret = caret;
    editorText(text);
    view.caret = caret;
    m_host.refresh();
}

} // namespace tobrel
