// Sound cues: which WAV files of the sound folder sound for which kind of event. The
// cue table "新音ファイル.txt" lists up to twenty files per kind; one of them is picked
// at random each time. Three sounds are fixed file names.
#pragma once
#include "state/Platform.h"
#include "state/SoundState.h"
#include "sound/AudioDevice.h"

#include <QString>

#include <array>
#include <cstdint>

namespace tobrel {

struct SharedState;
class FieldReader;

QString cueKindName(int kind);
inline QString soundCueFileName() { return QStringLiteral("新音ファイル.txt"); }

// Sets the names and reads the cue table file; a missing file, one over 1 MB or one
// that is not CP932 text, and a table that names no sound at all, raise DataFileError.
void LoadSoundCues(const QString &path, SoundState &sound);
// The same from a reader already opened.
void ReadSoundCues(FieldReader &reader, SoundState &sound);

// A cue name plays a file of the sound folder only: a name holding a path separator
// or ".." (which could lead out of the folder) is refused, by the player and by the
// data tool's check alike.
bool isSafeCueName(const QString &name);

// What the program does when the answer sounds keep failing: show the message, close
// every form and end the program. Screens provide it; tests record it.
class SoundFailureHandler {
public:
    virtual ~SoundFailureHandler() = default;
    virtual void soundFailed(const QString &title, const QString &text) = 0;
};

class SoundPlayer {
public:
    SoundPlayer(SharedState &state, AudioDevice &device, RandomSource &random, SoundFailureHandler &failure);

    void PlayFile(const QString &name);
    void PlayCue(int kind);
    void PlayCorrectCue();
    void PlayWrongCue();
    void PlayPersonalBestCue() { PlayCue(CuePersonalBest2); }
    void PlayPassTimeCue() { PlayCue(CueFail1); }
    void PlayLevelBest() { PlayFile(QStringLiteral("最高1")); }
    void PlayLastLevelCleared() { PlayFile(QStringLiteral("合格")); }
    void PlayWarning() { PlayFile(QStringLiteral("警告1")); }

    // While a run is under way, answer sounds that keep failing do not end the program
    // at once: that would lose the run. From holdFailureReports() on, the failure is
    // kept; reportHeldFailure(), called once the run is recorded, ends the hold and
    // reports a failure kept meanwhile (which ends the program).
    void holdFailureReports() { m_holding = true; }
    void reportHeldFailure();

private:
    // Plays a file of the sound folder; line is the cue table line the name came from.
    void playNamed(const QString &name, int line);
    void checkError();

    SharedState &m_state;
    AudioDevice &m_device;
    RandomSource &m_random;
    SoundFailureHandler &m_failure;
    bool m_holding = false;
    QString m_heldTitle, m_heldText; // a failure kept while holding; empty when none
};

} // namespace tobrel
