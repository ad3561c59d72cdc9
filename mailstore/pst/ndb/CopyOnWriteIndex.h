// The B-trees of an opened store, changed in place by copy on write: the NBT and BBT
// are read from the file where a lookup needs them (a few pages per lookup, kept in a
// small cache), the changes since the last commit are kept in memory, and Commit
// writes copies of only the pages on the paths to changed entries. Untouched subtrees
// keep their pages, and the pages a commit replaces stay as they are in the file (the
// last commit's header references them until the new header is written); they are
// free in the new allocation maps, of which only the pages of regions whose bits
// change are read and written again. What an append costs follows what it adds, not
// the size of the store.
#pragma once
#include <array>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "mailstore/pst/ndb/BTreeIndex.h"
#include "mailstore/pst/ndb/BlockFile.h"

namespace bv::mailstore::pst {

class AllocationBitmap;

class CopyOnWriteIndex final : public BTreeIndex {
public:
    // Raises the file's bidNextB above every BID in its BBT (a header may lag behind it).
    explicit CopyOnWriteIndex(BlockFile& file);

    std::optional<NodeRef> FindNode(Nid nid) const override;
    void ForEachNode(const std::function<void(Nid, const NodeRef&)>& fn) const override;
    bool AddInOrder(Nid, const NodeRef&) override { return false; }
    void PutNode(Nid nid, const std::optional<NodeRef>& ref) override { nodeChanges_[nid] = ref; }
    std::optional<BlockInfo> FindBlock(Bid key) const override;
    void ForEachBlock(const std::function<void(Bid, const BlockInfo&)>& fn) const override;
    void AddBlock(Bid key, const BlockInfo& info) override { blockChanges_[key] = {info, true}; }
    void SetReferences(Bid key, const BlockInfo& info, uint16_t cRef) override;
    uint64_t PagesToCommit() const override;
    void Commit() override;

private:
    using Extents = std::vector<std::pair<Ib, uint64_t>>;  // (offset, bytes)
    struct BlockChange {
        BlockInfo info;
        bool fresh = false;  // written since the last commit (else a committed block)
    };
    // A change to one tree's leaves, in key order.
    struct TreeChange {
        uint64_t key;
        bool remove;
        uint8_t entry[kNBTEntrySize];
    };
    struct TreeUpdate;

    Bref CommittedRoot(PageType ptype) const;
    const uint8_t* CommittedPage(Ib ib, PageType ptype) const;  // through the cache
    void ReadCommittedPage(Ib ib, PageType ptype, uint8_t* page) const;
    // The leaf entry of `key` in the committed tree (keys compared as the leaves hold them).
    bool FindCommitted(PageType ptype, uint64_t key, uint8_t* entry) const;
    // Every leaf entry of the committed tree, in key order.
    void WalkCommitted(PageType ptype, const std::function<void(const uint8_t*)>& fn) const;
    void WalkCommittedPage(Ib ib, PageType ptype, int depth, const std::function<void(const uint8_t*)>& fn) const;
    // The committed tree with `changes` made: copies of the pages on their paths, the
    // pages they replace added to `freed` and the new ones to `allocated`.
    Bref UpdateTree(PageType ptype, const std::vector<TreeChange>& changes, Extents& freed, Extents& allocated);
    std::vector<uint8_t> UpdatePage(TreeUpdate& u, Ib ib, int depth, size_t begin, size_t end);
    // The map pages of the regions that `freed` and `allocated` touch (of all regions
    // when the committed maps cannot be trusted); returns the free bytes they show.
    uint64_t WriteMaps(uint64_t regions, const Extents& freed, const Extents& allocated);
    // The bits of the committed regions the changes touch (all `touched`), as their
    // maps show them, with their free bytes taken from `free`; false when a map does
    // not read as one.
    bool LoadTouchedMaps(uint64_t regions, const Extents& freed, const Extents& allocated, AllocationBitmap& bits,
                         std::set<uint64_t>& touched, uint64_t& free) const;
    // Everything the new trees reference: their blocks and their pages.
    void MarkAllReferenced(AllocationBitmap& bits) const;

    BlockFile& file_;
    // The changes since the last commit, which win over the committed trees: nodes
    // (nullopt: removed) and blocks (cRef 0: released).
    std::map<Nid, std::optional<NodeRef>> nodeChanges_;
    std::map<Bid, BlockChange> blockChanges_;
    mutable std::unordered_map<Ib, std::array<uint8_t, kPageSize>> pageCache_;
};

}  // namespace bv::mailstore::pst
