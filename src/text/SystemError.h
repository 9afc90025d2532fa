// The operating system's error codes in the program's own words: a Japanese text a
// teacher can act on, and the error number the program's messages give for it, so
// that two different failures never show the same number.
#pragma once
#include <QString>

namespace tobrel {

// Error numbers of the program's messages, one per kind of failure.
enum FileErrorNumber : int {
    kErrorValueTooLarge = 6, // a value does not fit where it is kept
    kErrorOutsideTables = 9, // a number outside the tables (students, levels)
    kErrorNotANumber = 13, // a number field holds no usable number
    kErrorFileTooLarge = 7, // a file far larger than such a file can be
    kErrorFileNotFound = 53, // the file is not there
    kErrorNotShiftJis = 54, // the text is not Shift-JIS (code page 932)
    kErrorDiskFull = 61, // no room left on the disk
    kErrorPastEnd = 62, // the file ends before all its fields were read
    kErrorNotPermitted = 70, // the system refuses access to the file
    kErrorAccess = 75, // any other failure to open or read the file
    kErrorFolderNotFound = 76, // the folder that should hold the file is not there
    kErrorDevice = 57, // the disk or the network failed while reading or writing
};

// What the open of a file the program acts on leaves in errno when the name is there
// but is no plain file (a folder, a device, a pipe); a link gives ELOOP.
constexpr int kErrnoNotPlainFile = -2;

// "ファイルがありません", "読み書きが許可されていません", ... for an errno value.
QString systemErrorText(int err);
// Why a file could not be opened, read or written, for a message: from the errno the
// failing call left, or, where it left none (a check made before any call), from what
// the path is. A file that cannot be made because its folder is missing says so.
QString fileFailureText(int err, const QString &path);
// The error number of the program's messages for an errno value.
int errorNumberOfErrno(int err);

} // namespace tobrel
