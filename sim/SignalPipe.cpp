#include "sim/SignalPipe.h"

#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace {
int pipeFds[2] = {-1, -1}; // one per process; a signal handler can reach nothing else
volatile sig_atomic_t raised = 0;

void OnSignal(int)
{
    raised = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
}
} // namespace

SignalPipe::SignalPipe()
{
    if (::pipe(pipeFds) == 0) {
        for (int fd : pipeFds)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

SignalPipe::~SignalPipe()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::signal(sig, SIG_DFL);
}

int SignalPipe::Fd() const { return pipeFds[0]; }

bool SignalPipe::Raised() const { return raised != 0; }
