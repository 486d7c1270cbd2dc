#pragma once
// Records user messages instead of showing them; questions are answered by
// `answer` (Cancel when it is not set).

#include "common/UserMessages.h"

#include <functional>
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
    Answer AskRetry(const std::string &text, const std::string &caption, MessageIcon icon) override
    {
        messages.push_back({text, caption, icon});
        return answer ? answer() : Answer::Cancel;
    }
    std::vector<RecordedMessage> messages;
    std::function<Answer()> answer;
};
