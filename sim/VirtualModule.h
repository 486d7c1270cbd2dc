#pragma once
// The virtual radio module: what it answers to the bytes the terminal sends.
//
// Outside a download, input goes through CommandInput: text commands are
// answered by ModuleCommands, binary test messages by BinaryReply, "1" at the
// start of a line starts the firmware receiver and "2" prints the boot banner.
// Input that is not a command is reported once per burst (a burst ends after
// kBurstGap of silence) with one line: "ERROR: not a command (<n> bytes)", or
// "ERROR: unknown command "<line>"" when the burst was one unknown line that
// starts with "at".
//
// Stepped from outside like the receiver: Receive, Tick and TakeOutput.

#include "sim/CommandInput.h"
#include "sim/ModuleCommands.h"
#include "sim/YmodemReceiver.h"

#include <optional>
#include <string>
#include <vector>

class VirtualModule {
public:
    static constexpr milliseconds kBurstGap{200};

    VirtualModule(uint16_t group, MeshModel mesh, TransferFaults faults)
        : receiver_(faults), commands_(group, std::move(mesh))
    {
    }

    void Receive(const std::string &bytes, SimTime now);
    void Tick(SimTime now);
    std::optional<SimTime> NextDeadline() const;

    std::string TakeOutput();
    // Each image whose download completed, once.
    std::optional<ReceivedImage> TakeImage();
    std::vector<std::string> TakeNotes();

private:
    void HandleCommandByte(uint8_t byte, SimTime now);
    void CollectReceiver();
    void EndBurst();

    YmodemReceiver receiver_;
    ModuleCommands commands_;
    CommandInput input_;
    std::string out_;
    std::optional<ReceivedImage> image_;
    std::vector<std::string> notes_;
    std::optional<SimTime> burstEnd_; // set while a burst is open
    int rejectedLines_ = 0;
    std::string firstRejected_;
};
