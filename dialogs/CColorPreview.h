#pragma once
// One line of read-only, centred text in a text colour and a background
// colour given as 0x00BBGGRR values (what ParseColor gives), so the preview
// of "Set Screen Colors" shows exactly what the terminal will.

#include <QLineEdit>

#include <cstdint>

class CColorPreview : public QLineEdit {
    Q_OBJECT
public:
    explicit CColorPreview(QWidget *parent = nullptr);

    void SetBackgroundColor(uint32_t colorValue);
    void SetTextColor(uint32_t colorValue);

private:
    void SetRole(QPalette::ColorRole role, uint32_t colorValue);
};
