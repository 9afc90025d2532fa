#include "text/Numbers.h"

#include <cmath>

namespace tobrel {

double leadingNumber(const QString &text)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const int start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    int digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    int end = i;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        int j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        int expDigits = 0;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            end = j;
    }
    bool ok = false;
    const double v = text.mid(start, end - start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

std::optional<double> finiteNumberOf(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString CStr(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<long long>(value));
    return QString::number(value, 'g', 15);
}

QString CStr(float value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e7f)
        return QString::number(static_cast<long long>(value));
    return QString::number(static_cast<double>(value), 'g', 7);
}

QString CStr(long long value) { return QString::number(value); }

QString Str(double value) { return value >= 0 ? u' ' + CStr(value) : CStr(value); }

QString Str(long long value) { return value >= 0 ? u' ' + CStr(value) : CStr(value); }

long long roundHalfEven(double value) { return static_cast<long long>(std::nearbyint(value)); }

} // namespace tobrel
