// A stand-in for a running instance, for the tests of the store between real
// processes. Usage:
//   verrin_instance_probe hold    claims the first free profile, prints
//                                 "claimed X created=N" (or "none"), holds it
//                                 until its input ends, then frees it
//   verrin_instance_probe hang    takes the store's lock, prints "locked" and
//                                 keeps it until killed
//   verrin_instance_probe dump    prints "created=N count=M A=.. .. H=.."
//   verrin_instance_probe stress MS
//                                 claims, switches and frees profiles for MS
//                                 milliseconds; prints "ok N" (N claims), or
//                                 "double X" and exits with 1 when it finds a
//                                 profile it holds held by another instance

#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr uint32_t kNoValue = 0xFFFFFFFF;

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

int Dump(CSharedMemory &store)
{
    uint32_t count = 0;
    store.Transact([&](SharedStore::Locked &s) {
        for (const char *name : kProfileNames) {
            uint32_t v;
            count += s.GetDwordValue(name, v) == StoreError::None ? 1 : 0;
        }
        return StoreError::None;
    });
    std::string line = std::string("created=") + (store.IsCreated() ? "1" : "0") + " count=" + std::to_string(count);
    Say(line);
    return 0;
}

// Who holds a profile is also written down outside the store: a file per
// profile, made only if it does not exist. Two holders of one profile at the
// same moment cannot both make it.
class Holding {
public:
    explicit Holding(CSharedMemory &store) : store_(store), id_(static_cast<uint32_t>(::getpid())) {}

    // After the store gave us `profile`.
    bool Took(int profile)
    {
        const int fd = ::open(MarkerPath(profile).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0)
            return Fail(profile);
        ::close(fd);
        held_ = profile;
        ++claims_;
        return true;
    }

    // Frees what we hold, after checking nobody wrote over our mark.
    bool Free()
    {
        if (held_ < 0)
            return true;
        if (store_.GetDwordValue(kProfileNames[held_], kNoValue) != id_)
            return Fail(held_);
        ::unlink(MarkerPath(held_).c_str());
        ReleaseProfile(store_, held_);
        held_ = -1;
        return true;
    }

    int held() const { return held_; }
    uint32_t id() const { return id_; }
    long claims() const { return claims_; }

private:
    static std::string MarkerPath(int profile)
    {
        return std::string(std::getenv("XDG_RUNTIME_DIR")) + "/held-" + kProfileNames[profile];
    }
    static bool Fail(int profile)
    {
        Say(std::string("double ") + kProfileNames[profile]);
        return false;
    }

    CSharedMemory &store_;
    uint32_t id_;
    int held_ = -1;
    long claims_ = 0;
};

int Stress(CSharedMemory &store, int milliseconds)
{
    Holding holding(store);
    std::mt19937 random(holding.id());
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (holding.held() < 0) {
            const ClaimResult claim = ClaimFirstFree(store, holding.id());
            if (claim.profile >= 0 && !holding.Took(claim.profile))
                return 1;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        const int other = static_cast<int>(random() % kProfileCount);
        if (random() % 2 == 0 || other == holding.held()) {
            if (!holding.Free())
                return 1;
            continue;
        }
        // A switch: the new profile is taken before the old one is freed.
        if (ClaimIfFree(store, other, holding.id()).profile == other &&
            (!holding.Free() || !holding.Took(other)))
            return 1;
    }
    if (!holding.Free())
        return 1;
    Say("ok " + std::to_string(holding.claims()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    CSharedMemory store;
    if (!store.IsOpen()) {
        Say("no store: " + std::to_string(store.LastError()));
        return 1;
    }
    const std::string mode = argv[1];
    if (mode == "hold")
        return Hold(store);
    if (mode == "hang")
        return Hang(store);
    if (mode == "dump")
        return Dump(store);
    if (mode == "stress" && argc == 3)
        return Stress(store, std::atoi(argv[2]));
    return 2;
}
