// The one set of values every screen of the program shares. main creates exactly one
// SharedState and hands it by reference to every screen and procedure; nothing else
// carries state between screens. The groups follow the program's subsystems.
#pragma once
#include "state/CriteriaValues.h"
#include "state/ResultRecord.h"
#include "state/ResultsInMemory.h"
#include "state/RosterTypes.h"
#include "state/SoundState.h"
#include "state/Tables.h"
#include "text/Variant.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstring>
#include <type_traits>
#include <cstdint>
#include <vector>

namespace tobrel {

struct ProgramProfile {
    QString ProgramTitle;
    int16_t LevelCount = 0;
    std::array<QString, kLevelSlots> LevelNames;
    std::array<int16_t, kLevelSlots> LevelTimed{};
    Variant FirstLevel;
    Variant LastLevel;
    Variant PrintButtonOn;
    Variant AllLevelsOpen;
    uint32_t ScreenColour = 0; // 0x00BBGGRR
};

struct Configuration {
    QString ProgramFolder; // the program's folder, ending in the separator
    QString DataRoot; // field 1 of the path data file, as written
    QString ProgramFolderName; // last component of the program's folder
    QString DataFolder; // DataRoot + ProgramFolderName + separator
    QString SoundFolder; // DataRoot + "音フォルダ" + separator
    int SchoolYearStartMonth = 0;
    QString SchoolName;
    QString SchoolCode;
    int CommonValue3 = 0;
    QString DataChangePassword;
    // Where this copy lives besides the data: this PC's folder for runs the share could
    // not take yet ("" = ProgramFolder, a copy in the suite's folders), and what "0" on
    // the roster screen starts (the program, then its arguments; empty: nothing).
    QString LocalFolder;
    QStringList ProgramMenu;
    const QString &localFolder() const { return LocalFolder.isEmpty() ? ProgramFolder : LocalFolder; }
};

struct CurrentStudentState {
    int16_t CurrentStudent = 0;
    QString CurrentStudentName;
    QString CurrentStudentGroup;
    double LoginTime = 0; // seconds since midnight
    int loginDay = 0; // day number of the login, so minutes stay right after midnight
    bool okButtonRetired = false; // the roster screen's O.K. is not shown after the first login
};

struct RosterTables {
    std::vector<RosterRecord> RosterRecords = std::vector<RosterRecord>(kMaxStudent + 1);
    int RosterCount = 0;
    std::vector<int16_t> RosterNumbers = std::vector<int16_t>(kMaxStudent + 1);
    std::vector<QString> StudentNames = std::vector<QString>(kStudentSlots);
    std::vector<int16_t> StudentBirthYears = std::vector<int16_t>(kStudentSlots);
    std::vector<QString> StudentGradeLabels = std::vector<QString>(kStudentSlots);
    int SchoolYear = 0;
    QString SelectedGradeFilter;
    // The roster screen's own grade filter (its Combo1): the screen is built anew after
    // every student, and a class keeps its filter for as long as the program runs.
    QString RosterScreenFilter;
};

struct CurrentRun {
    int16_t CurrentLevel = 0;
    int16_t ProblemsPerRun = 0;
    int32_t CorrectCount = 0;
    float RunStartTime = 0; // time of day in seconds when the clock started
    int32_t ElapsedSeconds = 0;
    int32_t TimeLimit = 0;
    double TimeBarScale = 0;
    int16_t JudgeResult = 0; // 1 correct, 2 wrong, 0 none
    int16_t JudgeBusy = 0;
    int16_t RunComplete = 0;
    int16_t TimeUp = 0;
    int16_t RunEnding = 0;
    int16_t PlusConfirm = 0; // 0 input, 1 waiting for the first "+", 2 for the second
    int32_t RunTime = 0;
};

struct RunOutcome {
    std::array<int16_t, 2> NewRecordFlags{}; // 0: personal best, 1: level best
    int16_t ClearedBefore = 0;
    // The run went to the pending file on this PC: the shared results file could not be
    // written, so the end screen counts the run without reading that file again.
    bool keptOnThisPc = false;
};

// The ten tally tables, each [level 0..35][student 0..5000], read and written through
// their own accessors, t.AllRunCount(L, s). They are kept in two tables of 16-byte cells
// aligned to their size: what every run adds to (the all-time figures, with today's
// points, which the rankings read beside the all-time points), and what only a run inside
// a window adds to. The tally so adds a run to one cache line of a table half the size,
// and a ranking reads a level's points from 80 KB.
// The first cell takes every run as one add of four 32-bit lanes (points, short time,
// completed runs, 0): the third lane holds AllRunCount in its low half, which a tally of
// at most 20000 runs never carries out of.
// Today's run count is a whole count; it is stored as one and read as a float.
struct alignas(16) TallyCell {
    int32_t AllPoints;
    int32_t AllTimeSum;
    int16_t AllRunCount;
    int16_t PassRunCount;
    int32_t TodayPoints;
};
static_assert(sizeof(TallyCell) == 16);
struct alignas(16) TallyWindowCell {
    int32_t PassPoints;
    int32_t OverPoints;
    float TodayTimeSum;
    int16_t OverRunCount;
    int16_t TodayRuns;
};
static_assert(sizeof(TallyWindowCell) == 16);

struct Tallies {
    LevelStudentTable<TallyCell> cells;
    LevelStudentTable<TallyWindowCell> windows;

