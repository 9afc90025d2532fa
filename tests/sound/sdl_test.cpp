// The real SDL sound output, played through SDL's disk driver into a file.
#include "sound/SdlAudioDevice.h"
#include "sound/WavBytes.h"
#include "sound/WavFile.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>

#include <signal.h>

using namespace tobrel;
using namespace tobrel::test;

namespace {

QByteArray wavFile(int rate, int channels, int bits, int frames)
{
    QByteArray pcm;
    for (int i = 0; i < frames; ++i) {
        const double v = 0.5 * std::sin(2 * M_PI * 440.0 * i / rate) + 0.01;
        for (int c = 0; c < channels; ++c)
            appendSample(pcm, v * 32000.0 / 32767.0, bits);
    }
    return pcmWavFile(rate, channels, bits, pcm);
}

class SdlDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        out = dir.path() + QStringLiteral("/disk.raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", out.toLocal8Bit().constData(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
    }
    QByteArray diskBytes() const
    {
        QFile f(out);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    QString out;
};

// Offset of the first byte that is not silence (S16 zero).
qsizetype firstSound(const QByteArray &b)
{
    for (qsizetype i = 0; i < b.size(); ++i)
        if (b[i] != 0)
            return i & ~qsizetype(3);
    return -1;
}

} // namespace

TEST_F(SdlDisk, PlaysAWavToItsEndBeforeReturning)
{
    SdlAudioDevice device;
    // Already in the device's format: the disk file must hold exactly these bytes.
    const QByteArray wav = wavFile(44100, 2, 16, 22050);
    const QString path = dir.path() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(writeFile(path, wav));
    QString error;
    ASSERT_EQ(device.play(path, &error), 0) << error.toStdString();
    const QByteArray written = diskBytes(); // read the moment play() returned
    const QByteArray pcm = wav.mid(44);
    EXPECT_EQ(device.lastConvertedBytes(), pcm.size());
    const qsizetype start = firstSound(written);
    ASSERT_GE(start, 0);
    ASSERT_GE(written.size() - start, pcm.size());
    EXPECT_EQ(written.mid(start, pcm.size()), pcm);

    // A mono 8-bit WAV at 22050 Hz is converted: twice the frames, four bytes each.
    const QString small = dir.path() + QStringLiteral("/small.wav");
    ASSERT_TRUE(writeFile(small, wavFile(22050, 1, 8, 11025)));
    const qsizetype before = diskBytes().size();
    ASSERT_EQ(device.play(small, &error), 0) << error.toStdString();
    EXPECT_NEAR(static_cast<double>(device.lastConvertedBytes()), 22050.0 * 4, 64.0);
    EXPECT_GE(diskBytes().size() - before, device.lastConvertedBytes());
}

TEST_F(SdlDisk, TheProgramStillEndsOnSigintAndSigtermOnceTheSoundIsUp)
{
    SdlAudioDevice device;
    const QString path = dir.path() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(writeFile(path, wavFile(44100, 2, 16, 441)));
    QString error;
    ASSERT_EQ(device.play(path, &error), 0) << error.toStdString();
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction now {};
        ASSERT_EQ(sigaction(signal, nullptr, &now), 0);
        EXPECT_TRUE(now.sa_handler == SIG_DFL) << "signal " << signal << " is caught";
    }
}

TEST_F(SdlDisk, AnEarlyStartPlaysTheFirstSoundWholeAndLeavesTheSignalsAlone)
{
    SdlAudioDevice device;
    device.startEarly();
    device.startEarly(); // once is enough; a second call changes nothing
    const QByteArray wav = wavFile(44100, 2, 16, 4410);
    const QString path = dir.path() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(writeFile(path, wav));
    QString error;
    ASSERT_EQ(device.play(path, &error), 0) << error.toStdString();
    const QByteArray written = diskBytes();
    const QByteArray pcm = wav.mid(44);
    const qsizetype start = firstSound(written);
    ASSERT_GE(start, 0);
    EXPECT_EQ(written.mid(start, pcm.size()), pcm);
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction now {};
        ASSERT_EQ(sigaction(signal, nullptr, &now), 0);
        EXPECT_TRUE(now.sa_handler == SIG_DFL) << "signal " << signal << " is caught";
    }
}

TEST_F(SdlDisk, MissingAndCorruptFilesGiveACodeAndAText)
{
    SdlAudioDevice device;
    QString error;
    EXPECT_EQ(device.play(dir.path() + QStringLiteral("/nothere.wav"), &error), AudioFileMissing);
    EXPECT_TRUE(error.contains(QStringLiteral("nothere.wav")));

    const QString bad = dir.path() + QStringLiteral("/bad.wav");
    ASSERT_TRUE(writeFile(bad, QByteArray("RIFF\x10\0\0\0WAVEjunkjunkjunk", 24)));
    error.clear();
    EXPECT_EQ(device.play(bad, &error), AudioNotWav);
    EXPECT_TRUE(error.contains(QStringLiteral("bad.wav")));
    EXPECT_TRUE(error.contains(QStringLiteral("WAV")));
}

