// The terminal: its text at the edges of the receive rules (the filter with
// backspace inside one call, the trim counted on unfiltered bytes right at the
// limit, hex lines trimmed per byte), a step received in slices, and the view
// read back as a screen reader reads it: where each character stands,
// scrolled through the whole text. fuzz_terminal_text checks the text's rules,
// echoes too, against a model on random input; the main window test, the line
// test's echo trimmed at the limit.
#include "app/CTerminalView.h"
#include "app/SlicedReceive.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const uint8_t *Bytes(std::string_view s) { return reinterpret_cast<const uint8_t *>(s.data()); }

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

// A terminal text shown in a view of 320 x 200 pixels.
struct View {
    TerminalText text;
    CTerminalView view;

    View()
    {
        QFont font(QStringLiteral("Courier New"));
        font.setPixelSize(12);
        view.setFont(font);
        view.resize(320, 200);
        view.show();
        (void)QTest::qWaitForWindowExposed(&view);
    }
    void Echo(std::string_view s)
    {
        text.Echo(s);
        view.Follow(text);
    }
    QAccessibleTextInterface *Access() { return QAccessible::queryAccessibleInterface(&view)->textInterface(); }
    // Viewport rectangle of the character cell at offset.
    QRect Cell(size_t offset)
    {
        const QRect r = Access()->characterRect(int(offset));
        return QRect(view.viewport()->mapFromGlobal(r.topLeft()), r.size());
    }
    int OffsetAt(QPoint viewportPoint) { return Access()->offsetAtPoint(view.viewport()->mapToGlobal(viewportPoint)); }
    bool AtEnd() { return view.verticalScrollBar()->value() == view.verticalScrollBar()->maximum(); }
};
} // namespace

// Each step whole, and in slices through SlicedReceive with more bytes arriving
// meanwhile, which belong to the next step: the slices show what the whole
// step shows, a backspace reaching back into earlier slices, the trim made
// for the whole step.
TEST(TerminalText, FilterTrimAndHexAtTheirEdgesWholeAndInSlices)
{
    const size_t limit = TerminalText::kLimit, keep = TerminalText::kKeepBase;
    const std::string filtered = std::string("AB\b\bC\n\b\t\a\x1b\x7f\x80\xff", 13) + std::string(1, '\0') + "x\ry ~";
    const struct {
        const char *name;
        size_t echoed;     // an echo of that many x first
        std::string step;  // then one received step
        bool hex;
        size_t slice;
        size_t length;     // the length after it
        std::string tail;
    } cases[] = {
        {"the filter; a backspace never rubs out a line end", 0, filtered, false, 2, 7, "C\nx\ry ~"},
        {"a backspace rubs out nothing before its step", 2, "\b", false, 1, 2, "xx"},
        {"one short of the limit: nothing cut", limit - 21, std::string(20, 'y'), false, 4, limit - 1, "y"},
        {"at the limit: cut for the step", limit - 11, std::string(20, 'y'), false, 4, keep, "x" + std::string(20, 'y')},
        {"ten bytes of which two show trim for ten", limit - 5, "\x01\x02\x03\x04\x05\x06\x07\x08ok", false, 3,
         keep - 10 + 2, "xok"},
        {"a step larger than the keep size leaves only itself", 3, std::string(limit + 100, 'z'), false, 65536,
         limit + 100, "zz"},
        {"hex, one line", 0, std::string("A\xFF\r\n\x00", 5), true, 2, 17, " 41 FF 0D 0A 00\r\n"},
        // " AB" reaches the limit and trims to kKeepBase - 3; " CD" and CR LF fit.
        {"hex trims per byte", limit - 3, "\xAB\xCD", true, 1, keep + 5, "x AB CD\r\n"},
    };
    for (const auto &c : cases) {
        TerminalText whole, sliced;
        whole.Echo(std::string(c.echoed, 'x'));
        sliced.Echo(std::string(c.echoed, 'x'));
        c.hex ? whole.AppendHex(Bytes(c.step), c.step.size()) : whole.AppendReceived(Bytes(c.step), c.step.size());
        EXPECT_EQ(whole.Length(), c.length) << c.name;
        EXPECT_EQ(whole.Text().substr(whole.Length() - std::min(whole.Length(), c.tail.size())), c.tail) << c.name;
        ArrivingLink link{c.step, "+"};
        SlicedReceive receive(link, sliced);
        ASSERT_TRUE(receive.Start(c.hex)) << c.name;
        while (receive.Continue(c.slice)) {
        }
        EXPECT_TRUE(link.read == c.step && sliced.Text() == whole.Text()) << c.name << ", in slices";
    }
}

