#pragma once
// A pseudo-terminal that stands in for a serial port, published under a stable
// path (a symbolic link to the slave device).
//
// The program keeps the slave side open itself, so the master never sees
// end-of-file or EIO when the client closes the port and opens it again. The
// slave starts in raw mode (no echo, no line editing, no CR/LF mapping). A
// lock file beside the link ("<link>.lock", held with flock) tells a live
// owner from a dead one: a link left by a dead run is replaced, one held by a
// running program is not.
//
// Because the tty lives on through the program's own descriptor, a client
// that dies while it holds the port in exclusive mode (TIOCEXCL, which serial
// libraries set) would leave it locked for everyone else. The program watches
// the slave device and clears exclusive mode whenever a client closes it:
// call ClientClosed when WatchFd becomes readable.

#include <memory>
#include <string>

class PseudoTerminal {
public:
    // heldElsewhere, when given, tells whether it failed only because a
    // running program publishes linkPath.
    static std::unique_ptr<PseudoTerminal> Open(const std::string &linkPath, std::string &error,
                                                bool *heldElsewhere = nullptr);
    ~PseudoTerminal(); // removes the link (if it is still ours) and the lock file

    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    int MasterFd() const { return master_; }
    const std::string &LinkPath() const { return link_; }
    const std::string &SlavePath() const { return slavePath_; }
    int WatchFd() const { return watch_; }
    void ClientClosed();

private:
    PseudoTerminal() = default;
    bool Publish(std::string &error, bool *heldElsewhere);

    int master_ = -1;
    int slave_ = -1;
    int lock_ = -1;
    int watch_ = -1; // inotify on the slave device: clients closing it
    std::string slavePath_;
    std::string link_;
    bool published_ = false;
};

// Where published links live: $XDG_RUNTIME_DIR/<name> (made with mode 0700 when
// missing), or, when XDG_RUNTIME_DIR is unset, a private folder made with
// mkdtemp under /tmp and removed again at exit.
class LinkFolder {
public:
    static std::unique_ptr<LinkFolder> Make(const std::string &name, std::string &error);
    ~LinkFolder();
    std::string Path(const std::string &file) const { return folder_ + "/" + file; }
    // Publishes at the first of name, name2 .. name16 that no running program
    // holds, so that several runs can share the folder.
    std::unique_ptr<PseudoTerminal> OpenFreeLink(const std::string &name, std::string &error) const;

private:
    std::string folder_;
    bool temporary_ = false;
};
