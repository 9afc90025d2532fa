// The sound output: plays one WAV file to its end before returning. Code 0 is success;
// any other code comes with an error text that says what went wrong.
#pragma once
#include <QString>
#include <QStringList>

namespace tobrel {

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    virtual int play(const QString &path, QString *errorText) = 0;
    // Gets the output ready ahead of the first sound, where bringing it up takes a
    // while. Nothing is reported here: when it fails, the first sound tries again and
    // reports it as a failing sound does.
    virtual void startEarly() {}
};

// Error codes of the sound output.
enum AudioError : int {
    AudioOk = 0,
    AudioFileMissing = 275,
    AudioNotWav = 296,
    AudioNoDevice = 266,
    AudioBadFileName = 263, // a cue name that would leave the sound folder: not played
};

// Records what would have been played, for tests and benchmarks; plays nothing.
class RecordingAudioDevice final : public AudioDevice {
public:
    int play(const QString &path, QString *errorText) override
    {
        played.append(path);
        if (nextCode != 0 && errorText)
            *errorText = QStringLiteral("テスト用のエラー");
        return nextCode;
    }
    QStringList played;
    int nextCode = 0;
};

} // namespace tobrel
