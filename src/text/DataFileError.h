// The error every reader of the suite's data files raises: it names the file, the
// line where it happened and what is wrong, so a message can tell a teacher exactly
// which file to look at.
#pragma once
#include <QString>

#include <stdexcept>

namespace tobrel {

class DataFileError : public std::runtime_error {
public:
    DataFileError(QString file, int line, QString problem)
        : std::runtime_error(problem.toStdString()), m_file(std::move(file)), m_line(line),
          m_problem(std::move(problem))
    {
    }
    const QString &file() const { return m_file; }
    int line() const { return m_line; }
    const QString &problem() const { return m_problem; }
    // "<file> (<line>行目): <problem>", the line left out when it is not known.
    QString message() const;

private:
    QString m_file;
    int m_line;
    QString m_problem;
};

} // namespace tobrel
