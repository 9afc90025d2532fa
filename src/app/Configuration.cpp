#include "app/Configuration.h"

#include "app/DataSetting.h"

#include "state/ProgramProfile.h"
#include "state/SharedState.h"
#include "criteria/CriteriaTable.h"
#include "sound/SoundCues.h"
#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/Numbers.h"
#include "text/PathCase.h"

#include <cmath>
#include <limits>
#include <vector>

namespace tobrel {
namespace {

// Reads the ten fields of a configuration file; fewer fields raise DataFileError.
std::vector<Field> readTenFields(FieldReader &reader)
{
    std::vector<Field> fields;
    try {
        for (int i = 0; i < 10; ++i)
            fields.push_back(reader.readField());
    } catch (const DataFileError &) {
        throw DataFileError(reader.fileName(), 0,
                            QStringLiteral("項目が10個ありません（%1個しかありません）").arg(fields.size()),
                            kErrorPastEnd);
    }
    return fields;
}

// A number field of the common data file, read by its leading number ("4月" gives 4);
// a value that is no finite number or does not fit an int raises DataFileError, naming
// the range the field takes (lowest..highest).
int commonNumber(const FieldReader &reader, const Field &field, const QString &name,
                 int lowest = std::numeric_limits<int>::min(), int highest = std::numeric_limits<int>::max())
{
    const double v = leadingNumber(field.text);
    const double whole = field.text.trimmed().toDouble();
    if (!std::isfinite(whole) || !(v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max()))
        throw DataFileError(reader.fileName(), field.line,
                            QStringLiteral("%1の値「%2」が範囲を超えています（%3から%4までの数にしてください）")
                                .arg(name, field.text.trimmed())
                                .arg(lowest)
                                .arg(highest),
                            std::isfinite(whole) ? kErrorValueTooLarge : kErrorNotANumber);
    return static_cast<int>(v);
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

QString ReadPathData(FieldReader &reader) { return readTenFields(reader)[0].text; }

QString ReadPathData(const QString &programFolder, QChar separator)
{
    FieldReader reader = FieldReader::openFile(programFolder + QStringLiteral("..") + separator + pathDataFileName(),
                                               kSmallFileMaxBytes);
    return ReadPathData(reader);
}

void ReadCommonData(FieldReader &reader, Configuration &config)
{
    const std::vector<Field> common = readTenFields(reader);
    config.SchoolYearStartMonth =
        commonNumber(reader, common[0], QStringLiteral("1番目の項目（学年の始まる月）"), 1, 12);
    // A month outside the year would put every student in the wrong grade without a word.
    if (config.SchoolYearStartMonth < 1 || config.SchoolYearStartMonth > 12)
        throw DataFileError(reader.fileName(), common[0].line,
                            QStringLiteral("1番目の項目（学年の始まる月）の値「%1」は月ではありません"
                                           "（1から12までの数にしてください）")
                                .arg(common[0].text.trimmed()),
                            kErrorValueTooLarge);
    const SchoolField school = splitSchoolField(common[1].text);
    config.SchoolCode = school.code;
    config.SchoolName = school.name;
    config.CommonValue3 = commonNumber(reader, common[2], QStringLiteral("3番目の項目"));
    config.DataChangePassword = common[5].text;
}

void ReadCommonData(Configuration &config)
{
    FieldReader reader = FieldReader::openFile(config.DataRoot + commonDataFileName(), kSmallFileMaxBytes);
    ReadCommonData(reader, config);
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
    DataLocation where = suiteCopyLocation(programFolderPath, separator);
    where.dataRoot = ReadPathData(programFolderPath + separator, separator);
    LoadConfiguration(state, where, separator);
}

void LoadConfiguration(SharedState &state, const DataLocation &where, QChar separator)
{
    Configuration config;
    config.ProgramFolder = where.programFolderPath + separator;
    config.DataRoot = where.dataRoot;
    ReadCommonData(config);
    config.ProgramFolderName = where.dataFolderName;
    DeriveDataFolders(config, separator);
    config.LocalFolder = where.localFolder;
    config.ProgramMenu = where.programMenu;

    const CriteriaTable criteria = LoadCriteria(config.DataFolder + criteriaFileName(), state.criteria);
    SoundState sound = state.sound;
    LoadSoundCues(config.SoundFolder + soundCueFileName(), sound);

    state.config = config;
    SetProgramTitle(state);
    state.criteria = criteria;
    state.sound = sound;
}

} // namespace tobrel
