// The node B-tree (NBT) and the block B-tree (BBT) of a store ([MS-PST] §2.2.2.7.7):
// lookups, the entries added or changed since the last commit, and the commit that
// writes the trees and the allocation maps over them into the block file. Kept one of
// two ways:
// - SequentialIndex: a new store, whose entries come mostly in key order;
// - CopyOnWriteIndex: an opened store, changed in place one commit at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

struct NodeRef {
    Bid bidData = 0;
    Bid bidSub = 0;
    Nid nidParent = 0;
};

// A BBT entry without its key.
struct BlockInfo {
    Ib ib;
    uint16_t cb;
    uint16_t cRef;
};

// Blocks are keyed by their BID without its reserved low bit.
class BTreeIndex {
public:
    virtual ~BTreeIndex() = default;

    virtual std::optional<NodeRef> FindNode(Nid nid) const = 0;
    // Every node, in NID order.
    virtual void ForEachNode(const std::function<void(Nid, const NodeRef&)>& fn) const = 0;
    // Enters a node without looking it up when the index can tell it is new (its NID
    // above every one entered, as a new store's messages come); false when it cannot,
    // and the caller goes through FindNode and PutNode.
    virtual bool AddInOrder(Nid nid, const NodeRef& ref) = 0;
    // Enters, replaces or (nullopt) removes a node.
    virtual void PutNode(Nid nid, const std::optional<NodeRef>& ref) = 0;

    // nullopt also for a block released since the last commit.
    virtual std::optional<BlockInfo> FindBlock(Bid key) const = 0;
    // Every block not released, in key order.
    virtual void ForEachBlock(const std::function<void(Bid, const BlockInfo&)>& fn) const = 0;
    // A block just written.
    virtual void AddBlock(Bid key, const BlockInfo& info) = 0;
    // A block's reference count (0: released); `info` is what FindBlock found.
    virtual void SetReferences(Bid key, const BlockInfo& info, uint16_t cRef) = 0;

    // The B-tree pages a commit now would write, from above.
    virtual uint64_t PagesToCommit() const = 0;
    // Writes the trees, the allocation maps and, last, the header: the store then
    // holds everything entered.
    virtual void Commit() = 0;
};

}  // namespace bv::mailstore::pst
