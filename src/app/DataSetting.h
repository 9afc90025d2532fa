// Where this copy of the program finds the school's data, in one place for the program
// and the data tool.
//
// A copy that sits in the suite's folders finds it as the suite does: the path data
// file beside its folder (../パスデータ.txt) names the data root, its data folder is
// named after its own folder, runs the share could not take wait in its folder, and "0"
// on the roster screen starts the suite's program menu from the sibling folder 起動.
//
// A copy installed for the system (/usr/bin/tobrel) has no suite folder around it. It
// reads a settings file that `tobrel-data setup DATA_ROOT` writes:
//
//   /etc/tobrel.conf                       for every user of the PC (setup run as root)
//   $XDG_CONFIG_HOME/tobrel/tobrel.conf    for one user (~/.config/...); its keys win
//
//   # a note: only at the start of a line; a value runs to the end of its line
//   data-root = /srv/juku/data/
//   data-folder = tobrel
//   program-menu = "/opt/suite/起動/menu" 001
//
// data-root is the folder of 共通データ.txt; data-folder the program's data folder in it
// (default tobrel); program-menu what "0" starts, a program and its arguments split at
// blanks, a word with blanks in single or double quotes (none: "0" ends the program).
// The file is read by every user, so it is used only when it is a plain file (not a
// link) owned by root (the per-user one: by root or that user) that nobody else may
// write.
//
// One start may name the data root itself, for either kind of copy: the option
// --data-root DIR, else the environment variable TOBREL_DATA_ROOT. Such a root stands
// alone: no settings file is read, the data folder is tobrel (a suite copy's: its
// folder's name) and "0" starts no program menu (a suite copy: the suite's).
// --data-folder NAME names the data folder for one start, whichever way the root is
// found.
//
// Runs the share could not take are kept on this PC, apart for each results file, so
// that they are only ever sent to the file they were meant for: a suite copy reading its
// path data keeps them in its own folder, as the suite does; every other start in a
// folder of $XDG_STATE_HOME/tobrel/ (~/.local/state) named after the data folder.
#pragma once
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace tobrel {

// Where the settings files are, and what this process brings along (the files' owner
// rule needs its user; tests point it all into a folder of their own).
struct SettingPlaces {
    QString systemFile; // /etc/tobrel.conf
    QString userFile; // $XDG_CONFIG_HOME/tobrel/tobrel.conf; "" without a home
    QString userStateFolder; // $XDG_STATE_HOME/tobrel/, ending in "/"; "" without a home
    QString environmentRoot; // TOBREL_DATA_ROOT, "" when unset
    uid_t userId = 0;

    static SettingPlaces ofThisProcess();
    // The file `tobrel-data setup` writes for this user: the system's for root.
    QString fileToWrite() const { return userId == 0 ? systemFile : userFile; }
};

// The keys of a settings file as read.
struct Settings {
    QMap<QString, QString> values; // key -> value, keys as written
    QMap<QString, QString> fileOf; // key -> the file it came from
    bool has(const QString &key) const { return values.contains(key); }
    QString value(const QString &key) const { return values.value(key); }
};

inline QString dataRootKey() { return QStringLiteral("data-root"); }
inline QString dataFolderKey() { return QStringLiteral("data-folder"); }
inline QString programMenuKey() { return QStringLiteral("program-menu"); }
inline QString defaultDataFolderName() { return QStringLiteral("tobrel"); }

// Reads one settings file into settings (its keys replace those already there). A file
// that is not there is no error. Raises DataFileError naming the file when it may not
// be trusted (a link, not a plain file, another owner, writable by others) or cannot be
// read, or when a line is no "key = value" of a known key. ownerMayBeUser: the per-user
// file, which its user may own besides root.
void readSettingsFile(const QString &path, bool ownerMayBeUser, uid_t userId, Settings &settings);
// Both files: the system's first, then the user's over it.
Settings readSettings(const SettingPlaces &places);

// The text of a settings file holding these keys, with a few lines saying what each is.
QByteArray settingsFileText(const Settings &settings);
// Writes the text as the settings file at path in one step: a new file beside it, owned
// by this user, readable by all and writable by none else, flushed, then renamed over
// the old one (a link of that name is replaced, never followed). The per-user file's
// folders are made when missing. Returns "" or the reason, naming the file.
QString writeSettingsFile(const QString &path, const QByteArray &text);

// A folder as a data root: absolute and ending in "/".
QString asDataRoot(const QString &folder);
// A data folder name is one plain folder name: not empty, no "/", no blanks and no "#"
// (a note copied behind it), not "." or "..".
bool isPlainFolderName(const QString &name);

// A program-menu command split into the program and its arguments: words are separated
// by blanks, a word holding blanks is written in single or double quotes ('…' or "…",
// either kind inside the other), and a backslash stands for itself (a Windows path
// needs no doubling). An unclosed quote, or a "#" starting a word outside quotes (a note
// copied behind the command), gives an empty list and the reason in *error.
QStringList splitProgramMenu(const QString &command, QString *error = nullptr);
// A word as a shell reads it back as one word: quoted when it holds anything but plain
// letters, digits and / . _ - + , : = @ %.
QString shellQuoted(const QString &word);

// The folder of this PC for the runs kept back for one results file: a folder of the
// user's state folder named after the data folder's absolute path ("/" written as %2F,
// "%" as %25; a name too long for the file system led by a hash of the path and cut), so
// that runs kept for one school are never sent to another's file. "" without a state
// folder.
QString keptRunsFolder(const QString &userStateFolder, const QString &dataFolder);
// The data folder a kept-runs folder stands for, from its name; "" when the name was
// shortened or is no such name.
QString dataFolderOfKeptRuns(const QString &folderName);

// Where one start of the program takes its data from.
struct DataLocation {
    enum class From { PathData, Option, Environment, Settings };
    From from = From::PathData;
    QString programFolderPath; // the program's folder, without the trailing separator
    bool suiteCopy = false; // the path data file stands beside the program's folder
    QString dataRoot; // ends in the separator (path data: as written)
    QString dataFolderName; // names the program's data folder under the root
    QStringList programMenu; // what "0" starts: the program, then its arguments; empty: none
    QString localFolder; // this PC's folder for runs kept back for this results file, ending in "/"
    QString origin; // in words, where the data root was taken from
};

// What one start names itself, on the command line (--data-root, --data-folder); the
// environment's root is in SettingPlaces. Empty: not named.
struct ThisStart {
    QString dataRoot;
    QString dataFolder;
};

// The path data file a copy in the program folder reads.
QString pathDataFileOf(const QString &programFolderPath, QChar separator = QChar(u'/'));

// Finds where the data is (the order of the file's header). Raises DataFileError when
// nothing names a data root (the text says what to run), when a settings file that
// would be used may not be, or when the path data file cannot be read.
DataLocation locateDataRoot(const QString &programFolderPath, const ThisStart &start, const SettingPlaces &places,
                            QChar separator = QChar(u'/'));
// A copy in the suite's folders, before its path data file is read: its data folder,
// program menu and folder for runs kept back all follow from its own folder.
DataLocation suiteCopyLocation(const QString &programFolderPath, QChar separator = QChar(u'/'));
// The same from the settings files alone, as an installed copy finds it.
DataLocation locateFromSettings(const QString &programFolderPath, const SettingPlaces &places);

} // namespace tobrel
