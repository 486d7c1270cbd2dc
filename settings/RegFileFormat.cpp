#include "settings/RegFileFormat.h"

#include <QIODevice>

namespace {

const QString kDefaultValueName = QStringLiteral("@");

QString SettingsKey(const RegEntry &entry)
{
    QString path = QString::fromStdString(entry.keyPath);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path + QLatin1Char('/') +
           (entry.name.empty() ? kDefaultValueName : QString::fromStdString(entry.name));
}

bool ReadRegFile(QIODevice &device, QSettings::SettingsMap &map)
{
    const QByteArray bytes = device.readAll();
    const RegParseResult parsed =
        ParseRegExport(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    for (const RegEntry &entry : parsed.entries)
        map.insert(SettingsKey(entry), ToVariant(entry.value));
    // A damaged file of ours still counts as read: what could be read is kept
    // and written back; only a file that is not an export at all is refused.
    return parsed.recognised;
}

bool WriteRegFile(QIODevice &device, const QSettings::SettingsMap &map)
{
    std::vector<RegEntry> entries;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        const qsizetype slash = it.key().lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            continue; // every registry value lives in a key
        QString path = it.key().left(slash);
        path.replace(QLatin1Char('/'), QLatin1Char('\\'));
        const QString name = it.key().mid(slash + 1);
        entries.push_back({path.toStdString(), name == kDefaultValueName ? std::string() : name.toStdString(),
                           FromVariant(it.value())});
    }
    const std::string bytes = WriteRegExport(entries);
    return device.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

} // namespace

QSettings::Format RegFileFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("reg"), ReadRegFile, WriteRegFile, Qt::CaseSensitive);
    return format;
}

QVariant ToVariant(const RegValue &value)
{
    switch (value.type) {
    case RegValue::Type::Dword:
        return QVariant::fromValue<quint32>(value.dword);
    case RegValue::Type::String:
        return QString::fromStdString(value.text);
    case RegValue::Type::Other:
        break;
    }
    return QByteArray::fromStdString(value.text);
}

RegValue FromVariant(const QVariant &variant)
{
    switch (variant.typeId()) {
    case QMetaType::UInt:
        return RegValue::Dword(variant.toUInt());
    case QMetaType::Int: // the Windows registry hands a REG_DWORD over as int
        return RegValue::Dword(static_cast<quint32>(variant.toInt()));
    case QMetaType::QString:
        return RegValue::String(variant.toString().toStdString());
    default:
        return RegValue::Other(variant.toByteArray().toStdString());
    }
}
