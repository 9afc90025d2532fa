// What the tests of printing and PDFs share: a print service that keeps its jobs, and
// poppler's tools on a written PDF.
#pragma once
#include "ui/Printers.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace tobrel::test {

// A print service: not installed, no printer at all, one that refuses every job, or one
// that keeps copies of the documents it was sent.
struct FakePrinters final : Printers {
    QString printer;
    QString refusal;
    QString keepIn;
    QString lacking; // the print service's library, when it is not there
    QStringList jobs;
    QString missing() override { return lacking; }
    QString defaultPrinter(QString *why) override
    {
        if (printer.isEmpty())
            *why = QStringLiteral("既定のプリンターが設定されていません");
        return printer;
    }
    bool printFile(const QString &name, const QString &pdfPath, const QString &title, QString *error) override
    {
        if (!refusal.isEmpty()) {
            *error = refusal;
            return false;
        }
        jobs << name + u'|' + title;
        QFile::copy(pdfPath, keepIn + QStringLiteral("/job%1.pdf").arg(jobs.size()));
        return true;
    }
};

// pdfinfo / pdftotext on a file.
inline QString poppler(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(30000))
        return QStringLiteral("(%1 did not finish)").arg(tool);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A field of pdfinfo ("Pages", "Page size", "Title"), or "".
inline QString pdfInfo(const QString &pdf, const QString &field)
{
    for (const QString &line : poppler(QStringLiteral("pdfinfo"), {pdf}).split(u'\n'))
        if (line.startsWith(field + u':'))
            return line.mid(field.size() + 1).trimmed();
    return {};
}

inline int pageCount(const QString &pdf)
{
    const QString pages = pdfInfo(pdf, QStringLiteral("Pages"));
    return pages.isEmpty() ? -1 : pages.toInt();
}

} // namespace tobrel::test
