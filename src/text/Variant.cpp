#include "text/Variant.h"

#include "text/Numbers.h"

namespace tobrel {

double Variant::toNumber() const
{
    if (const double *d = std::get_if<double>(&m_value))
        return *d;
    if (const QString *s = std::get_if<QString>(&m_value))
        return leadingNumber(*s);
    return 0.0;
}

QString Variant::toText() const
{
    if (const double *d = std::get_if<double>(&m_value))
        return CStr(*d);
    if (const QString *s = std::get_if<QString>(&m_value))
        return *s;
    return {};
}

} // namespace tobrel
