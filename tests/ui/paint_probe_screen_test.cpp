// The probe the whole-program benchmarks use: off unless asked for, and once asked, it
// ends the program only after the screen it waits for was shown and painted.
#include "ui/PaintProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <gtest/gtest.h>

using namespace tobrel;

namespace {

// Started while the test program was being loaded, so after the process itself.
const QElapsedTimer sinceLoaded = [] {
    QElapsedTimer t;
    t.start();
    return t;
}();

} // namespace

TEST(PaintProbe, TheProgramsAgeCountsFromTheProcessStart)
{
    // Never short of the time since anything in the process began (the loading of the
    // program comes before), never going back, and not minutes off either.
    const double first = processAgeMs();
    ASSERT_GE(first, 0);
    EXPECT_GE(first, static_cast<double>(sinceLoaded.elapsed()));
    const double later = processAgeMs();
    EXPECT_GE(later, first);
    EXPECT_LT(later, static_cast<double>(sinceLoaded.elapsed()) + 60'000.0);
}

TEST(PaintProbe, EndsTheProgramOnceTheAwaitedScreenIsPainted)
{
    qunsetenv("TOBREL_EXIT_WHEN_PAINTED");
    qunsetenv("TOBREL_PAINT_LOG");
    EXPECT_EQ(PaintProbe::fromEnvironment([](int) {}), nullptr);

    qputenv("TOBREL_EXIT_WHEN_PAINTED", "seisekitime1");
    std::vector<int> exits;
    auto probe = PaintProbe::fromEnvironment([&](int status) { exits.push_back(status); });
    qunsetenv("TOBREL_EXIT_WHEN_PAINTED");
    ASSERT_NE(probe, nullptr);

    QLabel roster(QStringLiteral("名簿"));
    QLabel hub(QStringLiteral("ハブ"));
    roster.show();
    probe->activated(&roster, QStringLiteral("namesel"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(exits.empty()); // another screen

    // Activated before it is on the display: nothing until it has been shown.
    probe->activated(&hub, QStringLiteral("seisekitime1"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(exits.empty());
    hub.show();
    probe->activated(&hub, QStringLiteral("seisekitime1"));
    for (int i = 0; i < 5 && exits.empty(); ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(exits, std::vector<int>{0});
}
