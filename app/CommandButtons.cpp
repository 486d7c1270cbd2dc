#include "app/CommandButtons.h"

#include "serial/SerialLink.h"
#include "settings/Settings.h"

#include <algorithm>
#include <limits>

int32_t ParseLineCount(std::string_view text)
{
    size_t i = 0;
    auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulated as a magnitude and saturated one past INT32_MAX, so the
    // negative limit is reachable and long digit runs cannot overflow.
    const int64_t cap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min(cap, magnitude * 10 + (text[i] - '0'));
    if (negative)
        return static_cast<int32_t>(-magnitude);
    return static_cast<int32_t>(std::min(magnitude, cap - 1));
}

const std::array<TestMessage, 7> &TestMessages()
{
    using namespace std::string_view_literals;
    // The first three are HCI command packets in UART framing: reset, read
    // the device address, and an inquiry (general access code, length 6, up
    // to 16 responses). CMD5 ends in 0xCD and the ASCII text "Testing...".
    static const std::array<TestMessage, 7> messages = {{
        {"HCI Reset", "\x01\x03\x0C\x00"sv, "HCI RESET\r\n"},
        {"Read Addr", "\x01\x09\x10\x00"sv, "Read Addr\r\n"},
        {"Inq Scan", "\x01\x01\x04\x05\x33\x8B\x9E\x06\x10"sv, "Inq Scan\n"},
        {"ESD Msg1",
         "\x00\x04\x3E\x26\x00\xCC\x00\x04\x3E\x26\x0A\xBC\xCD\x09\x80\xF0\xFF\x4A\x02"sv,
         "ESD Msg1\r\n"},
        {"ESD Msg2",
         "\x00\x04\x3E\x26\x00\xCC\x00\x04\x3E\x26\x0A\xBC\xCD" "Testing..."sv,
         "ESD Msg2\r\n"},
        {"Find AP", "\xCD\x07\xAB\xCD\xFD\x00\x00"sv, "Find Access Point\r\n"},
        {"FATS 4b", "\xD1\x07\x11"sv, "FATS 4-byte command\r\n"},
    }};
    return messages;
}

std::array<std::string, 10> CommandCaptions(const Settings &settings, bool binaryMode)
{
    std::array<std::string, 10> captions;
    if (binaryMode) {
        for (size_t i = 0; i < TestMessages().size(); ++i)
            captions[i] = TestMessages()[i].caption;
        return captions;
    }
    for (size_t i = 0; i < 9; ++i)
        captions[i] = settings.cmdName[i];
    const int32_t count = ParseLineCount(settings.sendCmd[9]);
    captions[9] = "Send " + std::to_string(count) + (count == 1 ? " line" : " lines");
    return captions;
}

CommandSend SendTestSequence(int n, SerialLink &link, EchoSink &echo)
{
    if (n < 1 || n > static_cast<int>(TestMessages().size()))
        return CommandSend::Nothing;
    const TestMessage &message = TestMessages()[static_cast<size_t>(n - 1)];
    link.SendString(message.bytes);
    echo.EchoToTerminal(message.echo);
    return CommandSend::Sent;
}

CommandSend SendCommandButton(int n, const Settings &settings, bool binaryMode,
                              SerialLink &link, EchoSink &echo)
{
    if (binaryMode)
        return SendTestSequence(n, link, echo);
    if (n < 1 || n > 10)
        return CommandSend::Nothing;
    if (n == 10)
        return ParseLineCount(settings.sendCmd[9]) > 0 ? CommandSend::LineTest : CommandSend::Nothing;

    const size_t i = static_cast<size_t>(n - 1);
    std::string text = settings.sendCmd[i];
    if (settings.sendCrLf[i])
        text += "\r\n";
    if (text.empty())
        return CommandSend::Nothing;
    echo.EchoToTerminal(text);
    link.SendString(text);
    return CommandSend::Sent;
}
