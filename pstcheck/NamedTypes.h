#pragma once
// The property types of named properties that are defined by name: the long IDs of the
// MAPI property sets ([MS-OXPROPS] 2.1 onwards), "Keywords" of PS_PUBLIC_STRINGS and
// every name of PS_INTERNET_HEADERS (strings). A value stored under the id of such a
// name with another type is not that property: its id names something else.
#include <array>
#include <cstdint>
#include <string>

namespace bv::pstcheck {

struct NamedPropertyName {
    std::array<uint8_t, 16> guid{};  // as stored in the GUID stream (little-endian fields)
    bool isString = false;
    uint32_t lid = 0;
    std::string text;  // a string name, in UTF-8
};

struct NamedType {
    uint16_t type = 0;  // 0: not known here
    std::string name;   // canonical name, for findings
};

NamedType KnownNamedType(const NamedPropertyName& name);

// Whether a value of type `stored` is one of type `expected`: 8-bit and Unicode strings
// (single and multiple) count as the same type, and a GUID as binary.
bool SameNamedType(uint16_t expected, uint16_t stored);

}  // namespace bv::pstcheck
