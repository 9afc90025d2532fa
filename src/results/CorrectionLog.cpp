#include "results/CorrectionLog.h"

#include "results/RecordText.h"
#include "text/Cp932.h"
#include "text/DurableFile.h"
#include "text/SystemError.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tobrel {

QString computerName()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("不明") : name;
}

namespace {

// A damaged record may hold any bytes in its school field: line ends, commas and other
// control characters are written as \xNN, so that every action stays one line of six
// fields and the bytes can still be read back by hand.
QString oneField(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == u',')
            out += QStringLiteral("\\x") + QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

} // namespace

QString correctionLine(const Correction &c)
{
    auto fields = [](const std::optional<ResultRecord> &r) {
        return r ? oneField(recordFieldsText(*r)) : QStringLiteral("なし");
    };
    QString computer = c.computer;
    computer.replace(u',', u' ');
    return QStringList{c.when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
                       computer,
                       c.action,
                       QStringLiteral("記録%1").arg(c.recordNumber),
                       QStringLiteral("変更前 ") + fields(c.before),
                       QStringLiteral("変更後 ") + fields(c.after)}
        .join(u',');
}

CorrectionLogFile::CorrectionLogFile(const QString &dataFolder)
    : m_folder(dataFolder), m_path(dataFolder + correctionLogFileName())
{}

QString CorrectionLogFile::append(const std::vector<Correction> &corrections) const
{
    if (corrections.empty())
        return {};
    QByteArray bytes;
    for (const Correction &c : corrections)
        bytes += toCp932(correctionLine(c)) + "\r\n";

    auto fail = [&](const QString &what, int err) {
        return QStringLiteral("訂正記録 %1 に書き込めません: %2 (%3)").arg(m_path, what, systemErrorText(err));
    };
    Fd folder(openFolder(m_folder));
    if (folder.get() < 0)
        return fail(QStringLiteral("フォルダを開けません"), errno);
    for (int attempt = 0; attempt < 10; ++attempt) {
        // Made fresh when missing, so this call knows whether the file is its own.
        bool created = true;
        Fd log(openPlainFileAt(folder.get(), correctionLogFileName(), O_WRONLY | O_CREAT | O_EXCL));
        if (log.get() < 0 && errno == EEXIST) {
            created = false;
            log = Fd(openPlainFileAt(folder.get(), correctionLogFileName(), O_WRONLY));
        }
        if (log.get() < 0)
            return fail(QStringLiteral("開けません"), errno);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        int rc;
        do {
            rc = ::fcntl(log.get(), F_SETLKW, &lock);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0)
            return fail(QStringLiteral("ロックできません"), errno);
        // A log that another PC made and removed again while this one waited for it
        // (its lines could not be written) is no longer the log: open it again.
        struct stat open {
        }, named{};
        if (::fstat(log.get(), &open) != 0 ||
            ::fstatat(folder.get(), QFile::encodeName(correctionLogFileName()).constData(), &named,
                      AT_SYMLINK_NOFOLLOW) != 0 ||
            open.st_dev != named.st_dev || open.st_ino != named.st_ino)
            continue;
        const off_t end = open.st_size;
        QString error;
        if (::lseek(log.get(), end, SEEK_SET) != end)
            error = fail(QStringLiteral("長さを調べられません"), errno);
        else if (!writeWhole(log.get(), bytes))
            error = fail(QStringLiteral("書き込めません"), errno);
        else if (::fsync(log.get()) != 0)
            error = fail(QStringLiteral("ディスクに書き出せません"), errno);
        if (!error.isEmpty()) {
            // Lines cut short are no lines: the log goes back to where it ended, and a
            // log made for them alone goes too, while the lock keeps others out.
            if (::ftruncate(log.get(), end) == 0)
                ::fsync(log.get());
            if (created && end == 0)
                removeIfStillAt(folder.get(), correctionLogFileName(), log.get());
        }
        lock.l_type = F_UNLCK;
        ::fcntl(log.get(), F_SETLK, &lock);
        return error;
    }
    return fail(QStringLiteral("開けません"), EBUSY);
}

QString appendCorrections(const QString &dataFolder, const std::vector<Correction> &corrections)
{
    return CorrectionLogFile(dataFolder).append(corrections);
}

RewriteOutcome correctWithLog(const CorrectionLogFile &log,
                              const std::function<std::vector<Correction>(const RewriteOutcome &planned)> &lines,
                              const std::function<RewriteOutcome(const ResultsFile::BeforeChange &)> &change)
{
    std::vector<Correction> logged;
    RewriteOutcome out = change([&](const RewriteOutcome &planned) -> QString {
        std::vector<Correction> wanted = lines(planned);
        const QString error = log.append(wanted);
        if (error.isEmpty())
            logged = std::move(wanted);
        return error;
    });
    if (out.ok() || logged.empty())
        return out;
    for (Correction &c : logged)
        c.action += QStringLiteral("（成績ファイルに書き込めなかったため、行われていません）");
    const QString error = log.append(logged);
    if (!error.isEmpty())
        out.message += QStringLiteral("\n訂正記録にはこの訂正が書いてありますが、行われていません。") + error;
    return out;
}

} // namespace tobrel
