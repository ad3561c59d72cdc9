// Dates of a message: its Date field and the date of its mbox "From " line.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace bv::mailstore::mime {

// A date header value as a mail reader reads it -> Unix seconds; nullopt when
// missing or unreadable. The common forms are read here, the rest by GMime.
std::optional<int64_t> ReadDate(std::string_view value);

// The common forms of an RFC 5322 date ("Mon, 4 Dec 2026 08:03:21 +0000", zone as
// an offset, GMT, UT or UTC, an optional trailing comment); nullopt for anything
// else, which is left to the full parser. Unix seconds.
std::optional<int64_t> ParseRfc5322DateFast(std::string_view value);
// Unix seconds of a civil date and time at a zone offset; nullopt when the date or
// time does not exist.
std::optional<int64_t> UnixTimeOf(int year, int month, int day, int hh, int mm, int ss, int zoneMinutes);
// Parses the date of an mbox separator line "From addr Mon Dec  7 08:37:05 2026"
// (asctime form; an optional zone after the time is honoured). Unix seconds, UTC.
std::optional<int64_t> ParseFromLineDate(std::string_view fromLine);

}  // namespace bv::mailstore::mime
