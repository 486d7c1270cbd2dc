#pragma once
// The terminal view: shows the terminal text and nothing else. It is never
// edited through Qt; keys aimed at it are handled by the main window, which
// writes them to the port and changes the terminal text, and the view follows
// the text through TerminalText::ViewUpdate.

#include "app/TerminalText.h"
#include "dialogs/CColorEdit.h"

class CTerminalView : public CColorEdit {
    Q_OBJECT
public:
    explicit CTerminalView(QWidget *parent = nullptr);

    // Brings the view up to date with the terminal text and scrolls to its end.
    void Follow(TerminalText &text);

protected:
    void ApplyReadOnly(bool readOnly) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *) const override { return false; }
    void insertFromMimeData(const QMimeData *) override {}
};

// The view shows each character of the terminal text as one character of its
// document: CR as an invisible zero-width space (LF breaks the line), bytes
// above 0x7F as their Latin-1 characters.
QString TerminalDisplayText(std::string_view text);
