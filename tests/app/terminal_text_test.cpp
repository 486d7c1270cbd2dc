// The terminal text's exact rules: the receive filter with backspace inside
// one call, the trim counted on unfiltered bytes, echo outside both, hex lines
// trimmed per byte, and rub-out. fuzz_terminal_text checks the same rules and
// the view bookkeeping against a model on random input.
#include "app/SlicedReceive.h"
#include "app/TerminalText.h"

#include <gtest/gtest.h>

namespace {
void Receive(TerminalText &t, const std::string &bytes)
{
    t.AppendReceived(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}
} // namespace

TEST(TerminalText, FilterKeepsPrintableCrLfAndBackspacesOnlyWithinOneCall)
{
    const std::pair<std::string, std::string> cases[] = {
        {"AB\bC", "AC"},
        {"A\n\b", "A\n"}, // a line end is never rubbed out
        {std::string("a\t\a\x1b\x7f\x80\xff", 7) + std::string(1, '\0') + "b", "ab"},
        {"x\ry ~", "x\ry ~"},
        {"abc\b\b", "a"},
    };
    for (const auto &[in, out] : cases) {
        TerminalText t;
        Receive(t, in);
        EXPECT_EQ(t.Text(), out) << in;
    }
    TerminalText t;
    Receive(t, "abc");
    Receive(t, "\b");
    Receive(t, "d\b\be");
    EXPECT_EQ(t.Text(), "abce") << "a backspace never reaches text of an earlier call";
}

TEST(TerminalText, TrimCountsTheUnfilteredStepAndEchoIsNeverTrimmed)
{
    TerminalText t;
    t.Echo("S" + std::string(TerminalText::kLimit - 11, 'x'));
    Receive(t, std::string(20, 'y'));
    ASSERT_EQ(t.Length(), TerminalText::kKeepBase);
    EXPECT_EQ(t.Text().substr(0, 1), "x");
    EXPECT_EQ(t.Text().substr(t.Length() - 20), std::string(20, 'y'));

    TerminalText below;
    below.Echo(std::string(TerminalText::kLimit - 21, 'x'));
    Receive(below, std::string(20, 'y'));
    EXPECT_EQ(below.Length(), TerminalText::kLimit - 1) << "one short of the limit: nothing cut";

    TerminalText filtered; // ten bytes of which two survive still trim for ten
    filtered.Echo(std::string(TerminalText::kLimit - 5, 'x'));
    Receive(filtered, "\x01\x02\x03\x04\x05\x06\x07\x08ok");
    EXPECT_EQ(filtered.Length(), TerminalText::kKeepBase - 10 + 2);

    TerminalText echo;
    echo.Echo(std::string(TerminalText::kLimit, 'x'));
    echo.Echo("\x01\xff\r");
    EXPECT_EQ(echo.Length(), TerminalText::kLimit + 3);
    echo.EchoTrimmed("\x01\xff\r"); // a piece of the line test's echo
    EXPECT_EQ(echo.Length(), TerminalText::kKeepBase);

    TerminalText huge;
    huge.Echo("old");
    Receive(huge, std::string(TerminalText::kLimit + 100, 'z'));
    EXPECT_EQ(huge.Length(), TerminalText::kLimit + 100) << "a step larger than the keep size leaves only itself";
}

TEST(TerminalText, HexIsOneLinePerStepTrimmedPerByte)
{
    TerminalText t;
    const uint8_t step1[] = {0x41, 0xFF}, step2[] = {0x41, 0x42, 0x0D, 0x0A};
    t.AppendHex(step1, 2);
    t.AppendHex(step2, 4);
    EXPECT_EQ(t.Text(), " 41 FF\r\n 41 42 0D 0A\r\n");

    TerminalText full;
    full.Echo(std::string(TerminalText::kLimit - 3, 'x'));
    const uint8_t bytes[] = {0xAB, 0xCD};
    full.AppendHex(bytes, 2);
    // " AB" reaches the limit and trims to kKeepBase - 3; " CD" and CR LF fit.
    EXPECT_EQ(full.Length(), TerminalText::kKeepBase + 5);
    EXPECT_EQ(full.Text().substr(full.Length() - 8), " AB CD\r\n");
}

namespace {
// A port whose waiting bytes grow by `arriving` after every read.
struct ArrivingLink : SerialLink {
    ArrivingLink(std::string w, std::string a = "") : waiting(std::move(w)), arriving(std::move(a)) {}
    std::string waiting, arriving, read;
    int32_t BytesWaiting() override { return int32_t(waiting.size()); }
    int32_t ReadByte() override { return -1; }
    uint32_t ReadBlock(uint8_t *buffer, int32_t max) override
    {
        const size_t n = std::min(waiting.size(), size_t(max));
        std::copy_n(waiting.begin(), n, buffer);
        read += waiting.substr(0, n);
        waiting = waiting.substr(n) + arriving;
        return uint32_t(n);
    }
    int32_t WriteBytes(const uint8_t *, uint32_t) override { return -1; }
    void SetRtsHandshake(bool) override {}
};
} // namespace

// A step shown in slices ends as one AppendReceived or AppendHex of the bytes
// waiting at its start; bytes arriving meanwhile belong to the next step.
TEST(SlicedReceive, AStepInSlicesShowsWhatTheWholeStepShows)
{
    const struct { const char *name; bool hex; size_t prefill; std::string step; size_t slice; } cases[] = {
        {"backspace across slices", false, 0, "AB\b\bC\x01D", 2},
        {"trim for the whole step", false, TerminalText::kLimit - 10, std::string(15, 'y') + "\b\bz", 4},
        {"hex, one line", true, 0, "A\xFF\r\n\x00", 2},
        {"hex at the limit", true, TerminalText::kLimit - 5, "ABCDEFG", 3},
    };
    for (const auto &c : cases) {
        TerminalText sliced, whole;
        sliced.Echo(std::string(c.prefill, 'x'));
        whole.Echo(std::string(c.prefill, 'x'));
        ArrivingLink link{c.step, "+"};
        SlicedReceive receive(link, sliced);
        ASSERT_TRUE(receive.Start(c.hex)) << c.name;
        int slices = 0;
        while (receive.Continue(c.slice))
            ++slices;
        EXPECT_EQ(slices + 1, int((c.step.size() + c.slice - 1) / c.slice)) << c.name;
        EXPECT_EQ(link.read, c.step) << c.name << ": every byte of the step read once";
        const auto *bytes = reinterpret_cast<const uint8_t *>(c.step.data());
        c.hex ? whole.AppendHex(bytes, c.step.size()) : whole.AppendReceived(bytes, c.step.size());
        EXPECT_TRUE(sliced.Text() == whole.Text()) << c.name << ": " << sliced.Length() << " against "
                                                   << whole.Length() << " characters";
    }

    TerminalText text; // an echo between two slices ends the receive call
    ArrivingLink link{"AB\bC"};
    SlicedReceive receive(link, text);
    receive.Start(false);
    receive.Continue(2);
    text.Echo("x");
    while (receive.Continue(2)) {
    }
    EXPECT_EQ(text.Text(), "ABxC");
}

TEST(TerminalText, RubOutRemovesOnlyAPrintableLastCharacter)
{
    TerminalText t;
    EXPECT_FALSE(t.RubOut());
    t.Echo("ab\n");
    EXPECT_FALSE(t.RubOut());
    t.Echo("c");
    EXPECT_TRUE(t.RubOut());
    EXPECT_EQ(t.Text(), "ab\n");
}
