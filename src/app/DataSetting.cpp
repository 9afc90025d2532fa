#include "app/DataSetting.h"

#include "app/Configuration.h"
#include "roster/NameList.h"
#include "text/DataFileError.h"
#include "text/DurableFile.h"
#include "text/SystemError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
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

bool knownKey(const QString &key) { return key == dataRootKey() || key == dataFolderKey() || key == programMenuKey(); }

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
        throw refuse(QStringLiteral("設定ファイルにしては大きすぎます（%1バイト）").arg(st.st_size),
                     kErrorFileTooLarge);
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

QString userName(uid_t uid)
{
    if (const passwd *pw = ::getpwuid(uid); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(uid);
}

// Makes the missing folders of path, each for this user alone.
void makeFolders(const QString &path)
{
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    makeFolders(QFileInfo(path).absolutePath());
    ::mkdir(native(path).constData(), 0700);
}

// A blank followed by "#" in a value: most likely a note copied behind it, which would
// become part of the value.
bool hasTrailingNote(const QString &value)
{
    for (qsizetype i = 1; i < value.size(); ++i)
        if (value[i] == u'#' && value[i - 1].isSpace())
            return true;
    return false;
}

QString noteAdvice() { return QStringLiteral("注釈は # で始まる別の行に書いてください"); }

// What is wrong with a value of the settings file, or "".
QString settingValueProblem(const QString &key, const QString &value)
{
    if (value.isEmpty())
        return key == programMenuKey() ? QString() : QStringLiteral("%1 の値がありません").arg(key);
    if (key == dataRootKey()) {
        if (!value.startsWith(u'/'))
            return QStringLiteral("%1 の「%2」は / で始まるフォルダの名前で書いてください").arg(key, value);
        // A folder whose name holds " #" is taken as it stands when it is there.
        if (hasTrailingNote(value) && !QFileInfo(value).isDir())
            return QStringLiteral("%1 の「%2」の「#」から後も値になります（そういうフォルダはありません）。%3")
                .arg(key, value, noteAdvice());
    } else if (key == dataFolderKey()) {
        if (!isPlainFolderName(value))
            return QStringLiteral(
                       "%1 の「%2」はフォルダの名前ではありません（空白・/・# を含まない一つの名前にしてください）")
                .arg(key, value);
    } else if (key == programMenuKey()) {
        QString error;
        splitProgramMenu(value, &error);
        if (!error.isEmpty())
            return QStringLiteral("%1 の「%2」が読めません: %3").arg(key, value, error);
    }
    return {};
}

QString settingsOrigin(const Settings &settings, const QString &key)
{
    return QStringLiteral("設定ファイル %1 の %2").arg(settings.fileOf.value(key), key);
}

QString notSetUpText(const QString &pathDataFile, const SettingPlaces &places)
{
    QStringList files{places.systemFile};
    if (!places.userFile.isEmpty())
        files << places.userFile;
    return QStringLiteral(
               "この PC では、塾のデータがどこにあるかがまだ設定されていません。\n"
               "管理者が次のコマンドで、データルート（共通データ.txt のあるフォルダ）を設定してください:\n"
               "  sudo tobrel-data setup データルート\n"
               "一度だけなら tobrel --data-root データルート で起動できます。\n"
               "（%1 を書いた設定ファイル（%2）がありません。スイートのフォルダに置いたプログラムなら %3 を読みます）")
        .arg(dataRootKey(), files.join(QStringLiteral("、")), QDir::cleanPath(pathDataFile));
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
            throw DataFileError(
                path, i + 1,
                QStringLiteral("「%1」が読めません（書けるのは %2、%3、%4 = 値 の行と # で始まる行です）")
                    .arg(line, dataRootKey(), dataFolderKey(), programMenuKey()),
                kErrorNotANumber);
        const QString value = line.mid(eq + 1).trimmed();
        if (const QString wrong = settingValueProblem(key, value); !wrong.isEmpty())
            throw DataFileError(path, i + 1, wrong, kErrorNotANumber);
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
    QString text =
        QStringLiteral("# Tobrel: where this PC finds the school's data. Written by tobrel-data setup;\n"
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
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    auto failed = [&](const QString &what, int err) {
        return QStringLiteral("設定ファイル %1 を書けません: %2（%3）").arg(path, what, systemErrorText(err));
    };
    // The file and the folders made for it belong to whoever runs this: root writing
    // into a user's home (sudo keeps HOME) would leave that user a folder they cannot
    // use. Such a folder is not written into; its owner writes it.
    QString existing = folder;
    while (!QFileInfo::exists(existing) && existing != QFileInfo(existing).absolutePath())
        existing = QFileInfo(existing).absolutePath();
    if (struct stat st{}; ::stat(native(existing).constData(), &st) == 0 && st.st_uid != ::geteuid())
        return QStringLiteral("設定ファイル %1 を書けません: フォルダ %2 の持ち主（%3）は、このコマンドを動かしている"
                              "ユーザー（%4）ではありません。そのユーザーとして動かしてください")
            .arg(path, existing, userName(st.st_uid), userName(::geteuid()));
    makeFolders(folder);
    // Readable by every user whatever the umask; writable by its owner alone.
    NewFileBeside::Options options;
    options.mode = 0644;
    NewFileBeside file(path, options);
    if (const Fd dir(openFolder(folder)); dir.get() < 0)
        return failed(QStringLiteral("フォルダ %1 を開けません").arg(folder), errno);
    if (!file.open())
        return failed(QStringLiteral("新しいファイルを作れません"), file.error());
    if (!writeWhole(file.fd(), text))
        return failed(QStringLiteral("書き込めません"), errno);
    if (!file.flush())
        return failed(QStringLiteral("書き込めません"), file.error());
    if (const QString refused = file.replaceTarget(); !refused.isEmpty())
        return failed(QStringLiteral("置き換えられません"), file.error());
    return {};
}

QString asDataRoot(const QString &folder)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return clean.endsWith(u'/') ? clean : clean + u'/';
}

bool isPlainFolderName(const QString &name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](QChar c) { return c == u'/' || c == u'#' || c.isSpace() || c.unicode() < 0x20; });
}