TEST_F(SdlDisk, HostileHeadersAreFailedPlaysThatNameTheFile)
{
    SdlAudioDevice device;
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        // 20 KB at a sample rate of 1 Hz: the conversion asked for gigabytes.
        {"one-hertz.wav", simpleWav(1, 1, 1, 8, QByteArray(20000, '\x80'))},
        // 51 bytes whose data chunk claims 4 GB: SDL's own loader would allocate it.
        {"four-gb.wav", riffWave(wavChunk("fmt ", fmtBody(1, 1, 8000, 8)) + wavChunk("data", "1234567", 0xFFFFFFF0u))},
        {"two-minutes.wav", simpleWav(1, 1, 4000, 8, QByteArray(480000, '\x80'))},
    };
    for (const auto &c : cases) {
        const QString path = dir.path() + u'/' + QString::fromLatin1(c.name);
        ASSERT_TRUE(writeFile(path, c.bytes));
        QElapsedTimer t;
        t.start();
        QString error;
        EXPECT_EQ(device.play(path, &error), AudioNotWav) << c.name;
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_LT(t.elapsed(), 1000) << c.name;
    }
}

TEST(SdlDecode, FormatsACueMayComeInBecomeTheDeviceFormat)
{
    // IMA ADPCM blocks of 256 bytes: a header (first sample, step index 0, a reserved
    // byte) and 252 bytes of four-bit steps, 505 samples in all.
    QByteArray block = le16(0) + QByteArray(1, '\0') + QByteArray(1, '\0');
    for (int i = 0; i < 252; ++i)
        block += static_cast<char>(0x17 + i % 7);
    QByteArray adpcm;
    for (int b = 0; b < 8; ++b)
        adpcm += block;
    const struct {
        const char *what;
        QByteArray wav;
        int rate;
        int64_t frames;
    } cases[] = {
        {"8-bit mono", simpleWav(1, 1, 22050, 8, QByteArray(2205, '\x90')), 22050, 2205},
        {"16-bit stereo", simpleWav(1, 2, 44100, 16, QByteArray(4 * 4410, '\x01')), 44100, 4410},
        {"24-bit stereo", simpleWav(1, 2, 48000, 24, QByteArray(6 * 4800, '\x02')), 48000, 4800},
        {"float mono", simpleWav(3, 1, 96000, 32, QByteArray(4 * 9600, '\0')), 96000, 9600},
        {"mu-law", simpleWav(7, 1, 8000, 8, QByteArray(800, '\x55')), 8000, 800},
        {"IMA ADPCM",
         riffWave(wavChunk("fmt ", fmtBody(0x11, 1, 8000, 4, 256, le16(2) + le16(505))) + wavChunk("data", adpcm)),
         8000, 8 * 505},
        {"4000 Hz", simpleWav(1, 1, 4000, 16, QByteArray(2 * 400, '\x03')), 4000, 400},
        {"192000 Hz", simpleWav(1, 2, 192000, 16, QByteArray(4 * 19200, '\x03')), 192000, 19200},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> out;
        ASSERT_EQ(decodeWavTo(c.wav, 44100, 2, out), QString()) << c.what;
        const double expected = static_cast<double>(c.frames) * 44100 / c.rate;
        EXPECT_NEAR(static_cast<double>(out.size()) / 4, expected, 2.0) << c.what;
    }
    std::vector<uint8_t> out;
    EXPECT_FALSE(decodeWavTo(simpleWav(1, 1, 1, 8, QByteArray(20000, '\x80')), 44100, 2, out).isEmpty());
    EXPECT_TRUE(out.empty());
}

TEST(SdlNoDevice, NoAudioDeviceGivesACodeAndAText)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/x.wav");
    ASSERT_TRUE(writeFile(path, wavFile(8000, 1, 8, 800)));
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SdlAudioDevice device;
    QString error;
    EXPECT_EQ(device.play(path, &error), AudioNoDevice);
    EXPECT_FALSE(error.isEmpty());

    // Started early, the failure is not told at the start: the sound tells it, as
    // before, and again at the next sound.
    SdlAudioDevice early;
    early.startEarly();
    for (int sound = 0; sound < 2; ++sound) {
        QString earlyError;
        EXPECT_EQ(early.play(path, &earlyError), AudioNoDevice);
        EXPECT_EQ(earlyError, error);
    }
}
