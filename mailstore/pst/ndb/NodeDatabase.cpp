// [MS-PST] §2.2: writing and reading the node database of a Unicode .pst.
#include "mailstore/pst/ndb/NodeDatabase.h"

#include <algorithm>
#include <exception>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "mailstore/pst/ndb/AllocationMap.h"
#include "mailstore/base/Crc32.h"
#include "mailstore/pst/ndb/Permute.h"

namespace bv::mailstore::pst {

using base::ComputeCrc;
namespace {

constexpr size_t kWriteBuffer = 1 << 20;

uint64_t AlignUp(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

// B-tree pages needed for `count` leaf entries.
uint64_t BTreePages(uint64_t count, uint64_t maxLeaf) {
    uint64_t level = count == 0 ? 1 : (count + maxLeaf - 1) / maxLeaf, total = level;
    while (level > 1) {
        level = (level + kBTEntryMax - 1) / kBTEntryMax;
        total += level;
    }
    return total;
}

}  // namespace

// Writes filled buffers to the file on its own thread, one at a time: the copy into
// the page cache (and the file system's work behind it) overlaps with building the
// next buffer. A failed write is reported by the next call that hands over or waits.
class NodeDatabase::Writer {
public:
    explicit Writer(base::PlatformFile& file) : file_(file), thread_([this] { Loop(); }) {}
    ~Writer() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

    // Waits for the buffer handed over before, then takes `buffer` (its first `len`
    // bytes go to `offset`) and `pieces` (the bytes of `scattered`, one after another,
    // each to its own offset), and gives back the ones written before, to be filled
    // next. With `writeBack`, the written bytes start on their way to the disk soon (a
    // store synced at each commit then waits less there).
    void Submit(Bytes& buffer, size_t len, uint64_t offset, Bytes& scattered, std::vector<std::pair<Ib, size_t>>& pieces,
                bool writeBack) {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return !busy_; });
        ThrowIfFailed();
        std::swap(job_, buffer);
        std::swap(jobScattered_, scattered);
        std::swap(jobPieces_, pieces);
        jobLen_ = len;
        jobOffset_ = offset;
        jobWriteBack_ = writeBack;
        busy_ = true;
        lock.unlock();
        cv_.notify_all();
    }

    void Wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return !busy_; });
        ThrowIfFailed();
    }

private:
    void ThrowIfFailed() const {
        if (error_) std::rethrow_exception(error_);
    }

    void Loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [this] { return busy_ || quit_; });
            if (busy_) {
                lock.unlock();
                std::exception_ptr error;
                try {
                    if (jobLen_) file_.WriteAt(jobOffset_, job_.data(), jobLen_);
                    if (jobWriteBack_ && jobLen_) WriteBack(jobOffset_, jobLen_);
                    size_t at = 0;
                    for (const auto& [ib, n] : jobPieces_) {
                        file_.WriteAt(ib, jobScattered_.data() + at, n);
                        if (jobWriteBack_) WriteBack(ib, n);
                        at += n;
                    }
                } catch (const MailStoreError&) {
                    error = std::current_exception();  // kept whole: a full disk is told by its code
                }
                lock.lock();
                if (error && !error_) error_ = error;
                busy_ = false;
                cv_.notify_all();
                continue;
            }
            if (quit_) return;
        }
    }

    // Starts the disk writes of what was written every few MB, over the stretch of the
    // file the writes since the last start fell in: a few large requests, not one per
    // buffer (the pages in the stretch that were not written are passed over).
    void WriteBack(uint64_t offset, uint64_t len) {
        constexpr uint64_t kEvery = 8 << 20;
        if (backBytes_ == 0) {
            backStart_ = offset;
            backEnd_ = offset + len;
        }
        backStart_ = std::min(backStart_, offset);
        backEnd_ = std::max(backEnd_, offset + len);
        backBytes_ += len;
        if (backBytes_ >= kEvery) {
            file_.StartWriteBack(backStart_, backEnd_ - backStart_);
            backBytes_ = 0;
        }
    }

    base::PlatformFile& file_;
    uint64_t backStart_ = 0;  // the stretch written since the disk writes last started
    uint64_t backEnd_ = 0;
    uint64_t backBytes_ = 0;
    std::mutex mutex_;
    std::condition_variable cv_;
    Bytes job_;
    size_t jobLen_ = 0;
    uint64_t jobOffset_ = 0;
    bool jobWriteBack_ = false;
    Bytes jobScattered_;
    std::vector<std::pair<Ib, size_t>> jobPieces_;
    bool busy_ = false;
    bool quit_ = false;
    std::exception_ptr error_;  // the first failed write's failure
    std::thread thread_;
};

