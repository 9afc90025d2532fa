#include "text/Workbook.h"

#include "text/DayNumber.h"
#include "text/DurableFile.h"
#include "text/LoadedLibrary.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>

namespace tobrel {
namespace {

// libxlsxwriter (and the compression and cryptography libraries it brings) is loaded when
// the first workbook is written, not at every start of the program.
#define TOBREL_XLSXWRITER_FUNCTIONS(X)                                                                                 \
    X(workbook_new_opt)                                                                                                \
    X(workbook_add_format)                                                                                             \
    X(workbook_add_worksheet)                                                                                          \
    X(workbook_close)                                                                                                  \
    X(lxw_workbook_free)                                                                                               \
    X(lxw_strerror)                                                                                                    \
    X(format_set_bold)                                                                                                 \
    X(format_set_num_format)                                                                                           \
    X(worksheet_set_column)                                                                                            \
    X(worksheet_autofilter)                                                                                            \
    X(worksheet_freeze_panes)                                                                                          \
    X(worksheet_write_string)                                                                                          \
    X(worksheet_write_number)

#ifndef TOBREL_XLSXWRITER_LIBRARY
#define TOBREL_XLSXWRITER_LIBRARY "libxlsxwriter.so.4" // a test names one that is not there
#endif
TOBREL_LOADED_LIBRARY(XlsxWriterLibrary, TOBREL_XLSXWRITER_LIBRARY, TOBREL_XLSXWRITER_FUNCTIONS);

// The library, loaded; only used once open() found it there.
const XlsxWriterLibrary &xlsx() { return loadedOnce<XlsxWriterLibrary>(); }

constexpr int kLongestText = 32767; // characters a spreadsheet cell holds
constexpr double kWidestColumn = 80; // a column stays on the screen however long a cell
constexpr double kFilterButton = 2; // the heading's filter button takes room too

// Day numbers and spreadsheet dates agree from 1 March 1900 on; an earlier date is
// written as text, as it reads.
const QDate &firstSpreadsheetDate()
{
    static const QDate first(1900, 3, 1);
    return first;
}

QString dateText(const QDate &date) { return date.toString(QStringLiteral("yyyy/MM/dd")); }

// A cell's text as a spreadsheet takes it: no control characters (an XML file cannot
// hold them; tab and line end stay), at most kLongestText characters.
QString cellText(const QString &text)
{
    const auto unfit = [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF;
    };
    if (text.size() <= kLongestText && std::none_of(text.begin(), text.end(), unfit))
        return text;
    QString t = text;
    t.removeIf(unfit);
    if (t.size() > kLongestText) {
        t.truncate(kLongestText);
        if (t.back().isHighSurrogate())
            t.chop(1);
    }
    return t;
}

QString libraryFailure(lxw_error e)
{
    switch (e) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("メモリが足りません");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("ファイルを作れません");
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("一時ファイルを使えません（一時フォルダがいっぱいかもしれません）");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("書き込めません（ディスクがいっぱいかもしれません）");
    default:
        return QStringLiteral("エラー %1: %2").arg(int(e)).arg(QString::fromUtf8(xlsx().lxw_strerror(e)));
    }
}

// The places after the decimal point a number format shows ("0.00" shows two).
int decimalsOf(const QString &format)
{
    const qsizetype point = format.indexOf(u'.');
    if (point < 0)
        return 0;
    int n = 0;
    for (qsizetype i = point + 1; i < format.size() && (format[i] == u'0' || format[i] == u'#'); ++i)
        ++n;
    return n;
}

} // namespace

int spreadsheetTextWidth(const QString &text)
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        // East Asian wide and full-width characters take two columns.
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

struct Workbook::Private {
    QString path;
    int64_t rowsPerSheet;
    NewFileBeside file;
    lxw_workbook *book = nullptr;
    lxw_format *heading = nullptr;
    lxw_format *date = nullptr;
    lxw_format *timeOfDay = nullptr;
    QHash<QString, lxw_format *> numberFormats;

    // The sheet being written.
    lxw_worksheet *sheet = nullptr;
    QString sheetName;
    int sheetNumber = 0; // of the sheets under this name
    std::vector<WorkbookColumn> columns;
    std::vector<lxw_format *> columnFormats;
    std::vector<int> widths;
    std::vector<int> decimals;
    int64_t rowsInSheet = 0;
    QStringList usedNames;

