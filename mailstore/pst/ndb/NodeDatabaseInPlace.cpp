// An opened store, added to in place: its NBT and BBT are read from the file where a
// lookup needs them (a few pages per lookup, kept in a small cache), the changes since
// the last commit are kept in memory, and Commit writes copies of only the pages on
// the paths to changed entries. Untouched subtrees keep their pages, and the pages a
// commit replaces stay as they are in the file (the last commit's header references
// them until the new header is written); they are free in the new allocation maps.
// Only the AMap pages of regions whose bits change are read and written again.
#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>

#include "mailstore/pst/ndb/AllocationMap.h"
#include "mailstore/pst/ndb/NodeDatabase.h"
#include "mailstore/pst/ndb/PageTrailer.h"

namespace bv::mailstore::pst {
namespace {

// BBT keys are BIDs without their reserved low bit.
uint64_t EntryKey(PageType ptype, const uint8_t* e) {
    uint64_t k = Get64(e);
    return ptype == ptypeBBT ? (k & ~uint64_t(1)) : k;
}

constexpr size_t kPageCacheLimit = 4096;
// The free space of the store's last regions (about 16 MB) takes new blocks first:
// what earlier appends left there (the tables and pages they replaced) is used again.
constexpr uint64_t kReusedRegions = 64;
constexpr int kMaxDepth = 8;

}  // namespace

struct NodeDatabase::TreeUpdate {
    PageType ptype;
    const std::vector<TreeChange>* changes;
    std::vector<std::pair<Ib, uint64_t>>* freed;
    // Writes entries as pages of one level, filled in order, and returns their BTENTRYs.
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>&, uint8_t cbEnt, uint8_t maxEnt, uint8_t level)> write;
};

void NodeDatabase::OpenInPlace() {
    inPlace_ = true;
    committed_ = std::make_unique<AllocationBitmap>(0);
    committedRegions_ = minRegions_;
    // New blocks get BIDs above every one in the BBT (a header may lag behind it): the
    // highest is at the end of the rightmost path.
    Ib ib = header_.root.BREFBBT.ib;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) FormatError("BTPAGE", "cLevel", "tree too deep");
        const uint8_t* page = CommittedPage(ib, ptypeBBT);
        const uint8_t cEnt = page[488], cbEnt = page[490], cLevel = page[491];
        if (cEnt == 0) break;
        const uint8_t* last = page + size_t(cEnt - 1) * cbEnt;
        if (cLevel == 0) {
            Bid bid = Get64(last) & ~Bid(1);
            if (bid >= header_.bidNextB) header_.bidNextB = (bid & ~Bid(3)) + 4;
            break;
        }
        ib = ReadBTEntry(last).BREF.ib;
    }
    // Free space of the last regions, as their AMaps say (only when the maps are valid).
    if (header_.root.fAMapValid != FAMAP_VALID) return;
    AllocationBitmap bits(minRegions_);
    uint8_t page[kPageSize];
    std::vector<std::pair<Ib, uint64_t>> runs;
    for (uint64_t k = minRegions_ > kReusedRegions ? minRegions_ - kReusedRegions : 0; k < minRegions_; ++k) {
        if (file_.ReadAt(RegionStart(k), page, kPageSize) != kPageSize) return;
        try {
            CheckPageTrailer(page, ptypeAMap, RegionStart(k));
        } catch (const MailStoreError&) {
            return;
        }
        bits.LoadRegion(k, page);
        bits.AddFreeRuns(k, runs);
    }
    freeRuns_ = std::move(runs);
    runPos_ = 0;
}

const uint8_t* NodeDatabase::CommittedPage(Ib ib, PageType ptype) const {
    auto it = pageCache_.find(ib);
    if (it != pageCache_.end()) return it->second.data();
    if (pageCache_.size() >= kPageCacheLimit) pageCache_.clear();
    std::array<uint8_t, kPageSize> page;
    if (file_.ReadAt(ib, page.data(), kPageSize) < kPageSize) FormatError("BREF", "ib", std::to_string(ib) + " lies past the end of the file");
    CheckBTPage(page.data(), ptype, ib);
    return pageCache_.emplace(ib, page).first->second.data();
}

