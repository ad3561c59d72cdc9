// What callers of a store hold of it without seeing its insides: a folder by its NID,
// and a message prepared for it (Store::Prepare), owned until a store takes it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
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

// A long text of a message given apart from it (the message holds the property
// empty), made as the store writes the message rather than held beside what it is
// made from: `utf16Size` bytes of UTF-16 (no NUL at the end), handed out in order by
// `utf16`, in pieces of any size. What `utf16` holds is held until the message is
// written.
struct TextApart {
    uint32_t tag = 0;
    uint64_t utf16Size = 0;
    std::function<void(const std::function<void(const uint8_t*, size_t)>&)> utf16;
};

}  // namespace bv::mailstore::pst
