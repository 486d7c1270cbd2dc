// Receive speed of a terminal program measured from outside: the program runs
// as a child on a pty with a private home and settings, offscreen, and this
// process feeds it 80-character lines at full speed. After a warm-up that
// fills the program's terminal (Verrin keeps 4,000,000 characters; the
// warm-up is over three times that), the timed part reports the rate the
// program read at, how long it stayed busy after the last byte (a program
// that reads ahead of its display shows a backlog here), its CPU seconds per
// MB and its peak RSS.
//
//   build/bench/outside_receive_bench [--program verrin|cutecom] [--hex]
//       [--mb N] [--warmup-mb N] [--stall S] [--max-rss-mb N]
//   build/bench/outside_receive_bench [options] --press CONTROL... -- COMMAND ARGS...
//
// In the second form "{port}" in the arguments stands for the pty's device
// path, and each --press names a button or check box to press before the
// feed starts (see ControlPresser.cpp). MB are 2^20 bytes.
#include "ChildProcess.h"
#include "PtyFeeder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ftw.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
constexpr double kMiB = 1 << 20;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Options {
    std::string program = "verrin";
    bool hex = false;
    double megabytes = 20;
    double warmupMegabytes = 12;
    double stallSeconds = 10;
    long maxRssMb = 4096;
    std::vector<std::string> press;   // controls to press, in order
    std::vector<std::string> command; // program and arguments; "{port}" is the pty
};

// How to start one program on a port: its command, the files of its private
// home, and the controls that set it up.
struct Launch {
    std::string label;
    std::vector<std::string> command;
    std::vector<std::pair<std::string, std::string>> files; // path below the home, text
    std::vector<std::string> press;
};

Launch VerrinLaunch(bool hex)
{
    // The binary display is off at every start; its check box switches it on.
    Launch l{"verrin", {VERRIN_BIN_DIR "/verrin", "--port", "{port}", "--connect"}, {}, {}};
    if (hex)
        l.press = {"Binary Mode"};
    return l;
}

Launch CuteComLaunch(bool hex)
{
    // A session on the pty; CuteCom opens it only with hardware flow control,
    // and only when its Open button is pressed. Its hex view is not kept in
    // the session, so that check box is pressed too.
    Launch l{"cutecom", {"cutecom", "--session", "bench"}, {}, {}};
    l.files.push_back({"config/CuteCom/CuteCom5.conf",
                       "[CuteCom]\nsession=bench\n\n[sessions]\n"
                       "1\\BaudRate=115200\n1\\DataBits=8\n1\\Device={port}\n1\\FlowControl=1\n"
                       "1\\OpenMode=3\n1\\Parity=0\n1\\StopBits=1\n1\\name=bench\nsize=1\n"});
    if (hex)
        l.press.push_back("m_check_hex_out");
    l.press.push_back("m_bt_open");
    return l;
}

std::string WithPort(std::string text, const std::string &port)
{
    for (size_t at; (at = text.find("{port}")) != std::string::npos;)
        text.replace(at, 6, port);
    return text;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The major Qt version the executable links, from the library names it
// carries; 0 if it names neither.
int QtMajorVersion(const std::string &executable)
{
    const std::string image = ReadFile(executable);
    if (image.find("libQt6Core.so") != std::string::npos)
        return 6;
    if (image.find("libQt5Core.so") != std::string::npos)
        return 5;
    return 0;
}

// Waits until the program's CPU use falls below a tenth of a core over a
// 300 ms window. Returns the seconds it was busy before that window (0 if
// the first window is idle), or a negative value if it is still busy after
// maxSeconds.
double WaitIdle(ChildProcess &program, double maxSeconds)
{
    constexpr double kWindow = 0.3;
    for (int busyWindows = 0; busyWindows * kWindow < maxSeconds && program.Running(); ++busyWindows) {
        const double cpu = program.CpuSeconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(kWindow));
        if (program.CpuSeconds() - cpu < kWindow / 10)
            return busyWindows * kWindow;
    }
    return -1;
}

