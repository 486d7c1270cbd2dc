#pragma once
// The registry editor's export text ("Windows Registry Editor Version 5.00"),
// in which Verrin keeps its registry keys where there is no registry, so that a
// profile moves between a Windows registry export and this file unchanged.
//
// Reading accepts what the registry editor writes (UTF-16LE with a byte-order
// mark, CRLF lines, "hex" values continued over several lines) and what a hand
// edit leaves (UTF-8 or 8-bit text, LF lines). Writing always gives one text:
// UTF-16LE with its byte-order mark and CRLF lines, keys sorted as the editor
// sorts them, so that a file read and written again stays the same to the byte.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RegValue {
    enum class Type { Dword, String, Other };

    Type type = Type::String;
    uint32_t dword = 0;
    // String: the text (UTF-8). Other: everything after '=' as written, with
    // continued lines joined ("hex(b):01,00,00,00,00,00,00,00"); this also
    // holds a "dword:" that is not one 32-bit value, so it is kept but never
    // read as a number.
    std::string text;

    static RegValue Dword(uint32_t v) { return {Type::Dword, v, {}}; }
    static RegValue String(std::string s) { return {Type::String, 0, std::move(s)}; }
    static RegValue Other(std::string raw) { return {Type::Other, 0, std::move(raw)}; }
    bool operator==(const RegValue &o) const
    {
        return type == o.type && dword == o.dword && text == o.text;
    }
};

struct RegEntry {
    std::string keyPath; // the whole path: HKEY_CURRENT_USER\SOFTWARE\Brondel\Verrin\A
    std::string name;    // empty for the key's default value ("@")
    RegValue value;
};

struct RegParseResult {
    // The text begins with an export header; without it nothing is read.
    bool recognised = false;
    // False when some lines could not be read and were left out.
    bool intact = true;
    // In file order; a name repeated within a key appears once per line.
    std::vector<RegEntry> entries;
};

RegParseResult ParseRegExport(std::string_view fileBytes);

// Keys are written in the editor's order (each key before its subkeys, names
// compared without case), values of a key in the order given. A string that
// holds a control character is written as hex(1), so that every value stays
// on one line.
std::string WriteRegExport(const std::vector<RegEntry> &entries);
