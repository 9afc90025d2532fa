#include "state/ResultRecord.h"

#include "text/Cp932.h"

#include <bit>
#include <cstring>

namespace tobrel {
namespace {

template <class T>
void putLE(char *out, T value)
{
    using U = std::make_unsigned_t<
        std::conditional_t<sizeof(T) == 8, int64_t, std::conditional_t<sizeof(T) == 4, int32_t, int16_t>>>;
    U bits;
    std::memcpy(&bits, &value, sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i)
        out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

template <class T>
T getLE(const char *in)
{
    using U = std::make_unsigned_t<
        std::conditional_t<sizeof(T) == 8, int64_t, std::conditional_t<sizeof(T) == 4, int32_t, int16_t>>>;
    U bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<U>(static_cast<unsigned char>(in[i])) << (8 * i);
    T value;
    std::memcpy(&value, &bits, sizeof(T));
    return value;
}

QByteArray fixed5(const QByteArray &text, char pad)
{
    QByteArray out = text.left(5);
    while (out.size() < 5)
        out.append(pad);
    return out;
}

} // namespace

void ResultRecord::setSchool(const QString &schoolCode)
{
    // Whole characters only: a two-byte character that does not fit in the five bytes
    // is left out, never cut in half.
    QByteArray code;
    for (qsizetype i = 0; i < schoolCode.size();) {
        const qsizetype n = schoolCode[i].isHighSurrogate() && i + 1 < schoolCode.size() ? 2 : 1;
        const QByteArray bytes = toCp932(schoolCode.mid(i, n));
        if (code.size() + bytes.size() > 5)
            break;
        code += bytes;
        i += n;
    }
    ResultRecSchool = fixed5(code, ' ');
}

QByteArray ResultRecord::schoolField(const QString &schoolCode)
{
    ResultRecord r;
    r.setSchool(schoolCode);
    return r.ResultRecSchool;
}

std::array<char, kRecordSize> ResultRecord::encode() const
{
    std::array<char, kRecordSize> b{};
    putLE<double>(b.data() + 0, ResultRecDate);
    putLE<double>(b.data() + 8, ResultRecClock);
    putLE<int16_t>(b.data() + 16, ResultRecStudentNo);
    putLE<int16_t>(b.data() + 18, ResultRecLevel);
    putLE<int32_t>(b.data() + 20, ResultRecTime);
    std::memcpy(b.data() + kSchoolAt, fixed5(ResultRecSchool, ' ').constData(), 5);
    std::memcpy(b.data() + 29, fixed5(Reserved1, ' ').constData(), 5);
    std::memcpy(b.data() + 34, fixed5(Reserved2, ' ').constData(), 5);
    std::memcpy(b.data() + 39, fixed5(Reserved3, '\0').constData(), 5);
    return b;
}

ResultRecord::Numbers ResultRecord::decodeNumbersPortable(const char *b)
{
    return {getLE<double>(b + 0), getLE<double>(b + 8), getLE<int16_t>(b + 16), getLE<int16_t>(b + 18),
            getLE<int32_t>(b + 20)};
}

ResultRecord ResultRecord::decode(const char *b)
{
    ResultRecord r;
    r.ResultRecDate = getLE<double>(b + 0);
    r.ResultRecClock = getLE<double>(b + 8);
    r.ResultRecStudentNo = getLE<int16_t>(b + 16);
    r.ResultRecLevel = getLE<int16_t>(b + 18);
    r.ResultRecTime = getLE<int32_t>(b + 20);
    r.ResultRecSchool = schoolOf(b).toByteArray();
    r.Reserved1 = QByteArray(b + 29, 5);
    r.Reserved2 = QByteArray(b + 34, 5);
    r.Reserved3 = QByteArray(b + 39, 5);
    return r;
}

} // namespace tobrel
