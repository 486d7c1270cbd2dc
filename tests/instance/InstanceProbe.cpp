// A stand-in for a running instance, for the tests between real processes.
//   verrin_instance_probe hold       claims the first free profile, prints
//                                    "claimed X created=N" (or "none"), holds
//                                    it until its input ends, then frees it
//   verrin_instance_probe hang       takes the store's lock, prints "locked"
//                                    and keeps it until killed
//   verrin_instance_probe stress MS  claims, switches and frees profiles for
//                                    MS milliseconds; prints "ok N" (N claims),
//                                    or "double X" and exits with 1 when the
//                                    mark of a profile it holds is not its own

#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void Say(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int Hold(CSharedMemory &store)
{
    const ClaimResult claim = ClaimFirstFree(store, static_cast<uint32_t>(::getpid()));
    if (claim.profile < 0) {
        Say("none");
        return 1;
    }
    Say(std::string("claimed ") + kProfileNames[claim.profile] + " created=" + (store.IsCreated() ? "1" : "0"));
    std::string line;
    std::getline(std::cin, line);
    ReleaseProfile(store, claim.profile);
    return 0;
}

int Hang(CSharedMemory &store)
{
    store.Transact([](SharedStore::Locked &) {
        Say("locked");
        for (;;)
            ::pause();
        return StoreError::None;
    });
    return 1;
}

// A second holder of a profile writes its own id over the mark, or frees it:
// either way the first finds a mark that is not its own before it frees.
int Stress(CSharedMemory &store, int milliseconds)
{
    const uint32_t id = static_cast<uint32_t>(::getpid());
    std::mt19937 random(id);
    int held = -1;
    long claims = 0;
    const auto free = [&] {
        if (store.GetDwordValue(kProfileNames[held], 0xFFFFFFFF) != id) {
            Say(std::string("double ") + kProfileNames[held]);
            return false;
        }
        ReleaseProfile(store, held);
        held = -1;
        return true;
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (held < 0) {
            held = ClaimFirstFree(store, id).profile;
            claims += held >= 0;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        const int other = static_cast<int>(random() % kProfileCount);
        if (random() % 2 == 0 || other == held) {
            if (!free())
                return 1;
        } else if (ClaimIfFree(store, other, id).profile == other) { // a switch
            ++claims;
            if (!free())
                return 1;
            held = other;
        }
    }
    if (held >= 0 && !free())
        return 1;
    Say("ok " + std::to_string(claims));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    CSharedMemory store;
    if (!store.IsOpen()) {
        Say("no store: " + std::to_string(store.LastError()));
        return 1;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hold")
        return Hold(store);
    if (mode == "hang")
        return Hang(store);
    if (mode == "stress" && argc == 3)
        return Stress(store, std::atoi(argv[2]));
    return 2;
}
