// Start-up configuration: the data folders derived from the program's folder and the
// path data file, and the school-wide values of the common data file; then the level
// criteria and the sound cue table.
#pragma once
#include <QChar>
#include <QString>

namespace tobrel {

struct SharedState;
struct Configuration;
struct DataLocation;
class FieldReader;

struct SchoolField {
    QString code; // five characters, or empty
    QString name;
};
// Splits common-data field 2: a leading five-character numeric code before the name.
SchoolField splitSchoolField(const QString &field);

// The last component of a folder path (everything up to each separator removed).
QString lastPathComponent(const QString &folder, QChar separator);

// The steps of LoadConfiguration, for tools that check each file on its own. Each raises
// DataFileError naming the file when it is missing or short, over 1 MB, not Shift-JIS,
// or holds a number field whose value does not fit (naming the line and the field).
// Field 1 of the path data file beside the program's folder (programFolder ends in the
// separator): the data root, as written.
QString ReadPathData(const QString &programFolder, QChar separator);
// The common data file of config.DataRoot: start month, school code and name,
// CommonValue3 and the data-change password.
void ReadCommonData(Configuration &config);
// The same two reads from a reader already opened on the file's text.
QString ReadPathData(FieldReader &reader);
void ReadCommonData(FieldReader &reader, Configuration &config);
// DataFolder and SoundFolder from DataRoot and ProgramFolderName.
void DeriveDataFolders(Configuration &config, QChar separator);

// Reads everything the program needs before the roster screen, for a copy in the
// suite's folders (the path data file beside its folder). Raises DataFileError,
// naming the file, when a configuration file is missing or short, or when the criteria
// or the sound cue table cannot be read; state is then left as it was.
void LoadConfiguration(SharedState &state, const QString &programFolderPath, QChar separator = QChar(u'/'));
// The same from a data root already found (app/DataSetting.h): the suite's path data,
// a settings file, or the one start's --data-root.
void LoadConfiguration(SharedState &state, const DataLocation &where, QChar separator = QChar(u'/'));

inline QString pathDataFileName() { return QStringLiteral("パスデータ.txt"); }
inline QString commonDataFileName() { return QStringLiteral("共通データ.txt"); }
inline QString soundFolderName() { return QStringLiteral("音フォルダ"); }

} // namespace tobrel
