#include "text/SystemError.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace tobrel {

QString systemErrorText(int err)
{
    switch (err) {
    case ENOENT:
        return QStringLiteral("ファイルがありません");
    case ENOTDIR:
        return QStringLiteral("ファイルを入れるフォルダがありません");
    case EACCES:
    case EPERM:
        return QStringLiteral("読み書きが許可されていません");
    case EROFS:
        return QStringLiteral("書き込みのできない場所です");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクがいっぱいです");
    case EFBIG:
        return QStringLiteral("ファイルがこれ以上大きくなれません");
    case EIO:
        return QStringLiteral("ディスクかネットワークの読み書きに失敗しました");
    case EISDIR:
        return QStringLiteral("ファイルではなくフォルダです");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("開いているファイルが多すぎます");
    case ENAMETOOLONG:
        return QStringLiteral("ファイルの名前が長すぎます");
    case EBUSY:
    case ETXTBSY:
    case EAGAIN:
        return QStringLiteral("ほかのプログラムが使っています");
    case ESTALE:
    case ENOTCONN:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ETIMEDOUT:
        return QStringLiteral("共有フォルダにつながりません");
    case EEXIST:
        return QStringLiteral("同じ名前のファイルかフォルダがもうあります");
    case ENOLCK:
    case EOPNOTSUPP:
        return QStringLiteral(
            "共有フォルダがファイルのロックを受け付けません（共有のマウントの設定を確かめてください）");
    case ELOOP:
        return QStringLiteral("リンクになっています（リンクの先は使いません）");
    case kErrnoNotPlainFile:
        return QStringLiteral("ふつうのファイルではありません");
    case 0:
        return QStringLiteral("原因のわからない失敗です");
    default:
        return QStringLiteral("システムエラー（番号%1）").arg(err);
    }
}

int errorNumberOfErrno(int err)
{
    switch (err) {
    case ENOENT:
        return kErrorFileNotFound;
    case ENOTDIR:
        return kErrorFolderNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return kErrorNotPermitted;
    case ENOSPC:
    case EDQUOT:
        return kErrorDiskFull;
    case EIO:
    case ESTALE:
    case ENOTCONN:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ETIMEDOUT:
        return kErrorDevice;
    default:
        return kErrorAccess;
    }
}

QString fileFailureText(int err, const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return systemErrorText(EISDIR);
    if ((err == ENOENT || err == 0) && !info.exists() && !info.absoluteDir().exists())
        return systemErrorText(ENOTDIR);
    return systemErrorText(err);
}

} // namespace tobrel
