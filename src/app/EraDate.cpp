#include "app/EraDate.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

namespace tobrel {

QString eraDateCaption(const QDate &date)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale("ja_JP@calendar=japanese");
    // "y=latn": the era year in digits. With 年 in the pattern ICU would write the
    // first year of an era as 元 on its own.
    icu::SimpleDateFormat format(icu::UnicodeString::fromUTF8("Gy年 M月 dd日（E）"),
                                 icu::UnicodeString::fromUTF8("y=latn"), locale, status);
    if (U_FAILURE(status))
        return date.toString(QStringLiteral("yyyy年 M月 dd日"));
    format.adoptTimeZone(icu::TimeZone::createTimeZone("GMT"));
    // Noon of the day in GMT, so no time-zone shift can move it to another day.
    const double msecs = static_cast<double>(QDate(1970, 1, 1).daysTo(date)) * 86400000.0 + 12.0 * 3600000.0;
    icu::UnicodeString out;
    format.format(static_cast<UDate>(msecs), out);
    std::string utf8;
    out.toUTF8String(utf8);
    return QString::fromStdString(utf8);
}

uint32_t screenColourForMonth(int month)
{
    if (month <= 2)
        return 0x000080FF;
    if (month <= 5)
        return 0x00C0FFC0;
    if (month <= 8)
        return 0x00C0C000;
    if (month <= 11)
        return 0x000040C0;
    return 0x00C0FFC0;
}

} // namespace tobrel
