// The identities of a store's messages with the NID of each, in the form of the store's
// identity index node: "BVI2", the number of entries, then per entry its identity (96
// bits: key and check) and NID (32 bits), sorted by identity. The sorted entries stay in
// memory while they are few; past that they lie in an unnamed temporary file beside the
// store, found through the first identity of each page of 256 and a filter of 10 bits
// an entry that answers most look-ups of a message not there without a read: a million
// messages take 1.3 MB instead of 16. Entries added since the last merge wait beside
// them in a small map that is merged in when it grows past a sixteenth of the rest, or
// before a write. An index of the earlier form ("BVI1": 64-bit hashes of Message-IDs)
// is not loaded: the store's messages are read again.
#pragma once
#include <cstdint>
#include <compare>
#include <functional>
#include <filesystem>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "mailstore/base/PlatformFile.h"
#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

// What a message is known by in a store: a 96-bit digest of what identifies it
// (IdentityIndex.cpp). Two messages of one identity are the same message: among 10^8
// messages the chance that two distinct ones share 96 bits is below 10^-13.
struct Identity {
    uint64_t key = 0;  // 0: none
    uint32_t check = 0;
    explicit operator bool() const { return key != 0; }
    friend auto operator<=>(const Identity&, const Identity&) = default;
    friend bool operator==(const Identity&, const Identity&) = default;
};

struct IdentityHash {
    size_t operator()(const Identity& i) const { return size_t(i.key ^ (uint64_t(i.check) << 17)); }
};

class IdentityTable {
public:
    // Sorted entries past `heldInMemory` go to a temporary file in the folder SpillInto
    // names (without one, or where none can be made, they stay in memory).
    explicit IdentityTable(size_t heldInMemory = size_t(1) << 16);
    ~IdentityTable();
    void SpillInto(std::filesystem::path dir) { spillDir_ = std::move(dir); }

    // Takes the data blocks of an index node. False (and the table left empty) when they
    // are not one; entries out of order, as an older writer left them, are sorted, and
    // of two with one identity the first is kept.
    bool Load(std::vector<Bytes> blocks);
    // The same with the blocks read as they are needed (twice or three times, one at a
    // time): block(i) gives the i-th of `blocks`. What block throws, Load throws, the
    // table left empty.
    using BlockSource = std::function<Bytes(size_t)>;
    bool Load(size_t blocks, const BlockSource& block);
    void Clear();

    // The first NID entered for an identity wins: a later one is ignored. Throws
    // MailStoreError when the temporary file cannot be read.
    void Add(Identity identity, Nid nid);
    std::optional<Nid> Find(Identity identity) const;
    bool Contains(Identity identity) const { return Find(identity).has_value(); }
    size_t Size() const { return sorted_.count + recent_.size(); }

    // The index node's bytes, every entry merged in, handed out in pieces of `piece`
    // bytes (the last one shorter).
    void Write(size_t piece, const std::function<void(const uint8_t*, size_t)>& put);
    // Every identity, in ascending order.
    std::vector<Identity> Identities();

private:
    // Sorted entries: in memory, or in a file with the first identity of each page and
    // the filter's bits.
    struct Sorted {
        size_t count = 0;
        Bytes memory;
        std::unique_ptr<base::PlatformFile> file;
        std::vector<Identity> pageFirst;
        std::vector<uint64_t> filter;
    };
    // Gives the sorted entries in order, `piece` bytes (whole entries) at a time.
    void ReadSorted(const std::function<void(const uint8_t*, size_t)>& fn) const;
    // Replaces the sorted entries by the `count` entries that `produce` hands out in
    // order (and can hand out again, should a file fail half-way).
    using EntrySink = std::function<void(const uint8_t* entry)>;
    void SetSorted(size_t count, const std::function<void(const EntrySink&)>& produce);
    std::optional<Nid> FindSorted(Identity identity) const;
    void Merge();

    size_t heldInMemory_;
    std::filesystem::path spillDir_;
    Sorted sorted_;
    std::unordered_map<Identity, Nid, IdentityHash> recent_;
};

}  // namespace bv::mailstore::pst
