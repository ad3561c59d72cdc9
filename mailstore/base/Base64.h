// The base64 alphabet (RFC 4648 section 4): each letter's six-bit value.
#pragma once

namespace bv::mailstore::base {

// The value of a base64 letter, or -1 for anything else (padding included).
constexpr int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace bv::mailstore::base
