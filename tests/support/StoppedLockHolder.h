#pragma once
// A child process that takes the exclusive lock on a file and stops itself
// (SIGSTOP), as an instance does that is stopped (Ctrl+Z, a debugger) while it
// holds a lock. It is killed when the object goes.

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

class StoppedLockHolder {
public:
    explicit StoppedLockHolder(const std::string &lockFile)
    {
        m_pid = ::fork();
        if (m_pid == 0) { // only calls that are safe after fork
            const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
                ::_exit(1);
            ::raise(SIGSTOP);
            ::_exit(0);
        }
        int status = 0;
        m_stopped = m_pid > 0 && ::waitpid(m_pid, &status, WUNTRACED) == m_pid && WIFSTOPPED(status);
    }
    ~StoppedLockHolder()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    StoppedLockHolder(const StoppedLockHolder &) = delete;
    StoppedLockHolder &operator=(const StoppedLockHolder &) = delete;

    // True once the child holds the lock and is stopped.
    bool Stopped() const { return m_stopped; }
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_stopped = false;
};
