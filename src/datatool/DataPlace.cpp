#include "datatool/DataPlace.h"

#include "app/Configuration.h"
#include "state/ProgramProfile.h"
#include "criteria/CriteriaTable.h"
#include "text/DataFileError.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <memory>
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
