// [MS-PST] §2.2.2.7.7: the NBT and BBT of an opened store, read where lookups need
// them and changed by copies of the pages on the paths to the changes.
#include "mailstore/pst/ndb/CopyOnWriteIndex.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "mailstore/pst/ndb/AllocationMap.h"
#include "mailstore/pst/ndb/PageTrailer.h"

namespace bv::mailstore::pst {
namespace {

// BBT keys are BIDs without their reserved low bit.
uint64_t EntryKey(PageType ptype, const uint8_t* e) {
    uint64_t k = Get64(e);
    return ptype == ptypeBBT ? (k & ~uint64_t(1)) : k;
}

constexpr size_t kPageCacheLimit = 4096;
constexpr int kMaxDepth = 8;

}  // namespace

struct CopyOnWriteIndex::TreeUpdate {
    PageType ptype;
    const std::vector<TreeChange>* changes;
    Extents* freed;
    // Writes entries as pages of one level, filled in order, and returns their BTENTRYs.
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>&, uint8_t cbEnt, uint8_t maxEnt, uint8_t level)> write;
};

CopyOnWriteIndex::CopyOnWriteIndex(BlockFile& file) : file_(file) {
    // New blocks get BIDs above every one in the BBT (a header may lag behind it): the
    // highest is at the end of the rightmost path.
    Header& header = file_.header();
    Ib ib = header.root.BREFBBT.ib;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) FormatError("BTPAGE", "cLevel", "tree too deep");
        const uint8_t* page = CommittedPage(ib, ptypeBBT);
        const uint8_t cEnt = page[488], cbEnt = page[490], cLevel = page[491];
        if (cEnt == 0) break;
        const uint8_t* last = page + size_t(cEnt - 1) * cbEnt;
        if (cLevel == 0) {
            Bid bid = Get64(last) & ~Bid(1);
            if (bid >= header.bidNextB) header.bidNextB = (bid & ~Bid(3)) + 4;
            break;
        }
        ib = ReadBTEntry(last).BREF.ib;
    }
}

std::optional<NodeRef> CopyOnWriteIndex::FindNode(Nid nid) const {
    auto it = nodeChanges_.find(nid);
    if (it != nodeChanges_.end()) return it->second;
    uint8_t e[kNBTEntrySize];
    if (!FindCommitted(ptypeNBT, nid, e)) return std::nullopt;
    NBTENTRY n = ReadNBTEntry(e);
    return NodeRef{n.bidData, n.bidSub, n.nidParent};
}

void CopyOnWriteIndex::ForEachNode(const std::function<void(Nid, const NodeRef&)>& fn) const {
    auto changed = nodeChanges_.begin();
    WalkCommitted(ptypeNBT, [&](const uint8_t* e) {
        NBTENTRY n = ReadNBTEntry(e);
        for (; changed != nodeChanges_.end() && changed->first < n.nid; ++changed)
            if (changed->second) fn(changed->first, *changed->second);
        if (changed != nodeChanges_.end() && changed->first == n.nid) {
            if (changed->second) fn(changed->first, *changed->second);
            ++changed;
            return;
        }
        fn(n.nid, NodeRef{n.bidData, n.bidSub, n.nidParent});
    });
    for (; changed != nodeChanges_.end(); ++changed)
        if (changed->second) fn(changed->first, *changed->second);
}

std::optional<BlockInfo> CopyOnWriteIndex::FindBlock(Bid key) const {
    auto c = blockChanges_.find(key);
    if (c != blockChanges_.end()) return c->second.info.cRef ? std::optional(c->second.info) : std::nullopt;
    uint8_t e[kBBTEntrySize];
    if (!FindCommitted(ptypeBBT, key, e)) return std::nullopt;
    BBTENTRY b = ReadBBTEntry(e);
    return BlockInfo{b.BREF.ib, b.cb, b.cRef};
}

