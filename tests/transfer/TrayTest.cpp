// A tray's rules without a process: one module's load against the virtual
// module in fake time (versions, silence, Ctrl+C), the report line, which
// ports a command line loads, and the tray's exit status.

#include "sim/VirtualModule.h"
#include "transfer/ModuleLoad.h"
#include "transfer/TrayRules.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace {
// The load's port joined to a virtual module: what the load writes reaches
// the module at once; what the module says comes 30 bytes every 10 ms, so
// replies arrive in pieces. Once it says deafFrom (its boot banner, say), it
// is heard no more.
struct ModuleLink : SerialLink, TickClock {
    VirtualModule module;
    uint32_t now = 1000;
    std::deque<uint8_t> input;
    std::string coming; // said, not yet arrived
    std::string written;
    bool present = true; // false: no module at the end of the line
    std::string deafFrom;
    bool deaf = false;

    explicit ModuleLink(TransferFaults faults) : module(0xC001, MeshModel::Demo(), faults) {}
    SimTime SimNow() const { return SimTime() + milliseconds(now); }
    void Hear()
    {
        const std::string out = module.TakeOutput();
        deaf = deaf || (!deafFrom.empty() && out.find(deafFrom) != std::string::npos);
        if (present && !deaf)
            coming += out;
    }
    uint32_t TickCount() override { return now; }
    int32_t BytesWaiting() override { return static_cast<int32_t>(input.size()); }
    int32_t ReadByte() override
    {
        if (input.empty())
            return -1;
        const int8_t byte = static_cast<int8_t>(input.front());
        input.pop_front();
        return byte;
    }
    uint32_t ReadBlock(uint8_t *buffer, int32_t max) override
    {
        uint32_t n = 0;
        for (; n < static_cast<uint32_t>(max) && !input.empty(); ++n, input.pop_front())
            buffer[n] = input.front();
        return n;
    }
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        const std::string text(reinterpret_cast<const char *>(bytes), count);
        written += text;
        module.Receive(text, SimNow());
        Hear();
        return static_cast<int32_t>(count);
    }
    void SetRtsHandshake(bool) override {}
    void Pass(uint32_t ms)
    {
        now += ms;
        module.Tick(SimNow());
        Hear();
        const size_t n = std::min<size_t>(coming.size(), 3 * ms);
        input.insert(input.end(), coming.begin(), coming.begin() + static_cast<long>(n));
        coming.erase(0, n);
    }
};

struct NoDisplay : TransferProgress, TraceSink {
    void ShowStatusText(const std::string &) override {}
    void ShowImageName(const std::string &) override {}
    void ShowFileSize(uint32_t) override {}
    void ShowBytesSent(uint32_t) override {}
    void ShowPacket(uint32_t) override {}
    void ShowFinishedView() override {}
    void RunOkAction() override {}
    void UpdateControlStates() override {}
    void TraceText(std::string_view) override {}
    void TraceControlByte(uint8_t) override {}
};

// 5000 bytes, the version text (if any) in the middle.
std::vector<uint8_t> Image(const std::string &version)
{
    std::mt19937 random(7);
    std::vector<uint8_t> image(5000);
    for (uint8_t &byte : image)
        byte = static_cast<uint8_t>(random() % 0x60 + 0x80); // no text of its own
    std::copy(version.begin(), version.end(), image.begin() + 2500);
    return image;
}
} // namespace

TEST(ModuleLoad, EndsAsTheModuleAnswers)
{
    const struct {
        const char *name;
        std::string version;     // in the image
        TransferFaults faults;
        bool verify, present;
        const char *deafFrom;    // the module is not heard from this text on
        uint32_t abortAtMs;      // Ctrl+C then (0: never)
        uint32_t bytes;          // acknowledged
        LoadEnd end;
        const char *result, *error, *before, *after;
        const char *wireEnd;     // the last bytes written
    } cases[] = {
        {"new version", "Version 2.0.0", {}, true, true, "", 0, 5000, LoadEnd::Successful, "Successful", "", "1.4.2", "2.0.0",
         "2at+ab info\r\n"},
        {"same version", "Version 1.4.2", {}, true, true, "", 0, 5000, LoadEnd::VersionUnchanged, "Version unchanged",
         "the module still reports version 1.4.2 after the download", "1.4.2", "1.4.2", "2at+ab info\r\n"},
        {"no verify", "", {}, false, true, "", 0, 5000, LoadEnd::Successful, "Successful", "", "", "", "2"},
        {"silent at block 3", "", {-1, 1, -1, -1, 3}, true, true, "", 0, 2048, LoadEnd::TimedOut, "Aborted",
         "no answer from the module for 2000 ms", "1.4.2", "", "\x18\x18"},
        {"nobody there", "", {}, true, false, "", 0, 0, LoadEnd::TimedOut, "No answer",
         "no answer to the info request within 2000 ms", "", "", "at+ab info\r\n"},
        {"no banner", "", {}, true, true, "Boot:", 0, 5000, LoadEnd::TimedOut, "No answer",
         "no boot banner within 3000 ms after the download", "1.4.2", "", "2"},
        {"Ctrl+C", "", {-1, 1, -1, -1, 3}, true, true, "", 500, 2048, LoadEnd::Aborted, "Aborted", "", "1.4.2", "",
         "\x18\x18"},
        {"Ctrl+C while the version is asked", "", {}, true, false, "", 500, 0, LoadEnd::Aborted, "Aborted",
         "stopped before the download", "", "", "at+ab info\r\n"},
    };
    for (const auto &c : cases) {
        ModuleLink link(c.faults);
        link.present = c.present;
        link.deafFrom = c.deafFrom;
        NoDisplay display;
        Settings settings;
        settings.downloadFilename = "fw.bin";
        ModuleLoadOptions options;
        options.verify = c.verify;
        options.quietLimitMs = options.replyWaitMs = 2000;
        options.bootWaitMs = 3000;
        ModuleLoad load(link, display, display, settings, link, options);
        std::vector<std::string> notices;
        load.onNotice = [&](const std::string &text) { notices.push_back(text); };
        ASSERT_EQ(load.Start(Image(c.version)), StartResult::Started);
        for (uint32_t ms = 0; !load.Done() && ms < 20000; ms += 10) {
            if (c.abortAtMs && ms == c.abortAtMs)
                load.RequestAbort();
            load.Run();
            link.Pass(10);
        }
        const LoadOutcome &outcome = load.Outcome();
        EXPECT_TRUE(load.Done()) << c.name;
        EXPECT_EQ(outcome.end, c.end) << c.name;
        EXPECT_EQ(outcome.result, c.result) << c.name;
        EXPECT_EQ(outcome.error, c.error) << c.name;
        EXPECT_EQ(outcome.versionBefore, c.before) << c.name;
        EXPECT_EQ(outcome.versionAfter, c.after) << c.name;
        const std::string end = c.wireEnd;
        EXPECT_TRUE(link.written.size() >= end.size() && link.written.compare(link.written.size() - end.size(),
                                                                              end.size(), end) == 0)
            << c.name << ": " << testing::PrintToString(link.written.substr(link.written.size() - 20));
        // A failure that the download's own texts do not tell is told once.
        EXPECT_EQ(notices, c.error[0] ? std::vector<std::string>{c.error} : std::vector<std::string>{}) << c.name;
        EXPECT_EQ(load.Sender().BytesAcknowledged(), c.bytes) << c.name;
    }
}

