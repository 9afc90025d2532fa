// Where the hub's level columns stand on a stage of a given width, in twips: how wide a
// column is, where the first one starts, how many stand side by side in full view, and
// whether the column scroll bar is needed to reach the others.
//
// On the 15360-twip form area the columns keep the layout they were designed with: up
// to four share the width, and beyond four each is 3456 twips wide, four are in view
// (with the start of a fifth at the right edge) and the scroll bar reaches the rest. A
// wider stage (a display wider than 4:3) shows as many whole columns as fit, every
// column of the program when it can. Each column there keeps what it shows (its buttons,
// lines and result list) exactly as wide as on the form area, so the lists keep their
// font; only the empty strips between columns give way, down to kNarrowestGap, and the
// columns may then run to the stage's edges. They stand centred. Columns that do not fit
// are reached with the scroll bar and are never shown cut.
#pragma once

namespace tobrel {

struct ColumnLayout {
    static constexpr double kFormWidth = 15360;
    // The widest column: four of them fill the form area.
    static constexpr double kDesignedColumn = 3456;
    // The empty strip at the right of every column, between it and the next.
    static constexpr double kGap = 60;
    // The narrowest that strip may become so that one more column stands in full view:
    // a pixel or more, so that neighbouring columns never touch.
    static constexpr double kNarrowestGap = 15;

    double stageWidth = kFormWidth;
    double width = kDesignedColumn; // W: from one column's left edge to the next one's
    double gap = kGap; // the empty strip at the right of each column, part of W
    double left = 0.02 * kFormWidth; // the left edge of the first column in view
    int levelCount = 0;
    int shown = 0; // columns side by side in full view
    bool scrolls = false; // the scroll bar is shown and reaches the other columns
    int scrollMaximum = 1; // the highest scroll position: the last column at the right
    // Columns beyond those in full view are kept out of sight (a wide stage), rather than
    // showing the start of the next one (the form area as designed).
    bool hidesColumnsBeyond = false;

    // The left edge of a level's column with `scroll` the level in the leftmost place,
    // or the stage's width (out of sight) for a column scrolled away.
    double leftOf(int level, int scroll) const;
    // The scroll position that brings a level's column into full view from `scroll`,
    // moving as little as possible; `scroll` itself when the column is in view.
    int scrollShowing(int level, int scroll) const;
};

// The layout of `levelCount` columns on a stage `stageWidth` twips wide (15360 or more).
ColumnLayout columnLayout(int levelCount, double stageWidth = ColumnLayout::kFormWidth);

} // namespace tobrel
