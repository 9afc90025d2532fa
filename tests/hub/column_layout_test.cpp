// The hub's level columns on stages of the shapes classroom displays give: how many stand
// in full view, whether the scroll bar is needed, and that no column is ever shown cut on
// a wide stage.
#include "hub/ColumnLayout.h"

#include <gtest/gtest.h>

using namespace tobrel;

namespace {

// A column's left edge and right edge (without the gap) lie on the stage.
bool wholeOnStage(const ColumnLayout &l, double x)
{
    return x >= 0 && x + l.width - l.gap <= l.stageWidth;
}
bool partlyOnStage(const ColumnLayout &l, double x) { return x < l.stageWidth && x + l.width > 0; }

} // namespace

TEST(ColumnLayout, SixLevelsOnTheStagesOfClassroomDisplays)
{
    struct Case {
        const char *display;
        double stageWidth; // twips: the display's width at the scale its height gives
        int shown;
        bool scrolls;
        int scrollMaximum;
    };
    const Case cases[] = {
        {"1024x768, 1280x1024 (the form area)", 15360, 4, true, 3},
        {"3:2 (2256x1504)", 17280, 5, true, 2},
        {"16:10 (1280x800, 1920x1200)", 18432, 5, true, 2},
        {"16:9 (1920x1080, 2560x1440)", 20480, 6, false, 1},
        {"1366x768", 20490, 6, false, 1},
        {"1360x768: six would touch", 20400, 5, true, 2},
        {"21:9 (2560x1080)", 27306, 6, false, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.display);
        const ColumnLayout l = columnLayout(6, c.stageWidth);
        EXPECT_EQ(l.shown, c.shown);
        EXPECT_EQ(l.scrolls, c.scrolls);
        EXPECT_EQ(l.scrollMaximum, c.scrollMaximum);
        // What a column shows (its list above all, whose font is fitted to its width)
        // is exactly as wide as on the form area; only the gap between columns narrows,
        // and never so far that two columns touch.
        EXPECT_DOUBLE_EQ(l.width - l.gap, ColumnLayout::kDesignedColumn - ColumnLayout::kGap);
        EXPECT_LE(l.gap, ColumnLayout::kGap);
        EXPECT_GE(l.gap, ColumnLayout::kNarrowestGap);
        for (int scroll = 1; scroll <= l.scrollMaximum; ++scroll) {
            int inView = 0;
            for (int level = 1; level <= 6; ++level) {
                const double x = l.leftOf(level, scroll);
                const bool expected = level >= scroll && level < scroll + l.shown;
                EXPECT_EQ(wholeOnStage(l, x), expected) << "level " << level << " at scroll " << scroll;
                inView += wholeOnStage(l, x);
                if (c.stageWidth > ColumnLayout::kFormWidth && !expected) {
                    EXPECT_FALSE(partlyOnStage(l, x)) << "level " << level << " is cut at scroll " << scroll;
                }
            }
            EXPECT_EQ(inView, c.shown);
        }
        if (c.stageWidth > ColumnLayout::kFormWidth) {
            // The columns in view stand in the middle of the stage.
            const double first = l.leftOf(l.scrollMaximum, l.scrollMaximum);
            const double last = l.leftOf(6, l.scrollMaximum) + l.width - l.gap;
            EXPECT_NEAR(first, l.stageWidth - last, 1);
        }
    }
}

TEST(ColumnLayout, TheFormAreaKeepsItsDesignedColumns)
{
    // Four columns of 3456 twips from 0.02 of the form's width; scrolled by two, levels 1
    // and 2 are parked at the right edge and level 3 stands where level 1 stood. The
    // fifth column starts at the right edge of the form, as it always did.
    const ColumnLayout l = columnLayout(6);
    EXPECT_EQ(l.width, 3456);
    EXPECT_DOUBLE_EQ(l.leftOf(1, 1), 307.2);
    EXPECT_DOUBLE_EQ(l.leftOf(5, 1), 307.2 + 4 * 3456);
    EXPECT_DOUBLE_EQ(l.leftOf(3, 3), l.leftOf(1, 1));
    EXPECT_EQ(l.leftOf(1, 3), 15360);
    EXPECT_EQ(l.leftOf(2, 3), 15360);

    // Up to four levels share the width and never scroll, on any stage.
    for (double stage : {15360.0, 20480.0}) {
        const ColumnLayout three = columnLayout(3, stage);
        EXPECT_EQ(three.width, 4864);
        EXPECT_EQ(three.shown, 3);
        EXPECT_FALSE(three.scrolls);
        EXPECT_TRUE(wholeOnStage(three, three.leftOf(3, 1)));
    }
}

TEST(ColumnLayout, BringingAColumnIntoViewMovesAsLittleAsItCan)
{
    struct Case {
        double stageWidth;
        int level, scroll, expected;
    };
    const Case cases[] = {
        {15360, 5, 1, 2}, {15360, 6, 1, 3}, {15360, 1, 3, 1}, {15360, 3, 1, 1}, {15360, 2, 3, 2},
        {18432, 6, 1, 2}, {18432, 5, 1, 1}, {18432, 1, 2, 1},
        {20480, 6, 1, 1}, // every column is in view: nothing moves
        {15360, 7, 1, 1}, // no such level
    };
    for (const Case &c : cases)
        EXPECT_EQ(columnLayout(6, c.stageWidth).scrollShowing(c.level, c.scroll), c.expected)
            << c.stageWidth << " level " << c.level << " from " << c.scroll;
}
