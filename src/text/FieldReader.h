// Field-by-field reader of the suite's CP932 text files (path data, common data,
// criteria, roster, sound cue table).
//
// Leading blanks are skipped; a field that starts with a double quote runs to the
// next double quote and the rest up to the next comma or line end is skipped; any
// other field runs to the next comma or line end with trailing blanks removed. A line
// end ends a field like a comma, so a short line borrows fields from the next one.
// Reading past the end raises DataFileError.
//
// Only CP932 text is read: a file saved as UTF-8 (or holding bytes that are no CP932
// character, or a NUL byte) raises DataFileError naming the file and the line, instead
// of running on with garbled or cut names.
#pragma once
#include "text/Variant.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <limits>

namespace tobrel {

// Configuration files and the cue table are a few lines long; anything bigger is not
// one of them and is refused before it is read.
constexpr qint64 kSmallFileMaxBytes = 1024 * 1024;

struct Field {
    QString text;
    bool quoted = false;
    int line = 0; // 1-based line the field starts on
};

class FieldReader {
public:
    FieldReader(const QString &text, QString fileName);
    // Decodes a file's bytes; bytes that are not CP932 text raise DataFileError.
    static FieldReader fromBytes(const QByteArray &bytes, QString fileName);
    // Opens and decodes a file; a missing or unreadable file, a file larger than
    // maxBytes (when given) or one that is not CP932 text raises DataFileError.
    // bytesRead (when given) receives the bytes the reader reads, once they are read.
    static FieldReader openFile(const QString &path, qint64 maxBytes = -1, QByteArray *bytesRead = nullptr);

    // True when nothing but blanks, line ends or an end-of-file mark remains.
    bool atEnd() const;
    Field readField();
    QString readText() { return readField().text; }
    // Decimal value of the field; 0 for an empty or non-numeric field.
    double readNumber();
    // Unquoted numeric text becomes a number, everything else a text.
    Variant readVariant();

    // A number field that must hold a value of [low, high], rounded to a whole number
    // when `whole`. An empty or non-numeric field reads as 0 like every number field;
    // a number outside the range, or one that is no finite number ("nan", "inf",
    // "1e999"), raises DataFileError naming the file, the line and the field.
    double readNumberWithin(double low, double high, const QString &fieldName, bool whole = false);
    template <class Int>
    Int readInteger(const QString &fieldName)
    {
        return static_cast<Int>(readNumberWithin(static_cast<double>(std::numeric_limits<Int>::min()),
                                                 static_cast<double>(std::numeric_limits<Int>::max()), fieldName,
                                                 true));
    }
    // The same for a variant field: a number field that is no finite number raises
    // DataFileError; any other field is taken as readVariant takes it.
    Variant readFiniteVariant(const QString &fieldName);

    int line() const { return m_line; }
    const QString &fileName() const { return m_fileName; }

private:
    QString m_text;
    QString m_fileName;
    qsizetype m_pos = 0;
    int m_line = 1;
    bool m_afterComma = false; // a field (maybe empty) is still due before the line end
};

} // namespace tobrel
