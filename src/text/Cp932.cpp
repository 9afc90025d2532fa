#include "text/Cp932.h"

#include <unicode/ucnv.h>

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

} // namespace

QString fromCp932(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    ConverterPtr conv = openConverter();
    if (!conv)
        return QString::fromLatin1(bytes);
    std::vector<UChar> out(static_cast<size_t>(bytes.size()) + 1);
    UErrorCode status = U_ZERO_ERROR;
    int32_t len = ucnv_toUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                                bytes.constData(), static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<size_t>(len) + 1);
        status = U_ZERO_ERROR;
        len = ucnv_toUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                            bytes.constData(), static_cast<int32_t>(bytes.size()), &status);
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
    int32_t len = ucnv_fromUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                                  reinterpret_cast<const UChar *>(text.utf16()),
                                  static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return text.toLatin1();
    out.truncate(len);
    return out;
}

} // namespace tobrel
