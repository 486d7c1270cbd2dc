#include "cli/ConsoleOutput.h"

#include "transfer/TraceNames.h"

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {
std::string OneLine(std::string_view text)
{
    std::string line(text);
    for (char &c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

void WriteStderr(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}
} // namespace

bool IsTerminal(std::FILE *stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) == 1;
#endif
}

int TerminalColumns(std::FILE *stream)
{
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetConsoleScreenBufferInfo(handle, &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    return 80;
}

void PrintError(std::string_view text)
{
    WriteStderr("verrin-cli: " + OneLine(text) + "\n");
}

void StderrMessages::Show(const std::string &text, const std::string &caption, MessageIcon)
{
    if (!m_shown)
        m_first = text;
    m_shown = true;
    if (!m_print)
        return;
    std::string line = caption.empty() ? text : caption + ": " + text;
    if (!m_port.empty())
        line += " (" + m_port + ")";
    PrintError(line);
}

void StderrTrace::TraceText(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (c != '\r')
            out.push_back(c);
    WriteStderr(out);
}

void StderrTrace::TraceControlByte(uint8_t byte) { TraceText(ControlByteName(byte)); }

std::string LineEnds::Normalise(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n' && m_afterCr) {
            m_afterCr = false;
            continue;
        }
        m_afterCr = c == '\r';
        out.push_back(c == '\r' ? '\n' : c);
    }
    return out;
}
