#include "datatool/DataBackup.h"

#include "datatool/DataPlace.h"
#include "text/DurableFile.h"
#include "text/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <tuple>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tobrel {
namespace {

// The names in an open folder (not "." and ".."), or none when it cannot be listed.
QStringList namesIn(int folderFd)
{
    QStringList names;
    const int listed = ::dup(folderFd);
    DIR *dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent *e = ::readdir(dir)) {
        const QString name = QFile::decodeName(e->d_name);
        if (name != u"." && name != u"..")
            names << name;
    }
    ::closedir(dir);
    names.sort();
    return names;
}

bool isPlainFileAt(int folderFd, const QString &name)
{
    struct stat st {};
    return ::fstatat(folderFd, QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode);
}

// The folder the backups go into, open: the data folder's own backup folder is made
// there when missing and never followed as a link (anyone may write the data folder);
// a folder the teacher names is used as named. -1 with *error set.
int openTarget(const QString &dataFolder, const QString &target, QString *error)
{
    if (QDir::cleanPath(target) == QDir::cleanPath(defaultBackupFolder(dataFolder))) {
        Fd data(openFolder(dataFolder));
        const QString name = QFileInfo(QDir::cleanPath(target)).fileName();
        if (data.get() >= 0 && ::mkdirat(data.get(), QFile::encodeName(name).constData(), 0777) != 0 && errno != EEXIST)
            data = Fd();
        const int fd = data.get() >= 0 ? openSubfolderAt(data.get(), name) : -1;
        if (fd < 0) {
            const int err = errno;
            *error =
                QStringLiteral("バックアップ先 %1 を開けません（%2）")
                    .arg(target, err == ELOOP || err == ENOTDIR ? QStringLiteral("フォルダではなくリンクかファイルです")
                                                                : systemErrorText(err));
        }
        return fd;
    }
    const int fd = QDir().mkpath(target) ? openFolder(target) : -1;
    if (fd < 0)
        *error = QStringLiteral("バックアップ先 %1 を作れません").arg(target);
    return fd;
}

} // namespace

QString defaultBackupFolder(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("バックアップ"));
}

static QRegularExpression unfinishedBackupPattern(const QString &name)
{
    return QRegularExpression(
        QStringLiteral("^\\.%1_\\d{8}_\\d{6}(?:_\\d+)?\\.作成中$").arg(QRegularExpression::escape(name)));
}

QStringList unfinishedBackups(int folderFd, const QString &name)
{
    const QRegularExpression pattern = unfinishedBackupPattern(name);
    QStringList found;
    for (const QString &entry : namesIn(folderFd))
        if (pattern.match(entry).hasMatch() && isRealFolderAt(folderFd, entry))
            found << entry;
    return found;
}

