#include "instance/SharedStore.h"

#include "common/CodePage.h"

namespace {
// Names are 8-bit text; the region keeps them as UTF-16.
std::u16string StoreName(const std::string &name) { return CodePageToUtf16(name); }
} // namespace

StoreError SharedStore::Locked::AddValue(const std::string &name, uint32_t size, const void *data)
{
    if (size == 0)
        return StoreError::BadLength;
    const StoreError e = ::AddValue(region_, StoreName(name), data, size);
    if (e == StoreError::None)
        store_.ValueAdded();
    return e;
}

StoreError SharedStore::Locked::AddDwordValue(const std::string &name, uint32_t value)
{
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return AddValue(name, sizeof bytes, bytes);
}

StoreError SharedStore::Locked::GetDwordValue(const std::string &name, uint32_t &value)
{
    return ::GetDwordValue(region_, StoreName(name), value);
}

StoreError SharedStore::Locked::SetValue(const std::string &name, const void *data, uint32_t size)
{
    if (size == 0)
        return StoreError::BadLength;
    const StoreError e = ::SetValue(region_, StoreName(name), data, size);
    if (e == StoreError::None)
        store_.ValueChanged(name);
    return e;
}

StoreError SharedStore::Locked::SetDwordValue(const std::string &name, uint32_t value)
{
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return SetValue(name, bytes, sizeof bytes);
}

StoreError SharedStore::Transact(const std::function<StoreError(Locked &)> &operation)
{
    const StoreError e = WithLockedRegion([&](RegionBytes region) {
        Locked locked(*this, region);
        return operation(locked);
    });
    if (e != StoreError::None)
        SetLastError(static_cast<uint32_t>(e));
    return e;
}

bool SharedStore::AddValue(const std::string &name, uint32_t size, const void *data)
{
    return Transact([&](Locked &s) { return s.AddValue(name, size, data); }) == StoreError::None;
}

bool SharedStore::AddDwordValue(const std::string &name, uint32_t value)
{
    return Transact([&](Locked &s) { return s.AddDwordValue(name, value); }) == StoreError::None;
}

uint32_t SharedStore::GetDwordValue(const std::string &name, uint32_t defaultValue)
{
    uint32_t value = defaultValue;
    if (Transact([&](Locked &s) { return s.GetDwordValue(name, value); }) != StoreError::None)
        return defaultValue;
    return value;
}

bool SharedStore::SetValue(const std::string &name, const void *data, uint32_t size)
{
    return Transact([&](Locked &s) { return s.SetValue(name, data, size); }) == StoreError::None;
}

bool SharedStore::SetDwordValue(const std::string &name, uint32_t value)
{
    return Transact([&](Locked &s) { return s.SetDwordValue(name, value); }) == StoreError::None;
}
