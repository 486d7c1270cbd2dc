#pragma once
// Loading a tray of modules at once, one download per port: which ports a
// command line picks, the report line each port leaves for a production
// line's tracking system, and the exit status of the whole tray.

#include "transfer/YmodemSender.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// A port as the command line picked it. identity tells two names of one
// device apart from two devices (a link and its target are one); named
// ports were given one by one, the others came from a pattern or from the
// list of free ports.
struct PortChoice {
    std::string path;
    std::string identity;
    bool named = true;
};

struct PlannedPort {
    std::string path;
    bool repeated = false; // named again after its first time: reported, not loaded
};

// Each device once, in the order given. A device named twice is kept for its
// first time and reported for every other; one that a pattern also matches
// is simply loaded once.
std::vector<PlannedPort> PlanPorts(const std::vector<PortChoice> &choices);

inline constexpr const char *kPortRepeatedResult = "Port given twice";
inline constexpr const char *kNoPortMatchesResult = "No port matches";

// What one port's load leaves in the report.
struct PortReport {
    std::string port;   // the device path (8-bit text)
    std::string result; // the loader's status text, or what else ended it
    int status = 0;     // verrin-cli's exit status for this port alone
    std::string error;  // what failed, in words; empty when the result says it
    std::string image;  // the file name the header carries
    uint32_t size = 0;  // image bytes
    uint32_t bytes = 0; // image bytes the module acknowledged
    TransferCounts counts;
    std::chrono::system_clock::time_point start{}, end{};
    uint32_t transferMs = 0; // from the "1" to the transfer's end
    bool verify = false;
    std::string versionBefore, versionAfter; // empty: not read
};

// One JSON object and its line end, text in UTF-8:
// {"port":"/dev/ttyUSB0","result":"Successful","status":0,"image":"fw.bin",
//  "size":262144,"bytes":262144,"blocks":259,"naks":0,"retries":0,
//  "start":"2025-11-26T09:14:03.120Z","end":"2025-11-26T09:14:27.311Z",
//  "seconds":24.191,"rate":10877}
// with "error" after "status" when there is one, and "version_before" and
// "version_after" (null when not read) at the end with verify. "rate" is
// the image bytes acknowledged per second of the transfer.
std::string ReportLine(const PortReport &report);

// 0 when every port succeeded, otherwise the highest status of the others.
int TrayExitStatus(const std::vector<int> &statuses);
