#include "text/PathCase.h"

#include <QDir>
#include <QFileInfo>

namespace tobrel {

QString pathIgnoringCase(const QString &path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    QString bare = path;
    const bool trailing = bare.endsWith(u'/');
    if (trailing)
        bare.chop(1);
    const qsizetype cut = bare.lastIndexOf(u'/');
    if (cut < 0)
        return path;
    const QString folder = bare.left(cut);
    const QString name = bare.mid(cut + 1);
    const QDir dir(folder.isEmpty() ? QStringLiteral("/") : folder);
    if (!dir.exists())
        return path;
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + u'/' + entry + (trailing ? QStringLiteral("/") : QString());
    return path;
}

} // namespace tobrel
