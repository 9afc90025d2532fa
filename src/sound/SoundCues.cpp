#include "sound/SoundCues.h"

#include "state/SharedState.h"
#include "text/FieldReader.h"
#include "text/Numbers.h"
#include "text/PathCase.h"

#include <cmath>

namespace tobrel {

QString cueKindName(int kind)
{
    static const char16_t *const names[kCueKinds + 1] = {
        u"",         u"正解音1",     u"正解音2",     u"間違い音1",   u"間違い音2", u"最高音1",
        u"最高音2",  u"自己最高音1", u"自己最高音2", u"自己最高音3", u"不合格音1"};
    if (kind < 1 || kind > kCueKinds)
        return {};
    return QString::fromUtf16(names[kind]);
}

void LoadSoundCues(const QString &path, SoundState &sound)
{
    for (int k = 1; k <= kCueKinds; ++k)
        sound.SoundCues[k][0] = cueKindName(k);
    FieldReader reader = FieldReader::openFile(path);
    while (!reader.atEnd()) {
        const QString f = reader.readText();
        for (int k = 1; k <= kCueKinds; ++k) {
            if (f != sound.SoundCues[k][0])
                continue;
            for (int j = 1; j <= 20; ++j) {
                const QString name = reader.readText();
                if (name == u"*") {
                    sound.SoundCues[k][21] = QString::number(j - 1);
                    break;
                }
                sound.SoundCues[k][j] = name;
            }
        }
    }
}

SoundPlayer::SoundPlayer(SharedState &state, AudioDevice &device, RandomSource &random,
                         SoundFailureHandler &failure)
    : m_state(state), m_device(device), m_random(random), m_failure(failure)
{
}

void SoundPlayer::PlayFile(const QString &name)
{
    SoundState &s = m_state.sound;
    const QString path = m_state.config.SoundFolder + name + QStringLiteral(".wav");
    s.SoundCommand = QStringLiteral("play ") + path + QStringLiteral(" wait");
    QString error;
    const int code = m_device.play(pathIgnoringCase(path), &error);
    s.SoundResult = QString::number(code);
    s.SoundErrorText = code == 0 ? QString() : error;
}

void SoundPlayer::PlayCue(int kind)
{
    const auto &cues = m_state.sound.SoundCues[kind];
    const double count = leadingNumber(cues[21]);
    int r = static_cast<int>(std::floor(m_random.next() * count + 1));
    if (r < 1 || r > 20)
        r = 1;
    PlayFile(cues[r]);
}

void SoundPlayer::PlayCorrectCue()
{
    PlayCue(CueCorrect2);
    checkError();
}

void SoundPlayer::PlayWrongCue()
{
    PlayCue(CueWrong2);
    checkError();
}

void SoundPlayer::checkError()
{
    SoundState &s = m_state.sound;
    if (s.SoundResult == u"0") {
        s.SoundErrorCount = 0;
        return;
    }
    if (s.SoundErrorCount < 3) {
        ++s.SoundErrorCount;
        return;
    }
    m_failure.soundFailed(QStringLiteral("音声エラー"),
                          QStringLiteral("音声がでません。先生を呼びなさい。") +
                              QStringLiteral("\r\n") + s.SoundErrorText.left(255));
}

} // namespace tobrel
