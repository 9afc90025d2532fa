// The roster screen namesel: the school's students with their grade and two running
// totals, narrowed by grade; choosing a name logs the student in and shows the hub.
// Key "0" or the program-menu button leaves for the suite's program menu.
#pragma once
#include "ui/Forms.h"

#include <QStringList>

#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace tobrel {

class NameSelectScreen final : public Screen {
public:
    explicit NameSelectScreen(AppContext &ctx);

    void Form_Load();
    void Form_Activate() override;
    void 名簿表示();
    void Combo1_Click(); // "学年": the grade shown
    // 1 "回数(今日／今まで）", 2 "ポイント（今日／今まで）", 3 "本日（ポイント／回数）",
    // 4 "今まで（ポイント／回数）": what the two running figures are
    void Option1_Click(int index);
    void List1_Click();
    void List1_DblClick(); // the name chosen: as "O.K."
    void List1_KeyPress(int key);
    // True when the key was taken.
    bool Form_KeyPress(QChar key);
    void Command14_Click(); // "O.K.": log in as the chosen student
    void Command7_Click(); // "ﾌﾟﾟﾛｸﾞﾗﾑメニューへ(0)": leave for the suite's program menu
    void Label4_Click(); // the title: "バージョン情報", the version box

    QLabel *Label4 = nullptr, *Label5 = nullptr, *Label1 = nullptr, *Label2 = nullptr;
    QComboBox *Combo1 = nullptr;
    std::vector<QRadioButton *> Option1;
    QListWidget *List1 = nullptr;
    QPushButton *Command14 = nullptr, *Command7 = nullptr;
    QFrame *Picture5 = nullptr;
    QLabel *Label19 = nullptr;
    QStringList List2, List3; // hidden work lists
    int DisplayMode = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showWaitPanel(bool on);
    void showChosenName(const QString &text);
    // Checks a display mode's option without running its handler.
    void checkOptionQuietly(int index);
    // Every grade filter into Combo1, once, keeping the one shown.
    void fillGradeFilters();
    bool m_comboFilled = false;
    KeyPressNote m_broughtUpBy; // the key that left the hub for this screen
    QString m_rosterNotice; // the notice about the roster last shown, so it is shown once
};

} // namespace tobrel
