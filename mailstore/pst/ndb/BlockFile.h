// The file of a .pst store as blocks and pages at offsets ([MS-PST] §2.2.2): its
// header, where new blocks and pages go, writing them (through a buffer that a thread of
// its own puts in the file) and reading them back, and the steps every commit ends with.
// What the node and block B-trees hold is the index's (BTreeIndex.h).
//
// Space: new blocks and pages go to the free runs handed over (space of the last
// regions that nothing the trees reference uses), then past everything written
// (`cursor`), never over a region's map pages. Until a commit's header is written,
// the runs hold nothing the last committed header references.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "mailstore/base/PlatformFile.h"
#include "mailstore/pst/ndb/Block.h"
#include "mailstore/pst/ndb/BTreePage.h"
#include "mailstore/pst/ndb/Header.h"

namespace bv::mailstore::pst {

// Free space as (offset, bytes), by offset.
using FreeRuns = std::vector<std::pair<Ib, uint64_t>>;

// The free space of a store's last regions (about 16 MB) takes new blocks first: what
// earlier appends left there (the tables and pages they replaced) is used again.
constexpr uint64_t kReusedRegions = 64;

class BlockFile {
public:
    BlockFile();
    ~BlockFile();
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;

    // A new, empty store file (truncates `path`).
    void Create(const std::filesystem::path& path, uint8_t cryptMethod);
    // An existing store, its header checked: for appending in place (locked against a
    // second writer: false, and nothing read, when another holds the lock), or for
    // reading only (neither locked nor changed).
    [[nodiscard]] bool Open(const std::filesystem::path& path, bool forWriting);
    // The rest of opening, once the index has read what it needs (and raised
    // bidNextB above the BBT's BIDs): new blocks go first to the free space that the
    // maps of the last regions show; a store opened for writing loses the bytes past
    // its committed end (blocks of a run stopped before its commit, which nothing
    // references); the header is the committed one.
    void FinishOpening(bool forWriting);

    Header& header() { return header_; }
    const Header& header() const { return header_; }
    // The header as the last commit wrote it (or as the store was opened).
    const Header& CommittedHeader() const { return committedHeader_; }
    bool CommittedOnce() const { return committedOnce_; }  // the file holds a valid header
    uint64_t CommittedRegions() const { return committedRegions_; }

    // A block: its BID handed out, its place allocated, laid out in the write buffer
    // (data encoded unless `crc` says it is sealed already, padding, BLOCKTRAILER).
    struct PlacedBlock {
        Bid bid;
        Ib ib;
    };
    PlacedBlock WriteBlock(const uint8_t* data, size_t cb, bool internal, const uint32_t* crc);
    // The plain (checked, decoded) data of the block `bid` of `cb` bytes at `ib`.
    Bytes ReadBlock(Bid bid, Ib ib, uint16_t cb);
    // A B-tree page at `at` (allocated by the caller), its BID handed out.
    Bref WriteBTPage(Ib at, PageType ptype, const uint8_t* entries, size_t count, uint8_t maxEnt, uint8_t cbEnt,
                     uint8_t level);
    void WriteAt(Ib ib, const uint8_t* data, size_t size);
    // What was written at `ib` (what is still in a buffer goes to the file first); a
    // short read is an error.
    void ReadAt(Ib ib, uint8_t* data, size_t size);
    // The file as it is, bypassing the buffers: for what the last commit wrote.
    size_t ReadCommitted(Ib ib, uint8_t* data, size_t size) const { return file_.ReadAt(ib, data, size); }

    // `size` bytes aligned to `align`: a free run, else past the cursor.
    Ib Allocate(uint64_t size, uint64_t align);
    // Where the data written so far ends (at least the committed regions' end).
    Ib DataEnd() const;
    // The regions the file would have if committed now.
    uint64_t RegionsInUse() const;
    const FreeRuns& Free() const { return freeRuns_; }
    void SetFree(FreeRuns runs);

    // With durable writes each commit step is on the disk before the next begins.
    void SetDurable(bool durable) { durable_ = durable; }
    void FlushAndWait();
    void Sync();  // durable writes only
    // The last commit's header again, its allocation maps marked not valid (fAMapValid
    // 0), on the disk: the maps are changed in place next, and a reader that finds
    // them so rebuilds them.
    void MarkMapsNotValid();
    // The file's end after `regions` regions, in the header and the file.
    void SetEnd(uint64_t regions);
    // The last steps of a commit once the trees and the maps are written: the map
    // totals, the empty density list and the header, each forced to the disk, after
    // which the store is the new one.
    void FinishCommit(uint64_t regions, uint64_t cbAMapFree);
    // Gives up what was written since the last commit: the file is cut back to the
    // committed end (what lies in its free space is unreferenced anyway).
    void DropUncommitted();

private:
    uint8_t* BufferAt(Ib ib, size_t size);       // `size` bytes of the write buffer for offset ib
    uint8_t* BlockBufferAt(Ib ib, size_t size);  // the same for a block (which may go to scattered_)
    // Hands the filled buffer to the writer thread, which puts it in the file while
    // this thread goes on filling the other buffer.
    void Flush();

    base::PlatformFile file_{"the store"};
    Header header_;
    Header committedHeader_;
    bool committedOnce_ = false;
    bool durable_ = false;
    uint64_t committedRegions_ = 0;
    FreeRuns freeRuns_;
    size_t runPos_ = 0;   // where the next search of freeRuns_ starts (next fit)
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
