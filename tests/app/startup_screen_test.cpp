#include "app/StartupForm.h"
#include "results/Tally.h"
#include "support/ScreenFixture.h"
#include "text/DayNumber.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>

using namespace tobrel;
using namespace tobrel::test;

TEST(StartupScreen, SplashShowsTheEraDateThenTheNextScreen)
{
    ScreenFixture f;
    f.writeSuite();
    f.clock.date = QDate(2024, 2, 7);
    f.clock.seconds = 3600;
    auto *startup = static_cast<StartupForm *>(f.forms.load(QStringLiteral("Firstfrm")));
    EXPECT_TRUE(startup->Label5->text().isEmpty()); // nothing in the date's place before the date
    startup->Form_Load();
    EXPECT_EQ(startup->Label5->text(), QStringLiteral("令和6年 2月 07日（水）"));
    // The date has a place of its own, not across the picture's squares.
    const QRect squares = splashSquaresArea();
    const QRect squaresOnForm(
        startup->scale().rect(squares.x() * 15, squares.y() * 15, squares.width() * 15, squares.height() * 15));
    EXPECT_FALSE(startup->Label5->geometry().intersects(squaresOnForm));
    EXPECT_FALSE(startup->Label5->geometry().intersects(startup->Label1->geometry()));
    ScreenFixture::shot(startup, QStringLiteral("splash"));
    EXPECT_EQ(startup->Label1->text(), QStringLiteral("Just a moment, please."));
    EXPECT_EQ(f.state.profile.ScreenColour, 0x000080FFu);
    EXPECT_EQ(f.random.seededWith, 3600);
    EXPECT_TRUE(startup->Timer1.isActive());
    EXPECT_EQ(startup->Timer1.interval(), 100);
    f.settle(250);
    EXPECT_EQ(f.forms.loaded(QStringLiteral("Firstfrm")), nullptr);
    Screen *next = f.forms.loaded(QStringLiteral("namesel"));
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next->isVisible());
    EXPECT_EQ(f.state.config.SchoolName, QStringLiteral("みなと塾"));
    EXPECT_TRUE(f.exits.empty());
}

TEST(StartupScreen, TheDateIsTheDayTheSplashShowsOn)
{
    // The date is worked out while the splash is made; a start just before midnight that
    // shows the splash just after it shows the new day.
    ScreenFixture f;
    f.writeSuite();
    f.clock.date = QDate(2024, 2, 7);
    auto *startup = static_cast<StartupForm *>(f.forms.load(QStringLiteral("Firstfrm")));
    f.clock.date = QDate(2024, 2, 8);
    startup->Form_Load();
    EXPECT_EQ(startup->Label5->text(), QStringLiteral("令和6年 2月 08日（木）"));
    f.settle(250);
}

TEST(StartupScreen, MissingConfigurationNamesTheFileAndEnds)
{
    ScreenFixture f;
    f.ctx.programFolderPath = f.dir.path() + QStringLiteral("/suite/squares");
    QDir().mkpath(f.ctx.programFolderPath);
    auto *startup = static_cast<StartupForm *>(f.forms.load(QStringLiteral("Firstfrm")));
    startup->Form_Load();
    f.settle(250);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("パスデータ.txt")));
    EXPECT_TRUE(f.messages.shown[0].contains(QStringLiteral("ありません")));
    EXPECT_EQ(f.exits, std::vector<int>{1});
    EXPECT_EQ(f.forms.loaded(QStringLiteral("namesel")), nullptr);
}

