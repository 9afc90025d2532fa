// The check every WAV file passes before it is decoded: its header is read from the
// file's own bytes and nothing it declares is trusted. A sound outside what a cue can
// be (4,000..192,000 Hz, 1..8 channels, at most one minute, a data chunk within the
// file) is refused with a reason, so a damaged or hostile file can neither crash the
// program nor make it take gigabytes.
#pragma once
#include <QByteArray>
#include <QString>

#include <cstdint>

namespace tobrel {

constexpr int kWavMinRate = 4000;
constexpr int kWavMaxRate = 192000;
constexpr int kWavMaxChannels = 8;
constexpr int kWavMaxSeconds = 60;
// The largest file a sound that passes can need: one minute of eight 32-bit channels
// at the highest rate, and a megabyte of other chunks. Larger files are not read.
constexpr int64_t kWavMaxFileBytes = int64_t(kWavMaxSeconds) * kWavMaxRate * kWavMaxChannels * 4 + 1024 * 1024;

struct WavInfo {
    int formatTag = 0; // 1 PCM, 2 MS ADPCM, 3 float, 6 A-law, 7 mu-law, 0x11 IMA ADPCM
    int channels = 0;
    int rate = 0;
    int bitsPerSample = 0;
    int blockAlign = 0;
    int64_t dataOffset = 0; // the sound's bytes within the file
    int64_t dataBytes = 0;
    int64_t frames = 0; // sample frames the data decodes to
    double seconds() const { return rate > 0 ? static_cast<double>(frames) / rate : 0; }
};

// Checks the bytes of a WAV file. Returns "" when the sound may be decoded (info is
// then filled), otherwise the reason in words ("サンプリング周波数 1 Hz は使えません…").
QString checkWav(const QByteArray &bytes, WavInfo *info = nullptr);

} // namespace tobrel
