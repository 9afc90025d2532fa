// Where the school's data lives, found the way the program finds it (app/DataSetting.h):
// beside the program in the suite's folders, the path data file names the data root
// and the program's data folder is named after the folder the tool sits in; an
// installed copy reads the settings file that `setup` writes; --data-root or
// TOBREL_DATA_ROOT name the root for one run (no settings file read), --data-folder
// the data folder's name in it. A data folder given on the command line (--data)
// stands for the program's data folder; its parent is then the data root, where the
// common data, the roster and the sound folder are.
#pragma once
#include "app/DataSetting.h"
#include "state/SharedState.h"
#include "results/ResultsFile.h"

#include <QString>

#include <functional>

namespace tobrel {

struct DataPlace {
    Configuration config; // the folders, and the school's values once common data is read
    QString pathDataFile; // the path data file read, or "" when the root was named otherwise
    QString rootOrigin; // in words, where the data root was named when not by the path data
    QString foldersError; // the folders could not be found (path data unreadable)
    QString commonDataError; // the common data file could not be read
    QString userStateFolder; // where this user's kept runs wait, one folder for each results file
    // Told once, in words for the teacher, why a command waits for the results file
    // (another PC holds its lock, the share is not there yet); may be empty.
    std::function<void(const QString &)> waitNotice;
    bool foldersKnown() const { return foldersError.isEmpty(); }
};

// programFolder: the tool's own folder. dataFolder: the folder given with --data, or "".
// start: the data root and the data folder's name given with --data-root and
// --data-folder. places: the settings files.
DataPlace locateData(const QString &programFolder, const QString &dataFolder, const ThisStart &start = {},
                     const SettingPlaces &places = SettingPlaces::ofThisProcess());
// The data as an installed copy finds it from the settings files alone.
DataPlace locateDataFromSettings(const QString &programFolder, const SettingPlaces &places);

// The program's fixed profile (title, level names) on the located configuration, with
// the criteria file loaded: what every command that reads runs needs. Returns an error
// text naming the criteria file, or "".
QString loadProfileAndCriteria(const DataPlace &place, SharedState &state);

// A results file as the tool opens it: while another PC holds the file's lock or the
// share is not there yet, it sleeps between the reader's retries (a short while for
// the lock, the reader's own wait for a missing file). Each reason for waiting is
// passed to notice once.
ResultsFile toolResultsFile(const QString &path, const std::function<void(const QString &)> &notice = {});

} // namespace tobrel
