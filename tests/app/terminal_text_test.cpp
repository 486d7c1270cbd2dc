// The terminal text rules: the receive filter, backspace, the trim at the
// limit, hex lines, and the view bookkeeping that lets the view follow the
// text without copying it.
#include "app/TerminalText.h"

#include <gtest/gtest.h>
#include <random>

namespace {
std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(char(v));
    return s;
}

void Receive(TerminalText &t, const std::string &bytes)
{
    t.AppendReceived(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

// A plain model of what the view shows, driven only by ViewUpdates.
struct ViewModel {
    std::string shown;
    void Follow(TerminalText &t)
    {
        const auto u = t.TakeViewUpdate();
        ASSERT_LE(u.dropFront, shown.size());
        shown.erase(0, u.dropFront);
        ASSERT_LE(u.keep, shown.size());
        shown.resize(u.keep);
        shown.append(u.append);
    }
};
} // namespace

TEST(TerminalFilter, KeepsPrintableCrLfAndAppliesBackspaceWithinOneCall)
{
    struct Case {
        const char *name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"AB backspace C", "AB\bC", "AC"},
        {"backspace alone", "\b", ""},
        {"backspace after LF keeps the LF", "A\n\b", "A\n"},
        {"controls, DEL and high bytes dropped", Bytes({'a', 9, 7, 27, 0x7F, 0x80, 0xFF, 0, 'b'}), "ab"},
        {"lone CR kept", "x\ry", "x\ry"},
        {"two backspaces", "abc\b\b", "a"},
        {"tilde and space are printable", " ~", " ~"},
    };
    for (const Case &c : cases) {
        std::string out;
        FilterReceived(reinterpret_cast<const uint8_t *>(c.in.data()), c.in.size(), out);
        EXPECT_EQ(out, c.out) << c.name;
    }
}

TEST(TerminalFilter, BackspaceNeverReachesTextOfAnEarlierCall)
{
    TerminalText t;
    Receive(t, "abc");
    Receive(t, "\b");
    EXPECT_EQ(t.Text(), "abc");
    Receive(t, "d\b\be");
    EXPECT_EQ(t.Text(), "abce");
}

TEST(TerminalText, TrimsToTheExactKeptLengthAtTheLimit)
{
    TerminalText t;
    std::string big(TerminalText::kLimit - 10, 'x');
    big[0] = 'S'; // the first character must go
    t.Echo(big);
    std::string step(20, 'y');
    Receive(t, step);
    ASSERT_EQ(t.Length(), TerminalText::kKeepBase - 20 + 20);
    EXPECT_EQ(t.Text().substr(0, 3), "xxx");
    EXPECT_EQ(t.Text().substr(t.Length() - 20), step);

    // Below the limit nothing is cut.
    TerminalText u;
    u.Echo(std::string(TerminalText::kLimit - 21, 'x'));
    Receive(u, step);
    EXPECT_EQ(u.Length(), TerminalText::kLimit - 1);
}

TEST(TerminalText, UnfilteredCountDecidesTheTrimAndHugeStepsKeepOnlyThemselves)
{
    TerminalText t;
    t.Echo(std::string(TerminalText::kLimit - 5, 'x'));
    // Ten bytes of which only two survive the filter still trigger the trim.
    Receive(t, Bytes({1, 2, 3, 4, 5, 6, 7, 8, 'o', 'k'}));
    EXPECT_EQ(t.Length(), TerminalText::kKeepBase - 10 + 2);

    TerminalText huge;
    huge.Echo("old");
    std::string flood(TerminalText::kLimit + 100, 'z');
    Receive(huge, flood);
    EXPECT_EQ(huge.Length(), flood.size()) << "a step larger than the keep size leaves only itself";
}

TEST(TerminalText, EchoIsUnfilteredAndUntrimmed)
{
    TerminalText t;
    t.Echo(std::string(TerminalText::kLimit, 'x'));
    t.Echo(Bytes({0x01, 0xFF, '\r'}));
    EXPECT_EQ(t.Length(), TerminalText::kLimit + 3);
    Receive(t, "a");
    EXPECT_EQ(t.Length(), TerminalText::kKeepBase - 1 + 1);
}

TEST(TerminalText, HexLinesAreOneLinePerStep)
{
    TerminalText t;
    const uint8_t step1[] = {0x41, 0xFF};
    const uint8_t step2[] = {0x41, 0x42, 0x0D, 0x0A};
    t.AppendHex(step1, 2);
    t.AppendHex(step2, 4);
    EXPECT_EQ(t.Text(), " 41 FF\r\n 41 42 0D 0A\r\n");
}

TEST(TerminalText, HexTrimsPerByteLikeSeparateAppends)
{
    TerminalText t;
    t.Echo(std::string(TerminalText::kLimit - 3, 'x'));
    const uint8_t bytes[] = {0xAB, 0xCD};
    t.AppendHex(bytes, 2);
    // The first byte's append sees length + 3 >= limit: cut to keep - 3, then
    // " AB"; the second and the line end fit below the limit again.
    EXPECT_EQ(t.Length(), TerminalText::kKeepBase - 3 + 3 + 3 + 2);
    EXPECT_EQ(t.Text().substr(t.Length() - 8), " AB CD\r\n");
}

TEST(TerminalText, RubOutRemovesOnlyAPrintableLastCharacter)
{
    TerminalText t;
    EXPECT_FALSE(t.RubOut());
    t.Echo("ab\n");
    EXPECT_FALSE(t.RubOut());
    EXPECT_EQ(t.Text(), "ab\n");
    t.Echo("c");
    EXPECT_TRUE(t.RubOut());
    EXPECT_EQ(t.Text(), "ab\n");
}

TEST(TerminalView, FollowsEveryChangeIncludingTrimsRubOutsAndClears)
{
    std::mt19937 rng(7);
    TerminalText t;
    ViewModel view;
    for (int round = 0; round < 3000; ++round) {
        switch (rng() % 6) {
        case 0: {
            std::string s(rng() % 5000, 'a');
            for (char &c : s)
                c = char(rng() % 256);
            Receive(t, s);
            break;
        }
        case 1: t.Echo(std::string(rng() % 3, 'e')); break;
        case 2: t.RubOut(); break;
        case 3:
            if (rng() % 50 == 0)
                t.Clear();
            break;
        case 4: {
            const uint8_t b[] = {uint8_t(rng()), uint8_t(rng())};
            t.AppendHex(b, 2);
            break;
        }
        case 5:
            if (rng() % 200 == 0)
                t.Echo(std::string(TerminalText::kLimit - t.Length() - 3, 'f'));
            break;
        }
        if (rng() % 3 == 0)
            view.Follow(t);
        ASSERT_FALSE(HasFatalFailure()) << "round " << round;
    }
    view.Follow(t);
    EXPECT_EQ(view.shown, t.Text());
    EXPECT_FALSE(t.TakeViewUpdate().changed) << "a second update without changes is empty";
}
