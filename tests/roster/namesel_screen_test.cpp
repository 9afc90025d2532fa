#include "app/Configuration.h"
#include "roster/NameSelectScreen.h"
#include "support/ScreenFixture.h"
#include "ui/VersionBox.h"

#include <QAccessible>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct RosterScreen : ScreenFixture {
    NameSelectScreen *screen = nullptr;
    RosterScreen()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        state.profile.ScreenColour = 0x000080FF;
        forms.show(QStringLiteral("namesel"));
        settle();
        screen = forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
    }
    int rowOf(const QString &name) const
    {
        for (int i = 0; i < screen->List1->count(); ++i)
            if (screen->List1->item(i)->text().contains(name))
                return i;
        return -1;
    }
    bool hubShown() const { return forms.loaded(QStringLiteral("seisekitime1")) != nullptr; }
};

} // namespace

TEST(RosterScreen, ListsStudentsWithTotalsInModeOneAfterActivation)
{
    RosterScreen f;
    ASSERT_NE(f.screen, nullptr);
    EXPECT_EQ(f.screen->windowTitle(), QStringLiteral("velmora"));
    EXPECT_EQ(f.screen->Label4->text(), QStringLiteral("Tobrel"));
    EXPECT_DOUBLE_EQ(f.screen->Label4->font().pointSizeF(), f.screen->scale().points(48)); // 48 as designed
    EXPECT_EQ(f.screen->DisplayMode, 1);
    EXPECT_TRUE(f.screen->Option1[1]->isChecked());
    EXPECT_EQ(f.screen->Combo1->count(), 12);
    EXPECT_EQ(f.screen->List1->item(0)->text(), QStringLiteral("－－－－－－"));
    EXPECT_EQ(f.screen->Label1->text(), QStringLiteral("名前を選びなさい"));
    ASSERT_EQ(f.screen->List1->count(), 4);
    // Oldest first: the teacher (born 1990), then 2014, then 2015.
    EXPECT_TRUE(f.screen->List1->item(1)->text().startsWith(QStringLiteral("大+ 佐藤先生")));
    EXPECT_EQ(f.screen->List1->item(3)->text(), QStringLiteral("小2 佐藤　翔太　  　/       "));
    EXPECT_FALSE(f.screen->Picture5->isVisible());
}

TEST(RosterScreen, PlaceholderAndOkLogNobodyInAndPlayTheWrongCue)
{
    RosterScreen f;
    f.screen->List1->setCurrentRow(0);
    QTest::mouseClick(f.screen->Command14, Qt::LeftButton);
    EXPECT_EQ(f.state.student.CurrentStudent, 0);
    ASSERT_FALSE(f.audio.played.isEmpty());
    EXPECT_TRUE(f.audio.played.last().endsWith(QStringLiteral("ng1.wav")));
    EXPECT_FALSE(f.hubShown());
}

