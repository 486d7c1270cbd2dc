#include "sim/VirtualModule.h"

#include "sim/BinaryMessages.h"

#include <cctype>

void VirtualModule::Receive(const std::string &bytes, SimTime now)
{
    if (bytes.empty())
        return;
    for (const char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        const bool taken = receiver_.Active() && receiver_.Feed(byte, now);
        CollectReceiver();
        if (!taken)
            HandleCommandByte(byte, now);
    }
    burstEnd_ = now + kBurstGap;
}

void VirtualModule::HandleCommandByte(uint8_t byte, SimTime now)
{
    const std::optional<CommandInput::Unit> unit = input_.Feed(byte);
    if (!unit)
        return;
    switch (unit->kind) {
    case CommandInput::Unit::Kind::MenuKey:
        if (unit->text == "1") {
            receiver_.Start(now);
            CollectReceiver();
        } else {
            out_ += "\r\n" + commands_.BootBanner();
        }
        return;
    case CommandInput::Unit::Kind::Binary:
        out_ += BinaryReply(unit->message, commands_.NodeAddress());
        return;
    case CommandInput::Unit::Kind::Line:
        if (unit->text.find_first_not_of(" \t") == std::string::npos)
            return; // empty lines are ignored
        if (std::optional<std::string> reply = commands_.Reply(unit->text, now)) {
            out_ += *reply;
            return;
        }
        input_.RejectLastLine();
        if (rejectedLines_++ == 0)
            firstRejected_ = unit->text;
        return;
    }
}

void VirtualModule::CollectReceiver()
{
    out_ += receiver_.TakeOutput();
    for (std::string &note : receiver_.TakeNotes())
        notes_.push_back(std::move(note));
    if (std::optional<ReceivedImage> image = receiver_.TakeImage()) {
        commands_.LoadImage(*image);
        image_ = std::move(image);
    }
}

void VirtualModule::EndBurst()
{
    burstEnd_.reset();
    input_.Pause();
    const size_t junk = input_.TakeJunk();
    const int lines = rejectedLines_;
    rejectedLines_ = 0;
    if (junk == 0)
        return;
    const bool oneUnknownCommand = lines == 1 && junk <= firstRejected_.size() + 2 && firstRejected_.size() >= 2 &&
                                   std::tolower(static_cast<unsigned char>(firstRejected_[0])) == 'a' &&
                                   std::tolower(static_cast<unsigned char>(firstRejected_[1])) == 't';
    if (oneUnknownCommand)
        out_ += "\r\nERROR: unknown command \"" + firstRejected_.substr(0, 64) + "\"\r\n";
    else
        out_ += "\r\nERROR: not a command (" + std::to_string(junk) + " bytes)\r\n";
}

void VirtualModule::Tick(SimTime now)
{
    receiver_.Tick(now);
    CollectReceiver();
    if (burstEnd_ && now >= *burstEnd_)
        EndBurst();
}

std::optional<SimTime> VirtualModule::NextDeadline() const
{
    std::optional<SimTime> next = receiver_.NextDeadline();
    if (burstEnd_ && (!next || *burstEnd_ < *next))
        next = burstEnd_;
    return next;
}

std::string VirtualModule::TakeOutput()
{
    std::string out;
    out.swap(out_);
    return out;
}

std::optional<ReceivedImage> VirtualModule::TakeImage()
{
    std::optional<ReceivedImage> image;
    image.swap(image_);
    return image;
}

std::vector<std::string> VirtualModule::TakeNotes()
{
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}
