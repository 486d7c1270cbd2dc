// The module's answers outside a download, stepped through fake time.
#include "sim/BinaryMessages.h"
#include "sim/VirtualModule.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {
const SimTime t0 = SimTime() + seconds(1000);

struct ModuleUnderTest {
    VirtualModule module{0xC001, MeshModel::Demo(), TransferFaults{}};
    SimTime now = t0;

    // Sends bytes, lets time pass (with ticks at every deadline), returns the output.
    std::string Send(const std::string &bytes, milliseconds after = milliseconds(300))
    {
        module.Receive(bytes, now);
        return Wait(after);
    }
    std::string Wait(milliseconds span)
    {
        const SimTime end = now + span;
        while (std::optional<SimTime> next = module.NextDeadline()) {
            if (*next > end)
                break;
            now = std::max(now, *next);
            module.Tick(now);
        }
        now = end;
        module.Tick(now);
        return module.TakeOutput();
    }
};

size_t Count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::string LineTest(int lines)
{
    std::string text;
    char line[64];
    for (int i = 1; i <= lines; ++i) {
        std::snprintf(line, sizeof line, "Line %-5d%07d Bytes sent\r\n", i, i * 30);
        text += line;
    }
    return text;
}
} // namespace

TEST(VirtualModule, InfoAnswersToEveryLineEndWithKeywordsAfterTheStart)
{
    for (const char *end : {"\r", "\n", "\r\n"}) {
        ModuleUnderTest m;
        const std::string reply = m.Send(std::string("at+ab info") + end);
        SCOPED_TRACE(testing::PrintToString(end));
        EXPECT_EQ(Count(reply, "Version "), 1u);
        EXPECT_GT(reply.find("Version "), 0u);
        EXPECT_NE(reply.find("Publish Addr C001"), std::string::npos);
        EXPECT_EQ(reply.find("ERROR"), std::string::npos) << reply;
    }
}

TEST(VirtualModule, SlowlyTypedCommandIsOneCommand)
{
    ModuleUnderTest m;
    std::string out;
    for (char c : std::string("AT+AB Info\r"))
        out += m.Send(std::string(1, c), milliseconds(400));
    EXPECT_NE(out.find("Publish Addr C001"), std::string::npos) << out;
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
}

TEST(VirtualModule, LineTestGetsOneErrorLinePerBurst)
{
    const std::string text = LineTest(100); // 3000 bytes
    struct Case {
        const char *name;
        size_t block;
        milliseconds gap;
        size_t errors;
    } cases[] = {
        {"one piece", text.size(), milliseconds(0), 1},
        {"blocks of 256, 100 ms apart", 256, milliseconds(100), 1},
        {"blocks of 256, 300 ms apart", 256, milliseconds(300), 12},
    };
    for (const Case &c : cases) {
        ModuleUnderTest m;
        std::string out;
        for (size_t at = 0; at < text.size(); at += c.block)
            out += m.Send(text.substr(at, c.block), c.gap);
        out += m.Wait(milliseconds(500));
        EXPECT_EQ(Count(out, "\r\nERROR: not a command ("), c.errors) << c.name << ": " << out;
        EXPECT_EQ(Count(out, "\r\n"), 2 * c.errors) << c.name << ": nothing but the error lines";
        if (c.errors == 1) {
            EXPECT_NE(out.find("(3000 bytes)"), std::string::npos) << c.name << ": " << out;
        }
    }
}

TEST(VirtualModule, UnknownCommandsAndUsageErrors)
{
    ModuleUnderTest m;
    EXPECT_EQ(m.Send("at+ab bogus\r\n"), "\r\nERROR: unknown command \"at+ab bogus\"\r\n");
    EXPECT_EQ(m.Send("at+ab loranet\r\n"), "\r\nERROR: usage: at+ab loranet <group>\r\n");
    EXPECT_EQ(m.Send("at+ab SendData FFFF \"Hello World\\n\"\r\n"), "\r\nSent 12 bytes to FFFF\r\nOK\r\n");
    EXPECT_EQ(m.Send("at+ab loranet 8001\r\n"), "\r\nNo nodes in group 8001\r\n");
}

TEST(VirtualModule, BinaryTestMessagesGetTheirAnswersWholeOrInPieces)
{
    // The HCI commands get HCI events (exact); the vendor messages a short
    // acknowledgement. None of them is taken for junk.
    const std::string expected[] = {
        std::string("\x04\x0E\x04\x01\x03\x0C\x00", 7),
        std::string("\x04\x0E\x0A\x01\x09\x10\x00\x01\x00\x00\xDC\x1B\x00", 13),
        std::string("\x04\x0F\x04\x00\x01\x01\x04\x04\x01\x01\x00", 11),
    };
    for (size_t i = 0; i < KnownBinaryMessages().size(); ++i) {
        const BinaryMessage &message = KnownBinaryMessages()[i];
        const std::string bytes(message.bytes.begin(), message.bytes.end());
        for (bool pieces : {false, true}) {
            ModuleUnderTest m;
            std::string out;
            if (pieces) {
                for (char b : bytes)
                    out += m.Send(std::string(1, b), milliseconds(20));
                out += m.Wait(milliseconds(300));
            } else {
                out = m.Send(bytes);
            }
            const std::string how = std::string(message.name) + (pieces ? " byte by byte" : " whole");
            if (i < 3)
                EXPECT_EQ(out, expected[i]) << how;
            else
                EXPECT_EQ(out.size(), 4u) << how;
        }
    }
}

TEST(VirtualModule, UnknownBinaryIsReportedOnceAndCommandsFollow)
{
    ModuleUnderTest m;
    // Junk up to the line end is thrown away; the command after it is answered.
    std::string out = m.Send(std::string("\xFF\x01\x02\x7E", 4) + "\r\nat+ab info\r\n");
    EXPECT_NE(out.find("Publish Addr C001"), std::string::npos) << out;
    EXPECT_NE(out.find("ERROR: not a command (6 bytes)"), std::string::npos) << out;
    // Junk without a line end: a pause ends it, and a test message follows.
    out = m.Send(std::string("\x01\x03\x0D", 3));
    out += m.Send(std::string("\x01\x03\x0C\x00", 4));
    EXPECT_EQ(Count(out, "ERROR"), 1u) << out;
    EXPECT_NE(out.find(std::string("\x04\x0E\x04\x01\x03\x0C\x00", 7)), std::string::npos);
}
