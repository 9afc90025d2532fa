// The criteria editor FrmTimeData: the grid of criteria texts (MSFlexGrid1) with the
// cell editor Gridinputtext laid over its current cell, the explanation of the current
// column, the two histograms of the current level and the buttons "元に戻す",
// "更新記録" and "戻る". Every key and click goes to CriteriaEditorLogic; the screen only
// shows what the logic holds.
#pragma once
#include "admin/CriteriaEditor.h"
#include "ui/Forms.h"

#include <QRect>

#include <memory>
#include <vector>

class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QTableView;

namespace tobrel {

class LineListModel;

class CriteriaEditorScreen final : public Screen, public CriteriaEditorHost {
public:
    explicit CriteriaEditorScreen(AppContext &ctx);
    ~CriteriaEditorScreen() override;

    void Form_Activate() override;
    CriteriaEditorLogic &logic() { return *m_logic; }

    // CriteriaEditorHost
    void refresh() override;
    void repaintNow() override;
    void placeEditBox() override;
    bool question(const QString &title, const QString &text) override;
    void tell(const QString &title, const QString &text) override;
    void showHubAndClose() override;

    // Passes a key of the cell editor to the logic: the key going down, then the
    // character it types.
    void cellEditorKey(int keyCode, Qt::KeyboardModifiers modifiers, const QString &typed);

    QFrame *Picture1 = nullptr, *Picture2 = nullptr, *Picture3 = nullptr, *Picture4 = nullptr;
    QFrame *Picture6 = nullptr;
    QLabel *Label1 = nullptr, *Label3 = nullptr, *Label5 = nullptr, *Label6 = nullptr;
    QLabel *Label7 = nullptr, *Label8 = nullptr, *Label9 = nullptr, *Label10 = nullptr;
    QTableView *MSFlexGrid1 = nullptr; // the header row and level column are its headers
    QLineEdit *Gridinputtext = nullptr;
    std::vector<QRadioButton *> Option1;
    QListView *List3 = nullptr, *List4 = nullptr;
    QPushButton *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr;
    QPushButton *Command7 = nullptr; // hidden: the histogram refresh

    // Where the cell editor lies: the current cell in Picture1's coordinates, cut to
    // what the grid shows of it (empty when it is scrolled out of view).
    QRect cellEditorArea() const;

private:
    class GridModel;
    void layEditorOverCell();
    // Sets the column widths, the last one taking what is left of the grid's width.
    void fitColumns();
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<CriteriaEditorLogic> m_logic;
    GridModel *m_grid = nullptr;
    QLabel *m_corner = nullptr;
    std::vector<int> m_columnPixels; // the field columns' widths as laid out

    LineListModel *m_list3 = nullptr, *m_list4 = nullptr;
    bool m_activated = false;
};

} // namespace tobrel
