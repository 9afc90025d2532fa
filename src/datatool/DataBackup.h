// "backup": a consistent copy of the program's data folder in a dated folder. The
// results file is copied under its shared lock (no append lands halfway through the
// copy); every other file of the data folder is copied as it is. The copy is made in a
// hidden folder and renamed into place once complete, so a dated folder is always a
// whole backup. Only the newest backups are kept.
#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tobrel {

struct BackupResult {
    QString folder;       // the dated folder written
    QStringList files;    // names of the files copied
    int64_t resultsBytes = -1; // bytes of the results file copied (-1: there is none)
    QStringList removed;  // older backups removed
};

// Copies the files of dataFolder (not its subfolders) into
// target/<name>_YYYYMMDD_HHMMSS/ and removes all but the newest `keep` such folders of
// target (keep 0: none removed). Returns false with error set, leaving nothing
// half-made behind.
bool backupDataFolder(const QString &dataFolder, const QString &name, const QString &target,
                      const QDateTime &now, int keep, BackupResult *result, QString *error);

// Default target: the backup folder inside the data folder.
QString defaultBackupFolder(const QString &dataFolder);

} // namespace tobrel