double LoadAverage()
{
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

int Usage(FILE *to, int status)
{
    std::fprintf(to,
                 "usage: outside_receive_bench [--program verrin|cutecom] [--hex] [--mb N] [--warmup-mb N]\n"
                 "           [--stall S] [--max-rss-mb N]\n"
                 "       outside_receive_bench [options] [--press CONTROL]... -- COMMAND ARGS...\n"
                 "  \"{port}\" in ARGS stands for the pty's path; each --press names a button or check box\n"
                 "  (object name or text) to press before the feed starts. MB are 2^20 bytes.\n");
    return status;
}

bool ParseOptions(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--hex")
            o.hex = true;
        else if (a == "--program" && hasValue)
            o.program = argv[++i];
        else if (a == "--mb" && hasValue)
            o.megabytes = std::atof(argv[++i]);
        else if (a == "--warmup-mb" && hasValue)
            o.warmupMegabytes = std::atof(argv[++i]);
        else if (a == "--stall" && hasValue)
            o.stallSeconds = std::atof(argv[++i]);
        else if (a == "--max-rss-mb" && hasValue)
            o.maxRssMb = std::atol(argv[++i]);
        else if (a == "--press" && hasValue)
            o.press.push_back(argv[++i]);
        else if (a == "--") {
            o.command.assign(argv + i + 1, argv + argc);
            return !o.command.empty();
        } else
            return false;
    }
    return o.program == "verrin" || o.program == "cutecom";
}

int Fail(const std::string &text)
{
    std::fprintf(stderr, "outside_receive_bench: %s\n", text.c_str());
    return 1;
}

// The last lines of the program's log, to show why it failed.
std::string LogTail(const std::string &log)
{
    const size_t from = log.size() > 1500 ? log.size() - 1500 : 0;
    return log.empty() ? std::string() : "\nits output:\n" + log.substr(from);
}

std::string OutcomeText(PtyFeeder::Outcome outcome, const std::string &name, ChildProcess &program,
                        const Options &o, size_t written)
{
    char after[64];
    std::snprintf(after, sizeof after, " after %.1f MB", double(written) / kMiB);
    switch (outcome) {
    case PtyFeeder::Outcome::Stalled:
        return name + " stopped reading" + after + ": it took nothing for " + std::to_string(int(o.stallSeconds)) +
               " s";
    case PtyFeeder::Outcome::Ended:
        return name + " " + (program.Running() ? "ended" : program.ExitText()) + after;
    case PtyFeeder::Outcome::TooLarge:
        return name + " grew past " + std::to_string(o.maxRssMb) + " MB resident" + after;
    case PtyFeeder::Outcome::Done:
        break;
    }
    return {};
}

// How long the program stayed busy after the last byte, to the 0.3 s the
// idle check can tell.
std::string BusyText(double seconds)
{
    char text[64];
    if (seconds < 0)
        std::snprintf(text, sizeof text, "still busy 300 s");
    else if (seconds == 0)
        std::snprintf(text, sizeof text, "idle within 0.3 s");
    else
        std::snprintf(text, sizeof text, "busy %.1f s", seconds);
    return text;
}

// Lays out the program's private home (its settings files, a runtime
// folder), puts the port into its command, and returns the environment it
// runs with.
std::vector<std::pair<std::string, std::string>> PrepareHome(Launch &launch, const std::string &home,
                                                             const std::string &port, const std::string &pluginPath)
{
    for (const auto &[path, text] : launch.files) {
        const std::string full = home + "/" + path;
        for (size_t slash = home.size() + 1; (slash = full.find('/', slash)) != std::string::npos; ++slash)
            mkdir(full.substr(0, slash).c_str(), 0700);
        std::ofstream(full) << WithPort(text, port);
    }
    mkdir((home + "/run").c_str(), 0700);
    for (std::string &a : launch.command)
        a = WithPort(a, port);

    std::vector<std::pair<std::string, std::string>> environment{
        {"QT_QPA_PLATFORM", "offscreen"},
        {"HOME", home},
        {"XDG_CONFIG_HOME", home + "/config"},
        {"XDG_RUNTIME_DIR", home + "/run"}};
    if (!launch.press.empty()) {
        std::string names;
        for (const std::string &n : launch.press)
            names += (names.empty() ? "" : ";") + n;
        environment.insert(environment.end(), {{"QT_PLUGIN_PATH", pluginPath},
                                               {"QT_QPA_GENERIC_PLUGINS", "controlpresser"},
                                               {"BENCH_PRESS", names}});
    }
    return environment;
}

