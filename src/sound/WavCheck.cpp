#include "sound/WavCheck.h"

#include <algorithm>

namespace tobrel {
namespace {

uint32_t le32(const QByteArray &b, int64_t at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const QByteArray &b, int64_t at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData() + at);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

enum : int {
    FormatPcm = 1,
    FormatMsAdpcm = 2,
    FormatFloat = 3,
    FormatALaw = 6,
    FormatMuLaw = 7,
    FormatImaAdpcm = 0x11,
    FormatExtensible = 0xFFFE,
};

// Sample frames an ADPCM data chunk decodes to: every block (the last one may be cut
// short) holds samplesPerBlock frames at most.
int64_t adpcmFrames(int64_t dataBytes, int blockAlign, int samplesPerBlock)
{
    const int64_t blocks = (dataBytes + blockAlign - 1) / blockAlign;
    return blocks * samplesPerBlock;
}

// Reads the format chunk into info; returns "" or what is wrong with it.
QString readFormat(const QByteArray &b, int64_t at, int64_t size, WavInfo &info)
{
    if (size < 16)
        return QStringLiteral("形式の情報（fmt）が短すぎます");
    info.formatTag = le16(b, at);
    info.channels = le16(b, at + 2);
    info.rate = static_cast<int>(std::min<uint32_t>(le32(b, at + 4), 0x7FFFFFFF));
    info.blockAlign = le16(b, at + 12);
    info.bitsPerSample = le16(b, at + 14);
    if (info.formatTag == FormatExtensible) {
        if (size < 40)
            return QStringLiteral("形式の情報（fmt）が短すぎます");
        info.formatTag = le16(b, at + 24); // the sub-format's first two bytes
    }
    if (info.channels < 1 || info.channels > kWavMaxChannels)
        return QStringLiteral("チャンネル数 %1 は使えません（1から%2まで）").arg(info.channels).arg(kWavMaxChannels);
    if (info.rate < kWavMinRate || info.rate > kWavMaxRate)
        return QStringLiteral("サンプリング周波数 %1 Hz は使えません（%2 Hzから%3 Hzまで）")
            .arg(info.rate)
            .arg(kWavMinRate)
            .arg(kWavMaxRate);
    const int bits = info.bitsPerSample;
    switch (info.formatTag) {
    case FormatPcm:
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return QStringLiteral("%1ビットのPCMは使えません").arg(bits);
        break;
    case FormatFloat:
        if (bits != 32)
            return QStringLiteral("%1ビットの浮動小数点形式は使えません").arg(bits);
        break;
    case FormatALaw:
    case FormatMuLaw:
        if (bits != 8)
            return QStringLiteral("%1ビットのA-law/μ-lawは使えません").arg(bits);
        break;
    case FormatMsAdpcm:
    case FormatImaAdpcm:
        if (bits != 4 || info.blockAlign == 0)
            return QStringLiteral("ADPCMの形式の情報が壊れています");
        break;
    default:
        return QStringLiteral("この形式（形式番号 %1）のWAVは再生できません").arg(info.formatTag);
    }
    return {};
}

// Frames of the data chunk, from the format and nothing else the file declares.
int64_t framesOf(const QByteArray &b, int64_t fmtAt, int64_t fmtSize, const WavInfo &info)
{
    switch (info.formatTag) {
    case FormatMsAdpcm:
    case FormatImaAdpcm: {
        // Samples per block from the format's extension when it has one; never more
        // than the block's four-bit samples and the two its header holds.
        const int maxPerBlock = info.blockAlign * 2 / info.channels + 2;
        int perBlock = maxPerBlock;
        if (fmtSize >= 20 && le16(b, fmtAt + 16) >= 2)
            perBlock = std::clamp<int>(le16(b, fmtAt + 18), 1, maxPerBlock);
        return adpcmFrames(info.dataBytes, info.blockAlign, perBlock);
    }
    default:
        return info.dataBytes / (int64_t(info.channels) * (info.bitsPerSample / 8));
    }
}

// A chunk's four-character name as text, with "?" for what is not printable.
QString chunkName(const QByteArray &id)
{
    QString name;
    for (char c : id)
        name += c >= 0x20 && c < 0x7F ? QChar(c) : QChar(u'?');
    return name;
}

} // namespace

QString checkWav(const QByteArray &b, WavInfo *out)
{
    const int64_t n = b.size();
    if (n < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE")
        return QStringLiteral("WAVファイルではありません");
    WavInfo info;
    int64_t fmtAt = -1, fmtSize = 0;
    int64_t pos = 12;
    // The RIFF size in the header is not trusted: the chunks are walked within the
    // file's real length.
    for (;;) {
        if (pos + 8 > n)
            return fmtAt < 0 ? QStringLiteral("形式の情報（fmt）がありません")
                             : QStringLiteral("音のデータ（data）がありません");
        const QByteArray id = b.mid(pos, 4);
        const int64_t size = le32(b, pos + 4);
        const int64_t body = pos + 8;
        if (id == "data") {
            if (fmtAt < 0)
                return QStringLiteral("形式の情報（fmt）が音のデータより後にあります");
            if (size > n - body)
                return QStringLiteral("音のデータが %1 バイトと書かれていますが、ファイルには %2 バイトしかありません")
                    .arg(size)
                    .arg(n - body);
            info.dataOffset = body;
            info.dataBytes = size;
            break;
        }
        if (size > n - body)
            return QStringLiteral("「%1」の部分がファイルの終わりを越えています").arg(chunkName(id));
        if (id == "fmt ") {
            if (fmtAt >= 0)
                return QStringLiteral("形式の情報（fmt）が二つあります");
            fmtAt = body;
            fmtSize = size;
            if (const QString problem = readFormat(b, body, size, info); !problem.isEmpty())
                return problem;
        }
        pos = body + size + (size & 1);
    }
    info.frames = framesOf(b, fmtAt, fmtSize, info);
    if (info.frames > int64_t(kWavMaxSeconds) * info.rate)
        return QStringLiteral("音が長すぎます（%1秒。%2秒まで）")
            .arg(static_cast<int64_t>(info.seconds()))
            .arg(kWavMaxSeconds);
    if (out)
        *out = info;
    return {};
}

} // namespace tobrel