TEST(StartupScreen, TheDataRootOfOneStartWinsAndAFailureSaysWhereItCameFrom)
{
    ScreenFixture f;
    f.writeSuite();
    const QString other = f.dir.path() + QStringLiteral("/other-school");
    ASSERT_TRUE(QDir().rename(f.dir.path() + QStringLiteral("/data"), other));
    f.ctx.dataRootOption = other;
    auto *startup = static_cast<StartupForm *>(f.forms.load(QStringLiteral("Firstfrm")));
    startup->Form_Load();
    f.settle(250);
    ASSERT_NE(f.forms.loaded(QStringLiteral("namesel")), nullptr) << f.messages.shown.join(u'\n').toStdString();
    EXPECT_EQ(f.state.config.DataRoot, other + u'/');
    EXPECT_EQ(f.state.config.DataFolder, other + QStringLiteral("/squares/"));

    ScreenFixture g;
    g.writeSuite();
    g.ctx.dataRootOption = g.dir.path() + QStringLiteral("/not-mounted");
    startup = static_cast<StartupForm *>(g.forms.load(QStringLiteral("Firstfrm")));
    startup->Form_Load();
    g.settle(250);
    ASSERT_EQ(g.messages.shown.size(), 1);
    EXPECT_TRUE(g.messages.shown[0].contains(QStringLiteral("not-mounted/共通データ.txt")));
    EXPECT_TRUE(g.messages.shown[0].contains(QStringLiteral("データルートは --data-root から")));
    EXPECT_EQ(g.exits, std::vector<int>{1});
}

TEST(StartupScreen, APendingFileThatIsNoRunsIsNamedOnceAndTheProgramGoesOn)
{
    ScreenFixture f;
    f.writeSuite();
    const QString pending = f.ctx.programFolderPath + QStringLiteral("/未送信成績.dat");
    ASSERT_TRUE(writeFile(pending, QByteArray(240, 'a')));
    auto *startup = static_cast<StartupForm *>(f.forms.load(QStringLiteral("Firstfrm")));
    startup->Form_Load();
    f.settle(250);
    ASSERT_EQ(f.messages.shown.size(), 1);
    EXPECT_TRUE(f.messages.shown[0].contains(pending)) << f.messages.shown[0].toStdString();
    EXPECT_NE(f.forms.loaded(QStringLiteral("namesel")), nullptr);
    EXPECT_TRUE(f.exits.empty());
    EXPECT_EQ(readFileBytes(pending), QByteArray(240, 'a'));
}

namespace {

// What the roster screen shows: its list, its grade filters and the chosen totals.
QStringList rosterScreenShows(Screen *roster)
{
    QStringList shown;
    auto *list = roster->findChild<QListWidget *>(QStringLiteral("List1"));
    for (int i = 0; list && i < list->count(); ++i)
        shown << list->item(i)->text();
    auto *filters = roster->findChild<QComboBox *>(QStringLiteral("Combo1"));
    for (int i = 0; filters && i < filters->count(); ++i)
        shown << filters->itemText(i);
    shown << (filters ? filters->currentText() : QString());
    for (QRadioButton *option : roster->findChildren<QRadioButton *>())
        if (option->isChecked())
            shown << option->objectName();
    return shown;
}

void writeSuiteWithRuns(ScreenFixture &f)
{
    f.writeSuite();
    f.clock.date = QDate(2024, 2, 7);
    f.clock.seconds = 10 * 3600;
    std::vector<ResultRecord> runs;
    for (int i = 0; i < 4; ++i) {
        ResultRecord r;
        r.ResultRecDate = dayNumber(QDate(2024, 2, 7 - i));
        r.ResultRecClock = 0.4;
        r.ResultRecStudentNo = static_cast<int16_t>(1 + i % 2);
        r.ResultRecLevel = static_cast<int16_t>(1 + i);
        r.ResultRecTime = 40 + i;
        r.setSchool(QStringLiteral("01234"));
        runs.push_back(r);
    }
    ASSERT_TRUE(writeFile(f.dir.path() + QStringLiteral("/data/squares/成績累積データ.dat"), recordBytes(runs)));
}

} // namespace

