// The terminal text's edge cases: the receive filter with backspace inside
// one call, the trim counted on unfiltered bytes right at the limit, echo
// outside both, hex lines trimmed per byte, and a step received in slices.
// fuzz_terminal_text checks the same rules, rub-out and the view bookkeeping
// against a model on random input.
#include "app/SlicedReceive.h"
#include "app/TerminalText.h"

#include <gtest/gtest.h>

namespace {
void Receive(TerminalText &t, const std::string &bytes)
{
    t.AppendReceived(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}
} // namespace

TEST(TerminalText, FilterTrimAndHexAtTheirEdges)
{
    TerminalText t; // a backspace rubs out within its call only, and never a line end
    Receive(t, std::string("AB\bC\n\b\t\a\x1b\x7f\x80\xff", 12) + std::string(1, '\0') + "x\ry ~");
    Receive(t, "\b");
    EXPECT_EQ(t.Text(), "AC\nx\ry ~");

    const size_t limit = TerminalText::kLimit, keep = TerminalText::kKeepBase;
    const struct {
        const char *name;
        size_t echoed;     // an echo of that many x first
        std::string step;  // then one received step
        bool hex;
        size_t length;     // the length after it
        std::string tail;
    } cases[] = {
        {"one short of the limit: nothing cut", limit - 21, std::string(20, 'y'), false, limit - 1, "y"},
        {"at the limit: cut for the step", limit - 11, std::string(20, 'y'), false, keep, "x" + std::string(20, 'y')},
        {"ten bytes of which two show trim for ten", limit - 5, "\x01\x02\x03\x04\x05\x06\x07\x08ok", false,
         keep - 10 + 2, "xok"},
        {"a step larger than the keep size leaves only itself", 3, std::string(limit + 100, 'z'), false,
         limit + 100, "zz"},
        // " AB" reaches the limit and trims to kKeepBase - 3; " CD" and CR LF fit.
        {"hex trims per byte", limit - 3, "\xAB\xCD", true, keep + 5, "x AB CD\r\n"},
    };
    for (const auto &c : cases) {
        TerminalText text;
        text.Echo(std::string(c.echoed, 'x'));
        const auto *bytes = reinterpret_cast<const uint8_t *>(c.step.data());
        c.hex ? text.AppendHex(bytes, c.step.size()) : text.AppendReceived(bytes, c.step.size());
        EXPECT_EQ(text.Length(), c.length) << c.name;
        EXPECT_EQ(text.Text().substr(text.Length() - std::min(text.Length(), c.tail.size())), c.tail) << c.name;
    }

    TerminalText echo; // an echo is never trimmed, but a piece of the line test's echo is
    echo.Echo(std::string(limit, 'x'));
    echo.Echo("\x01\xff\r");
    EXPECT_EQ(echo.Length(), limit + 3);
    echo.EchoTrimmed("\x01\xff\r");
    EXPECT_EQ(echo.Length(), keep);
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
        while (receive.Continue(c.slice)) {
        }
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
