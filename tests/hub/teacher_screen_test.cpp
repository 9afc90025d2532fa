// The teacher's way from the hub into the results manager and back, pressed through
// the real widgets.
#include "admin/ClassOverviewScreen.h"
#include "admin/ResultsManagerScreen.h"
#include "app/Configuration.h"
#include "hub/HubScreen.h"
#include "hub/SheetPanel.h"
#include "hub/TeacherPanel.h"
#include "results/Tally.h"
#include "roster/NameSelectScreen.h"
#include "support/PaperSupport.h"
#include "support/ScreenFixture.h"
#include "support/WorkbookReader.h"
#include "text/Cp932.h"
#include "text/DayNumber.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableView>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace tobrel;
using namespace tobrel::test;

namespace {

// Calls `seen` each time `watched` receives an event of `type`.
class EventSpy final : public QObject {
public:
    EventSpy(QObject *watched, QEvent::Type type, std::function<void()> seen) : m_type(type), m_seen(std::move(seen))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            m_seen();
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_seen;
};

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
    ResultsManagerScreen *manager() { return forms.loadedAs<ResultsManagerScreen>(QStringLiteral("FrmData")); }
    void logIn(const QString &name)
    {
        auto *r = forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
        for (int i = 1; i < r->List1->count(); ++i)
            if (r->List1->item(i)->text().contains(name))
                r->List1->setCurrentRow(i);
        QTest::keyClick(r->List1, Qt::Key_Return);
        settle();
    }
    // Opens the teacher panel and presses button `index` with the password typed.
    void openAdmin(const QString &password, int index = 0)
    {
        TeacherPanel *panel = hub()->teacherPanel;
        QTest::mouseClick(hub()->Command8, Qt::LeftButton);
        panel->Text3->clear();
        QTest::keyClicks(panel->Text3, password);
        QTest::mouseClick(panel->Command10[index], Qt::LeftButton);
        settle();
    }
};

} // namespace

TEST(TeacherEntry, OnlyTeachersSeeTheDoorAndTheDamagedRecords)
{
    // Record 2 has a level no program writes.
    School f({rec(1, 1, 30), rec(1, 40, 30), rec(2, 2, 25)});
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    // A student has no door at all, not even a hidden one.
    EXPECT_EQ(hub->Command8, nullptr);
    EXPECT_EQ(hub->teacherPanel, nullptr);
    EXPECT_EQ(hub->findChild<QWidget *>(QStringLiteral("DamagedLabel")), nullptr);
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString(); // nothing for students

    QTest::keyClick(hub, Qt::Key_0);
    f.settle();
    f.logIn(QStringLiteral("佐藤先生"));
    hub = f.hub();
    ASSERT_NE(hub, nullptr);
    EXPECT_TRUE(hub->Command8->isVisible());
    EXPECT_FALSE(hub->Picture7->isVisible());
    EXPECT_TRUE(hub->teacherPanel->DamagedLabel->isVisible());
    EXPECT_TRUE(hub->teacherPanel->DamagedLabel->text().contains(QStringLiteral("壊れた記録が 1 件")));
    EXPECT_TRUE(hub->teacherPanel->DamagedLabel->text().contains(QStringLiteral("「データ変更」")));
    EXPECT_TRUE(f.messages.shown.isEmpty());

    QTest::mouseClick(hub->Command8, Qt::LeftButton);
    EXPECT_TRUE(hub->Picture7->isVisible());
    EXPECT_EQ(hub->teacherPanel->Text3->echoMode(), QLineEdit::Password);
    // Keys are the password's while the panel is open: "0" does not leave, "1" starts nothing.
    QTest::keyClicks(hub->teacherPanel->Text3, QStringLiteral("01"));
    f.settle();
    EXPECT_EQ(f.hub(), hub);
    EXPECT_EQ(hub->teacherPanel->Text3->text(), QStringLiteral("01"));
    ScreenFixture::shot(hub, QStringLiteral("teacher_panel"));
    QTest::mouseClick(hub->teacherPanel->Command12, Qt::LeftButton);
    EXPECT_FALSE(hub->Picture7->isVisible());
}

namespace {

// Presses a widget's accessible action, as a screen reader does.
bool pressThroughAssistiveTechnology(QWidget *widget)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(widget);
    if (!a || !a->actionInterface())
        return false;
    const QStringList actions = a->actionInterface()->actionNames();
    if (actions.isEmpty())
        return false;
    a->actionInterface()->doAction(actions.first());
    return true;
}

