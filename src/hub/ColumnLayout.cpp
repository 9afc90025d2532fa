#include "hub/ColumnLayout.h"

#include "hub/ColumnTexts.h"

#include <algorithm>
#include <cmath>

namespace tobrel {

ColumnLayout columnLayout(int levelCount, double stageWidth)
{
    ColumnLayout l;
    l.levelCount = std::max(0, levelCount);
    l.stageWidth = std::max(stageWidth, ColumnLayout::kFormWidth);
    l.width = columnWidthTwips(l.levelCount);
    const int n = l.levelCount;
    if (l.stageWidth < ColumnLayout::kFormWidth + 1) {
        // The form area as designed.
        l.shown = std::min(n, 4);
        l.scrolls = n > 4;
        l.scrollMaximum = l.scrolls ? n - 3 : 1;
        return l;
    }
    l.hidesColumnsBeyond = true;
    l.shown = n;
    if (n > 4) {
        // What a column shows keeps its width on the form area; the gaps take what the
        // stage leaves, never more than designed.
        const double shows = ColumnLayout::kDesignedColumn - ColumnLayout::kGap;
        auto needs = [&](int columns) { return columns * shows + (columns - 1) * ColumnLayout::kNarrowestGap; };
        while (l.shown > 4 && needs(l.shown) > l.stageWidth)
            --l.shown;
        l.gap = std::min(ColumnLayout::kGap, (l.stageWidth - l.shown * shows) / (l.shown - 1));
        l.width = shows + l.gap;
        l.scrolls = l.shown < n;
        l.scrollMaximum = l.scrolls ? n - l.shown + 1 : 1;
    }
    // The columns in view stand centred; the last one's gap is no part of what shows.
    // Columns that fill the stage start at its very edge, not a rounding error before it.
    l.left = std::max(0.0, (l.stageWidth - (l.shown * l.width - l.gap)) / 2);
    return l;
}

double ColumnLayout::leftOf(int level, int scroll) const
{
    const int place = level - scroll; // 0 = the leftmost place in view
    const double x = left + place * width;
    if (x < 0 || (hidesColumnsBeyond && (place < 0 || place >= shown)))
        return stageWidth;
    return x;
}

int ColumnLayout::scrollShowing(int level, int scroll) const
{
    if (!scrolls || level < 1 || level > levelCount)
        return scroll;
    int wanted = scroll;
    if (level < scroll)
        wanted = level;
    else if (level > scroll + shown - 1)
        wanted = level - shown + 1;
    return std::clamp(wanted, 1, scrollMaximum);
}

} // namespace tobrel
