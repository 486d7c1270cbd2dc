#include "netview/CCloseNetview.h"

#include "common/DialogUnitsQt.h"
#include "netview/NetViewHost.h"

#include <QLabel>
#include <QPushButton>

CCloseNetview::CCloseNetview(NetViewHost &host, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_host(host), m_timer(this)
{
    setModal(true);
    setFont(QFont(QStringLiteral("MS Shell Dlg"), 8)); // the template's font
    setWindowTitle(QStringLiteral("Closing Netview"));
    setAccessibleName(QStringLiteral("Closing Netview"));
    setFixedSize(DialogUnitsRect(font(), 0, 0, 125, 47).size());

    auto *text = new QLabel(QStringLiteral("Waiting for last network scan"), this);
    text->setAlignment(Qt::AlignCenter);
    text->setGeometry(DialogUnitsRect(font(), 7, 7, 111, 8));
    text->setAccessibleName(text->text());

    auto *forceClose = new QPushButton(QStringLiteral("Force Close"), this);
    forceClose->setObjectName(QStringLiteral("forceClose"));
    forceClose->setGeometry(DialogUnitsRect(font(), 35, 26, 50, 14));
    forceClose->setAccessibleName(forceClose->text());
    forceClose->setAccessibleDescription(QStringLiteral("Stop waiting for the last network scan"));
    connect(forceClose, &QPushButton::clicked, this, &CCloseNetview::OnForceClose);

    m_timer.setObjectName(QStringLiteral("closeTimer"));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CCloseNetview::OnCloseTick);
    m_timer.start();
}

void CCloseNetview::done(int result)
{
    m_timer.stop();
    QDialog::done(result);
}

void CCloseNetview::OnCloseTick()
{
    // No reply can come from a port whose device has gone.
    if (m_host.TerminalLength() < 1 && m_host.PortOpen())
        return;
    m_host.ClearTerminal();
    done(1);
}

void CCloseNetview::OnForceClose()
{
    m_host.ClearTerminal();
    done(1);
}
