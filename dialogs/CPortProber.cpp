#include "dialogs/CPortProber.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

QString CPortProber::VirtualModulePortPath()
{
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtimeDir.isEmpty())
        return {};
    return QDir(runtimeDir).filePath(QStringLiteral("verrin-sim/port"));
}

std::vector<std::string> CPortProber::ListDevices()
{
    std::vector<std::string> devices;
    if (m_options.systemPorts) {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            devices.push_back(info.systemLocation().toStdString());
    }
    const QString virtualPort = VirtualModulePortPath();
    if (!virtualPort.isEmpty() && QFileInfo::exists(virtualPort))
        devices.push_back(virtualPort.toStdString());
    return devices;
}
