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

// Why the bytes of a text file are not CP932 text. Files saved as UTF-8 are the usual
// case: they begin with a byte-order mark, or hold byte sequences that are no CP932
// character, or (when they happen to decode) are plainly valid UTF-8 with Japanese in
// it, which CP932 text with Japanese practically never is.
struct EncodingProblem {
    enum Kind { None, Utf8Mark, Utf8Text, NotCp932 };
    Kind kind = None;
    qsizetype offset = 0; // first byte that shows it
    QByteArray bytes; // for NotCp932: the sequence that is no CP932 character
    int line = 1; // 1-based line of offset
};
EncodingProblem findEncodingProblem(const QByteArray &bytes);
// "Shift-JISのファイルではありません（…）。Shift-JISで保存し直してください", the
// reason in brackets; empty for Kind None.
QString encodingProblemText(const EncodingProblem &problem);

} // namespace tobrel
