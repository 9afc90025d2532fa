#include "text/FieldReader.h"

#include "text/Cp932.h"
#include "text/DataFileError.h"
#include "text/Numbers.h"

#include <QFile>

namespace tobrel {

QString DataFileError::message() const
{
    if (m_line > 0)
        return QStringLiteral("%1 (%2行目): %3").arg(m_file).arg(m_line).arg(m_problem);
    return QStringLiteral("%1: %2").arg(m_file, m_problem);
}

FieldReader::FieldReader(const QString &text, QString fileName)
    : m_text(text), m_fileName(std::move(fileName))
{
}

FieldReader FieldReader::fromBytes(const QByteArray &cp932, QString fileName)
{
    return FieldReader(fromCp932(cp932), std::move(fileName));
}

FieldReader FieldReader::openFile(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        throw DataFileError(path, 0, QStringLiteral("ファイルがありません"));
    if (!file.open(QIODevice::ReadOnly))
        throw DataFileError(path, 0,
                            QStringLiteral("ファイルを開けません (%1)").arg(file.errorString()));
    return fromBytes(file.readAll(), path);
}

bool FieldReader::atEnd() const
{
    if (m_afterComma && m_pos < m_text.size())
        return false;
    for (qsizetype i = m_pos; i < m_text.size(); ++i) {
        const QChar c = m_text[i];
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n' && c != QChar(0x1A))
            return false;
    }
    return true;
}

Field FieldReader::readField()
{
    const qsizetype n = m_text.size();
    while (m_pos < n && (m_text[m_pos] == u' ' || m_text[m_pos] == u'\t'))
        ++m_pos;
    if (m_pos >= n && m_afterComma) {
        // A comma at the very end of the file (no line end after it) still closes an
        // empty field.
        m_afterComma = false;
        return Field{QString(), false, m_line};
    }
    if (m_pos >= n)
        throw DataFileError(m_fileName, m_line,
                            QStringLiteral("ファイルの終わりを越えて読もうとしました（項目が足りません）"));

    Field field;
    field.line = m_line;
    auto isLineEnd = [](QChar c) { return c == u'\r' || c == u'\n'; };

    if (m_text[m_pos] == u'"') {
        field.quoted = true;
        const qsizetype close = m_text.indexOf(u'"', m_pos + 1);
        const qsizetype stop = close < 0 ? n : close;
        field.text = m_text.mid(m_pos + 1, stop - m_pos - 1);
        for (qsizetype i = m_pos + 1; i < stop; ++i)
            if (m_text[i] == u'\n')
                ++m_line;
        m_pos = close < 0 ? n : close + 1;
        while (m_pos < n && m_text[m_pos] != u',' && !isLineEnd(m_text[m_pos]))
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < n && m_text[m_pos] != u',' && !isLineEnd(m_text[m_pos]))
            ++m_pos;
        qsizetype end = m_pos;
        while (end > start && (m_text[end - 1] == u' ' || m_text[end - 1] == u'\t'))
            --end;
        field.text = m_text.mid(start, end - start);
    }

    // Consume the delimiter: a comma, or one line end (CR LF, CR or LF).
    m_afterComma = false;
    if (m_pos < n) {
        if (m_text[m_pos] == u',') {
            ++m_pos;
            m_afterComma = true;
        } else if (m_text[m_pos] == u'\r') {
            ++m_pos;
            if (m_pos < n && m_text[m_pos] == u'\n')
                ++m_pos;
            ++m_line;
        } else if (m_text[m_pos] == u'\n') {
            ++m_pos;
            ++m_line;
        }
    }
    return field;
}

double FieldReader::readNumber()
{
    const Field f = readField();
    return isNumericText(f.text) ? f.text.trimmed().toDouble() : 0.0;
}

Variant FieldReader::readVariant()
{
    const Field f = readField();
    if (f.text.isEmpty())
        return Variant();
    if (!f.quoted && isNumericText(f.text))
        return Variant(f.text.trimmed().toDouble());
    return Variant(f.text);
}

} // namespace tobrel
