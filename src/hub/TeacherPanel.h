// The hub's teacher panel Picture7, the door to the administration screens. The hub's
// "データ処理" (Command8, shown to teachers only) opens it; the password box Text3 is
// compared with the data-change password at every press of Command10(0) "データ変更"
// (results manager), Command10(1) "合格タイムデータ変更" (criteria editor) or
// Command10(2) "クラス一覧" (class overview). A match
// opens that screen and closes the hub, which the screen builds afresh when it is left;
// anything else only asks for the password. "戻る" (Command12) hides the panel.
//
// Teachers also see, on the hub, how many damaged records the results file holds (a
// moment after the hub is up when the whole of a big file must be read for it), and
// that a font the lists need is missing on this PC (students are not told: they go on).
//
// The hub builds the panel and "データ処理" for teachers only, and every handler asks
// the logic (TeacherEntry) whether the student may act, whatever is shown: a hidden
// button can still be pressed through assistive technology.
#pragma once
#include "ui/Forms.h"

#include <QFrame>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tobrel {

struct AppContext;
class FormScale;

class TeacherPanel final : public QFrame {
public:
    // Builds the panel on the hub's form area; command8 is the hub's "データ処理".
    TeacherPanel(AppContext &ctx, const FormScale &scale, QWidget *stage, QPushButton *command8);

    // At every activation of the hub: the panel hidden, "データ処理", the damaged
    // records and a missing font shown to teachers only.
    void Form_Activate(bool teacher);
    // Once the hub's activation is over (the lists filled and painted): the count left
    // for after the paint is set to run when the hub is on the display and idle. Not
    // before: the hub lets events run while it tallies, and a count made then would be
    // waited on before the hub is up.
    void hubActivated();
    void Command8_Click(); // "データ処理": opens the panel
    void Command12_Click(); // "戻る": closes it
    void Command10_Click(int index); // 0 "データ変更", 1 "合格タイムデータ変更", 2 "クラス一覧"
    // Opened by "データ処理" and not closed since.
    bool isOpen() const { return m_open; }

    QLabel *Label28 = nullptr;
    QLineEdit *Text3 = nullptr;
    std::vector<QPushButton *> Command10; // 0, 1, 2
    QPushButton *Command12 = nullptr;
    QLabel *DamagedLabel = nullptr; // on the hub, outside the panel
    QLabel *FontLabel = nullptr; // on the hub, beside the view's title: a missing font

private:
    // The damaged records counted and their notice shown, for a teacher still logged in.
    void countDamagedRecords();
    void showDamagedRecordsNotice(const QString &notice);
    AppContext &ctx;
    QPushButton *m_command8;
    bool m_opening = false; // an administration screen is being built
    bool m_open = false;
    enum class AfterPaint { Nothing, CountAgain, Count };
    AfterPaint m_afterPaint = AfterPaint::Nothing; // set at activation, armed once it is over
};

// The registry's way to an administration screen (FrmData, FrmTimeData): the screen is
// built only on the grant the teacher panel gave at that press; otherwise nothing opens.
Forms::Factory adminScreenFactory(AppContext &ctx, const QString &formName, Forms::Factory build);

} // namespace tobrel
