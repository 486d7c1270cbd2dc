#pragma once
// A text box that paints itself in a text colour and a background colour set
// by the program (0x00BBGGRR values, as ParseColor gives them). The main
// window's terminal view is one, and so is the colour preview.

#include <QPlainTextEdit>

class CColorEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CColorEdit(QWidget *parent = nullptr);

    void SetBackgroundColor(uint32_t colorValue);
    void SetTextColor(uint32_t colorValue);
    // Read-only keeps the stored background colour; writable turns the
    // background white. Callers that want other colours on a writable box set
    // them after this call.
    void SetReadOnly(bool readOnly);

    uint32_t BackgroundColor() const { return m_background; }
    uint32_t TextColor() const { return m_text; }

    static QColor ToQColor(uint32_t colorValue);

protected:
    // Hook for subclasses that keep Qt's own editing off whatever the flag.
    virtual void ApplyReadOnly(bool readOnly) { setReadOnly(readOnly); }

private:
    void Repaint();

    uint32_t m_background;
    uint32_t m_text = 0;
};
