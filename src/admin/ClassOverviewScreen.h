// The class overview screen FrmClassOverview, a thin shell around ClassOverviewLogic:
// the grade and period choices, the two dates, the days after which a student is
// marked, the table of students (one column group per level, as wide as the display
// allows), and the buttons; "印刷" and "PDF保存" put the lines as shown on A4 landscape. A line opens the student's result sheet over the overview
// (double-click or Return); the sheet's "戻る" comes back to the overview, and the
// overview's "戻る" shows a freshly built hub.
#pragma once
#include "admin/ClassOverview.h"
#include "ui/Forms.h"

#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace tobrel {

class ClassOverviewModel;
class FileDialogs;
class KeptRankings;
class SheetPanel;

class ClassOverviewScreen final : public Screen, private ClassOverviewHost {
public:
    ClassOverviewScreen(AppContext &ctx, KeptRankings &rankings);
    ~ClassOverviewScreen() override;

    void Form_Load();
    void CommandBack_Click(); // "戻る": back to the hub
    void CommandSheet_Click(); // "成績表": the sheet of the chosen line
    void CommandXlsx_Click(); // "Excel出力"
    void CommandPrint_Click(); // "印刷": the lines on the default printer, A4 landscape
    void CommandPdf_Click(); // "PDF保存": the same pages as a PDF file
    void CommandDates_Click(); // "表示": the period between the two dates

    ClassOverviewLogic &logic() { return *m_logic; }
    int selectedLine() const;

    QLabel *LabelTitle = nullptr, *LabelPeriod = nullptr, *LabelCount = nullptr, *LabelNote = nullptr,
           *LabelDamaged = nullptr, *LabelMark = nullptr;
    QComboBox *ComboFilter = nullptr, *ComboPeriod = nullptr, *ComboSort = nullptr;
    QDateEdit *DateFrom = nullptr, *DateTo = nullptr;
    QSpinBox *SpinDays = nullptr;
    QTableView *TableStudents = nullptr;
    QPushButton *CommandDates = nullptr, *CommandReverse = nullptr, *CommandSheet = nullptr, *CommandXlsx = nullptr,
                *CommandPrint = nullptr, *CommandPdf = nullptr, *CommandBack = nullptr;
    SheetPanel *Sheet = nullptr;
    FileDialogs *dialogs; // the save dialog (tests answer it)

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // ClassOverviewHost
    void refresh() override;
    void rowsChanged() override;
    void showOwnButtons(bool shown);
    void tell(const QString &text) override;
    void showSheet(int student) override;

    void placeTable(); // across the whole display's width
    std::unique_ptr<ClassOverviewLogic> m_logic;
    ClassOverviewModel *m_model = nullptr;
    bool m_applying = false; // the view is being written into the controls
    bool m_rebuilding = false; // the lines are being put back into the table
    int m_chosenStudent = 0; // the student of the chosen line
    bool m_sheetFilled = false;
};

} // namespace tobrel
