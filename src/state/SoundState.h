// The sound part of the shared state: the cue table (which WAV files sound for which
// kind of event) and the outcome of the last play.
#pragma once
#include <QString>

#include <array>
#include <cstdint>

namespace tobrel {

constexpr int kCueKinds = 10;
constexpr int kCueEntries = 22; // 0 = name, 1..20 = files, 21 = count as text

enum CueKind : int {
    CueCorrect1 = 1,
    CueCorrect2 = 2,
    CueWrong1 = 3,
    CueWrong2 = 4,
    CueBest1 = 5,
    CueBest2 = 6,
    CuePersonalBest1 = 7,
    CuePersonalBest2 = 8,
    CuePersonalBest3 = 9,
    CueFail1 = 10,
};

struct SoundState {
    std::array<std::array<QString, kCueEntries>, kCueKinds + 1> SoundCues;
    // The cue table's line each file name was read from (0 for none), so a name that
    // cannot be played can be traced to its line.
    std::array<std::array<int, kCueEntries>, kCueKinds + 1> SoundCueLines{};
    QString SoundCommand; // the last play command
    QString SoundReply;
    QString SoundResult; // the last result code, decimal
    int16_t SoundErrorCount = 0;
    QString SoundErrorText; // error text of the last failed play
};

} // namespace tobrel
