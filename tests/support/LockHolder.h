// Another PC that took the results file's lock and hung: a child process that holds a
// whole-file write lock on a path until it is released (killed).
#pragma once
#include <QFile>
#include <QString>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tobrel::test {

struct LockHolder {
    pid_t pid = -1;
    explicit LockHolder(const QString &path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT, 0666);
            struct flock fl {};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            if (fd < 0 || ::fcntl(fd, F_SETLK, &fl) != 0)
                _exit(1);
            if (::write(ready[1], "x", 1) != 1)
                _exit(1);
            for (;;)
                ::pause();
        }
        char c;
        if (::read(ready[0], &c, 1) != 1)
            pid = -1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;
    void release()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    ~LockHolder() { release(); }
};

} // namespace tobrel::test
