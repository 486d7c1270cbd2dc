#pragma once
// Records user messages instead of showing them.

#include "common/UserMessages.h"

#include <vector>

struct RecordedMessage {
    std::string text, caption;
    MessageIcon icon;
};

class MessageRecorder : public UserMessages {
public:
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override
    {
        messages.push_back({text, caption, icon});
    }
    std::vector<RecordedMessage> messages;
};