TEST(RosterScreen, DoubleClickEnterSpaceAndOneLogIn)
{
    const int keys[] = {0, Qt::Key_Return, Qt::Key_Space, Qt::Key_1};
    for (int key : keys) {
        RosterScreen f;
        const int row = f.rowOf(QStringLiteral("髙橋"));
        ASSERT_GT(row, 0);
        f.screen->List1->setCurrentRow(row);
        EXPECT_EQ(f.screen->Label1->text(), QStringLiteral("小3 髙橋　健一"));
        EXPECT_EQ(f.screen->Label2->text(), QStringLiteral("2"));
        if (key == 0) {
            QListWidgetItem *item = f.screen->List1->item(row);
            const QRect r = f.screen->List1->visualItemRect(item);
            ASSERT_TRUE(r.isValid());
            QTest::mouseClick(f.screen->List1->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(f.screen->List1->viewport(), Qt::LeftButton, {}, r.center());
        } else {
            QTest::keyClick(f.screen->List1, static_cast<Qt::Key>(key));
        }
        f.settle();
        EXPECT_EQ(f.state.student.CurrentStudent, 2) << key;
        EXPECT_EQ(f.state.student.CurrentStudentName.trimmed(), QStringLiteral("髙橋　健一"));
        EXPECT_EQ(f.state.student.CurrentStudentGroup, QStringLiteral("小３"));
        EXPECT_EQ(f.state.profile.LevelCount, 6);
        EXPECT_TRUE(f.hubShown()) << key;
        // The hub unloads the roster screen; back on it, O.K. is not shown again.
        EXPECT_EQ(f.forms.loaded(QStringLiteral("namesel")), nullptr);
        f.forms.show(QStringLiteral("namesel"));
        f.settle();
        auto *again = f.forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        ASSERT_NE(again, nullptr);
        EXPECT_FALSE(again->Command14->isVisible());
    }
}

TEST(RosterScreen, NamesWithStarsAndLongNamesLogInTheirOwnStudent)
{
    ScreenFixture f;
    f.writeSuite();
    writeCp932(f.dir.path() + QStringLiteral("/data/新名簿.txt"),
               QStringLiteral("7,2012,0,0,A*12,0,,\r\n12,2012,0,0,Ａ,0,,\r\n"
                              "20,2012,0,0,長谷川　由紀子,0,,\r\n21,2012,0,0,長谷川　由紀恵,0,,\r\n"));
    LoadConfiguration(f.state, f.ctx.programFolderPath);
    const struct {
        const char16_t *name;
        int student;
    } rows[] = {{u"A*12", 7}, {u"長谷川　由紀子", 20}, {u"長谷川　由紀恵", 21}};
    for (const auto &r : rows) {
        f.forms.show(QStringLiteral("namesel"));
        f.settle();
        auto *screen = f.forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        ASSERT_NE(screen, nullptr);
        const QString name = QString::fromUtf16(r.name);
        int row = -1;
        for (int i = 1; i < screen->List1->count(); ++i)
            if (screen->List1->item(i)->text().startsWith(QStringLiteral("小5 ") + name))
                row = i;
        ASSERT_GT(row, 0) << name.toStdString();
        screen->List1->setCurrentRow(row);
        EXPECT_EQ(screen->Label1->text(), QStringLiteral("小5 ") + name);
        QTest::keyClick(screen->List1, Qt::Key_Return);
        f.settle();
        EXPECT_EQ(f.state.student.CurrentStudent, r.student) << name.toStdString();
    }
}

TEST(RosterScreen, FilterAndReturnFromTheHub)
{
    RosterScreen f;
    f.screen->Combo1->setCurrentText(QStringLiteral("小３"));
    f.screen->Combo1_Click();
    EXPECT_EQ(f.state.roster.SelectedGradeFilter, QStringLiteral("小３"));
    ASSERT_EQ(f.screen->List1->count(), 2);
    EXPECT_TRUE(f.screen->List1->item(1)->text().contains(QStringLiteral("髙橋")));
    // Activated again (as when a student comes back): the filter resets while the
    // combo keeps its text.
    f.screen->Form_Activate();
    f.settle();
    EXPECT_EQ(f.state.roster.SelectedGradeFilter, QStringLiteral("全学年"));
    EXPECT_EQ(f.screen->Combo1->currentText(), QStringLiteral("小３"));
    EXPECT_EQ(f.screen->Combo1->count(), 12);
}

TEST(RosterScreen, TheGradeFilterIsKeptForTheNextStudent)
{
    // The roster screen is built anew when a student comes back from the hub; a class
    // working with one filter once had to choose it again after every student.
    RosterScreen f;
    f.screen->Combo1->setCurrentText(QStringLiteral("小３"));
    f.screen->Combo1_Click();
    ASSERT_EQ(f.screen->List1->count(), 2);
    f.screen->List1->setCurrentRow(1);
    QTest::keyClick(f.screen->List1, Qt::Key_Return);
    f.settle();
    ASSERT_TRUE(f.hubShown());
    ASSERT_EQ(f.forms.loaded(QStringLiteral("namesel")), nullptr);
    QTest::keyClick(f.forms.loaded(QStringLiteral("seisekitime1")), Qt::Key_0);
    f.settle();
    auto *again = f.forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Combo1->currentText(), QStringLiteral("小３"));
    EXPECT_EQ(again->Combo1->count(), 12);
    ASSERT_EQ(again->List1->count(), 2);
    EXPECT_TRUE(again->List1->item(1)->text().contains(QStringLiteral("髙橋")));
    // The display mode still returns to option 1, and the hub's filter to 全学年.
    EXPECT_EQ(again->DisplayMode, 1);
    EXPECT_EQ(f.state.roster.SelectedGradeFilter, QStringLiteral("全学年"));
}

