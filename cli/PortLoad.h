#pragma once
// One port of verrin-cli load: the port opened, a ModuleLoad run on it, and
// what the report needs at its end. Many of them share one thread: their
// writes are handed to the port without waiting for the driver, so a module
// that does not read, or a line held back by flow control, holds no other
// port back. (A port on its own writes as the loader window does: each write
// returns once the driver has the bytes.) When the load has ended, the port
// is closed once the driver has taken what was written (the "2", the CAN
// bytes), or after a bounded wait.

#include "cli/ConsoleOutput.h"
#include "serial/CSerialPort.h"
#include "transfer/ModuleLoad.h"
#include "transfer/TrayRules.h"

#include <QElapsedTimer>
#include <QObject>
#include <chrono>
#include <memory>

class PortLoad : public QObject {
    Q_OBJECT
public:
    // inTray: writes without waiting, and the port's messages kept for the
    // report and the port's line; otherwise writes that wait, and the
    // messages as error lines at once.
    PortLoad(const Settings &settings, ModuleLoadOptions options, TransferProgress &progress, TraceSink &trace,
             bool inTray);
    ~PortLoad() override;

    // Opens the port and begins; a port that does not open ends at once,
    // with its message as the result.
    void Start(std::vector<uint8_t> image);
    // The 100 ms tick: time-outs, and the sender's timed steps.
    void Tick();
    void Abort();

    bool IsFinished() const { return m_finished; }
    const ModuleLoad &Load() const { return m_load; }
    PortReport Report() const;
    void SetNoticeHandler(std::function<void(const std::string &)> handler) { m_load.onNotice = std::move(handler); }

signals:
    void Finished();

private:
    void Run();
    void AfterEnd();
    void Close();

    Settings m_settings; // the sender reads them live
    ModuleLoadOptions m_options;
    StderrMessages m_messages;
    CSerialPort m_port;
    std::unique_ptr<SerialLink> m_queued;
    SteadyTickClock m_clock;
    ModuleLoad m_load;
    std::chrono::system_clock::time_point m_start{}, m_end{};
    QElapsedTimer m_draining; // since the load ended with bytes still to write
    bool m_finished = false;
};