// Every accessible name under the widget.
QStringList accessibleNames(QAccessibleInterface *a)
{
    QStringList names;
    if (!a)
        return names;
    names << a->text(QAccessible::Name);
    for (int i = 0; i < a->childCount(); ++i)
        names << accessibleNames(a->child(i));
    return names;
}

} // namespace

TEST(TeacherEntry, HiddenDoorsOpenNothingForAStudent)
{
    // A student pressed the never-shown "データ処理" through the accessibility interface
    // and the teacher panel appeared; with an empty stored password, the hidden
    // "データ変更" opened the results manager while the panel was still hidden.
    School f({rec(1, 1, 30), rec(2, 2, 25)});
    f.state.config.DataChangePassword.clear();
    const QByteArray before = readFileBytes(resultsFilePath(f.state));
    f.logIn(QStringLiteral("髙橋"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    const QStringList names = accessibleNames(QAccessible::queryAccessibleInterface(hub));
    for (const QString &door :
         {QStringLiteral("データ処理"), QStringLiteral("データ変更"), QStringLiteral("合格タイムデータ変更"),
          QStringLiteral("クラス一覧"), QStringLiteral("データ変更パスワード")})
        EXPECT_FALSE(names.contains(door)) << door.toStdString();
    // The registry opens no administration screen without the panel's grant.
    EXPECT_EQ(f.forms.show(QStringLiteral("FrmData")), nullptr);
    EXPECT_EQ(f.forms.show(QStringLiteral("FrmTimeData")), nullptr);
    EXPECT_EQ(f.forms.show(QStringLiteral("FrmClassOverview")), nullptr);
    f.settle();
    EXPECT_EQ(f.hub(), hub);

    // A teacher's hub left behind while a student is logged in: its handlers and its
    // buttons' accessible actions ask who is logged in now.
    QTest::keyClick(hub, Qt::Key_0);
    f.settle();
    f.logIn(QStringLiteral("佐藤先生"));
    hub = f.hub();
    ASSERT_NE(hub, nullptr);
    TeacherPanel *panel = hub->teacherPanel;
    ASSERT_NE(panel, nullptr);
    // Even a teacher's hidden "データ変更" opens nothing while the panel is closed.
    ASSERT_TRUE(pressThroughAssistiveTechnology(panel->Command10[0]));
    f.settle(150);
    EXPECT_EQ(f.manager(), nullptr);
    EXPECT_EQ(f.hub(), hub);

    f.state.student.CurrentStudent = 2;
    f.state.student.CurrentStudentName = QStringLiteral("髙橋　健一");
    pressThroughAssistiveTechnology(hub->Command8);
    f.settle(150);
    EXPECT_FALSE(panel->isOpen());
    EXPECT_FALSE(panel->isVisible());
    panel->Command8_Click();
    EXPECT_FALSE(panel->isOpen());
    for (int i = 0; i < 3; ++i) {
        panel->Command10_Click(i);
        pressThroughAssistiveTechnology(panel->Command10[i]);
        f.settle(150);
    }
    EXPECT_EQ(f.manager(), nullptr);
    EXPECT_EQ(f.forms.loaded(QStringLiteral("FrmTimeData")), nullptr);
    EXPECT_EQ(f.forms.loaded(QStringLiteral("FrmClassOverview")), nullptr);
    EXPECT_EQ(f.hub(), hub);
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();
    EXPECT_EQ(readFileBytes(resultsFilePath(f.state)), before);

    // The teacher again: the empty box still opens, as an empty password asks.
    f.state.student.CurrentStudent = 3;
    f.state.student.CurrentStudentName = QStringLiteral("佐藤先生");
    f.openAdmin(QString());
    EXPECT_NE(f.manager(), nullptr);
}

TEST(TeacherEntry, AMissingListFontIsToldToTeachersAndStopsNoStudent)
{
    School f;
    f.ctx.fontNotice = missingFontsNotice([](const QString &family) { return family != u"IPAGothic"; });
    ASSERT_TRUE(f.ctx.fontNotice.contains(QStringLiteral("IPAGothic")));
    EXPECT_FALSE(f.ctx.fontNotice.contains(QStringLiteral("IPAPGothic")));
    EXPECT_TRUE(f.ctx.fontNotice.contains(QStringLiteral("fonts-ipafont-gothic")));

    // A student sees nothing of it and starts a run as always, with no box to close.
    f.logIn(QStringLiteral("髙橋"));
    ASSERT_NE(f.hub(), nullptr);
    EXPECT_TRUE(!f.hub()->teacherPanel || !f.hub()->teacherPanel->FontLabel->isVisible());
    QTest::keyClick(f.hub(), Qt::Key_1);
    f.settle();
    EXPECT_NE(f.forms.loaded(QStringLiteral("MainFrm")), nullptr);
    EXPECT_TRUE(f.messages.shown.isEmpty());

    School t;
    t.ctx.fontNotice = f.ctx.fontNotice;
    t.logIn(QStringLiteral("佐藤先生"));
    ASSERT_NE(t.hub(), nullptr);
    EXPECT_TRUE(t.hub()->teacherPanel->FontLabel->isVisible());
    EXPECT_EQ(t.hub()->teacherPanel->FontLabel->text(), t.ctx.fontNotice);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    ScreenFixture::shot(t.hub(), QStringLiteral("hub_font_notice"));

    // With both fonts there is nothing to tell; the fonts of this PC are looked up for real.
    EXPECT_EQ(missingFontsNotice([](const QString &) { return true; }), QString());
    EXPECT_FALSE(fontInstalled(QStringLiteral("NoSuchFontTobrelLooksFor")));
}

TEST(TeacherEntry, PasswordIsComparedExactlyOnEveryPress)
{
    School f;
    f.logIn(QStringLiteral("佐藤先生"));
    ASSERT_NE(f.hub(), nullptr);
    for (const QString &wrong :
         {QStringLiteral("sensej"), QStringLiteral("SENSEI"), QStringLiteral("Sensei"), QString()}) {
        f.messages.shown.clear();
        f.openAdmin(wrong);
        ASSERT_NE(f.hub(), nullptr) << wrong.toStdString();
        EXPECT_EQ(f.messages.shown, QStringList{QStringLiteral("Tobrel|パスワードを入力して下さい")});
        EXPECT_TRUE(f.hub()->Picture7->isVisible());
        EXPECT_EQ(f.hub()->teacherPanel->Text3->text(), wrong); // the typed text stays
        EXPECT_EQ(f.manager(), nullptr);
    }

    // An empty box against an empty stored password opens the manager.
    f.state.config.DataChangePassword.clear();
    f.openAdmin(QString());
    EXPECT_NE(f.manager(), nullptr);
    EXPECT_EQ(f.hub(), nullptr);
}

TEST(TeacherEntry, ManagerOpensClosesTheHubAndGoesBackToAFreshOne)
{
    School f({rec(1, 1, 30)});
    f.logIn(QStringLiteral("佐藤先生"));
    HubScreen *first = f.hub();
    ASSERT_NE(first, nullptr);
    f.openAdmin(QStringLiteral("sensei"));
    ResultsManagerScreen *manager = f.manager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(f.hub(), nullptr);
    EXPECT_EQ(manager->Label3->text(), QStringLiteral("総レコード数:1"));

    QTest::mouseClick(manager->Command4, Qt::LeftButton);
    f.settle();
    EXPECT_EQ(f.manager(), nullptr);
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    EXPECT_EQ(hub->logic().KeysReady, 1);
    EXPECT_FALSE(hub->Picture7->isVisible());
    EXPECT_TRUE(hub->Command8->isVisible());

    // "合格タイムデータ変更" opens whatever the registry holds as the criteria editor.
    f.forms.registerForm(QStringLiteral("FrmTimeData"),
                         [&f] { return new Screen(f.ctx, QStringLiteral("FrmTimeData")); });
    f.openAdmin(QStringLiteral("sensei"), 1);
    EXPECT_NE(f.forms.loaded(QStringLiteral("FrmTimeData")), nullptr);
    EXPECT_EQ(f.hub(), nullptr);
}

TEST(TeacherEntry, PressedAgainWhileTheScreenIsStillBeingBuiltOpensItOnce)
{
    // Building the screen may wait for the results file (locked by another PC, or a
    // share not reachable yet) while the hub still takes clicks: the teacher presses
    // again. A second screen would stay behind the first, blank, once that is left.
    School f;
    f.logIn(QStringLiteral("佐藤先生"));
    int built = 0;
    f.forms.registerForm(QStringLiteral("FrmTimeData"), [&f, &built] {
        if (++built == 1)
            QTest::mouseClick(f.hub()->teacherPanel->Command10[1], Qt::LeftButton);
        return new Screen(f.ctx, QStringLiteral("FrmTimeData"));
    });
    f.openAdmin(QStringLiteral("sensei"), 1);
    EXPECT_EQ(built, 1);
    EXPECT_NE(f.forms.loaded(QStringLiteral("FrmTimeData")), nullptr);
    EXPECT_EQ(f.hub(), nullptr);
}

TEST(ResultsManagerScreen, DoubleClickChangeAndDeleteThroughTheWidgets)
{
    School f({rec(1, 1, 30), rec(2, 3, 99999), rec(3, 2, 20)});
    f.logIn(QStringLiteral("佐藤先生"));
    f.openAdmin(QStringLiteral("sensei"));
    ResultsManagerScreen *m = f.manager();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->listCount(), 3);
    EXPECT_TRUE(m->listLine(1).startsWith(QStringLiteral("   2 2024/02/06")));
    EXPECT_FALSE(m->Picture3->isVisible());
    ScreenFixture::shot(m, QStringLiteral("results_manager"));

    // A double click as the mouse makes one: a click, then the second press.
    auto doubleClick = [m](int row) {
        const QPoint at = m->List1->visualRect(m->List1->model()->index(row, 0)).center();
        QTest::mouseClick(m->List1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(m->List1->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(1);
    ASSERT_TRUE(m->Picture3->isVisible());
    EXPECT_EQ(m->Label1->text(), QStringLiteral("2"));
    EXPECT_EQ(m->Text1->text(), QStringLiteral("99999"));
    EXPECT_EQ(m->VScroll1->value(), 6000);
    EXPECT_EQ(m->Combo1->currentText(), QStringLiteral("2 /  髙橋　健一"));
    EXPECT_EQ(m->Combo1->count(), 3);
    ScreenFixture::shot(m, QStringLiteral("results_manager_dialog"));
    // The list stands on the record's student: the arrow keys go on from there.
    EXPECT_EQ(m->Combo1->currentIndex(), 1);
    QTest::keyClick(m->Combo1, Qt::Key_Down);
    EXPECT_EQ(m->Combo1->currentText(), m->Combo1->itemText(2));
    QTest::keyClick(m->Combo1, Qt::Key_Up);
    EXPECT_EQ(m->Combo1->currentText(), QStringLiteral("2 /  髙橋　健一"));

    // The scroll bar writes its value once it is moved; the typed text is then sent.
    m->VScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(m->Text1->text(), QStringLiteral("5999"));
    m->Text1->clear();
    QTest::keyClicks(m->Text1, QStringLiteral("41"));
    m->Combo1->setCurrentIndex(0);
    emit m->Combo1->activated(0);
    EXPECT_EQ(m->Text1->text(), QStringLiteral("41")); // choosing a student keeps the typed time
    QTest::mouseClick(m->Command2, Qt::LeftButton);
    EXPECT_FALSE(m->Picture3->isVisible());
    EXPECT_EQ(m->selectedLine(), 1);
    EXPECT_TRUE(m->listLine(1).contains(QStringLiteral("   41秒 　   1 佐藤　翔太")));

    // Delete the first line: OK at the question.
    doubleClick(0);
    ASSERT_TRUE(m->Picture3->isVisible());
    f.messages.shown.clear();
    QTest::mouseClick(m->Command3, Qt::LeftButton);
    EXPECT_EQ(f.messages.shown, QStringList{QStringLiteral("注意|本当に消去しますか")});
    EXPECT_EQ(m->listCount(), 2);
    EXPECT_EQ(m->Label3->text(), QStringLiteral("総レコード数:2"));
    EXPECT_EQ(m->selectedLine(), 0);
    EXPECT_FALSE(m->ProgressBar1->isVisible());
    // The list has the keys again, as after "キャンセル".
    EXPECT_TRUE(m->List1->hasFocus());

    // "キャンセル" closes the dialog and writes nothing; Enter on a line opens it too.
    QTest::keyClick(m->List1, Qt::Key_Return);
    ASSERT_TRUE(m->Picture3->isVisible());
    EXPECT_EQ(m->Label1->text(), QStringLiteral("1"));
    QTest::mouseClick(m->Command6, Qt::LeftButton);
    EXPECT_FALSE(m->Picture3->isVisible());
    EXPECT_EQ(m->listCount(), 2);
    EXPECT_TRUE(m->List1->hasFocus());
}

namespace {

// n runs by students 1 to 3 over the six levels.
std::vector<ResultRecord> manyRuns(int n)
{
    std::vector<ResultRecord> records;
    for (int i = 0; i < n; ++i)
        records.push_back(rec(1 + i % 3, 1 + i % 6, 20 + i % 40));
    return records;
}

// The results manager opened by a teacher, its save dialog answered by `dialogs`.
ResultsManagerScreen *openManager(School &f, AnsweringDialogs &dialogs)
{
    f.logIn(QStringLiteral("佐藤先生"));
    f.openAdmin(QStringLiteral("sensei"));
    ResultsManagerScreen *m = f.manager();
    if (m)
        m->dialogs = &dialogs;
    return m;
}

} // namespace

TEST(ResultsManagerScreen, CsvButtonWritesEveryRunThroughTheSaveDialog)
{
    std::vector<ResultRecord> records = manyRuns(9000);
    records.push_back(rec(2, 40, 30)); // damaged: in the CSV too, marked
    School f(records);
    AnsweringDialogs dialogs;
    ResultsManagerScreen *m = openManager(f, dialogs);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(m->CommandCsv->isVisible());
    EXPECT_EQ(m->CommandCsv->text(), QStringLiteral("CSV出力"));

    // Cancelled: nothing written, nothing said.
    f.messages.shown.clear();
    QTest::mouseClick(m->CommandCsv, Qt::LeftButton);
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_TRUE(dialogs.asked[0].endsWith(QStringLiteral("/成績_20240207.csv"))) << dialogs.asked[0].toStdString();
    EXPECT_TRUE(f.messages.shown.isEmpty());

    // A name typed without ".csv" gets it; the progress bar moves while the file is written.
    dialogs.file = f.dir.path() + QStringLiteral("/成績");
    int steps = 0;
    QObject::connect(m->ProgressBar1, &QProgressBar::valueChanged, [&steps] { ++steps; });
    QTest::mouseClick(m->CommandCsv, Qt::LeftButton);
    EXPECT_GE(steps, 2);
    EXPECT_FALSE(m->ProgressBar1->isVisible());
    EXPECT_TRUE(m->List1->isEnabled());
    const QString csv = f.dir.path() + QStringLiteral("/成績.csv");
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("成績 9001件をCSVファイルに書き出しました")))
        << f.messages.shown[0].toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = fromCp932(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9002);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("記録番号,日付,時刻,生徒番号,名前")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1,2024/02/06,14:24:00,1,佐藤　翔太,")));
    EXPECT_TRUE(lines.last().contains(QStringLiteral(",壊れた記録,")));
    file.close();

    // The same name again: the dialog offered it, so the file is replaced without asking
    // here; a name without ".csv" whose fuller name exists is asked about.
    f.messages.answer = false;
    f.messages.shown.clear();
    QTest::mouseClick(m->CommandCsv, Qt::LeftButton);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("上書きしますか")))
        << f.messages.shown.join(u'\n').toStdString();
    EXPECT_EQ(f.messages.shown.size(), 1);
    ScreenFixture::shot(m, QStringLiteral("results_manager_csv"));

    // The next dialog opens where the last CSV went. A name there that is a link to the
    // results file is refused and the results file kept as it was.
    EXPECT_EQ(QFileInfo(dialogs.asked.last()).absolutePath(), QFileInfo(f.dir.path()).absoluteFilePath());
    const QByteArray results = readFileBytes(resultsFilePath(f.state));
    ASSERT_TRUE(QFile::link(resultsFilePath(f.state), f.dir.path() + QStringLiteral("/link.csv")));
    dialogs.file = f.dir.path() + QStringLiteral("/link.csv");
    f.messages.shown.clear();
    QTest::mouseClick(m->CommandCsv, Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("塾のデータの場所にあり")))
        << f.messages.shown[0].toStdString();
    EXPECT_EQ(readFileBytes(resultsFilePath(f.state)), results);

    // A results folder that cannot be reached: each try is told on the screen, then the
    // failure is named.
    f.messages.shown.clear();
    const QString folder = QDir(f.state.config.DataFolder).absolutePath();
    ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral("_away")));
    QStringList told;
    f.duringWait = [&] { told << f.shownTextStartingWith(QStringLiteral("成績ファイルのフォルダに届きません。")); };
    dialogs.file = f.dir.path() + QStringLiteral("/成績2.csv");
    QTest::mouseClick(m->CommandCsv, Qt::LeftButton);
    ASSERT_EQ(told.size(), 3);
    EXPECT_TRUE(told[2].contains(QStringLiteral("4回目／4回"))) << told[2].toStdString();
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("成績累積データ.dat")))
        << f.messages.shown[0].toStdString();
    QDir().rename(folder + QStringLiteral("_away"), folder);
}