TEST(RosterScreen, ZeroStartsTheProgramMenuAndEnds)
{
    RosterScreen f;
    QTest::keyClick(f.screen->List1, Qt::Key_0);
    ASSERT_EQ(f.processes.started.size(), 1);
    EXPECT_EQ(f.processes.started[0], f.ctx.programFolderPath + QStringLiteral("/../起動/プログラムメニューc.exe 001"));
    EXPECT_EQ(f.exits, std::vector<int>{0});

    RosterScreen g;
    g.processes.canStart = false;
    QTest::mouseClick(g.screen->Command7, Qt::LeftButton);
    ASSERT_EQ(g.messages.shown.size(), 1);
    EXPECT_TRUE(g.messages.shown[0].contains(QStringLiteral("プログラムメニューc.exe")));
    EXPECT_TRUE(g.messages.shown[0].contains(QStringLiteral("先生を呼びなさい")));
    // A program menu that could not be started is no success.
    EXPECT_EQ(g.exits, std::vector<int>{1});
}

TEST(RosterScreen, ZeroStartsTheConfiguredMenuOrJustEndsAnInstalledCopy)
{
    // An installed copy with the suite's menu set: its program and arguments, as set.
    RosterScreen f;
    f.state.config.ProgramMenu = QStringList{QStringLiteral("/opt/suite/起動/menu"), QStringLiteral("001")};
    QTest::keyClick(f.screen->List1, Qt::Key_0);
    EXPECT_EQ(f.processes.started, QStringList{QStringLiteral("/opt/suite/起動/menu 001")});
    EXPECT_EQ(f.exits, std::vector<int>{0});

    // Without a menu "0" ends the program, starts nothing and asks nothing.
    RosterScreen g;
    g.state.config.ProgramMenu.clear();
    QTest::keyClick(g.screen->List1, Qt::Key_0);
    EXPECT_TRUE(g.processes.started.isEmpty());
    EXPECT_TRUE(g.messages.shown.isEmpty());
    EXPECT_EQ(g.exits, std::vector<int>{0});
}