QStringList splitProgramMenu(const QString &command, QString *error)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote; // the quote that opened the current quoted piece, or none
    for (const QChar c : command) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (c == u'\'' || c == u'"') {
            quote = c;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            if (c == u'#' && !inWord) {
                if (error)
                    *error = QStringLiteral("「#」から後が注釈のようです。") + noteAdvice();
                return {};
            }
            word += c;
            inWord = true;
        }
    }
    if (!quote.isNull()) {
        if (error)
            *error = QStringLiteral("%1 が閉じていません").arg(quote);
        return {};
    }
    if (inWord)
        words << word;
    if (error)
        error->clear();
    return words;
}

QString shellQuoted(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[\\w/._+,:=@%-]+$"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    if (plain.match(word).hasMatch())
        return word;
    QString quoted = word;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

namespace {
constexpr qsizetype kFileNameMaxBytes = 255;
}

QString keptRunsFolder(const QString &userStateFolder, const QString &dataFolder)
{
    if (userStateFolder.isEmpty())
        return {};
    QString path = QDir::cleanPath(dataFolder);
    QString name;
    for (const QChar c : path) {
        if (c == u'%' || c == u'/' || c.unicode() < 0x20)
            name += u'%' + QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        else
            name += c;
    }
    if (QFile::encodeName(name).size() > kFileNameMaxBytes) {
        // A long path: a hash of the whole path to keep it apart, then as much of its
        // start as fits, to be read by eye.
        const QString hash =
            u'~' +
            QString::fromLatin1(QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(16)) +
            u'~';
        while (QFile::encodeName(name).size() > kFileNameMaxBytes - hash.size())
            name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
        name = hash + name;
    }
    return userStateFolder + (userStateFolder.endsWith(u'/') ? QString() : QStringLiteral("/")) + name + u'/';
}

QString dataFolderOfKeptRuns(const QString &folderName)
{
    if (!folderName.startsWith(QStringLiteral("%2F")) || folderName.contains(u'/'))
        return {};
    const QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(folderName.toUtf8()));
    if (keptRunsFolder(QStringLiteral("/"), decoded) != u'/' + folderName + u'/')
        return {};
    return decoded + u'/';
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
    where.programMenu = splitProgramMenu(settings.value(programMenuKey()));
    if (settings.has(dataRootKey())) {
        where.dataRoot = asDataRoot(settings.value(dataRootKey()));
        where.origin = settingsOrigin(settings, dataRootKey());
        where.localFolder = keptRunsFolder(places.userStateFolder, where.dataRoot + where.dataFolderName);
    }
    return where;
}

DataLocation locateDataRoot(const QString &programFolderPath, const ThisStart &start, const SettingPlaces &places,
                            QChar separator)
{
    const QString pathDataFile = pathDataFileOf(programFolderPath, separator);
    const bool suiteCopy = QFileInfo::exists(pathDataFile);
    const QString namedRoot = !start.dataRoot.isEmpty() ? start.dataRoot : places.environmentRoot;
    DataLocation where;
    if (suiteCopy) {
        where = suiteCopyLocation(programFolderPath, separator);
    } else if (!namedRoot.isEmpty()) {
        // A root named for this start stands alone: the settings describe the PC's own
        // school and are not read for another.
        where.programFolderPath = programFolderPath;
        where.dataFolderName = defaultDataFolderName();
    } else {
        where = locateFromSettings(programFolderPath, places);
        if (where.dataRoot.isEmpty())
            throw DataFileError(QString(), 0, notSetUpText(pathDataFile, places), kErrorFileNotFound);
    }
    if (!start.dataFolder.isEmpty())
        where.dataFolderName = start.dataFolder;

    if (!start.dataRoot.isEmpty()) {
        where.from = DataLocation::From::Option;
        where.origin = QStringLiteral("--data-root");
    } else if (!places.environmentRoot.isEmpty()) {
        where.from = DataLocation::From::Environment;
        where.origin = QStringLiteral("環境変数 TOBREL_DATA_ROOT");
    }
    if (!namedRoot.isEmpty())
        where.dataRoot = asDataRoot(namedRoot);
    else if (suiteCopy)
        where.dataRoot = ReadPathData(programFolderPath + separator, separator);

    // Only the suite's own data folder takes the runs kept in the program's folder.
    if (where.from != DataLocation::From::PathData || !start.dataFolder.isEmpty())
        where.localFolder = keptRunsFolder(places.userStateFolder, where.dataRoot + where.dataFolderName);
    return where;
}

} // namespace tobrel