void CopyOnWriteIndex::ForEachBlock(const std::function<void(Bid, const BlockInfo&)>& fn) const {
    auto changed = blockChanges_.begin();
    auto give = [&](Bid bid, const BlockChange& c) {
        if (c.info.cRef) fn(bid, c.info);
    };
    WalkCommitted(ptypeBBT, [&](const uint8_t* e) {
        BBTENTRY b = ReadBBTEntry(e);
        const Bid bid = b.BREF.bid & ~Bid(1);
        for (; changed != blockChanges_.end() && changed->first < bid; ++changed) give(changed->first, changed->second);
        if (changed != blockChanges_.end() && changed->first == bid) {
            give(changed->first, changed->second);
            ++changed;
            return;
        }
        fn(bid, BlockInfo{b.BREF.ib, b.cb, b.cRef});
    });
    for (; changed != blockChanges_.end(); ++changed) give(changed->first, changed->second);
}

void CopyOnWriteIndex::SetReferences(Bid key, const BlockInfo& info, uint16_t cRef) {
    auto it = blockChanges_.find(key);
    const bool fresh = it != blockChanges_.end() && it->second.fresh;
    BlockInfo changed = info;
    changed.cRef = cRef;
    blockChanges_[key] = {changed, fresh};
}

uint64_t CopyOnWriteIndex::PagesToCommit() const {
    // The pages on the paths to the changes: at most a few levels of each tree.
    return BTreePages(nodeChanges_.size(), kNBTEntryMax) + BTreePages(blockChanges_.size(), kBBTEntryMax) + 32;
}

Bref CopyOnWriteIndex::CommittedRoot(PageType ptype) const {
    const Root& root = file_.CommittedHeader().root;
    return ptype == ptypeNBT ? root.BREFNBT : root.BREFBBT;
}

const uint8_t* CopyOnWriteIndex::CommittedPage(Ib ib, PageType ptype) const {
    auto it = pageCache_.find(ib);
    if (it != pageCache_.end()) return it->second.data();
    if (pageCache_.size() >= kPageCacheLimit) pageCache_.clear();
    std::array<uint8_t, kPageSize> page;
    ReadCommittedPage(ib, ptype, page.data());
    return pageCache_.emplace(ib, page).first->second.data();
}

void CopyOnWriteIndex::ReadCommittedPage(Ib ib, PageType ptype, uint8_t* page) const {
    if (file_.ReadCommitted(ib, page, kPageSize) < kPageSize)
        FormatError("BREF", "ib", std::to_string(ib) + " lies past the end of the file");
    CheckBTPage(page, ptype, ib);
}

bool CopyOnWriteIndex::FindCommitted(PageType ptype, uint64_t key, uint8_t* entry) const {
    Ib ib = CommittedRoot(ptype).ib;
    for (int depth = 0; depth <= kMaxDepth; ++depth) {
        const uint8_t* page = CommittedPage(ib, ptype);
        const uint8_t cEnt = page[488], cbEnt = page[490], cLevel = page[491];
        // The last entry whose key is not above `key`.
        int lo = 0, hi = cEnt;
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (EntryKey(ptype, page + size_t(mid) * cbEnt) <= key) lo = mid + 1;
            else hi = mid;
        }
        if (lo == 0) return false;
        const uint8_t* e = page + size_t(lo - 1) * cbEnt;
        if (cLevel == 0) {
            if (EntryKey(ptype, e) != key) return false;
            std::memcpy(entry, e, cbEnt);
            return true;
        }
        ib = ReadBTEntry(e).BREF.ib;
    }
    FormatError("BTPAGE", "cLevel", "tree too deep");
}

void CopyOnWriteIndex::WalkCommitted(PageType ptype, const std::function<void(const uint8_t*)>& fn) const {
    WalkCommittedPage(CommittedRoot(ptype).ib, ptype, 0, fn);
}

