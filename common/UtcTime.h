#pragma once
// Time stamps in the text that reports and event lines carry.

#include <chrono>
#include <string>

// "2025-11-26T09:14:03.120Z": UTC to the millisecond.
std::string UtcTimeText(std::chrono::system_clock::time_point time);