std::unique_ptr<NodeDatabase> NodeDatabase::Create(const std::filesystem::path& path, uint8_t cryptMethod) {
    std::unique_ptr<NodeDatabase> db(new NodeDatabase());
    db->file_.Open(path, base::PlatformFile::Mode::CreateReadWrite);
    db->StartSpill(path);
    db->header_.bCryptMethod = cryptMethod;
    db->header_.rgnid = Header::InitialRgnid();
    db->header_.bidNextB = 4;
    db->header_.bidNextP = 1;
    db->header_.dwUnique = 1;
    db->cursor_ = kFirstAMapOffset;
    db->committed_ = std::make_unique<AllocationBitmap>(0);
    return db;
}

std::unique_ptr<NodeDatabase> NodeDatabase::Open(const std::filesystem::path& path) {
    return OpenExisting(path, true);
}

std::unique_ptr<NodeDatabase> NodeDatabase::OpenForReading(const std::filesystem::path& path) {
    return OpenExisting(path, false);
}

std::unique_ptr<NodeDatabase> NodeDatabase::OpenExisting(const std::filesystem::path& path, bool forWriting) {
    std::unique_ptr<NodeDatabase> db(new NodeDatabase());
    db->file_.Open(path, forWriting ? base::PlatformFile::Mode::ReadWrite : base::PlatformFile::Mode::ReadOnly);
    // One writer at a time: a second run adding to the same store waits for nothing and
    // writes nothing.
    if (forWriting && !db->file_.LockExclusive())
        throw StoreInUseError(path);
    uint8_t raw[kHeaderSize];
    db->header_ = Header::Parse(raw, db->file_.ReadAt(0, raw, sizeof raw));
    Root& root = db->header_.root;
    const uint64_t size = db->file_.Size();
    if (size < root.ibFileEof) FormatError("ROOT", "ibFileEof", "lies past the end of the file");
    if (root.ibFileEof < kFirstAMapOffset + kAMapRegionSize || (root.ibFileEof - kFirstAMapOffset) % kAMapRegionSize)
        FormatError("ROOT", "ibFileEof", "does not end an AMap region");
    // The trees are read where lookups need them (NodeDatabaseInPlace.cpp); new blocks
    // and pages go to the free space of the last regions, then after the end of the file.
    db->minRegions_ = RegionIndex(root.ibFileEof - 1) + 1;
    db->OpenInPlace();
    db->cursor_ = root.ibFileEof;
    // Bytes past the committed end are blocks of a run that was stopped before its
    // commit: nothing references them. (Cut off only once the store has been read.)
    if (forWriting && size > root.ibFileEof) db->file_.Truncate(root.ibFileEof);
    db->committedHeader_ = db->header_;
    db->committedOnce_ = true;
    db->changed_ = false;
    return db;
}

NodeDatabase::~NodeDatabase() {
    writer_.reset();  // finishes what it was handed before the file is closed
    file_.Close();
}

Nid NodeDatabase::AllocateNid(uint8_t nidType) {
    uint32_t index = ++header_.rgnid[nidType];
    if (index >= (1u << 27)) FormatError("HEADER", "rgnid", "exhausted");
    // A folder's tables share its nidIndex ([MS-PST] §2.4.4): keep their counters past it.
    if (nidType == NID_TYPE_NORMAL_FOLDER || nidType == NID_TYPE_SEARCH_FOLDER) {
        for (uint8_t t : {NID_TYPE_HIERARCHY_TABLE, NID_TYPE_CONTENTS_TABLE, NID_TYPE_ASSOC_CONTENTS_TABLE,
                          NID_TYPE_SEARCH_CONTENTS_TABLE, NID_TYPE_SEARCH_UPDATE_QUEUE, NID_TYPE_SEARCH_CRITERIA_OBJECT})
            header_.rgnid[t] = std::max(header_.rgnid[t], index);
    }
    return MakeNid(nidType, index);
}