bool NodeDatabase::FindCommitted(PageType ptype, uint64_t key, uint8_t* entry) const {
    Ib ib = (ptype == ptypeNBT ? committedHeader_.root.BREFNBT : committedHeader_.root.BREFBBT).ib;
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

void NodeDatabase::WalkCommitted(PageType ptype, const std::function<void(const uint8_t*)>& fn) const {
    WalkCommittedPage((ptype == ptypeNBT ? committedHeader_.root.BREFNBT : committedHeader_.root.BREFBBT).ib, ptype, 0,
                      fn);
}

void NodeDatabase::WalkCommittedPage(Ib ib, PageType ptype, int depth,
                                     const std::function<void(const uint8_t*)>& fn) const {
    if (depth > kMaxDepth) FormatError("BTPAGE", "cLevel", "tree too deep");
    std::array<uint8_t, kPageSize> page;  // a copy: the cache may be emptied below
    std::memcpy(page.data(), CommittedPage(ib, ptype), kPageSize);
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

std::vector<uint8_t> NodeDatabase::UpdatePage(TreeUpdate& u, Ib ib, int depth, size_t begin, size_t end) {
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

Bref NodeDatabase::UpdateTree(PageType ptype, const std::vector<TreeChange>& changes,
                              std::vector<std::pair<Ib, uint64_t>>& freed, std::vector<std::pair<Ib, uint64_t>>& allocated) {
    const Bref root = ptype == ptypeNBT ? committedHeader_.root.BREFNBT : committedHeader_.root.BREFBBT;
    if (changes.empty()) return root;
    TreeUpdate u{ptype, &changes, &freed, {}};
    auto writePage = [&](const uint8_t* entries, size_t n, uint8_t cbEnt, uint8_t maxEnt, uint8_t level) {
        Bid bid = header_.bidNextP++;
        Ib at = AllocatePage();
        uint8_t page[kPageSize];
        BuildBTPage(page, entries, uint8_t(n), maxEnt, cbEnt, level, ptype, bid, at);
        WriteAt(at, page, kPageSize);
        allocated.push_back({at, kPageSize});
        return Bref{bid, at};
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

void NodeDatabase::CommitInPlace() {
    std::vector<std::pair<Ib, uint64_t>> freed, allocated;
    std::vector<TreeChange> nodes, blocks;
    nodes.reserve(nbtChanged_.size());
    for (const auto& [nid, ref] : nbtChanged_) {
        TreeChange c{nid, !ref, {}};
        if (ref) WriteNBTEntry(c.entry, {nid, ref->bidData, ref->bidSub, ref->nidParent});
        nodes.push_back(c);
    }
    blocks.reserve(bbtChanges_.size());
    for (const auto& [bid, ch] : bbtChanges_) {
        const bool gone = ch.info.cRef == 0;
        if (ch.fresh && gone) continue;  // written and given up before any commit referenced it
        TreeChange c{bid, gone, {}};
        if (gone) freed.push_back({ch.info.ib, BlockAllocSize(ch.info.cb)});
        else WriteBBTEntry(c.entry, {{bid, ch.info.ib}, ch.info.cb, ch.info.cRef});
        if (ch.fresh) allocated.push_back({ch.info.ib, BlockAllocSize(ch.info.cb)});
        blocks.push_back(c);
    }
    Root& root = header_.root;
    root.BREFNBT = UpdateTree(ptypeNBT, nodes, freed, allocated);
    root.BREFBBT = UpdateTree(ptypeBBT, blocks, freed, allocated);

    // The store as of the last commit, its allocation maps marked not valid: they are
    // changed in place next, and a reader that finds them so rebuilds them. Written
    // with the new blocks and pages, which nothing references yet.
    uint8_t head[kHeaderSize];
    Header h = committedHeader_;
    h.root.fAMapValid = 0;
    h.Serialize(head);
    WriteAt(0, head, kHeaderSize);
    FlushAndWait();
    Sync();

    const uint64_t regions =
        std::max(committedRegions_, RegionIndex(std::max<Ib>(cursor_, kFirstAMapOffset + 1) - 1) + 1);
    root.ibFileEof = RegionStart(regions);
    root.ibAMapLast = RegionStart(regions - 1);
    file_.Truncate(root.ibFileEof);
    WriteMapsInPlace(regions, freed, allocated);
    WriteDListAndHeader();

    committedHeader_ = header_;
    committedRegions_ = regions;
    minRegions_ = regions;
    committedOnce_ = true;
    mapsWritten_ = true;
    changed_ = false;
    nbtChanged_.clear();
    bbtChanges_.clear();
    pageCache_.clear();
    // New blocks go to the free space the maps just written show in the last regions
    // (the rest of the last one among it), then past the end.
    cursor_ = root.ibFileEof;
}

void NodeDatabase::WriteMapsInPlace(uint64_t regions, const std::vector<std::pair<Ib, uint64_t>>& freed,
                                    const std::vector<std::pair<Ib, uint64_t>>& allocated) {
    Root& root = header_.root;
    AllocationBitmap bits(regions);
    uint8_t page[kPageSize];
    std::set<uint64_t> touched;
    bool whole = committedHeader_.root.fAMapValid != FAMAP_VALID;
    uint64_t free = committedHeader_.root.cbAMapFree;
    if (!whole) {
        for (const auto& [ib, size] : freed) touched.insert(RegionIndex(ib));
        for (const auto& [ib, size] : allocated) touched.insert(RegionIndex(ib));
        for (uint64_t k = committedRegions_; k < regions; ++k) touched.insert(k);
        for (uint64_t k : touched) {
            if (k >= committedRegions_) continue;
            if (file_.ReadAt(RegionStart(k), page, kPageSize) != kPageSize) {
                whole = true;
                break;
            }
            try {
                CheckPageTrailer(page, ptypeAMap, RegionStart(k));
            } catch (const MailStoreError&) {
                whole = true;  // a damaged map: all are rebuilt
                break;
            }
            bits.LoadRegion(k, page);
            free -= std::min(free, bits.FreeBytes(k));
        }
    }
    if (whole) {
        // The maps of the last commit are not to be trusted (a run stopped while it
        // wrote them, or a writer that left them so): all of them rebuilt from what
        // the new trees reference.
        bits = AllocationBitmap(regions);
        touched.clear();
        for (uint64_t k = 0; k < regions; ++k) touched.insert(k);
        ForEachBlock([&](Bid, const BlockInfo& info) { bits.Mark(info.ib, BlockAllocSize(info.cb)); });
        std::function<void(Ib, PageType, int)> pages = [&](Ib ib, PageType ptype, int depth) {
            if (depth > kMaxDepth) FormatError("BTPAGE", "cLevel", "tree too deep");
            bits.Mark(ib, kPageSize);
            std::array<uint8_t, kPageSize> p;
            std::memcpy(p.data(), CommittedPage(ib, ptype), kPageSize);
            if (p[491] == 0) return;
            for (int i = 0; i < p[488]; ++i) pages(ReadBTEntry(p.data() + size_t(i) * kBTEntrySize).BREF.ib, ptype, depth + 1);
        };
        pages(root.BREFNBT.ib, ptypeNBT, 0);
        pages(root.BREFBBT.ib, ptypeBBT, 0);
        free = 0;
    } else {
        for (const auto& [ib, size] : freed) bits.Unmark(ib, size);
        for (const auto& [ib, size] : allocated) bits.Mark(ib, size);
    }
    std::map<uint64_t, std::vector<uint64_t>> fmaps;  // FMap region -> touched regions it describes
    for (uint64_t k : touched) {
        free += bits.FreeBytes(k);
        bits.BuildAMapPage(k, page);
        WriteAt(RegionStart(k), page, kPageSize);
        const bool fresh = whole || k >= committedRegions_;
        if (RegionHasPMap(k) && fresh) {
            AllocationBitmap::BuildPMapPage(k, page);
            WriteAt(PMapOffset(k), page, kPageSize);
        }
        if (RegionHasFPMap(k) && fresh) {
            AllocationBitmap::BuildFPMapPage(k, page);
            WriteAt(FPMapOffset(k), page, kPageSize);
        }
        if (k >= 128) fmaps[128 + (k - 128) / 496 * 496].push_back(k);
    }
    // FMap bytes of the touched regions; the others stay as they are.
    for (const auto& [f, ks] : fmaps) {
        std::memset(page, 0, kPageSize);
        if (!whole && f < committedRegions_ && file_.ReadAt(FMapOffset(f), page, kPageSize) != kPageSize)
            std::memset(page, 0, kPageSize);
        for (uint64_t k : ks) page[k - f] = bits.LongestFreeRun(k);
        WritePageTrailer(page, ptypeFMap, FMapOffset(f), FMapOffset(f));
        WriteAt(FMapOffset(f), page, kPageSize);
    }
    root.cbAMapFree = free;
    root.cbPMapFree = 0;
    root.fAMapValid = FAMAP_VALID;
    // Free space after this commit: the runs not used yet in regions it did not touch,
    // and those of the last regions it touched, as their new bits say.
    std::vector<std::pair<Ib, uint64_t>> runs;
    for (const auto& r : freeRuns_)
        if (!touched.count(RegionIndex(r.first))) runs.push_back(r);
    for (uint64_t k : touched)
        if (k + kReusedRegions >= regions) bits.AddFreeRuns(k, runs);
    std::sort(runs.begin(), runs.end());
    freeRuns_ = std::move(runs);
    runPos_ = 0;
}

}  // namespace bv::mailstore::pst
