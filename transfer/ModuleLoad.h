#pragma once
// One module's load as a production line runs it: the download exactly as
// the loader window runs it (the "1", the batch, the "2"), and with verify
// the module's version asked ("at+ab info") before it and, once the module's
// boot banner has come after the "2", asked again.
//
// Like the sender it has no loop of its own: Run does whatever is ready and
// returns, so that many of them share one thread. Call it whenever bytes
// arrive and on a tick (the time-outs are checked there). Nothing here waits
// for the port; with a link that hands writes over without waiting (as the
// console's tray does), no module holds another back.

#include "common/TickClock.h"
#include "serial/SerialLink.h"
#include "settings/Settings.h"
#include "transfer/TransferSinks.h"
#include "transfer/YmodemSender.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How a load ended, from the best to the worst for a script; verrin-cli
// gives each its exit status.
enum class LoadEnd { Successful, RetryLimit, Aborted, ProtocolError, PortError, TimedOut, VersionUnchanged };

struct ModuleLoadOptions {
    bool verify = false;
    // During the download: abort (CAN CAN) when the module has sent nothing
    // for this long while the sender waits; 0 waits as long as it takes.
    uint32_t quietLimitMs = 0;
    uint32_t replyWaitMs = 5000; // for the info reply
    uint32_t bootWaitMs = 10000; // for the boot banner after the "2"
};

enum class LoadPhase { Ready, AskVersionBefore, Transfer, AwaitBanner, AskVersionAfter, Done };

// What a phase shows in a progress line.
const char *PhaseText(LoadPhase phase);

struct LoadOutcome {
    LoadEnd end = LoadEnd::Successful;
    // The loader's status text ("Successful", "Too many retries", "Aborted",
    // "Protocol Error"), the port's own message, "No answer" or "Version
    // unchanged".
    std::string result;
    // What failed, in words, where the result alone does not say it.
    std::string error;
    // With verify: the "Version" texts as far as they were read.
    std::string versionBefore, versionAfter;
};

inline constexpr const char *kNoAnswerResult = "No answer";
inline constexpr const char *kVersionUnchangedResult = "Version unchanged";

// The text of the "Version" line of an info reply or a boot banner: what
// follows "Version " up to the line's end, blanks trimmed. Nothing until that
// line has ended.
std::optional<std::string> VersionInReply(std::string_view text);

class ModuleLoad {
public:
    ModuleLoad(SerialLink &link, TransferProgress &progress, TraceSink &trace, const Settings &settings,
               TickClock &clock, ModuleLoadOptions options);

    // Takes the image; the load begins at the next Run. Refused, with
    // nothing changed, when the download header cannot hold the file name.
    StartResult Start(std::vector<uint8_t> image);

    void Run();
    // Ctrl+C: a running download ends as the loader's "Abort" ends it, with
    // the two CAN bytes; any other phase ends at once.
    void RequestAbort();
    // The port failed or went away; message is its own text, error what
    // else is known of it.
    void PortFailed(const std::string &message, const std::string &error = {});

    LoadPhase Phase() const { return m_phase; }
    bool Done() const { return m_phase == LoadPhase::Done; }
    const LoadOutcome &Outcome() const { return m_outcome; }
    const YmodemSender &Sender() const { return m_sender; }
    // From the "1" to the transfer's end (so far).
    uint32_t TransferMs() const;

    // A failure told the moment it happens, in words: the module fell silent
    // (the download then ends "Aborted"), or a version check failed. The
    // download's own results go to the progress display, a port's failure
    // comes from the port.
    std::function<void(const std::string &)> onNotice;

private:
    void AskVersion(LoadPhase phase);
    void StepAskVersion();
    void StepTransfer();
    void StepAwaitBanner();
    void StartTransfer();
    // Takes what waits into m_text as the terminal shows it; true when
    // anything came.
    bool Receive();
    void Drain();
    void End(LoadEnd end, std::string result, std::string error = {});
    // An end that the download's own texts do not tell: told at once too.
    void Fail(LoadEnd end, std::string result, std::string error);
    void Notice(const std::string &text);
    uint32_t Since(uint32_t tick) { return m_clock.TickCount() - tick; }

    SerialLink &m_link;
    TickClock &m_clock;
    ModuleLoadOptions m_options;
    YmodemSender m_sender;
    int32_t m_state = SenderState::Idle;
    LoadPhase m_phase = LoadPhase::Ready;
    LoadOutcome m_outcome;
    std::string m_text;       // what the module said in this phase
    uint32_t m_phaseTick = 0; // when the phase began (its request went out)
    uint32_t m_heardTick = 0; // when the module last sent something
    uint32_t m_transferStart = 0, m_transferEnd = 0;
    bool m_transferStarted = false, m_transferEnded = false;
    bool m_timedOut = false;
    bool m_running = false;
};
