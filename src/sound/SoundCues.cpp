#include "sound/SoundCues.h"

#include "state/SharedState.h"
#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/Numbers.h"
#include "text/PathCase.h"

#include <cmath>
#include <utility>

namespace tobrel {

QString cueKindName(int kind)
{
    static const char16_t *const names[kCueKinds + 1] = {
        u"",        u"正解音1",     u"正解音2",     u"間違い音1",   u"間違い音2", u"最高音1",
        u"最高音2", u"自己最高音1", u"自己最高音2", u"自己最高音3", u"不合格音1"};
    if (kind < 1 || kind > kCueKinds)
        return {};
    return QString::fromUtf16(names[kind]);
}

void LoadSoundCues(const QString &path, SoundState &sound)
{
    FieldReader reader = FieldReader::openFile(path, kSmallFileMaxBytes);
    ReadSoundCues(reader, sound);
}

void ReadSoundCues(FieldReader &reader, SoundState &sound)
{
    for (int k = 1; k <= kCueKinds; ++k)
        sound.SoundCues[k][0] = cueKindName(k);
    while (!reader.atEnd()) {
        const QString f = reader.readText();
        for (int k = 1; k <= kCueKinds; ++k) {
            if (f != sound.SoundCues[k][0])
                continue;
            for (int j = 1; j <= 20; ++j) {
                const Field name = reader.readField();
                if (name.text == u"*") {
                    sound.SoundCues[k][21] = QString::number(j - 1);
                    break;
                }
                sound.SoundCues[k][j] = name.text;
                sound.SoundCueLines[k][j] = name.line;
            }
        }
    }
    // A table that names no sound at all would fail every sound of every run: such a
    // table is no cue table (an empty file, or one of another program).
    for (int k = 1; k <= kCueKinds; ++k) {
        const auto &cue = sound.SoundCues[k];
        const int count = cue[21].isEmpty() ? 20 : static_cast<int>(leadingNumber(cue[21]));
        for (int j = 1; j <= count && j <= 20; ++j)
            if (!cue[j].isEmpty())
                return;
    }
    throw DataFileError(reader.fileName(), 0,
                        QStringLiteral("音の指定が1つもありません（「正解音2」などの名前の次に音声ファイルの名前を"
                                       "並べ、「*」で閉じてください）"));
}

bool isSafeCueName(const QString &name)
{
    return !name.contains(u'/') && !name.contains(u'\\') && !name.contains(QStringLiteral(".."));
}

SoundPlayer::SoundPlayer(SharedState &state, AudioDevice &device, RandomSource &random, SoundFailureHandler &failure)
    : m_state(state), m_device(device), m_random(random), m_failure(failure)
{}

void SoundPlayer::PlayFile(const QString &name) { playNamed(name, 0); }

void SoundPlayer::playNamed(const QString &name, int line)
{
    SoundState &s = m_state.sound;
    const QString path = m_state.config.SoundFolder + name + QStringLiteral(".wav");
    s.SoundCommand = QStringLiteral("play ") + path + QStringLiteral(" wait");
    if (!isSafeCueName(name)) {
        s.SoundResult = QString::number(AudioBadFileName);
        s.SoundErrorText = QStringLiteral("音声ファイル名「%1」は音フォルダの外を指しています（%2%3）")
                               .arg(name, m_state.config.SoundFolder + soundCueFileName(),
                                    line > 0 ? QStringLiteral(" %1行目").arg(line) : QString());
        return;
    }
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
    playNamed(cues[r], m_state.sound.SoundCueLines[kind][r]);
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
    const QString title = QStringLiteral("音声エラー");
    const QString text =
        QStringLiteral("音声がでません。先生を呼びなさい。") + QStringLiteral("\r\n") + s.SoundErrorText.left(255);
    if (m_holding) {
        if (m_heldText.isEmpty()) {
            m_heldTitle = title;
            m_heldText = text;
        }
        return;
    }
    m_failure.soundFailed(title, text);
}

void SoundPlayer::reportHeldFailure()
{
    m_holding = false;
    if (m_heldText.isEmpty())
        return;
    const QString title = std::exchange(m_heldTitle, QString());
    const QString text = std::exchange(m_heldText, QString());
    m_failure.soundFailed(title, text);
}

} // namespace tobrel
