#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
std::string Failed(const std::string &what) { return what + ": " + std::strerror(errno); }
} // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(const std::string &linkPath, std::string &error,
                                                     bool *heldElsewhere)
{
    if (heldElsewhere)
        *heldElsewhere = false;
    std::unique_ptr<PseudoTerminal> pty(new PseudoTerminal);
    pty->link_ = linkPath;
    pty->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty->master_ < 0 || ::grantpt(pty->master_) != 0 || ::unlockpt(pty->master_) != 0) {
        error = Failed("cannot open a pseudo-terminal");
        return nullptr;
    }
    const char *name = ::ptsname(pty->master_);
    if (!name) {
        error = Failed("cannot name the pseudo-terminal");
        return nullptr;
    }
    pty->slavePath_ = name;
    pty->slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (pty->slave_ < 0 || ::tcgetattr(pty->slave_, &mode) != 0) {
        error = Failed("cannot open " + pty->slavePath_);
        return nullptr;
    }
    ::cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(pty->slave_, TCSANOW, &mode);
    ::fcntl(pty->master_, F_SETFL, ::fcntl(pty->master_, F_GETFL) | O_NONBLOCK);
    pty->watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (pty->watch_ < 0 || ::inotify_add_watch(pty->watch_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        error = Failed("cannot watch " + pty->slavePath_);
        return nullptr;
    }
    if (!pty->Publish(error, heldElsewhere))
        return nullptr;
    return pty;
}

bool PseudoTerminal::Publish(std::string &error, bool *heldElsewhere)
{
    const std::string lockPath = link_ + ".lock";
    lock_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_ < 0) {
        error = Failed("cannot create " + lockPath);
        return false;
    }
    if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        error = link_ + " is published by a program that is still running; choose another path";
        if (heldElsewhere)
            *heldElsewhere = true;
        ::close(lock_);
        lock_ = -1;
        return false;
    }
    struct stat st {};
    if (::lstat(link_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = link_ + " exists and is not a symbolic link";
        return false;
    }
    // Link under a temporary name, then rename over the old link: a client
    // never sees the path missing or half made.
    const std::string fresh = link_ + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(slavePath_.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), link_.c_str()) != 0) {
        error = Failed("cannot publish " + link_);
        ::unlink(fresh.c_str());
        return false;
    }
    published_ = true;
    return true;
}

void PseudoTerminal::ClientClosed()
{
    char events[4096];
    while (::read(watch_, events, sizeof events) > 0) {
    }
    // While exclusive mode is on nobody else can open the port, so whoever
    // closed it was its holder.
    ::ioctl(slave_, TIOCNXCL);
}

PseudoTerminal::~PseudoTerminal()
{
    if (published_) {
        char target[4096];
        const ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_)
            ::unlink(link_.c_str());
    }
    if (lock_ >= 0) { // the lock is ours, so is its file
        ::unlink((link_ + ".lock").c_str());
        ::close(lock_);
    }
    if (watch_ >= 0)
        ::close(watch_);
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

std::unique_ptr<LinkFolder> LinkFolder::Make(const std::string &name, std::string &error)
{
    std::unique_ptr<LinkFolder> folder(new LinkFolder);
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        folder->folder_ = std::string(runtime) + "/" + name;
        if (::mkdir(folder->folder_.c_str(), 0700) != 0 && errno != EEXIST) {
            error = Failed("cannot create " + folder->folder_);
            return nullptr;
        }
        return folder;
    }
    std::string pattern = "/tmp/" + name + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        error = Failed("cannot create a folder under /tmp");
        return nullptr;
    }
    folder->folder_ = pattern;
    folder->temporary_ = true;
    return folder;
}

LinkFolder::~LinkFolder()
{
    if (temporary_)
        ::rmdir(folder_.c_str());
}

std::unique_ptr<PseudoTerminal> LinkFolder::OpenFreeLink(const std::string &name, std::string &error) const
{
    for (int n = 1; n <= 16; ++n) {
        bool held = false;
        std::unique_ptr<PseudoTerminal> pty =
            PseudoTerminal::Open(Path(n == 1 ? name : name + std::to_string(n)), error, &held);
        if (pty || !held)
            return pty;
    }
    return nullptr;
}
