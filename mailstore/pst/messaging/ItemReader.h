// The properties of many items (their property contexts, not the long values in their
// subnodes), read a part at a time so that memory stays bounded whatever the store
// holds: the identity index rebuilt from a store's messages, and the read back.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/ndb/NodeDatabase.h"

namespace bv::mailstore::pst {

class ItemReader {
public:
    // Items read: each gets `item` with its properties; once a part is read, `partRead`.
    using Item = std::function<void(Nid nid, const std::vector<PcProp>& props)>;
    ItemReader(NodeDatabase& db, Item item, std::function<void()> partRead = {})
        : db_(db), item_(std::move(item)), partRead_(std::move(partRead)) {}
    // The item `nid` whose properties are in the data tree `data`, counted `times` times
    // when it cannot be read. Reads a part when it has gathered enough.
    void Add(Nid nid, Bid data, uint32_t times = 1);
    // Reads what is gathered.
    void Flush();
    // The items that could not be read, so far.
    int64_t unreadable = 0;

private:
    struct Pending {
        uint64_t key;  // a single block's BID (in file order), or the NID of a tree
        uint64_t other;
        uint32_t times;
        friend bool operator<(const Pending& a, const Pending& b) { return a.key < b.key; }
    };
    void Take(Nid nid, std::vector<Bytes>&& blocks, uint32_t times);

    NodeDatabase& db_;
    Item item_;
    std::function<void()> partRead_;
    std::vector<Pending> single_;  // items whose properties are one block: {BID, NID}
    std::vector<Pending> trees_;   // the others: {NID, BID}
};

}  // namespace bv::mailstore::pst
