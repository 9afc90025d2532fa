// The system's printing, behind a small interface so that tests can say "no printer"
// or keep what would have been printed. Documents go to the default printer of the
// system's print service (CUPS) as PDF files of A4 pages, one job per document.
#pragma once
#include <QString>

class QWidget;

namespace tobrel {

class Printers {
public:
    virtual ~Printers() = default;
    // What keeps this PC from printing at all (the print service's library is not
    // installed), naming it; empty when printing can be tried.
    virtual QString missing() { return {}; }
    // The default printer's name; empty, with the reason in `why`, when there is none.
    virtual QString defaultPrinter(QString *why) = 0;
    // Sends a PDF file to the printer as one job. False, with the print service's
    // reason, when the job is refused.
    virtual bool printFile(const QString &printer, const QString &pdfPath, const QString &title, QString *error) = 0;
};

// CUPS: the local print service, with bounded waits so that an unreachable service
// never hangs the program.
class CupsPrinters final : public Printers {
public:
    QString missing() override;
    QString defaultPrinter(QString *why) override;
    bool printFile(const QString &printer, const QString &pdfPath, const QString &title, QString *error) override;
};

// The save and folder dialogs, behind an interface so that tests can answer them.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen file, or empty when the dialog was cancelled.
    virtual QString saveFile(QWidget *parent, const QString &title, const QString &suggested,
                             const QString &filter) = 0;
    // The chosen folder, or empty when the dialog was cancelled.
    virtual QString folder(QWidget *parent, const QString &title, const QString &start) = 0;
};

// Qt's own dialogs (alike on every desktop), shown at the scale of the form they are
// opened from: its font and a size in proportion to the form, so that they read as well
// as the form on a classroom display.
class QtFileDialogs final : public FileDialogs {
public:
    QString saveFile(QWidget *parent, const QString &title, const QString &suggested, const QString &filter) override;
    QString folder(QWidget *parent, const QString &title, const QString &start) override;
};

// Where a save dialog first opens: the folder last saved into in this run of the
// program (lastFolder), else the user's documents folder, else the home folder.
QString saveFolder(const QString &lastFolder);

class MessageBoxes;
// A file to save into, chosen in the save dialog, which opens in saveFolder(lastFolder)
// with suggestedName; lastFolder then becomes the chosen file's folder. A name typed
// without `extension` (".pdf") gets it added; the dialog asked only about the name as
// typed, so a file of the fuller name is asked about here before it is replaced. Empty
// when cancelled.
QString chooseSaveFile(FileDialogs &dialogs, MessageBoxes &messages, QWidget *parent, QString &lastFolder,
                       const QString &title, const QString &suggestedName, const QString &filter,
                       const QString &extension);
// A folder to save into, chosen in the folder dialog opened in saveFolder(lastFolder);
// lastFolder then becomes it. Empty when cancelled.
QString chooseSaveFolder(FileDialogs &dialogs, QWidget *parent, QString &lastFolder, const QString &title);

} // namespace tobrel
