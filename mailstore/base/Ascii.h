// ASCII-only text comparisons, for protocol names (header fields, labels) that are
// compared without regard to case whatever the locale.
#pragma once
#include <string>
#include <string_view>

namespace bv::mailstore::base {

inline char AsciiToLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
inline char AsciiToUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// ASCII letters in lower / upper case (MIME types, charset and keyword values, SMTP keys).
inline std::string AsciiLowered(std::string s) {
    for (char& c : s) c = AsciiToLower(c);
    return s;
}
inline std::string AsciiUppered(std::string s) {
    for (char& c : s) c = AsciiToUpper(c);
    return s;
}

// Equal but for the case of ASCII letters.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiToLower(a[i]) != AsciiToLower(b[i])) return false;
    return true;
}

inline bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

}  // namespace bv::mailstore::base
