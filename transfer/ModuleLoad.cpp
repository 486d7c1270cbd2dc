#include "transfer/ModuleLoad.h"

#include "app/TerminalText.h"
#include "netview/MeshScan.h"

namespace {
// After the "Version" line, an info reply is complete at its "OK" line, or
// once the module has been quiet this long: the download must not start while
// the reply still comes in ("C001" holds the "C" that asks for the header).
constexpr uint32_t kReplyQuietMs = 300;

bool IsWaitingState(int32_t state)
{
    return state == SenderState::AwaitHeaderRequest || state == SenderState::AwaitFirstDataRequest ||
           state == SenderState::AwaitReply;
}

std::string Trimmed(std::string_view text)
{
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    return std::string(text.substr(begin, text.find_last_not_of(" \t") - begin + 1));
}

// Whether a line "OK" has ended after position from.
bool OkLineAfter(const std::string &text, size_t from)
{
    for (size_t at = text.find("OK", from); at != std::string::npos; at = text.find("OK", at + 1)) {
        const bool starts = at > 0 && (text[at - 1] == '\n' || text[at - 1] == '\r');
        const bool ends = at + 2 < text.size() && (text[at + 2] == '\r' || text[at + 2] == '\n');
        if (starts && ends)
            return true;
    }
    return false;
}
} // namespace

const char *PhaseText(LoadPhase phase)
{
    switch (phase) {
    case LoadPhase::Ready: return "Waiting";
    case LoadPhase::AskVersionBefore: return "Asking the version";
    case LoadPhase::Transfer: return kLoadingImageText;
    case LoadPhase::AwaitBanner: return "Waiting for the boot banner";
    case LoadPhase::AskVersionAfter: return "Asking the new version";
    case LoadPhase::Done: return "Done";
    }
    return "";
}

std::optional<std::string> VersionInReply(std::string_view text)
{
    static constexpr std::string_view key = "Version ";
    const size_t at = text.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    const size_t from = at + key.size();
    const size_t end = text.find_first_of("\r\n", from);
    if (end == std::string_view::npos)
        return std::nullopt;
    return Trimmed(text.substr(from, end - from));
}

ModuleLoad::ModuleLoad(SerialLink &link, TransferProgress &progress, TraceSink &trace, const Settings &settings,
                       TickClock &clock, ModuleLoadOptions options)
    : m_link(link), m_clock(clock), m_options(options), m_sender(link, progress, trace, settings, clock)
{
}

StartResult ModuleLoad::Start(std::vector<uint8_t> image)
{
    // The sender takes the image now; its state is held back until the
    // version before is known.
    int32_t state = SenderState::Idle;
    const StartResult started = m_sender.Start(std::move(image), state);
    if (started == StartResult::Started)
        m_phase = LoadPhase::Ready;
    return started;
}

void ModuleLoad::Run()
{
    // A step entered again from inside itself (a report of a failed write)
    // leaves the bytes to the step that runs.
    if (m_running || m_phase == LoadPhase::Done)
        return;
    m_running = true;
    switch (m_phase) {
    case LoadPhase::Ready:
        if (m_options.verify)
            AskVersion(LoadPhase::AskVersionBefore);
        else
            StartTransfer();
        break;
    case LoadPhase::AskVersionBefore:
    case LoadPhase::AskVersionAfter: StepAskVersion(); break;
    case LoadPhase::Transfer: StepTransfer(); break;
    case LoadPhase::AwaitBanner: StepAwaitBanner(); break;
    case LoadPhase::Done: break;
    }
    m_running = false;
}

void ModuleLoad::RequestAbort()
{
    switch (m_phase) {
    case LoadPhase::Transfer: m_sender.RequestAbort(); break; // the CAN bytes go out at the next Run
    case LoadPhase::Ready:
    case LoadPhase::AskVersionBefore:
        Fail(LoadEnd::Aborted, ResultText(TransferResult::Aborted), "stopped before the download");
        break;
    case LoadPhase::AwaitBanner:
    case LoadPhase::AskVersionAfter:
        Fail(LoadEnd::Aborted, ResultText(TransferResult::Aborted),
             "stopped after a successful download, before its version was read");
        break;
    case LoadPhase::Done: break;
    }
}

void ModuleLoad::PortFailed(const std::string &message, const std::string &error)
{
    if (m_phase == LoadPhase::Transfer && !m_transferEnded) {
        m_transferEnd = m_clock.TickCount();
        m_transferEnded = true;
    }
    End(LoadEnd::PortError, message, error);
}

uint32_t ModuleLoad::TransferMs() const
{
    if (!m_transferStarted)
        return 0;
    return (m_transferEnded ? m_transferEnd : m_clock.TickCount()) - m_transferStart;
}

