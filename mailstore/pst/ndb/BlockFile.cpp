// [MS-PST] §2.2.2: the blocks and pages of a Unicode .pst at their offsets, the space
// they take, and the header.
#include "mailstore/pst/ndb/BlockFile.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>

#include "mailstore/base/Crc32.h"
#include "mailstore/base/ThreadSync.h"
#include "mailstore/pst/ndb/AllocationMap.h"
#include "mailstore/pst/ndb/PageTrailer.h"
#include "mailstore/pst/ndb/Permute.h"

namespace bv::mailstore::pst {

using base::ComputeCrc;
namespace {

constexpr size_t kWriteBuffer = 1 << 20;

uint64_t AlignUp(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

}  // namespace

// Writes filled buffers to the file on its own thread, one at a time: the copy into
// the page cache (and the file system's work behind it) overlaps with building the
// next buffer. A failed write is reported by the next call that hands over or waits.
class BlockFile::Writer {
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
    base::Mutex mutex_;
    base::CondVar cv_;
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

BlockFile::BlockFile() = default;

BlockFile::~BlockFile() {
    writer_.reset();  // finishes what it was handed before the file is closed
    file_.Close();
}

void BlockFile::Create(const std::filesystem::path& path, uint8_t cryptMethod) {
    file_.Open(path, base::PlatformFile::Mode::CreateReadWrite);
    header_.bCryptMethod = cryptMethod;
    header_.rgnid = Header::InitialRgnid();
    header_.bidNextB = 4;
    header_.bidNextP = 1;
    header_.dwUnique = 1;
    cursor_ = kFirstAMapOffset;
}

bool BlockFile::Open(const std::filesystem::path& path, bool forWriting) {
    file_.Open(path, forWriting ? base::PlatformFile::Mode::ReadWrite : base::PlatformFile::Mode::ReadOnly);
    // One writer at a time: a second run adding to the same store waits for nothing and
    // writes nothing.
    if (forWriting && !file_.LockExclusive()) return false;
    uint8_t raw[kHeaderSize];
    header_ = Header::Parse(raw, file_.ReadAt(0, raw, sizeof raw));
    const Root& root = header_.root;
    if (file_.Size() < root.ibFileEof) FormatError("ROOT", "ibFileEof", "lies past the end of the file");
    if (root.ibFileEof < kFirstAMapOffset + kAMapRegionSize || (root.ibFileEof - kFirstAMapOffset) % kAMapRegionSize)
        FormatError("ROOT", "ibFileEof", "does not end an AMap region");
    committedRegions_ = RegionIndex(root.ibFileEof - 1) + 1;
    return true;
}

void BlockFile::FinishOpening(bool forWriting) {
    const Root& root = header_.root;
    cursor_ = root.ibFileEof;
    // Free space of the last regions, as their AMaps say (only when the maps are valid
    // and each of them reads as one).
    auto lastRegions = [this](FreeRuns& runs) {
        AllocationBitmap bits(committedRegions_);
        uint8_t page[kPageSize];
        for (uint64_t k = committedRegions_ > kReusedRegions ? committedRegions_ - kReusedRegions : 0;
             k < committedRegions_; ++k) {
            if (file_.ReadAt(RegionStart(k), page, kPageSize) != kPageSize) return false;
            try {
                CheckPageTrailer(page, ptypeAMap, RegionStart(k));
            } catch (const MailStoreError&) {
                return false;
            }
            bits.LoadRegion(k, page);
            bits.AddFreeRuns(k, runs);
        }
        return true;
    };
    FreeRuns runs;
    if (root.fAMapValid == FAMAP_VALID && lastRegions(runs)) SetFree(std::move(runs));
    // Cut off only once the store has been read.
    if (forWriting && file_.Size() > root.ibFileEof) file_.Truncate(root.ibFileEof);
    committedHeader_ = header_;
    committedOnce_ = true;
}

Ib BlockFile::Allocate(uint64_t size, uint64_t align) {
    // Next fit over the free runs.
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

Ib BlockFile::DataEnd() const { return std::max<Ib>(cursor_, RegionStart(committedRegions_)); }

uint64_t BlockFile::RegionsInUse() const {
    return std::max(committedRegions_, RegionIndex(std::max<Ib>(cursor_, kFirstAMapOffset + 1) - 1) + 1);
}

void BlockFile::SetFree(FreeRuns runs) {
    freeRuns_ = std::move(runs);
    runPos_ = 0;
}

uint8_t* BlockFile::BufferAt(Ib ib, size_t size) {
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

uint8_t* BlockFile::BlockBufferAt(Ib ib, size_t size) {
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

void BlockFile::WriteAt(Ib ib, const uint8_t* data, size_t size) {
    std::memcpy(BufferAt(ib, size), data, size);
}

void BlockFile::Flush() {
    if (bufLen_ == 0 && pieces_.empty()) return;
    if (!writer_) writer_ = std::make_unique<Writer>(file_);
    writer_->Submit(buf_, bufLen_, bufBase_, scattered_, pieces_, durable_);
    bufBase_ += bufLen_;
    bufLen_ = 0;
    scattered_.clear();
    pieces_.clear();
}

void BlockFile::FlushAndWait() {
    Flush();
    if (writer_) writer_->Wait();
}

void BlockFile::ReadAt(Ib ib, uint8_t* data, size_t size) {
    // What was written may still be in a buffer; reads are rare (reopening a store,
    // releasing replaced trees), so everything goes to the file first.
    FlushAndWait();
    if (file_.ReadAt(ib, data, size) < size) FormatError("BREF", "ib", std::to_string(ib) + " lies past the end of the file");
}

BlockFile::PlacedBlock BlockFile::WriteBlock(const uint8_t* data, size_t cb, bool internal, const uint32_t* crc) {
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
    return {bid, ib};
}

Bytes BlockFile::ReadBlock(Bid bid, Ib ib, uint16_t cb) {
    Bytes raw(BlockAllocSize(cb));
    ReadAt(ib, raw.data(), raw.size());
    Bytes data = CheckBlock(raw.data(), raw.size(), cb, bid & ~Bid(1), ib);
    if (!(bid & kBidInternal) && header_.bCryptMethod == NDB_CRYPT_PERMUTE) PermuteDecode(data.data(), data.size());
    return data;
}

Bref BlockFile::WriteBTPage(Ib at, PageType ptype, const uint8_t* entries, size_t count, uint8_t maxEnt, uint8_t cbEnt,
                            uint8_t level) {
    Bid bid = header_.bidNextP++;
    uint8_t page[kPageSize];
    BuildBTPage(page, entries, uint8_t(count), maxEnt, cbEnt, level, ptype, bid, at);
    WriteAt(at, page, kPageSize);
    return {bid, at};
}

void BlockFile::Sync() {
    if (durable_) file_.SyncData();
}

void BlockFile::MarkMapsNotValid() {
    uint8_t head[kHeaderSize];
    Header h = committedHeader_;
    h.root.fAMapValid = 0;
    h.Serialize(head);
    WriteAt(0, head, kHeaderSize);
    FlushAndWait();
    Sync();
}

void BlockFile::SetEnd(uint64_t regions) {
    Root& root = header_.root;
    root.ibFileEof = RegionStart(regions);
    root.ibAMapLast = RegionStart(regions - 1);
    file_.Truncate(root.ibFileEof);
}

void BlockFile::FinishCommit(uint64_t regions, uint64_t cbAMapFree) {
    Root& root = header_.root;
    root.cbAMapFree = cbAMapFree;
    root.cbPMapFree = 0;
    root.fAMapValid = FAMAP_VALID;
    ++header_.dwUnique;
    // An empty density list, as a store never backfilled has it; a stale one from an
    // earlier writer of this file would disagree with the rebuilt AMaps.
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

    committedHeader_ = header_;
    committedRegions_ = regions;
    committedOnce_ = true;
    cursor_ = root.ibFileEof;
}

void BlockFile::DropUncommitted() {
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

}  // namespace bv::mailstore::pst
