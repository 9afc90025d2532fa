// WAV files built byte by byte, so a test can say exactly what a header declares,
// true or not.
#pragma once
#include <QByteArray>

#include <cstdint>

namespace tobrel::test {

inline QByteArray le16(uint16_t v)
{
    return QByteArray(1, static_cast<char>(v & 0xFF)) + QByteArray(1, static_cast<char>(v >> 8));
}

inline QByteArray le32(uint32_t v)
{
    return le16(static_cast<uint16_t>(v & 0xFFFF)) + le16(static_cast<uint16_t>(v >> 16));
}

// A chunk; declared gives a size other than the body's real one.
inline QByteArray wavChunk(const char *id, const QByteArray &body, int64_t declared = -1)
{
    QByteArray c(id, 4);
    c += le32(static_cast<uint32_t>(declared >= 0 ? declared : body.size()));
    c += body;
    if (body.size() % 2 == 1)
        c += '\0';
    return c;
}

// The body of a format chunk; extra follows the 16 common bytes.
inline QByteArray fmtBody(int tag, int channels, int rate, int bits, int blockAlign = -1, const QByteArray &extra = {})
{
    if (blockAlign < 0)
        blockAlign = channels * bits / 8;
    return le16(static_cast<uint16_t>(tag)) + le16(static_cast<uint16_t>(channels)) +
           le32(static_cast<uint32_t>(rate)) + le32(static_cast<uint32_t>(rate * blockAlign)) +
           le16(static_cast<uint16_t>(blockAlign)) + le16(static_cast<uint16_t>(bits)) + extra;
}

inline QByteArray riffWave(const QByteArray &chunks)
{
    return QByteArray("RIFF") + le32(static_cast<uint32_t>(4 + chunks.size())) + QByteArray("WAVE") + chunks;
}

// A plain PCM file: format and data chunk.
inline QByteArray simpleWav(int tag, int channels, int rate, int bits, const QByteArray &data)
{
    return riffWave(wavChunk("fmt ", fmtBody(tag, channels, rate, bits)) + wavChunk("data", data));
}

} // namespace tobrel::test
