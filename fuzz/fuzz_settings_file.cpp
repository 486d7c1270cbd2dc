// The settings file reader under arbitrary file contents. Whatever it reads
// must survive a write and a second read unchanged: the same values under the
// same keys, in the same order within each key, a complete and recognised
// file; and writing that again gives the same bytes.

#include "settings/RegExport.h"
#include "FuzzCheck.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using ValuesByKey = std::map<std::string, std::vector<std::pair<std::string, RegValue>>>;

ValuesByKey ByKey(const std::vector<RegEntry> &entries)
{
    ValuesByKey out;
    for (const RegEntry &e : entries)
        out[e.keyPath].emplace_back(e.name, e.value);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const RegParseResult first = ParseRegExport(std::string_view(reinterpret_cast<const char *>(data), size));
    FUZZ_CHECK(first.recognised || first.entries.empty(), "values read from a file without the header");

    const std::string written = WriteRegExport(first.entries);
    const RegParseResult second = ParseRegExport(written);
    FUZZ_CHECK(second.recognised && second.intact, "a written file reads back %s",
               second.recognised ? "damaged" : "unrecognised");
    FUZZ_CHECK(second.entries.size() == first.entries.size(), "%zu values read back as %zu", first.entries.size(),
               second.entries.size());

    const ValuesByKey before = ByKey(first.entries), after = ByKey(second.entries);
    FUZZ_CHECK(before.size() == after.size(), "%zu keys read back as %zu", before.size(), after.size());
    for (const auto &[key, values] : before) {
        const auto it = after.find(key);
        FUZZ_CHECK(it != after.end() && it->second.size() == values.size(), "key [%s] lost values", key.c_str());
        for (size_t i = 0; i < values.size(); ++i) {
            const auto &[name, value] = values[i];
            const auto &[nameBack, valueBack] = it->second[i];
            FUZZ_CHECK(name == nameBack && value == valueBack,
                       "[%s] value %zu: \"%s\" type %d \"%s\" %08X read back as \"%s\" type %d \"%s\" %08X", key.c_str(),
                       i, name.c_str(), int(value.type), value.text.c_str(), value.dword, nameBack.c_str(),
                       int(valueBack.type), valueBack.text.c_str(), valueBack.dword);
        }
    }
    FUZZ_CHECK(WriteRegExport(second.entries) == written, "a second write differs from the first");
    return 0;
}
