// Paper from the program: pages drawn on A4 (portrait or landscape) go to the default
// printer as one job ("印刷"), or into a PDF file the teacher chooses ("PDF保存"). The
// result sheet and the class overview both go through here, so that they print, save,
// refuse and report alike.
//
//   pages (a title, the orientation, a function that draws them on fresh paper)
//     -> PDF bytes (A4, 10 mm margins, drawn in twips)
//     -> the printer: a PDF in a private temporary folder, sent as one job
//     -> a file: the save dialog, never over one of the school's files, written beside
//        the chosen name and renamed over it when complete.
#pragma once
#include "state/DrawingSurface.h"

#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace tobrel {

class Printers;
class FileDialogs;
class MessageBoxes;
struct Configuration;

// A wait cursor while pages are printed or written.
struct BusyCursor {
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

struct PaperPages {
    QString title; // the print job's and the PDF document's title
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    // Draws every page on fresh paper, calling the surface's newPage() between pages.
    std::function<void(DrawingSurface &)> draw;
};

// The default printer, or "" with *message telling the teacher why there is none and
// what to do.
QString findPrinter(Printers &printers, QString *message);
// The pages to `printer` as one job: "" when the printer took it, else the message for
// the teacher.
QString printPagesOn(Printers &printers, const QString &printer, const PaperPages &pages);
// Both: the pages on the default printer.
QString printPages(Printers &printers, const PaperPages &pages);

// The pages as a PDF file at `path`, written as a new file beside it and renamed over
// it when complete: a failure leaves nothing under the name, and a link standing at
// the name is replaced, never written through. False with *error naming the file.
bool writePdfFile(const PaperPages &pages, const QString &path, QString *error);

// What saving a PDF asks of the screen it is saved from.
struct PdfSaving {
    FileDialogs &dialogs;
    MessageBoxes &messages;
    const Configuration &config; // the school's folders, never saved over
    QString &lastFolder; // where the last save went; the next dialog opens there
    QWidget *parent = nullptr;
};

// Why a PDF must not be saved at `path` (it would take the place of one of the school's
// files, also through a link), or "".
QString pdfRefusal(const Configuration &config, const QString &path);
// A file chosen in the save dialog for one PDF (".pdf" added to a name typed without
// it, a file of that fuller name asked about before it is replaced). Empty when the
// dialog was cancelled, or when the file is refused: the teacher is told why.
QString askPdfFile(const PdfSaving &saving, const QString &dialogTitle, const QString &suggestedName);
// What the teacher is told after saving `what` ("成績表"): the files saved, then the
// failure that stopped the rest ("" when none).
QString pdfSavedMessage(const QString &what, const QStringList &saved, const QString &failure);
// What the teacher is told when a PDF could not be written.
QString pdfFailure(const QString &error);
// "PDF保存" of one document: asks for the file, writes it and tells the teacher.
// True when it was saved.
bool savePdf(const PdfSaving &saving, const QString &dialogTitle, const QString &suggestedName, const QString &what,
             const PaperPages &pages);

} // namespace tobrel
