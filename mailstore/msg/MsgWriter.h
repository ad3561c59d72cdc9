// Writes a MAPI message as a Unicode .msg file ([MS-OXMSG] in a compound file).
#pragma once
#include <filesystem>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::msg {

// Writes `message` to `path`, its properties as they are (mapi::CompleteMessage gives
// them their defaults). A file of that name is replaced, unless it holds exactly these
// bytes already (the message written before): that one is left as it is. Whether the
// file was written. The file is complete or absent: on any failure the partial file is
// removed and MailStoreError is thrown.
bool WriteMsgFile(const mapi::Message& message, const std::filesystem::path& path);

}  // namespace bv::mailstore::msg
