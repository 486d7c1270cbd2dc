// A stand-in for a running instance, for the tests between real processes.
//   verrin_instance_probe hold [stop] claims the first free profile, then takes
//                                    the store's lock, prints "claimed X
//                                    created=N" and keeps both until killed;
//                                    with "stop" it stops itself (SIGSTOP)
//   verrin_instance_probe stress MS  claims, switches and frees profiles for
//                                    MS milliseconds; prints "ok", or "double
//                                    X" and exits with 1 when the mark of a
//                                    profile it holds is not its own

#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

int Say(const std::string &line, int exitCode)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return exitCode;
}

// A second holder of a profile writes its own id over the mark, or frees it:
// either way the first finds a mark that is not its own.
int Stress(CSharedMemory &store, uint32_t id, std::chrono::milliseconds duration)
{
    std::mt19937 random(id);
    const auto end = std::chrono::steady_clock::now() + duration;
    int held = -1;
    while (std::chrono::steady_clock::now() < end || held >= 0) {
        if (held < 0) {
            held = ClaimFirstFree(store, id).profile;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        if (store.GetDwordValue(kProfileNames[held], 0) != id)
            return Say(std::string("double ") + kProfileNames[held], 1);
        const int other = static_cast<int>(random() % kProfileCount);
        const bool switched = other != held && random() % 2 == 0 && std::chrono::steady_clock::now() < end &&
                              ClaimIfFree(store, other, id).profile == other;
        ReleaseProfile(store, held);
        held = switched ? other : -1;
    }
    return Say("ok", 0);
}

} // namespace

int main(int argc, char **argv)
{
    CSharedMemory store;
    const std::string mode = argc > 1 ? argv[1] : "";
    const uint32_t id = static_cast<uint32_t>(::getpid());
    if (!store.IsOpen())
        return Say("no store: " + std::to_string(store.LastError()), 1);
    if (mode == "stress" && argc == 3)
        return Stress(store, id, std::chrono::milliseconds(std::atoi(argv[2])));
    if (mode != "hold")
        return 2;
    const bool stop = argc > 2 && std::string(argv[2]) == "stop";
    const int held = ClaimFirstFree(store, id).profile;
    store.Transact([&](SharedStore::Locked &) {
        Say(held < 0 ? "none" : std::string("claimed ") + kProfileNames[held] +
                                    " created=" + (store.IsCreated() ? "1" : "0"), 0);
        for (;;)
            stop ? ::raise(SIGSTOP) : ::pause();
        return StoreError::None;
    });
    return 1;
}
