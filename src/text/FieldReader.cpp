#include "text/FieldReader.h"

#include "text/Cp932.h"
#include "text/DataFileError.h"
#include "text/Numbers.h"
#include "text/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace tobrel {

QString DataFileError::message() const
{
    if (m_file.isEmpty())
        return m_problem;
    if (m_line > 0)
        return QStringLiteral("%1 (%2行目): %3").arg(m_file).arg(m_line).arg(m_problem);
    return QStringLiteral("%1: %2").arg(m_file, m_problem);
}

QString DataFileError::detail() const
{
    if (m_file.isEmpty())
        return m_problem;
    return m_problem + u'\n' + m_file + (m_line > 0 ? QStringLiteral("（%1行目）").arg(m_line) : QString());
}

QString stopMessage(const QString &whatFailed, const QString &detail, int number, const QString &where)
{
    QString numbers = where;
    if (number != 0)
        numbers += (numbers.isEmpty() ? QString() : QStringLiteral("　")) + QStringLiteral("エラー番号 %1").arg(number);
    return whatFailed + QStringLiteral("\n\n") + detail + QStringLiteral("\n\n先生を呼びなさい。") +
           (numbers.isEmpty() ? QString() : QStringLiteral("\n（%1）").arg(numbers));
}

FieldReader::FieldReader(const QString &text, QString fileName) : m_text(text), m_fileName(std::move(fileName)) {}

FieldReader FieldReader::fromBytes(const QByteArray &bytes, QString fileName)
{
    // An end-of-file mark (Ctrl-Z, written by old editors) ends the text. It is cut off
    // before decoding: the code page maps the byte to another control character, which
    // would read as one more field. No CP932 character holds the byte 0x1A.
    const qsizetype mark = bytes.indexOf('\x1A');
    const QByteArray cp932 = mark < 0 ? bytes : bytes.left(mark);
    // A NUL byte is in no text the suite writes (a damaged file, or a binary one under a
    // text file's name); read on, it would cut a name short. No CP932 character holds it,
    // nor a line end, so its line is counted on the bytes.
    if (const qsizetype nul = cp932.indexOf('\0'); nul >= 0) {
        int line = 1;
        for (qsizetype i = 0; i < nul; ++i)
            if (cp932[i] == '\n' || (cp932[i] == '\r' && (i + 1 >= nul || cp932[i + 1] != '\n')))
                ++line;
        throw DataFileError(fileName, line,
                            QStringLiteral("NUL文字（バイト0x00、%1バイト目）が入っています。"
                                           "テキストファイルではないか、壊れています")
                                .arg(nul + 1),
                            kErrorNotShiftJis);
    }
    const EncodingProblem problem = findEncodingProblem(cp932);
    if (problem.kind != EncodingProblem::None)
        throw DataFileError(fileName, problem.line, encodingProblemText(problem), kErrorNotShiftJis);
    return FieldReader(fromCp932(cp932), std::move(fileName));
}

FieldReader FieldReader::openFile(const QString &path, qint64 maxBytes, QByteArray *bytesRead)
{
    QFile file(path);
    if (!file.exists()) {
        if (!QFileInfo(path).absoluteDir().exists())
            throw DataFileError(path, 0, QStringLiteral("ファイルを入れるフォルダがありません"), kErrorFolderNotFound);
        throw DataFileError(path, 0, QStringLiteral("ファイルがありません"), kErrorFileNotFound);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.error() == QFileDevice::PermissionsError)
            throw DataFileError(path, 0, QStringLiteral("ファイルを開けません（読み取りが許可されていません）"),
                                kErrorNotPermitted);
        throw DataFileError(path, 0, QStringLiteral("ファイルを開けません"), kErrorAccess);
    }
    auto tooLarge = [&](qint64 size) {
        return DataFileError(
            path, 0, QStringLiteral("ファイルが大きすぎます（%1バイト。%2バイトまでです）").arg(size).arg(maxBytes),
            kErrorFileTooLarge);
    };
    if (maxBytes >= 0 && file.size() > maxBytes)
        throw tooLarge(file.size());
    // Read no more than allowed, even from a file that grows meanwhile.
    const QByteArray bytes = maxBytes >= 0 ? file.read(maxBytes + 1) : file.readAll();
    if (maxBytes >= 0 && bytes.size() > maxBytes)
        throw tooLarge(bytes.size());
    if (bytesRead)
        *bytesRead = bytes;
    return fromBytes(bytes, path);
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
                            QStringLiteral("ファイルの終わりを越えて読もうとしました（項目が足りません）"),
                            kErrorPastEnd);

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

double FieldReader::readNumber() { return finiteNumberOf(readField().text).value_or(0.0); }

namespace {

// A field's text as a number: 0 for an empty or non-numeric text; NaN or an infinity
// for "nan", "inf" and numbers too large for a double.
double numberOfField(const QString &text)
{
    bool ok = false;
    const double v = QStringView(text).trimmed().toDouble(&ok);
    if (!std::isfinite(v))
        return v;
    return ok ? v : 0.0;
}

Variant variantOfField(const Field &f)
{
    if (f.text.isEmpty())
        return Variant();
    if (!f.quoted)
        if (const std::optional<double> v = finiteNumberOf(f.text))
            return Variant(*v);
    return Variant(f.text);
}

} // namespace

double FieldReader::readNumberWithin(double low, double high, const QString &fieldName, bool whole)
{
    const Field f = readField();
    double v = numberOfField(f.text);
    if (whole)
        v = std::nearbyint(v);
    if (!(v >= low && v <= high)) {
        const QString range = QStringLiteral("%1から%2まで").arg(CStr(low), CStr(high));
        throw DataFileError(
            m_fileName, f.line,
            std::isfinite(v)
                ? QStringLiteral("%1の値「%2」が範囲を超えています（%3）").arg(fieldName, f.text.trimmed(), range)
                : QStringLiteral("%1の値「%2」は数として使えません（%3の数にしてください）")
                      .arg(fieldName, f.text.trimmed(), range),
            std::isfinite(v) ? kErrorValueTooLarge : kErrorNotANumber);
    }
    return v;
}

Variant FieldReader::readFiniteVariant(const QString &fieldName)
{
    const Field f = readField();
    if (!f.quoted && !std::isfinite(numberOfField(f.text)))
        throw DataFileError(m_fileName, f.line,
                            QStringLiteral("%1の値「%2」は数として使えません").arg(fieldName, f.text.trimmed()),
                            kErrorNotANumber);
    return variantOfField(f);
}

Variant FieldReader::readVariant() { return variantOfField(readField()); }

} // namespace tobrel
