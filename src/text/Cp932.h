// Shift-JIS (code page 932, "windows-31j") conversion for the suite's text files.
// Conversion goes through ICU so that the NEC and IBM extensions (①, Ⅰ, 髙, 﨑, ～)
// round-trip exactly as the other programs of the suite write them.
#pragma once
#include <QByteArray>
#include <QString>

namespace tobrel {

// Bytes that are not valid CP932 become U+FFFD; the conversion never fails.
QString fromCp932(const QByteArray &bytes);
// Characters that CP932 cannot hold become "?"; the conversion never fails.
QByteArray toCp932(const QString &text);

} // namespace tobrel
