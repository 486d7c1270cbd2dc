#pragma once
// Polls a condition until it holds or timeoutMs has passed; gives its last value.

#include <chrono>
#include <thread>

template <typename Pred> bool WaitUntil(Pred pred, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
