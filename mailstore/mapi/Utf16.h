// UTF-8 <-> UTF-16LE for the writers, which store strings as UTF-16LE.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mapi {

// Invalid UTF-8 sequences become U+FFFD, one per byte that does not start a valid
// sequence. No terminating NUL is added.
std::vector<uint8_t> Utf8ToUtf16Le(std::string_view utf8);
// Length of the longest prefix of `utf8` that is valid UTF-8 (its full length when
// the whole text is valid).
size_t ValidUtf8Prefix(std::string_view utf8);
// Unpaired surrogates become U+FFFD; an odd last byte is ignored.
std::string Utf16LeToUtf8(const uint8_t* data, size_t size);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, uint32_t cp);

}  // namespace bv::mapi
