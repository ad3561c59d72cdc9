// [MS-PST] §2.2.2.7.7: the NBT and BBT of a new store, kept in two files beside it and
// written whole at each commit.
#include "mailstore/pst/ndb/SequentialIndex.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "mailstore/pst/ndb/AllocationMap.h"

namespace bv::mailstore::pst {
namespace {

// Records of the entry files: the key first, as a 64-bit value.
constexpr size_t kNodeRecord = 32;   // nid, bidData, bidSub, nidParent
constexpr size_t kBlockRecord = 24;  // bid, ib, cb, cRef

// The number of the record whose key is `key`, in a file sorted by key.
std::optional<uint64_t> FindRecord(const SpillFile& file, uint64_t key) {
    uint64_t lo = 0, hi = file.Count();
    uint8_t rec[kNodeRecord];
    while (lo < hi) {
        uint64_t mid = lo + (hi - lo) / 2;
        file.Read(mid, rec);
        uint64_t k = Get64(rec);
        if (k == key) return mid;
        if (k < key) lo = mid + 1;
        else hi = mid;
    }
    return std::nullopt;
}

uint64_t LastKey(const SpillFile& file) {
    uint8_t rec[kNodeRecord];
    file.Read(file.Count() - 1, rec);
    return Get64(rec);
}

std::filesystem::path DirectoryOf(const std::filesystem::path& storePath) {
    return storePath.parent_path().empty() ? std::filesystem::path(".") : storePath.parent_path();
}

NodeRef NodeOfRecord(const uint8_t* rec) { return NodeRef{Get64(rec + 8), Get64(rec + 16), Get32(rec + 24)}; }
BlockInfo BlockOfRecord(const uint8_t* rec) { return BlockInfo{Get64(rec + 8), Get16(rec + 16), Get16(rec + 18)}; }

}  // namespace

SequentialIndex::SequentialIndex(BlockFile& file, const std::filesystem::path& storePath)
    : file_(file),
      nodeRecords_(DirectoryOf(storePath), kNodeRecord),
      blockRecords_(DirectoryOf(storePath), kBlockRecord),
      committedSpace_(std::make_unique<AllocationBitmap>(0)) {}

SequentialIndex::~SequentialIndex() = default;

bool SequentialIndex::AddInOrder(Nid nid, const NodeRef& ref) {
    // A NID above every one in the file and not changed before (a new message) goes
    // straight to the file; anything else is a change.
    if ((nodeRecords_.Count() && nid <= LastKey(nodeRecords_)) || nodeChanges_.count(nid)) return false;
    uint8_t rec[kNodeRecord] = {};
    Put64(rec, nid);
    Put64(rec + 8, ref.bidData);
    Put64(rec + 16, ref.bidSub);
    Put32(rec + 24, ref.nidParent);
    nodeRecords_.Append(rec);
    return true;
}

void SequentialIndex::PutNode(Nid nid, const std::optional<NodeRef>& ref) { nodeChanges_[nid] = ref; }

std::optional<NodeRef> SequentialIndex::FindNode(Nid nid) const {
    auto it = nodeChanges_.find(nid);
    if (it != nodeChanges_.end()) return it->second;
    auto i = FindRecord(nodeRecords_, nid);
    if (!i) return std::nullopt;
    uint8_t rec[kNodeRecord];
    nodeRecords_.Read(*i, rec);
    return NodeOfRecord(rec);
}

void SequentialIndex::ForEachNode(const std::function<void(Nid, const NodeRef&)>& fn) const {
    SpillFile::Cursor cursor(nodeRecords_);
    const uint8_t* rec = cursor.Next();
    auto changed = nodeChanges_.begin();
    while (rec || changed != nodeChanges_.end()) {
        Nid logNid = rec ? Nid(Get64(rec)) : 0;
        if (changed != nodeChanges_.end() && (!rec || changed->first <= logNid)) {
            if (changed->second) fn(changed->first, *changed->second);
            if (rec && changed->first == logNid) rec = cursor.Next();
            ++changed;
        } else {
            fn(logNid, NodeOfRecord(rec));
            rec = cursor.Next();
        }
    }
}

void SequentialIndex::AddBlock(Bid key, const BlockInfo& info) {
    uint8_t rec[kBlockRecord] = {};
    Put64(rec, key);
    Put64(rec + 8, info.ib);
    Put16(rec + 16, info.cb);
    Put16(rec + 18, info.cRef);
    blockRecords_.Append(rec);
}

void SequentialIndex::SetReferences(Bid key, const BlockInfo&, uint16_t cRef) { referenceChanges_[key] = cRef; }

std::optional<BlockInfo> SequentialIndex::FindBlock(Bid key) const {
    auto it = referenceChanges_.find(key);
    if (it != referenceChanges_.end() && it->second == 0) return std::nullopt;
    auto i = FindRecord(blockRecords_, key);
    if (!i) return std::nullopt;
    uint8_t rec[kBlockRecord];
    blockRecords_.Read(*i, rec);
    BlockInfo info = BlockOfRecord(rec);
    if (it != referenceChanges_.end()) info.cRef = it->second;
    return info;
}

void SequentialIndex::ForEachBlock(const std::function<void(Bid, const BlockInfo&)>& fn) const {
    SpillFile::Cursor cursor(blockRecords_);
    auto changed = referenceChanges_.begin();
    while (const uint8_t* rec = cursor.Next()) {
        Bid bid = Get64(rec);
        BlockInfo info = BlockOfRecord(rec);
        while (changed != referenceChanges_.end() && changed->first < bid) ++changed;
        if (changed != referenceChanges_.end() && changed->first == bid) {
            if (changed->second == 0) continue;
            info.cRef = changed->second;
        }
        fn(bid, info);
    }
}

uint64_t SequentialIndex::PagesToCommit() const {
    // Every entry counted, also those a change replaces: from above.
    const uint64_t nodes = nodeRecords_.Count() + nodeChanges_.size();
    const uint64_t blocks = blockRecords_.Count() + referenceChanges_.size();
    return BTreePages(nodes, kNBTEntryMax) + BTreePages(blocks, kBBTEntryMax);
}

void SequentialIndex::Commit() {
    // What the trees will hold, and the space their blocks use.
    uint64_t regions = file_.RegionsInUse();
    auto bits = std::make_unique<AllocationBitmap>(regions);
    uint64_t blocks = 0, nodes = 0;
    ForEachBlock([&](Bid, const BlockInfo& info) {
        bits->Mark(info.ib, BlockAllocSize(info.cb));
        ++blocks;
    });
    ForEachNode([&](Nid, const NodeRef&) { ++nodes; });
    ChooseTreePages(*bits, BTreePages(nodes, kNBTEntryMax) + BTreePages(blocks, kBBTEntryMax));
    // Both trees from the entries in key order (the files merged with the changes).
    std::vector<Ib> pages;
    Root& root = file_.header().root;
    root.BREFNBT = WriteBTree(
        ptypeNBT, nodes, kNBTEntrySize, kNBTEntryMax,
        [&](const BTreeEntrySink& emit) {
            ForEachNode([&](Nid nid, const NodeRef& ref) {
                uint8_t e[kNBTEntrySize];
                WriteNBTEntry(e, {nid, ref.bidData, ref.bidSub, ref.nidParent});
                emit(e);
            });
        },
        pages);
    root.BREFBBT = WriteBTree(
        ptypeBBT, blocks, kBBTEntrySize, kBBTEntryMax,
        [&](const BTreeEntrySink& emit) {
            ForEachBlock([&](Bid bid, const BlockInfo& info) {
                uint8_t e[kBBTEntrySize];
                WriteBBTEntry(e, {{bid, info.ib}, info.cb, info.cRef});
                emit(e);
            });
        },
        pages);
    treePages_.clear();
    regions = file_.RegionsInUse();
    bits->Grow(regions);
    for (Ib ib : pages) bits->Mark(ib, kPageSize);
    // Everything the new header will reference is in the file before the maps change.
    file_.FlushAndWait();
    file_.Sync();
    if (file_.CommittedOnce()) file_.MarkMapsNotValid();
    file_.SetEnd(regions);
    const uint64_t free = WriteMaps(*bits, regions);
    file_.FinishCommit(regions, free);
    committedSpace_ = std::move(bits);
    file_.SetFree(committedSpace_->FreeRuns());
}

void SequentialIndex::ChooseTreePages(const AllocationBitmap& bits, uint64_t needed) {
    treePages_.clear();
    const Ib limit = file_.DataEnd();
    const uint64_t committedRegions = file_.CommittedRegions();
    for (Ib ib : bits.FreePages()) {
        if (ib + kPageSize > limit || treePages_.size() >= needed) break;
        if (RegionIndex(ib) < committedRegions && committedSpace_->IsSet(ib)) continue;
        treePages_.push_back(ib);
    }
    std::reverse(treePages_.begin(), treePages_.end());  // taken from the back: lowest offset first
    // The trees take no other free space: what is left past the pages goes after them.
    file_.SetFree({});
}

Ib SequentialIndex::AllocateTreePage() {
    if (!treePages_.empty()) {
        Ib ib = treePages_.back();
        treePages_.pop_back();
        return ib;
    }
    return file_.Allocate(kPageSize, kPageSize);
}

uint64_t SequentialIndex::WriteMaps(const AllocationBitmap& bits, uint64_t regions) {
    // Rebuilt from everything the trees reference. Regions whose bits did not change
    // since the last commit keep their pages.
    const uint64_t committedRegions = file_.CommittedRegions();
    uint8_t page[kPageSize];
    uint64_t free = 0;
    for (uint64_t k = 0; k < regions; ++k) {
        free += bits.FreeBytes(k);
        const bool known = k < committedRegions;
        if (!known || std::memcmp(bits.RegionBits(k), committedSpace_->RegionBits(k), 496) != 0) {
            bits.BuildAMapPage(k, page);
            file_.WriteAt(RegionStart(k), page, kPageSize);
        }
        if (RegionHasPMap(k) && !known) {
            AllocationBitmap::BuildPMapPage(k, page);
            file_.WriteAt(PMapOffset(k), page, kPageSize);
        }
        if (RegionHasFMap(k)) {
            bits.BuildFMapPage(k, page);
            file_.WriteAt(FMapOffset(k), page, kPageSize);
        }
        if (RegionHasFPMap(k) && !known) {
            AllocationBitmap::BuildFPMapPage(k, page);
            file_.WriteAt(FPMapOffset(k), page, kPageSize);
        }
    }
    return free;
}

Bref SequentialIndex::WriteBTree(PageType ptype, uint64_t count, uint8_t cbLeaf, uint8_t maxLeaf,
                                 const std::function<void(const BTreeEntrySink&)>& produce, std::vector<Ib>& pages) {
    // Every level is written as its entries come, its pages filled evenly as
    // SpreadEntries fills them. How many pages each level has follows from `count`, so
    // no level is ever held whole: a tree of millions of entries takes a page per level.
    struct Level {
        uint64_t entries, pages, page = 0;
        uint8_t maxEnt, cbEnt;
        size_t filled = 0;
        uint8_t buf[kBTPageEntriesSize];
        size_t PageFill() const { return size_t(entries / pages + (page < entries % pages ? 1 : 0)); }
    };
    std::vector<Level> levels;
    uint64_t totalPages = 0;
    for (uint64_t n = count;;) {
        const bool leaf = levels.empty();
        const uint8_t maxEnt = leaf ? maxLeaf : uint8_t(kBTEntryMax);
        Level& l = levels.emplace_back();
        l.entries = n;
        l.maxEnt = maxEnt;
        l.cbEnt = leaf ? cbLeaf : uint8_t(kBTEntrySize);
        l.pages = n == 0 ? 1 : (n + maxEnt - 1) / maxEnt;
        totalPages += l.pages;
        if (l.pages == 1) break;
        n = l.pages;
    }
    pages.reserve(pages.size() + totalPages);
    Bref root{};
    auto add = [&](auto& self, size_t k, const uint8_t* entry) -> void {
        Level& l = levels[k];
        std::memcpy(l.buf + l.filled * l.cbEnt, entry, l.cbEnt);
        if (++l.filled < l.PageFill()) return;
        const Ib ib = AllocateTreePage();
        BTENTRY be;
        be.btkey = Get64(l.buf);
        be.BREF = file_.WriteBTPage(ib, ptype, l.buf, l.filled, l.maxEnt, l.cbEnt, uint8_t(k));
        pages.push_back(ib);
        l.filled = 0;
        ++l.page;
        if (k + 1 == levels.size()) {
            root = be.BREF;
            return;
        }
        uint8_t up[kBTEntrySize];
        WriteBTEntry(up, be);
        self(self, k + 1, up);
    };
    uint64_t seen = 0;
    produce([&](const uint8_t* entry) {
        if (++seen > count) throw std::logic_error("B-tree: more entries than counted");
        add(add, 0, entry);
    });
    if (seen != count) throw std::logic_error("B-tree: fewer entries than counted");
    if (count == 0) {
        // An empty tree: one leaf without entries.
        const Ib ib = AllocateTreePage();
        root = file_.WriteBTPage(ib, ptype, levels[0].buf, 0, maxLeaf, cbLeaf, 0);
        pages.push_back(ib);
    }
    return root;
}

}  // namespace bv::mailstore::pst
