// The line index of the terminal view against a plain split of the whole text,
// after every kind of change the terminal text goes through.
#include "app/TerminalLines.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {
struct RefLine {
    size_t begin, end, next; // cells [begin, end), next line at next
};

// Splits the text the slow way: LF, CR LF and a CR without LF end a line.
std::vector<RefLine> SplitLines(std::string_view t)
{
    std::vector<RefLine> lines;
    size_t begin = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\n') {
            lines.push_back({begin, i > begin && t[i - 1] == '\r' ? i - 1 : i, i + 1});
            begin = i + 1;
        } else if (t[i] == '\r' && (i + 1 == t.size() || t[i + 1] != '\n')) {
            lines.push_back({begin, i, i + 1});
            begin = i + 1;
        }
    }
    lines.push_back({begin, t.size(), t.size()});
    return lines;
}

// Compares every line, its rows and the lookups; rows and offsets are all
// checked on small texts, sampled on large ones.
void ExpectMatches(const TerminalLines &index, std::string_view text, const std::string &context)
{
    const std::vector<RefLine> ref = SplitLines(text);
    ASSERT_EQ(index.LineCount(), ref.size()) << context;
    size_t row = 0;
    const size_t step = text.size() > 5000 ? 997 : 1;
    for (size_t i = 0; i < ref.size(); ++i) {
        const TerminalLines::Cells cells = index.LineCells(i);
        ASSERT_EQ(index.LineStart(i), ref[i].begin) << context << ", line " << i;
        ASSERT_EQ(cells.end, ref[i].end) << context << ", line " << i;
        ASSERT_EQ(index.FirstRowOf(i), row) << context << ", line " << i;
        const size_t cellCount = ref[i].end - ref[i].begin;
        const size_t rows = cellCount == 0 ? 1 : (cellCount + index.Columns() - 1) / index.Columns();
        ASSERT_EQ(index.RowsOf(i), rows) << context << ", line " << i;
        if (i % step == 0 || rows > 1) {
            const TerminalLines::RowPlace place = index.LocateRow(row + rows - 1);
            ASSERT_EQ(place.line, i) << context << ", last row of line " << i;
            ASSERT_EQ(place.rowInLine, rows - 1) << context << ", line " << i;
            ASSERT_EQ(index.LineOfOffset(ref[i].begin), i) << context << ", line " << i;
            ASSERT_EQ(index.LineOfOffset(ref[i].next - (ref[i].next > ref[i].begin)), i)
                << context << ", line end of " << i;
        }
        row += rows;
    }
    ASSERT_EQ(index.RowCount(), row) << context;
    EXPECT_EQ(index.LocateRow(row + 5).line, ref.size() - 1) << context << ": rows past the end";
}
} // namespace

TEST(TerminalLines, LineEndsAcrossPieces)
{
    struct Case {
        const char *name;
        std::vector<std::string> pieces; // each echoed and followed on its own
        std::string lines;               // the cells of each line, joined by '|'
    } cases[] = {
        {"empty text", {}, ""},
        {"CR LF, LF and a lone CR", {"ab\r\ncd\nef\rgh"}, "ab|cd|ef|gh"},
        {"CR at the end, LF in the next piece", {"ab\r", "\ncd"}, "ab|cd"},
        {"CR at the end, text in the next piece", {"ab\r", "cd"}, "ab|cd"},
        {"CR at the end alone", {"ab\r"}, "ab|"},
        {"CR CR LF, LF CR LF", {"a\r\r\nb\n\r\n"}, "a||b||"},
        {"controls take cells", {"a\x01\tb"}, "a\x01\tb"},
    };
    for (const Case &c : cases) {
        TerminalText text;
        TerminalLines index(text);
        for (const std::string &piece : c.pieces) {
            text.Echo(piece);
            index.Apply(text.TakeViewUpdate());
        }
        std::string lines;
        for (size_t i = 0; i < index.LineCount(); ++i) {
            const TerminalLines::Cells cells = index.LineCells(i);
            lines += (i ? "|" : "") + std::string(text.Text().substr(cells.begin, cells.end - cells.begin));
        }
        EXPECT_EQ(lines, c.lines) << c.name;
    }
}

TEST(TerminalLines, FollowsRandomChangesAndWidths)
{
    std::mt19937 rng(20240611);
    const std::string alphabet = "ab \r\n\r\n\b\x01\xE9";
    auto randomText = [&](size_t maxLength) {
        std::string s(rng() % (maxLength + 1), ' ');
        for (char &ch : s)
            ch = alphabet[rng() % alphabet.size()];
        return s;
    };
    TerminalText text;
    TerminalLines index(text);
    const size_t widths[] = {1, 2, 7, 80};
    for (int op = 0; op < 3000; ++op) {
        std::string name;
        switch (rng() % 8) {
        case 0: case 1: {
            const std::string s = randomText(40);
            text.AppendReceived(reinterpret_cast<const uint8_t *>(s.data()), s.size());
            name = "receive";
            break;
        }
        case 2: case 3: text.Echo(randomText(12)); name = "echo"; break;
        case 4: case 5: text.RubOut(); name = "rub out"; break;
        case 6: {
            const std::string s = randomText(6);
            text.AppendHex(reinterpret_cast<const uint8_t *>(s.data()), s.size());
            name = "hex";
            break;
        }
        default:
            if (rng() % 10 == 0) {
                text.Clear();
                name = "clear";
            } else {
                index.SetColumns(widths[rng() % 4]);
                name = "width";
            }
        }
        // Some changes pile up before the view follows them.
        if (rng() % 3 == 0)
            continue;
        index.Apply(text.TakeViewUpdate());
        ExpectMatches(index, text.Text(), "op " + std::to_string(op) + " (" + name + ")");
        if (HasFatalFailure())
            return;
    }
}

TEST(TerminalLines, FollowsTrimsAtTheLimit)
{
    // A trim that cuts the front right after LF, inside a line, before CR,
    // and between CR and LF (the lines are 77 characters and CR LF).
    const std::string line = std::string(77, 'x') + "\r\n";
    std::string block;
    while (block.size() < TerminalText::kLimit - 100)
        block += line;
    block.resize(TerminalText::kLimit - 100);
    for (size_t cutInLine : {0u, 30u, 77u, 78u}) {
        TerminalText text;
        TerminalLines index(text);
        index.SetColumns(50);
        text.AppendReceived(reinterpret_cast<const uint8_t *>(block.data()), block.size());
        index.Apply(text.TakeViewUpdate());
        // Receiving c bytes now drops block.size() - (kKeepBase - c) at the front.
        const size_t base = block.size() - TerminalText::kKeepBase + 100;
        const size_t c = 100 + (cutInLine + 79 * 100 - base % 79) % 79;
        const std::string more = std::string(c - 2, 'z') + "\r\n";
        text.AppendReceived(reinterpret_cast<const uint8_t *>(more.data()), more.size());
        index.Apply(text.TakeViewUpdate());
        ASSERT_EQ((block.size() - text.Length() + more.size()) % 79, cutInLine);
        ExpectMatches(index, text.Text(), "cut at " + std::to_string(cutInLine) + " in a line");

        if (cutInLine == 0) {
            // Hex display of a large step: one line longer than the limit, cut to its tail.
            std::vector<uint8_t> bytes(1500000, 0x5A);
            text.AppendHex(bytes.data(), bytes.size());
            index.Apply(text.TakeViewUpdate());
            ExpectMatches(index, text.Text(), "hex step");
            EXPECT_EQ(index.LineCount(), 2u);
            EXPECT_EQ(index.RowCount(), (text.Length() - 2 + 49) / 50 + 1);
        }
    }
}
