#include "settings/Registry.h"

#include "common/CodePage.h"
#include "common/Utf16Text.h"

Registry::Hold::Hold(Registry &registry) : registry_(registry), outer_(!registry.held_)
{
    if (outer_) {
        RegistryOpening opening = registry_.Open();
        registry_.session_ = std::move(opening.session);
        registry_.busy_ = std::move(opening.busy);
        registry_.held_ = true;
    }
}

bool Registry::Hold::Close()
{
    if (!outer_ || !registry_.held_)
        return true;
    const std::unique_ptr<RegistrySession> session = std::move(registry_.session_);
    registry_.held_ = false;
    registry_.busy_.reset();
    return session ? session->Close() : false;
}

// Runs access(key) on the key at the key path, in the hold's session or in
// one of its own.
template <typename Access> bool Registry::WithKey(Access access)
{
    Hold hold(*this); // within a hold already: that one's session, and Close does nothing
    RegistryKey *key = session_ ? session_->Key(keyPath_) : nullptr;
    const bool ok = key && access(*key);
    return hold.Close() && ok;
}

bool Registry::DwordValue(AccessMode mode, const std::string &name, uint32_t &value)
{
    return WithKey([&](RegistryKey &key) {
        if (mode == AccessMode::Read) {
            const std::optional<RegValue> stored = key.Query(name);
            if (stored && stored->type == RegValue::Type::Dword) {
                value = stored->dword;
                return true;
            }
        }
        return key.Set(name, RegValue::Dword(value));
    });
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
    // The store keeps Unicode text; the program's text is 8-bit.
    return WithKey([&](RegistryKey &key) {
        if (mode == AccessMode::Read) {
            const std::optional<RegValue> stored = key.Query(name);
            if (stored && stored->type == RegValue::Type::String) {
                const std::optional<std::u16string> units = Utf8ToUtf16(stored->text);
                if (units && units->size() <= kMaxStringValueLength) {
                    value = Utf16ToCodePage(units->substr(0, units->find(u'\0')));
                    return true;
                }
            }
        }
        return key.Set(name, RegValue::String(CodePageToUtf8(value.substr(0, value.find('\0')))));
    });
}
