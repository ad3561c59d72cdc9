// Text helpers of the RFC 822 importer: charset conversion to UTF-8, a plain-text
// rendering of HTML, header unfolding and the MAPI address encodings.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::mime {

// Converts `bytes` in `charset` (a MIME charset name, may be empty) to UTF-8.
// Invalid sequences become U+FFFD. An empty or unknown charset is read as UTF-8 when
// the bytes are valid UTF-8, else as windows-1252; `unknownCharset` is set when the
// name was given but no converter exists, `invalidBytes` when bytes had to be replaced.
std::string ToUtf8(std::string_view bytes, const std::string& charset, bool* unknownCharset = nullptr,
                   bool* invalidBytes = nullptr);

// Valid UTF-8 of arbitrary bytes: kept when valid, else read as windows-1252.
std::string BytesToUtf8(std::string_view bytes);

// Bare LF and bare CR become CR LF.
std::string ToCrLf(std::string_view text);

// Removes CR LF folding and surrounding white space of a raw header value.
std::string UnfoldHeader(std::string_view raw);

// Plain-text rendering of an HTML document (UTF-8 in, UTF-8 out): tags stripped,
// entities decoded, block elements and <br> become line breaks, script/style dropped.
std::string HtmlToText(std::string_view html);

// Replaces the charset named in the HTML's <meta> declaration with "utf-8" (after
// the document was converted to UTF-8). Unchanged when it names none.
std::string DeclareHtmlUtf8(std::string html);
// The charset named by the HTML's <meta> declaration (first 8 KB), or empty.
std::string HtmlMetaCharset(std::string_view html);

// [MS-OXCDATA] 2.2.5.1 one-off entry ID (Unicode) for an SMTP address.
std::vector<uint8_t> OneOffEntryId(const std::string& displayName, const std::string& address);
// Search key "SMTP:ADDRESS" (upper case, NUL terminated).
std::vector<uint8_t> SmtpSearchKey(const std::string& address);

// Parses the date of an mbox separator line "From addr Mon Dec  7 08:37:05 2026"
// (asctime form; an optional zone after the time is honoured). Unix seconds, UTC.
std::optional<int64_t> ParseFromLineDate(std::string_view fromLine);

// One plain mailbox, "addr@domain" or "Display Name <addr@domain>" (ASCII words
// separated by single blanks, no quotes, comments, encoded words or groups): fills
// name and address and returns true. Anything else returns false and is left to the
// full address parser.
bool ParseSimpleMailbox(std::string_view value, std::string& name, std::string& address);

// The common forms of an RFC 5322 date ("Mon, 4 Dec 2026 08:03:21 +0000", zone as
// an offset, GMT, UT or UTC, an optional trailing comment); nullopt for anything
// else, which is left to the full parser. Unix seconds.
std::optional<int64_t> ParseRfc5322DateFast(std::string_view value);
// Unix seconds of a civil date and time at a zone offset; nullopt when the date or
// time does not exist.
std::optional<int64_t> UnixTimeOf(int year, int month, int day, int hh, int mm, int ss, int zoneMinutes);

// A file name safe on every file system: path separators and control characters
// replaced, surrounding blanks and dots trimmed.
std::string SanitizeFileName(const std::string& name);
// The 8.3 short form of a long file name ("LONGFI~1.PDF").
std::string ShortFileName(const std::string& longName);
// ".pdf" for "report.pdf"; empty when there is no extension.
std::string FileExtension(const std::string& name);
// Extension for a MIME type when a part carries no file name (".bin" when unknown).
std::string ExtensionForMimeType(const std::string& mimeType);

}  // namespace bv::mailstore::mime
