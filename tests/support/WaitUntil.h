#pragma once
// Polls a condition until it holds or timeoutMs has passed; gives its last
// value. Between polls it sleeps 20 ms, or calls pause (one that runs the
// event loop: WaitFor.h).

#include <chrono>
#include <thread>

inline void SleepBetweenPolls() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

template <typename Pred, typename Pause = void (*)()>
bool WaitUntil(Pred pred, int timeoutMs, Pause pause = SleepBetweenPolls)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end)
            return pred();
        pause();
    }
    return true;
}
