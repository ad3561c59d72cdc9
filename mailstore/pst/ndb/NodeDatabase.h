// The node database of one .pst file ([MS-PST] §2.2), in one of two ways:
// - A new store: blocks written to the file as they are produced, the NBT and BBT
//   entries kept in files beside the store (sorted: block IDs and message NIDs are
//   handed out in increasing order) with the few out-of-order changes in memory,
//   written as B-trees at Commit; the allocation maps built from what the trees
//   reference. Memory does not grow with the number of nodes or blocks.
// - An opened store (NodeDatabaseInPlace.cpp): its trees are read from the file where
//   a lookup needs them, the changes since the last commit are kept in memory, and
//   Commit writes only the B-tree pages on the paths to changed entries (copy on
//   write: untouched subtrees keep their pages) and only the allocation map pages of
//   regions whose bits changed. New blocks and pages go past the store's end. What an
//   append costs follows what it adds, not the size of the store.
//
// A store is changed in place and stays valid at every moment: until Commit writes
// the header, nothing the header of the last commit references is overwritten (new
// blocks and B-tree pages go past its end), so a process killed at any point leaves
// the store as it was at its last commit. Commit marks the allocation maps not valid
// in the header (fAMapValid 0) before it rewrites them in place, and the header
// written last, with its CRCs, switches the store to the new trees. Bytes past the
// committed end of the file are what a killed run left unfinished: Open cuts them off.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <array>
#include <map>
#include <unordered_map>
#include <memory>
#include <optional>
#include <vector>

#include "mailstore/base/PlatformFile.h"
#include "mailstore/pst/ndb/Block.h"
#include "mailstore/pst/ndb/BTreePage.h"
#include "mailstore/pst/ndb/Header.h"
#include "mailstore/pst/ndb/SpillFile.h"
#include "mailstore/pst/StoreErrors.h"

namespace bv::mailstore::pst {

class AllocationBitmap;

struct NodeRef {
    Bid bidData = 0;
    Bid bidSub = 0;
    Nid nidParent = 0;
};

class NodeDatabase {
public:
    // A new, empty store file (truncates `path`).
    static std::unique_ptr<NodeDatabase> Create(const std::filesystem::path& path, uint8_t cryptMethod);
    // An existing store, opened for reading and appending in place. The file is locked
    // against a second writer for as long as it is open.
    static std::unique_ptr<NodeDatabase> Open(const std::filesystem::path& path);
    // An existing store, opened for reading only: the file is neither locked nor
    // changed (bytes past its committed end stay). Nothing may be written through it.
    static std::unique_ptr<NodeDatabase> OpenForReading(const std::filesystem::path& path);
    ~NodeDatabase();
    NodeDatabase(const NodeDatabase&) = delete;
    NodeDatabase& operator=(const NodeDatabase&) = delete;

    Header& header() { return header_; }
    // The header as the last commit wrote it (or as the store was opened).
    const Header& CommittedHeader() const { return committedHeader_; }
    uint8_t CryptMethod() const { return header_.bCryptMethod; }
    // Hands out the next NID of a type from HEADER rgnid.
    Nid AllocateNid(uint8_t nidType);

    // Writing. Every block gets cRef 2 (its BBT entry and its one referrer).
    // `crc`, when given, says the data is sealed (SealDataBlock): encoded already.
    Bid WriteBlock(const uint8_t* data, size_t cb, bool internal, const uint32_t* crc = nullptr);
    // Node data of any size: one block, or an XBLOCK/XXBLOCK over 8176-byte blocks.
    // `crcs`, when given, holds each 8176-byte block's CRC of sealed data.
    Bid WriteDataTree(const uint8_t* data, size_t size, const std::vector<uint32_t>* crcs = nullptr);
    // Node data already cut into blocks (heap blocks, row matrix blocks).
    Bid WriteDataTree(const std::vector<Bytes>& blocks, const std::vector<uint32_t>* crcs = nullptr);
    // Node data whose blocks were written before (WriteBlock), in order: the one block,
    // or an XBLOCK/XXBLOCK over them.
    Bid WriteDataTree(const std::vector<WrittenBlock>& written);
    // A subnode B-tree (SLBLOCKs, SIBLOCK above them when needed); 0 when empty.
    Bid WriteSubnodeTree(std::vector<SLENTRY> entries);
    // Enters or replaces a node; a replaced node's blocks are released.
    void SetNode(Nid nid, const NodeRef& ref);
    // Replaces a node whose new trees share blocks with its old ones: nothing is
    // released here; the caller releases each block the new trees no longer use.
    void ReplaceNodeKeepingBlocks(Nid nid, const NodeRef& ref);
    void RemoveNode(Nid nid);
    std::optional<NodeRef> FindNode(Nid nid) const;
    // Every node, in NID order.
    void ForEachNode(const std::function<void(Nid, const NodeRef&)>& fn) const;