TEST(ResultsManagerScreen, ExcelButtonWritesEveryRunAsAWorkbookBesideTheCsvButton)
{
    School f(manyRuns(3000));
    AnsweringDialogs dialogs;
    ResultsManagerScreen *m = openManager(f, dialogs);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(m->CommandXlsx->isVisible());
    EXPECT_EQ(m->CommandXlsx->text(), QStringLiteral("Excel出力"));
    EXPECT_FALSE(m->CommandXlsx->geometry().intersects(m->CommandCsv->geometry()));
    EXPECT_FALSE(m->CommandXlsx->geometry().intersects(m->Picture10->geometry()));

    // A name typed without ".xlsx" gets it; the progress bar moves while it is written.
    f.messages.shown.clear();
    dialogs.file = f.dir.path() + QStringLiteral("/成績");
    int steps = 0;
    QObject::connect(m->ProgressBar1, &QProgressBar::valueChanged, [&steps] { ++steps; });
    QTest::mouseClick(m->CommandXlsx, Qt::LeftButton);
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_TRUE(dialogs.asked[0].endsWith(QStringLiteral("/成績_20240207.xlsx"))) << dialogs.asked[0].toStdString();
    EXPECT_GE(steps, 1);
    EXPECT_FALSE(m->ProgressBar1->isVisible());
    EXPECT_TRUE(m->CommandXlsx->isEnabled());
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("成績 3000件をExcelファイルに書き出しました")))
        << f.messages.shown[0].toStdString();
    const auto rows =
        sheetRows(zipEntries(f.dir.path() + QStringLiteral("/成績.xlsx")), QStringLiteral("xl/worksheets/sheet1.xml"));
    ASSERT_EQ(rows.size(), 3001u);
    ASSERT_GE(rows[1].size(), 5u);
    EXPECT_EQ(rows[1][1].format, QStringLiteral("yyyy/mm/dd"));
    EXPECT_EQ(rows[1][4].value, QStringLiteral("佐藤　翔太"));
    ScreenFixture::shot(m, QStringLiteral("results_manager_xlsx"));

    // A name that is a link to the results file is refused, the results file kept.
    const QByteArray results = readFileBytes(resultsFilePath(f.state));
    ASSERT_TRUE(QFile::link(resultsFilePath(f.state), f.dir.path() + QStringLiteral("/link.xlsx")));
    dialogs.file = f.dir.path() + QStringLiteral("/link.xlsx");
    f.messages.shown.clear();
    QTest::mouseClick(m->CommandXlsx, Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("塾のデータの場所にあり")))
        << f.messages.shown[0].toStdString();
    EXPECT_EQ(readFileBytes(resultsFilePath(f.state)), results);
}

