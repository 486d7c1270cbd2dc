#pragma once
// The registry accessor: typed named values under a key path of the current
// user. The rules of an access live here; a platform supplies only the opening
// of a key and the reading and writing of one value (CRegistry over QSettings,
// an in-memory map in tests).

#include "settings/RegExport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// One opened key. The key is closed (and everything written reaches the
// store) when the object is destroyed.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // The stored value, of whatever type it has; nothing when it is missing.
    virtual std::optional<RegValue> Query(const std::string &name) = 0;
    virtual bool Set(const std::string &name, const RegValue &value) = 0;
};

// Mode of an access: Write stores the caller's value; Read reads it and, when
// it cannot be read, stores the caller's value (its default) in its place.
enum class AccessMode { Read = 0, Write = 1 };

// The longest string value that can be read, in characters: 255 characters
// of 8-bit text plus the terminating zero fill the 256-byte buffer of a read.
inline constexpr size_t kMaxStringValueLength = 255;

class Registry {
public:
    virtual ~Registry() = default;

    // The key path, relative to the current user, that the next accesses use.
    void SetKeyPath(std::string keyPath) { keyPath_ = std::move(keyPath); }
    const std::string &KeyPath() const { return keyPath_; }

    // Each access opens the key anew (creating it when missing) and closes it
    // before returning. Read: a stored 32-bit value lands in `value`; a value
    // that is missing or of another type is replaced by `value`. False when the
    // key cannot be opened (then `value` is unchanged) or the write fails.
    bool DwordValue(AccessMode mode, const std::string &name, uint32_t &value);
    bool DwordValue(AccessMode mode, const std::string &name, int32_t &value);
    // As DwordValue, for 8-bit text (see common/CodePage.h), which the store
    // keeps as Unicode: a stored character without a code in the page is left
    // out. A string of more than kMaxStringValueLength characters cannot be
    // read and is replaced. A write stores the text up to its first zero byte.
    bool StringValue(AccessMode mode, const std::string &name, std::string &value);

protected:
    // Opens (creating if needed) the key at keyPath; nothing when it cannot.
    virtual std::unique_ptr<RegistryKey> OpenKey(const std::string &keyPath) = 0;

private:
    std::string keyPath_ = "SOFTWARE\\Brondel\\Verrin";
};
