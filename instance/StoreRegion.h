#pragma once
// The shared region of the instance store and the operations on its records.
//
// Region (little-endian, no padding): value count (4 bytes), region size (4),
// then the value records back to back, in the order they were added. Record:
// name (80 bytes: up to 39 UTF-16 code units, a NUL, zeros), data size (4,
// more than 0), data. Bytes after the last record are zero.
//
// The operations touch nothing outside the bytes they are given, whatever
// those bytes hold: a region size, count or record that points past the end
// fails with StoreError::Damaged.

#include <cstddef>
#include <cstdint>
#include <string_view>

// The store's error codes, the same numbers on every platform.
enum class StoreError : uint32_t {
    None = 0,
    NotFound = 2,             // no value of that name
    NotEnoughMemory = 8,      // new data larger than the stored data
    Damaged = 13,             // the region's bytes do not make a region
    OutOfMemory = 14,         // no room for another record
    BadLength = 24,           // a data size of 0
    LockBusy = 121,           // another process kept the lock past the wait
    InsufficientBuffer = 122, // the stored value is wider than 4 bytes
    AlreadyExists = 183,      // a value of that name is already there
    NameTooLong = 1743,       // more than 39 characters
    NotOpen = 4312,           // the store could not be opened
};

inline constexpr uint32_t kRegionHeaderSize = 8;
inline constexpr uint32_t kRecordNameBytes = 80;
inline constexpr uint32_t kMaxValueNameLength = kRecordNameBytes / 2 - 1;
inline constexpr uint32_t kRecordHeaderSize = kRecordNameBytes + 4;

struct RegionBytes {
    uint8_t *data;
    size_t size;
};

// Zeroes the region and writes its size (region.size) into the header.
void InitRegion(RegionBytes region);

uint32_t ValueCount(RegionBytes region);

// Adds a record; its data is `size` bytes from `data`, or zeros without data.
StoreError AddValue(RegionBytes region, std::u16string_view name, const void *data, uint32_t size);

// The stored value of up to 4 bytes, low bytes first.
StoreError GetDwordValue(RegionBytes region, std::u16string_view name, uint32_t &value);

// Overwrites the data of a record: the new bytes at its start, zeros after.
StoreError SetValue(RegionBytes region, std::u16string_view name, const void *data, uint32_t size);
