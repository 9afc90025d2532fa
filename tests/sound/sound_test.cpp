#include "state/SharedState.h"
#include "sound/SoundCues.h"
#include "support/TestSupport.h"
#include "text/DataFileError.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

SoundState loadCues(const QString &text)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/新音ファイル.txt");
    writeCp932(path, text);
    SoundState s;
    LoadSoundCues(path, s);
    return s;
}

struct RecordingFailure final : SoundFailureHandler {
    void soundFailed(const QString &failureTitle, const QString &failureText) override
    {
        title = failureTitle;
        text = failureText;
        ++calls;
    }
    QString title, text;
    int calls = 0;
};

struct Fixture {
    SharedState state;
    RecordingAudioDevice device;
    ScriptedRandom random;
    RecordingFailure failure;
    SoundPlayer player{state, device, random, failure};
    Fixture() { state.config.SoundFolder = QStringLiteral("/s/音フォルダ/"); }
};

} // namespace

TEST(SoundCues, BlocksFillEntriesAndCounts)
{
    const SoundState s = loadCues(QStringLiteral("stray\r\n正解音2\r\nok1\r\nok2\r\n*\r\n"
                                                 "間違い音2,ng1,*\r\n不合格音1,*\r\n"));
    EXPECT_EQ(s.SoundCues[2][0], QStringLiteral("正解音2"));
    EXPECT_EQ(s.SoundCues[2][1], QStringLiteral("ok1"));
    EXPECT_EQ(s.SoundCues[2][2], QStringLiteral("ok2"));
    EXPECT_EQ(s.SoundCues[2][21], QStringLiteral("2"));
    EXPECT_EQ(s.SoundCues[4][21], QStringLiteral("1"));
    EXPECT_EQ(s.SoundCues[10][21], QStringLiteral("0"));
    EXPECT_EQ(s.SoundCues[8][0], QStringLiteral("自己最高音2"));
    EXPECT_TRUE(s.SoundCues[8][21].isEmpty());
}

TEST(SoundCues, TwentyNamesWithoutStarLeaveTheCountEmptyAndRepeatsOverwrite)
{
    QString text = QStringLiteral("正解音2\r\n");
    for (int i = 1; i <= 20; ++i)
        text += QStringLiteral("f%1\r\n").arg(i);
    text += QStringLiteral("*\r\n間違い音2,a,b,c,*\r\n間違い音2,z,*\r\n");
    const SoundState s = loadCues(text);
    EXPECT_EQ(s.SoundCues[2][20], QStringLiteral("f20"));
    EXPECT_TRUE(s.SoundCues[2][21].isEmpty());
    EXPECT_EQ(s.SoundCues[4][1], QStringLiteral("z"));
    EXPECT_EQ(s.SoundCues[4][2], QStringLiteral("b")); // kept from the first block
    EXPECT_EQ(s.SoundCues[4][21], QStringLiteral("1"));
}

TEST(SoundCues, MissingTableIsAnError)
{
    SoundState s;
    EXPECT_THROW(LoadSoundCues(QStringLiteral("/nonexistent/新音ファイル.txt"), s), DataFileError);
}

TEST(SoundPlayer, RandomPickAndCommandText)
{
    Fixture f;
    f.state.sound = loadCues(QStringLiteral("正解音2,ok1,ok2,*\r\n"));
    f.random.values = {0.0, 0.49, 0.5, 0.999};
    for (int i = 0; i < 4; ++i)
        f.player.PlayCorrectCue();
    EXPECT_EQ(f.device.played, (QStringList{"/s/音フォルダ/ok1.wav", "/s/音フォルダ/ok1.wav", "/s/音フォルダ/ok2.wav",
                                            "/s/音フォルダ/ok2.wav"}));
    EXPECT_EQ(f.state.sound.SoundCommand, QStringLiteral("play /s/音フォルダ/ok2.wav wait"));
    EXPECT_EQ(f.state.sound.SoundResult, QStringLiteral("0"));

    // A kind with no block plays entry 1, which is empty: the folder and ".wav".
    f.player.PlayPersonalBestCue();
    EXPECT_EQ(f.device.played.last(), QStringLiteral("/s/音フォルダ/.wav"));
    f.player.PlayLevelBest();
    f.player.PlayLastLevelCleared();
    f.player.PlayWarning();
    EXPECT_EQ(f.device.played.mid(5),
              (QStringList{"/s/音フォルダ/最高1.wav", "/s/音フォルダ/合格.wav", "/s/音フォルダ/警告1.wav"}));
}

