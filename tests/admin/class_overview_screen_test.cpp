// The class overview through the real widgets: the teacher panel's door, the table,
// a line's result sheet and the way back, the Excel file, and the way back to the hub.
#include "admin/ClassOverviewScreen.h"
#include "app/Configuration.h"
#include "hub/HubScreen.h"
#include "hub/SheetPanel.h"
#include "hub/TeacherPanel.h"
#include "results/Tally.h"
#include "roster/NameSelectScreen.h"
#include "support/ScreenFixture.h"
#include "support/WorkbookReader.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

const TestRun rec = TestRun{}.on(QDate(2024, 2, 6)).at(0.6).ofSchool(QStringLiteral("01234"));

struct School : ScreenFixture {
    explicit School(const std::vector<ResultRecord> &records = {})
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        writeFile(resultsFilePath(state), recordBytes(records));
        forms.show(QStringLiteral("namesel"));
        settle();
    }
    HubScreen *hub() { return forms.loadedAs<HubScreen>(QStringLiteral("seisekitime1")); }
    ClassOverviewScreen *overview()
    {
        return forms.loadedAs<ClassOverviewScreen>(QStringLiteral("FrmClassOverview"));
    }
    void logIn(const QString &name)
    {
        auto *r = forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        for (int i = 1; i < r->List1->count(); ++i)
            if (r->List1->item(i)->text().contains(name))
                r->List1->setCurrentRow(i);
        QTest::keyClick(r->List1, Qt::Key_Return);
        settle();
    }
    void openOverview(const QString &password)
    {
        TeacherPanel *panel = hub()->teacherPanel;
        QTest::mouseClick(hub()->Command8, Qt::LeftButton);
        panel->Text3->clear();
        QTest::keyClicks(panel->Text3, password);
        QTest::mouseClick(panel->Command10[2], Qt::LeftButton);
        settle();
    }
};

} // namespace

TEST(ClassOverviewScreen, OpensOnlyWithThePasswordAndShowsTheClass)
{
    School f({rec(1, 1, 30), rec(1, 1, 28), rec(2, 2, 25)});
    f.logIn(QStringLiteral("佐藤先生"));
    ASSERT_NE(f.hub(), nullptr);
    // The panel not open: the button does nothing.
    f.hub()->teacherPanel->Command10_Click(2);
    f.settle();
    EXPECT_EQ(f.overview(), nullptr);
    // A wrong password asks for it and leaves the hub.
    f.openOverview(QStringLiteral("Sensei"));
    EXPECT_EQ(f.overview(), nullptr);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("パスワードを入力して下さい")));
    f.messages.shown.clear();

    f.openOverview(QStringLiteral("sensei"));
    ClassOverviewScreen *o = f.overview();
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(f.hub(), nullptr); // the hub went, as for the other teacher screens
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();
    QTableView *table = o->TableStudents;
    EXPECT_TRUE(table->isVisible());
    EXPECT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(table->model()->columnCount(), ClassOverviewLogic::kOwnColumns + 6 * ClassOverviewLogic::kPerLevel);
    // Student 1 at level 1: two runs this week, best 28 seconds.
    const int level1 = ClassOverviewLogic::kOwnColumns;
    EXPECT_EQ(table->model()->index(0, 3).data().toString(), QStringLiteral("佐藤　翔太"));
    EXPECT_EQ(table->model()->index(0, level1).data().toString(), QStringLiteral("2"));
    EXPECT_EQ(table->model()->index(0, level1 + 2).data().toString(), QStringLiteral("28秒"));
    EXPECT_EQ(o->ComboPeriod->currentText(), QStringLiteral("今週"));
    EXPECT_EQ(o->SpinDays->value(), 7);
    ScreenFixture::shot(o, QStringLiteral("class_overview"));

    // A header sorts, again reverses: the best time at level 1 (none for 2 and 3).
    table->horizontalHeader()->sectionClicked(level1 + 2);
    EXPECT_EQ(o->logic().studentOfLine(0), 1);
    table->horizontalHeader()->sectionClicked(3);
    table->horizontalHeader()->sectionClicked(3);
    EXPECT_EQ(table->horizontalHeader()->sortIndicatorSection(), 3);
    EXPECT_EQ(table->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    // Return on a line opens that student's sheet over the overview; its "戻る" comes
    // back to the same line.
    table->setFocus();
    table->selectRow(o->logic().lineOfStudent(2));
    QTest::keyClick(table, Qt::Key_Return);
    f.settle();
    EXPECT_TRUE(o->Sheet->isVisible());
    EXPECT_EQ(o->Sheet->SheetStudent, 2);
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();
    ScreenFixture::shot(o, QStringLiteral("class_overview_sheet"));
    QTest::mouseClick(o->Sheet->Command18, Qt::LeftButton);
    f.settle();
    EXPECT_FALSE(o->Sheet->isVisible());
    EXPECT_TRUE(table->isVisible());
    EXPECT_EQ(o->logic().studentOfLine(o->selectedLine()), 2);

    // "Excel出力" through the save dialog.
    AnsweringDialogs answers;
    answers.file = f.dir.path() + QStringLiteral("/クラス.xlsx");
    o->dialogs = &answers;
    QTest::mouseClick(o->CommandXlsx, Qt::LeftButton);
    f.settle();
    ASSERT_EQ(answers.asked.size(), 1);
    EXPECT_TRUE(answers.asked[0].endsWith(QStringLiteral("クラス一覧_20240207.xlsx"))) << answers.asked[0].toStdString();
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("書き出しました"))) << f.messages.shown[0].toStdString();
    EXPECT_EQ(sheetRows(zipEntries(answers.file), QStringLiteral("xl/worksheets/sheet1.xml")).size(), 4u);
    // Not over one of the school's files.
    f.messages.shown.clear();
    answers.file = resultsFilePath(f.state);
    const QByteArray results = readFileBytes(answers.file);
    QTest::mouseClick(o->CommandXlsx, Qt::LeftButton);
    f.settle();
    EXPECT_EQ(readFileBytes(answers.file), results);
    o->dialogs = f.ctx.fileDialogs;

    // "戻る": a fresh hub.
    QTest::mouseClick(o->CommandBack, Qt::LeftButton);
    f.settle();
    EXPECT_EQ(f.overview(), nullptr);
    ASSERT_NE(f.hub(), nullptr);
    EXPECT_FALSE(f.hub()->Picture7->isVisible());
}

TEST(ClassOverviewScreen, NoOverviewForAStudent)
{
    School f({rec(1, 1, 30)});
    f.state.config.DataChangePassword.clear();
    f.logIn(QStringLiteral("髙橋"));
    ASSERT_NE(f.hub(), nullptr);
    EXPECT_EQ(f.hub()->teacherPanel, nullptr);
    // The registry builds no overview without the panel's grant.
    EXPECT_EQ(f.forms.show(QStringLiteral("FrmClassOverview")), nullptr);
    f.settle();
    EXPECT_NE(f.hub(), nullptr);
}
