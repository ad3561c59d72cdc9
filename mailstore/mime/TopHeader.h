// The top level of a message read without the MIME parser: the mbox "From " line and
// the header block cut into fields as GMime's parser cuts it. This is the one header
// splitter: the importer, the label reader and the .emlx date all read its fields.
#pragma once
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::mime {

// A header field: its name (without the blanks before the colon) and raw value
// (folding and line ends kept).
struct HeaderField {
    std::string_view name;
    std::string_view raw;
};
using HeaderFields = std::vector<HeaderField>;

// Raw value of the first field of that name, unfolded, as UTF-8; empty when absent.
std::string RawHeader(const HeaderFields& fields, std::string_view name);
bool HasHeader(const HeaderFields& fields, std::string_view name);

// The mbox separator line "From sender date" in front of a message.
struct Envelope {
    std::optional<int64_t> date;  // Unix seconds
    std::string sender;           // an address, when the line names one
};
// Reads and removes a leading "From " line from `data`; an empty envelope when
// there is none.
Envelope TakeEnvelope(std::string_view& data);

// Length of the header block at the start of `data` (up to, not including, the
// empty line), and the offset where the body starts.
void FindHeaderEnd(std::string_view data, size_t& headerLen, size_t& bodyStart);
// True when the text starts like an RFC 5322 header field ("Name:", or "Name :" as
// some mailers write it).
bool LooksLikeHeader(std::string_view data);

// True when the bytes read as text: no NUL bytes, and control characters other
// than line ends, tabs, form feeds and escapes are rare.
bool LooksLikeText(std::string_view data);

// True when a header line continues the field before it (it starts with a blank).
inline bool ContinuesField(std::string_view line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

// The field a header line that continues none starts: its name (without the blanks
// between it and the colon) and where the colon stands. A name runs to the first
// colon and holds no control characters, and blanks only at its end; nullopt when the
// line starts no field.
struct FieldStart {
    std::string_view name;
    size_t colon = 0;
};
std::optional<FieldStart> FieldStartOf(std::string_view line);

// The top-level header block cut into fields the way GMime's parser cuts a header:
// a field name runs to the colon (blanks only between it and the colon), lines
// starting with a blank continue the field before, raw values keep their folding and
// line ends. An address field continued past a line that is no field keeps its
// continuation (the broken line itself is dropped and counted). Only the Content-*
// fields go on to the MIME parser, so the message's other fields cost no parser objects.
struct TopHeader {
    HeaderFields fields;
    std::string content;      // the Content-* fields, verbatim
    std::list<std::string> joined;  // values of fields continued past a line that is no field
    int dropped = 0;          // lines that are no header field (mbox escapes aside)
    bool unreadable = false;  // the first line is no header field: not a message
};
TopHeader SplitHeader(std::string_view block);

// A message's top, read once: its mbox "From " line, its header block cut into
// fields, and where its body starts. Views into the message's bytes, which must
// outlive it. A byte order mark, lines of nothing but blanks and blanks before the
// first field are passed over, as mail readers pass over them.
struct MessageTop {
    std::string_view data;  // the message without "From " line, mark and blank lines
    Envelope envelope;
    size_t headerLen = 0;   // the header block: data.substr(0, headerLen)
    size_t bodyStart = 0;
    TopHeader header;
};
MessageTop ReadMessageTop(std::string_view bytes);

}  // namespace bv::mailstore::mime
