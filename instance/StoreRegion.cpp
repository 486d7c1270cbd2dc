#include "instance/StoreRegion.h"

#include <cstring>

namespace {

uint32_t Load32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Store32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The part of the region the records may use: the size its creator wrote,
// when that fits in the bytes at hand.
bool UsableSize(RegionBytes region, size_t &usable)
{
    if (region.size < kRegionHeaderSize)
        return false;
    usable = Load32(region.data + 4);
    return usable >= kRegionHeaderSize && usable <= region.size;
}

bool NameMatches(const uint8_t *stored, std::u16string_view name)
{
    if (name.size() > kMaxValueNameLength)
        return false;
    for (size_t i = 0; i <= name.size(); ++i) {
        const char16_t unit = static_cast<char16_t>(stored[2 * i] | stored[2 * i + 1] << 8);
        if (unit != (i < name.size() ? name[i] : u'\0'))
            return false;
    }
    return true;
}

struct Walk {
    StoreError error = StoreError::None;
    size_t usable = 0;
    size_t found = 0; // offset of the record with the name; 0 when there is none
    size_t end = 0;   // offset after the last record
};

Walk WalkRecords(RegionBytes region, std::u16string_view name)
{
    Walk w;
    if (!UsableSize(region, w.usable))
        return {StoreError::Damaged};
    const uint32_t count = Load32(region.data);
    size_t offset = kRegionHeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        if (w.usable - offset < kRecordHeaderSize)
            return {StoreError::Damaged};
        const uint32_t size = Load32(region.data + offset + kRecordNameBytes);
        if (size == 0 || w.usable - offset - kRecordHeaderSize < size)
            return {StoreError::Damaged};
        if (w.found == 0 && NameMatches(region.data + offset, name))
            w.found = offset;
        offset += kRecordHeaderSize + size;
    }
    w.end = offset;
    return w;
}

} // namespace

void InitRegion(RegionBytes region)
{
    std::memset(region.data, 0, region.size);
    Store32(region.data + 4, static_cast<uint32_t>(region.size));
}

uint32_t ValueCount(RegionBytes region) { return region.size >= 4 ? Load32(region.data) : 0; }

StoreError AddValue(RegionBytes region, std::u16string_view name, const void *data, uint32_t size)
{
    if (size == 0)
        return StoreError::BadLength;
    if (name.size() > kMaxValueNameLength)
        return StoreError::NameTooLong;
    size_t usable;
    if (!UsableSize(region, usable))
        return StoreError::Damaged;
    if (Load32(region.data) == 0)
        std::memset(region.data + kRegionHeaderSize, 0, usable - kRegionHeaderSize);

    const Walk w = WalkRecords(region, name);
    if (w.error != StoreError::None)
        return w.error;
    if (w.found != 0)
        return StoreError::AlreadyExists;
    if (w.usable - w.end < kRecordHeaderSize || w.usable - w.end - kRecordHeaderSize < size)
        return StoreError::OutOfMemory;

    uint8_t *record = region.data + w.end;
    std::memset(record, 0, kRecordNameBytes);
    for (size_t i = 0; i < name.size(); ++i) {
        record[2 * i] = static_cast<uint8_t>(name[i] & 0xFF);
        record[2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
    }
    Store32(record + kRecordNameBytes, size);
    if (data)
        std::memcpy(record + kRecordHeaderSize, data, size);
    else
        std::memset(record + kRecordHeaderSize, 0, size);
    Store32(region.data, Load32(region.data) + 1);
    return StoreError::None;
}

StoreError GetDwordValue(RegionBytes region, std::u16string_view name, uint32_t &value)
{
    const Walk w = WalkRecords(region, name);
    if (w.error != StoreError::None)
        return w.error;
    if (w.found == 0)
        return StoreError::NotFound;
    const uint32_t size = Load32(region.data + w.found + kRecordNameBytes);
    if (size > 4)
        return StoreError::InsufficientBuffer;
    const uint8_t *bytes = region.data + w.found + kRecordHeaderSize;
    value = 0;
    for (uint32_t i = 0; i < size; ++i)
        value |= uint32_t(bytes[i]) << (8 * i);
    return StoreError::None;
}

StoreError SetValue(RegionBytes region, std::u16string_view name, const void *data, uint32_t size)
{
    if (size == 0)
        return StoreError::BadLength;
    const Walk w = WalkRecords(region, name);
    if (w.error != StoreError::None)
        return w.error;
    if (w.found == 0)
        return StoreError::NotFound;
    uint8_t *bytes = region.data + w.found + kRecordHeaderSize;
    const uint32_t stored = Load32(region.data + w.found + kRecordNameBytes);
    if (size > stored)
        return StoreError::NotEnoughMemory;
    std::memset(bytes, 0, stored);
    if (data)
        std::memcpy(bytes, data, size);
    return StoreError::None;
}
