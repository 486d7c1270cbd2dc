#include "cli/CReadOnlyRegistry.h"

#include <map>

namespace {
class ReadOnlyKey : public RegistryKey {
public:
    explicit ReadOnlyKey(RegistryKey &key) : m_key(key) {}
    std::optional<RegValue> Query(const std::string &name) override { return m_key.Query(name); }
    bool Set(const std::string &, const RegValue &) override { return false; }

private:
    RegistryKey &m_key;
};

class ReadOnlySession : public RegistrySession {
public:
    explicit ReadOnlySession(std::unique_ptr<RegistrySession> session) : m_session(std::move(session)) {}
    RegistryKey *Key(const std::string &keyPath) override
    {
        std::unique_ptr<ReadOnlyKey> &key = m_keys[keyPath];
        if (!key) {
            RegistryKey *inner = m_session->Key(keyPath);
            if (!inner)
                return nullptr;
            key = std::make_unique<ReadOnlyKey>(*inner);
        }
        return key.get();
    }
    bool Close() override { return true; } // nothing was set

private:
    std::unique_ptr<RegistrySession> m_session;
    std::map<std::string, std::unique_ptr<ReadOnlyKey>> m_keys;
};
} // namespace

RegistryOpening CReadOnlyRegistry::Open()
{
    RegistryOpening opening = OpenForReading();
    if (opening.session)
        opening.session = std::make_unique<ReadOnlySession>(std::move(opening.session));
    return opening;
}