Ib NodeDatabase::Allocate(uint64_t size, uint64_t align) {
    // Next fit over the free runs of an opened store.
    for (size_t tries = 0; tries < freeRuns_.size() && !freeRuns_.empty(); ++tries) {
        if (runPos_ >= freeRuns_.size()) runPos_ = 0;
        auto& run = freeRuns_[runPos_];
        Ib at = AlignUp(run.first, align);
        if (at + size <= run.first + run.second) {
            Ib end = run.first + run.second;
            if (at > run.first) {
                // Keep the alignment gap as a run of its own.
                freeRuns_.insert(freeRuns_.begin() + runPos_, {run.first, at - run.first});
                ++runPos_;
            }
            auto& r = freeRuns_[runPos_];
            r.first = at + size;
            r.second = end - r.first;
            if (r.second == 0) freeRuns_.erase(freeRuns_.begin() + runPos_);
            return at;
        }
        ++runPos_;
    }
    Ib pos = AlignUp(cursor_, align);
    for (;;) {
        uint64_t k = RegionIndex(pos);
        Ib start = RegionStart(k);
        Ib mapEnd = start + RegionMapPages(k) * kPageSize;
        if (pos < mapEnd) pos = AlignUp(mapEnd, align);
        if (pos + size > start + kAMapRegionSize) {
            pos = RegionStart(k + 1);
            continue;
        }
        break;
    }
    cursor_ = pos + size;
    return pos;
}

uint8_t* NodeDatabase::BufferAt(Ib ib, size_t size) {
    // buf_ (one of two, taking turns with the writer thread) holds bufLen_ bytes for the file from
    // bufBase_ on. Only writes that continue it exactly are gathered: the bytes between
    // two writes may belong to live blocks of an opened store.
    constexpr size_t kCapacity = kWriteBuffer + 8 * kMaxBlockSize;
    if (bufLen_ == 0 || ib != bufBase_ + bufLen_ || bufLen_ + size > kCapacity) {
        Flush();  // the buffer taken in exchange may be a new, empty one
        bufBase_ = ib;
    }
    if (buf_.size() < kCapacity) buf_.resize(kCapacity);
    uint8_t* out = buf_.data() + bufLen_;
    bufLen_ += size;
    return out;
}

uint8_t* NodeDatabase::BlockBufferAt(Ib ib, size_t size) {
    // A block in free space before the stretch being gathered (an opened store's holes
    // fill up while new data goes past its end): kept apart, written with the stretch,
    // so that the stretch goes on (blocks never overlap one another or the stretch).
    if (bufLen_ == 0 || ib == bufBase_ + bufLen_ || ib + size > bufBase_) return BufferAt(ib, size);
    if (scattered_.size() + size > kWriteBuffer) Flush();
    const size_t at = scattered_.size();
    scattered_.resize(at + size);
    pieces_.push_back({ib, size});
    return scattered_.data() + at;
}

void NodeDatabase::WriteAt(Ib ib, const uint8_t* data, size_t size) {
    std::memcpy(BufferAt(ib, size), data, size);
}

void NodeDatabase::Flush() {
    if (bufLen_ == 0 && pieces_.empty()) return;
    if (!writer_) writer_ = std::make_unique<Writer>(file_);
    writer_->Submit(buf_, bufLen_, bufBase_, scattered_, pieces_, durable_);
    bufBase_ += bufLen_;
    bufLen_ = 0;
    scattered_.clear();
    pieces_.clear();
}

void NodeDatabase::FlushAndWait() {
    Flush();
    if (writer_) writer_->Wait();
}

