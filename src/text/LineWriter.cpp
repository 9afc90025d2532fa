#include "text/LineWriter.h"

#include "text/Cp932.h"
#include "text/DurableFile.h"

namespace tobrel {

void LineWriter::addLine(const QStringList &fields)
{
    m_bytes += toCp932(fields.join(u','));
    m_bytes += "\r\n";
}

QString LineWriter::writeTo(const QString &path) const { return replaceFile(path, m_bytes); }

} // namespace tobrel
