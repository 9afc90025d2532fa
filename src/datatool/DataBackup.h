// "backup": a consistent copy of the program's data folder in a dated folder. The
// results file is copied under its shared lock (no append lands halfway through the
// copy); every other plain file of the data folder is copied as it is (a link there is
// not followed). The copy is made in a hidden work folder, made fresh, and renamed into
// place once complete, so a dated folder is always a whole backup; a work folder left
// by a backup killed halfway is cleared by the next one. Only the newest backups are
// kept, and only real folders of the backups' names are ever removed, without
// following a link inside them.
#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tobrel {

struct BackupResult {
    QString folder; // the dated folder written
    QStringList files; // names of the files copied
    int64_t resultsBytes = -1; // bytes of the results file copied (-1: there is none)
    QStringList removed; // older backups removed
    QStringList cleared; // work folders of backups killed halfway, removed
    QStringList skipped; // names in the data folder that are no plain files (links): not copied
    QStringList
        passedOver; // names of backups or work folders in the target that are no real folders (links): left alone
};

// Copies the files of dataFolder (not its subfolders) into
// target/<name>_YYYYMMDD_HHMMSS/ and removes all but the newest `keep` such folders of
// target (keep 0: none removed). Returns false with error set, leaving nothing
// half-made behind.
bool backupDataFolder(const QString &dataFolder, const QString &name, const QString &target, const QDateTime &now,
                      int keep, BackupResult *result, QString *error);

// Default target: the backup folder inside the data folder. It is never followed as a
// link: a backup refuses a link planted under its name.
QString defaultBackupFolder(const QString &dataFolder);

// The work folders that backups of the data folder `name` killed halfway left in the
// open folder (".<name>_YYYYMMDD_HHMMSS.作成中", real folders only).
QStringList unfinishedBackups(int folderFd, const QString &name);

} // namespace tobrel
