#include "settings/Registry.h"

bool Registry::DwordValue(AccessMode mode, const std::string &name, uint32_t &value)
{
    const std::unique_ptr<RegistryKey> key = OpenKey(keyPath_);
    if (!key)
        return false;
    if (mode == AccessMode::Read) {
        const std::optional<RegValue> stored = key->Query(name);
        if (stored && stored->type == RegValue::Type::Dword) {
            value = stored->dword;
            return true;
        }
    }
    return key->Set(name, RegValue::Dword(value));
}

bool Registry::DwordValue(AccessMode mode, const std::string &name, int32_t &value)
{
    uint32_t bits = static_cast<uint32_t>(value);
    const bool ok = DwordValue(mode, name, bits);
    value = static_cast<int32_t>(bits);
    return ok;
}

bool Registry::StringValue(AccessMode mode, const std::string &name, std::string &value)
{
    const std::unique_ptr<RegistryKey> key = OpenKey(keyPath_);
    if (!key)
        return false;
    if (mode == AccessMode::Read) {
        const std::optional<RegValue> stored = key->Query(name);
        if (stored && stored->type == RegValue::Type::String &&
            stored->text.size() <= kMaxStringValueLength) {
            value = stored->text.substr(0, stored->text.find('\0'));
            return true;
        }
    }
    return key->Set(name, RegValue::String(value.substr(0, value.find('\0'))));
}
