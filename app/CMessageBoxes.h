#pragma once
// Message boxes over QMessageBox, parented to a window so they are modal to
// it. An empty caption shows the application's name.

#include "common/UserMessages.h"

class QWidget;

class CMessageBoxes : public UserMessages {
public:
    explicit CMessageBoxes(QWidget *parent) : m_parent(parent) {}
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override;
    Answer AskRetry(const std::string &text, const std::string &caption, MessageIcon icon) override;

private:
    QWidget *m_parent;
};