void NodeDatabase::ReadAt(Ib ib, uint8_t* data, size_t size) {
    // What was written may still be in a buffer; reads are rare (reopening a store,
    // releasing replaced trees), so everything goes to the file first.
    FlushAndWait();
    if (file_.ReadAt(ib, data, size) < size) FormatError("BREF", "ib", std::to_string(ib) + " lies past the end of the file");
}

Bid NodeDatabase::WriteBlock(const uint8_t* data, size_t cb, bool internal, const uint32_t* crc) {
    if (cb > kMaxBlockData) FormatError("BLOCKTRAILER", "cb", "exceeds 8176");
    Bid bid = header_.bidNextB | (internal ? kBidInternal : 0);
    header_.bidNextB += 4;
    size_t size = BlockAllocSize(cb);
    Ib ib = Allocate(size, 64);
    // The block is laid out directly in the write buffer: data (encoded for external
    // blocks), zero padding, BLOCKTRAILER.
    uint8_t* out = BlockBufferAt(ib, size);
    if (cb) std::memcpy(out, data, cb);
    if (!crc && !internal && header_.bCryptMethod == NDB_CRYPT_PERMUTE) PermuteEncode(out, cb);
    std::memset(out + cb, 0, size - cb - kBlockTrailerSize);
    uint8_t* t = out + size - kBlockTrailerSize;
    Put16(t, uint16_t(cb));
    Put16(t + 2, ComputeSig(ib, bid));
    Put32(t + 4, crc ? *crc : ComputeCrc(out, cb));
    Put64(t + 8, bid);
    if (inPlace_) bbtChanges_[bid & ~Bid(1)] = {{ib, uint16_t(cb), 2}, true};
    else AppendBlockEntry(bid & ~Bid(1), {ib, uint16_t(cb), 2});
    changed_ = true;
    return bid;
}

Bid NodeDatabase::WriteBlockList(const std::vector<DataBlock>& blocks) {
    std::vector<WrittenBlock> written;
    written.reserve(blocks.size());
    for (const DataBlock& b : blocks) written.push_back({WriteBlock(b.data, b.size, false, b.crc), b.size});
    return WriteDataTree(written);
}

Bid NodeDatabase::WriteDataTree(const std::vector<WrittenBlock>& written) {
    if (written.empty()) FormatError("XBLOCK", "cEnt", "no data blocks");
    if (written.size() == 1) return written[0].bid;
    std::vector<Bid> xbids;
    std::vector<uint64_t> xsizes;
    for (size_t i = 0; i < written.size(); i += kXBlockMaxEntries) {
        std::vector<Bid> bids;
        uint64_t total = 0;
        for (size_t j = i; j < written.size() && j < i + kXBlockMaxEntries; ++j) {
            bids.push_back(written[j].bid);
            total += written[j].size;
        }
        if (total > 0xFFFFFFFFull) FormatError("XBLOCK", "lcbTotal", "exceeds 4 GB");
        Bytes x = BuildXBlock(1, uint32_t(total), bids);
        xbids.push_back(WriteBlock(x.data(), x.size(), true));
        xsizes.push_back(total);
    }
    if (xbids.size() == 1) return xbids[0];
    if (xbids.size() > kXBlockMaxEntries) FormatError("XXBLOCK", "cEnt", "out of range (node data too large)");
    uint64_t total = 0;
    for (uint64_t s : xsizes) total += s;
    if (total > 0xFFFFFFFFull) FormatError("XXBLOCK", "lcbTotal", "exceeds 4 GB");
    Bytes xx = BuildXBlock(2, uint32_t(total), xbids);
    return WriteBlock(xx.data(), xx.size(), true);
}

Bid NodeDatabase::WriteDataTree(const uint8_t* data, size_t size, const std::vector<uint32_t>* crcs) {
    std::vector<DataBlock> blocks;
    if (size == 0) blocks.push_back({data, 0, nullptr});
    for (size_t off = 0; off < size; off += kMaxBlockData)
        blocks.push_back({data + off, std::min(kMaxBlockData, size - off), nullptr});
    if (crcs) {
        if (crcs->size() != blocks.size()) throw std::logic_error("WriteDataTree: a CRC for every block");
        for (size_t i = 0; i < blocks.size(); ++i) blocks[i].crc = &(*crcs)[i];
    }
    return WriteBlockList(blocks);
}

