// The identities of a store's messages with the NID of each, kept the way the store's
// identity index node holds them: "BVI1", the number of entries, then per message its
// identity (64 bits) and NID (32 bits), sorted by identity. The sorted bytes are both
// the table searched and the node written at each commit, so a million messages take
// 12 MB and no copy; messages added since the last merge wait beside them in a small
// map that is merged in when it grows past a sixteenth of the rest, or before a write.
#pragma once
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

class IdentityTable {
public:
    IdentityTable() { Clear(); }

    // Takes the bytes of an index node. False (and the table left empty) when they are
    // not one; entries out of order, as an older writer left them, are sorted, and of
    // two with one identity the first is kept.
    bool Load(Bytes bytes);
    void Clear();

    // The first NID entered for an identity wins: a later one is ignored.
    void Add(uint64_t identity, Nid nid);
    std::optional<Nid> Find(uint64_t identity) const;
    bool Contains(uint64_t identity) const { return Find(identity).has_value(); }
    size_t Size() const { return sortedCount_ + recent_.size(); }

    // The index node's bytes, every entry merged in.
    const Bytes& Serialized();
    // Every identity, in ascending order.
    std::vector<uint64_t> Identities();

private:
    void Merge();
    void SetCount();

    Bytes sorted_;  // header and sorted entries
    size_t sortedCount_ = 0;
    std::unordered_map<uint64_t, Nid> recent_;
};

}  // namespace bv::mailstore::pst