    int16_t &AllRunCount(int L, int s) { return cells(L, s).AllRunCount; }
    int32_t &AllPoints(int L, int s) { return cells(L, s).AllPoints; }
    int32_t &AllTimeSum(int L, int s) { return cells(L, s).AllTimeSum; }
    int16_t &PassRunCount(int L, int s) { return cells(L, s).PassRunCount; }
    int32_t &PassPoints(int L, int s) { return windows(L, s).PassPoints; }
    int16_t &OverRunCount(int L, int s) { return windows(L, s).OverRunCount; }
    int32_t &OverPoints(int L, int s) { return windows(L, s).OverPoints; }
    int32_t &TodayPoints(int L, int s) { return cells(L, s).TodayPoints; }
    float &TodayTimeSum(int L, int s) { return windows(L, s).TodayTimeSum; }
    int16_t AllRunCount(int L, int s) const { return cells(L, s).AllRunCount; }
    int32_t AllPoints(int L, int s) const { return cells(L, s).AllPoints; }
    int32_t AllTimeSum(int L, int s) const { return cells(L, s).AllTimeSum; }
    int16_t PassRunCount(int L, int s) const { return cells(L, s).PassRunCount; }
    int32_t PassPoints(int L, int s) const { return windows(L, s).PassPoints; }
    int16_t OverRunCount(int L, int s) const { return windows(L, s).OverRunCount; }
    int32_t OverPoints(int L, int s) const { return windows(L, s).OverPoints; }
    float TodayRunCount(int L, int s) const { return windows(L, s).TodayRuns; }
    int32_t TodayPoints(int L, int s) const { return cells(L, s).TodayPoints; }
    float TodayTimeSum(int L, int s) const { return windows(L, s).TodayTimeSum; }
    // Sets all ten tables to 0 (only the level rows written since the last clear hold
    // anything else).
    void clear()
    {
        cells.resetWrittenRows(0, kMaxLevel, 0, TallyCell{});
        windows.resetWrittenRows(0, kMaxLevel, 0, TallyWindowCell{});
    }
};

// What the tally keeps between calls so that it works out each level's points once per
// criteria: what every run time below 1000 seconds and (entry 1000) a timed-out run adds
// to the first 16 bytes of a cell, for the target time and rate they were made for.
struct TallyWorkspace {
    struct alignas(16) RunAdds {
        int32_t points = 0;
        int32_t shortTime = 0;
        int32_t completed = 0; // added to AllRunCount
        int32_t none = 0; // the lane of TodayPoints, left as it is
    };
    struct LevelPoints {
        bool made = false;
        int32_t target = 0;
        float rate = 0;
        std::array<RunAdds, 1001> byTime{};
    };
    std::vector<LevelPoints> points = std::vector<LevelPoints>(kLevelSlots);
};

struct HubState {
    Variant FreeStatus;
    Variant ColumnScroll;
    Variant ResultPeriod;
    int ResultListDays = 0;
    // The administration screen the teacher panel opened at a press whose password was
    // right, and the student it was opened for; used up as the screen is built.
    QString AdminScreenGranted;
    int AdminScreenGrantedTo = -1;
};

struct SharedState {
    ProgramProfile profile;
    Configuration config;
    CriteriaTable criteria;
    SoundState sound;
    CurrentStudentState student;
    RosterTables roster;
    CurrentRun run;
    RunOutcome outcome;
    ResultsInMemory results;
    Tallies tallies;
    TallyWorkspace tallyWork;
    int TodayRunTotal = 0;
    HubState hub;
    // Record numbers of damaged records already reported, so each is reported once;
    // kept in ascending order.
    std::vector<int64_t> reportedCorruptRecords;
    // The folder a teacher last saved a CSV or a result sheet into while the program
    // runs: the next save dialog opens there.
    QString LastSaveFolder;
};

} // namespace tobrel