    // Reading.
    Bytes ReadBlock(Bid bid);                       // plain (decoded) block data
    std::vector<Bytes> ReadDataTree(Bid bid);       // the data blocks of a node, in order
    std::vector<Bid> DataTreeBids(Bid bid);         // their BIDs, read from the XBLOCKs only
    std::vector<SLENTRY> ReadSubnodeTree(Bid bid);  // sorted by nid
    // A data tree's leaves and the XBLOCK/XXBLOCKs above them, with the bytes it holds.
    struct DataTreeShape {
        std::vector<Bid> leaves;
        std::vector<Bid> internal;
        uint64_t total = 0;
    };
    DataTreeShape ReadDataTreeShape(Bid bid);
    // The SLBLOCK/SIBLOCKs of a subnode tree (not the trees they refer to).
    std::vector<Bid> SubnodeTreeBlocks(Bid bid);
    // Many blocks at once: `bids` sorted, looked up in one pass over the BBT; `fn` gets
    // each one found with its plain data.
    void ReadBlocks(const std::vector<Bid>& bids, const std::function<void(Bid, Bytes&&)>& fn);

    // Writes the B-trees, the allocation maps and the header: the store now holds
    // everything written so far. With Durable(true) each step is on the disk before the
    // next begins (a store changed in place), so also a power loss leaves the store as
    // of this or the last commit.
    void Commit();
    void SetDurable(bool durable) { durable_ = durable; }
    // Something was written or changed since the last commit.
    bool Changed() const { return changed_ || !committedOnce_; }
    // Gives up what was written since the last commit: the file is cut back to the
    // committed end (what lies in its free space is unreferenced anyway).
    void DropUncommitted();
    // The bytes the file's blocks and pages would reach if committed now, from above:
    // the data written, then the B-tree pages over its nodes and blocks. The file then
    // ends with the allocation region that holds them.
    uint64_t UsedBytes() const;

    // One more reference to a block (a block tree kept by a new subnode tree).
    void AddReference(Bid bid);
    // Releases a block tree that is no longer referenced (data tree or subnode tree).
    void ReleaseDataTree(Bid bid);
    void ReleaseSubnodeTree(Bid bid);
    // Releases one block, not the blocks it refers to.
    void ReleaseBlock(Bid bid);

private:
    struct BlockInfo {
        Ib ib;
        uint16_t cb;
        uint16_t cRef;
    };
    NodeDatabase() = default;
    static std::unique_ptr<NodeDatabase> OpenExisting(const std::filesystem::path& path, bool forWriting);
    void StartSpill(const std::filesystem::path& storePath);
    std::optional<BlockInfo> FindBlock(Bid bid) const;
    void ForEachBlock(const std::function<void(Bid, const BlockInfo&)>& fn) const;
    void AppendBlockEntry(Bid bid, const BlockInfo& info);
    void AppendNodeEntry(Nid nid, const NodeRef& ref);
    Ib Allocate(uint64_t size, uint64_t align);
    Ib AllocatePage();  // a B-tree page: a free page below the append point, else appended
    void WriteAt(Ib ib, const uint8_t* data, size_t size);
    uint8_t* BufferAt(Ib ib, size_t size);  // `size` bytes of the write buffer for offset ib
    uint8_t* BlockBufferAt(Ib ib, size_t size);  // the same for a block (which may go to scattered_)
    // Hands the filled buffer to the writer thread, which puts it in the file while
    // this thread goes on filling the other buffer.
    void Flush();
    // Flush, then wait until everything handed over is in the file.
    void FlushAndWait();
    void ReadAt(Ib ib, uint8_t* data, size_t size);
    void SetReferences(Bid bid, const BlockInfo& info, uint16_t cRef);  // 0: released
    void LoadBTree(Ib ib, PageType ptype, int depth);
    void LoadBTreePage(Ib ib, PageType ptype, int depth);
    // A B-tree of `count` leaf entries, which `produce` hands, in key order, to the sink
    // it is given.
    using BTreeEntrySink = std::function<void(const uint8_t* entry)>;
    Bref WriteBTree(PageType ptype, uint64_t count, uint8_t cbLeaf, uint8_t maxLeaf,
                    const std::function<void(const BTreeEntrySink&)>& produce);
    struct DataBlock {
        const uint8_t* data;
        size_t size;
        const uint32_t* crc;  // sealed data, or nullptr
    };
    Bid WriteBlockList(const std::vector<DataBlock>& blocks);

