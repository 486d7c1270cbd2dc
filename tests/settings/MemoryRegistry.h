#pragma once
// A registry in memory: keys by path, values by name. `unavailable` makes
// every key fail to open; `opens` counts the keys opened.

#include "settings/Registry.h"

#include <map>
#include <ostream>

inline void PrintTo(const RegValue &v, std::ostream *os)
{
    static const char *types[] = {"Dword", "String", "Other"};
    *os << types[static_cast<int>(v.type)] << "(";
    if (v.type == RegValue::Type::Dword)
        *os << v.dword;
    else
        *os << '"' << v.text << '"';
    *os << ")";
}

class MemoryRegistry : public Registry {
public:
    using Values = std::map<std::string, RegValue>;
    std::map<std::string, Values> keys;
    bool unavailable = false;
    int opens = 0;

    Values &Key(const std::string &path) { return keys[path]; }

protected:
    std::unique_ptr<RegistryKey> OpenKey(const std::string &path) override
    {
        if (unavailable)
            return nullptr;
        ++opens;
        return std::make_unique<Key_>(keys[path]);
    }

private:
    class Key_ : public RegistryKey {
    public:
        explicit Key_(Values &values) : values_(values) {}
        std::optional<RegValue> Query(const std::string &name) override
        {
            const auto it = values_.find(name);
            return it == values_.end() ? std::nullopt : std::optional<RegValue>(it->second);
        }
        bool Set(const std::string &name, const RegValue &value) override
        {
            values_[name] = value;
            return true;
        }

    private:
        Values &values_;
    };
};
