#pragma once
// "Setup": the port, the baud rate, RTS/CTS flow control, "Append LF after
// CR", "Use Small Packets" and the screen colours. It edits a copy of those
// settings; the opener takes Values() back only when exec() returns Accepted.
// Ports are discovered when the dialog is built, through the given prober.

#include "common/UserMessages.h"
#include "dialogs/PortSetupValues.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;

class CPortSetup : public QDialog {
    Q_OBJECT
public:
    CPortSetup(const PortSetupValues &values, PortProber &prober, UserMessages &messages,
               QWidget *parent = nullptr, PortScheme scheme = kNativePortScheme);

    const PortSetupValues &Values() const { return m_values; }

private:
    void FillBaudList();
    void FillPortList(PortProber &prober);
    // Opens "Set Screen Colors"; on OK its texts come back upper-cased.
    void EditColors();

    PortSetupValues m_values;
    UserMessages &m_messages;
    PortScheme m_scheme;
    std::vector<PortEntry> m_ports; // entry i of the port list is m_ports[i]
    QComboBox *m_portList;
    QComboBox *m_baudList;
    QCheckBox *m_flow;
    QCheckBox *m_appendLF;
    QCheckBox *m_smallPackets;
    QCheckBox *m_reconnect;
};
