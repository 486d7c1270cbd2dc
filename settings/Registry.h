#pragma once
// The registry accessor: typed named values under a key path of the current
// user. The rules of an access live here; a platform supplies only the opening
// of the store, of a key in it, and the reading and writing of one value
// (CRegistry over QSettings, an in-memory map in tests).

#include "common/LockBusy.h"
#include "settings/RegExport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// One opened key of a session.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // The stored value, of whatever type it has; nothing when it is missing.
    virtual std::optional<RegValue> Query(const std::string &name) = 0;
    // False when the value cannot be stored.
    virtual bool Set(const std::string &name, const RegValue &value) = 0;
};

// One opening of the store for a batch of accesses: what is set reaches the
// store when the session closes, in one piece, so that no other process sees
// half a batch.
class RegistrySession {
public:
    virtual ~RegistrySession() = default;
    // The key at keyPath, created when missing; kept by the session until it
    // closes. Nothing when the key cannot be opened.
    virtual RegistryKey *Key(const std::string &keyPath) = 0;
    // Stores what was set, if anything; false when that fails. Called once.
    virtual bool Close() = 0;
};

// What opening the store gives: a session, or why there is none.
struct RegistryOpening {
    std::unique_ptr<RegistrySession> session; // null: the store cannot be opened
    std::optional<LockBusy> busy;             // another process kept its lock past the wait
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

    // Read: a stored 32-bit value lands in `value`; a value that is missing
    // or of another type is replaced by `value`. False when the key cannot be
    // opened (then `value` is unchanged) or the value cannot be stored. Inside
    // a Hold the access uses the hold's opening of the store; otherwise it
    // opens and closes the store for itself.
    bool DwordValue(AccessMode mode, const std::string &name, uint32_t &value);
    bool DwordValue(AccessMode mode, const std::string &name, int32_t &value);
    // As DwordValue, for 8-bit text (see common/CodePage.h), which the store
    // keeps as Unicode: a stored character without a code in the page is left
    // out. A string of more than kMaxStringValueLength characters cannot be
    // read and is replaced. A write stores the text up to its first zero byte.
    bool StringValue(AccessMode mode, const std::string &name, std::string &value);

    // Keeps the store open for a batch of accesses of this accessor, so that
    // the batch reads the store once and writes it at most once, when the
    // hold closes. A hold taken while another is held shares the outer one,
    // which alone closes the store.
    class Hold {
    public:
        explicit Hold(Registry &registry);
        ~Hold() { Close(); }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

        // Set when another process kept the store locked for all of
        // kLockWaitBound: nothing of the batch can be read or written.
        const std::optional<LockBusy> &Busy() const { return registry_.busy_; }

        // Stores what the batch changed; false when that fails. Nothing
        // after the first call.
        bool Close();

    private:
        Registry &registry_;
        bool outer_;
    };

protected:
    // Opens the store, waiting at most kLockWaitBound for another process
    // that has it open. Without a session every access of the batch fails.
    virtual RegistryOpening Open() = 0;

private:
    template <typename Access> bool WithKey(Access access);

    std::string keyPath_ = "SOFTWARE\\Brondel\\Verrin";
    bool held_ = false;                        // a Hold is open
    std::unique_ptr<RegistrySession> session_; // its opening of the store
    std::optional<LockBusy> busy_;             // why it has none
};
