// Time from the exec of the verrin program to its main window on screen, with
// the writes of the settings file it makes on the way. Each round starts the
// program twice on a private settings folder, offscreen: first with no
// settings at all (a first start, which stores every default), then again on
// the file the first run left at its exit (every value already stored).
// A small plugin in the program (WindowShownReporter.cpp) prints the steady
// clock at the window's first expose; the writes are counted with inotify on
// the settings folder: Verrin writes the file only by putting a new one in
// its place (a rename, or a link for the first), and each of those is one
// write.
//
//   build/bench/first_window_bench [--rounds N] [--verrin PATH]
#include "ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ftw.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Counts the writes of one file in a folder watched with inotify.
class WriteCounter {
public:
    WriteCounter(const std::string &folder, std::string name) : m_name(std::move(name))
    {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0)
            inotify_add_watch(m_fd, folder.c_str(), IN_MOVED_TO | IN_CREATE);
    }
    ~WriteCounter()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    WriteCounter(const WriteCounter &) = delete;
    WriteCounter &operator=(const WriteCounter &) = delete;

    // The writes since the last call.
    int Take()
    {
        alignas(inotify_event) char buffer[16384];
        ssize_t n;
        while ((n = read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char *p = buffer; p < buffer + n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(p);
                if (e->len > 0 && m_name == e->name)
                    ++m_count;
                p += sizeof(inotify_event) + e->len;
            }
        }
        const int count = m_count;
        m_count = 0;
        return count;
    }

private:
    std::string m_name;
    int m_fd = -1;
    int m_count = 0;
};

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Start {
    double ms = -1; // exec to window; negative when no window came
    int writesBefore = 0, writesAtExit = 0;
    std::string failure;
};

// Starts verrin in `scratch` and waits up to 20 s for its window.
Start MeasureStart(const std::string &verrinPath, const std::string &scratch)
{
    const std::string settingsFolder = scratch + "/config/Brondel";
    WriteCounter writes(settingsFolder, "Verrin.reg");
    const std::string log = scratch + "/verrin.log";
    const Clock::time_point exec = Clock::now();
    Start s;
    {
        ChildProcess verrin({verrinPath},
                            {{"XDG_CONFIG_HOME", scratch + "/config"},
                             {"XDG_RUNTIME_DIR", scratch + "/runtime"},
                             {"HOME", scratch + "/home"},
                             {"QT_QPA_PLATFORM", "offscreen"},
                             {"QT_PLUGIN_PATH", REPORTER_DIR},
                             {"QT_QPA_GENERIC_PLUGINS", "windowshownreporter"}},
                            log);
        const std::string marker = "window shown: ";
        while (Clock::now() - exec < std::chrono::seconds(20) && verrin.Running()) {
            const std::string text = ReadFile(log);
            const size_t at = text.find(marker);
            if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
                const long long ns = std::atoll(text.c_str() + at + marker.size());
                s.ms = double(ns - std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       exec.time_since_epoch())
                                       .count()) /
                       1e6;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        s.writesBefore = writes.Take();
        if (s.ms < 0)
            s.failure = verrin.Running() ? "no window within 20 s" : "verrin " + verrin.ExitText();
    } // SIGTERM: the window closes and saves
    s.writesAtExit = writes.Take();
    if (s.ms < 0)
        s.failure += ": " + ReadFile(log);
    return s;
}

std::string MakeScratch()
{
    char folder[] = "/tmp/verrin-first-window-XXXXXX";
    if (!mkdtemp(folder))
        return {};
    const std::string root = folder;
    for (const char *sub : {"/config", "/config/Brondel", "/runtime", "/home"})
        mkdir((root + sub).c_str(), 0700);
    return root;
}

void RemoveTree(const std::string &root)
{
    nftw(
        root.c_str(), [](const char *path, const struct stat *, int, FTW *) { return remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 7;
    std::string verrin = VERRIN_BIN_DIR "/verrin";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--verrin") == 0 && i + 1 < argc) {
            verrin = argv[++i];
        } else {
            std::fprintf(stderr, "usage: first_window_bench [--rounds N] [--verrin PATH]\n");
            return 2;
        }
    }
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    std::printf("load average %.2f; %d rounds\n", load, rounds);
    std::printf("%-22s %10s %16s %14s\n", "start", "to window", "writes before", "writes at exit");
    std::vector<double> fresh, again;
    for (int round = 0; round < rounds; ++round) {
        const std::string scratch = MakeScratch();
        for (const bool first : {true, false}) {
            const Start s = MeasureStart(verrin, scratch);
            if (!s.failure.empty()) {
                std::fprintf(stderr, "first_window_bench: %s\n", s.failure.c_str());
                RemoveTree(scratch);
                return 1;
            }
            (first ? fresh : again).push_back(s.ms);
            std::printf("%-22s %7.1f ms %16d %14d\n", first ? "first (no settings)" : "again (all stored)", s.ms,
                        s.writesBefore, s.writesAtExit);
        }
        RemoveTree(scratch);
    }
    std::printf("median: first start %.1f ms, again %.1f ms\n", Median(fresh), Median(again));
    return 0;
}
