// The real SDL sound output, played through SDL's disk driver into a file.
#include "sound/SdlAudioDevice.h"
#include "sound/WavFile.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

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
}
