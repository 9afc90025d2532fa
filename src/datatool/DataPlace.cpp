#include "datatool/DataPlace.h"

#include "app/Configuration.h"
#include "state/ProgramProfile.h"
#include "criteria/CriteriaTable.h"
#include "text/DataFileError.h"
#include "text/DurableFile.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <memory>
#include <thread>

namespace tobrel {

namespace {

void readCommonData(DataPlace &place)
{
    try {
        ReadCommonData(place.config);
    } catch (const DataFileError &e) {
        place.commonDataError = e.message();
    }
}

// The folders of a located data root, and the school's values from its common data.
void takeLocation(DataPlace &place, const DataLocation &where)
{
    Configuration &c = place.config;
    if (where.from == DataLocation::From::PathData)
        place.pathDataFile = pathDataFileOf(where.programFolderPath);
    else
        place.rootOrigin = where.origin;
    c.DataRoot = where.dataRoot;
    c.ProgramFolderName = where.dataFolderName;
    DeriveDataFolders(c, u'/');
    c.LocalFolder = where.localFolder;
    c.ProgramMenu = where.programMenu;
    readCommonData(place);
}

// The runs this PC keeps for a data folder wait in the folder named after the way this
// PC's settings name that folder (the installed program's own name for it). Named here
// another way (--data given directly, a link, a second mount), it is still the same data
// folder, and its kept runs are those: `spelled` otherwise.
QString keptRunsOfThisPc(const QString &programFolderPath, const SettingPlaces &places, const QString &dataFolder,
                         const QString &spelled)
{
    if (spelled.isEmpty())
        return spelled;
    try {
        const DataLocation set = locateFromSettings(programFolderPath, places);
        if (!set.dataRoot.isEmpty() && !set.localFolder.isEmpty() &&
            sameFileOrFolder(set.dataRoot + set.dataFolderName, dataFolder))
            return set.localFolder;
    } catch (const DataFileError &) {
        // No settings to go by: the folder of this name stands.
    }
    return spelled;
}

} // namespace

DataPlace locateData(const QString &programFolder, const QString &dataFolder, const ThisStart &start,
                     const SettingPlaces &places)
{
    constexpr QChar sep = u'/';
    DataPlace place;
    place.userStateFolder = places.userStateFolder;
    Configuration &c = place.config;
    const QString programFolderPath = QDir::cleanPath(programFolder);
    c.ProgramFolder = programFolderPath + sep;
    if (dataFolder.isEmpty()) {
        try {
            const DataLocation where = locateDataRoot(programFolderPath, start, places);
            takeLocation(place, where);
            if (where.from == DataLocation::From::Option || where.from == DataLocation::From::Environment)
                c.LocalFolder = keptRunsOfThisPc(programFolderPath, places, c.DataFolder, c.LocalFolder);
        } catch (const DataFileError &e) {
            if (const QString pathData = pathDataFileOf(programFolderPath); QFileInfo::exists(pathData))
                place.pathDataFile = pathData;
            place.foldersError = e.message();
        }
        return place;
    }
    const QString folder = QDir::cleanPath(QFileInfo(dataFolder).absoluteFilePath());
    if (!QFileInfo(folder).isDir()) {
        place.foldersError = QStringLiteral("データフォルダ %1 がありません").arg(folder);
        return place;
    }
    const qsizetype cut = folder.lastIndexOf(sep);
    c.DataRoot = folder.left(cut + 1);
    c.ProgramFolderName = folder.mid(cut + 1);
    c.DataFolder = folder + sep;
    c.SoundFolder = c.DataRoot + soundFolderName() + sep;
    // The runs kept for this results file: beside a suite copy whose own data folder
    // it is, else in the user's folder for it.
    c.LocalFolder =
        keptRunsOfThisPc(programFolderPath, places, c.DataFolder, keptRunsFolder(places.userStateFolder, c.DataFolder));
    if (QFileInfo::exists(pathDataFileOf(programFolderPath))) {
        try {
            Configuration suite = c;
            suite.DataRoot = ReadPathData(c.ProgramFolder, sep);
            suite.ProgramFolderName = lastPathComponent(programFolderPath, sep);
            DeriveDataFolders(suite, sep);
            if (QFileInfo(suite.DataFolder).canonicalFilePath() == QFileInfo(folder).canonicalFilePath())
                c.LocalFolder = c.ProgramFolder;
        } catch (const DataFileError &) {
            // No suite data folder to compare with: the user's folder stands.
        }
    }
    readCommonData(place);
    return place;
}

DataPlace locateDataFromSettings(const QString &programFolder, const SettingPlaces &places)
{
    DataPlace place;
    place.userStateFolder = places.userStateFolder;
    place.config.ProgramFolder = QDir::cleanPath(programFolder) + u'/';
    try {
        const DataLocation where = locateFromSettings(QDir::cleanPath(programFolder), places);
        if (where.dataRoot.isEmpty())
            place.foldersError =
                QStringLiteral("設定ファイル %1 に %2 がありません").arg(places.fileToWrite(), dataRootKey());
        else
            takeLocation(place, where);
    } catch (const DataFileError &e) {
        place.foldersError = e.message();
    }
    return place;
}

QString loadProfileAndCriteria(const DataPlace &place, SharedState &state)
{
    state.config = place.config;
    SetProgramTitle(state);
    ApplyProgramProfileTables(state);
    try {
        state.criteria = LoadCriteria(place.config.DataFolder + criteriaFileName(), state.criteria);
    } catch (const DataFileError &e) {
        return e.message();
    }
    return {};
}

ResultsFile toolResultsFile(const QString &path, const std::function<void(const QString &)> &notice)
{
    // A drill holds the lock for the few milliseconds of one append: try again soon
    // rather than after the second a screen waits, and say why only once the wait is
    // long enough to be noticed. A share that is not there yet gets the reader's full
    // wait.
    struct Waiting {
        QString why;
        int waitedMs = 0;
        bool told = false;
    };
    auto waiting = std::make_shared<Waiting>();
    return ResultsFile(path, [notice, waiting](double seconds, const QString &why) {
        if (why != waiting->why)
            *waiting = Waiting{why};
        const int ms = seconds >= 5.0 ? static_cast<int>(seconds * 1000) : 10;
        if (notice && !waiting->told && (ms >= 1000 || waiting->waitedMs >= 1000)) {
            waiting->told = true;
            notice(why);
        }
        waiting->waitedMs += ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
}

} // namespace tobrel
