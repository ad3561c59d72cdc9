// The grammar of an mbox file, the one place each of its rules is written: where a
// mailbox starts (after a byte-order mark and blank lines), which line separates two
// messages ("From ..."), which line is such a separator quoted (">From ..."), how the
// file's lines end, and the line end a message travels in once it is cut out.
//
// A message travels in CR LF from the mailbox's cutting to every output; the formats
// that want another line end convert at their own edge (MessageToLf for an .emlx,
// NextLine for the identity digest).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace bv::mailstore::mime {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";  // UTF-8's
constexpr std::string_view kSeparatorStart = "From ";
// The most bytes a line's start must show to tell whether it separates messages.
constexpr size_t kSeparatorLookahead = 7;  // LF LF "From "
// The line end of a message cut out of a mailbox, whatever the mailbox's own.
constexpr std::string_view kMessageLineEnd = "\r\n";

// Removes a UTF-8 byte-order mark from the front of `data`; true when there was one.
bool SkipByteOrderMark(std::string_view& data);

// True when the line (or as much of it as is at hand, at least kSeparatorStart's
// size) is a separator line: it begins with "From ".
inline bool IsSeparatorLine(std::string_view line) { return line.starts_with(kSeparatorStart); }

// In a mailbox whose lines end in CR or CR LF, where the "From " of a line that
// starts a message stands: 0, or 2 after the two LFs some writers put in front of
// it; npos when the line starts no message.
inline size_t SeparatorOffset(std::string_view lineStart) {
    if (IsSeparatorLine(lineStart)) return 0;
    if (lineStart.starts_with("\n\n") && IsSeparatorLine(lineStart.substr(2))) return 2;
    return std::string_view::npos;
}

// True when the line is a quoted separator: one or more '>' and then "From ". Such
// lines are body text in a mailbox, and say nothing in front of a message.
bool IsQuotedSeparatorLine(std::string_view line);

// What stands before a mailbox's first line with text at the start of `data`: a
// byte-order mark and blank lines (nothing but blanks and tabs before a CR, LF or
// CR LF). `length` is its size; `decided` is false when `data` ends inside it and
// more bytes may follow (`more`), so that the caller looks further.
struct MailboxLead {
    size_t length = 0;
    bool decided = true;
};
MailboxLead MailboxLeadOf(std::string_view data, bool more);

// How a mailbox's lines end, told from its first bytes.
enum class MboxLineEnds {
    None,      // not a mailbox, or the file could not be read
    CrOrCrLf,  // CR LF or a lone CR ends a line; a bare LF is an ordinary character
    Lf,        // a bare LF ends a line (CR LF and a lone CR do too)
};
// CrOrCrLf when the bytes hold a CR LF (or no LF at all), else Lf.
MboxLineEnds LineEndsOf(std::string_view firstBytes);

// A message as it travels (CR LF line ends) with LF line ends instead: every CR LF
// becomes LF, other bytes stay. Appends to `out`.
void MessageToLf(std::string_view message, std::string& out);

// The line that starts at `pos` without its line end (an LF, and a CR in front of
// it; the last line may have no LF, a CR at its end goes all the same); `pos` moves
// past the line end.
inline std::string_view NextLine(std::string_view text, size_t& pos) {
    const size_t nl = text.find('\n', pos);
    const size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    return line;
}

}  // namespace bv::mailstore::mime