void ModuleLoad::AskVersion(LoadPhase phase)
{
    Drain();
    m_text.clear();
    m_phase = phase;
    m_phaseTick = m_clock.TickCount();
    m_heardTick = m_phaseTick;
    m_link.SendString(kInfoCommand);
}

void ModuleLoad::StepAskVersion()
{
    if (Receive())
        m_heardTick = m_clock.TickCount();
    const std::optional<std::string> version = VersionInReply(m_text);
    if (!version) {
        if (Since(m_phaseTick) >= m_options.replyWaitMs)
            Fail(LoadEnd::TimedOut, kNoAnswerResult,
                 "no answer to the info request within " + std::to_string(m_options.replyWaitMs) + " ms");
        return;
    }
    const size_t versionAt = m_text.find("Version ");
    if (!OkLineAfter(m_text, versionAt) && Since(m_heardTick) < kReplyQuietMs)
        return;
    if (m_phase == LoadPhase::AskVersionBefore) {
        m_outcome.versionBefore = *version;
        Drain();
        StartTransfer();
        return;
    }
    m_outcome.versionAfter = *version;
    if (*version == m_outcome.versionBefore)
        Fail(LoadEnd::VersionUnchanged, kVersionUnchangedResult,
             "the module still reports version " + *version + " after the download");
    else
        End(LoadEnd::Successful, ResultText(TransferResult::Success));
}

void ModuleLoad::StartTransfer()
{
    m_phase = LoadPhase::Transfer;
    m_state = SenderState::Start;
    m_transferStart = m_clock.TickCount();
    m_transferStarted = true;
    m_heardTick = m_transferStart;
    StepTransfer();
}

void ModuleLoad::StepTransfer()
{
    if (m_link.BytesWaiting() > 0)
        m_heardTick = m_clock.TickCount();
    else if (m_options.quietLimitMs > 0 && IsWaitingState(m_state) && !m_sender.AbortRequested() &&
             Since(m_heardTick) >= m_options.quietLimitMs) {
        m_timedOut = true;
        Notice("no answer from the module for " + std::to_string(m_options.quietLimitMs) + " ms");
        m_sender.RequestAbort();
    }
    m_sender.RunReadySteps(m_state);
    if (m_state != SenderState::Idle)
        return;
    m_transferEnd = m_clock.TickCount();
    m_transferEnded = true;
    const TransferResult result = m_sender.Result();
    if (m_timedOut)
        return End(LoadEnd::TimedOut, ResultText(result),
                   "no answer from the module for " + std::to_string(m_options.quietLimitMs) + " ms");
    switch (result) {
    case TransferResult::Success: break;
    case TransferResult::RetryLimit: return End(LoadEnd::RetryLimit, ResultText(result));
    case TransferResult::Aborted: return End(LoadEnd::Aborted, ResultText(result));
    case TransferResult::ProtocolError: return End(LoadEnd::ProtocolError, ResultText(result));
    case TransferResult::PortLost: return End(LoadEnd::PortError, ResultText(result));
    }
    if (!m_options.verify)
        return End(LoadEnd::Successful, ResultText(result));
    // What the module says from here on is its boot banner.
    m_text.clear();
    m_phase = LoadPhase::AwaitBanner;
    m_phaseTick = m_clock.TickCount();
}

void ModuleLoad::StepAwaitBanner()
{
    Receive();
    if (VersionInReply(m_text)) {
        AskVersion(LoadPhase::AskVersionAfter);
        return;
    }
    if (Since(m_phaseTick) >= m_options.bootWaitMs)
        Fail(LoadEnd::TimedOut, kNoAnswerResult,
             "no boot banner within " + std::to_string(m_options.bootWaitMs) + " ms after the download");
}

bool ModuleLoad::Receive()
{
    bool any = false;
    uint8_t buffer[512];
    while (const uint32_t n = m_link.ReadBlock(buffer, sizeof buffer)) {
        FilterReceived(buffer, n, m_text);
        any = true;
    }
    return any;
}

void ModuleLoad::Drain()
{
    uint8_t buffer[512];
    while (m_link.ReadBlock(buffer, sizeof buffer) > 0) {
    }
}

void ModuleLoad::Notice(const std::string &text)
{
    if (onNotice)
        onNotice(text);
}

void ModuleLoad::Fail(LoadEnd end, std::string result, std::string error)
{
    Notice(error);
    End(end, std::move(result), std::move(error));
}

void ModuleLoad::End(LoadEnd end, std::string result, std::string error)
{
    if (m_phase == LoadPhase::Done)
        return;
    m_outcome.end = end;
    m_outcome.result = std::move(result);
    m_outcome.error = std::move(error);
    m_phase = LoadPhase::Done;
}
