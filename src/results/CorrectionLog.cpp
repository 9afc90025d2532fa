#include "results/CorrectionLog.h"

#include "results/RecordText.h"
#include "text/Cp932.h"
#include "text/FileReplace.h"
#include "text/SystemError.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
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
    return QStringList{c.when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")), computer, c.action,
                       QStringLiteral("記録%1").arg(c.recordNumber),
                       QStringLiteral("変更前 ") + fields(c.before), QStringLiteral("変更後 ") + fields(c.after)}
        .join(u',');
}

CorrectionLogFile::CorrectionLogFile(const QString &dataFolder) : m_path(dataFolder + correctionLogFileName())
{
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_fd < 0)
        m_error = QStringLiteral("訂正記録 %1 を開けません (%2)").arg(m_path, systemErrorText(errno));
}

CorrectionLogFile::~CorrectionLogFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString CorrectionLogFile::append(const std::vector<Correction> &corrections)
{
    if (m_fd < 0)
        return m_error;
    if (corrections.empty())
        return {};
    QByteArray bytes;
    for (const Correction &c : corrections)
        bytes += toCp932(correctionLine(c)) + "\r\n";

    auto fail = [&](const QString &what, int err) {
        return QStringLiteral("訂正記録 %1 に書き込めません: %2 (%3)").arg(m_path, what, systemErrorText(err));
    };
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    int rc;
    do {
        rc = ::fcntl(m_fd, F_SETLKW, &lock);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return fail(QStringLiteral("ロックできません"), errno);
    QString error;
    if (!writeWhole(m_fd, bytes))
        error = fail(QStringLiteral("書き込めません"), errno);
    else if (::fsync(m_fd) != 0)
        error = fail(QStringLiteral("ディスクに書き出せません"), errno);
    lock.l_type = F_UNLCK;
    ::fcntl(m_fd, F_SETLK, &lock);
    return error;
}

QString appendCorrections(const QString &dataFolder, const std::vector<Correction> &corrections)
{
    if (corrections.empty())
        return {};
    CorrectionLogFile log(dataFolder);
    return log.append(corrections);
}

} // namespace tobrel
