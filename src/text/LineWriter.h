// Writes the suite's text files: one record per line, fields joined by "," with no
// quotes and no added blanks, lines ended by CR LF, CP932 bytes.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tobrel {

class LineWriter {
public:
    void addLine(const QStringList &fields);
    const QByteArray &bytes() const { return m_bytes; }
    // Replaces the file at path with the lines (through a temporary file flushed to the
    // disk and renamed over it), so a failed write never leaves a half-written file.
    // Returns an error text or "".
    QString writeTo(const QString &path) const;

private:
    QByteArray m_bytes;
};

} // namespace tobrel