TEST(RosterScreen, AnUnreachableResultsFolderIsToldWhileWaitingThenOnceInPlainJapanese)
{
    // Once: two minutes of "Just a moment, please.", then the text twice with an English
    // system text and numbers glued to the path.
    ScreenFixture f;
    f.writeSuite();
    LoadConfiguration(f.state, f.ctx.programFolderPath);
    ASSERT_TRUE(QDir(f.state.config.DataFolder).removeRecursively());
    QStringList panelTexts;
    f.duringWait = [&] {
        // The screen is still being built: it is not in the registry yet.
        for (QWidget *top : QApplication::topLevelWidgets())
            for (QWidget *w : top->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                if (auto *s = dynamic_cast<NameSelectScreen *>(w); s && s->Picture5->isVisible())
                    panelTexts << s->Label19->text();
    };
    f.forms.show(QStringLiteral("namesel"));
    f.settle();
    // Only the reader's own tries: the screen's retries do not multiply them.
    EXPECT_EQ(f.waits, (std::vector<double>{5.0, 5.0, 5.0}));
    ASSERT_EQ(panelTexts.size(), 3);
    EXPECT_TRUE(panelTexts[0].startsWith(QStringLiteral("成績ファイルのフォルダに届きません。")));
    EXPECT_TRUE(panelTexts[0].contains(QStringLiteral("2回目／4回")));
    EXPECT_TRUE(panelTexts[2].contains(QStringLiteral("4回目／4回")));
    ASSERT_EQ(f.messages.shown.size(), 1);
    const QString path = f.state.config.DataFolder + QStringLiteral("成績累積データ.dat");
    EXPECT_EQ(f.messages.shown[0], QStringLiteral("Tobrel|名簿を表示できません。\n\n"
                                                  "成績ファイルのフォルダに届きません（3回読み直しました）\n") +
                                       path +
                                       QStringLiteral("\n\n先生を呼びなさい。\n（名簿表示 1.5　エラー番号 76）"));
    EXPECT_EQ(f.exits, std::vector<int>{1});
}

TEST(RosterScreen, VersionBoxIsModalAndShowsTitleAndVersion)
{
    RosterScreen f;
    bool checked = false;
    QTimer::singleShot(50, [&] {
        auto *box = dynamic_cast<VersionBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isModal());
        EXPECT_EQ(box->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
        EXPECT_EQ(box->Label1->text(), QStringLiteral("Tobrel"));
        EXPECT_EQ(box->Label2->text(), versionText());
        EXPECT_TRUE(box->Label2->text().startsWith(QStringLiteral("Version1.")));
        checked = true;
        QTest::mouseClick(box->Command1, Qt::LeftButton);
    });
    f.screen->Label4_Click();
    EXPECT_TRUE(checked);
}

TEST(RosterScreen, AScreenReaderChoosesTheDisplayAsAClickDoes)
{
    // The accessible "Toggle" checked an option and the list stayed as it was.
    RosterScreen f;
    ASSERT_EQ(f.screen->DisplayMode, 1);
    QAccessibleInterface *option = QAccessible::queryAccessibleInterface(f.screen->Option1[3]);
    option->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(f.screen->Option1[3]->isChecked());
    EXPECT_EQ(f.screen->DisplayMode, 3);
    // Mode 3: points so far / runs so far.
    EXPECT_EQ(f.screen->List1->item(3)->text(), QStringLiteral("小2 佐藤　翔太　       /     　"));
    // A click still chooses, and a click on the option already chosen runs it again.
    QTest::mouseClick(f.screen->Option1[0], Qt::LeftButton);
    EXPECT_EQ(f.screen->DisplayMode, 0);
    f.screen->DisplayMode = 2;
    QTest::mouseClick(f.screen->Option1[0], Qt::LeftButton);
    EXPECT_EQ(f.screen->DisplayMode, 0);

    // The grade filter is read by its caption; the grade shown is its value.
    QAccessibleInterface *filter = QAccessible::queryAccessibleInterface(f.screen->Combo1);
    EXPECT_EQ(filter->text(QAccessible::Name), QStringLiteral("学年"));
    EXPECT_EQ(filter->text(QAccessible::Value), QStringLiteral("全学年"));
    EXPECT_EQ(filter->role(), QAccessible::ComboBox);
    EXPECT_EQ(filter->childCount(), 1);
    EXPECT_TRUE(filter->actionInterface()->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
}

TEST(RosterScreen, ARosterThatListsNobodyIsToldOnceNamingTheFile)
{
    // A school's roster with students: no word, also when a grade filter lists nobody.
    {
        RosterScreen f;
        f.screen->Combo1->setCurrentText(QStringLiteral("中３"));
        f.screen->Combo1_Click();
        EXPECT_EQ(f.screen->List1->count(), 1);
        EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();
    }
    // An empty roster file, and one whose students are all of an unlisted status.
    for (const QString &roster : {QString(), QStringLiteral("1,2014,0,0,退塾　太郎,9,-,-\r\n")}) {
        ScreenFixture f;
        f.writeSuite();
        LoadConfiguration(f.state, f.ctx.programFolderPath);
        ASSERT_TRUE(writeCp932(f.state.config.DataRoot + QStringLiteral("新名簿.txt"), roster));
        f.forms.show(QStringLiteral("namesel"));
        f.settle();
        auto *screen = f.forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->List1->count(), 1);
        ASSERT_EQ(f.messages.shown.size(), 1);
        EXPECT_TRUE(f.messages.shown[0].contains(f.state.config.DataRoot + QStringLiteral("新名簿.txt")))
            << f.messages.shown[0].toStdString();
        // Another grade or display mode lists nobody again: not told twice.
        screen->Combo1->setCurrentText(QStringLiteral("小１"));
        screen->Combo1_Click();
        screen->Option1[2]->click();
        EXPECT_EQ(f.messages.shown.size(), 1);
    }
}
