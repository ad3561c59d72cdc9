// What callers of a store hold of it without seeing its insides: a folder by its NID,
// and a message prepared for it (Store::Prepare), owned until a store takes it.
#pragma once
#include <cstdint>
#include <memory>

namespace bv::mailstore::pst {

using FolderId = uint32_t;  // the folder's NID

// A message already turned into a store's form: property context, tables,
// attachments, its blocks encoded (MessageBuilder.h).
struct PreparedMessage;
struct PreparedMessageDeleter {
    void operator()(PreparedMessage* p) const;
};
using PreparedMessagePtr = std::unique_ptr<PreparedMessage, PreparedMessageDeleter>;

}  // namespace bv::mailstore::pst
