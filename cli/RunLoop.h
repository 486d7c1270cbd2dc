#pragma once
// The event loop of a command, ended with the command's exit status. The
// first status given wins, also one given before the loop runs: a write can
// deliver the module's reply, and with it the end, from inside itself.

#include <QEventLoop>
#include <optional>

class RunLoop {
public:
    void Finish(int status)
    {
        if (m_status)
            return;
        m_status = status;
        m_loop.exit(status);
    }
    bool Finished() const { return m_status.has_value(); }
    int Exec() { return m_status ? *m_status : m_loop.exec(); }
    // The receiver of the command's connections: they end with the loop.
    QObject *Context() { return &m_loop; }

private:
    QEventLoop m_loop;
    std::optional<int> m_status;
};