void CopyOnWriteIndex::WalkCommittedPage(Ib ib, PageType ptype, int depth,
                                     const std::function<void(const uint8_t*)>& fn) const {
    if (depth > kMaxDepth) FormatError("BTPAGE", "cLevel", "tree too deep");
    // A copy, as the cache may be emptied below; a page not in the cache is read without
    // being kept (a walk reads each page once, and would only push out the pages lookups use).
    std::array<uint8_t, kPageSize> page;
    if (auto cached = pageCache_.find(ib); cached != pageCache_.end()) page = cached->second;
    else ReadCommittedPage(ib, ptype, page.data());
    const uint8_t cEnt = page[488], cbEnt = page[490], cLevel = page[491];
    uint64_t last = 0;
    for (int i = 0; i < cEnt; ++i) {
        const uint8_t* e = page.data() + size_t(i) * cbEnt;
        if (i > 0 && EntryKey(ptype, e) <= last) FormatError("BTENTRY", "btkey", "out of order");
        last = EntryKey(ptype, e);
        if (cLevel > 0) WalkCommittedPage(ReadBTEntry(e).BREF.ib, ptype, depth + 1, fn);
        else fn(e);
    }
}

std::vector<uint8_t> CopyOnWriteIndex::UpdatePage(TreeUpdate& u, Ib ib, int depth, size_t begin, size_t end) {
    if (depth > kMaxDepth) FormatError("BTPAGE", "cLevel", "tree too deep");
    std::array<uint8_t, kPageSize> page;
    std::memcpy(page.data(), CommittedPage(ib, u.ptype), kPageSize);
    const uint8_t cEnt = page[488], cEntMax = page[489], cbEnt = page[490], cLevel = page[491];
    u.freed->push_back({ib, kPageSize});  // replaced by the pages written below
    const std::vector<TreeChange>& ch = *u.changes;
    std::vector<uint8_t> out;
    size_t c = begin;
    if (cLevel == 0) {
        // The entries merged with the changes that fall on this leaf.
        auto put = [&](const TreeChange& t) {
            if (!t.remove) out.insert(out.end(), t.entry, t.entry + cbEnt);
        };
        for (int i = 0; i < cEnt; ++i) {
            const uint8_t* e = page.data() + size_t(i) * cbEnt;
            const uint64_t key = EntryKey(u.ptype, e);
            for (; c < end && ch[c].key < key; ++c) put(ch[c]);
            if (c < end && ch[c].key == key) {
                put(ch[c++]);
                continue;
            }
            out.insert(out.end(), e, e + cbEnt);
        }
        for (; c < end; ++c) put(ch[c]);
        return u.write(out, cbEnt, cEntMax, 0);
    }
    // A child covers the keys from its own up to the next child's; the first also those
    // below it.
    for (int i = 0; i < cEnt; ++i) {
        const uint8_t* e = page.data() + size_t(i) * kBTEntrySize;
        size_t stop = end;
        if (i + 1 < cEnt) {
            const uint64_t next = EntryKey(u.ptype, e + kBTEntrySize);
            stop = c;
            while (stop < end && ch[stop].key < next) ++stop;
        }
        if (stop == c) {
            out.insert(out.end(), e, e + kBTEntrySize);  // untouched: the page is kept
            continue;
        }
        std::vector<uint8_t> below = UpdatePage(u, ReadBTEntry(e).BREF.ib, depth + 1, c, stop);
        out.insert(out.end(), below.begin(), below.end());
        c = stop;
    }
    return u.write(out, kBTEntrySize, kBTEntryMax, cLevel);
}