Bid NodeDatabase::WriteDataTree(const std::vector<Bytes>& blocks, const std::vector<uint32_t>* crcs) {
    if (blocks.empty()) FormatError("XBLOCK", "cEnt", "no data blocks");
    if (crcs && crcs->size() != blocks.size()) throw std::logic_error("WriteDataTree: a CRC for every block");
    std::vector<DataBlock> list;
    list.reserve(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Bytes& b = blocks[i];
        if (b.size() > kMaxBlockData) FormatError("BLOCKTRAILER", "cb", "exceeds 8176");
        list.push_back({b.data(), b.size(), crcs ? &(*crcs)[i] : nullptr});
    }
    return WriteBlockList(list);
}

Bid NodeDatabase::WriteSubnodeTree(std::vector<SLENTRY> entries) {
    if (entries.empty()) return 0;
    std::sort(entries.begin(), entries.end(), [](const SLENTRY& a, const SLENTRY& b) { return a.nid < b.nid; });
    for (size_t i = 1; i < entries.size(); ++i)
        if (entries[i].nid == entries[i - 1].nid) FormatError("SLENTRY", "nid", "duplicate subnode " + std::to_string(entries[i].nid));
    if (entries.size() <= kSLBlockMaxEntries) {
        Bytes b = BuildSLBlock(entries.data(), entries.size());
        return WriteBlock(b.data(), b.size(), true);
    }
    std::vector<SIENTRY> children;
    size_t pos = 0;
    for (size_t n : SpreadEntries(entries.size(), kSLBlockMaxEntries)) {
        Bytes b = BuildSLBlock(entries.data() + pos, n);
        children.push_back({entries[pos].nid, WriteBlock(b.data(), b.size(), true)});
        pos += n;
    }
    if (children.size() > kSIBlockMaxEntries) FormatError("SIBLOCK", "cEnt", "out of range (too many subnodes)");
    Bytes si = BuildSIBlock(children.data(), children.size());
    return WriteBlock(si.data(), si.size(), true);
}

void NodeDatabase::ReleaseDataTree(Bid bid) {
    if (bid & kBidInternal) {
        std::optional<BlockInfo> info = FindBlock(bid);
        if (info && info->cRef <= 2) {
            XBlockInfo x = ParseXBlock(ReadBlock(bid));
            for (Bid child : x.rgbid) ReleaseDataTree(child);
        }
    }
    ReleaseBlock(bid);
}

void NodeDatabase::ReleaseSubnodeTree(Bid bid) {
    std::optional<BlockInfo> info = FindBlock(bid);
    if (info && info->cRef <= 2) {
        std::vector<SLENTRY> leaves;
        std::vector<SIENTRY> children;
        ParseSubnodeBlock(ReadBlock(bid), leaves, children);
        for (const SLENTRY& e : leaves) {
            if (e.bidData) ReleaseDataTree(e.bidData);
            if (e.bidSub) ReleaseSubnodeTree(e.bidSub);
        }
        for (const SIENTRY& c : children) ReleaseSubnodeTree(c.bid);
    }
    ReleaseBlock(bid);
}

Bytes NodeDatabase::ReadBlock(Bid bid) {
    std::optional<BlockInfo> info = FindBlock(bid);
    if (!info) FormatError("BBTENTRY", "bid", "block " + std::to_string(bid) + " is not in the BBT");
    Bytes raw(BlockAllocSize(info->cb));
    ReadAt(info->ib, raw.data(), raw.size());
    Bytes data = CheckBlock(raw.data(), raw.size(), info->cb, bid & ~Bid(1), info->ib);
    if (!(bid & kBidInternal) && header_.bCryptMethod == NDB_CRYPT_PERMUTE) PermuteDecode(data.data(), data.size());
    return data;
}

