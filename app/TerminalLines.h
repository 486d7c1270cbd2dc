#pragma once
// The lines of the terminal text as the terminal view lays them out: where
// each line starts, and how many rows it takes when it wraps at a given number
// of columns. The index follows the text through the same ViewUpdates as the
// view, so a step that appends a few bytes costs a few bytes of work here, and
// finding the line under any row or offset is a binary search.
//
// A line ends at LF, at CR LF, or at a CR that no LF follows. A CR at the very
// end of the text ends its line at once; when an LF arrives after it, the two
// become one line end, which shows the same. Every other character takes one
// cell, so a line of n cells takes max(1, ceil(n / columns)) rows.

#include "app/TerminalText.h"

#include <cstdint>
#include <deque>

class TerminalLines {
public:
    // Indexes the whole of text as it is now. The index reads text whenever
    // it is asked, so text must outlive it.
    explicit TerminalLines(const TerminalText &text);

    // Follows one update of the text (as TerminalText::TakeViewUpdate gave it).
    void Apply(const TerminalText::ViewUpdate &update);
    // Sets the wrap width (at least one cell) and recounts every line's rows.
    void SetColumns(size_t columns);
    size_t Columns() const { return columns_; }

    size_t LineCount() const { return lines_.size() + 1; }
    // Offset of the line's first character; the next line's start (or the end
    // of the text) is where it ends, its line end included.
    size_t LineStart(size_t line) const;
    // Offsets of the line's cells: [begin, end), line end excluded.
    struct Cells {
        size_t begin = 0;
        size_t end = 0;
    };
    Cells LineCells(size_t line) const;
    // The line holding the character at offset (the last line for the end).
    size_t LineOfOffset(size_t offset) const;

    size_t RowCount() const;
    size_t FirstRowOf(size_t line) const;
    size_t RowsOf(size_t line) const { return RowsForCells(CellCount(line)); }
    struct RowPlace {
        size_t line = 0;
        size_t rowInLine = 0;
    };
    // The line under a row; rows past the end give the last row.
    RowPlace LocateRow(size_t row) const;

private:
    // A line after the first: the low 32 bits of its start and of its first
    // row. Only differences between live entries are used, and those are
    // exact, since the text is far shorter than 4 GB.
    struct Entry {
        uint32_t start;
        uint32_t row;
    };

    size_t EntryOffset(size_t entry) const { return uint32_t(lines_[entry].start - uint32_t(base_)); }
    size_t EntryRow(size_t entry) const { return uint32_t(lines_[entry].row - lines_.front().row); }
    size_t CellCount(size_t line) const;
    size_t RowsForCells(size_t cells) const { return cells == 0 ? 1 : (cells + columns_ - 1) / columns_; }
    void PushLineStart(size_t offset);
    void ScanAppended(size_t from);

    const TerminalText &text_;
    std::deque<Entry> lines_; // every line but the first, which starts at offset 0
    uint64_t base_ = 0;       // the index's own count of the characters dropped at the front
    size_t length_ = 0;       // length of the text the index describes
    size_t columns_ = 80;
};
