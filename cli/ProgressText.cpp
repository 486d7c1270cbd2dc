#include "cli/ProgressText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
// Bytes per second so far; 0 while nothing has been acknowledged.
double Rate(const ProgressFigures &f)
{
    return f.seconds > 0 && f.bytesSent > 0 ? f.bytesSent / f.seconds : 0;
}

std::string RateText(double rate)
{
    if (rate <= 0)
        return "-- B/s";
    char text[32];
    if (rate < 10000)
        std::snprintf(text, sizeof text, "%.0f B/s", rate);
    else
        std::snprintf(text, sizeof text, "%.1f kB/s", rate / 1000);
    return text;
}

std::string TimeLeftText(const ProgressFigures &f)
{
    const double rate = Rate(f);
    if (rate <= 0)
        return "--:-- left";
    const uint32_t remaining = f.fileSize > f.bytesSent ? f.fileSize - f.bytesSent : 0;
    const long total = static_cast<long>(std::ceil(remaining / rate));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld left", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld left", total / 60, total % 60);
    return text;
}
} // namespace

int ProgressPercent(const ProgressFigures &f)
{
    if (f.fileSize == 0)
        return 0;
    const uint64_t sent = f.bytesSent < f.fileSize ? f.bytesSent : f.fileSize;
    return static_cast<int>(sent * 100 / f.fileSize);
}

std::string ProgressBarLine(const ProgressFigures &f, int barWidth)
{
    const int filled = ProgressPercent(f) * barWidth / 100;
    const std::string bar = std::string(filled, '#') + std::string(barWidth - filled, '-');
    char head[96];
    std::snprintf(head, sizeof head, "Packet %u  [%s]  %u/%u bytes  %3d%%  ", f.packet, bar.c_str(),
                  f.bytesSent, f.fileSize, ProgressPercent(f));
    return head + RateText(Rate(f)) + "  " + TimeLeftText(f);
}

std::string ProgressLogLine(const ProgressFigures &f)
{
    char head[96];
    std::snprintf(head, sizeof head, "Packet %u: %u of %u bytes (%d%%), ", f.packet, f.bytesSent,
                  f.fileSize, ProgressPercent(f));
    return head + RateText(Rate(f)) + ", " + TimeLeftText(f);
}

std::string TrayBarLine(const std::string &port, size_t portWidth, const ProgressFigures &f,
                        const std::string &status)
{
    const int sizeDigits = static_cast<int>(std::to_string(f.fileSize).size());
    char figures[96];
    std::snprintf(figures, sizeof figures, "  Packet %-4u %*u/%-*u %3d%%  ", f.packet, sizeDigits, f.bytesSent,
                  sizeDigits, f.fileSize, ProgressPercent(f));
    std::string rate = RateText(Rate(f)), left = TimeLeftText(f);
    rate.resize(std::max<size_t>(rate.size(), 10), ' ');
    left.resize(std::max<size_t>(left.size(), 10), ' ');
    std::string name = port;
    name.resize(std::max(name.size(), portWidth), ' ');
    return name + figures + rate + "  " + left + "  " + status;
}

std::string TrayLogLine(const std::string &port, const ProgressFigures &figures)
{
    return port + ": " + ProgressLogLine(figures);
}

std::string OutcomeText(const PortReport &r)
{
    std::string text = r.result;
    if (!r.error.empty())
        text += ": " + r.error;
    if (r.status == 0 && r.verify)
        text += ", version " + r.versionBefore + " -> " + r.versionAfter;
    return text;
}

std::string TrayResultLine(const std::string &port, const PortReport &r)
{
    std::string line = port + ": " + OutcomeText(r);
    if (r.status == 0) {
        ProgressFigures figures;
        figures.bytesSent = r.bytes;
        figures.seconds = r.transferMs / 1000.0;
        char took[48];
        std::snprintf(took, sizeof took, ", %u bytes in %.1f s, ", r.bytes, figures.seconds);
        line += took + RateText(Rate(figures));
    }
    return line;
}
