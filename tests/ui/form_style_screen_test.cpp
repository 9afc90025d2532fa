// Radio marks and scroll bars with their arrows grow and shrink with the form they stand on, as its
// texts do; a dialog keeps the platform's natural look. Runs on every display size
// ctest gives the screen tests.
#include "app/Configuration.h"
#include "roster/NameSelectScreen.h"
#include "support/ScreenFixture.h"

#include <QDialog>
#include <QListWidget>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOption>

#include <gtest/gtest.h>

#include <cmath>

using namespace tobrel;
using namespace tobrel::test;

namespace {

int radioMarkWidth(QRadioButton *radio)
{
    QStyleOptionButton option;
    option.initFrom(radio);
    return radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio).width();
}

// The width of the arrow drawn at the top of a vertical scroll bar: the widest row of
// dark pixels inside the bar's edges, leaving out rows a rule runs across.
int arrowWidth(QScrollBar *bar)
{
    bar->resize(bar->sizeHint().width(), 300);
    const QImage picture = bar->grab().toImage();
    const QRect area(3, 0, bar->width() - 6, 2 * bar->width());
    int widest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        int left = area.right() + 1, right = area.left() - 1;
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(picture.pixel(x, y)) < 200) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        const int width = right - left + 1;
        if (width < area.width() * 8 / 10)
            widest = std::max(widest, width);
    }
    return widest;
}

} // namespace

TEST(FormStyle, MarksScrollBarsAndArrowsFollowTheFormsScale)
{
    ScreenFixture f;
    f.writeSuite();
    LoadConfiguration(f.state, f.ctx.programFolderPath);
    f.forms.show(QStringLiteral("namesel"));
    f.settle();
    auto *roster = f.forms.loadedAs<NameSelectScreen>(QStringLiteral("namesel"));
    ASSERT_NE(roster, nullptr);
    const double factor = roster->stage()->height() / 768.0;

    // The same controls on a dialog: the platform's natural size.
    QDialog dialog;
    auto *naturalRadio = new QRadioButton(QStringLiteral("本日"), &dialog);
    auto *naturalBar = new QScrollBar(Qt::Vertical, &dialog);
    const int naturalMark = radioMarkWidth(naturalRadio);
    const int naturalBarWidth = naturalBar->sizeHint().width();
    ASSERT_GT(naturalMark, 5);

    const auto near = [factor](int natural) { return std::lround(natural * factor); };
    EXPECT_NEAR(radioMarkWidth(roster->Option1[0]), near(naturalMark), 1);
    EXPECT_NEAR(roster->List1->verticalScrollBar()->sizeHint().width(), near(naturalBarWidth), 1);

    // The arrows of a scroll bar grow with it (at least as much as the bar: the platform
    // draws a small bar's arrow smaller than its share).
    naturalBar->setRange(0, 100);
    auto *formBar = new QScrollBar(Qt::Vertical, roster->stage());
    formBar->setRange(0, 100);
    const int naturalArrow = arrowWidth(naturalBar);
    ASSERT_GT(naturalArrow, 3);
    if (factor == 1.0)
        EXPECT_EQ(arrowWidth(formBar), naturalArrow);
    else
        EXPECT_GE(arrowWidth(formBar), naturalArrow * factor - 1);
}
