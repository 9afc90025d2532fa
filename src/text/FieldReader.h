// Field-by-field reader of the suite's CP932 text files (path data, common data,
// criteria, roster, sound cue table).
//
// Leading blanks are skipped; a field that starts with a double quote runs to the
// next double quote and the rest up to the next comma or line end is skipped; any
// other field runs to the next comma or line end with trailing blanks removed. A line
// end ends a field like a comma, so a short line borrows fields from the next one.
// Reading past the end raises DataFileError.
#pragma once
#include "text/Variant.h"

#include <QByteArray>
#include <QString>

namespace tobrel {

struct Field {
    QString text;
    bool quoted = false;
    int line = 0; // 1-based line the field starts on
};

class FieldReader {
public:
    FieldReader(const QString &text, QString fileName);
    static FieldReader fromBytes(const QByteArray &cp932, QString fileName);
    // Opens and decodes a file; a missing or unreadable file raises DataFileError.
    static FieldReader openFile(const QString &path);

    // True when nothing but blanks, line ends or an end-of-file mark remains.
    bool atEnd() const;
    Field readField();
    QString readText() { return readField().text; }
    // Decimal value of the field; 0 for an empty or non-numeric field.
    double readNumber();
    // Unquoted numeric text becomes a number, everything else a text.
    Variant readVariant();

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
