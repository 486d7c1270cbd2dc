// The module's answers outside a download, stepped through fake time.
#include "sim/VirtualModule.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {
struct ModuleUnderTest {
    VirtualModule module{0xC001, MeshModel::Demo(), TransferFaults{}};
    SimTime now = SimTime() + seconds(1000);

    // Sends bytes, lets time pass (ticking at every deadline), returns the output.
    std::string Send(const std::string &bytes, milliseconds after = milliseconds(300))
    {
        module.Receive(bytes, now);
        const SimTime end = now + after;
        for (std::optional<SimTime> next; (next = module.NextDeadline()) && *next <= end;)
            module.Tick(now = std::max(now, *next));
        module.Tick(now = end);
        return module.TakeOutput();
    }
    // Sends bytes one at a time, gap apart, and returns all output.
    std::string Type(const std::string &bytes, milliseconds gap)
    {
        std::string out;
        for (char b : bytes)
            out += Send(std::string(1, b), gap);
        return out + Send("");
    }
};

size_t Count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
} // namespace

TEST(VirtualModule, AnswersCommandsWithItsTexts)
{
    // Info to every line end, also typed slowly: one command, its keywords
    // after the start of the reply, where the scan looks for them.
    const std::pair<const char *, int> typed[] = {
        {"at+ab info\r", 0}, {"at+ab info\n", 0}, {"at+ab info\r\n", 0}, {"AT+AB Info\r", 400}};
    for (const auto &[text, gap] : typed) {
        const std::string reply = ModuleUnderTest().Type(text, milliseconds(gap));
        EXPECT_TRUE(Count(reply, "Version ") == 1 && reply.find("Version ") > 0 &&
                    Count(reply, "Publish Addr C001") == 1 && Count(reply, "ERROR") == 0)
            << testing::PrintToString(std::string(text)) << ": " << reply;
    }
    ModuleUnderTest m;
    EXPECT_EQ(m.Send("at+ab bogus\r\n"), "\r\nERROR: unknown command \"at+ab bogus\"\r\n");
    EXPECT_EQ(m.Send("at+ab loranet\r\n"), "\r\nERROR: usage: at+ab loranet <group>\r\n");
    EXPECT_EQ(m.Send("at+ab SendData FFFF \"Hello World\\n\"\r\n"), "\r\nSent 12 bytes to FFFF\r\nOK\r\n");
    EXPECT_EQ(m.Send("at+ab loranet 8001\r\n"), "\r\nNo nodes in group 8001\r\n");
}

TEST(VirtualModule, InputThatIsNoCommandGetsOneErrorLinePerBurst)
{
    std::string text; // the line test's text: 100 lines, 3,000 bytes
    char line[32];
    for (int i = 1; i <= 100; ++i) {
        std::snprintf(line, sizeof line, "Line %-5d%07d Bytes sent\r\n", i, i * 30);
        text += line;
    }
    const int cases[][3] = {{3000, 0, 1}, {256, 100, 1}, {256, 300, 12}}; // block, gap in ms, error lines
    for (const auto &[block, gap, errors] : cases) {
        ModuleUnderTest m;
        std::string out;
        for (size_t at = 0; at < text.size(); at += block)
            out += m.Send(text.substr(at, block), milliseconds(gap));
        out += m.Send("", milliseconds(500));
        const std::string name = std::to_string(block) + " bytes " + std::to_string(gap) + " ms apart: " + out;
        EXPECT_EQ(Count(out, "\r\nERROR: not a command ("), size_t(errors)) << name;
        EXPECT_EQ(Count(out, "\r\n"), 2u * errors) << "nothing but the error lines, " << name;
        EXPECT_EQ(errors == 1, out.find("(3000 bytes)") != std::string::npos) << name;
    }
    // Binary junk up to the line end is thrown away; the command after it is answered.
    ModuleUnderTest m;
    std::string out = m.Send(std::string("\xFF\x01\x02\x7E", 4) + "\r\nat+ab info\r\n");
    EXPECT_NE(out.find("Publish Addr C001"), std::string::npos) << out;
    EXPECT_NE(out.find("ERROR: not a command (6 bytes)"), std::string::npos) << out;
    // Junk without a line end: a pause ends it, and a binary test message
    // after it, even in pieces, gets its answer: the device address ends in
    // the node address.
    out = m.Send(std::string("\x01\x03\x0D", 3)) + m.Type(std::string("\x01\x09\x10\x00", 4), milliseconds(20));
    EXPECT_EQ(out, "\r\nERROR: not a command (3 bytes)\r\n" +
                       std::string("\x04\x0E\x0A\x01\x09\x10\x00\x01\x00\x00\xDC\x1B\x00", 13));
}
