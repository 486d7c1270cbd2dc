// The terminal text under arbitrary received bytes, echoes, rub-outs and
// clears. Checked after every operation: the text equals a plain model of the
// receive rules; text that only ever came from the port holds nothing the
// filter drops; an append of received bytes leaves the text below its limit,
// so only echoes can take it further; and a view that applies every
// ViewUpdate shows exactly Text().

#include "app/TerminalText.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace {

bool Shown(uint8_t b) { return (b >= 0x20 && b <= 0x7E) || b == '\r' || b == '\n'; }
bool Printable(uint8_t b) { return b >= 0x20 && b <= 0x7E; }

// The receive rules written out the slow, obvious way.
struct ModelText {
    std::string text;

    void Received(std::string_view bytes)
    {
        std::string kept;
        kept.reserve(bytes.size());
        for (const char c : bytes) {
            const auto b = static_cast<uint8_t>(c);
            if (Shown(b))
                kept += c;
            else if (b == 0x08 && !kept.empty() && Printable(static_cast<uint8_t>(kept.back())))
                kept.pop_back();
        }
        if (text.size() + bytes.size() >= TerminalText::kLimit) {
            const size_t keep = bytes.size() < TerminalText::kKeepBase ? TerminalText::kKeepBase - bytes.size() : 0;
            if (keep < text.size())
                text.erase(0, text.size() - keep);
        }
        text += kept;
    }
    void Hex(const std::string &bytes)
    {
        static const char digits[] = "0123456789ABCDEF";
        for (const char c : bytes) {
            const auto b = static_cast<uint8_t>(c);
            const char hex[3] = {' ', digits[b >> 4], digits[b & 15]};
            Received(std::string_view(hex, 3));
        }
        Received("\r\n");
    }
    void RubOut()
    {
        if (!text.empty() && Printable(static_cast<uint8_t>(text.back())))
            text.pop_back();
    }
};

const uint8_t *Bytes(const std::string &s) { return reinterpret_cast<const uint8_t *>(s.data()); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    TerminalText terminal;
    ModelText model;
    std::string view;       // what a view applying every update shows
    bool echoed = false;    // text from Echo may still be in the terminal
    size_t bound = TerminalText::kLimit; // Length() stays below it
    // Runs up to the limit cost milliseconds each; one input in sixteen may
    // make one, so that the short cases keep their speed.
    int fills = in.ConsumeIntegralInRange(0, 15) == 15 ? 0 : 1;

    auto catchUp = [&] {
        const TerminalText::ViewUpdate u = terminal.TakeViewUpdate();
        FUZZ_CHECK(u.changed || (u.dropFront == 0 && u.keep == view.size() && u.append.empty()),
                   "an update that changes nothing changes the view");
        FUZZ_CHECK(u.dropFront <= view.size(), "drop %zu of %zu", u.dropFront, view.size());
        view.erase(0, u.dropFront);
        FUZZ_CHECK(u.keep <= view.size(), "keep %zu of %zu", u.keep, view.size());
        view.resize(u.keep);
        view.append(u.append);
        FUZZ_CHECK(view == terminal.Text(), "view %zu chars, text %zu", view.size(), terminal.Length());
    };

    while (in.remaining_bytes() > 0) {
        const int op = in.ConsumeIntegralInRange(0, 7);
        switch (op) {
        case 0: { // received bytes: one step at once, or in slices with the view catching up between
            const size_t slice = in.ConsumeIntegralInRange<size_t>(0, 64);
            const std::string bytes = in.ConsumeRandomLengthString(512);
            if (slice == 0 || bytes.empty()) { // an empty step trims all the same
                terminal.AppendReceived(Bytes(bytes), bytes.size());
            } else {
                terminal.BeginReceivedStep();
                for (size_t at = 0; at < bytes.size(); at += slice) {
                    terminal.AppendReceivedSlice(Bytes(bytes) + at, std::min(slice, bytes.size() - at),
                                                 bytes.size() - at);
                    catchUp();
                }
            }
            model.Received(bytes);
            bound = TerminalText::kLimit;
            break;
        }
        case 1: { // received bytes in binary display
            const std::string bytes = in.ConsumeRandomLengthString(128);
            terminal.AppendHex(Bytes(bytes), bytes.size());
            model.Hex(bytes);
            bound = TerminalText::kLimit;
            break;
        }
        case 2: { // sent text
            const std::string text = in.ConsumeRandomLengthString(128);
            terminal.Echo(text);
            model.text += text;
            echoed = true;
            bound += text.size();
            break;
        }
        case 3: {
            const bool before = !model.text.empty() && Printable(static_cast<uint8_t>(model.text.back()));
            FUZZ_CHECK(terminal.RubOut() == before, "RubOut's result");
            model.RubOut();
            break;
        }
        case 4:
            terminal.Clear();
            model.text.clear();
            echoed = false;
            break;
        case 5: // the view catches up
            catchUp();
            break;
        default: { // a long run of the port's text up to just below (or, echoed, past) the limit
            if (++fills > 1)
                break;
            const bool viaEcho = op == 7;
            const size_t target = TerminalText::kLimit + (viaEcho ? 64 : 0) - in.ConsumeIntegralInRange<size_t>(1, 64);
            if (terminal.Length() >= target)
                break;
            static const std::string longRun(TerminalText::kLimit + 64, 'x');
            const std::string_view run(longRun.data(), target - terminal.Length());
            model.text.reserve(TerminalText::kLimit + 4096);
            if (viaEcho) {
                terminal.Echo(run);
                model.text += run;
                bound += run.size();
            } else {
                terminal.AppendReceived(reinterpret_cast<const uint8_t *>(run.data()), run.size());
                model.Received(run);
                bound = TerminalText::kLimit;
            }
            break;
        }
        }

        FUZZ_CHECK(terminal.Length() == model.text.size(), "length %zu, model %zu", terminal.Length(),
                   model.text.size());
        FUZZ_CHECK(terminal.Length() < bound, "length %zu, bound %zu", terminal.Length(), bound);
        // The whole text is compared while it is short, and once at the end.
        if (terminal.Length() >= 65536 && in.remaining_bytes() > 0)
            continue;
        FUZZ_CHECK(terminal.Text() == model.text, "text differs from the model");
        if (!echoed) {
            for (const char c : terminal.Text())
                FUZZ_CHECK(Shown(static_cast<uint8_t>(c)), "byte %02X in received-only text",
                           static_cast<uint8_t>(c));
        }
    }
    return 0;
}
