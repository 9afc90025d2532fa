#include "ui/PaperOutput.h"

#include "state/SchoolFiles.h"
#include "text/DurableFile.h"
#include "text/SystemError.h"
#include "ui/MessageBoxes.h"
#include "ui/Printers.h"
#include "ui/TwipsSurfaces.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <cerrno>

namespace tobrel {
namespace {

const QString kPdf = QStringLiteral(".pdf");

// The pages as the bytes of a PDF document; false with *error.
bool pdfBytes(const PaperPages &pages, QByteArray *pdf, QString *error)
{
    QBuffer buffer(pdf);
    buffer.open(QIODevice::WriteOnly);
    std::unique_ptr<PaperDocument> paper = PaperDocument::open(buffer, pages.title, pages.orientation, error);
    if (!paper)
        return false;
    if (pages.draw)
        pages.draw(*paper);
    return paper->finish(error);
}

} // namespace

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

QString findPrinter(Printers &printers, QString *message)
{
    // A PC without the print service's library: no printer to connect would help.
    if (const QString missing = printers.missing(); !missing.isEmpty()) {
        if (message)
            *message = QStringLiteral("印刷できません。このパソコンには印刷サービス（CUPS）のライブラリが"
                                      "入っていません。\n\n%1\n\n管理者に libcups2 を入れてもらうか、"
                                      "「PDF保存」でファイルにしてください。")
                           .arg(missing);
        return {};
    }
    QString why;
    const QString printer = printers.defaultPrinter(&why);
    if (printer.isEmpty() && message)
        *message = QStringLiteral("印刷できません。プリンターが見つかりません（%1）。\n\n"
                                  "プリンターをつないで電源を入れ、このパソコンの既定のプリンターに"
                                  "してから、もう一度「印刷」を押してください。")
                       .arg(why);
    return printer;
}

QString printPagesOn(Printers &printers, const QString &printer, const PaperPages &pages)
{
    // The job's file stays on this PC, in a folder of this user's own, and goes with it.
    QString error;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("pages.pdf"));
    if (!folder.isValid() || !writePdfFile(pages, path, &error))
        return QStringLiteral("印刷できませんでした。印刷するページを作れません。\n\n%1")
            .arg(error.isEmpty() ? QDir::tempPath() : error);
    if (!printers.printFile(printer, path, pages.title, &error))
        return QStringLiteral("印刷できませんでした。プリンター「%1」が受け付けませんでした。\n\n%2")
            .arg(printer, error);
    return {};
}

QString printPages(Printers &printers, const PaperPages &pages)
{
    QString message;
    const QString printer = findPrinter(printers, &message);
    return printer.isEmpty() ? message : printPagesOn(printers, printer, pages);
}

bool writePdfFile(const PaperPages &pages, const QString &path, QString *error)
{
    QByteArray pdf;
    QString why;
    if (!pdfBytes(pages, &pdf, &why)) {
        if (error)
            *error = QStringLiteral("PDF ファイル %1 を書けません（%2）。").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    NewFileBeside file(path);
    if (!file.open(error))
        return false;
    if (!writeWhole(file.fd(), pdf)) {
        if (error)
            *error = QStringLiteral("PDF ファイル %1 を書けません（%2）。")
                         .arg(QDir::toNativeSeparators(path), fileFailureText(errno, path));
        return false;
    }
    return file.commit(error);
}

QString pdfRefusal(const Configuration &config, const QString &path) { return schoolFileRefusal(config, path, kPdf); }

QString askPdfFile(const PdfSaving &saving, const QString &dialogTitle, const QString &suggestedName)
{
    const QString path = chooseSaveFile(saving.dialogs, saving.messages, saving.parent, saving.lastFolder, dialogTitle,
                                        suggestedName, QStringLiteral("PDF (*.pdf)"), kPdf);
    if (path.isEmpty())
        return {};
    // Never over one of the school's files, also not through a link.
    if (const QString refusal = pdfRefusal(saving.config, path); !refusal.isEmpty()) {
        saving.messages.information(saving.parent, QStringLiteral("Tobrel"), refusal);
        return {};
    }
    return path;
}

QString pdfSavedMessage(const QString &what, const QStringList &saved, const QString &failure)
{
    if (saved.isEmpty())
        return failure;
    return QStringLiteral("%1を PDF で保存しました。\n\n").arg(what) + saved.join(u'\n') +
           (failure.isEmpty() ? QString() : QStringLiteral("\n\n") + failure);
}

QString pdfFailure(const QString &error) { return QStringLiteral("PDF を保存できませんでした。\n\n") + error; }

bool savePdf(const PdfSaving &saving, const QString &dialogTitle, const QString &suggestedName, const QString &what,
             const PaperPages &pages)
{
    const QString path = askPdfFile(saving, dialogTitle, suggestedName);
    if (path.isEmpty())
        return false;
    QString error;
    bool written = false;
    {
        BusyCursor busy;
        written = writePdfFile(pages, path, &error);
    }
    const QStringList saved = written ? QStringList{QDir::toNativeSeparators(path)} : QStringList{};
    saving.messages.information(saving.parent, QStringLiteral("Tobrel"),
                                pdfSavedMessage(what, saved, written ? QString() : pdfFailure(error)));
    return written;
}

} // namespace tobrel
