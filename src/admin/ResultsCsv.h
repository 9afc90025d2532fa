// The results file as a spreadsheet: one CSV row per stored run, with the student's
// name and grade, the level's name and the run's points, for the teacher's own
// tables. Both the data tool's "export" and the results manager's "CSV出力" write it;
// "export --xlsx" and "Excel出力" write the same rows as an Excel workbook, each cell
// typed (dates as dates, figures as numbers, codes and names as text).
//
// Code page 932 by default, because Excel in Japan opens that by a double click;
// UTF-8 with a byte-order mark on request. Fields are quoted by the usual CSV rules,
// lines end in CR LF. The file is streamed: memory does not grow with the results file.
#pragma once
#include "state/CriteriaValues.h"
#include "state/Tables.h"
#include "results/ResultsFile.h"
#include "text/Workbook.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QIODevice;

namespace tobrel {

struct SharedState;

// What the rows are built from besides the records.
struct ResultsCsvSource {
    QString schoolCode; // this school's code (Configuration::SchoolCode)
    CriteriaTable criteria; // for the points of each run
    std::array<QString, kLevelSlots> levelNames;
    QString rosterPath; // names and grade labels of the students
    int schoolYearStartMonth = 4;
    QDate today; // the grade labels are those of today's school year
};
// The source as the program holds it: school code, criteria, level names of the
// program's profile, the roster of the data root.
ResultsCsvSource csvSourceOf(const SharedState &state, const QDate &today);

struct ResultsCsvOptions {
    bool utf8 = false; // UTF-8 with a byte-order mark instead of code page 932
    std::optional<QDate> from; // runs on or after this day
    std::optional<QDate> to; // runs on or before this day
    std::optional<int> student; // the runs of one student
};

struct ResultsCsvReport {
    int64_t recordCount = 0; // whole records in the results file
    int64_t rowsWritten = 0; // data rows (the header row not counted)
    QString warning; // something the teacher should know, the CSV still written
};

// Progress: records read so far and the file's record count; returning false cancels.
using CsvProgress = std::function<bool(int64_t done, int64_t total)>;

// The header row's texts, in column order.
QStringList resultsCsvHeader();
constexpr int kResultsColumns = 13;

// Writes the CSV of the results file to out. Returns false with error set when the
// results file cannot be read, out cannot be written or progress cancelled.
bool writeResultsCsv(const ResultsFile &results, const ResultsCsvSource &source, const ResultsCsvOptions &options,
                     QIODevice &out, ResultsCsvReport *report, QString *error, const CsvProgress &progress = {});

// The same into a file, written beside it and renamed into place, so an export that
// fails or is cancelled never leaves a partial CSV behind.
bool writeResultsCsvFile(const ResultsFile &results, const ResultsCsvSource &source, const ResultsCsvOptions &options,
                         const QString &csvPath, ResultsCsvReport *report, QString *error,
                         const CsvProgress &progress = {});

// The name a save dialog suggests: "成績_20240207.csv".
QString suggestedCsvFileName(const QDate &today);
// What the teacher is told once the CSV is written.
QString csvWrittenMessage(const QString &csvPath, const ResultsCsvReport &report);

// The workbook's columns: the CSV's headings, each with the kind of its cells.
std::vector<WorkbookColumn> resultsWorkbookColumns();

// The CSV's rows as an Excel workbook (sheet "成績", more sheets past a spreadsheet's
// rows), written beside the path and renamed into place: a failed or cancelled export
// leaves no file. The options' utf8 does not apply. Memory does not grow with the
// results file.
bool writeResultsWorkbook(const ResultsFile &results, const ResultsCsvSource &source, const ResultsCsvOptions &options,
                          const QString &path, ResultsCsvReport *report, QString *error,
                          const CsvProgress &progress = {}, int64_t rowsPerSheet = Workbook::kMostRowsPerSheet);

// "成績_20240207.xlsx".
QString suggestedWorkbookFileName(const QDate &today);
// What the teacher is told once the workbook is written.
QString workbookWrittenMessage(const QString &path, const ResultsCsvReport &report);

// One CSV field: quoted when it holds a comma, a quote or a line end (quotes doubled).
// A text that a spreadsheet would take for a formula (it starts with "=", "+", "-" or
// "@") gets a leading apostrophe, so a name in the roster can never run as one.
QString csvTextField(const QString &text);

} // namespace tobrel
