#include "app/DataSetting.h"

#include "app/Configuration.h"
#include "roster/NameList.h"
#include "text/DataFileError.h"
#include "text/FileReplace.h"
#include "text/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tobrel {
namespace {

constexpr qint64 kSettingsMaxBytes = 64 * 1024;

QByteArray native(const QString &path) { return QFile::encodeName(path); }

QString environmentText(const char *name)
{
    const char *v = std::getenv(name);
    return v ? QString::fromLocal8Bit(v) : QString();
}

// The home folder: $HOME, else the user's entry in the password file.
QString homeFolder()
{
    const QString home = environmentText("HOME");
    if (!home.isEmpty())
        return home;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return QString::fromLocal8Bit(pw->pw_dir);
    return {};
}

// An XDG base folder: the variable when it holds an absolute path, else home + fallback.
QString xdgFolder(const char *variable, const QString &home, const QString &fallback)
{
    const QString v = environmentText(variable);
    if (v.startsWith(u'/'))
        return v;
    return home.isEmpty() ? QString() : home + u'/' + fallback;
}

bool knownKey(const QString &key)
{
    return key == dataRootKey() || key == dataFolderKey() || key == programMenuKey();
}

// The file's bytes, opened without following a link and checked before anything of it
// is believed. Returns false when there is no such file.
bool readTrustedFile(const QString &path, bool ownerMayBeUser, uid_t userId, QByteArray *bytes)
{
    auto refuse = [&](const QString &why, int number) {
        return DataFileError(path, 0,
                             why + QStringLiteral("。この設定ファイルは使えません（tobrel-data setup で作り直せます）"),
                             number);
    };
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            return false;
        if (err == ELOOP)
            throw refuse(QStringLiteral("リンクになっています"), kErrorNotPermitted);
        throw refuse(QStringLiteral("読めません（%1）").arg(systemErrorText(err)),
                     err == EACCES || err == EPERM ? kErrorNotPermitted : kErrorAccess);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw refuse(QStringLiteral("読めません（%1）").arg(systemErrorText(errno)), kErrorAccess);
    if (!S_ISREG(st.st_mode))
        throw refuse(QStringLiteral("普通のファイルではありません"), kErrorNotPermitted);
    if (st.st_uid != 0 && !(ownerMayBeUser && st.st_uid == userId))
        throw refuse(ownerMayBeUser ? QStringLiteral("持ち主が root でもこのユーザーでもありません")
                                    : QStringLiteral("持ち主が root ではありません"),
                     kErrorNotPermitted);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        throw refuse(QStringLiteral("持ち主のほかにも書き換えられるようになっています"), kErrorNotPermitted);
    if (st.st_size > kSettingsMaxBytes)
        throw refuse(QStringLiteral("設定ファイルにしては大きすぎます（%1バイト）").arg(st.st_size), kErrorFileTooLarge);
    bytes->resize(static_cast<qsizetype>(st.st_size));
    qsizetype done = 0;
    while (done < bytes->size()) {
        const ssize_t n = ::read(fd, bytes->data() + done, static_cast<size_t>(bytes->size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw refuse(QStringLiteral("読めません（%1）").arg(systemErrorText(errno)), kErrorDevice);
        if (n == 0)
            break;
        done += n;
    }
    bytes->truncate(done);
    return true;
}

// Makes the missing folders of path, each for this user alone.
void makeFolders(const QString &path)
{
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    makeFolders(QFileInfo(path).absolutePath());
    ::mkdir(native(path).constData(), 0700);
}

QString settingsOrigin(const Settings &settings, const QString &key)
{
    return QStringLiteral("設定ファイル %1 の %2").arg(settings.fileOf.value(key), key);
}

QString notSetUpText(const QString &pathDataFile, const SettingPlaces &places)
{
    return QStringLiteral(
               "この PC では、塾のデータがどこにあるかがまだ設定されていません。\n"
               "管理者が次のコマンドで、データルート（共通データ.txt のあるフォルダ）を設定してください:\n"
               "  sudo tobrel-data setup データルート\n"
               "一度だけなら tobrel --data-root データルート で起動できます。\n"
               "（設定ファイル %1 も %2 もありません。スイートのフォルダに置いたプログラムは %3 を読みます）")
        .arg(places.systemFile, places.userFile.isEmpty() ? QStringLiteral("ユーザーの設定ファイル") : places.userFile,
             pathDataFile);
}

} // namespace

SettingPlaces SettingPlaces::ofThisProcess()
{
    SettingPlaces p;
    const QString home = homeFolder();
    p.systemFile = QStringLiteral("/etc/tobrel.conf");
    if (const QString config = xdgFolder("XDG_CONFIG_HOME", home, QStringLiteral(".config")); !config.isEmpty())
        p.userFile = config + QStringLiteral("/tobrel/tobrel.conf");
    if (const QString state = xdgFolder("XDG_STATE_HOME", home, QStringLiteral(".local/state")); !state.isEmpty())
        p.userStateFolder = state + QStringLiteral("/tobrel/");
    p.environmentRoot = environmentText("TOBREL_DATA_ROOT");
    p.userId = ::getuid();
    return p;
}

void readSettingsFile(const QString &path, bool ownerMayBeUser, uid_t userId, Settings &settings)
{
    QByteArray bytes;
    if (path.isEmpty() || !readTrustedFile(path, ownerMayBeUser, userId, &bytes))
        return;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        throw DataFileError(path, 0, QStringLiteral("UTF-8 の文字として読めないところがあります"), kErrorNotShiftJis);
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        const QString key = line.left(eq).trimmed();
        if (eq < 0 || !knownKey(key))
            throw DataFileError(path, i + 1,
                                QStringLiteral("「%1」が読めません（書けるのは %2、%3、%4 = 値 の行と # で始まる行です）")
                                    .arg(line, dataRootKey(), dataFolderKey(), programMenuKey()),
                                kErrorNotANumber);
        const QString value = line.mid(eq + 1).trimmed();
        if (value.isEmpty() && key != programMenuKey())
            throw DataFileError(path, i + 1, QStringLiteral("%1 の値がありません").arg(key), kErrorNotANumber);
        if (key == dataFolderKey() && !isPlainFolderName(value))
            throw DataFileError(path, i + 1,
                                QStringLiteral("%1 の「%2」はフォルダの名前ではありません（/ を含まない一つの名前にしてください）")
                                    .arg(key, value),
                                kErrorNotANumber);
        settings.values[key] = value;
        settings.fileOf[key] = path;
    }
}

Settings readSettings(const SettingPlaces &places)
{
    Settings settings;
    readSettingsFile(places.systemFile, false, places.userId, settings);
    readSettingsFile(places.userFile, true, places.userId, settings);
    return settings;
}

QByteArray settingsFileText(const Settings &settings)
{
    QString text = QStringLiteral(
        "# Tobrel: where this PC finds the school's data. Written by tobrel-data setup;\n"
        "# see tobrel-data(1). Lines are \"key = value\"; lines starting with # are notes.\n"
        "#\n"
        "# data-root:    the school's data root, the folder that holds 共通データ.txt\n"
        "# data-folder:  the program's data folder in the data root (default: tobrel)\n"
        "# program-menu: what \"0\" on the roster screen starts (the suite's program menu and\n"
        "#               its arguments); without it \"0\" ends the program\n");
    for (const QString &key : {dataRootKey(), dataFolderKey(), programMenuKey()})
        if (settings.has(key))
            text += key + QStringLiteral(" = ") + settings.value(key) + u'\n';
    return text.toUtf8();
}

QString writeSettingsFile(const QString &path, const QByteArray &text)
{
    static std::atomic<unsigned> counter{0};
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    makeFolders(folder);
    auto failed = [&](const QString &what, int err) {
        return QStringLiteral("設定ファイル %1 を書けません: %2（%3）").arg(path, what, systemErrorText(err));
    };
    const int dir = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return failed(QStringLiteral("フォルダ %1 を開けません").arg(folder), errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } dirCloser{dir};

    const QByteArray name = native(info.fileName());
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = '.' + name + ".new" + QByteArray::number(::getpid()) + '-' + QByteArray::number(counter++);
        fd = ::openat(dir, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return failed(QStringLiteral("新しいファイルを作れません"), errno);
    // Readable by every user whatever the umask; writable by its owner alone.
    const bool written = ::fchmod(fd, 0644) == 0 && writeWhole(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int err = written ? errno : writeError;
        ::unlinkat(dir, temporary.constData(), 0);
        return failed(QStringLiteral("書き込めません"), err);
    }
    if (::renameat(dir, temporary.constData(), dir, name.constData()) != 0) {
        const int err = errno;
        ::unlinkat(dir, temporary.constData(), 0);
        return failed(QStringLiteral("置き換えられません"), err);
    }
    ::fsync(dir);
    return {};
}

QString asDataRoot(const QString &folder)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return clean.endsWith(u'/') ? clean : clean + u'/';
}

bool isPlainFolderName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && name != u"." && name != u"..";
}

