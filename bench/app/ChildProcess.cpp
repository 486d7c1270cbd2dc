#include "ChildProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

ChildProcess::ChildProcess(const std::vector<std::string> &argv,
                           const std::vector<std::pair<std::string, std::string>> &environment,
                           const std::string &logPath)
{
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    m_pid = fork();
    if (m_pid == 0) {
        for (const auto &[name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        std::fprintf(stderr, "cannot start %s: %s\n", args[0], std::strerror(errno));
        _exit(127);
    }
    if (log >= 0)
        close(log);
    if (m_pid < 0)
        m_ended = true;
}

ChildProcess::~ChildProcess()
{
    if (!Running())
        return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 50 && Running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (Running()) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

bool ChildProcess::Running()
{
    if (!m_ended && waitpid(m_pid, &m_status, WNOHANG) == m_pid)
        m_ended = true;
    return !m_ended;
}

std::string ChildProcess::ExitText() const
{
    if (m_pid < 0)
        return "could not be started";
    if (WIFSIGNALED(m_status))
        return "was killed by signal " + std::to_string(WTERMSIG(m_status));
    return "exited with status " + std::to_string(WEXITSTATUS(m_status));
}

bool ChildProcess::HasOpen(const std::string &path) const
{
    const std::string folder = "/proc/" + std::to_string(m_pid) + "/fd";
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (dirent *entry = readdir(dir)) {
        char target[4096];
        const ssize_t n = readlink((folder + "/" + entry->d_name).c_str(), target, sizeof target);
        if (n > 0 && path.compare(0, std::string::npos, target, size_t(n)) == 0)
            found = true;
    }
    closedir(dir);
    return found;
}

double ChildProcess::CpuSeconds() const
{
    std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')'); // the command name may hold blanks
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) { // fields are numbered from 1
        if (i == 14)
            utime = std::stoull(field);
        else if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

long ChildProcess::PeakRssKb() const { return StatusKb("VmHWM:"); }
long ChildProcess::RssKb() const { return StatusKb("VmRSS:"); }

long ChildProcess::StatusKb(const char *field) const
{
    std::ifstream in("/proc/" + std::to_string(m_pid) + "/status");
    std::string name;
    long kb = 0;
    while (in >> name) {
        if (name == field) {
            in >> kb;
            return kb;
        }
        in.ignore(1 << 16, '\n');
    }
    return 0;
}

std::string FindOnPath(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? name : std::string();
    std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    for (std::string folder; std::getline(path, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}