TEST(ResultsManagerScreen, EscapeCancelsTheChangeDialogWhichShowsTheStudentFromItsStart)
{
    School f({rec(1, 1, 30), rec(2, 3, 45)});
    const QByteArray before = readFileBytes(resultsFilePath(f.state));
    f.logIn(QStringLiteral("佐藤先生"));
    f.openAdmin(QStringLiteral("sensei"));
    ResultsManagerScreen *m = f.manager();
    ASSERT_NE(m, nullptr);
    m->logic().List1_DblClick(1);
    ASSERT_TRUE(m->Picture3->isVisible());
    // The box once stood at the end of a long name, "2 /" out of view.
    EXPECT_EQ(m->Combo1->currentText(), QStringLiteral("2 /  髙橋　健一"));
    EXPECT_EQ(m->Combo1->lineEdit()->cursorPosition(), 0);
    // Escape, wherever the dialog's focus is, closes it as "キャンセル": nothing written.
    for (QWidget *focus : std::initializer_list<QWidget *>{m->Text1, m->Combo1->lineEdit(), m->Command2}) {
        m->logic().List1_DblClick(1);
        ASSERT_TRUE(m->Picture3->isVisible());
        QTest::keyClicks(m->Text1, QStringLiteral("9"));
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_FALSE(m->Picture3->isVisible()) << focus->objectName().toStdString();
    }
    EXPECT_EQ(readFileBytes(resultsFilePath(f.state)), before);
    EXPECT_TRUE(f.messages.shown.isEmpty());
    // The list still takes its keys: Enter opens the dialog again, which takes the
    // focus, so the next Escape closes it without a click into it first.
    QTest::keyClick(m->List1, Qt::Key_Return);
    EXPECT_TRUE(m->Picture3->isVisible());
    ASSERT_TRUE(m->Picture3->isAncestorOf(m->focusWidget()));
    QTest::keyClick(m->focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(m->Picture3->isVisible());
}

// The class overview, opened by "クラス一覧" with the password like the other teacher screens.
TEST(ClassOverviewScreen, OpensOnlyWithThePasswordAndShowsTheClass)
{
    School f({rec(1, 1, 30), rec(1, 1, 28), rec(2, 2, 25)});
    f.logIn(QStringLiteral("佐藤先生"));
    ASSERT_NE(f.hub(), nullptr);
    // The panel not open: the button does nothing.
    f.hub()->teacherPanel->Command10_Click(2);
    f.settle();
    EXPECT_EQ(f.forms.loaded(QStringLiteral("FrmClassOverview")), nullptr);
    // A wrong password asks for it and leaves the hub.
    f.openAdmin(QStringLiteral("Sensei"), 2);
    EXPECT_EQ(f.forms.loaded(QStringLiteral("FrmClassOverview")), nullptr);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("パスワードを入力して下さい")));
    f.messages.shown.clear();

    f.openAdmin(QStringLiteral("sensei"), 2);
    auto *o = f.forms.loadedAs<ClassOverviewScreen>(QStringLiteral("FrmClassOverview"));
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
    // The overview's own buttons step aside under the sheet (no second "印刷" or "戻る").
    EXPECT_FALSE(o->CommandPrint->isVisible());
    EXPECT_FALSE(o->CommandBack->isVisible());
    QTest::mouseClick(o->Sheet->Command18, Qt::LeftButton);
    f.settle();
    EXPECT_FALSE(o->Sheet->isVisible());
    EXPECT_TRUE(table->isVisible());
    EXPECT_TRUE(o->CommandBack->isVisible());
    EXPECT_EQ(o->logic().studentOfLine(o->selectedLine()), 2);
    // The chosen line stays with its student when the lines are sorted again.
    table->horizontalHeader()->sectionClicked(3);
    EXPECT_EQ(o->logic().studentOfLine(o->selectedLine()), 2);
    table->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(o->logic().studentOfLine(o->selectedLine()), 2);
    // Tab leaves the table for the buttons.
    EXPECT_FALSE(table->tabKeyNavigation());

    // "Excel出力" through the save dialog.
    AnsweringDialogs answers;
    answers.file = f.dir.path() + QStringLiteral("/クラス.xlsx");
    o->dialogs = &answers;
    QTest::mouseClick(o->CommandXlsx, Qt::LeftButton);
    f.settle();
    ASSERT_EQ(answers.asked.size(), 1);
    EXPECT_TRUE(answers.asked[0].endsWith(QStringLiteral("クラス一覧_20240207.xlsx")))
        << answers.asked[0].toStdString();
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

    // "印刷" and "PDF保存": the lines as shown on A4 landscape.
    f.messages.shown.clear();
    FakePrinters printers;
    printers.printer = QStringLiteral("教室");
    printers.keepIn = f.dir.path();
    f.ctx.printers = &printers;
    QTest::mouseClick(o->CommandPrint, Qt::LeftButton);
    f.settle();
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();
    ASSERT_EQ(printers.jobs.size(), 1);
    const QString job = f.dir.path() + QStringLiteral("/job1.pdf");
    EXPECT_GE(pageCount(job), 1); // levels that do not fit go on a page group of their own
    const QString size = pdfInfo(job, QStringLiteral("Page size"));
    EXPECT_GT(size.section(u' ', 0, 0).toDouble(), size.section(u' ', 2, 2).toDouble()) << size.toStdString();
    EXPECT_TRUE(poppler(QStringLiteral("pdftotext"), {job, QStringLiteral("-")}).contains(QStringLiteral("髙橋")));
    answers.asked.clear();
    answers.file = f.dir.path() + QStringLiteral("/class.pdf");
    o->dialogs = &answers;
    QTest::mouseClick(o->CommandPdf, Qt::LeftButton);
    f.settle();
    ASSERT_EQ(answers.asked.size(), 1);
    EXPECT_TRUE(answers.asked[0].endsWith(QStringLiteral("クラス一覧_20240207.pdf")));
    EXPECT_EQ(pageCount(answers.file), pageCount(job));
    o->dialogs = f.ctx.fileDialogs;
    f.ctx.printers = &f.noPrinters;

    // Escape, as "戻る" does: a fresh hub.
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Escape);
    f.settle();
    EXPECT_EQ(f.forms.loaded(QStringLiteral("FrmClassOverview")), nullptr);
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

