#pragma once
// What verrin-cli tells its user goes to the console: errors one line each on
// stderr, prefixed with the program's name, so that a script's log reads
// cleanly; the port adapter's messages and the download trace likewise.

#include "common/UserMessages.h"
#include "transfer/TransferSinks.h"

#include <cstdio>
#include <string>
#include <string_view>

// Whether the stream is a terminal (rather than a pipe or a file).
bool IsTerminal(std::FILE *stream);
// The width of the terminal stream shows on, in characters (80 when unknown).
int TerminalColumns(std::FILE *stream);

// "verrin-cli: <text>" on stderr, line ends inside the text made blanks.
void PrintError(std::string_view text);

// The port adapter's message boxes as error lines: "<caption>: <text>
// (<port>)". Remembers the first one, so that a command can end with the
// port's status and a report can name it. Kept without a line (print off)
// where another display shows it.
class StderrMessages : public UserMessages {
public:
    explicit StderrMessages(std::string port, bool print = true) : m_port(std::move(port)), m_print(print) {}
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override;
    bool AnyShown() const { return m_shown; }
    // The text of the first message, without its caption.
    const std::string &FirstText() const { return m_first; }

private:
    std::string m_port;
    bool m_print;
    bool m_shown = false;
    std::string m_first;
};

// The debug screen's trace of a download, on stderr. The trace's own line
// ends (CR LF) become plain LF.
class StderrTrace : public TraceSink {
public:
    void TraceText(std::string_view text) override;
    void TraceControlByte(uint8_t byte) override;
};

// Makes CR, LF and CR LF one LF each, also when a CR LF is split between two
// pieces of text.
class LineEnds {
public:
    std::string Normalise(std::string_view text);

private:
    bool m_afterCr = false;
};
