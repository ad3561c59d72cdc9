// The UTF-8 codec: decoding, validation and UTF-16LE conversion for every writer
// and the importer (the writers store strings as UTF-16LE).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::base {

inline constexpr uint32_t kReplacementCharacter = 0xFFFD;

// The code point of the sequence at utf8[i], advancing i past it; an invalid
// sequence (overlong, surrogate, out of range, cut short) gives U+FFFD and advances
// i by one byte. i must be inside the text.
uint32_t DecodeUtf8(std::string_view utf8, size_t& i);

// Invalid UTF-8 sequences become U+FFFD, one per byte that does not start a valid
// sequence. No terminating NUL is added.
std::vector<uint8_t> Utf8ToUtf16Le(std::string_view utf8);
// The size in bytes of Utf8ToUtf16Le's result, counted without making it.
size_t Utf16LeSize(std::string_view utf8);
// Utf8ToUtf16Le's result handed to `piece` in order, at most 2 * `chunk` bytes at a
// time (the text is cut only where a character starts, so the pieces are the whole
// result's bytes): a long text is never held in both forms.
void Utf8ToUtf16LeInPieces(std::string_view utf8, size_t chunk,
                           const std::function<void(const uint8_t*, size_t)>& piece);
// The text with each byte that does not start a valid UTF-8 sequence replaced by
// U+FFFD; valid text comes back as it is.
std::string RepairUtf8(std::string_view text);
// Length of the longest prefix of `utf8` that is valid UTF-8 (its full length when
// the whole text is valid).
size_t ValidUtf8Prefix(std::string_view utf8);
// Unpaired surrogates become U+FFFD; an odd last byte is ignored.
std::string Utf16LeToUtf8(const uint8_t* data, size_t size);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, uint32_t cp);

// At most `n` bytes of UTF-8 text, ending on a whole character.
std::string Utf8Prefix(const std::string& s, size_t n);

}  // namespace bv::mailstore::base
