// Text of a message as UTF-8: charset conversion, line ends and header unfolding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace bv::mailstore::mime {

// Converts `bytes` in `charset` (a MIME charset name, may be empty) to UTF-8.
// Invalid sequences become U+FFFD. An empty or unknown charset is read as UTF-8 when
// the bytes are valid UTF-8, else as windows-1252; `unknownCharset` is set when the
// name was given but no converter exists, `invalidBytes` when bytes had to be replaced.
std::string ToUtf8(std::string_view bytes, const std::string& charset, bool* unknownCharset = nullptr,
                   bool* invalidBytes = nullptr);

// Valid UTF-8 of arbitrary bytes: kept when valid, else read as windows-1252.
std::string BytesToUtf8(std::string_view bytes);
// The same for a C string GMime handed out (nullptr gives "").
std::string BytesToUtf8(const char* bytes);

// Header text as UTF-8, line by line: a line of valid UTF-8 is kept; one of other
// 8-bit bytes is read in `declared` (the charset the message's text declares, as
// mail readers read raw header bytes) when that charset keeps ASCII as it is and the
// bytes are valid in it, else as windows-1252.
std::string HeaderBytesToUtf8(std::string_view bytes, const std::string& declared);

// The code point of a windows-1252 byte (U+FFFD for the five it leaves undefined).
uint32_t Cp1252CodePoint(unsigned char byte);

// Bare LF and bare CR become CR LF.
std::string ToCrLf(std::string_view text);
// The same for a text given up: one in CR LF already (or without line ends) comes back
// as it is, not copied.
std::string ToCrLf(std::string&& text);

// ToCrLf(text) handed to `out` in pieces: `text` cut after a line end once a piece
// has `piece` bytes (a longer line is one piece).
void ToCrLfInPieces(std::string_view text, size_t piece, const std::function<void(std::string_view)>& out);

// Removes CR LF folding and surrounding white space of a raw header value.
std::string UnfoldHeader(std::string_view raw);

}  // namespace bv::mailstore::mime
