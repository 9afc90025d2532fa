#include "datatool/DataPlace.h"

#include "app/Configuration.h"
#include "state/ProgramProfile.h"
#include "criteria/CriteriaTable.h"
#include "text/DataFileError.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <thread>

namespace tobrel {

DataPlace locateData(const QString &programFolder, const QString &dataFolder)
{
    constexpr QChar sep = u'/';
    DataPlace place;
    Configuration &c = place.config;
    c.ProgramFolder = QDir::cleanPath(programFolder) + sep;
    if (!dataFolder.isEmpty()) {
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
    } else {
        place.pathDataFile = c.ProgramFolder + QStringLiteral("..") + sep + pathDataFileName();
        try {
            c.DataRoot = ReadPathData(c.ProgramFolder, sep);
        } catch (const DataFileError &e) {
            place.foldersError = e.message();
            return place;
        }
        c.ProgramFolderName = lastPathComponent(QDir::cleanPath(programFolder), sep);
        DeriveDataFolders(c, sep);
    }
    try {
        ReadCommonData(c);
    } catch (const DataFileError &e) {
        place.commonDataError = e.message();
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

ResultsFile toolResultsFile(const QString &path)
{
    // A drill holds the lock for the few milliseconds of one append: try again soon
    // rather than after the second a screen waits. A share that is not there yet gets
    // the reader's full wait.
    return ResultsFile(path, [](double seconds, const QString &) {
        const int ms = seconds >= 5.0 ? static_cast<int>(seconds * 1000) : 10;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
}

} // namespace tobrel
