#include "text/LineWriter.h"

#include "text/Cp932.h"

#include <QSaveFile>

namespace tobrel {

void LineWriter::addLine(const QStringList &fields)
{
    m_bytes += toCp932(fields.join(u','));
    m_bytes += "\r\n";
}

QString LineWriter::writeTo(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("%1 を書けません (%2)").arg(path, file.errorString());
    if (file.write(m_bytes) != m_bytes.size()) {
        file.cancelWriting();
        return QStringLiteral("%1 を書けません (%2)").arg(path, file.errorString());
    }
    if (!file.commit())
        return QStringLiteral("%1 を書けません (%2)").arg(path, file.errorString());
    return {};
}

} // namespace tobrel
