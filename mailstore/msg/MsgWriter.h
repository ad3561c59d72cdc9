// Writes a MAPI message as a Unicode .msg file ([MS-OXMSG] in a compound file).
#pragma once
#include <filesystem>
#include <string>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::msg {

// Writes `message` to `path`, its properties as they are (mapi::CompleteMessage gives
// them their defaults). A file of that name is replaced, unless it holds exactly these
// bytes already (the message written before): that one is left as it is. Whether the
// file was written. The file is complete or absent: on any failure the partial file is
// removed and MailStoreError is thrown.
bool WriteMsgFile(const mapi::Message& message, const std::filesystem::path& path);

// An .msg file holds at most 2048 attachments and 2048 recipient rows in a message, an
// embedded one too ([MS-OXMSG] 2.2.1, 2.2.2).
bool FitsMsgFile(const mapi::Message& message);
// Makes a message that does not fit fit: the recipient rows and attachments past the
// limits are left out (of embedded messages too), and the message keeps room for one
// more attachment, for the caller to attach the whole original. What was left out, in
// words: "2047 of its 10000 attachments and 2048 of its 200000 recipients"; "" when
// the message fitted.
std::string FitToMsgFile(mapi::Message& message);

}  // namespace bv::mailstore::msg
