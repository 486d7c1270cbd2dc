#include "settings/CRegistry.h"

#include "settings/RegFileFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include "settings/SettingsFileLock.h"
#endif

namespace {

#ifdef Q_OS_WIN
// The registry itself keeps concurrent writers apart: no file to lock.
struct SettingsFileLock {
    void AfterWrite() {}
};
#endif

// One opened key: a QSettings on the store, the prefix of the key's values in
// it and, for the file, the file's lock, held until the key is closed. Names
// are matched without case, as the registry matches them, so that a key
// exported from Windows ("Software") is the key the program asks for
// ("SOFTWARE").
class SettingsKey : public RegistryKey {
public:
    SettingsKey(std::unique_ptr<SettingsFileLock> lock, std::unique_ptr<QSettings> settings,
                QString prefix)
        : lock_(std::move(lock)), settings_(std::move(settings)), prefix_(std::move(prefix))
    {
    }

    std::optional<RegValue> Query(const std::string &name) override
    {
        const QString key = Resolve(name);
        if (!settings_->contains(key))
            return std::nullopt;
        return FromVariant(settings_->value(key));
    }

    bool Set(const std::string &name, const RegValue &value) override
    {
        const QString key = Resolve(name);
        // Every write rewrites the whole file, safely and so slowly (the file
        // is flushed to disk); a value already stored needs none.
        if (settings_->contains(key) && FromVariant(settings_->value(key)) == value)
            return true;
        settings_->setValue(key, ToVariant(value));
        settings_->sync();
        if (lock_)
            lock_->AfterWrite();
        return settings_->status() == QSettings::NoError;
    }

private:
    // The stored spelling of the value's name, or of its key's path for a
    // value that is not there yet.
    QString Resolve(const std::string &name) const
    {
        const QString wanted = prefix_ + QString::fromStdString(name);
        if (settings_->contains(wanted))
            return wanted;
        QString prefix = prefix_;
        const QStringList keys = settings_->allKeys();
        for (const QString &key : keys) {
            if (key.compare(wanted, Qt::CaseInsensitive) == 0)
                return key;
            if (key.startsWith(prefix_, Qt::CaseInsensitive) &&
                key.indexOf(QLatin1Char('/'), prefix_.size()) < 0)
                prefix = key.left(prefix_.size());
        }
        return prefix + QString::fromStdString(name);
    }

    std::unique_ptr<SettingsFileLock> lock_; // declared first: released last
    std::unique_ptr<QSettings> settings_;
    QString prefix_;
};

} // namespace

QString CRegistry::FilePath()
{
#ifdef Q_OS_WIN
    return {};
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Brondel/Verrin.reg");
#endif
}

QString CRegistry::UnreadableCopyPath() { return FilePath() + QStringLiteral(".unreadable"); }

std::unique_ptr<RegistryKey> CRegistry::OpenKey(const std::string &keyPath)
{
#ifdef Q_OS_WIN
    auto settings = std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromStdString(keyPath), QSettings::NativeFormat);
    if (settings->status() != QSettings::NoError)
        return nullptr;
    return std::make_unique<SettingsKey>(nullptr, std::move(settings), QString());
#else
    const QString file = FilePath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    auto lock = std::make_unique<SettingsFileLock>(file);
    auto settings = std::make_unique<QSettings>(file, RegFileFormat());
    if (settings->status() == QSettings::FormatError) {
        // Not an export text: keep a copy, then carry on as with no file, so
        // that the next write starts a new one in its place.
        QFile::remove(UnreadableCopyPath());
        QFile::copy(file, UnreadableCopyPath());
    } else if (settings->status() != QSettings::NoError) {
        return nullptr; // a file that exists but cannot be read is left alone
    }
    QString prefix = QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromStdString(keyPath);
    prefix.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return std::make_unique<SettingsKey>(std::move(lock), std::move(settings), prefix + QLatin1Char('/'));
#endif
}