    // An opened store (NodeDatabaseInPlace.cpp).
    bool inPlace_ = false;
    struct BlockChange {
        BlockInfo info;
        bool fresh = false;  // written since the last commit (else a committed block)
    };
    // The BBT's changes since the last commit (cRef 0: released); the NBT's are in
    // nbtChanged_. Both win over the committed trees.
    std::map<Bid, BlockChange> bbtChanges_;
    mutable std::unordered_map<Ib, std::array<uint8_t, kPageSize>> pageCache_;
    const uint8_t* CommittedPage(Ib ib, PageType ptype) const;
    // The leaf entry of `key` in the committed tree (keys compared as the leaves hold them).
    bool FindCommitted(PageType ptype, uint64_t key, uint8_t* entry) const;
    // Every leaf entry of the committed tree, in key order.
    void WalkCommitted(PageType ptype, const std::function<void(const uint8_t*)>& fn) const;
    void WalkCommittedPage(Ib ib, PageType ptype, int depth, const std::function<void(const uint8_t*)>& fn) const;
    void OpenInPlace();
    void CommitInPlace();
    struct TreeChange {
        uint64_t key;
        bool remove;
        uint8_t entry[kNBTEntrySize];
    };
    struct TreeUpdate;
    std::vector<uint8_t> UpdatePage(TreeUpdate& u, Ib ib, int depth, size_t begin, size_t end);
    Bref UpdateTree(PageType ptype, const std::vector<TreeChange>& changes, std::vector<std::pair<Ib, uint64_t>>& freed,
                    std::vector<std::pair<Ib, uint64_t>>& allocated);
    void WriteMapsInPlace(uint64_t regions, const std::vector<std::pair<Ib, uint64_t>>& freed,
                          const std::vector<std::pair<Ib, uint64_t>>& allocated);
    void WriteHeaderLast();

    base::PlatformFile file_{"the store"};
    Header header_;
    // NBT: entries in NID order in nbtLog_ (an opened store's, then new nodes while
    // their NIDs keep rising: messages); later changes, out-of-order nodes and removals
    // (nullopt) in nbtChanged_, which wins over the file.
    std::unique_ptr<SpillFile> nbtLog_;
    std::map<Nid, std::optional<NodeRef>> nbtChanged_;
    // BBT: entries in BID order in bbtLog_ (BIDs only rise); changed reference counts
    // in bbtChanged_, 0 for a released block.
    std::unique_ptr<SpillFile> bbtLog_;
    std::map<Bid, uint16_t> bbtChanged_;
    void Sync();
    // The empty density list, then the header, each forced to the disk: the last steps of
    // a commit, after which the store is the new one.
    void WriteDListAndHeader();
    std::vector<Ib> pages_;  // BT pages of the committed trees (read at Open, written by Commit)
    // Space the last committed header references (blocks, B-tree pages, map pages):
    // never written before the next header is.
    std::unique_ptr<AllocationBitmap> committed_;
    uint64_t committedRegions_ = 0;
    Header committedHeader_;
    bool committedOnce_ = false;  // the file holds a valid header
    bool mapsWritten_ = false;    // the map pages in the file are committed_'s
    bool durable_ = false;
    bool changed_ = false;  // the trees changed since the last commit (or the opening)
    std::vector<Ib> freePages_;  // free 512-byte pages below the append point, during Commit
    std::vector<std::pair<Ib, uint64_t>> freeRuns_;  // free (offset, bytes) of an opened store, by offset
    size_t runPos_ = 0;
    uint64_t minRegions_ = 0;  // regions of the opened file
    Ib cursor_ = 0x4400;  // next free byte of the data section
    // Write buffer of one contiguous stretch of the file.
    Ib bufBase_ = 0;
    Bytes buf_;
    size_t bufLen_ = 0;
    // Blocks for free space before the stretch in buf_, each to its own offset.
    Bytes scattered_;
    std::vector<std::pair<Ib, size_t>> pieces_;
    class Writer;
    std::unique_ptr<Writer> writer_;  // started with the first full buffer
};

}  // namespace bv::mailstore::pst
