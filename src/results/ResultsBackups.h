// The backups of the results file a rewrite keeps, and the cleaning up after a rewrite
// that stopped halfway. Used inside src/results/ only.
#pragma once
#include <QByteArray>
#include <QString>

namespace tobrel {

// Keeps the results file, open and locked in fd, as `backup` (a path in the backup
// folder). False with *err set; EEXIST when the name is taken.
bool keepBackup(int fd, const QByteArray &native, const QByteArray &backup, int *err);

// Removes what a rewrite that stopped before its rename left beside the results file
// at `path` (open and locked in fd) and in its backup folder.
void removeLeftovers(int fd, const QString &path, const QString &backupFolder);

} // namespace tobrel
