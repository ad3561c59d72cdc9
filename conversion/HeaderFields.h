// A light walk over the top-level header of a message as the splitter produced it,
// for the few fields the run itself reads (the date of an .emlx, the labels).
#pragma once
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "mailstore/base/Ascii.h"

namespace bv::conversion {

// Calls `field(name, rawValue)` for each field of the message's header, in order: after
// the optional "From " separator line, up to the first empty line (CR LF or LF line
// ends). `rawValue` is everything after the colon, continuation lines included with
// their line breaks; UnfoldFieldValue makes it one line. Stops early when `field`
// returns false. Lines without a colon are skipped.
template <class F>
void ForEachHeaderField(std::string_view text, F&& field);

// The value without its folding line breaks and without surrounding blanks.
std::string UnfoldFieldValue(std::string_view rawValue);

// RFC 2047 encoded words decoded and any other bytes made UTF-8 (GMime's reading).
std::string DecodeText(std::string_view value);

// Unix seconds of an RFC 5322 date, when it parses.
std::optional<long long> DecodeDate(std::string_view value);

using base::EqualsNoCase;
using base::StartsWithNoCase;

namespace detail {
// The end of the line starting at `pos` (the index of its LF, or text.size()).
inline size_t LineEnd(std::string_view text, size_t pos) {
    size_t nl = text.find('\n', pos);
    return nl == std::string_view::npos ? text.size() : nl;
}
}  // namespace detail

template <class F>
void ForEachHeaderField(std::string_view text, F&& field) {
    size_t pos = 0;
    if (text.substr(0, 5) == "From ") pos = std::min(text.size(), detail::LineEnd(text, 0) + 1);
    while (pos < text.size()) {
        size_t end = detail::LineEnd(text, pos);
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return;  // end of the header
        // The field runs on over continuation lines (those starting with a blank).
        size_t next = std::min(text.size(), end + 1);
        while (next < text.size() && (text[next] == ' ' || text[next] == '\t')) {
            end = detail::LineEnd(text, next);
            next = std::min(text.size(), end + 1);
        }
        size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            std::string_view name = line.substr(0, colon);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
            std::string_view raw = text.substr(pos + colon + 1, end - (pos + colon + 1));
            if (!field(name, raw)) return;
        }
        pos = next;
    }
}

}  // namespace bv::conversion
