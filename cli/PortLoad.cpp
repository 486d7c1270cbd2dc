#include "cli/PortLoad.h"

#include "cli/ExitStatus.h"
#include "common/QtText.h"
#include "dialogs/CPortProber.h"
#include "serial/PortNames.h"

#include <QFileInfo>
#include <QTimer>
#include <algorithm>

namespace {
constexpr const char *kHeldElsewhere = "held by another program";

// After the load has ended, how long the driver may take to send what is left
// beyond its line time, before the port is closed without it.
constexpr qint64 kDrainMarginMs = 2000;

// The port as the load sees it, with writes that do not wait: the bytes are
// handed to the port and go out in order behind what it holds. The sender
// never looks at a write's result; a write that fails later is reported by
// the port, and ends the load.
class QueuedLink : public SerialLink {
public:
    explicit QueuedLink(CSerialPort &port) : m_port(port) {}
    int32_t BytesWaiting() override { return m_port.BytesWaiting(); }
    int32_t ReadByte() override { return m_port.ReadByte(); }
    uint32_t ReadBlock(uint8_t *buffer, int32_t max) override { return m_port.ReadBlock(buffer, max); }
    int32_t WriteBytes(const uint8_t *buffer, uint32_t count) override { return m_port.QueueBytes(buffer, count); }
    void SetRtsHandshake(bool on) override { m_port.SetRtsHandshake(on); }

private:
    CSerialPort &m_port;
};
} // namespace

PortLoad::PortLoad(const Settings &settings, ModuleLoadOptions options, TransferProgress &progress,
                   TraceSink &trace, bool inTray)
    : m_settings(settings), m_options(options), m_messages(settings.portName, !inTray), m_port(m_messages),
      m_queued(std::make_unique<QueuedLink>(m_port)),
      m_load(inTray ? *m_queued : static_cast<SerialLink &>(m_port), progress, trace, m_settings, m_clock, options)
{
    connect(&m_port, &CSerialPort::BytesArrived, this, &PortLoad::Run);
    connect(&m_port, &CSerialPort::BytesSent, this, &PortLoad::AfterEnd);
    // The port tells its message after the signal: take it up once it has.
    for (auto failure : {&CSerialPort::PortLost, &CSerialPort::WriteFailed})
        connect(&m_port, failure, this, [this] {
            m_load.PortFailed(m_messages.AnyShown() ? m_messages.FirstText() : "the port failed");
            AfterEnd();
        }, Qt::QueuedConnection);
}

PortLoad::~PortLoad() { m_port.ClosePort(); }

void PortLoad::Start(std::vector<uint8_t> image)
{
    m_start = std::chrono::system_clock::now();
    // The image name was checked before any port: the header holds it.
    m_load.Start(std::move(image));
    // A port that another program holds is not opened at all, as Setup does
    // not list it: run as root, the driver's exclusive mode would not refuse
    // a second open, and two programs would talk to one module.
    const QString device = FromCodePage(m_settings.portName);
    if (QFileInfo::exists(device) && CPortProber().Probe(m_settings.portName) == PortProbe::Unavailable) {
        m_messages.Show(std::string(kPortNotAvailable) + ": " + kHeldElsewhere, kPortErrorCaption,
                        MessageIcon::Exclamation);
        m_load.PortFailed(kPortNotAvailable, kHeldElsewhere);
        return AfterEnd();
    }
    if (!m_port.OpenPort(device, m_settings.baudrate, m_settings.flowEnabled != 0))
        m_load.PortFailed(m_messages.AnyShown() ? m_messages.FirstText() : "the port cannot be opened");
    // What the module said before (the banner of an earlier download) is no
    // answer to this one: a "C" in it would start the batch.
    m_port.DiscardInput();
    Run();
}

void PortLoad::Tick() { Run(); }

void PortLoad::Abort()
{
    m_load.RequestAbort();
    Run();
}

void PortLoad::Run()
{
    if (m_finished)
        return;
    m_load.Run();
    AfterEnd();
}

void PortLoad::AfterEnd()
{
    if (m_finished || !m_load.Done())
        return;
    if (!m_port.IsConnected())
        return Close();
    const qint64 left = m_port.BytesToWrite();
    if (left == 0)
        return Close();
    if (!m_draining.isValid())
        m_draining.start();
    if (m_draining.elapsed() >= 2 * CSerialPort::LineTimeMs(left, m_settings.baudrate) + kDrainMarginMs)
        Close();
}

void PortLoad::Close()
{
    m_port.ClosePort();
    m_end = std::chrono::system_clock::now();
    m_finished = true;
    emit Finished();
}

PortReport PortLoad::Report() const
{
    const YmodemSender &sender = m_load.Sender();
    const LoadOutcome &outcome = m_load.Outcome();
    PortReport r;
    r.port = m_settings.portName;
    r.result = outcome.result;
    r.status = ExitStatusFor(outcome.end);
    r.error = outcome.error;
    r.image = m_settings.downloadFilename;
    r.size = sender.ImageSize();
    r.bytes = sender.BytesAcknowledged();
    r.counts = sender.Counts();
    r.start = m_start;
    r.end = m_finished ? m_end : std::chrono::system_clock::now();
    r.transferMs = m_load.TransferMs();
    r.verify = m_options.verify;
    r.versionBefore = outcome.versionBefore;
    r.versionAfter = outcome.versionAfter;
    return r;
}