void NodeDatabase::ReadBlocks(const std::vector<Bid>& bids, const std::function<void(Bid, Bytes&&)>& fn) {
    if (bids.empty()) return;
    FlushAndWait();
    std::vector<std::pair<Bid, BlockInfo>> found;
    found.reserve(bids.size());
    size_t next = 0;
    ForEachBlock([&](Bid bid, const BlockInfo& info) {
        while (next < bids.size() && (bids[next] & ~Bid(1)) < bid) ++next;
        if (next < bids.size() && (bids[next] & ~Bid(1)) == bid) found.push_back({bids[next], info});
    });
    // In file order: the reads follow the disk.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.second.ib < b.second.ib; });
    for (const auto& [bid, info] : found) {
        Bytes raw(BlockAllocSize(info.cb));
        ReadAt(info.ib, raw.data(), raw.size());
        Bytes data = CheckBlock(raw.data(), raw.size(), info.cb, bid & ~Bid(1), info.ib);
        if (!(bid & kBidInternal) && header_.bCryptMethod == NDB_CRYPT_PERMUTE) PermuteDecode(data.data(), data.size());
        fn(bid, std::move(data));
    }
}

std::vector<Bytes> NodeDatabase::ReadDataTree(Bid bid) {
    std::vector<Bytes> out;
    if (bid == 0) return out;
    if (!(bid & kBidInternal)) {
        out.push_back(ReadBlock(bid));
        return out;
    }
    XBlockInfo x = ParseXBlock(ReadBlock(bid));
    for (Bid child : x.rgbid) {
        if (x.cLevel == 2) {
            if (!(child & kBidInternal)) FormatError("XXBLOCK", "rgbid", "refers to a data block");
            auto sub = ReadDataTree(child);
            for (auto& b : sub) out.push_back(std::move(b));
        } else {
            if (child & kBidInternal) FormatError("XBLOCK", "rgbid", "refers to an internal block");
            out.push_back(ReadBlock(child));
        }
    }
    return out;
}

std::vector<Bid> NodeDatabase::DataTreeBids(Bid bid) {
    if (bid == 0) return {};
    if (!(bid & kBidInternal)) return {bid};  // (not looked up in the BBT)
    return ReadDataTreeShape(bid).leaves;
}

NodeDatabase::DataTreeShape NodeDatabase::ReadDataTreeShape(Bid bid) {
    DataTreeShape shape;
    if (bid == 0) return shape;
    if (!(bid & kBidInternal)) {
        std::optional<BlockInfo> info = FindBlock(bid);
        if (!info) FormatError("BBTENTRY", "bid", "block " + std::to_string(bid) + " is not in the BBT");
        shape.leaves.push_back(bid);
        shape.total = info->cb;
        return shape;
    }
    XBlockInfo x = ParseXBlock(ReadBlock(bid));
    shape.internal.push_back(bid);
    shape.total = x.lcbTotal;
    if (x.cLevel != 2) {
        shape.leaves = std::move(x.rgbid);
        return shape;
    }
    for (Bid child : x.rgbid) {
        if (!(child & kBidInternal)) FormatError("XXBLOCK", "rgbid", "refers to a data block");
        XBlockInfo sub = ParseXBlock(ReadBlock(child));
        shape.internal.push_back(child);
        shape.leaves.insert(shape.leaves.end(), sub.rgbid.begin(), sub.rgbid.end());
    }
    return shape;
}

std::vector<Bid> NodeDatabase::SubnodeTreeBlocks(Bid bid) {
    std::vector<Bid> out;
    if (bid == 0) return out;
    out.push_back(bid);
    std::vector<SLENTRY> leaves;
    std::vector<SIENTRY> children;
    ParseSubnodeBlock(ReadBlock(bid), leaves, children);
    for (const SIENTRY& c : children)
        for (Bid b : SubnodeTreeBlocks(c.bid)) out.push_back(b);
    return out;
}

std::vector<SLENTRY> NodeDatabase::ReadSubnodeTree(Bid bid) {
    std::vector<SLENTRY> leaves;
    if (bid == 0) return leaves;
    std::vector<SIENTRY> children;
    ParseSubnodeBlock(ReadBlock(bid), leaves, children);
    for (const SIENTRY& c : children) {
        auto sub = ReadSubnodeTree(c.bid);
        leaves.insert(leaves.end(), sub.begin(), sub.end());
    }
    return leaves;
}

