// A Unicode .pst store opened for adding folders and messages.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::pst {

using FolderId = uint32_t;  // the folder's NID

// A message already turned into a store's form: property context, tables,
// attachments, its blocks encoded. See PstStore::Prepare.
struct PreparedMessage;
struct PreparedMessageDeleter {
    void operator()(PreparedMessage* p) const;
};
using PreparedMessagePtr = std::unique_ptr<PreparedMessage, PreparedMessageDeleter>;

class PstStore {
public:
    virtual ~PstStore() = default;

    // Creates a new store at `path`, or opens the store already there and adds to it.
    // All writing goes to a temporary file beside `path`; Close() renames it into
    // place, so no half-written store ever stands under the final name.
    // `displayName` names the message store of a new file. Throws MailStoreError.
    static std::unique_ptr<PstStore> OpenOrCreate(const std::filesystem::path& path,
                                                  const std::string& displayName);

    // "Top of Personal Folders" (the IPM subtree).
    virtual FolderId IpmSubtree() const = 0;
    // Adds a mail folder (container class IPF.Note) under `parent`; when a folder of
    // that name is already there, returns it.
    virtual FolderId AddFolder(FolderId parent, const std::string& name) = 0;
    // The same for a folder of items of another kind: `containerClass` is its
    // PR_CONTAINER_CLASS ("IPF.Contact", "IPF.Appointment").
    virtual FolderId AddFolderOfClass(FolderId parent, const std::string& name, const std::string& containerClass) = 0;
    virtual std::optional<FolderId> FindFolder(FolderId parent, const std::string& name) const = 0;
    // Stores `message` in the folder; its tables and counts are updated.
    virtual void AddMessage(FolderId folder, const mapi::Message& message) = 0;
    // Does all of AddMessage that needs nothing of the store but what is fixed when it
    // is opened. Unlike the other calls it may run on any thread, also while another
    // thread adds messages; the prepared message is then added with the call below.
    virtual PreparedMessagePtr Prepare(const mapi::Message& message) const = 0;
    // Stores a message prepared by this store; `message` is consumed.
    virtual void AddMessage(FolderId folder, PreparedMessagePtr message) = 0;
    // Stores a prepared message unless the store holds it already: a message with the
    // same Internet message ID, or, for one without, the same search key (the digest
    // of its header fields and body). Returns false, adding nothing, when it is there.
    // The store's messages are looked up on the first call; those added since count too.
    virtual bool AddMessageOnce(FolderId folder, PreparedMessagePtr message) = 0;
    // Whether AddMessageOnce would find the message in the store.
    virtual bool Holds(const PreparedMessage& message) = 0;
    // Finishes the file (maps, header) and renames it into place. Idempotent.
    virtual void Close() = 0;
    // Number of messages in a folder (as its contents table says).
    virtual uint32_t MessageCount(FolderId folder) const = 0;
    // The bytes of blocks and pages the file would reach if closed now, from above:
    // what the node database holds and will write, and the folders' tables written at
    // Close. FileSizeFor gives the file's size.
    virtual uint64_t UsedBytes() const = 0;

    // What a prepared message adds to a store file, estimated from above: its blocks
    // with their trailers and alignment, the block trees over them, and its share of
    // the B-trees and of its folder's contents table.
    static uint64_t StoredSize(const PreparedMessage& message);
    // The size of a store file whose blocks and pages take `used` bytes: the header
    // and whole allocation regions.
    static uint64_t FileSizeFor(uint64_t used);
};

}  // namespace bv::mailstore::pst
