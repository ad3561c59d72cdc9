// The identities of a store's messages with the NID of each, in the form of the store's
// identity index node: "BVI2", the number of entries, then per entry its identity (96
// bits: key and check) and NID (32 bits), sorted by identity. In memory the sorted
// entries lie in chunks of a few thousand, so that a million messages take 16 MB and
// growing never holds them twice; entries added since the last merge wait beside them
// in a small map that is merged in when it grows past a sixteenth of the rest, or
// before a write. An index of the earlier form ("BVI1": 64-bit hashes of Message-IDs)
// is not loaded: the store's messages are read again.
#pragma once
#include <cstdint>
#include <compare>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

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
    // Takes the data blocks of an index node, releasing each as it is read. False (and
    // the table left empty) when they are not one; entries out of order, as an older
    // writer left them, are sorted, and of two with one identity the first is kept.
    bool Load(std::vector<Bytes> blocks);
    void Clear();

    // The first NID entered for an identity wins: a later one is ignored.
    void Add(Identity identity, Nid nid);
    std::optional<Nid> Find(Identity identity) const;
    bool Contains(Identity identity) const { return Find(identity).has_value(); }
    size_t Size() const { return sortedCount_ + recent_.size(); }

    // The index node's bytes, every entry merged in, handed out in pieces of `piece`
    // bytes (the last one shorter).
    void Write(size_t piece, const std::function<void(const uint8_t*, size_t)>& put);
    // Every identity, in ascending order.
    std::vector<Identity> Identities();

private:
    void Merge();
    void TakeSorted(std::vector<std::pair<Identity, Nid>> entries);

    std::vector<Bytes> chunks_;  // sorted 16-byte entries; each chunk non-empty, all ascending
    size_t sortedCount_ = 0;
    std::unordered_map<Identity, Nid, IdentityHash> recent_;
};

}  // namespace bv::mailstore::pst
