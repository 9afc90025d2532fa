// An Excel workbook (.xlsx) written a row at a time: sheets of typed columns, so that a
// spreadsheet gets dates as dates, times of day and figures as numbers and codes and
// names as text ("01234" stays "01234", "=1+1" stays a name and never runs). Each
// sheet's heading row is bold and frozen, with a filter on it, and its columns are as
// wide as their longest cell. A sheet that would pass the most rows a spreadsheet
// holds goes on in a new sheet of the same columns ("成績 (2)").
//
// Memory does not grow with the rows (libxlsxwriter's constant-memory mode keeps one
// row and spills the rest to an unnamed temporary file). The workbook is written
// beside its name and renamed over it by commit(): a workbook that fails or is given
// up (the writer destroyed before commit) leaves no file, and a link standing at the
// name is replaced, never written through.
#pragma once
#include <QDate>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <variant>
#include <vector>

namespace tobrel {

enum class CellKind {
    Text, // a QString
    Number, // a double, in the column's number format ("" shows it as it is)
    Date, // a QDate, shown yyyy/mm/dd
    TimeOfDay, // a double: the fraction of a day, shown hh:mm:ss
};

struct WorkbookColumn {
    QString title;
    CellKind kind = CellKind::Text;
    QString numberFormat; // for Number columns: "0", "0.00", ...; "" for as it is
};

// One cell: empty, or the value its column's kind holds (a value of another kind is
// written as what it is, a date as a date).
using WorkbookCell = std::variant<std::monostate, QString, double, QDate>;

class Workbook {
public:
    // The most data rows one sheet takes (a spreadsheet's rows less the heading).
    static constexpr int64_t kMostRowsPerSheet = 1048575;

    explicit Workbook(QString path, int64_t rowsPerSheet = kMostRowsPerSheet);
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    // Creates the temporary file beside the path; false with *error naming the file.
    bool open(QString *error);
    // Starts a sheet with its heading row. The name is cut to what a sheet name may
    // hold (31 characters, none of []:*?/\).
    bool addSheet(const QString &name, std::vector<WorkbookColumn> columns, QString *error);
    // The next row of the current sheet; cells past the columns are ignored.
    bool addRow(std::span<const WorkbookCell> cells, QString *error);
    // Finishes the workbook and renames it over the path; false with *error.
    bool commit(QString *error);

    int64_t rowsWritten() const { return m_rowsWritten; }

private:
    struct Private;
    std::unique_ptr<Private> d;
    int64_t m_rowsWritten = 0;
};

// The width a text takes in a spreadsheet's columns (a full-width character two).
int spreadsheetTextWidth(const QString &text);

} // namespace tobrel
