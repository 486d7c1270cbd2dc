#include "dialogs/CPortSetup.h"

#include "common/QtText.h"
#include "dialogs/CSetColor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QCheckBox *MakeCheckBox(const QString &caption, uint32_t state, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setChecked(state != 0);
    box->setAccessibleName(caption);
    box->setObjectName(caption);
    return box;
}

// A choice from the list is the only way to change the port or the rate:
// the boxes have no edit field, and typed characters do not jump to a
// matching entry (typing "3" must not pick 38400). Arrow keys
// and the drop-down list still choose; the space bar opens the list.
class TypedTextFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent *>(event)->text();
            if (!text.isEmpty() && text.at(0).isPrint() && text != QLatin1String(" "))
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

QComboBox *MakeList(const QString &name, QObject *typedTextFilter, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setEditable(false);
    list->installEventFilter(typedTextFilter);
    list->setAccessibleName(name);
    list->setObjectName(name);
    return list;
}

} // namespace

CPortSetup::CPortSetup(const PortSetupValues &values, PortProber &prober, UserMessages &messages,
                       QWidget *parent, PortScheme scheme)
    : QDialog(parent), m_values(values), m_messages(messages), m_scheme(scheme)
{
    setWindowTitle(tr("Setup"));

    auto *typedTextFilter = new TypedTextFilter(this);
    m_portList = MakeList(QStringLiteral("Port"), typedTextFilter, this);
    m_baudList = MakeList(QStringLiteral("Baudrate"), typedTextFilter, this);
    m_flow = MakeCheckBox(tr("RTS/CTS Flow Enabled"), m_values.flowEnabled, this);
    // Reopens the port when its device comes back after it vanished (a USB
    // adapter pulled and plugged in again).
    m_reconnect = MakeCheckBox(tr("Reconnect"), m_values.autoReconnect, this);
    // Made in the order they stand, which Tab follows.
    m_appendLF = MakeCheckBox(tr("Append LF after CR"), m_values.appendLF, this);
    m_smallPackets = MakeCheckBox(tr("Use Small Packets"), m_values.smallPackets, this);

    auto *portGroup = new QGroupBox(tr("Comm Port"), this);
    auto *portForm = new QFormLayout(portGroup);
    portForm->addRow(tr("Port"), m_portList);
    portForm->addRow(tr("Baudrate"), m_baudList);
    portForm->addRow(m_flow);
    portForm->addRow(m_reconnect);

    auto *keyboardGroup = new QGroupBox(tr("Keyboard"), this);
    auto *keyboardLayout = new QVBoxLayout(keyboardGroup);
    keyboardLayout->addWidget(m_appendLF);

    auto *colors = new QPushButton(tr("Screen Colors"), this);
    colors->setAccessibleName(QStringLiteral("Screen Colors"));
    colors->setObjectName(QStringLiteral("Screen Colors"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(portGroup);
    layout->addWidget(keyboardGroup);
    layout->addWidget(m_smallPackets);
    layout->addWidget(colors);
    layout->addWidget(buttons);

    FillBaudList();
    FillPortList(prober);

    connect(m_portList, &QComboBox::activated, this,
            [this](int index) { ChoosePort(m_values, m_ports.at(index), m_scheme); });
    connect(m_baudList, &QComboBox::activated, this,
            [this](int index) { m_values.baudrate = kBaudRates.at(index); });
    connect(m_flow, &QCheckBox::toggled, this, [this](bool on) { m_values.flowEnabled = on; });
    connect(m_appendLF, &QCheckBox::toggled, this, [this](bool on) { m_values.appendLF = on; });
    connect(m_smallPackets, &QCheckBox::toggled, this,
            [this](bool on) { m_values.smallPackets = on; });
    connect(m_reconnect, &QCheckBox::toggled, this, [this](bool on) { m_values.autoReconnect = on; });
    connect(colors, &QPushButton::clicked, this, &CPortSetup::EditColors);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CPortSetup::FillBaudList()
{
    for (int32_t rate : kBaudRates)
        m_baudList->addItem(QString::number(rate));
    m_baudList->setCurrentIndex(FindBaudIndex(m_values.baudrate));
}

void CPortSetup::FillPortList(PortProber &prober)
{
    m_ports = DiscoverPorts(prober, m_scheme);
    for (const PortEntry &entry : m_ports)
        m_portList->addItem(FromCodePage(entry.displayName));
    m_portList->setCurrentIndex(SelectedPortIndex(m_ports, m_scheme, m_values));
}

void CPortSetup::EditColors()
{
    CSetColor dialog(QStringLiteral("Sample Text"), FromCodePage(m_values.textColor),
                     FromCodePage(m_values.backgroundColor), m_messages, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_values.textColor = UpperCaseColorText(ToCodePage(dialog.TextColorText()));
    m_values.backgroundColor = UpperCaseColorText(ToCodePage(dialog.BackgroundColorText()));
}