QString pathDataFileOf(const QString &programFolderPath, QChar separator)
{
    return programFolderPath + separator + QStringLiteral("..") + separator + pathDataFileName();
}

DataLocation suiteCopyLocation(const QString &programFolderPath, QChar separator)
{
    DataLocation where;
    where.programFolderPath = programFolderPath;
    where.suiteCopy = true;
    where.dataFolderName = lastPathComponent(programFolderPath, separator);
    const ProgramMenuCommand menu = programMenuCommand(programFolderPath + separator, separator);
    where.programMenu = QStringList{menu.program} + menu.arguments;
    where.localFolder = programFolderPath + separator;
    where.origin = QStringLiteral("%1 の1番目の項目").arg(pathDataFileOf(programFolderPath, separator));
    return where;
}

DataLocation locateFromSettings(const QString &programFolderPath, const SettingPlaces &places)
{
    const Settings settings = readSettings(places);
    DataLocation where;
    where.from = DataLocation::From::Settings;
    where.programFolderPath = programFolderPath;
    where.dataFolderName = settings.has(dataFolderKey()) ? settings.value(dataFolderKey()) : defaultDataFolderName();
    where.programMenu = QProcess::splitCommand(settings.value(programMenuKey()));
    where.localFolder = places.userStateFolder;
    if (settings.has(dataRootKey())) {
        where.dataRoot = asDataRoot(settings.value(dataRootKey()));
        where.origin = settingsOrigin(settings, dataRootKey());
    }
    return where;
}

DataLocation locateDataRoot(const QString &programFolderPath, const QString &dataRootOption,
                            const SettingPlaces &places, QChar separator)
{
    const QString pathDataFile = pathDataFileOf(programFolderPath, separator);
    DataLocation where = QFileInfo::exists(pathDataFile) ? suiteCopyLocation(programFolderPath, separator)
                                                         : locateFromSettings(programFolderPath, places);

    if (!dataRootOption.isEmpty()) {
        where.from = DataLocation::From::Option;
        where.dataRoot = asDataRoot(dataRootOption);
        where.origin = QStringLiteral("--data-root");
    } else if (!places.environmentRoot.isEmpty()) {
        where.from = DataLocation::From::Environment;
        where.dataRoot = asDataRoot(places.environmentRoot);
        where.origin = QStringLiteral("環境変数 TOBREL_DATA_ROOT");
    } else if (where.suiteCopy) {
        where.dataRoot = ReadPathData(programFolderPath + separator, separator);
    } else if (where.dataRoot.isEmpty()) {
        throw DataFileError(places.systemFile, 0, notSetUpText(pathDataFile, places), kErrorFileNotFound);
    }
    return where;
}

} // namespace tobrel
