#include "results/CorrectionLog.h"

#include "results/RecordText.h"
#include "text/Cp932.h"
#include "text/FileReplace.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tobrel {

QString computerName()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("不明") : name;
}

QString correctionLine(const Correction &c)
{
    auto fields = [](const std::optional<ResultRecord> &r) {
        return r ? recordFieldsText(*r) : QStringLiteral("なし");
    };
    QString computer = c.computer;
    computer.replace(u',', u' ');
    return QStringList{c.when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")), computer, c.action,
                       QStringLiteral("記録%1").arg(c.recordNumber),
                       QStringLiteral("変更前 ") + fields(c.before), QStringLiteral("変更後 ") + fields(c.after)}
        .join(u',');
}

QString appendCorrections(const QString &dataFolder, const std::vector<Correction> &corrections)
{
    if (corrections.empty())
        return {};
    QByteArray bytes;
    for (const Correction &c : corrections)
        bytes += toCp932(correctionLine(c)) + "\r\n";

    const QString path = dataFolder + correctionLogFileName();
    const QByteArray native = QFile::encodeName(path);
    auto fail = [&](const QString &what) {
        return QStringLiteral("訂正記録 %1 に書き込めません: %2 (%3)")
            .arg(path, what, QString::fromLocal8Bit(std::strerror(errno)));
    };
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(QStringLiteral("開けません"));
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    int rc;
    do {
        rc = ::fcntl(fd, F_SETLKW, &lock);
    } while (rc != 0 && errno == EINTR);
    QString error;
    if (rc != 0) {
        error = fail(QStringLiteral("ロックできません"));
    } else {
        if (!writeWhole(fd, bytes))
            error = fail(QStringLiteral("書き込めません"));
        if (error.isEmpty() && ::fsync(fd) != 0)
            error = fail(QStringLiteral("ディスクに書き出せません"));
    }
    ::close(fd);
    return error;
}

} // namespace tobrel
