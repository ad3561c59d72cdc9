// The value of a vCard property as text or bytes: its transfer encoding undone
// (QUOTED-PRINTABLE, BASE64/B, data: URIs), its charset converted to UTF-8, its
// escapes ("\,", "\;", "\n", "\\") resolved, structured values split into their parts.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/vcard/ContentLine.h"

namespace bv::mailstore::vcard {

// Bytes of base64 text; characters outside the alphabet (line breaks, spaces) are
// passed over. False when the text is not base64.
bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out);
// Bytes of quoted-printable text ("=XX", a soft break "=" at a line end).
std::string DecodeQuotedPrintable(std::string_view text);

// The value with its transfer encoding undone and converted to UTF-8 (CHARSET, or
// UTF-8, or windows-1252 for bytes that are not UTF-8); escapes are kept.
std::string RawText(const ContentLine& line);
// A text value: RawText with its escapes resolved; line breaks become CR LF.
std::string Text(const ContentLine& line);
// A structured value (N, ADR, ORG): its parts split at unescaped ";", each unescaped.
std::vector<std::string> Parts(const ContentLine& line);
// A list value (CATEGORIES, NICKNAME): split at unescaped ",", each unescaped, empty
// entries dropped.
std::vector<std::string> List(const ContentLine& line);

// Binary content (PHOTO, LOGO): from BASE64/B, or a data: URI. `mediaType` gets its
// type ("image/jpeg") when it is known. False when the value is a link or unreadable.
bool Binary(const ContentLine& line, std::vector<uint8_t>& out, std::string& mediaType);

}  // namespace bv::mailstore::vcard
