#include "results/ResultsBackups.h"

#include "results/ResultsFile.h"
#include "text/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tobrel {
namespace {

const QRegularExpression &backupNamePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^成績累積データ_(\\d{8}_\\d{6})(?:_(\\d+))?\\.dat$"));
    return pattern;
}

} // namespace

// Keeps the file open in fd as `backup`: a second name for the same file when the file
// system allows it (the rename that follows leaves that name the only one), otherwise
// a flushed copy read through fd, which holds the lock. (Opening the results file
// again and closing it would release this process's lock on it.) The copy is written
// under a name of its own and renamed into place once it is on disk, so that a copy
// cut short (the program killed halfway) never passes for a backup.
bool keepBackup(int fd, const QByteArray &native, const QByteArray &backup, int *err)
{
    if (::link(native.constData(), backup.constData()) == 0)
        return true;
    struct stat existing {};
    if (errno == EEXIST || ::lstat(backup.constData(), &existing) == 0) {
        *err = EEXIST;
        return false;
    }
    NewFileBeside::Options options;
    options.temporaryName = QFileInfo(QFile::decodeName(backup)).fileName() + QStringLiteral(".tmp");
    NewFileBeside copy(QFile::decodeName(backup), options);
    if (!copy.open() || copyFlushed(fd, copy.fd()) < 0) {
        *err = copy.error() != 0 ? copy.error() : errno;
        return false;
    }
    if (!copy.flush() || !copy.replaceTarget().isEmpty()) {
        *err = copy.error();
        return false;
    }
    return true;
}

// A rewrite stopped before its rename (the program killed, the PC switched off) leaves
// its temporary file beside the results file, perhaps a backup copy cut short, and its
// backup as a second name of the live file: every later change and append would change
// that "backup" along with the file. None holds a byte the live file does not, and
// while the exclusive lock is held no other rewrite is under way, so whoever holds it
// removes them before writing.
void removeLeftovers(int fd, const QString &path, const QString &backupFolder)
{
    struct stat live {
    }, folder{};
    if (::fstat(fd, &live) != 0)
        return;
    // Nothing is removed through a link standing at the backup folder's name.
    const bool realFolder =
        ::lstat(QFile::encodeName(backupFolder).constData(), &folder) == 0 && S_ISDIR(folder.st_mode);
    for (const QString &name : realFolder ? QDir(backupFolder).entryList(QDir::Files) : QStringList()) {
        const QByteArray backup = QFile::encodeName(backupFolder + u'/' + name);
        if (name.endsWith(QStringLiteral(".tmp")) && backupNamePattern().match(name.chopped(4)).hasMatch()) {
            ::unlink(backup.constData()); // a copy cut short
            continue;
        }
        if (live.st_nlink < 2 || !backupNamePattern().match(name).hasMatch())
            continue;
        struct stat st {};
        if (::lstat(backup.constData(), &st) == 0 && st.st_dev == live.st_dev && st.st_ino == live.st_ino)
            ::unlink(backup.constData());
    }
    const QFileInfo info(path);
    const QString prefix = info.fileName() + u'.';
    const QString suffix = QStringLiteral(".tmp");
    for (const QString &name : QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden)) {
        if (!name.startsWith(prefix) || !name.endsWith(suffix))
            continue;
        const QStringView number = QStringView(name).mid(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (!number.isEmpty() && std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); }))
            ::unlink(QFile::encodeName(info.absolutePath() + u'/' + name).constData());
    }
}

QString ResultsFile::backupFolder() const { return QFileInfo(m_path).absolutePath() + u'/' + backupFolderName(); }

QString ResultsFile::backupFileName(const QDateTime &when)
{
    return QStringLiteral("成績累積データ_") + when.toString(QStringLiteral("yyyyMMdd_HHmmss")) +
           QStringLiteral(".dat");
}

void ResultsFile::pruneBackups(const QString &folder, int keep, const QString &justMade)
{
    struct Backup {
        QString stamp;
        int sameSecond; // 1 for the first backup of a second, 2.. for the next ones
        QString name;
    };
    std::vector<Backup> backups;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        const QRegularExpressionMatch m = backupNamePattern().match(name);
        if (m.hasMatch())
            backups.push_back({m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt(), name});
    }
    // Oldest first by the date in the name; the backup just made counts as the newest
    // whatever its date, since another PC's clock may run ahead of this one.
    std::sort(backups.begin(), backups.end(), [&](const Backup &a, const Backup &b) {
        const bool aJust = a.name == justMade, bJust = b.name == justMade;
        if (aJust != bJust)
            return bJust;
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.sameSecond < b.sameSecond;
    });
    for (size_t i = 0; i + static_cast<size_t>(std::max(keep, 0)) < backups.size(); ++i)
        QFile::remove(folder + u'/' + backups[i].name);
}

} // namespace tobrel
