// The results manager screen FrmData: the record list List1 and the change dialog
// Picture3, a thin shell around ResultsManagerLogic. Handlers read their controls, call
// the logic and write its view back; "戻る" shows a freshly built hub.
#pragma once
#include "admin/ResultsManagerLogic.h"
#include "ui/Forms.h"

#include <array>
#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QScrollBar;

namespace tobrel {

class FileDialogs;
class ResultsListModel;

class ResultsManagerScreen final : public Screen, private ResultsManagerHost {
public:
    explicit ResultsManagerScreen(AppContext &ctx);
    ~ResultsManagerScreen() override;

    void Form_Load();
    void Command4_Click(); // "戻る": back to the hub
    // "CSV出力": every stored run into a CSV file the teacher names, with progress.
    void CommandCsv_Click();
    // "Excel出力": the same runs into an Excel workbook, each cell typed.
    void CommandXlsx_Click();

    ResultsManagerLogic &logic() { return *m_logic; }
    // The text of line `row` of List1, as the list shows it.
    QString listLine(int row) const;
    int listCount() const;
    int selectedLine() const;

    QListView *List1 = nullptr;
    QLabel *Label5 = nullptr, *Label3 = nullptr, *DamagedLabel = nullptr;
    QFrame *Picture3 = nullptr, *Picture10 = nullptr, *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    std::array<QLabel *, 5> Label2{};
    QLineEdit *Text1 = nullptr; // Text1(1)
    QScrollBar *VScroll1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *Command2 = nullptr, *Command3 = nullptr, *Command6 = nullptr, *Command4 = nullptr;
    QPushButton *CommandCsv = nullptr, *CommandXlsx = nullptr;
    QProgressBar *ProgressBar1 = nullptr; // a deletion's or an export's progress
    FileDialogs *dialogs; // the save dialog (tests answer it)

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The CSV or (workbook) the Excel export, through the save dialog, with progress.
    void exportResults(bool workbook);
    // ResultsManagerHost
    void refresh() override;
    void listRebuilt() override;
    bool confirmDelete() override;
    void tell(const QString &text) override;
    void progress(int64_t done, int64_t total) override;
    void whenFree(const std::function<void()> &work) override;

    void setBusy(bool busy);

    std::unique_ptr<ResultsManagerLogic> m_logic;
    ResultsListModel *m_model = nullptr;
    bool m_applying = false; // the view is being written into the controls
};

} // namespace tobrel
