#include "app/StartupForm.h"
#include "support/ScreenFixture.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

TEST(StartupScreen, SplashShowsTheEraDateThenTheNextScreen)
{
    ScreenFixture f;
    f.writeSuite();
    f.clock.date = QDate(2024, 2, 7);
    f.clock.seconds = 3600;
    auto *startup = static_cast<StartupForm *>(f.forms.load(QStringLiteral("Firstfrm")));
    startup->Form_Load();
    EXPECT_EQ(startup->Label5->text(), QStringLiteral("令和6年 2月 07日（水）"));
    // The date has a place of its own, not across the picture's squares.
    const QRect squares = splashSquaresArea();
    const QRect squaresOnForm(startup->scale().rect(squares.x() * 15, squares.y() * 15, squares.width() * 15,
                                                    squares.height() * 15));
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