    Private(QString p, int64_t rows) : path(std::move(p)), rowsPerSheet(rows), file(path) {}

    bool fail(QString *error, const QString &why) const
    {
        if (error)
            *error = QStringLiteral("Excelファイル %1 を書けません（%2）").arg(QDir::toNativeSeparators(path), why);
        return false;
    }

    lxw_format *numberFormat(const QString &format)
    {
        if (format.isEmpty())
            return nullptr;
        auto it = numberFormats.find(format);
        if (it == numberFormats.end()) {
            lxw_format *f = xlsx().workbook_add_format(book);
            xlsx().format_set_num_format(f, format.toUtf8().constData());
            it = numberFormats.insert(format, f);
        }
        return *it;
    }

    // The sheet's columns as wide as what they hold, and the filter over its rows.
    void finishSheet()
    {
        if (!sheet || columns.empty())
            return;
        for (size_t c = 0; c < columns.size(); ++c)
            xlsx().worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), std::min(kWidestColumn, widths[c] + 1.0), nullptr);
        xlsx().worksheet_autofilter(sheet, 0, 0, lxw_row_t(rowsInSheet), lxw_col_t(columns.size() - 1));
    }

    // Starts the next sheet of the current columns (finish the one before first).
    bool startSheet(QString *error)
    {
        QString name = sheetName;
        if (sheetNumber > 1) {
            const QString more = QStringLiteral(" (%1)").arg(sheetNumber);
            name = name.left(31 - more.size()) + more;
        }
        // Sheet names are told apart without letter case.
        for (int n = 2; usedNames.contains(name, Qt::CaseInsensitive); ++n) {
            const QString more = QStringLiteral(" (%1)").arg(n);
            name = sheetName.left(31 - more.size()) + more;
        }
        usedNames << name;
        sheet = xlsx().workbook_add_worksheet(book, name.toUtf8().constData());
        if (!sheet)
            return fail(error, QStringLiteral("シート「%1」を作れません").arg(name));
        rowsInSheet = 0;
        for (size_t c = 0; c < columns.size(); ++c) {
            widths[c] = spreadsheetTextWidth(columns[c].title) + int(kFilterButton);
            if (const lxw_error e = xlsx().worksheet_write_string(sheet, 0, lxw_col_t(c),
                                                           cellText(columns[c].title).toUtf8().constData(), heading))
                return fail(error, libraryFailure(e));
        }
        xlsx().worksheet_freeze_panes(sheet, 1, 0);
        return true;
    }

    lxw_error write(lxw_row_t row, lxw_col_t c, const WorkbookCell &cell)
    {
        if (const QString *text = std::get_if<QString>(&cell)) {
            if (text->isEmpty())
                return LXW_NO_ERROR;
            const QString fit = cellText(*text);
            widths[c] = std::max(widths[c], spreadsheetTextWidth(fit));
            return xlsx().worksheet_write_string(sheet, row, c, fit.toUtf8().constData(), nullptr);
        }
        if (const double *number = std::get_if<double>(&cell)) {
            if (!std::isfinite(*number))
                return LXW_NO_ERROR;
            int width = 8;
            if (columns[c].kind != CellKind::TimeOfDay)
                width = int(
                    (columnFormats[c] ? QString::number(*number, 'f', decimals[c]) : QString::number(*number, 'g', 15))
                        .size());
            widths[c] = std::max(widths[c], width);
            return xlsx().worksheet_write_number(sheet, row, c, *number, columnFormats[c]);
        }
        if (const QDate *day = std::get_if<QDate>(&cell)) {
            if (!day->isValid())
                return LXW_NO_ERROR;
            widths[c] = std::max(widths[c], 10);
            if (*day < firstSpreadsheetDate())
                return xlsx().worksheet_write_string(sheet, row, c, dateText(*day).toUtf8().constData(), nullptr);
            return xlsx().worksheet_write_number(sheet, row, c, dayNumber(*day), date);
        }
        return LXW_NO_ERROR;
    }
};

Workbook::Workbook(QString path, int64_t rowsPerSheet)
    : d(std::make_unique<Private>(std::move(path), std::clamp<int64_t>(rowsPerSheet, 1, kMostRowsPerSheet)))
{}

Workbook::~Workbook()
{
    // Given up before commit: the library's memory and temporary files go, and the
    // file beside the name is removed with d->file.
    if (d->book)
        xlsx().lxw_workbook_free(d->book);
}