namespace {

// More records than the hub reads before it is painted.
constexpr int kBigFile = 500100;

// A file of kBigFile records, `damaged` of them at the start damaged (level 40).
QByteArray bigFile(int damaged)
{
    const auto good = rec(1, 1, 30).encode();
    const auto bad = rec(2, 40, 30).encode();
    return QByteArray(bad.data(), kRecordSize).repeated(damaged) +
           QByteArray(good.data(), kRecordSize).repeated(kBigFile - damaged);
}

} // namespace

TEST(DamagedRecordsNotice, ABigFileIsCountedOnceTheHubIsUpAndNoEarlierCountIsShown)
{
    School f;
    ASSERT_TRUE(writeFile(resultsFilePath(f.state), bigFile(1)));
    f.logIn(QStringLiteral("佐藤先生"));
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    QLabel *notice = hub->teacherPanel->DamagedLabel;
    ASSERT_TRUE(f.settleUntil([&] { return notice->isVisible(); }));
    EXPECT_TRUE(notice->text().contains(QStringLiteral("壊れた記録が 1 件"))) << notice->text().toStdString();

    // Another file put in its place, as a deletion does: the old count is not shown
    // while the new one is made.
    const QString path = resultsFilePath(f.state);
    ASSERT_TRUE(writeFile(path + QStringLiteral(".new"), bigFile(2)));
    ASSERT_EQ(
        std::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(), QFile::encodeName(path).constData()),
        0);
    hub->teacherPanel->Form_Activate(true);
    hub->teacherPanel->hubActivated();
    EXPECT_FALSE(notice->isVisible());
    ASSERT_TRUE(f.settleUntil([&] { return notice->isVisible(); }));
    EXPECT_TRUE(notice->text().contains(QStringLiteral("壊れた記録が 2 件"))) << notice->text().toStdString();

    // A key typed before the count is made still counts ("0": back to the roster), and
    // the count of the hub that is gone then shows nothing anywhere.
    ASSERT_TRUE(writeFile(path + QStringLiteral(".new"), bigFile(3)));
    ASSERT_EQ(
        std::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(), QFile::encodeName(path).constData()),
        0);
    hub->teacherPanel->Form_Activate(true);
    hub->teacherPanel->hubActivated();
    QTest::keyClick(hub, Qt::Key_0);
    f.settle(50);
    EXPECT_EQ(f.hub(), nullptr);
    EXPECT_NE(f.forms.loaded(QStringLiteral("namesel")), nullptr);
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join(u'\n').toStdString();
}