TEST(TrayRules, PortsAreLoadedOnceAndANameGivenTwiceIsReported)
{
    const std::vector<PortChoice> choices = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0", true},
        {"/dev/serial/by-id/usb-0", "/dev/ttyUSB0", true}, // the same device by another name
        {"/dev/ttyUSB1", "/dev/ttyUSB1", true},
        {"/dev/ttyUSB1", "/dev/ttyUSB1", false}, // a pattern's match of a named port
        {"/dev/ttyUSB2", "/dev/ttyUSB2", false},
        {"/dev/ttyUSB2", "/dev/ttyUSB2", false}, // two patterns
    };
    std::string plan;
    for (const PlannedPort &port : PlanPorts(choices))
        plan += port.path + (port.repeated ? " (again)" : "") + "; ";
    EXPECT_EQ(plan, "/dev/ttyUSB0; /dev/serial/by-id/usb-0 (again); /dev/ttyUSB1; /dev/ttyUSB2; ");

    const std::pair<std::vector<int>, int> trays[] = {
        {{0, 0, 0}, 0}, {{0, 8, 0, 4}, 8}, {{6, 2}, 6}, {{0}, 0}, {{10, 0}, 10}};
    for (const auto &[statuses, status] : trays)
        EXPECT_EQ(TrayExitStatus(statuses), status) << testing::PrintToString(statuses);
}

TEST(TrayRules, TheReportLineIsOneJsonObject)
{
    using namespace std::chrono;
    PortReport ok;
    ok.port = "/dev/ttyUSB0";
    ok.result = "Successful";
    ok.image = "fw\xE9.bin"; // Windows-1252 in, UTF-8 out
    ok.size = ok.bytes = 262144;
    ok.counts = {259, 1, 1};
    ok.start = system_clock::time_point(milliseconds(1764148443120)); // 2025-11-26
    ok.end = ok.start + milliseconds(24191);
    ok.transferMs = 24000;
    ok.verify = true;
    ok.versionBefore = "1.4.2";
    ok.versionAfter = "2.0.0";
    EXPECT_EQ(ReportLine(ok),
              R"({"port":"/dev/ttyUSB0","result":"Successful","status":0,"image":"fw)" "\xC3\xA9" R"(.bin",)"
              R"("size":262144,"bytes":262144,"blocks":259,"naks":1,"retries":1,"start":"2025-11-26T09:14:03.120Z",)"
              R"("end":"2025-11-26T09:14:27.311Z","seconds":24.191,"rate":10923,"version_before":"1.4.2",)"
              R"("version_after":"2.0.0"})" "\n");

    PortReport failed;
    failed.port = "C:\\\"odd\"";
    failed.result = "Aborted";
    failed.status = 8;
    failed.error = "no answer\r\nfrom the module";
    failed.start = failed.end = system_clock::time_point(milliseconds(951782400000)); // 2000-02-29, a leap day
    failed.verify = true;
    EXPECT_EQ(ReportLine(failed),
              R"({"port":"C:\\\"odd\"","result":"Aborted","status":8,"error":"no answer\r\nfrom the module",)"
              R"("image":"","size":0,"bytes":0,"blocks":0,"naks":0,"retries":0,"start":"2000-02-29T00:00:00.000Z",)"
              R"("end":"2000-02-29T00:00:00.000Z","seconds":0.000,"rate":0,"version_before":null,)"
              R"("version_after":null})" "\n");
}
