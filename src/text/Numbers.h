// Number <-> text conversions shared by every list and file of the program.
#pragma once
#include <QString>

#include <cstdint>
#include <optional>

namespace tobrel {

// The leading decimal number of a text (blanks skipped, optional sign, digits, one
// decimal point, an exponent); 0 when the text starts with no number. "12*" gives 12.
// Never infinite or NaN: "nan", "inf" and a number beyond a double's range give 0.
double leadingNumber(const QString &text);
// The whole text (surrounding blanks aside) as one finite decimal number, read once;
// nothing when it is none: "nan", "inf", "infinity" and numbers beyond a double's
// range are not numbers.
std::optional<double> finiteNumberOf(QStringView text);
// True when the whole text (surrounding blanks aside) is one finite decimal number.
inline bool isNumericText(const QString &text) { return finiteNumberOf(text).has_value(); }

// Shortest decimal form of a number, no leading blank ("12", "1.5", "-3").
QString CStr(double value);
QString CStr(float value);
QString CStr(long long value);
inline QString CStr(int value) { return CStr(static_cast<long long>(value)); }
// The same with one leading blank before a number that is not negative (" 12", "-3").
QString Str(double value);
QString Str(long long value);
inline QString Str(int value) { return Str(static_cast<long long>(value)); }

// Rounds to the nearest whole number, halves to the even neighbour.
long long roundHalfEven(double value);

} // namespace tobrel
