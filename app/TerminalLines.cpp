#include "app/TerminalLines.h"

#include <algorithm>
#include <cstring>

TerminalLines::TerminalLines(const TerminalText &text) : text_(text) { ScanAppended(0); }

void TerminalLines::Apply(const TerminalText::ViewUpdate &update)
{
    const std::string_view text = text_.Text();
    const size_t drop = std::min(update.dropFront, length_);
    while (!lines_.empty() && EntryOffset(0) <= drop)
        lines_.pop_front();
    base_ += drop;
    length_ -= drop;

    const size_t keep = std::min({update.keep, length_, text.size()});
    while (!lines_.empty() && EntryOffset(lines_.size() - 1) > keep)
        lines_.pop_back();
    length_ = keep;

    // A CR that ends the kept text ends its line unless an LF follows it now;
    // with that LF the two are one line end, which the scan below records.
    if (keep > 0 && text[keep - 1] == '\r') {
        const bool lfFollows = keep < text.size() && text[keep] == '\n';
        const bool endsLine = !lines_.empty() && EntryOffset(lines_.size() - 1) == keep;
        if (lfFollows && endsLine)
            lines_.pop_back();
        else if (!lfFollows && !endsLine)
            PushLineStart(keep);
    }
    ScanAppended(keep);
}

void TerminalLines::ScanAppended(size_t from)
{
    const std::string_view text = text_.Text();
    const char *p = text.data();
    const size_t n = text.size();
    auto find = [p, n](char c, size_t at) {
        const void *hit = at < n ? std::memchr(p + at, c, n - at) : nullptr;
        return hit ? size_t(static_cast<const char *>(hit) - p) : n;
    };
    size_t lf = find('\n', from);
    size_t cr = find('\r', from);
    while (lf < n || cr < n) {
        if (lf < cr) {
            PushLineStart(lf + 1);
            lf = find('\n', lf + 1);
        } else {
            if (cr + 1 >= n || p[cr + 1] != '\n') // with an LF next, the LF ends the line
                PushLineStart(cr + 1);
            cr = find('\r', cr + 1);
        }
    }
    length_ = n;
}

void TerminalLines::PushLineStart(size_t offset)
{
    uint32_t row = 0;
    if (!lines_.empty()) {
        const size_t last = lines_.size(); // the line that ends here
        const size_t begin = EntryOffset(last - 1);
        size_t end = offset - 1;
        const std::string_view text = text_.Text();
        if (text[end] == '\n' && end > begin && text[end - 1] == '\r')
            --end;
        row = uint32_t(lines_.back().row + RowsForCells(end - begin));
    }
    lines_.push_back({uint32_t(base_ + offset), row});
}

void TerminalLines::SetColumns(size_t columns)
{
    columns_ = std::max<size_t>(columns, 1);
    for (size_t j = 1; j < lines_.size(); ++j)
        lines_[j].row = uint32_t(lines_[j - 1].row + RowsOf(j));
}

size_t TerminalLines::LineStart(size_t line) const { return line == 0 ? 0 : EntryOffset(line - 1); }

size_t TerminalLines::CellCount(size_t line) const
{
    const std::string_view text = text_.Text();
    const size_t begin = LineStart(line);
    if (line + 1 >= LineCount())
        return std::min(length_, text.size()) - std::min(begin, text.size());
    // Read the line end from the text, guarded against a text that changed
    // since the last Apply.
    size_t end = std::min(EntryOffset(line), text.size() + 1) - 1;
    if (end < text.size() && text[end] == '\n' && end > begin && text[end - 1] == '\r')
        --end;
    return end > begin ? end - begin : 0;
}

TerminalLines::Cells TerminalLines::LineCells(size_t line) const
{
    const size_t begin = LineStart(line);
    return {begin, begin + CellCount(line)};
}

size_t TerminalLines::LineOfOffset(size_t offset) const
{
    const uint32_t base = uint32_t(base_);
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), offset,
                                     [base](size_t off, const Entry &e) {
                                         return off < uint32_t(e.start - base);
                                     });
    return size_t(it - lines_.begin());
}

size_t TerminalLines::FirstRowOf(size_t line) const
{
    return line == 0 ? 0 : RowsOf(0) + EntryRow(line - 1);
}

size_t TerminalLines::RowCount() const
{
    const size_t last = LineCount() - 1;
    return FirstRowOf(last) + RowsOf(last);
}

TerminalLines::RowPlace TerminalLines::LocateRow(size_t row) const
{
    size_t line = 0;
    const size_t rows0 = RowsOf(0);
    if (row >= rows0 && !lines_.empty()) {
        const uint32_t first = lines_.front().row;
        const auto it = std::upper_bound(lines_.begin(), lines_.end(), row - rows0,
                                         [first](size_t r, const Entry &e) {
                                             return r < uint32_t(e.row - first);
                                         });
        line = size_t(it - lines_.begin());
    }
    return {line, std::min(row - FirstRowOf(line), RowsOf(line) - 1)};
}
