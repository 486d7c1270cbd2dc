#include "settings/CRegistry.h"

#include "settings/RegFileFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <map>

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

// One opened key: the prefix of its values in a QSettings of the session.
// Names are matched without case, as the registry matches them, so that a key
// exported from Windows ("Software") is the key the program asks for
// ("SOFTWARE").
class SettingsKey : public RegistryKey {
public:
    // changed: set once a value is written; null where the session only
    // reads, and every Set is refused.
    SettingsKey(QSettings &settings, QString prefix, bool *changed)
        : settings_(settings), prefix_(std::move(prefix)), changed_(changed)
    {
    }

    std::optional<RegValue> Query(const std::string &name) override
    {
        const QString key = Resolve(name);
        if (!settings_.contains(key))
            return std::nullopt;
        return FromVariant(settings_.value(key));
    }

    bool Set(const std::string &name, const RegValue &value) override
    {
        if (!changed_)
            return false;
        const QString key = Resolve(name);
        // A value already stored needs no write.
        if (settings_.contains(key) && FromVariant(settings_.value(key)) == value)
            return true;
        settings_.setValue(key, ToVariant(value));
        *changed_ = true;
        return true;
    }

private:
    // The stored spelling of the value's name, or of its key's path for a
    // value that is not there yet.
    QString Resolve(const std::string &name) const
    {
        const QString wanted = prefix_ + QString::fromStdString(name);
        if (settings_.contains(wanted))
            return wanted;
        QString prefix = prefix_;
        const QStringList keys = settings_.allKeys();
        for (const QString &key : keys) {
            if (key.compare(wanted, Qt::CaseInsensitive) == 0)
                return key;
            if (key.startsWith(prefix_, Qt::CaseInsensitive) &&
                key.indexOf(QLatin1Char('/'), prefix_.size()) < 0)
                prefix = key.left(prefix_.size());
        }
        return prefix + QString::fromStdString(name);
    }

    QSettings &settings_;
    QString prefix_;
    bool *changed_;
};

// One opening of the store. The file: one QSettings on it, read when the
// session opens and written, in one piece (a new file renamed over the old),
// when it closes, all under the file's lock. The Windows registry: a
// QSettings per key, each written when the session closes.
class SettingsSession : public RegistrySession {
public:
    // The file, under `lock` (null where there is no file); a session that
    // only reads refuses every write.
    SettingsSession(std::unique_ptr<SettingsFileLock> lock, std::unique_ptr<QSettings> file, bool writable)
        : lock_(std::move(lock)), file_(std::move(file)), writable_(writable)
    {
    }

    RegistryKey *Key(const std::string &keyPath) override
    {
        auto &entry = keys_[keyPath];
        if (!entry.key) {
            QString prefix;
            QSettings *settings = file_.get();
            if (!settings) {
                entry.native = std::make_unique<QSettings>(
                    QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromStdString(keyPath),
                    QSettings::NativeFormat);
                if (entry.native->status() != QSettings::NoError) {
                    keys_.erase(keyPath);
                    return nullptr;
                }
                settings = entry.native.get();
            } else {
                prefix = QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromStdString(keyPath);
                prefix.replace(QLatin1Char('\\'), QLatin1Char('/'));
                prefix += QLatin1Char('/');
            }
            entry.key = std::make_unique<SettingsKey>(*settings, prefix, writable_ ? &changed_ : nullptr);
        }
        return entry.key.get();
    }

    bool Close() override
    {
        if (!changed_)
            return true;
        bool ok = true;
        if (file_) {
            file_->sync();
            ok = file_->status() == QSettings::NoError;
            if (lock_)
                lock_->AfterWrite();
        }
        for (auto &[path, entry] : keys_) {
            if (entry.native) {
                entry.native->sync();
                ok = ok && entry.native->status() == QSettings::NoError;
            }
        }
        changed_ = false;
        return ok;
    }

private:
    struct OpenKey {
        std::unique_ptr<QSettings> native;
        std::unique_ptr<SettingsKey> key;
    };
    std::unique_ptr<SettingsFileLock> lock_; // declared first: released last
    std::unique_ptr<QSettings> file_;
    std::map<std::string, OpenKey> keys_;
    bool writable_;
    bool changed_ = false;
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

RegistryOpening CRegistry::Open()
{
    // Reading takes no lock: every write replaces the file in one piece.
    const bool writable = m_mode == Mode::ReadWrite;
#ifdef Q_OS_WIN
    return {std::make_unique<SettingsSession>(nullptr, nullptr, writable), std::nullopt};
#else
    const QString file = FilePath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    std::unique_ptr<SettingsFileLock> lock;
    if (writable) {
        lock = std::make_unique<SettingsFileLock>(file);
        if (lock->Busy())
            return {nullptr, lock->Busy()};
    }
    auto settings = std::make_unique<QSettings>(file, RegFileFormat());
    if (settings->status() == QSettings::FormatError) {
        // Not an export text: keep a copy, then carry on as with no file, so
        // that the next write starts a new one in its place.
        QFile::remove(UnreadableCopyPath());
        QFile::copy(file, UnreadableCopyPath());
    } else if (settings->status() != QSettings::NoError) {
        return {}; // a file that exists but cannot be read is left alone
    }
    return {std::make_unique<SettingsSession>(std::move(lock), std::move(settings), writable), std::nullopt};
#endif
}

QString CRegistry::UnsavedCopyPath(const std::string &profile)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Brondel/Verrin-%1-unsaved.reg").arg(QString::fromStdString(profile));
}

QString CRegistry::WriteUnsavedCopy(const std::string &profile, const std::string &exportText)
{
    QDir().mkpath(QFileInfo(UnsavedCopyPath(profile)).absolutePath());
    QSaveFile file(UnsavedCopyPath(profile));
    if (file.open(QIODevice::WriteOnly) &&
        file.write(exportText.data(), qint64(exportText.size())) == qint64(exportText.size()) && file.commit())
        return {};
    return file.errorString();
}
