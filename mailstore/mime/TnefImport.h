// A winmail.dat part (application/ms-tnef) into the message that carries it: the
// body and attachments a TNEF-aware reader shows, as Outlook stores them.
#pragma once
#include <string>
#include <string_view>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mime {

// True for the media types of a TNEF part.
bool IsTnefType(const std::string& mimeType);

// Decodes `bytes` into `out`: its body replaces the message's (RTF kept as
// PR_RTF_COMPRESSED with its text in PR_BODY; HTML as PR_HTML), its files become
// attachments. False, leaving `out` untouched, when the stream cannot be decoded.
bool ImportTnef(std::string_view bytes, mapi::Message& out);

}  // namespace bv::mailstore::mime
