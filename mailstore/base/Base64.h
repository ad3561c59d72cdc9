// The base64 alphabet (RFC 4648 section 4): each letter's six-bit value.
#pragma once
#include <array>
#include <cstdint>

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

// What each byte is in base64 content: a letter's value (0-63), a blank a decoder
// passes over (line ends, spaces, tabs), the padding, or anything else.
constexpr uint8_t kBase64Blank = 64, kBase64Pad = 65, kBase64Other = 255;
constexpr std::array<uint8_t, 256> kBase64Bytes = [] {
    std::array<uint8_t, 256> t{};
    t.fill(kBase64Other);
    for (int c = 0; c < 256; ++c)
        if (const int v = Base64Value(char(c)); v >= 0) t[size_t(c)] = uint8_t(v);
    for (char c : {'\r', '\n', ' ', '\t'}) t[uint8_t(c)] = kBase64Blank;
    t[uint8_t('=')] = kBase64Pad;
    return t;
}();

}  // namespace bv::mailstore::base