Ib NodeDatabase::AllocatePage() {
    if (!freePages_.empty()) {
        Ib ib = freePages_.back();
        freePages_.pop_back();
        return ib;
    }
    return Allocate(kPageSize, kPageSize);
}

void NodeDatabase::DropUncommitted() {
    try {
        FlushAndWait();
    } catch (const MailStoreError&) {
        // What failed to be written is given up with the rest.
    }
    try {
        if (committedOnce_) file_.Truncate(committedHeader_.root.ibFileEof);
    } catch (const MailStoreError&) {
        // Left for the next writer, which cuts the file back when it opens it.
    }
}

void NodeDatabase::Sync() {
    if (durable_) file_.SyncData();
}

void NodeDatabase::WriteDListAndHeader() {
    ++header_.dwUnique;
    // An empty density list, as Outlook writes it; a stale one from an earlier writer
    // of this file would disagree with the rebuilt AMaps.
    uint8_t dlist[kPageSize];
    BuildEmptyDListPage(header_.bidNextP++, dlist);
    WriteAt(kDListOffset, dlist, kPageSize);
    FlushAndWait();
    Sync();
    // The header, last: from here on the store is the new one.
    uint8_t head[kHeaderSize];
    header_.Serialize(head);
    WriteAt(0, head, kHeaderSize);
    FlushAndWait();
    Sync();
}

uint64_t NodeDatabase::UsedBytes() const {
    if (inPlace_) {
        // The pages on the paths to the changes: at most a few levels of each tree.
        const uint64_t pages = BTreePages(nbtChanged_.size(), kNBTEntryMax) + BTreePages(bbtChanges_.size(), kBBTEntryMax) + 32;
        return std::max<Ib>(cursor_, RegionStart(minRegions_)) + pages * kPageSize;
    }
    // Every entry counted, also those a change replaces: from above.
    const uint64_t nodes = nbtLog_->Count() + nbtChanged_.size();
    const uint64_t blocks = bbtLog_->Count() + bbtChanged_.size();
    const uint64_t pages = BTreePages(nodes, kNBTEntryMax) + BTreePages(blocks, kBBTEntryMax);
    return std::max<Ib>(cursor_, RegionStart(minRegions_)) + pages * kPageSize;
}

