#pragma once
// How the core and the adapters tell the user something: a message box with
// the system's own text, or a question with Retry and Cancel. The windows
// implement it with QMessageBox; tests record the calls.

#include <string>

enum class MessageIcon { None, Information, Exclamation };

enum class Answer { Retry, Cancel };

class UserMessages {
public:
    virtual ~UserMessages() = default;
    // An empty caption means the application's name.
    virtual void Show(const std::string &text, const std::string &caption,
                      MessageIcon icon) = 0;
    // Asks with Retry and Cancel; closing the box is Cancel. Where no one can
    // be asked, the text is shown and the answer is Cancel.
    virtual Answer AskRetry(const std::string &text, const std::string &caption, MessageIcon icon)
    {
        Show(text, caption, icon);
        return Answer::Cancel;
    }
};