// Waits until the program has the port open and every control is pressed.
// Returns what went wrong, or nothing.
std::string WaitUntilReady(ChildProcess &program, const Launch &launch, const std::string &port,
                           const std::string &logPath)
{
    // The presser gives up on a missing control after 30 s and says which.
    const auto start = Clock::now();
    for (;;) {
        const std::string log = ReadFile(logPath);
        if (!program.Running())
            return launch.label + " " + program.ExitText() + " before the feed began" + LogTail(log);
        const size_t missing = log.find("control presser: no control");
        if (missing != std::string::npos)
            return launch.label + ": " + log.substr(missing, log.find('\n', missing) - missing);
        if (program.HasOpen(port) &&
            (launch.press.empty() || log.find("control presser: done") != std::string::npos))
            return {};
        if (SecondsSince(start) > 45)
            return launch.label + " did not open " + port + " within 45 s" + LogTail(log);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

int RemoveEntry(const char *path, const struct stat *, int, FTW *) { return remove(path); }
} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (argc == 2 && !std::strcmp(argv[1], "--help"))
        return Usage(stdout, 0);
    if (!ParseOptions(argc, argv, o))
        return Usage(stderr, 2);
    Launch launch = o.command.empty() ? (o.program == "verrin" ? VerrinLaunch(o.hex) : CuteComLaunch(o.hex))
                                      : Launch{o.command[0], o.command, {}, o.press};
    const std::string label = launch.label + (o.command.empty() ? (o.hex ? ", hex view" : ", text view") : "");

    const std::string executable = FindOnPath(launch.command[0]);
    if (executable.empty())
        return Fail(launch.command[0] + " is not installed: no such program" +
                    (launch.command[0].find('/') == std::string::npos ? " on PATH" : ""));
    std::string pluginPath;
    if (!launch.press.empty()) {
        const int qt = QtMajorVersion(executable);
        pluginPath = std::string(PRESSER_DIR) + "/qt" + std::to_string(qt);
        if (qt == 0)
            return Fail("cannot tell which Qt " + executable + " uses, so its controls cannot be pressed");
        if (access((pluginPath + "/generic/libcontrol_presser.so").c_str(), R_OK) != 0)
            return Fail("the control presser for Qt " + std::to_string(qt) +
                        " was not built (its development files were missing when the build was configured)");
    }

    PtyFeeder feeder;
    if (!feeder.Opened())
        return Fail("cannot open a pty");
    char scratchName[] = "/tmp/outside_receive_bench.XXXXXX";
    if (!mkdtemp(scratchName))
        return Fail("cannot make a scratch folder");
    const std::string home = scratchName;
    struct Cleanup {
        std::string path;
        ~Cleanup() { nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }
    } cleanup{home};
    const auto environment = PrepareHome(launch, home, feeder.PortPath(), pluginPath);
    const std::string logPath = home + "/output.log";
    const double loadBefore = LoadAverage();
    ChildProcess program(launch.command, environment, logPath);

    if (const std::string problem = WaitUntilReady(program, launch, feeder.PortPath(), logPath); !problem.empty())
        return Fail(problem);
    WaitIdle(program, 10);

    const long maxRssKb = o.maxRssMb * 1024;
    const size_t warmup = size_t(o.warmupMegabytes * kMiB);
    auto outcome = feeder.Feed(warmup, program, o.stallSeconds, maxRssKb);
    if (outcome != PtyFeeder::Outcome::Done)
        return Fail(OutcomeText(outcome, launch.label, program, o, feeder.Written()) + " (warm-up)");
    const double warmupCatchUp = WaitIdle(program, 120);
    const long warmRssKb = program.RssKb();

    const size_t total = size_t(o.megabytes * kMiB);
    const double cpu0 = program.CpuSeconds();
    const auto t0 = Clock::now();
    outcome = feeder.Feed(total, program, o.stallSeconds, maxRssKb);
    const double writeSeconds = SecondsSince(t0);
    if (outcome != PtyFeeder::Outcome::Done)
        return Fail(OutcomeText(outcome, launch.label, program, o, feeder.Written()));
    const double catchUp = WaitIdle(program, 300);
    const double cpu = program.CpuSeconds() - cpu0;
    const double mb = double(total) / kMiB;

    std::printf("%s: %.1f MB in %.2f s = %.2f MB/s received, %s after the last byte; "
                "%.3f CPU s/MB; peak RSS %.0f MB (%.0f MB after the %.0f MB warm-up%s, %.0f MB at the end); "
                "load %.2f before, %.2f after\n",
                label.c_str(), mb, writeSeconds, mb / writeSeconds,
                BusyText(catchUp).c_str(), cpu / mb,
                program.PeakRssKb() / 1024.0, warmRssKb / 1024.0, o.warmupMegabytes,
                warmupCatchUp < 0 ? ", still busy 120 s after it" : "", program.RssKb() / 1024.0, loadBefore,
                LoadAverage());
    return catchUp < 0 ? 1 : 0;
}
