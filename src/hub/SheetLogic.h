// The result sheet: one student's record drawn level by level, a block per level with
// a graph of the run times in the order they were run (new personal bests red and
// joined by a line, other runs blue, the level's target and pass-line times as green and
// orange lines) and a text panel that compares the student with the whole school.
// Blocks stand at 5 %, 35 % and 65 % of the surface's height, three to a page, with the
// student's name at the top of each page.
//
// The results file is read once for a sheet run (all the student's levels at once);
// drawing goes to any DrawingSurface, so the screen's canvas and paper get the same
// sheet.
#pragma once
#include "hub/SheetRankings.h"
#include "results/ResultsFile.h"
#include "state/DrawingSurface.h"
#include "state/Platform.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tobrel {

struct SharedState;

// Colours of the sheet (0x00BBGGRR).
constexpr uint32_t kSheetRuleColour = 0x000001; // rules and the time axis
constexpr uint32_t kSheetInk = 0x000000; // vertical axis, best-point line
constexpr uint32_t kSheetBestColour = 0x0000FF; // red: a new personal best
constexpr uint32_t kSheetRunColour = 0xFF0000; // blue: any other run
constexpr uint32_t kSheetTargetColour = 0x308A00; // green: the target time, as on the drill's time bar
constexpr uint32_t kSheetPassColour = 0x0080E0; // orange: the pass-line time

// Only runs faster than this count toward the student's and the school's figures.
constexpr int32_t kSheetCountedBelow = 1800;

// What one sheet run needs from the results file, for one student and every level.
struct SheetRun {
    int32_t time;
    double date;
    int64_t record; // its number in the file
};
struct SheetLevelData {
    // The student's runs under 1800 among the last 20000 records (as the personal-times
    // view lists them): number, sum and largest time.
    int32_t runCount = 0;
    int64_t timeSum = 0;
    int32_t timeMax = 0;
    // The whole file: the school's runs under 1800 and its best time (any run).
    int64_t schoolTimeSum = 0;
    int64_t schoolRunCount = 0;
    int32_t schoolBest = kTimedOut;
    // The student's runs at the level, in file order, and how many are under 1800.
    std::vector<SheetRun> runs;
    int64_t plottedUnder1800 = 0;
};
struct SheetReading {
    int student = 0;
    std::vector<SheetLevelData> levels; // index = level 1..LevelCount
    std::optional<double> newestDate; // the last record of the file the sheet looked at
};

// Reads the runs of the last 3650 days at levels 1..LevelCount. False with a message
// naming the file when it cannot be read.
bool readSheetResults(const SharedState &state, const Clock &clock, const ResultsFile &file, int student,
                      SheetReading *out, QString *error);

struct SheetOptions {
    bool printing = false; // paper (line width 30, font 6) or the screen's canvas
    double fontSize = 6; // the on-screen base font size
    int levelOffset = 1; // line k of the level list stands for level k + offset - 1
    QString gradeFilter; // the hub's grade filter: plots only a student who passes it
    int pointsOrder = 1; // the hub's points order, for the points ranking
};

// "2024/02/07"
QString sheetDateText(double day);
// A number written with the format "#######": rounded to a whole number, no leading
// zeros; 0 gives an empty text.
QString hashFormat(double value);
// A text through the same format: a number is formatted, anything else stays as it is.
QString hashFormat(const QString &text);

// One sheet run for the reading's student: a block for each chosen line of the level
// list (line numbers from 1, in list order) until a line stands for a level beyond
// the program's levels. rankFigures is computed before each block; `ranked` is told the
// level each time.
void drawSheet(const SharedState &state, KeptRankings &kept, const SheetReading &reading,
               const std::vector<int> &chosenLines, const SheetOptions &options, DrawingSurface &surface,
               SheetFiguresTable &figures, const std::function<void(int level)> &ranked = {});

// One level block with its top edge at `top`.
void drawSheetBlock(const SharedState &state, const SheetReading &reading, int level, double top,
                    const SheetRankFigures &figures, const SheetOptions &options, DrawingSurface &surface);

// The nine lines of a block's text panel; empty texts for the lines left out.
QStringList sheetPanelLines(const SheetLevelData &data, const SheetRankFigures &figures, const QString &bestTimeText);

// The room a line of text takes on the sheet, in twips. The sheet's font is fixed-pitch:
// a half-width character is half the font size wide (ten twips a point), any other
// character the whole size, and a line is as high as the size (twenty twips a point).
// No two texts of a sheet meet, and none meets a rule, an axis or a best point: a label
// that would is moved a little, shortened, or left out.
struct SheetBox {
    double left = 0, top = 0, right = 0, bottom = 0;
    // True when the two share some area (touching edges do not).
    bool meets(const SheetBox &other) const
    {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
    bool inside(const SheetBox &area) const
    {
        return left >= area.left && right <= area.right && top >= area.top && bottom <= area.bottom;
    }
};
double sheetTextWidth(const QString &text, double points);
SheetBox sheetTextBox(double x, double y, const QString &text, double points);

} // namespace tobrel
