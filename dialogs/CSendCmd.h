#pragma once
// "Send Command": edits what CMD1..CMD9 send (caption, command text, "Hex",
// "Send CR LF") and how CMD10's line test goes out. It works on a copy of the
// profile's settings; the opener takes Result() back only when exec() returns
// QDialog::Accepted, so Cancel changes nothing.

#include "dialogs/SendCmdRules.h"
#include "settings/Settings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class UserMessages;

class CSendCmd : public QDialog {
    Q_OBJECT
public:
    CSendCmd(const Settings &settings, UserMessages &messages, QWidget *parent = nullptr);

    // The edited copy: every field the dialog does not edit comes back as it
    // was handed in.
    const Settings &Result() const { return m_settings; }

    // OK: closes with Accepted only when every box holds an allowed entry.
    void accept() override;

protected:
    // Enter is swallowed everywhere in the dialog: it neither presses a
    // button nor reaches a box.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildCommandRows(QGridLayout *grid);
    QWidget *BuildLineTestGroup();
    void FillControls();
    // Redoes the enabling at once and checks the block boxes, as OK would.
    void OnContinuousClicked();
    // The block boxes and their labels work only while "Continuous" is off.
    void ApplyBlockEnabling();
    // Tells the user what is wrong and puts the focus on the bad box.
    void Refuse(const SendCmdCheck &check);

    Settings m_settings;
    UserMessages &m_messages;

    std::array<QLineEdit *, 9> m_names{};
    std::array<QLineEdit *, 9> m_commands{};
    std::array<QCheckBox *, 9> m_hex{};
    std::array<QCheckBox *, 9> m_crLf{};
    QLineEdit *m_lineCount = nullptr;
    QCheckBox *m_continuous = nullptr;
    QLineEdit *m_blockSize = nullptr;
    QLabel *m_blockSizeLabel = nullptr;
    QLineEdit *m_pause = nullptr;
    QLabel *m_pauseLabel = nullptr;
};