// A record made damaged in place by something other than this program (no line in the
// correction log), and the file grown after it: the count made before the paint cannot
// see it, the count once the hub is up does.
TEST(DamagedRecordsNotice, AChangeInPlaceFollowedByAnAppendIsCountedOnceTheHubIsUp)
{
    School f({rec(1, 1, 30), rec(1, 40, 30), rec(2, 2, 25)});
    f.logIn(QStringLiteral("佐藤先生"));
    ASSERT_NE(f.hub(), nullptr);
    EXPECT_TRUE(f.hub()->teacherPanel->DamagedLabel->text().contains(QStringLiteral("壊れた記録が 1 件")));
    QTest::keyClick(f.hub(), Qt::Key_0);
    f.settle();

    const QString path = resultsFilePath(f.state);
    QByteArray bytes = readFileBytes(path);
    const auto damaged = rec(1, 40, 30).encode();
    bytes.replace(0, kRecordSize, QByteArray(damaged.data(), kRecordSize)); // the first record
    const auto good = rec(2, 1, 28).encode();
    bytes.append(good.data(), kRecordSize);
    ASSERT_TRUE(writeFile(path, bytes)); // the same file, written over and grown by a run

    // The count after the paint waits for the hub's activation to be over: the hub lets
    // events run while it tallies, and a count made then would hold the hub back.
    auto *roster = f.forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
    for (int i = 1; i < roster->List1->count(); ++i)
        if (roster->List1->item(i)->text().contains(QStringLiteral("佐藤先生")))
            roster->List1->setCurrentRow(i);
    QTest::keyClick(roster->List1, Qt::Key_Return);
    HubScreen *hub = f.hub();
    ASSERT_NE(hub, nullptr);
    QLabel *notice = hub->teacherPanel->DamagedLabel;
    bool paintedBeforeReady = false;
    EventSpy spy(notice, QEvent::Paint, [&] {
        if (notice->text().contains(QStringLiteral("壊れた記録が 2 件")) && hub->logic().KeysReady != 1)
            paintedBeforeReady = true;
    });
    ASSERT_TRUE(f.settleUntil([&] { return notice->text().contains(QStringLiteral("壊れた記録が 2 件")); }))
        << notice->text().toStdString();
    EXPECT_FALSE(paintedBeforeReady);
}
