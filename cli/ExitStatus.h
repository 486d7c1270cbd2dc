#pragma once
// The exit statuses of verrin-cli. Scripts branch on them, so each number
// keeps its meaning for good; --help lists them.

#include "transfer/ModuleLoad.h"

namespace ExitStatus {
constexpr int Ok = 0;             // "Successful", the scans done, the text seen
constexpr int Usage = 2;          // the command line cannot be used as given
constexpr int RetryLimit = 3;     // "Too many retries"
constexpr int Aborted = 4;        // "Aborted": by the module, or Ctrl+C
constexpr int ProtocolError = 5;  // "Protocol Error"
constexpr int PortError = 6;      // the port cannot be opened, or failed
constexpr int FileError = 7;      // the image cannot be read or sent, a picture not written
constexpr int TimedOut = 8;       // the module did not answer in time
constexpr int GroupNotSet = 9;    // the scan found no group address
constexpr int VersionUnchanged = 10; // load --verify: the module's version did not change
} // namespace ExitStatus

inline int ExitStatusFor(LoadEnd end)
{
    switch (end) {
    case LoadEnd::Successful: return ExitStatus::Ok;
    case LoadEnd::RetryLimit: return ExitStatus::RetryLimit;
    case LoadEnd::Aborted: return ExitStatus::Aborted;
    case LoadEnd::ProtocolError: return ExitStatus::ProtocolError;
    case LoadEnd::PortError: return ExitStatus::PortError;
    case LoadEnd::TimedOut: return ExitStatus::TimedOut;
    case LoadEnd::VersionUnchanged: return ExitStatus::VersionUnchanged;
    }
    return ExitStatus::ProtocolError;
}

inline constexpr const char *kExitStatusHelp =
    "Exit status:\n"
    "  0  success: \"Successful\", the scans done, the text seen (or, without\n"
    "     --until, the time-out passed)\n"
    "  2  bad command line (unknown option, bad value, missing argument,\n"
    "     no port given)\n"
    "  3  \"Too many retries\"\n"
    "  4  \"Aborted\": the module cancelled, or Ctrl+C\n"
    "  5  \"Protocol Error\"\n"
    "  6  port error: the port missing, busy or failing\n"
    "  7  file error: the image cannot be read or its name is too long;\n"
    "     scan: the picture cannot be written\n"
    "  8  time-out: the module did not answer in time\n"
    "  9  scan: the module has no group address (Publish Address)\n"
    " 10  load --verify: the module reports the same version after the download\n"
    "A load on several ports exits with 0 when every port succeeded, otherwise\n"
    "with the highest status among the ports that failed (a port given twice\n"
    "counts as 2).\n";
