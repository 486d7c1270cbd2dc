// A tray's rules without a process: one module's load against the virtual
// module in fake time (the version unchanged, a module that is not there or
// not heard after the download, Ctrl+C before it), the report line, and which
// ports a command line loads. The cli tests load a tray of virtual modules
// (and check the tray's exit status).

#include "RecordingSinks.h"

#include "sim/VirtualModule.h"
#include "transfer/ModuleLoad.h"
#include "transfer/TrayRules.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
// The load's port joined to a virtual module: what the load writes reaches
// the module at once; what the module says arrives 30 bytes every 10 ms, so
// replies come in pieces. Once it says deafFrom (its boot banner, say) it is
// heard no more; with deafFrom "", not at all.
struct ModuleLink : SerialLink, TickClock {
    VirtualModule module{0xC001, MeshModel::Demo(), TransferFaults{}};
    uint32_t now = 1000;
    std::string heard, written; // heard: said and not yet read
    size_t arrived = 0;         // of heard, the bytes that have reached the port
    const char *deafFrom = nullptr;
    bool deaf = false;

    SimTime At() const { return SimTime() + milliseconds(now); }
    void Hear()
    {
        const std::string out = module.TakeOutput();
        deaf = deaf || (deafFrom && out.find(deafFrom) != std::string::npos);
        heard += deaf ? "" : out;
    }
    uint32_t TickCount() override { return now; }
    int32_t BytesWaiting() override { return int32_t(arrived); }
    int32_t ReadByte() override
    {
        uint8_t byte;
        return ReadBlock(&byte, 1) ? int8_t(byte) : -1;
    }
    uint32_t ReadBlock(uint8_t *buffer, int32_t max) override
    {
        const size_t n = heard.copy(reinterpret_cast<char *>(buffer), std::min(arrived, size_t(max)));
        heard.erase(0, n);
        arrived -= n;
        return uint32_t(n);
    }
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        written.append(reinterpret_cast<const char *>(bytes), count);
        module.Receive(written.substr(written.size() - count), At());
        Hear();
        return int32_t(count);
    }
    void SetRtsHandshake(bool) override {}
    void Pass(uint32_t ms)
    {
        now += ms;
        module.Tick(At());
        Hear();
        arrived = std::min(heard.size(), arrived + 3 * ms);
    }
};

// 5000 bytes of no text, the version text (if any) in the middle.
std::vector<uint8_t> Image(const std::string &version)
{
    std::vector<uint8_t> image(5000, 0x80);
    std::copy(version.begin(), version.end(), image.begin() + 2500);
    return image;
}
} // namespace

TEST(ModuleLoad, EndsAsTheModuleAnswers)
{
    const struct {
        const char *name;
        std::string version;     // in the image
        const char *deafFrom;    // the module is not heard from this text on ("": at all)
        uint32_t abortAtMs;      // Ctrl+C then (0: never)
        uint32_t bytes;          // acknowledged
        LoadEnd end;
        const char *result, *error, *before, *after;
        const char *wireEnd;     // the last bytes written
    } cases[] = {
        {"same version", "Version 1.4.2", nullptr, 0, 5000, LoadEnd::VersionUnchanged, "Version unchanged",
         "the module still reports version 1.4.2 after the download", "1.4.2", "1.4.2", "2at+ab info\r\n"},
        {"nobody there", "", "", 0, 0, LoadEnd::TimedOut, "No answer",
         "no answer to the info request within 2000 ms", "", "", "at+ab info\r\n"},
        {"no banner", "", "Boot:", 0, 5000, LoadEnd::TimedOut, "No answer",
         "no boot banner within 3000 ms after the download", "1.4.2", "", "2"},
        {"Ctrl+C while the version is asked", "", "", 500, 0, LoadEnd::Aborted, "Aborted",
         "stopped before the download", "", "", "at+ab info\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ModuleLink link;
        link.deafFrom = c.deafFrom;
        Sinks display;
        Settings settings;
        const ModuleLoadOptions options{true, 2000, 2000, 3000}; // verify; quiet limit, reply and boot waits
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
        const LoadOutcome &o = load.Outcome();
        EXPECT_TRUE(load.Done());
        EXPECT_EQ(std::tie(o.end, o.result, o.error, o.versionBefore, o.versionAfter),
                  std::make_tuple(c.end, std::string(c.result), std::string(c.error), std::string(c.before),
                                  std::string(c.after)));
        const std::string &out = link.written;
        EXPECT_EQ(out.substr(out.size() - std::min(out.size(), strlen(c.wireEnd))), c.wireEnd);
        // A failure that the download's own texts do not tell is told once.
        EXPECT_EQ(notices, c.error[0] ? std::vector<std::string>{c.error} : std::vector<std::string>{});
        EXPECT_EQ(load.Sender().BytesAcknowledged(), c.bytes);
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
}

// Windows-1252 in, UTF-8 out; quotes, backslashes and line ends escaped;
// times to the millisecond (a leap day), the rate from the transfer's time;
// a version not read is null.
TEST(TrayRules, TheReportLineIsOneJsonObject)
{
    using namespace std::chrono;
    const auto start = system_clock::time_point(milliseconds(951782400120)); // 2000-02-29
    const PortReport report{"C:\\\"odd\"", "Aborted", 8, "no answer\r\nfrom the module", "fw\xE9.bin", 262144, 131072,
                            {129, 2, 1}, start, start + milliseconds(24191), 24000, true, "1.4.2", ""};
    EXPECT_EQ(ReportLine(report),
              R"({"port":"C:\\\"odd\"","result":"Aborted","status":8,"error":"no answer\r\nfrom the module",)"
              R"("image":"fw)" "\xC3\xA9" R"(.bin","size":262144,"bytes":131072,"blocks":129,"naks":2,"retries":1,)"
              R"("start":"2000-02-29T00:00:00.120Z","end":"2000-02-29T00:00:24.311Z","seconds":24.191,"rate":5461,)"
              R"("version_before":"1.4.2","version_after":null})" "\n");
}
