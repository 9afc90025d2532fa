#include "ui/Printers.h"

#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"
#include "text/LoadedLibrary.h"

#include <QFile>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QSplitter>
#include <QTreeView>
#include <QStandardPaths>

#include <cups/cups.h>

namespace tobrel {
namespace {

// The print service's client library, loaded when the program first prints.
#define TOBREL_CUPS_FUNCTIONS(X)                                                                                       \
    X(cupsAddOption)                                                                                                   \
    X(cupsDoRequest)                                                                                                   \
    X(cupsEncryption)                                                                                                  \
    X(cupsFreeDests)                                                                                                   \
    X(cupsFreeOptions)                                                                                                 \
    X(cupsGetNamedDest)                                                                                                \
    X(cupsLastErrorString)                                                                                             \
    X(cupsPrintFile2)                                                                                                  \
    X(cupsServer)                                                                                                      \
    X(httpClose)                                                                                                       \
    X(httpConnect2)                                                                                                    \
    X(httpSetTimeout)                                                                                                  \
    X(ippDelete)                                                                                                       \
    X(ippNewRequest)                                                                                                   \
    X(ippPort)

TOBREL_LOADED_LIBRARY(CupsLibrary, "libcups.so.2", TOBREL_CUPS_FUNCTIONS);

// The library, loaded; only used once cupsLoaded() said it is there.
const CupsLibrary &cups() { return loadedOnce<CupsLibrary>(); }

bool cupsLoaded(QString *why)
{
    if (cups().problem().isEmpty())
        return true;
    if (why)
        *why = QStringLiteral("印刷サービス（CUPS）を使えません（%1）").arg(cups().problem());
    return false;
}

// How long the print service may take: to answer a connection, and to answer a request.
constexpr int kConnectMs = 5000;
constexpr double kRequestSeconds = 10;

// A connection to the print service that closes itself.
class Connection {
public:
    Connection()
        : m_http(cups().httpConnect2(cups().cupsServer(), cups().ippPort(), nullptr, AF_UNSPEC, cups().cupsEncryption(),
                                     1, kConnectMs, nullptr))
    {
        if (m_http)
            cups().httpSetTimeout(m_http, kRequestSeconds, nullptr, nullptr);
    }
    ~Connection()
    {
        if (m_http)
            cups().httpClose(m_http);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    http_t *get() const { return m_http; }

private:
    http_t *m_http;
};

QString lastCupsError() { return QString::fromUtf8(cups().cupsLastErrorString()); }

} // namespace

QString CupsPrinters::missing() { return cups().problem(); }

QString CupsPrinters::defaultPrinter(QString *why)
{
    if (!cupsLoaded(why))
        return {};
    Connection http;
    if (!http.get()) {
        if (why)
            *why = QStringLiteral("印刷サービス（CUPS）に接続できません");
        return {};
    }
    // A service that takes the connection but does not answer is told apart from one
    // without a default printer.
    ipp_t *answer = cups().cupsDoRequest(http.get(), cups().ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
    if (!answer) {
        if (why)
            *why = QStringLiteral("印刷サービス（CUPS）が応答しません");
        return {};
    }
    cups().ippDelete(answer);
    cups_dest_t *dest = cups().cupsGetNamedDest(http.get(), nullptr, nullptr);
    if (!dest) {
        if (why)
            *why = QStringLiteral("既定のプリンターが設定されていません");
        return {};
    }
    QString name = QString::fromUtf8(dest->name);
    cups().cupsFreeDests(1, dest);
    return name;
}

bool CupsPrinters::printFile(const QString &printer, const QString &pdfPath, const QString &title, QString *error)
{
    if (!cupsLoaded(error))
        return false;
    Connection http;
    if (!http.get()) {
        if (error)
            *error = QStringLiteral("印刷サービス（CUPS）に接続できません");
        return false;
    }
    cups_option_t *options = nullptr;
    int count = 0;
    count = cups().cupsAddOption("media", "A4", count, &options);
    count = cups().cupsAddOption("document-format", "application/pdf", count, &options);
    const QByteArray name = printer.toUtf8();
    const QByteArray file = QFile::encodeName(pdfPath);
    const QByteArray jobTitle = title.toUtf8();
    const int job =
        cups().cupsPrintFile2(http.get(), name.constData(), file.constData(), jobTitle.constData(), count, options);
    cups().cupsFreeOptions(count, options);
    if (job == 0) {
        if (error)
            *error = lastCupsError();
        return false;
    }
    return true;
}

namespace {

// Qt's own dialog at the form's scale: the font of the form's controls, and three
// quarters of the form's width by two thirds of its height.
void fitToForm(QFileDialog &dialog, QWidget *parent)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const Screen *form = formOf(parent);
    if (!form)
        return;
    const FormScale &s = form->scale();
    dialog.setFont(s.font(11));
    dialog.resize(s.px(FormScale::kFormWidthTwips * 3 / 4), s.px(FormScale::kFormHeightTwips * 2 / 3));
    // The places beside the list, and the list's columns, wide enough for the larger text.
    if (auto *splitter = dialog.findChild<QSplitter *>(QStringLiteral("splitter")))
        splitter->setSizes({s.px(2400), s.px(FormScale::kFormWidthTwips * 3 / 4 - 2400)});
    if (auto *details = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        details->header()->setStretchLastSection(false);
        details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}

} // namespace

QString QtFileDialogs::saveFile(QWidget *parent, const QString &title, const QString &suggested, const QString &filter)
{
    QFileDialog dialog(parent, title, QFileInfo(suggested).absolutePath(), filter);
    dialog.setObjectName(QStringLiteral("saveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(QFileInfo(suggested).fileName());
    fitToForm(dialog, parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QString QtFileDialogs::folder(QWidget *parent, const QString &title, const QString &start)
{
    QFileDialog dialog(parent, title, start);
    dialog.setObjectName(QStringLiteral("folderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    fitToForm(dialog, parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QString saveFolder(const QString &lastFolder)
{
    if (!lastFolder.isEmpty() && QDir(lastFolder).exists())
        return lastFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() || !QDir(documents).exists() ? QDir::homePath() : documents;
}

QString chooseSaveFile(FileDialogs &dialogs, MessageBoxes &messages, QWidget *parent, QString &lastFolder,
                       const QString &title, const QString &suggestedName, const QString &filter,
                       const QString &extension)
{
    QString path = dialogs.saveFile(parent, title, QDir(saveFolder(lastFolder)).filePath(suggestedName), filter);
    if (path.isEmpty())
        return path;
    lastFolder = QFileInfo(path).absolutePath();
    if (path.endsWith(extension, Qt::CaseInsensitive))
        return path;
    path += extension;
    if (QFileInfo::exists(path) &&
        !messages.question(parent, QStringLiteral("Tobrel"),
                           QStringLiteral("%1 はもうあります。上書きしますか？").arg(QDir::toNativeSeparators(path))))
        return {};
    return path;
}

QString chooseSaveFolder(FileDialogs &dialogs, QWidget *parent, QString &lastFolder, const QString &title)
{
    const QString folder = dialogs.folder(parent, title, saveFolder(lastFolder));
    if (!folder.isEmpty())
        lastFolder = folder;
    return folder;
}

} // namespace tobrel
