// One content line of a vCard ([RFC 6350] 3.3, [RFC 2426] 4, vCard 2.1 2.1.3), already
// unfolded: an optional group ("item1."), the property name, its parameters and the
// raw value, still encoded and escaped.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::vcard {

struct Parameter {
    std::string name;                 // upper case; "TYPE" for a vCard 2.1 bare value
    std::vector<std::string> values;  // as written, quotes removed, split at ","
};

struct ContentLine {
    std::string group;  // without the dot, upper case; "" when none
    std::string name;   // upper case
    std::vector<Parameter> params;
    std::string value;  // raw: encoding and escapes not undone
    int line = 0;       // first physical line of the file it came from (from 1)

    // The values of parameter `name` (upper case), all occurrences together.
    std::vector<std::string> Param(std::string_view name) const;
    // The first value of parameter `name`, or "".
    std::string FirstParam(std::string_view name) const;
    // Whether TYPE (or a 2.1 bare parameter) holds `type`, compared without case.
    bool HasType(std::string_view type) const;
};

// Parses an unfolded line. False when it has no name or no ":".
bool ParseContentLine(std::string_view text, ContentLine& out);

}  // namespace bv::mailstore::vcard
