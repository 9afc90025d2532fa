#include "text/FixedWidth.h"

namespace tobrel {

int displayCells(const QString &text)
{
    int cells = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (c.isLowSurrogate())
            continue;
        cells += (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F)) ? 1 : 2;
    }
    return cells;
}

QString trimBlanks(const QString &text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && text[from] == u' ')
        ++from;
    while (to > from && text[to - 1] == u' ')
        --to;
    return text.mid(from, to - from);
}

QString alignRight(const QString &text, int n)
{
    if (text.size() >= n)
        return rightChars(text, n);
    return QString(n - text.size(), u' ') + text;
}

QString alignLeftFull(const QString &text, int n)
{
    if (text.size() >= n)
        return leftChars(text, n);
    return text + QString(n - text.size(), QChar(0x3000));
}

} // namespace tobrel
