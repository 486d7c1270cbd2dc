#include "cli/CReadOnlyRegistry.h"

namespace {
class ReadOnlyKey : public RegistryKey {
public:
    explicit ReadOnlyKey(std::unique_ptr<RegistryKey> key) : m_key(std::move(key)) {}
    std::optional<RegValue> Query(const std::string &name) override { return m_key->Query(name); }
    bool Set(const std::string &, const RegValue &) override { return false; }

private:
    std::unique_ptr<RegistryKey> m_key;
};
} // namespace

std::unique_ptr<RegistryKey> CReadOnlyRegistry::OpenKey(const std::string &keyPath)
{
    std::unique_ptr<RegistryKey> key = CRegistry::OpenKey(keyPath);
    if (!key)
        return nullptr;
    return std::make_unique<ReadOnlyKey>(std::move(key));
}
