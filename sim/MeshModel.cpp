#include "sim/MeshModel.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {
constexpr int kJitterDb = 3;
constexpr size_t kMaxSilent = 3;

bool ParseHexAddress(const std::string &token, uint16_t &value)
{
    char *end = nullptr;
    const unsigned long v = std::strtoul(token.c_str(), &end, 16);
    if (token.empty() || *end != '\0' || v == 0 || v > 0xFFFF)
        return false;
    value = static_cast<uint16_t>(v);
    return true;
}

bool ParseDecimal(const std::string &token, long low, long high, int &value)
{
    char *end = nullptr;
    const long v = std::strtol(token.c_str(), &end, 10);
    if (token.empty() || *end != '\0' || v < low || v > high)
        return false;
    value = static_cast<int>(v);
    return true;
}
} // namespace

MeshModel::MeshModel(std::vector<MeshLink> links) : links_(std::move(links))
{
    std::stable_sort(links_.begin(), links_.end(),
                     [](const MeshLink &a, const MeshLink &b) { return a.level < b.level; });
}

MeshModel MeshModel::Demo()
{
    return MeshModel({
        {0, 0x0001, -11, 0x0002}, {0, 0x0001, -14, 0x0003}, {0, 0x0001, -19, 0x0004}, {0, 0x0001, -23, 0x0005},
        {1, 0x0002, -17, 0x0006}, {1, 0x0002, -21, 0x0007}, {1, 0x0003, -25, 0x0007}, {1, 0x0003, -18, 0x0008},
        {1, 0x0004, -27, 0x0009}, {2, 0x0007, -22, 0x000A}, {2, 0x0007, -30, 0x000B}, {2, 0x0009, -24, 0x000C},
        {3, 0x000B, -29, 0x000D},
    });
}

std::optional<MeshModel> MeshModel::Parse(const std::string &text, std::string &error)
{
    std::vector<MeshLink> links;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::vector<std::string> tokens;
        for (std::string t; fields >> t;)
            tokens.push_back(t);
        if (tokens.empty())
            continue;
        MeshLink link{};
        const std::string where = "line " + std::to_string(number) + ": ";
        if (tokens.size() != 4) {
            error = where + "expected \"level relay rssi node\"";
            return std::nullopt;
        }
        if (!ParseDecimal(tokens[0], 0, 99, link.level)) {
            error = where + "level must be a number from 0 to 99";
            return std::nullopt;
        }
        if (!ParseHexAddress(tokens[1], link.relay) || !ParseHexAddress(tokens[3], link.node)) {
            error = where + "addresses must be hexadecimal, 1 to FFFF";
            return std::nullopt;
        }
        if (!ParseDecimal(tokens[2], -200, -1, link.rssi)) {
            error = where + "rssi must be a number of dBm from -200 to -1";
            return std::nullopt;
        }
        if (link.relay == link.node) {
            error = where + "a node cannot hear itself";
            return std::nullopt;
        }
        links.push_back(link);
    }
    const auto local = std::find_if(links.begin(), links.end(), [](const MeshLink &l) { return l.level == 0; });
    if (local == links.end()) {
        error = "no level-0 link: nothing names the local node";
        return std::nullopt;
    }
    for (const MeshLink &l : links) {
        if (l.level == 0 && l.relay != local->relay) {
            error = "level-0 links name two local nodes";
            return std::nullopt;
        }
    }
    return MeshModel(std::move(links));
}

