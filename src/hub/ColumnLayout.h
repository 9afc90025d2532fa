// Where the hub's level columns stand on a stage of a given width, in twips: how wide a
// column is, where the first one starts, how many stand side by side in full view, and
// whether the column scroll bar is needed to reach the others.
//
// On the 15360-twip form area the columns keep the layout they were designed with: up
// to four share the width, and beyond four each is 3456 twips wide, four are in view
// (with the start of a fifth at the right edge) and the scroll bar reaches the rest. A
// wider stage (a display wider than 4:3) shows as many whole columns as fit, every
// column of the program when it can: a column may then narrow a little (not below
// kNarrowestColumn), never widen, and the columns stand centred. Columns that do not fit
// are reached with the scroll bar and are never shown cut.
#pragma once

namespace tobrel {

struct ColumnLayout {
    static constexpr double kFormWidth = 15360;
    // The widest column: four of them fill the form area.
    static constexpr double kDesignedColumn = 3456;
    // The narrowest a column may become so that one more stands in full view: its
    // texts, lists and buttons still show whole, at their designed size.
    static constexpr double kNarrowestColumn = 3300;
    // Room kept free at the two edges of a wide stage.
    static constexpr double kEdge = 120;
    // The empty strip at the right of every column, between it and the next.
    static constexpr double kGap = 60;

    double stageWidth = kFormWidth;
    double width = kDesignedColumn; // W
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
