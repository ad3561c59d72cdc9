// Placeholder until the .msg writer lands.
#include "mailstore/msg/MsgWriter.h"

#include "mailstore/MailStoreError.h"

namespace bv::mailstore::msg {

void WriteMsgFile(const mapi::Message&, const std::filesystem::path& path) {
    throw MailStoreError("cannot write " + path.string() + ": .msg writing is not available yet");
}

}  // namespace bv::mailstore::msg