bool backupDataFolder(const QString &dataFolder, const QString &name, const QString &target, const QDateTime &now,
                      int keep, BackupResult *result, QString *error)
{
    BackupResult local;
    BackupResult &res = result ? *result : local;
    QString scratch;
    QString &err = error ? *error : scratch;
    Fd data(openFolder(dataFolder));
    if (data.get() < 0) {
        err = QStringLiteral("データフォルダ %1 がありません").arg(dataFolder);
        return false;
    }
    Fd into(openTarget(dataFolder, target, &err));
    if (into.get() < 0)
        return false;
    const QDir targetDir(target);

    // What a backup killed halfway left: its own kind only, real folders only, and not
    // one that a backup running now holds.
    for (const QString &left : unfinishedBackups(into.get(), name)) {
        Fd probe(openSubfolderAt(into.get(), left));
        if (probe.get() < 0 || (::flock(probe.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK))
            continue;
        if (removeFolderTreeAt(into.get(), left))
            res.cleared << left;
    }

    // A dated name free both for the backup and for its work folder; the work folder is
    // made fresh, never taken over.
    const QString stamp = name + u'_' + now.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    auto taken = [&](const QString &n) {
        struct stat st {};
        return ::fstatat(into.get(), QFile::encodeName(n).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    };
    QString final = stamp;
    for (int n = 2; taken(final) || taken(u'.' + final + QStringLiteral(".作成中")); ++n)
        final = stamp + u'_' + QString::number(n);
    const QString workName = u'.' + final + QStringLiteral(".作成中");
    const QString work = targetDir.filePath(workName);
    Fd workFd(makeFreshFolderAt(into.get(), workName));
    if (workFd.get() < 0) {
        err = QStringLiteral("作業用のフォルダ %1 を作れません（%2）").arg(work, systemErrorText(errno));
        return false;
    }
    // Held while the copy is made, so that another backup does not take it for a leftover.
    ::flock(workFd.get(), LOCK_EX | LOCK_NB);
    auto abandon = [&] {
        workFd = Fd();
        removeFolderTreeAt(into.get(), workName);
        return false;
    };

    for (const QString &file : namesIn(data.get())) {
        // Files only: links (which could lead anywhere) and folders are not copied.
        if (!isPlainFileAt(data.get(), file)) {
            struct stat st {};
            if (::fstatat(data.get(), QFile::encodeName(file).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                !S_ISDIR(st.st_mode))
                res.skipped << file;
            continue;
        }
        const QString to = QDir(work).filePath(file);
        Fd out(openPlainFileAt(workFd.get(), file, O_WRONLY | O_CREAT | O_EXCL));
        if (out.get() < 0) {
            err = QStringLiteral("%1 を作れません（%2）").arg(to, systemErrorText(errno));
            return abandon();
        }
        if (file == resultsFileName()) {
            const int64_t bytes = toolResultsFile(QDir(dataFolder).filePath(file)).copyTo(out.get(), to, &err);
            if (bytes < 0)
                return abandon();
            res.resultsBytes = bytes;
        } else {
            const QString from = QDir(dataFolder).filePath(file);
            Fd in(openPlainFileAt(data.get(), file, O_RDONLY));
            if (in.get() < 0) {
                err = QStringLiteral("%1 を読めません（%2）").arg(from, systemErrorText(errno));
                return abandon();
            }
            if (copyFlushed(in.get(), out.get()) < 0) {
                err = QStringLiteral("%1 を %2 に写せません（%3）").arg(from, to, systemErrorText(errno));
                return abandon();
            }
        }
        res.files << file;
    }
    syncFolder(workFd.get());
    res.folder = targetDir.filePath(final);
    if (!renameFreshAt(into.get(), workName, final)) {
        err = QStringLiteral("バックアップ %1 を仕上げられません（%2）").arg(res.folder, systemErrorText(errno));
        return abandon();
    }
    syncFolder(into.get());

    // name_YYYYMMDD_HHMMSS, and _2, _3 .. for more backups within the same second;
    // only real folders count and go, never a link that bears such a name.
    const QRegularExpression dated(
        QStringLiteral("^%1_(\\d{8}_\\d{6})(?:_(\\d+))?$").arg(QRegularExpression::escape(name)));
    // Links (or files) under the names of our backups or work folders are neither used
    // nor removed; they are named, so that the teacher can look at who put them there.
    const QRegularExpression unfinished = unfinishedBackupPattern(name);
    for (const QString &d : namesIn(into.get()))
        if ((dated.match(d).hasMatch() || unfinished.match(d).hasMatch()) && !isRealFolderAt(into.get(), d))
            res.passedOver << d;
    res.passedOver.sort();
    if (keep > 0) {
        std::vector<std::tuple<QString, int, QString>> backups;
        for (const QString &d : namesIn(into.get())) {
            const QRegularExpressionMatch m = dated.match(d);
            if (m.hasMatch() && isRealFolderAt(into.get(), d))
                backups.emplace_back(m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt(), d);
        }
        std::sort(backups.begin(), backups.end());
        for (size_t i = 0; i + static_cast<size_t>(keep) < backups.size(); ++i) {
            const QString old = std::get<2>(backups[i]);
            if (removeFolderTreeAt(into.get(), old))
                res.removed << old;
        }
    }
    return true;
}

} // namespace tobrel
