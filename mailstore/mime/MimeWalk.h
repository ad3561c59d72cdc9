// The MIME walk: a message's entity tree -> its bodies (PR_BODY, PR_HTML) and its
// attachments, attached messages imported in turn ([MS-OXCMAIL] 2.2.3.4).
#pragma once
#include <gmime/gmime.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/mapi/Message.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mime {

// What a message's body is: a MIME entity GMime parsed, or one text part read
// without it (or neither, for a message without a body).
struct Body {
    GMimeObject* mime = nullptr;
    const SimpleText* text = nullptr;
};

// Fills `out` from a message's header fields and body: the header's properties,
// the bodies, the attachments, flags and `searchKey`. depth: how deep this message
// is attached (0 at the top). Problems go to `warnings`.
void FillMessage(mapi::Message& out, int depth, std::vector<std::string>& warnings, const HeaderFields& fields,
                 Body body, const std::string& headerText, const Envelope& envelope,
                 const std::vector<uint8_t>& searchKey);

// Imports one message's bytes into `out` (the importer's top level; attached
// messages come back here one level deeper).
void ImportMessageAt(std::string_view bytes, mapi::Message& out, int depth);

}  // namespace bv::mailstore::mime
