// The identities of a store's messages with the NID of each, in the form of the store's
// identity index node: "BVI1", the number of entries, then per message its identity
// (64 bits) and NID (32 bits), sorted by identity. In memory the sorted entries lie in
// chunks of a few thousand, so that a million messages take 12 MB and growing never
// holds them twice; messages added since the last merge wait beside them in a small
// map that is merged in when it grows past a sixteenth of the rest, or before a write.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

class IdentityTable {
public:
    // Takes the data blocks of an index node, releasing each as it is read. False (and
    // the table left empty) when they are not one; entries out of order, as an older
    // writer left them, are sorted, and of two with one identity the first is kept.
    bool Load(std::vector<Bytes> blocks);
    void Clear();

    // The first NID entered for an identity wins: a later one is ignored.
    void Add(uint64_t identity, Nid nid);
    std::optional<Nid> Find(uint64_t identity) const;
    bool Contains(uint64_t identity) const { return Find(identity).has_value(); }
    size_t Size() const { return sortedCount_ + recent_.size(); }

    // The index node's bytes, every entry merged in, handed out in pieces of `piece`
    // bytes (the last one shorter).
    void Write(size_t piece, const std::function<void(const uint8_t*, size_t)>& put);
    // Every identity, in ascending order.
    std::vector<uint64_t> Identities();

private:
    void Merge();
    void TakeSorted(std::vector<std::pair<uint64_t, Nid>> entries);

    std::vector<Bytes> chunks_;  // sorted 12-byte entries; each chunk non-empty, all ascending
    size_t sortedCount_ = 0;
    std::unordered_map<uint64_t, Nid> recent_;
};

}  // namespace bv::mailstore::pst
