#include "sound/WavCheck.h"
#include "sound/WavBytes.h"

#include <gtest/gtest.h>

using namespace tobrel;
using namespace tobrel::test;

TEST(WavCheck, RefusesWhatNoCueCanBeAndTrustsNoDeclaredSize)
{
    const QByteArray second8k(8000, '\x80');
    const QByteArray imaExtra = le16(2) + le16(505); // cbSize, samples per block
    const struct {
        const char *what;
        QByteArray bytes;
        bool ok;
        const char16_t *says; // part of the reason when refused
    } cases[] = {
        {"8-bit mono", simpleWav(1, 1, 8000, 8, second8k), true, u""},
        {"16-bit stereo 44.1 kHz", simpleWav(1, 2, 44100, 16, QByteArray(4 * 441, '\0')), true, u""},
        {"24-bit", simpleWav(1, 2, 48000, 24, QByteArray(6 * 480, '\0')), true, u""},
        {"float", simpleWav(3, 1, 48000, 32, QByteArray(4 * 480, '\0')), true, u""},
        {"mu-law", simpleWav(7, 1, 8000, 8, second8k), true, u""},
        // The file that took 6 GB: a sample rate of 1 Hz.
        {"1 Hz", simpleWav(1, 1, 1, 8, QByteArray(20000, '\x80')), false, u"1 Hz"},
        {"3999 Hz", simpleWav(1, 1, 3999, 8, second8k), false, u"3999 Hz"},
        {"4000 Hz", simpleWav(1, 1, 4000, 8, second8k), true, u""},
        {"192000 Hz", simpleWav(1, 1, 192000, 8, second8k), true, u""},
        {"192001 Hz", simpleWav(1, 1, 192001, 8, second8k), false, u"192001 Hz"},
        {"no channels", simpleWav(1, 0, 8000, 8, second8k), false, u"チャンネル数 0"},
        {"8 channels", simpleWav(1, 8, 8000, 8, second8k), true, u""},
        {"9 channels", simpleWav(1, 9, 8000, 8, QByteArray(9 * 100, '\x80')), false, u"チャンネル数 9"},
        // A 51-byte file whose data chunk claims 4 GB.
        {"4 GB declared", riffWave(wavChunk("fmt ", fmtBody(1, 1, 8000, 8)) + wavChunk("data", "1234567", 0xFFFFFFF0u)),
         false, u"4294967280 バイト"},
        {"one byte more than the file",
         riffWave(wavChunk("fmt ", fmtBody(1, 1, 8000, 8)) + wavChunk("data", "1234", 5)), false, u"5 バイト"},
        {"one minute", simpleWav(1, 1, 4000, 8, QByteArray(240000, '\x80')), true, u""},
        {"a frame over a minute", simpleWav(1, 1, 4000, 8, QByteArray(240001, '\x80')), false, u"長すぎます"},
        {"over a minute of ADPCM",
         riffWave(wavChunk("fmt ", fmtBody(0x11, 1, 8000, 4, 256, imaExtra)) +
                  wavChunk("data", QByteArray(256 * 1000, '\0'))),
         false, u"長すぎます"},
        {"ADPCM",
         riffWave(wavChunk("fmt ", fmtBody(0x11, 1, 8000, 4, 256, imaExtra)) +
                  wavChunk("data", QByteArray(256 * 10, '\0'))),
         true, u""},
        {"extensible PCM",
         riffWave(wavChunk("fmt ", fmtBody(0xFFFE, 2, 44100, 16, 4,
                                           le16(22) + le16(16) + le32(3) + le16(1) + QByteArray(14, '\x11'))) +
                  wavChunk("data", QByteArray(400, '\0'))),
         true, u""},
        {"extensible MP3",
         riffWave(wavChunk("fmt ", fmtBody(0xFFFE, 2, 44100, 16, 4,
                                           le16(22) + le16(16) + le32(3) + le16(0x55) + QByteArray(14, '\x11'))) +
                  wavChunk("data", QByteArray(400, '\0'))),
         false, u"形式番号 85"},
        {"12-bit PCM", simpleWav(1, 1, 8000, 12, second8k), false, u"12ビット"},
        {"odd chunk before the format",
         riffWave(wavChunk("LIST", "abc") + wavChunk("fmt ", fmtBody(1, 1, 8000, 8)) + wavChunk("data", second8k)),
         true, u""},
        {"data before the format", riffWave(wavChunk("data", second8k) + wavChunk("fmt ", fmtBody(1, 1, 8000, 8))),
         false, u"fmt"},
        {"no data", riffWave(wavChunk("fmt ", fmtBody(1, 1, 8000, 8))), false, u"data"},
        {"short format", riffWave(wavChunk("fmt ", QByteArray(10, '\1')) + wavChunk("data", second8k)), false,
         u"短すぎ"},
        {"a chunk past the end", riffWave(wavChunk("LIST", "abcd", 1000) + wavChunk("fmt ", fmtBody(1, 1, 8000, 8))),
         false, u"LIST"},
        {"not RIFF", QByteArray("RIFX\0\0\0\0WAVE", 12), false, u"WAVファイルではありません"},
        {"empty", QByteArray(), false, u"WAVファイルではありません"},
    };
    for (const auto &c : cases) {
        WavInfo info;
        const QString problem = checkWav(c.bytes, &info);
        EXPECT_EQ(problem.isEmpty(), c.ok) << c.what << ": " << problem.toStdString();
        if (!c.ok) {
            EXPECT_TRUE(problem.contains(QString::fromUtf16(c.says))) << c.what << ": " << problem.toStdString();
        }
    }

    WavInfo info;
    ASSERT_EQ(checkWav(simpleWav(1, 2, 44100, 16, QByteArray(4 * 441, '\0')), &info), QString());
    EXPECT_EQ(info.frames, 441);
    EXPECT_DOUBLE_EQ(info.seconds(), 0.01);
    EXPECT_EQ(info.dataOffset, 44);
}
