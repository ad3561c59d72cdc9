// The node database of one .pst file ([MS-PST] §2.2): nodes and the block trees
// that hold their data, over a block file (BlockFile.h: blocks and pages at offsets,
// their space, the header) and its two B-trees (BTreeIndex.h), kept one of two ways:
// - A new store (SequentialIndex): blocks written to the file as they are produced,
//   the tree entries kept in files beside it, both trees written whole at Commit.
//   Memory does not grow with the number of nodes or blocks.
// - An opened store (CopyOnWriteIndex): its trees read from the file where a lookup
//   needs them, and Commit writes only the B-tree pages on the paths to changed
//   entries and only the allocation map pages of regions whose bits changed. New
//   blocks and pages go to free space of the last regions and past the store's end.
//   What an append costs follows what it adds, not the size of the store.
//
// A store is changed in place and stays valid at every moment: until Commit writes
// the header, nothing the header of the last commit references is overwritten (new
// blocks and B-tree pages go to space it does not use), so a process killed at any
// point leaves the store as it was at its last commit. Commit marks the allocation
// maps not valid in the header (fAMapValid 0) before it rewrites them in place, and
// the header written last, with its CRCs, switches the store to the new trees. Bytes
// past the committed end of the file are what a killed run left unfinished: Open cuts
// them off.
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
#include "mailstore/pst/ndb/BTreeIndex.h"
#include "mailstore/pst/ndb/Block.h"
#include "mailstore/pst/ndb/BlockFile.h"
#include "mailstore/pst/ndb/BTreePage.h"
#include "mailstore/pst/ndb/Header.h"
#include "mailstore/pst/ndb/SpillFile.h"

namespace bv::mailstore::pst {

// The store is open for writing in another program (or another store object).
class StoreInUseError : public MailStoreError {
public:
    using MailStoreError::MailStoreError;
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

    Header& header() { return file_.header(); }
    // The header as the last commit wrote it (or as the store was opened).
    const Header& CommittedHeader() const { return file_.CommittedHeader(); }
    uint8_t CryptMethod() const { return file_.header().bCryptMethod; }
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
    void SetDurable(bool durable) { file_.SetDurable(durable); }
    // Something was written or changed since the last commit.
    bool Changed() const { return changed_ || !file_.CommittedOnce(); }
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
    NodeDatabase() = default;
    static std::unique_ptr<NodeDatabase> OpenExisting(const std::filesystem::path& path, bool forWriting);
    // The BBT entry of a block, looked up by its BID with or without the reserved bit.
    std::optional<BlockInfo> FindBlock(Bid bid) const { return index_->FindBlock(bid & ~Bid(1)); }
    void SetReferences(Bid bid, const BlockInfo& info, uint16_t cRef);  // 0: released
    struct DataBlock {
        const uint8_t* data;
        size_t size;
        const uint32_t* crc;  // sealed data, or nullptr
    };
    Bid WriteBlockList(const std::vector<DataBlock>& blocks);

    BlockFile file_;
    std::unique_ptr<BTreeIndex> index_;
    bool changed_ = false;  // the trees changed since the last commit (or the opening)
};

}  // namespace bv::mailstore::pst