TEST(SoundPlayer, CueNamesThatLeaveTheSoundFolderAreFailedPlaysNamingTheirLine)
{
    Fixture f;
    f.state.sound = loadCues(QStringLiteral("正解音2\r\n../x\r\n*\r\n間違い音2\r\na/b\r\nc\\d\r\n..\r\nx..y\r\n*\r\n"
                                            "不合格音1,.hidden,ピンポン,*\r\n"));
    f.player.PlayCorrectCue();
    EXPECT_TRUE(f.device.played.isEmpty());
    EXPECT_EQ(f.state.sound.SoundResult, QString::number(AudioBadFileName));
    EXPECT_EQ(f.state.sound.SoundErrorCount, 1); // counted like any failed answer sound
    EXPECT_TRUE(f.state.sound.SoundErrorText.contains(QStringLiteral("../x")));
    EXPECT_TRUE(f.state.sound.SoundErrorText.contains(QStringLiteral("/s/音フォルダ/新音ファイル.txt 2行目")))
        << f.state.sound.SoundErrorText.toStdString();

    f.random.values = {0.0, 0.25, 0.5, 0.75};
    for (int line = 5; line <= 8; ++line) {
        f.player.PlayWrongCue();
        EXPECT_TRUE(f.state.sound.SoundErrorText.contains(QStringLiteral("%1行目").arg(line)))
            << f.state.sound.SoundErrorText.toStdString();
    }
    EXPECT_TRUE(f.device.played.isEmpty());
    EXPECT_EQ(f.failure.calls, 2); // the fourth and the fifth failure in a row

    // Names without a separator or ".." play as before.
    f.random.values = {0.0, 0.5};
    f.player.PlayPassTimeCue();
    f.player.PlayPassTimeCue();
    EXPECT_EQ(f.device.played, (QStringList{"/s/音フォルダ/.hidden.wav", "/s/音フォルダ/ピンポン.wav"}));
}

TEST(SoundPlayer, FourthFailureInARowEndsTheProgram)
{
    Fixture f;
    f.device.nextCode = AudioFileMissing;
    for (int i = 0; i < 3; ++i)
        f.player.PlayCorrectCue();
    EXPECT_EQ(f.failure.calls, 0);
    EXPECT_EQ(f.state.sound.SoundErrorCount, 3);
    EXPECT_EQ(f.state.sound.SoundResult, QStringLiteral("275"));

    // A success in between resets the count.
    f.device.nextCode = 0;
    f.player.PlayWrongCue();
    EXPECT_EQ(f.state.sound.SoundErrorCount, 0);
    f.device.nextCode = AudioFileMissing;
    for (int i = 0; i < 3; ++i)
        f.player.PlayWrongCue();
    EXPECT_EQ(f.failure.calls, 0);
    // Other cues are not watched.
    f.player.PlayPersonalBestCue();
    EXPECT_EQ(f.state.sound.SoundErrorCount, 3);

    f.player.PlayCorrectCue();
    EXPECT_EQ(f.failure.calls, 1);
    EXPECT_EQ(f.failure.title, QStringLiteral("音声エラー"));
    EXPECT_TRUE(f.failure.text.startsWith(QStringLiteral("音声がでません。先生を呼びなさい。\r\n")));
    EXPECT_TRUE(f.failure.text.endsWith(QStringLiteral("テスト用のエラー")));
}

TEST(SoundPlayer, FailuresHeldDuringARunAreReportedOnceWhenReleased)
{
    Fixture f;
    f.state.sound = loadCues(QStringLiteral("正解音2,ok,*\r\n"));
    f.device.nextCode = 263;
    f.player.holdFailureReports();
    for (int i = 0; i < 6; ++i)
        f.player.PlayCorrectCue();
    EXPECT_EQ(f.failure.calls, 0);
    f.player.reportHeldFailure();
    EXPECT_EQ(f.failure.calls, 1);
    // Released, the next failure in a row is reported at once again; nothing held twice.
    f.player.reportHeldFailure();
    f.player.PlayCorrectCue();
    EXPECT_EQ(f.failure.calls, 2);
}
