// Writes a MAPI message as a Unicode .msg file ([MS-OXMSG] in a compound file).
#pragma once
#include <filesystem>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::msg {

// Writes `message` to `path` (replacing an existing file), its properties as they are
// (mapi::CompleteMessage gives them their defaults). The file is complete or absent:
// on any failure the partial file is removed and MailStoreError is thrown.
void WriteMsgFile(const mapi::Message& message, const std::filesystem::path& path);

}  // namespace bv::mailstore::msg
