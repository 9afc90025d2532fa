// Fixed-width fields of the list lines: later steps read values back by position,
// so the widths are part of every line format.
#pragma once
#include <QString>

namespace tobrel {

// First n characters (all of them when shorter).
inline QString leftChars(const QString &s, qsizetype n) { return n <= 0 ? QString() : s.left(n); }
// Last n characters (all of them when shorter).
inline QString rightChars(const QString &s, qsizetype n) { return n <= 0 ? QString() : s.right(n); }

// Width of a text in the cells of a fixed-pitch list: 1 for a half-width character
// (ASCII, half-width katakana), 2 for a full-width one, as CP932 counts bytes.
int displayCells(const QString &text);

// The text without blanks (U+0020) at either end; full-width blanks "　" are part of
// a name and stay.
QString trimBlanks(const QString &text);

// Right-aligned in n: padded with blanks on the left, cut to its last n characters.
QString alignRight(const QString &text, int n);
// Left-aligned in n: padded with full-width blanks "　", cut to its first n characters.
QString alignLeftFull(const QString &text, int n);

} // namespace tobrel
