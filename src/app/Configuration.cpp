#include "app/Configuration.h"

#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "criteria/CriteriaTable.h"
#include "sound/SoundCues.h"
#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/Numbers.h"
#include "text/PathCase.h"

namespace tobrel {
namespace {

// Reads the ten fields of a configuration file; fewer fields raise DataFileError.
QStringList readTenFields(const QString &path)
{
    FieldReader reader = FieldReader::openFile(path);
    QStringList fields;
    try {
        for (int i = 0; i < 10; ++i)
            fields << reader.readText();
    } catch (const DataFileError &) {
        throw DataFileError(path, 0,
                            QStringLiteral("項目が10個ありません（%1個しかありません）")
                                .arg(fields.size()));
    }
    return fields;
}

} // namespace

SchoolField splitSchoolField(const QString &field)
{
    const QString head = field.left(5);
    if (leadingNumber(head) != 0)
        return {head, field.mid(5)};
    return {QString(), field};
}

QString lastPathComponent(const QString &folder, QChar separator)
{
    const qsizetype at = folder.lastIndexOf(separator);
    return at < 0 ? folder : folder.mid(at + 1);
}

QString ReadPathData(const QString &programFolder, QChar separator)
{
    return readTenFields(programFolder + QStringLiteral("..") + separator + pathDataFileName())[0];
}

void ReadCommonData(Configuration &config)
{
    const QStringList common = readTenFields(config.DataRoot + commonDataFileName());
    config.SchoolYearStartMonth = static_cast<int>(leadingNumber(common[0]));
    const SchoolField school = splitSchoolField(common[1]);
    config.SchoolCode = school.code;
    config.SchoolName = school.name;
    config.CommonValue3 = static_cast<int>(leadingNumber(common[2]));
    config.DataChangePassword = common[5];
}

void DeriveDataFolders(Configuration &config, QChar separator)
{
    config.DataFolder = config.DataRoot + config.ProgramFolderName + separator;
    // A data folder copied from a Windows PC may differ from the program folder's name
    // in letter case only.
    if (separator == u'/')
        config.DataFolder = pathIgnoringCase(config.DataFolder);
    config.SoundFolder = config.DataRoot + soundFolderName() + separator;
}

void LoadConfiguration(SharedState &state, const QString &programFolderPath, QChar separator)
{
    Configuration config;
    config.ProgramFolder = programFolderPath + separator;
    config.DataRoot = ReadPathData(config.ProgramFolder, separator);
    ReadCommonData(config);
    config.ProgramFolderName = lastPathComponent(programFolderPath, separator);
    DeriveDataFolders(config, separator);

    const CriteriaTable criteria =
        LoadCriteria(config.DataFolder + criteriaFileName(), state.criteria);
    SoundState sound = state.sound;
    LoadSoundCues(config.SoundFolder + soundCueFileName(), sound);

    state.config = config;
    SetProgramTitle(state);
    state.criteria = criteria;
    state.sound = sound;
}

} // namespace tobrel
