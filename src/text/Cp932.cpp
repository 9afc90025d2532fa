#include "text/Cp932.h"

#include <unicode/ucnv.h>

#include <QStringList>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace tobrel {
namespace {

struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr openConverter()
{
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr conv(ucnv_open("windows-31j", &status));
    if (U_FAILURE(status))
        return nullptr;
    status = U_ZERO_ERROR;
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    return conv;
}

// The first byte sequence that the converter cannot turn into a character, as its
// offset and bytes; offset -1 when all of them convert.
struct FirstInvalid {
    qsizetype offset = -1;
    QByteArray bytes;
};
FirstInvalid firstInvalid(const char *converterName, const QByteArray &bytes)
{
    FirstInvalid result;
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr conv(ucnv_open(converterName, &status));
    if (U_FAILURE(status))
        return result;
    ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::vector<UChar> buffer(4096);
    const char *source = bytes.constData();
    const char *const sourceEnd = source + bytes.size();
    for (;;) {
        UChar *target = buffer.data();
        status = U_ZERO_ERROR;
        ucnv_toUnicode(conv.get(), &target, buffer.data() + buffer.size(), &source, sourceEnd, nullptr, true, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR)
            continue;
        if (U_SUCCESS(status))
            return result;
        char invalid[32];
        int8_t length = sizeof invalid;
        UErrorCode ignored = U_ZERO_ERROR;
        ucnv_getInvalidChars(conv.get(), invalid, &length, &ignored);
        if (U_FAILURE(ignored))
            length = 0;
        result.offset = (source - bytes.constData()) - length;
        result.bytes = QByteArray(invalid, length);
        return result;
    }
}

int lineOfOffset(const QByteArray &bytes, qsizetype offset)
{
    // 0x0A is never the second byte of a CP932 character, so counting bytes is right.
    return 1 + static_cast<int>(std::count(bytes.constBegin(), bytes.constBegin() + offset, '\n'));
}

} // namespace

EncodingProblem findEncodingProblem(const QByteArray &bytes)
{
    EncodingProblem p;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        p.kind = EncodingProblem::Utf8Mark;
        return p;
    }
    const auto high = std::find_if(bytes.constBegin(), bytes.constEnd(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (high == bytes.constEnd())
        return p; // plain ASCII is CP932 as well
    if (firstInvalid("UTF-8", bytes).offset < 0) {
        p.kind = EncodingProblem::Utf8Text;
        p.offset = high - bytes.constBegin();
    } else {
        const FirstInvalid bad = firstInvalid("windows-31j", bytes);
        if (bad.offset < 0)
            return p;
        p.kind = EncodingProblem::NotCp932;
        p.offset = bad.offset;
        p.bytes = bad.bytes;
    }
    p.line = lineOfOffset(bytes, p.offset);
    return p;
}

QString encodingProblemText(const EncodingProblem &problem)
{
    QString reason;
    switch (problem.kind) {
    case EncodingProblem::None:
        return {};
    case EncodingProblem::Utf8Mark:
        reason = QStringLiteral("UTF-8の印（BOM）で始まっています");
        break;
    case EncodingProblem::Utf8Text:
        reason = QStringLiteral("UTF-8で書かれています");
        break;
    case EncodingProblem::NotCp932: {
        QStringList hex;
        for (char c : problem.bytes)
            hex << QStringLiteral("%1").arg(static_cast<unsigned char>(c), 2, 16, QChar(u'0')).toUpper();
        reason = QStringLiteral("Shift-JISにない文字の並び %1 があります").arg(hex.join(u' '));
        break;
    }
    }
    return QStringLiteral("Shift-JISのファイルではありません（%1）。Shift-JISで保存し直してください").arg(reason);
}

QString fromCp932(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    ConverterPtr conv = openConverter();
    if (!conv)
        return QString::fromLatin1(bytes);
    std::vector<UChar> out(static_cast<size_t>(bytes.size()) + 1);
    UErrorCode status = U_ZERO_ERROR;
    int32_t len = ucnv_toUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()), bytes.constData(),
                                static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<size_t>(len) + 1);
        status = U_ZERO_ERROR;
        len = ucnv_toUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()), bytes.constData(),
                            static_cast<int32_t>(bytes.size()), &status);
    }
    if (U_FAILURE(status))
        return QString::fromLatin1(bytes);
    return QString(reinterpret_cast<const QChar *>(out.data()), len);
}

QByteArray toCp932(const QString &text)
{
    if (text.isEmpty())
        return {};
    ConverterPtr conv = openConverter();
    if (!conv)
        return text.toLatin1();
    QByteArray out(text.size() * 2 + 8, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    int32_t len =
        ucnv_fromUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                        reinterpret_cast<const UChar *>(text.utf16()), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return text.toLatin1();
    out.truncate(len);
    return out;
}

} // namespace tobrel
