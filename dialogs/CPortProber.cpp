#include "dialogs/CPortProber.h"

#include "common/QtText.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

QString CPortProber::VirtualModuleFolder()
{
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtimeDir.isEmpty())
        return {};
    return QDir(runtimeDir).filePath(QStringLiteral("verrin-sim"));
}

std::vector<std::string> CPortProber::ListDevices()
{
    std::vector<std::string> devices;
    if (m_options.systemPorts) {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            devices.push_back(ToCodePage(info.systemLocation()));
    }
    // The links only: "port.lock" and "port.new" are the publisher's own files.
    const QString folder = VirtualModuleFolder();
    if (!folder.isEmpty()) {
        for (const QFileInfo &link : QDir(folder).entryInfoList({QStringLiteral("port"), QStringLiteral("port[0-9]*")},
                                                                  QDir::System | QDir::Files, QDir::Name)) {
            if (link.isSymLink() && link.exists() && !link.fileName().contains(QLatin1Char('.')))
                devices.push_back(ToCodePage(link.filePath()));
        }
    }
    return devices;
}
