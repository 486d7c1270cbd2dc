#pragma once
// How the core and the adapters tell the user something: a message box with
// the system's own text. The windows implement it with QMessageBox; tests
// record the calls.

#include <string>

enum class MessageIcon { None, Information, Exclamation };

class UserMessages {
public:
    virtual ~UserMessages() = default;
    // An empty caption means the application's name.
    virtual void Show(const std::string &text, const std::string &caption,
                      MessageIcon icon) = 0;
};