bool Workbook::open(QString *error)
{
    if (!xlsx().problem().isEmpty()) {
        // Nothing is made: the PC lacks the library that writes the workbook.
        if (error)
            *error = QStringLiteral("Excelファイルを書くライブラリを使えません（%1）。libxlsxwriter4 を入れてください。")
                         .arg(xlsx().problem());
        return false;
    }
    QString failure;
    if (!d->file.open(&failure)) {
        if (error)
            *error = QStringLiteral("Excelファイル ") + failure;
        return false;
    }
    // The library opens the file by name when it finishes: give it the file just made,
    // through its descriptor, so nothing put at the temporary name meanwhile is written.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(d->file.fd());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    d->book = xlsx().workbook_new_opt(self.constData(), &options);
    if (!d->book)
        return d->fail(error, libraryFailure(LXW_ERROR_MEMORY_MALLOC_FAILED));
    d->heading = xlsx().workbook_add_format(d->book);
    xlsx().format_set_bold(d->heading);
    d->date = xlsx().workbook_add_format(d->book);
    xlsx().format_set_num_format(d->date, "yyyy/mm/dd");
    d->timeOfDay = xlsx().workbook_add_format(d->book);
    xlsx().format_set_num_format(d->timeOfDay, "hh:mm:ss");
    return true;
}

bool Workbook::addSheet(const QString &name, std::vector<WorkbookColumn> columns, QString *error)
{
    if (!d->book)
        return d->fail(error, QStringLiteral("開かれていません"));
    d->finishSheet();
    static const QRegularExpression forbidden(QStringLiteral("[\\[\\]:*?/\\\\]"));
    QString clean = QString(name).replace(forbidden, QStringLiteral("_")).trimmed();
    // A name may neither start nor end with an apostrophe.
    while (clean.startsWith(u'\''))
        clean.remove(0, 1);
    while (clean.endsWith(u'\''))
        clean.chop(1);
    if (clean.isEmpty())
        clean = QStringLiteral("Sheet");
    d->sheetName = clean.left(31);
    d->sheetNumber = 1;
    d->columns = std::move(columns);
    d->columnFormats.assign(d->columns.size(), nullptr);
    d->widths.assign(d->columns.size(), 0);
    d->decimals.assign(d->columns.size(), 0);
    for (size_t c = 0; c < d->columns.size(); ++c) {
        const WorkbookColumn &col = d->columns[c];
        if (col.kind == CellKind::Number) {
            d->columnFormats[c] = d->numberFormat(col.numberFormat);
            d->decimals[c] = decimalsOf(col.numberFormat);
        } else if (col.kind == CellKind::TimeOfDay) {
            d->columnFormats[c] = d->timeOfDay;
        } else if (col.kind == CellKind::Date) {
            d->columnFormats[c] = d->date;
        }
    }
    return d->startSheet(error);
}

bool Workbook::addRow(std::span<const WorkbookCell> cells, QString *error)
{
    if (!d->sheet)
        return d->fail(error, QStringLiteral("シートがありません"));
    if (d->rowsInSheet >= d->rowsPerSheet) {
        d->finishSheet();
        ++d->sheetNumber;
        if (!d->startSheet(error))
            return false;
    }
    const lxw_row_t row = lxw_row_t(d->rowsInSheet + 1);
    const size_t n = std::min(cells.size(), d->columns.size());
    for (size_t c = 0; c < n; ++c)
        if (const lxw_error e = d->write(row, lxw_col_t(c), cells[c]))
            return d->fail(error, libraryFailure(e));
    ++d->rowsInSheet;
    ++m_rowsWritten;
    return true;
}

bool Workbook::commit(QString *error)
{
    if (!d->book)
        return d->fail(error, QStringLiteral("開かれていません"));
    // A workbook holds at least one sheet.
    if (!d->sheet && !addSheet(QStringLiteral("Sheet"), {}, error))
        return false;
    d->finishSheet();
    const lxw_error e = xlsx().workbook_close(d->book); // frees the workbook, whatever the outcome
    d->book = nullptr;
    if (e != LXW_NO_ERROR)
        return d->fail(error, libraryFailure(e));
    QString failure;
    if (!d->file.commit(&failure)) {
        if (error)
            *error = QStringLiteral("Excelファイル ") + failure;
        return false;
    }
    return true;
}

} // namespace tobrel
