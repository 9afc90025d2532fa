#include "sound/WavFile.h"

#include <algorithm>
#include <cstdint>

namespace tobrel {
namespace {

void le32(QByteArray &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void le16(QByteArray &b, uint16_t v)
{
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>((v >> 8) & 0xFF));
}

} // namespace

QByteArray pcmWavFile(int rate, int channels, int bits, const QByteArray &pcm)
{
    QByteArray wav("RIFF");
    le32(wav, 36 + static_cast<uint32_t>(pcm.size()));
    wav += "WAVEfmt ";
    le32(wav, 16);
    le16(wav, 1);
    le16(wav, static_cast<uint16_t>(channels));
    le32(wav, static_cast<uint32_t>(rate));
    le32(wav, static_cast<uint32_t>(rate * channels * bits / 8));
    le16(wav, static_cast<uint16_t>(channels * bits / 8));
    le16(wav, static_cast<uint16_t>(bits));
    wav += "data";
    le32(wav, static_cast<uint32_t>(pcm.size()));
    return wav + pcm;
}

void appendSample(QByteArray &pcm, double value, int bits)
{
    value = std::clamp(value, -1.0, 1.0);
    if (bits == 8) {
        pcm.append(static_cast<char>(static_cast<unsigned char>(128 + value * 127)));
    } else {
        const int16_t s = static_cast<int16_t>(value * 32767);
        pcm.append(static_cast<char>(s & 0xFF));
        pcm.append(static_cast<char>((s >> 8) & 0xFF));
    }
}

} // namespace tobrel