Bref CopyOnWriteIndex::UpdateTree(PageType ptype, const std::vector<TreeChange>& changes, Extents& freed,
                                  Extents& allocated) {
    const Bref root = CommittedRoot(ptype);
    if (changes.empty()) return root;
    TreeUpdate u{ptype, &changes, &freed, {}};
    auto writePage = [&](const uint8_t* entries, size_t n, uint8_t cbEnt, uint8_t maxEnt, uint8_t level) {
        const Ib at = file_.Allocate(kPageSize, kPageSize);
        const Bref page = file_.WriteBTPage(at, ptype, entries, n, maxEnt, cbEnt, level);
        allocated.push_back({at, kPageSize});
        return page;
    };
    u.write = [&](const std::vector<uint8_t>& entries, uint8_t cbEnt, uint8_t maxEnt, uint8_t level) {
        // Pages filled in order: entries appended at the end (new messages and blocks)
        // leave full pages behind them.
        std::vector<uint8_t> parents;
        const size_t n = entries.size() / cbEnt;
        for (size_t pos = 0; pos < n; pos += maxEnt) {
            const size_t k = std::min<size_t>(maxEnt, n - pos);
            BTENTRY be;
            be.btkey = Get64(entries.data() + pos * cbEnt);
            be.BREF = writePage(entries.data() + pos * cbEnt, k, cbEnt, maxEnt, level);
            size_t at = parents.size();
            parents.resize(at + kBTEntrySize);
            WriteBTEntry(parents.data() + at, be);
        }
        return parents;
    };
    uint8_t level = CommittedPage(root.ib, ptype)[491];
    std::vector<uint8_t> top = UpdatePage(u, root.ib, 0, 0, changes.size());
    if (top.empty()) {
        // Every entry removed: an empty leaf.
        const uint8_t cbLeaf = ptype == ptypeNBT ? kNBTEntrySize : kBBTEntrySize;
        return writePage(nullptr, 0, cbLeaf, ptype == ptypeNBT ? kNBTEntryMax : kBBTEntryMax, 0);
    }
    while (top.size() > kBTEntrySize) top = u.write(top, kBTEntrySize, kBTEntryMax, ++level);
    return ReadBTEntry(top.data()).BREF;
}

void CopyOnWriteIndex::Commit() {
    Extents freed, allocated;
    std::vector<TreeChange> nodes, blocks;
    nodes.reserve(nodeChanges_.size());
    for (const auto& [nid, ref] : nodeChanges_) {
        TreeChange c{nid, !ref, {}};
        if (ref) WriteNBTEntry(c.entry, {nid, ref->bidData, ref->bidSub, ref->nidParent});
        nodes.push_back(c);
    }
    blocks.reserve(blockChanges_.size());
    for (const auto& [bid, ch] : blockChanges_) {
        const bool gone = ch.info.cRef == 0;
        if (ch.fresh && gone) continue;  // written and given up before any commit referenced it
        TreeChange c{bid, gone, {}};
        if (gone) freed.push_back({ch.info.ib, BlockAllocSize(ch.info.cb)});
        else WriteBBTEntry(c.entry, {{bid, ch.info.ib}, ch.info.cb, ch.info.cRef});
        if (ch.fresh) allocated.push_back({ch.info.ib, BlockAllocSize(ch.info.cb)});
        blocks.push_back(c);
    }
    Root& root = file_.header().root;
    root.BREFNBT = UpdateTree(ptypeNBT, nodes, freed, allocated);
    root.BREFBBT = UpdateTree(ptypeBBT, blocks, freed, allocated);
    // Written with the new blocks and pages, which nothing references yet.
    file_.MarkMapsNotValid();
    const uint64_t regions = file_.RegionsInUse();
    file_.SetEnd(regions);
    const uint64_t free = WriteMaps(regions, freed, allocated);
    file_.FinishCommit(regions, free);
    nodeChanges_.clear();
    blockChanges_.clear();
    pageCache_.clear();
}

bool CopyOnWriteIndex::LoadTouchedMaps(uint64_t regions, const Extents& freed, const Extents& allocated,
                                       AllocationBitmap& bits, std::set<uint64_t>& touched, uint64_t& free) const {
    const uint64_t committedRegions = file_.CommittedRegions();
    for (const auto& [ib, size] : freed) touched.insert(RegionIndex(ib));
    for (const auto& [ib, size] : allocated) touched.insert(RegionIndex(ib));
    for (uint64_t k = committedRegions; k < regions; ++k) touched.insert(k);
    uint8_t page[kPageSize];
    for (uint64_t k : touched) {
        if (k >= committedRegions) continue;
        if (file_.ReadCommitted(RegionStart(k), page, kPageSize) != kPageSize) return false;
        try {
            CheckPageTrailer(page, ptypeAMap, RegionStart(k));
        } catch (const MailStoreError&) {
            return false;  // a damaged map: all are rebuilt
        }
        bits.LoadRegion(k, page);
        free -= std::min(free, bits.FreeBytes(k));
    }
    return true;
}

