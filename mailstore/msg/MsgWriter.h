// Writes a MAPI message as a Unicode .msg file ([MS-OXMSG] in a compound file).
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::msg {

// Writes `message` to `path`, its properties as they are (mapi::CompleteMessage gives
// them their defaults). A file of that name is replaced, unless it holds exactly these
// bytes already (the message written before): that one is left as it is. Whether the
// file was written. The file is complete or absent: on any failure the partial file is
// removed and MailStoreError is thrown.
bool WriteMsgFile(const mapi::Message& message, const std::filesystem::path& path);

// What a message's writer is given apart from it, to write from where it lies rather
// than have it held twice (a long original attached whole, and its long header): the
// message holds these properties empty.
struct MsgApart {
    // The last attachment's PR_ATTACH_DATA_BIN.
    std::optional<std::string_view> lastAttachmentData;
    // PR_TRANSPORT_MESSAGE_HEADERS: `headerUtf16Size` bytes of UTF-16 (no NUL at the
    // end), handed out in order by `header`, in pieces of any size.
    size_t headerUtf16Size = 0;
    std::function<void(const std::function<void(const uint8_t*, size_t)>&)> header;
};
bool WriteMsgFile(const mapi::Message& message, const std::filesystem::path& path, const MsgApart& apart);

// An .msg file holds at most 2048 attachments and 2048 recipient rows in a message, an
// embedded one too ([MS-OXMSG] 2.2.1, 2.2.2); a message whose importer left rows or
// attachments out (recipientsLeftOut, attachmentsLeftOut) does not fit either.
inline constexpr size_t kMsgRecipientRows = 2048;
inline constexpr size_t kMsgAttachments = 2048;
bool FitsMsgFile(const mapi::Message& message);
// Makes a message that does not fit fit: the recipient rows and attachments past the
// limits are left out (of embedded messages too), and the message keeps room for one
// more attachment, for the caller to attach the whole original. What was left out, in
// words: "2047 of its 10000 attachments and 2048 of its 200000 recipients"; "" when
// the message fitted.
std::string FitToMsgFile(mapi::Message& message);

}  // namespace bv::mailstore::msg
