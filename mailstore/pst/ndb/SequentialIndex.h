// The B-trees of a new store, written sequentially: the NBT and BBT entries are kept
// in two files beside the store, sorted by key (block IDs and message NIDs are handed
// out in increasing order), with the few changes that come out of order in memory.
// Commit writes both trees whole from a merge of the two, and the allocation maps
// from what they reference. Memory does not grow with the number of nodes or blocks.
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "mailstore/pst/ndb/BTreeIndex.h"
#include "mailstore/pst/ndb/BlockFile.h"
#include "mailstore/pst/ndb/SpillFile.h"

namespace bv::mailstore::pst {

class AllocationBitmap;

class SequentialIndex final : public BTreeIndex {
public:
    // The entry files go beside `storePath`.
    SequentialIndex(BlockFile& file, const std::filesystem::path& storePath);
    ~SequentialIndex() override;

    std::optional<NodeRef> FindNode(Nid nid) const override;
    void ForEachNode(const std::function<void(Nid, const NodeRef&)>& fn) const override;
    bool AddInOrder(Nid nid, const NodeRef& ref) override;
    void PutNode(Nid nid, const std::optional<NodeRef>& ref) override;
    std::optional<BlockInfo> FindBlock(Bid key) const override;
    void ForEachBlock(const std::function<void(Bid, const BlockInfo&)>& fn) const override;
    void AddBlock(Bid key, const BlockInfo& info) override;
    void SetReferences(Bid key, const BlockInfo& info, uint16_t cRef) override;
    uint64_t PagesToCommit() const override;
    void Commit() override;

private:
    // A B-tree of `count` leaf entries, which `produce` hands, in key order, to the sink
    // it is given; the offsets of its pages are added to `pages`.
    using BTreeEntrySink = std::function<void(const uint8_t* entry)>;
    Bref WriteBTree(PageType ptype, uint64_t count, uint8_t cbLeaf, uint8_t maxLeaf,
                    const std::function<void(const BTreeEntrySink&)>& produce, std::vector<Ib>& pages);
    // Pages for the trees: 512-byte pages free in `bits` below the data's end that the
    // last commit does not use, then past the end.
    void ChooseTreePages(const AllocationBitmap& bits, uint64_t needed);
    Ib AllocateTreePage();
    // The map pages of every region, from `bits` (what the new trees reference).
    uint64_t WriteMaps(const AllocationBitmap& bits, uint64_t regions);

    BlockFile& file_;
    // NBT: entries in NID order in nodeRecords_ (new nodes while their NIDs keep rising:
    // messages); later changes, out-of-order nodes and removals (nullopt) in
    // nodeChanges_, which wins over the file.
    SpillFile nodeRecords_;
    std::map<Nid, std::optional<NodeRef>> nodeChanges_;
    // BBT: entries in key order in blockRecords_ (BIDs only rise); changed reference
    // counts in referenceChanges_, 0 for a released block.
    SpillFile blockRecords_;
    std::map<Bid, uint16_t> referenceChanges_;
    // Space the last committed header references (blocks, B-tree pages, map pages):
    // never written before the next header is. Empty before the first commit.
    std::unique_ptr<AllocationBitmap> committedSpace_;
    std::vector<Ib> treePages_;  // free pages for the trees, during Commit, lowest last
};

}  // namespace bv::mailstore::pst
