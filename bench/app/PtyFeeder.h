#pragma once
// The writing end of a pseudo-terminal: the program under measurement opens
// the other end as its serial port, and this end feeds it 80-character lines
// as fast as it takes them. The pty holds only a few kilobytes, so once the
// flow is steady the rate of writing is the rate at which the program reads.

#include <string>

class ChildProcess;

class PtyFeeder {
public:
    // Opens the pty (raw, so that nothing is echoed before the program sets
    // its own mode) and closes this process's hold on the port end.
    PtyFeeder();
    ~PtyFeeder();
    PtyFeeder(const PtyFeeder &) = delete;
    PtyFeeder &operator=(const PtyFeeder &) = delete;

    bool Opened() const { return m_master >= 0; }
    // The device path the program opens.
    const std::string &PortPath() const { return m_portPath; }

    enum class Outcome { Done, Stalled, Ended, TooLarge };
    // Writes count bytes of lines, reading and dropping whatever the program
    // sends. Stops early when the program takes nothing for stallSeconds
    // (Stalled), ends (Ended) or grows past maxRssKb (TooLarge).
    Outcome Feed(size_t count, ChildProcess &program, double stallSeconds, long maxRssKb);
    // Bytes written so far, in all feeds.
    size_t Written() const { return m_written; }

private:
    int m_master = -1;
    std::string m_portPath;
    std::string m_lines; // 1 MiB of numbered lines, written round and round
    size_t m_offset = 0; // where in m_lines the next write starts
    size_t m_written = 0;
};
