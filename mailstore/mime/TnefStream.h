// A TNEF stream read to its last length before the decoder library sees it, and
// rebuilt with only what we ask the library for. The library prints to standard
// output on input it rejects, and it rejects valid streams too: named properties
// with long names, values over its size limits. The rebuilt stream stays within
// every limit; values too large for it are handed over beside it.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::mime {

// One property value as the stream stores it.
struct TnefValue {
    uint16_t type = 0;  // PT_STRING8, PT_UNICODE (UTF-16LE bytes), PT_BINARY or PT_OBJECT
    std::string bytes;
};
using TnefValues = std::map<uint16_t, TnefValue>;  // by property id

struct TnefStreamParts {
    std::string stream;  // what the library is given
    // What the rebuilt stream leaves out because the library cannot hold it:
    std::string body;    // the plain-text body attribute
    TnefValues message;  // message properties
    struct Attachment {
        std::string title;  // the 8.3 title attribute
        TnefValues values;
    };
    std::vector<Attachment> attachments;  // one for each attachment of the stream, in order
};

// Walks `bytes` (signature included) attribute by attribute and through each MAPI
// property block, and rebuilds the stream with the body, each attachment's
// rendering data, title and data, and the single-valued string, binary and object
// properties listed in `messageIds` and `attachmentIds` (the first of each).
// nullopt when any length, checksum or property block does not hold.
std::optional<TnefStreamParts> RebuildTnef(std::string_view bytes, const std::set<uint16_t>& messageIds,
                                           const std::set<uint16_t>& attachmentIds);

}  // namespace bv::mailstore::mime
