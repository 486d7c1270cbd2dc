#pragma once
// Controls that paint themselves in a text colour and a background colour set
// by the program (0x00BBGGRR values, as ParseColor gives them): CColorEdit, a
// text box such as the colour preview, and the main window's terminal view,
// which keeps its colours through CControlColors as well.

#include <QPlainTextEdit>

// The two colours of a colour-aware control and the rule that ties the
// background to the read-only flag. They are kept in the widget's palette
// (Base and Text) for every state of the widget, so a disabled control shows
// them too rather than the style's disabled colours. The owner repaints.
class CControlColors {
public:
    // The background starts as the widget's button face colour, the text black.
    explicit CControlColors(QWidget *widget);

    void SetBackground(uint32_t colorValue);
    void SetText(uint32_t colorValue);
    // Read-only keeps the stored background colour; writable turns the
    // background white. Callers that want other colours on a writable control
    // set them after this call.
    void SetReadOnly(bool readOnly);

    uint32_t Background() const { return m_background; }
    uint32_t Text() const { return m_text; }

    static QColor ToQColor(uint32_t colorValue);

private:
    void Apply();

    QWidget *m_widget;
    uint32_t m_background;
    uint32_t m_text = 0;
};

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

    uint32_t BackgroundColor() const { return m_colors.Background(); }
    uint32_t TextColor() const { return m_colors.Text(); }

    static QColor ToQColor(uint32_t colorValue) { return CControlColors::ToQColor(colorValue); }

private:
    CControlColors m_colors;
};
