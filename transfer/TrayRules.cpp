#include "transfer/TrayRules.h"

#include "common/CodePage.h"
#include "common/UtcTime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

std::vector<PlannedPort> PlanPorts(const std::vector<PortChoice> &choices)
{
    std::vector<PlannedPort> planned;
    std::set<std::string> seen;
    for (const PortChoice &choice : choices) {
        if (seen.insert(choice.identity).second)
            planned.push_back({choice.path, false});
        else if (choice.named)
            planned.push_back({choice.path, true});
    }
    return planned;
}

namespace {
// A JSON string of 8-bit text.
std::string Quoted(const std::string &text)
{
    std::string out = "\"";
    for (const char c : CodePageToUtf8(text)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string QuotedOrNull(const std::string &text) { return text.empty() ? "null" : Quoted(text); }

std::string Decimal(double value, int places)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", places, value);
    return text;
}
} // namespace

std::string ReportLine(const PortReport &r)
{
    using std::to_string;
    const double seconds = std::chrono::duration<double>(r.end - r.start).count();
    const double rate = r.transferMs > 0 ? r.bytes * 1000.0 / r.transferMs : 0;
    std::string line = "{\"port\":" + Quoted(r.port) + ",\"result\":" + Quoted(r.result) +
                       ",\"status\":" + to_string(r.status);
    if (!r.error.empty())
        line += ",\"error\":" + Quoted(r.error);
    line += ",\"image\":" + Quoted(r.image) + ",\"size\":" + to_string(r.size) + ",\"bytes\":" + to_string(r.bytes) +
            ",\"blocks\":" + to_string(r.counts.blocks) + ",\"naks\":" + to_string(r.counts.naks) +
            ",\"retries\":" + to_string(r.counts.retries) + ",\"start\":\"" + UtcTimeText(r.start) +
            "\",\"end\":\"" + UtcTimeText(r.end) + "\",\"seconds\":" + Decimal(std::max(seconds, 0.0), 3) +
            ",\"rate\":" + Decimal(std::round(rate), 0);
    if (r.verify)
        line += ",\"version_before\":" + QuotedOrNull(r.versionBefore) +
                ",\"version_after\":" + QuotedOrNull(r.versionAfter);
    return line + "}\n";
}

int TrayExitStatus(const std::vector<int> &statuses)
{
    int worst = 0;
    for (const int status : statuses)
        worst = std::max(worst, status);
    return worst;
}
