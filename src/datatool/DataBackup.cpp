#include "datatool/DataBackup.h"

#include "datatool/DataPlace.h"
#include "text/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace tobrel {
namespace {

// Copies one file and flushes it to disk.
bool copyFlushed(const QString &from, const QString &to, QString *error)
{
    QFile in(from);
    QFile out(to);
    auto failed = [&](const char *what, const QString &path) {
        const int err = errno;
        *error = QStringLiteral("%1 を%2（%3）").arg(path, QString::fromUtf8(what), fileFailureText(err, path));
        return false;
    };
    errno = 0;
    if (!in.open(QIODevice::ReadOnly))
        return failed("読めません", from);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failed("作れません", to);
    for (;;) {
        errno = 0;
        const QByteArray block = in.read(1 << 20);
        if (in.error() != QFileDevice::NoError)
            return failed("読めません", from);
        if (block.isEmpty())
            break;
        errno = 0;
        if (out.write(block) != block.size())
            return failed("書けません", to);
    }
    errno = 0;
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return failed("書けません", to);
    return true;
}

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString defaultBackupFolder(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("バックアップ"));
}

bool backupDataFolder(const QString &dataFolder, const QString &name, const QString &target,
                      const QDateTime &now, int keep, BackupResult *result, QString *error)
{
    BackupResult local;
    BackupResult &res = result ? *result : local;
    QString scratch;
    QString &err = error ? *error : scratch;
    const QDir data(dataFolder);
    if (!data.exists()) {
        err = QStringLiteral("データフォルダ %1 がありません").arg(dataFolder);
        return false;
    }
    if (!QDir().mkpath(target)) {
        err = QStringLiteral("バックアップ先 %1 を作れません").arg(target);
        return false;
    }
    const QDir into(target);
    const QString stamp = name + u'_' + now.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString final = stamp;
    for (int n = 2; into.exists(final); ++n)
        final = stamp + u'_' + QString::number(n);
    const QString work = into.filePath(u'.' + final + QStringLiteral(".作成中"));
    QDir(work).removeRecursively();
    if (!QDir().mkpath(work)) {
        err = QStringLiteral("バックアップ先 %1 を作れません").arg(work);
        return false;
    }
    auto abandon = [&] {
        QDir(work).removeRecursively();
        return false;
    };

    const QStringList files = data.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &file : files) {
        const QString from = data.filePath(file);
        const QString to = QDir(work).filePath(file);
        if (file == resultsFileName()) {
            const int64_t bytes = toolResultsFile(from).copyTo(to, &err);
            if (bytes < 0)
                return abandon();
            res.resultsBytes = bytes;
        } else if (!copyFlushed(from, to, &err)) {
            return abandon();
        }
        res.files << file;
    }
    syncFolder(work);
    res.folder = into.filePath(final);
    if (!QDir().rename(work, res.folder)) {
        err = QStringLiteral("バックアップ %1 を仕上げられません").arg(res.folder);
        return abandon();
    }
    syncFolder(target);

    if (keep > 0) {
        // name_YYYYMMDD_HHMMSS, and _2, _3 .. for more backups within the same second.
        const QRegularExpression dated(QStringLiteral("^%1_(\\d{8}_\\d{6})(?:_(\\d+))?$")
                                           .arg(QRegularExpression::escape(name)));
        std::vector<std::tuple<QString, int, QString>> backups;
        for (const QString &d : into.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QRegularExpressionMatch m = dated.match(d);
            if (m.hasMatch())
                backups.emplace_back(m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt(), d);
        }
        std::sort(backups.begin(), backups.end());
        for (size_t i = 0; i + static_cast<size_t>(keep) < backups.size(); ++i) {
            const QString old = std::get<2>(backups[i]);
            if (QDir(into.filePath(old)).removeRecursively())
                res.removed << old;
        }
    }
    return true;
}

} // namespace tobrel