// While the splash shows its time, the configuration is read and the roster screen made
// unseen; when the time ends, that screen comes up as the usual start would have made it.
TEST(StartupScreen, TheRosterScreenIsMadeBehindTheSplashAndComesUpWhenItsTimeEnds)
{
    ScreenFixture usual;
    writeSuiteWithRuns(usual);
    StartProgram(usual.ctx);
    usual.settle();
    Screen *usualRoster = usual.forms.loaded(QStringLiteral("namesel"));
    ASSERT_NE(usualRoster, nullptr);
    const QStringList expected = rosterScreenShows(usualRoster);
    usual.forms.closeAll();

    ScreenFixture f;
    writeSuiteWithRuns(f);
    auto *startup = static_cast<StartupForm *>(f.forms.load(QStringLiteral("Firstfrm")));
    startup->Form_Load();
    startup->Timer1.stop(); // the splash's time ends below, when the test says so
    f.settle();
    Screen *roster = f.forms.loaded(QStringLiteral("namesel"));
    ASSERT_NE(roster, nullptr);
    EXPECT_FALSE(roster->isVisible());
    EXPECT_TRUE(startup->isVisible());
    EXPECT_EQ(f.state.config.SchoolName, QStringLiteral("みなと塾"));

    startup->Timer1_Timer();
    f.settle();
    EXPECT_EQ(f.forms.loaded(QStringLiteral("namesel")), roster);
    EXPECT_TRUE(roster->isVisible());
    EXPECT_EQ(f.forms.loaded(QStringLiteral("Firstfrm")), nullptr);
    EXPECT_EQ(rosterScreenShows(roster), expected);
    EXPECT_TRUE(f.waits.empty());
    EXPECT_TRUE(f.messages.shown.empty());
}

// A file that must be waited for, or that fails, is left by the work behind the splash
// (which tells and waits for nothing) to the end of the splash's time, where the wait
// is shown and the failure told as they always were.
TEST(StartupScreen, WaitsAndFailuresAreLeftToTheEndOfTheSplashsTime)
{
    struct Case {
        const char *what;
        QString missing; // under the data root
        QString waitNames; // the wait's reason names it; "" when no wait
        QString toldNames; // the message names it; "" when none
    } cases[] = {
        {"a roster that comes back after a wait", QStringLiteral("新名簿.txt"), QStringLiteral("新名簿.txt"), {}},
        {"no common data", QStringLiteral("共通データ.txt"), {}, QStringLiteral("共通データ.txt")},
    };
    for (const Case &c : cases) {
        ScreenFixture f;
        f.writeSuite();
        const QString path = f.dir.path() + QStringLiteral("/data/") + c.missing;
        const QByteArray bytes = readFileBytes(path);
        ASSERT_TRUE(QFile::remove(path));
        QString shownDuringWait;
        f.duringWait = [&] {
            shownDuringWait = ScreenFixture::shownTextStartingWith(c.missing);
            writeFile(path, bytes);
        };
        auto *startup = static_cast<StartupForm *>(f.forms.load(QStringLiteral("Firstfrm")));
        startup->Form_Load();
        startup->Timer1.stop();
        f.settle();
        EXPECT_EQ(f.forms.loaded(QStringLiteral("namesel")), nullptr) << c.what;
        EXPECT_TRUE(f.waits.empty()) << c.what;
        EXPECT_TRUE(f.messages.shown.empty()) << c.what;
        EXPECT_TRUE(f.exits.empty()) << c.what;

        startup->Timer1_Timer();
        f.settle();
        if (!c.waitNames.isEmpty()) {
            EXPECT_EQ(f.waits, std::vector<double>{5.0}) << c.what;
            EXPECT_TRUE(shownDuringWait.contains(c.waitNames)) << c.what;
            Screen *roster = f.forms.loaded(QStringLiteral("namesel"));
            ASSERT_NE(roster, nullptr) << c.what;
            EXPECT_TRUE(roster->isVisible()) << c.what;
            EXPECT_TRUE(f.exits.empty()) << c.what;
        } else {
            ASSERT_EQ(f.messages.shown.size(), 1) << c.what;
            EXPECT_TRUE(f.messages.shown[0].contains(c.toldNames)) << c.what;
            EXPECT_EQ(f.exits, std::vector<int>{1}) << c.what;
        }
    }
}
