#include "settings/Registry.h"

#include "common/CodePage.h"
#include "common/Utf16Text.h"

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
    // The store keeps Unicode text; the program's text is 8-bit.
    if (mode == AccessMode::Read) {
        const std::optional<RegValue> stored = key->Query(name);
        if (stored && stored->type == RegValue::Type::String) {
            const std::optional<std::u16string> units = Utf8ToUtf16(stored->text);
            if (units && units->size() <= kMaxStringValueLength) {
                value = Utf16ToCodePage(units->substr(0, units->find(u'\0')));
                return true;
            }
        }
    }
    return key->Set(name, RegValue::String(CodePageToUtf8(value.substr(0, value.find('\0')))));
}
