#include "state/SchoolFiles.h"

#include "state/SharedState.h"
#include "text/DurableFile.h"

#include <QDir>
#include <QFileInfo>

namespace tobrel {
namespace {

// A folder as the file system has it, links followed; "" for none given.
QString resolvedFolder(const QString &folder)
{
    return folder.isEmpty() ? QString() : resolvedPath(QDir::cleanPath(folder));
}

// Whether the place, or a folder above it, is one of the school's folders (`below`), or
// the place or the folder directly holding it is the suite folder, compared as the file
// system knows them: a second mount of the share, or another spelling of a name on a
// share that ignores letter case, is still the school's folder.
bool reachesSchoolFolder(const QString &place, const QStringList &below, const QString &suite)
{
    QString at = place;
    for (int depth = 0;; ++depth) {
        for (const QString &folder : below)
            if (sameFileOrFolder(at, folder))
                return true;
        if (depth <= 1 && sameFileOrFolder(at, suite))
            return true;
        const QString up = QFileInfo(at).path();
        if (up == at || up.isEmpty() || up == u".")
            return false;
        at = up;
    }
}

} // namespace

QString schoolFileRefusal(const Configuration &config, const QString &target, const QString &extension,
                          const QStringList &alsoFolders)
{
    QStringList below = {resolvedFolder(config.DataRoot), resolvedFolder(config.DataFolder),
                         resolvedFolder(config.SoundFolder), resolvedFolder(config.ProgramFolder),
                         resolvedFolder(config.LocalFolder)};
    for (const QString &folder : alsoFolders)
        below << resolvedFolder(folder);
    const QString suite =
        config.ProgramFolder.isEmpty() ? QString() : resolvedFolder(config.ProgramFolder + QStringLiteral(".."));
    // Where the name leads, and where a file written beside it and renamed over it lands.
    const QFileInfo named(target);
    const QString leadsTo = resolvedPath(target);
    const QString landsAt = resolvedFolder(named.absolutePath()) + u'/' + named.fileName();
    for (const QString &place : {leadsTo, landsAt}) {
        const QFileInfo at(place);
        if (at.fileName().endsWith(extension, Qt::CaseInsensitive) && !at.isDir())
            continue;
        bool school = !suite.isEmpty() && (place == suite || at.path() == suite);
        for (const QString &folder : below)
            school = school || liesWithin(place, folder);
        school = school || reachesSchoolFolder(place, below, suite);
        if (!school)
            continue;
        QString text = QStringLiteral("%1 は塾のデータの場所にあり、%2 のファイルではありません。"
                                      "塾のデータを書き換えないよう、保存しません。\n"
                                      "別のフォルダか、%2 で終わる名前を選んでください。")
                           .arg(QDir::toNativeSeparators(target), extension);
        if (place != QFileInfo(target).absoluteFilePath())
            text += QStringLiteral("\n（リンクの先: %1）").arg(QDir::toNativeSeparators(place));
        return text;
    }
    return {};
}

} // namespace tobrel