void NodeDatabase::Commit() {
    // A store opened and left as it was is not written at all.
    if (committedOnce_ && !changed_ && header_.root.fAMapValid == FAMAP_VALID) return;
    if (inPlace_) {
        CommitInPlace();
        return;
    }
    // What the trees will hold, and the space their blocks use.
    auto lastRegion = [this] { return RegionIndex(std::max<Ib>(cursor_, kFirstAMapOffset + 1) - 1) + 1; };
    uint64_t regions = std::max(minRegions_, lastRegion());
    auto bits = std::make_unique<AllocationBitmap>(regions);
    uint64_t blocks = 0, nodes = 0;
    ForEachBlock([&](Bid, const BlockInfo& info) {
        bits->Mark(info.ib, BlockAllocSize(info.cb));
        ++blocks;
    });
    ForEachNode([&](Nid, const NodeRef&) { ++nodes; });
    // B-tree pages go into 512-byte pages of the data section that neither the new
    // trees' blocks nor anything of the last commit use, then after the last block.
    {
        uint64_t needed = BTreePages(nodes, kNBTEntryMax) + BTreePages(blocks, kBBTEntryMax);
        freePages_.clear();
        Ib limit = std::max<Ib>(cursor_, RegionStart(minRegions_));
        for (Ib ib : bits->FreePages()) {
            if (ib + kPageSize > limit || freePages_.size() >= needed) break;
            if (RegionIndex(ib) < committedRegions_ && committed_->IsSet(ib)) continue;
            freePages_.push_back(ib);
        }
        std::reverse(freePages_.begin(), freePages_.end());  // taken from the back: lowest offset first
        freeRuns_.clear();
    }
    pages_.clear();
    // Both trees from the entries in key order (the files merged with the changes).
    Root& root = header_.root;
    root.BREFNBT = WriteBTree(ptypeNBT, nodes, kNBTEntrySize, kNBTEntryMax, [&](const BTreeEntrySink& emit) {
        ForEachNode([&](Nid nid, const NodeRef& ref) {
            uint8_t e[kNBTEntrySize];
            WriteNBTEntry(e, {nid, ref.bidData, ref.bidSub, ref.nidParent});
            emit(e);
        });
    });
    root.BREFBBT = WriteBTree(ptypeBBT, blocks, kBBTEntrySize, kBBTEntryMax, [&](const BTreeEntrySink& emit) {
        ForEachBlock([&](Bid bid, const BlockInfo& info) {
            uint8_t e[kBBTEntrySize];
            WriteBBTEntry(e, {{bid, info.ib}, info.cb, info.cRef});
            emit(e);
        });
    });
    freePages_.clear();
    regions = std::max(regions, lastRegion());
    bits->Grow(regions);
    for (Ib ib : pages_) bits->Mark(ib, kPageSize);
    // Everything the new header will reference is in the file before the maps change.
    FlushAndWait();
    Sync();

    uint8_t head[kHeaderSize];
    if (committedOnce_) {
        // The store as of the last commit, its allocation maps marked not valid: they
        // are rewritten in place next, and a reader that finds them so rebuilds them.
        Header h = committedHeader_;
        h.root.fAMapValid = 0;
        h.Serialize(head);
        WriteAt(0, head, kHeaderSize);
        FlushAndWait();
        Sync();
    }
    root.ibFileEof = RegionStart(regions);
    root.ibAMapLast = RegionStart(regions - 1);
    file_.Truncate(root.ibFileEof);

    // Allocation maps, rebuilt from everything the trees reference. Regions whose bits
    // did not change since the last commit keep their pages.
    uint8_t page[kPageSize];
    uint64_t free = 0;
    for (uint64_t k = 0; k < regions; ++k) {
        free += bits->FreeBytes(k);
        const bool known = mapsWritten_ && k < committedRegions_;
        // The pages of an opened store's regions are read to see whether they change:
        // most do not, and a page not written costs no write and no sync.
        auto unchanged = [&](Ib at) {
            if (k >= committedRegions_) return false;
            uint8_t old[kPageSize];
            try {
                return file_.ReadAt(at, old, kPageSize) == kPageSize && std::memcmp(old, page, kPageSize) == 0;
            } catch (const MailStoreError&) {
                return false;  // written again
            }
        };
        if (!known || std::memcmp(bits->RegionBits(k), committed_->RegionBits(k), 496) != 0) {
            bits->BuildAMapPage(k, page);
            if (known || !unchanged(RegionStart(k))) WriteAt(RegionStart(k), page, kPageSize);
        }
        if (RegionHasPMap(k) && !known) {
            AllocationBitmap::BuildPMapPage(k, page);
            if (!unchanged(PMapOffset(k))) WriteAt(PMapOffset(k), page, kPageSize);
        }
        if (RegionHasFMap(k)) {
            bits->BuildFMapPage(k, page);
            WriteAt(FMapOffset(k), page, kPageSize);
        }
        if (RegionHasFPMap(k) && !known) {
            AllocationBitmap::BuildFPMapPage(k, page);
            WriteAt(FPMapOffset(k), page, kPageSize);
        }
    }
    root.cbAMapFree = free;
    root.cbPMapFree = 0;
    root.fAMapValid = FAMAP_VALID;
    WriteDListAndHeader();

    committed_ = std::move(bits);
    committedRegions_ = regions;
    committedHeader_ = header_;
    committedOnce_ = true;
    changed_ = false;
    mapsWritten_ = true;
    minRegions_ = regions;
    freeRuns_ = committed_->FreeRuns();
    runPos_ = 0;
    cursor_ = root.ibFileEof;
}

}  // namespace bv::mailstore::pst
