// The line index of the terminal view against a plain split of the whole text,
// after every kind of change the terminal text goes through.
#include "app/TerminalLines.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {
const uint8_t *Bytes(const std::string &s) { return reinterpret_cast<const uint8_t *>(s.data()); }

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
        const size_t cellCount = ref[i].end - ref[i].begin;
        const size_t rows = cellCount == 0 ? 1 : (cellCount + index.Columns() - 1) / index.Columns();
        ASSERT_TRUE(index.LineStart(i) == ref[i].begin && index.LineCells(i).end == ref[i].end &&
                    index.FirstRowOf(i) == row && index.RowsOf(i) == rows)
            << context << ", line " << i << " of " << rows << " rows from row " << row;
        if (i % step == 0 || rows > 1) {
            const TerminalLines::RowPlace place = index.LocateRow(row + rows - 1);
            ASSERT_TRUE(place.line == i && place.rowInLine == rows - 1) << context << ", last row of line " << i;
            ASSERT_TRUE(index.LineOfOffset(ref[i].begin) == i &&
                        index.LineOfOffset(ref[i].next - (ref[i].next > ref[i].begin)) == i)
                << context << ", offsets of line " << i;
        }
        row += rows;
    }
    ASSERT_EQ(index.RowCount(), row) << context;
    EXPECT_EQ(index.LocateRow(row + 5).line, ref.size() - 1) << context << ": rows past the end";
}
} // namespace

TEST(TerminalLines, FollowsRandomChangesAndWidths)
{
    std::mt19937 rng(20240611);
    const std::string alphabet = "ab \r\n\r\n\b\x01\xE9";
    TerminalText text;
    TerminalLines index(text);
    const size_t widths[] = {1, 2, 7, 80};
    for (int op = 0; op < 3000; ++op) {
        const unsigned kind = rng() % 8; // receive, echo, rub out, hex, then a clear or a new width
        std::string s(rng() % (kind < 2 ? 41 : 13), ' ');
        for (char &ch : s)
            ch = alphabet[rng() % alphabet.size()];
        if (kind < 2)
            text.AppendReceived(Bytes(s), s.size());
        else if (kind < 4)
            text.Echo(s);
        else if (kind < 6)
            text.RubOut();
        else if (kind == 6)
            text.AppendHex(Bytes(s), s.size() / 2);
        else if (rng() % 10 == 0)
            text.Clear();
        else
            index.SetColumns(widths[rng() % 4]);
        if (rng() % 3 == 0)
            continue; // some changes pile up before the view follows them
        index.Apply(text.TakeViewUpdate());
        ExpectMatches(index, text.Text(), "op " + std::to_string(op) + ", kind " + std::to_string(kind));
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
        text.AppendReceived(Bytes(block), block.size());
        index.Apply(text.TakeViewUpdate());
        // Receiving c bytes now drops block.size() - (kKeepBase - c) at the front.
        const size_t base = block.size() - TerminalText::kKeepBase + 100;
        const size_t c = 100 + (cutInLine + 79 * 100 - base % 79) % 79;
        const std::string more = std::string(c - 2, 'z') + "\r\n";
        text.AppendReceived(Bytes(more), more.size());
        index.Apply(text.TakeViewUpdate());
        ASSERT_EQ((block.size() - text.Length() + more.size()) % 79, cutInLine);
        ExpectMatches(index, text.Text(), "cut at " + std::to_string(cutInLine) + " in a line");
    }
}
