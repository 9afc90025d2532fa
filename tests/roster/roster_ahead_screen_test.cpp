// What the roster screen does for the hub while it waits for a name: done once the
// screen is painted, after the keys typed meanwhile.
#include "app/Configuration.h"
#include "results/Tally.h"
#include "roster/NameSelectScreen.h"
#include "support/ScreenFixture.h"

#include <QListWidget>

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

struct School : ScreenFixture {
    int madeAhead = 0;
    School()
    {
        writeSuite();
        LoadConfiguration(state, ctx.programFolderPath);
        writeFile(resultsFilePath(state), recordBytes({TestRun{}(1, 1, 30)}));
        ctx.whileRosterWaits = [this] { ++madeAhead; };
    }
    NameSelectScreen *roster() { return forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel")); }
};

} // namespace

TEST(RosterAhead, RunsOnceTheRosterIsUpAndAKeyTypedAtOnceStillLogsIn)
{
    School f;
    f.forms.show(QStringLiteral("namesel"));
    QCoreApplication::processEvents(); // the activation: the screen now takes keys
    ASSERT_NE(f.roster(), nullptr);
    EXPECT_EQ(f.madeAhead, 0);
    // The name chosen and Enter before the screen was ever idle: the log-in is made.
    f.roster()->List1->setCurrentRow(1);
    QTest::keyClick(f.roster()->List1, Qt::Key_Return);
    f.settle();
    EXPECT_NE(f.forms.loaded(QStringLiteral("seisekitime1")), nullptr);
    EXPECT_GT(f.state.student.CurrentStudent, 0);

    // Back on the roster screen, left to wait: the work is done once.
    QTest::keyClick(f.forms.loaded(QStringLiteral("seisekitime1")), Qt::Key_0);
    const int before = f.madeAhead;
    ASSERT_TRUE(f.settleUntil([&] { return f.roster() && f.madeAhead > before; }));
    f.settle(50);
    EXPECT_EQ(f.madeAhead, before + 1);
}
