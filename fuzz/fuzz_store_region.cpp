// The instance store's region under arbitrary bytes and operations. The
// region lives in a heap block of exactly its size, so any read or write past
// it stops the run (AddressSanitizer).
//
// The region starts as arbitrary bytes (another process may have written
// anything) or freshly initialised. While every change went through the
// operations on an initialised region, a plain model of the records predicts
// each result and the region's every byte. Always: a failed operation leaves
// the region as it was (AddValue on a region without records may clear the
// bytes after the header first), and a profile claim reads back as its id.

#include "instance/ProfileLock.h"
#include "instance/SharedStore.h"
#include "instance/StoreRegion.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Record {
    std::u16string name;
    std::vector<uint8_t> data;
};

// The records as the region should hold them.
struct ModelRegion {
    size_t size = 0;
    std::vector<Record> records;

    size_t End() const
    {
        size_t end = kRegionHeaderSize;
        for (const Record &r : records)
            end += kRecordHeaderSize + r.data.size();
        return end;
    }
    Record *Find(std::u16string_view name)
    {
        for (Record &r : records)
            if (r.name == name)
                return &r;
        return nullptr;
    }
    std::vector<uint8_t> Bytes() const
    {
        std::vector<uint8_t> out(size, 0);
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                out[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        put32(0, static_cast<uint32_t>(records.size()));
        put32(4, static_cast<uint32_t>(size));
        size_t at = kRegionHeaderSize;
        for (const Record &r : records) {
            for (size_t i = 0; i < r.name.size(); ++i) {
                out[at + 2 * i] = static_cast<uint8_t>(r.name[i] & 0xFF);
                out[at + 2 * i + 1] = static_cast<uint8_t>(r.name[i] >> 8);
            }
            put32(at + kRecordNameBytes, static_cast<uint32_t>(r.data.size()));
            std::copy(r.data.begin(), r.data.end(), out.begin() + at + kRecordHeaderSize);
            at += kRecordHeaderSize + r.data.size();
        }
        return out;
    }
};

uint32_t LowBytes(const std::vector<uint8_t> &data)
{
    uint32_t v = 0;
    for (size_t i = 0; i < data.size() && i < 4; ++i)
        v |= uint32_t(data[i]) << (8 * i);
    return v;
}

// The store on the fuzzed region, the lock always free.
class RegionStore : public SharedStore {
public:
    explicit RegionStore(RegionBytes region) : region_(region) {}
    bool IsOpen() const override { return true; }
    bool IsCreated() const override { return false; }

protected:
    StoreError WithLockedRegion(const std::function<StoreError(RegionBytes)> &operation) override
    {
        return operation(region_);
    }

private:
    RegionBytes region_;
};

// Names from a small alphabet, so that they repeat; no NUL inside (a NUL ends
// a stored name, and names that differ after it are the same name).
std::u16string Name(FuzzedDataProvider &in)
{
    std::u16string name(in.ConsumeIntegralInRange<size_t>(0, 42), u'a');
    for (char16_t &c : name)
        c = in.ConsumeBool() ? static_cast<char16_t>(u'a' + in.ConsumeIntegralInRange(0, 2))
                             : static_cast<char16_t>(in.ConsumeIntegralInRange<uint16_t>(1, 0xFFFF));
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const size_t regionSize = in.ConsumeIntegralInRange<size_t>(0, 1100);
    const bool fresh = in.ConsumeBool();
    std::vector<uint8_t> initial = in.ConsumeBytes<uint8_t>(regionSize);
    initial.resize(regionSize);
    std::unique_ptr<uint8_t[]> block(new uint8_t[regionSize]);
    std::copy(initial.begin(), initial.end(), block.get());
    const RegionBytes region{block.get(), regionSize};
    RegionStore store(region);

    ModelRegion model;
    bool modelled = false;
    if (fresh && regionSize >= kRegionHeaderSize) {
        InitRegion(region);
        model.size = regionSize;
        modelled = true;
    }

    while (in.remaining_bytes() > 0) {
        const std::vector<uint8_t> before(block.get(), block.get() + regionSize);
        const uint32_t countBefore = ValueCount(region);
        const int op = in.ConsumeIntegralInRange(0, 8);
        StoreError e = StoreError::None;
        switch (op) {
        case 0: { // add
            const std::u16string name = Name(in);
            const uint32_t n = in.ConsumeIntegralInRange<uint32_t>(0, 300);
            std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(n);
            bytes.resize(n);
            const bool zeros = in.ConsumeBool();
            e = AddValue(region, name, zeros ? nullptr : bytes.data(), n);
            if (zeros)
                std::fill(bytes.begin(), bytes.end(), 0);
            if (modelled) {
                StoreError expected = StoreError::None;
                if (n == 0)
                    expected = StoreError::BadLength;
                else if (name.size() > kMaxValueNameLength)
                    expected = StoreError::NameTooLong;
                else if (model.Find(name))
                    expected = StoreError::AlreadyExists;
                else if (model.End() + kRecordHeaderSize + n > regionSize)
                    expected = StoreError::OutOfMemory;
                FUZZ_CHECK(e == expected, "AddValue gave %u, expected %u", unsigned(e), unsigned(expected));
                if (e == StoreError::None)
                    model.records.push_back({name, bytes});
            }
            if (e == StoreError::None) {
                FUZZ_CHECK(ValueCount(region) == countBefore + 1, "count %u after %u", ValueCount(region),
                           countBefore);
                uint32_t v = 0;
                const StoreError g = GetDwordValue(region, name, v);
                const bool readable = n <= 4 ? g == StoreError::None && v == LowBytes(bytes)
                                             : g == StoreError::InsufficientBuffer;
                FUZZ_CHECK(readable, "a value just added reads back as %u", unsigned(g));
                FUZZ_CHECK(AddValue(region, name, bytes.data(), n) == StoreError::AlreadyExists,
                           "the same name added twice");
            }
            break;
        }
        case 1: { // read
            const std::u16string name = Name(in);
            uint32_t v = 0xA5A5A5A5;
            e = GetDwordValue(region, name, v);
            if (modelled) {
                const Record *r = model.Find(name);
                const StoreError expected = !r                  ? StoreError::NotFound
                                            : r->data.size() > 4 ? StoreError::InsufficientBuffer
                                                                 : StoreError::None;
                FUZZ_CHECK(e == expected, "GetDwordValue gave %u, expected %u", unsigned(e), unsigned(expected));
                FUZZ_CHECK(e != StoreError::None || v == LowBytes(r->data), "read %08X", v);
            }
            FUZZ_CHECK(e == StoreError::None || v == 0xA5A5A5A5, "a failed read wrote its result");
            break;
        }
        case 2: { // overwrite
            const std::u16string name = Name(in);
            const uint32_t n = in.ConsumeIntegralInRange<uint32_t>(0, 8);
            std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(n);
            bytes.resize(n);
            e = SetValue(region, name, bytes.data(), n);
            if (modelled) {
                Record *r = model.Find(name);
                const StoreError expected = n == 0                ? StoreError::BadLength
                                            : !r                  ? StoreError::NotFound
                                            : n > r->data.size() ? StoreError::NotEnoughMemory
                                                                 : StoreError::None;
                FUZZ_CHECK(e == expected, "SetValue gave %u, expected %u", unsigned(e), unsigned(expected));
                if (e == StoreError::None) {
                    std::fill(r->data.begin(), r->data.end(), 0);
                    std::copy(bytes.begin(), bytes.end(), r->data.begin());
                }
            }
            break;
        }
        case 3: // start afresh
            if (regionSize >= kRegionHeaderSize) {
                InitRegion(region);
                FUZZ_CHECK(ValueCount(region) == 0, "records after InitRegion");
                model = ModelRegion{regionSize, {}};
                modelled = true;
            }
            break;
        case 4: { // another process scribbles over the region
            if (regionSize == 0)
                break;
            block[in.ConsumeIntegralInRange<size_t>(0, regionSize - 1)] = in.ConsumeIntegral<uint8_t>();
            modelled = false;
            continue;
        }
        case 5: { // a name with any units, NUL included
            const std::u16string name =
                in.ConsumeBool() ? std::u16string(1, u'\0') + Name(in) : Name(in) + u'\0' + Name(in);
            uint32_t v = 0;
            e = in.ConsumeBool() ? GetDwordValue(region, name, v) : AddValue(region, name, nullptr, 4);
            modelled = false;
            break;
        }
        default: { // the profile marks through the store
            const uint32_t id = in.ConsumeIntegralInRange<uint32_t>(1, 0xFFFFFFFF);
            const int which = in.ConsumeIntegralInRange(0, kProfileCount - 1);
            ClaimResult claim;
            if (op == 6) {
                claim = ClaimFirstFree(store, id);
            } else if (op == 7) {
                const int from = (which + 1 + in.ConsumeIntegralInRange(0, kProfileCount - 2)) % kProfileCount;
                claim = SwitchClaim(store, from, which, id);
                if (claim.profile >= 0)
                    FUZZ_CHECK(store.GetDwordValue(kProfileNames[from], 1) == 0, "a switch leaves %s marked",
                               kProfileNames[from]);
            } else {
                ReleaseProfile(store, which);
                claim.profile = -1;
            }
            if (claim.profile >= 0)
                FUZZ_CHECK(store.GetDwordValue(kProfileNames[claim.profile], 0) == id, "a claim reads back as %08X",
                           store.GetDwordValue(kProfileNames[claim.profile], 0));
            modelled = false;
            continue;
        }
        }

        const bool cleared = (op == 0 || op == 5) && countBefore == 0;
        if (e != StoreError::None && !cleared)
            FUZZ_CHECK(std::equal(before.begin(), before.end(), block.get()), "failed operation %d changed the region",
                       op);
        if (modelled)
            FUZZ_CHECK(model.Bytes() == std::vector<uint8_t>(block.get(), block.get() + regionSize),
                       "the region differs from its records after operation %d", op);
    }
    return 0;
}
