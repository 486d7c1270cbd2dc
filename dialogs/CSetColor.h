#pragma once
// "Set Screen Colors": the user types the text and background colours as
// RRGGBB and sees them at once on a preview line. The opener hands in the
// preview text and both colour texts and, after OK, reads the texts back as
// typed. A colour text longer than six characters is shown as it is and
// refused at OK.

#include "common/UserMessages.h"

#include <QDialog>
#include <QString>

class CColorEdit;
class QLineEdit;

class CSetColor : public QDialog {
    Q_OBJECT
public:
    CSetColor(const QString &previewText, const QString &textColor, const QString &backgroundColor,
              UserMessages &messages, QWidget *parent = nullptr);

    void accept() override;

    QString TextColorText() const;
    QString BackgroundColorText() const;

private:
    // Every keystroke in either box recolours the preview, through the same
    // conversion the terminal uses.
    void UpdatePreview();

    UserMessages &m_messages;
    CColorEdit *m_preview;
    QLineEdit *m_background;
    QLineEdit *m_text;
};