std::optional<MeshModel> MeshModel::ParseScript(const std::string &text, std::string &error)
{
    struct Block {
        int atLine;
        nanoseconds at;
        std::string links; // the block's lines at their own line numbers, blank lines before
        int lastLine;
    };
    std::vector<Block> blocks;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::string word;
        if (!(fields >> word))
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (word != "at") {
            if (blocks.empty()) {
                error = where + "a link before the first \"at SECONDS\"";
                return std::nullopt;
            }
            // Padded so that the topology parser's messages name the script's lines.
            Block &b = blocks.back();
            b.links.append(static_cast<size_t>(number - b.lastLine - 1), '\n');
            b.links += line + "\n";
            b.lastLine = number;
            continue;
        }
        std::string time, rest;
        char *end = nullptr;
        const double seconds = (fields >> time) ? std::strtod(time.c_str(), &end) : -1;
        if (time.empty() || *end != '\0' || !(seconds >= 0 && seconds < 1e6) || (fields >> rest)) {
            error = where + "expected \"at SECONDS\", a number of seconds from 0";
            return std::nullopt;
        }
        const auto at = std::chrono::duration_cast<nanoseconds>(std::chrono::duration<double>(seconds));
        if (blocks.empty() && at != nanoseconds(0)) {
            error = where + "the first block must be \"at 0\"";
            return std::nullopt;
        }
        if (!blocks.empty() && at <= blocks.back().at) {
            error = where + "each block must come later than the one before";
            return std::nullopt;
        }
        blocks.push_back({number, at, {}, 0});
    }
    if (blocks.empty()) {
        error = "no block: a script starts with \"at 0\"";
        return std::nullopt;
    }
    std::vector<Stage> stages;
    for (const Block &b : blocks) {
        const std::string where = "the block at line " + std::to_string(b.atLine) + ": ";
        const std::optional<MeshModel> mesh = Parse(b.links, error);
        if (!mesh) {
            if (error.rfind("line ", 0) != 0) // a message about the whole block
                error = where + error;
            return std::nullopt;
        }
        const std::vector<MeshLink> &links = mesh->Links();
        if (!stages.empty() && links.front().relay != stages.front().links.front().relay) {
            error = where + "its local node differs from the first block's";
            return std::nullopt;
        }
        stages.push_back({b.at, links});
    }
    MeshModel model(stages.front().links);
    model.script_ = std::move(stages);
    return model;
}

std::vector<uint16_t> MeshModel::RemoteNodes() const
{
    std::set<uint16_t> nodes;
    for (const MeshLink &l : links_) {
        nodes.insert(l.relay);
        nodes.insert(l.node);
    }
    nodes.erase(LocalAddress());
    return {nodes.begin(), nodes.end()};
}

void MeshModel::ShiftAddresses(uint16_t offset)
{
    const auto shift = [offset](std::vector<MeshLink> &links) {
        for (MeshLink &l : links) {
            l.relay = static_cast<uint16_t>(l.relay + offset);
            l.node = static_cast<uint16_t>(l.node + offset);
        }
    };
    shift(links_);
    for (Stage &stage : script_)
        shift(stage.links);
}

void MeshModel::EnableChurn(SimTime start, seconds period)
{
    churn_ = true;
    churnStart_ = start;
    churnPeriod_ = period;
    ChurnStep(); // one node starts silent, so that the first change may be a node joining
}

void MeshModel::ChurnStep()
{
    const std::vector<uint16_t> remote = RemoteNodes();
    std::vector<uint16_t> active;
    std::copy_if(remote.begin(), remote.end(), std::back_inserter(active),
                 [this](uint16_t n) { return silent_.count(n) == 0; });
    const bool rejoin = !silent_.empty() && (silent_.size() >= kMaxSilent || active.empty() || random_() % 2);
    if (rejoin) {
        auto it = silent_.begin();
        std::advance(it, random_() % silent_.size());
        silent_.erase(it);
    } else if (!active.empty()) {
        silent_.insert(active[random_() % active.size()]);
    }
}

std::vector<MeshLink> MeshModel::Scan(SimTime now)
{
    if (!script_.empty()) {
        if (!scriptStart_)
            scriptStart_ = now;
        for (const Stage &stage : script_)
            if (now - *scriptStart_ >= stage.at)
                links_ = stage.links;
        return links_;
    }
    if (churn_) {
        const long due = static_cast<long>((now - churnStart_) / churnPeriod_);
        for (; churnSteps_ < due; ++churnSteps_)
            ChurnStep();
    }
    // A node is cut off when it is silent, or when every link that reached
    // it comes from a node that is cut off.
    std::set<uint16_t> cut = silent_;
    for (bool changed = true; changed;) {
        changed = false;
        for (uint16_t n : RemoteNodes()) {
            if (cut.count(n))
                continue;
            bool heard = false, reachedAtAll = false;
            for (const MeshLink &l : links_) {
                if (l.node != n)
                    continue;
                reachedAtAll = true;
                heard = heard || !cut.count(l.relay);
            }
            if (reachedAtAll && !heard) {
                cut.insert(n);
                changed = true;
            }
        }
    }
    std::uniform_int_distribution<int> jitter(-kJitterDb, kJitterDb);
    std::vector<MeshLink> heard;
    for (const MeshLink &l : links_) {
        if (cut.count(l.relay) || cut.count(l.node))
            continue;
        MeshLink h = l;
        h.rssi = std::min(-1, l.rssi + jitter(random_));
        heard.push_back(h);
    }
    return heard;
}
