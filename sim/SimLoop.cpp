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
#include <poll.h>
#include <sstream>
#include <unistd.h>

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
    const std::unique_ptr<PseudoTerminal> pty =
        folder ? folder->OpenFreeLink("port", error) : PseudoTerminal::Open(options.link, error);
    if (!pty)
        return Fail(error);
    int log = -1;
    if (!options.logFile.empty()) {
        log = ::open(options.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (log < 0)
            return Fail("cannot open " + options.logFile + ": " + std::strerror(errno));
    }
    std::printf("%s\n", pty->LinkPath().c_str());
    std::fflush(stdout);

    if (options.churn)
        mesh->EnableChurn(SimClock::now(), kChurnPeriod);
    VirtualModule module(options.group, std::move(*mesh), options.faults);
    PacedQueue toModule(options.lineRate), toTerminal(options.lineRate);
    PendingWrite pending;
    const int master = pty->MasterFd();
    char buffer[4096];

    while (!signals.Raised()) {
        const SimTime before = SimClock::now();
        pollfd fds[3] = {{master, 0, 0}, {signals.Fd(), POLLIN, 0}, {pty->WatchFd(), POLLIN, 0}};
        if (toModule.Size() < kReadAhead)
            fds[0].events |= POLLIN;
        if (!pending.Empty())
            fds[0].events |= POLLOUT;
        const int timeout = PollTimeout({toModule.NextDue(), toTerminal.NextDue(), module.NextDeadline()}, before);
        if (::poll(fds, 3, timeout) < 0 && errno != EINTR)
            return Fail(std::string("poll: ") + std::strerror(errno));

        const SimTime now = SimClock::now();
        if (fds[2].revents & POLLIN)
            pty->ClientClosed();
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, kReadAhead - toModule.Size()));
            if (n > 0) {
                if (log >= 0)
                    WriteAll(log, buffer, static_cast<size_t>(n));
                toModule.Push(buffer, static_cast<size_t>(n), now);
            }
        }
        module.Receive(toModule.TakeDue(now), now);
        module.Tick(now);
        // The image is on disk before the acknowledgement that ends its
        // transfer leaves, so whoever waits for that answer finds the file whole.
        if (std::optional<ReceivedImage> image = module.TakeImage(); image && !options.saveImage.empty())
            SaveImage(options.saveImage, *image);
        toTerminal.Push(module.TakeOutput(), now);
        pending.Append(toTerminal.TakeDue(now));
        if (!pending.Empty() && !pending.Flush(master))
            return Fail(std::string("cannot write to the pseudo-terminal: ") + std::strerror(errno));
        for (const std::string &note : module.TakeNotes())
            std::fprintf(stderr, "verrin-sim: %s\n", note.c_str());
    }
    if (log >= 0)
        ::close(log);
    return 0;
}