// The view stays at the end of the text, scrolls back through all of it, and
// lays it out as the text's line ends say, across updates and trims too.
TEST(TerminalView, EveryCharacterStandsWhereItsLineSaysThroughScrollsAndTrims)
{
    View v;
    for (int i = 0; i < 200; ++i)
        v.Echo("row " + std::to_string(1000 + i) + "\r\n"); // ten characters a line
    QScrollBar *bar = v.view.verticalScrollBar();
    const QPoint topLeft(4, 2);
    bar->setValue(57);
    EXPECT_EQ(v.OffsetAt(topLeft), 570);
    v.Echo("x");
    EXPECT_TRUE(v.AtEnd()) << "new text scrolls to the end again";
    v.view.resize(150, 200);
    EXPECT_TRUE(v.AtEnd()) << "a narrower view keeps the end in view";

    // A CR at the end and the LF of a later update make one line end, and a
    // bare CR ends a line of its own.
    v.Echo("ab\r");
    v.Echo("\ncd\re");
    const size_t end = v.text.Length(), rowHeight = size_t(v.Cell(end - 8).height()); // the "a"
    EXPECT_EQ(size_t(v.Cell(end - 4).top() - v.Cell(end - 8).top()), rowHeight) << "the c";
    EXPECT_EQ(size_t(v.Cell(end - 1).top() - v.Cell(end - 8).top()), 2 * rowHeight) << "the e";

    // A trim at a line's start, inside it, before its CR and between CR and
    // LF: the rest of that line is the first row, the next line the second.
    std::string lines;
    while (lines.size() < TerminalText::kLimit - 100)
        lines += "12345678\r\n";
    for (const size_t cut : {0u, 5u, 8u, 9u}) {
        v.text.Clear();
        v.text.AppendReceived(Bytes(lines), lines.size());
        v.view.Follow(v.text);
        const std::string step = std::string(98 + cut, 'z') + "\r\n"; // drops 1900 + its size at the front
        v.text.AppendReceived(Bytes(step), step.size());
        v.view.Follow(v.text);
        const size_t second = v.text.Text().find('\n') + 1;
        ASSERT_EQ(second, 10 - cut) << "cut " << cut;
        bar->setValue(1);
        EXPECT_EQ(v.OffsetAt(topLeft), int(second)) << "cut " << cut;
        bar->setValue(2);
        EXPECT_EQ(v.OffsetAt(topLeft), int(second + 10)) << "cut " << cut;
    }

    // One line longer than the limit (a hex step) wraps, and any row of it can be reached.
    v.text.Clear();
    std::vector<uint8_t> bytes(1500000, 0xA5);
    v.text.AppendHex(bytes.data(), bytes.size());
    v.view.Follow(v.text);
    int columns = 1;
    while (v.Cell(columns).top() == v.Cell(0).top())
        ++columns;
    EXPECT_EQ(bar->maximum() + bar->pageStep(), (int(v.text.Length()) - 2 + columns - 1) / columns + 1);
    EXPECT_EQ(v.Access()->cursorPosition(), int(v.text.Length())) << "the caret follows the end";
    bar->setValue(12345);
    EXPECT_EQ(v.OffsetAt(topLeft), 12345 * columns);
}
