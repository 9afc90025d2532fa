// The result sheet panel Picture11 of the hub screen: the canvas Picture12 with the
// sheet of one student, the student list List2 (behind "他の人のデータを見る"), the level
// list List3, "表示", and for teachers "印刷" (the default printer, one document per
// chosen student) and "PDF保存" (the same pages as a PDF file for parents).
#pragma once
#include "hub/SheetLogic.h"

#include <QFrame>
#include <QStringList>

#include <functional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace tobrel {

struct AppContext;
class KeptRankings;
class FormScale;
class TwipsCanvas;
class Printers;
class FileDialogs;
struct PaperPages;

// What the sheet needs of the hub screen that owns it.
struct SheetHubLinks {
    std::function<QString()> gradeFilter; // the hub's grade filter text
    std::function<int()> pointsOrder; // the hub's points order
    std::function<void(int level)> selectOwnLine; // the last "●" line of the level's list
};

class SheetPanel final : public QFrame {
public:
    // `rankings` are the hub's kept rankings, which the sheet's figures use too.
    SheetPanel(AppContext &ctx, KeptRankings &rankings, const FormScale &scale, QWidget *parent);
    void setHubLinks(SheetHubLinks links) { m_hub = std::move(links); }
    // The print and PDF buttons are for teachers only.
    void setTeacher(bool teacher);
    // The personal-times view's lists: the students ("label /  name/number") and one
    // line per level; the sheet starts on the current student at level 1.
    void fillLists(const QStringList &students, int levelCount, int currentStudent);

    void Command17_Click(); // "グラフ": the sheet of the current student
    void Command25_Click(); // "他の人のデータを見る"
    void List2_Click();
    void List3_Click();
    void Command24_Click(int index); // 0 "表示", 1 "印刷"
    bool Command21_Click(int index); // one sheet run for SheetStudent: 0 screen, 1 printer
    void CommandPdf_Click(); // "PDF保存"
    void Command18_Click(); // "戻る"

    TwipsCanvas *Picture12 = nullptr;
    QListWidget *List2 = nullptr, *List3 = nullptr;
    QPushButton *Command25 = nullptr, *Command18 = nullptr, *CommandPdf = nullptr;
    std::vector<QPushButton *> Command24; // 0 "表示", 1 "印刷"
    QLabel *Label27 = nullptr;

    // Sheet state.
    int SheetStudent = 0;
    int SheetLevel = 0;
    int SheetPrinting = 0;
    double SheetFontSize = 6;
    int SheetLevelOffset = 1;
    SheetFiguresTable figures; // the rankings' figures of each level drawn

    // The platform pieces; tests replace them.
    Printers *printers;
    FileDialogs *dialogs;

private:
    std::vector<int> chosenStudents() const;
    std::vector<int> chosenLevelLines() const;
    SheetOptions options(bool printing) const;
    // Reads the file for SheetStudent; the message for the teacher when it cannot.
    QString readFor(SheetReading &reading);
    // Prints SheetStudent's sheet on the default printer; the reason when it cannot.
    QString printSheet();
    void blockRanked(int level);
    // Paper needs at least one level; tells the teacher otherwise.
    bool levelsChosenForPaper();
    // SheetStudent's sheet on paper, drawn from `reading`, which must outlive the pages.
    PaperPages paperPages(const SheetReading &reading);
    QString documentTitle() const;
    QString suggestedFileName(int student) const;

    AppContext &ctx;
    KeptRankings &m_rankings;
    SheetHubLinks m_hub;
    bool m_settingChoices = false;
};

} // namespace tobrel
