#include "sim/SimLoop.h"

#include "sim/PacedQueue.h"
#include "sim/PendingWrite.h"
#include "sim/PollTimeout.h"
#include "sim/PseudoTerminal.h"
#include "sim/SignalPipe.h"
#include "sim/VirtualModule.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {
// Bytes read ahead of what the paced line has delivered; beyond this the
// terminal's writes wait in the pty, as they would in a driver's buffer.
constexpr size_t kReadAhead = 4096;
constexpr seconds kChurnPeriod{8};

int Fail(const std::string &message)
{
    std::fprintf(stderr, "verrin-sim: %s\n", message.c_str());
    return 1;
}

std::optional<MeshModel> LoadMesh(const SimOptions &options, std::string &error)
{
    const bool script = !options.scriptFile.empty();
    const std::string &file = script ? options.scriptFile : options.topologyFile;
    if (file.empty())
        return MeshModel::Demo();
    std::ifstream in(file);
    if (!in) {
        error = "cannot read " + file;
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::optional<MeshModel> mesh =
        script ? MeshModel::ParseScript(text.str(), error) : MeshModel::Parse(text.str(), error);
    if (!mesh)
        error = file + ": " + error;
    return mesh;
}

void WriteAll(int fd, const char *data, size_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        count -= static_cast<size_t>(n);
    }
}

void SaveImage(const std::string &file, const ReceivedImage &image)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
    if (!out.flush())
        std::fprintf(stderr, "verrin-sim: cannot write %s\n", file.c_str());
}

// One module on its own port: its line both ways and its files.
struct ModulePort {
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<VirtualModule> module;
    PacedQueue toModule, toTerminal;
    PendingWrite pending;
    int log = -1;
    std::string saveImage;

    explicit ModulePort(uint32_t lineRate) : toModule(lineRate), toTerminal(lineRate) {}
    ~ModulePort()
    {
        if (log >= 0)
            ::close(log);
    }
};

// The published path of module n (from 1): the folder's next free name, or
// --link PATH, PATH2, ..
std::unique_ptr<PseudoTerminal> OpenPort(const SimOptions &options, const LinkFolder *folder, int n,
                                         std::string &error)
{
    if (folder)
        return folder->OpenFreeLink("port", error);
    return PseudoTerminal::Open(n == 1 ? options.link : options.link + std::to_string(n), error);
}
} // namespace

int RunSim(const SimOptions &options)
{
    std::string error;
    std::optional<MeshModel> mesh = LoadMesh(options, error);
    if (!mesh)
        return Fail(error);

    std::unique_ptr<LinkFolder> folder;
    if (options.link.empty()) {
        folder = LinkFolder::Make("verrin-sim", error);
        if (!folder)
            return Fail(error);
    }
    SignalPipe signals;
    std::vector<std::unique_ptr<ModulePort>> ports;
    for (int n = 1; n <= options.count; ++n) {
        auto port = std::make_unique<ModulePort>(options.lineRate);
        port->pty = OpenPort(options, folder.get(), n, error);
        if (!port->pty)
            return Fail(error);
        if (!options.logFile.empty()) {
            const std::string file = ModulePath(options.logFile, n);
            port->log = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            if (port->log < 0)
                return Fail("cannot open " + file + ": " + std::strerror(errno));
        }
        if (!options.saveImage.empty())
            port->saveImage = ModulePath(options.saveImage, n);
        MeshModel own = *mesh;
        own.ShiftAddresses(static_cast<uint16_t>((n - 1) * 0x100));
        if (options.churn)
            own.EnableChurn(SimClock::now(), kChurnPeriod);
        port->module = std::make_unique<VirtualModule>(static_cast<uint16_t>(options.group + n - 1), std::move(own),
                                                       options.faults[static_cast<size_t>(n - 1)]);
        ports.push_back(std::move(port));
    }
    for (const auto &port : ports)
        std::printf("%s\n", port->pty->LinkPath().c_str());
    std::fflush(stdout);

    char buffer[4096];
    std::vector<pollfd> fds;
    while (!signals.Raised()) {
        const SimTime before = SimClock::now();
        // Per module its master and the watch of its slave; the signals last.
        fds.clear();
        std::optional<SimTime> next; // the earliest deadline of every module
        for (const auto &port : ports) {
            pollfd master{port->pty->MasterFd(), 0, 0};
            if (port->toModule.Size() < kReadAhead)
                master.events |= POLLIN;
            if (!port->pending.Empty())
                master.events |= POLLOUT;
            fds.push_back(master);
            fds.push_back({port->pty->WatchFd(), POLLIN, 0});
            next = Earliest(
                {next, port->toModule.NextDue(), port->toTerminal.NextDue(), port->module->NextDeadline()});
        }
        fds.push_back({signals.Fd(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), PollTimeout({next}, before)) < 0 && errno != EINTR)
            return Fail(std::string("poll: ") + std::strerror(errno));

        const SimTime now = SimClock::now();
        for (size_t i = 0; i < ports.size(); ++i) {
            ModulePort &port = *ports[i];
            const pollfd &master = fds[2 * i];
            if (fds[2 * i + 1].revents & POLLIN)
                port.pty->ClientClosed();
            if (master.revents & POLLIN) {
                const ssize_t n =
                    ::read(master.fd, buffer, std::min(sizeof buffer, kReadAhead - port.toModule.Size()));
                if (n > 0) {
                    if (port.log >= 0)
                        WriteAll(port.log, buffer, static_cast<size_t>(n));
                    port.toModule.Push(buffer, static_cast<size_t>(n), now);
                }
            }
            port.module->Receive(port.toModule.TakeDue(now), now);
            port.module->Tick(now);
            // The image is on disk before the acknowledgement that ends its
            // transfer leaves, so whoever waits for that answer finds the file whole.
            if (std::optional<ReceivedImage> image = port.module->TakeImage(); image && !port.saveImage.empty())
                SaveImage(port.saveImage, *image);
            port.toTerminal.Push(port.module->TakeOutput(), now);
            port.pending.Append(port.toTerminal.TakeDue(now));
            if (!port.pending.Empty() && !port.pending.Flush(master.fd))
                return Fail(std::string("cannot write to the pseudo-terminal: ") + std::strerror(errno));
            for (const std::string &note : port.module->TakeNotes()) {
                if (ports.size() > 1)
                    std::fprintf(stderr, "verrin-sim: module %zu: %s\n", i + 1, note.c_str());
                else
                    std::fprintf(stderr, "verrin-sim: %s\n", note.c_str());
            }
        }
    }
    return 0;
}
