// The error every reader of the suite's data files raises: it names the file, the
// line where it happened and what is wrong, so a message can tell a teacher exactly
// which file to look at.
#pragma once
#include "text/SystemError.h"

#include <QString>

#include <stdexcept>

namespace tobrel {

class DataFileError : public std::runtime_error {
public:
    // number: the error number the messages give for this kind of failure
    // (text/SystemError.h); 0 when none applies.
    DataFileError(QString file, int line, QString problem, int number = 0)
        : std::runtime_error(problem.toStdString()), m_file(std::move(file)), m_line(line),
          m_problem(std::move(problem)), m_number(number)
    {}
    const QString &file() const { return m_file; }
    int line() const { return m_line; }
    const QString &problem() const { return m_problem; }
    int number() const { return m_number; }
    // "<file> (<line>行目): <problem>", the line left out when it is not known; the
    // problem alone when no one file is at fault (file "").
    QString message() const;
    // "<problem>\n<file>（<line>行目）": the failure as a message to the student shows it.
    QString detail() const;

private:
    QString m_file;
    int m_line;
    QString m_problem;
    int m_number;
};

// The message shown before the program ends because a shared file failed: what could
// not be done, the failure (what is wrong, which file), what to do, and the numbers
// that tell this failure apart from others: where it happened (a procedure and how far
// it got) and the error number.
QString stopMessage(const QString &whatFailed, const QString &detail, int number, const QString &where = {});

} // namespace tobrel