void CopyOnWriteIndex::MarkAllReferenced(AllocationBitmap& bits) const {
    ForEachBlock([&](Bid, const BlockInfo& info) { bits.Mark(info.ib, BlockAllocSize(info.cb)); });
    std::function<void(Ib, PageType, int)> pages = [&](Ib ib, PageType ptype, int depth) {
        if (depth > kMaxDepth) FormatError("BTPAGE", "cLevel", "tree too deep");
        bits.Mark(ib, kPageSize);
        std::array<uint8_t, kPageSize> p;
        std::memcpy(p.data(), CommittedPage(ib, ptype), kPageSize);
        if (p[491] == 0) return;
        for (int i = 0; i < p[488]; ++i) pages(ReadBTEntry(p.data() + size_t(i) * kBTEntrySize).BREF.ib, ptype, depth + 1);
    };
    const Root& root = file_.header().root;
    pages(root.BREFNBT.ib, ptypeNBT, 0);
    pages(root.BREFBBT.ib, ptypeBBT, 0);
}

uint64_t CopyOnWriteIndex::WriteMaps(uint64_t regions, const Extents& freed, const Extents& allocated) {
    const uint64_t committedRegions = file_.CommittedRegions();
    AllocationBitmap bits(regions);
    std::set<uint64_t> touched;
    uint64_t free = file_.CommittedHeader().root.cbAMapFree;
    const bool whole = file_.CommittedHeader().root.fAMapValid != FAMAP_VALID ||
                       !LoadTouchedMaps(regions, freed, allocated, bits, touched, free);
    if (whole) {
        // The maps of the last commit are not to be trusted (a run stopped while it
        // wrote them, or a writer that left them so): all of them rebuilt from what
        // the new trees reference.
        bits = AllocationBitmap(regions);
        touched.clear();
        for (uint64_t k = 0; k < regions; ++k) touched.insert(k);
        MarkAllReferenced(bits);
        free = 0;
    } else {
        for (const auto& [ib, size] : freed) bits.Unmark(ib, size);
        for (const auto& [ib, size] : allocated) bits.Mark(ib, size);
    }
    uint8_t page[kPageSize];
    std::map<uint64_t, std::vector<uint64_t>> fmaps;  // FMap region -> touched regions it describes
    for (uint64_t k : touched) {
        free += bits.FreeBytes(k);
        bits.BuildAMapPage(k, page);
        file_.WriteAt(RegionStart(k), page, kPageSize);
        const bool fresh = whole || k >= committedRegions;
        if (RegionHasPMap(k) && fresh) {
            AllocationBitmap::BuildPMapPage(k, page);
            file_.WriteAt(PMapOffset(k), page, kPageSize);
        }
        if (RegionHasFPMap(k) && fresh) {
            AllocationBitmap::BuildFPMapPage(k, page);
            file_.WriteAt(FPMapOffset(k), page, kPageSize);
        }
        if (k >= 128) fmaps[128 + (k - 128) / 496 * 496].push_back(k);
    }
    // FMap bytes of the touched regions; the others stay as they are.
    for (const auto& [f, ks] : fmaps) {
        std::memset(page, 0, kPageSize);
        if (!whole && f < committedRegions && file_.ReadCommitted(FMapOffset(f), page, kPageSize) != kPageSize)
            std::memset(page, 0, kPageSize);
        for (uint64_t k : ks) page[k - f] = bits.LongestFreeRun(k);
        WritePageTrailer(page, ptypeFMap, FMapOffset(f), FMapOffset(f));
        file_.WriteAt(FMapOffset(f), page, kPageSize);
    }
    // Free space after this commit: the runs not used yet in regions it did not touch,
    // and those of the last regions it touched, as their new bits say.
    FreeRuns runs;
    for (const auto& r : file_.Free())
        if (!touched.count(RegionIndex(r.first))) runs.push_back(r);
    for (uint64_t k : touched)
        if (k + kReusedRegions >= regions) bits.AddFreeRuns(k, runs);
    std::sort(runs.begin(), runs.end());
    file_.SetFree(std::move(runs));
    return free;
}

}  // namespace bv::mailstore::pst
