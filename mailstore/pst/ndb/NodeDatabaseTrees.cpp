// [MS-PST] §2.2.2.7.7: the NBT and BBT of the node database. Their entries live in two
// files beside the store, sorted by key, with the changes that come out of order kept
// in memory; both trees are written from a merge of the two (Commit).
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "mailstore/pst/ndb/AllocationMap.h"
#include "mailstore/pst/ndb/NodeDatabase.h"

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

}  // namespace

void NodeDatabase::StartSpill(const std::filesystem::path& storePath) {
    std::filesystem::path dir = storePath.parent_path().empty() ? std::filesystem::path(".") : storePath.parent_path();
    nbtLog_ = std::make_unique<SpillFile>(dir, kNodeRecord);
    bbtLog_ = std::make_unique<SpillFile>(dir, kBlockRecord);
}

void NodeDatabase::AppendNodeEntry(Nid nid, const NodeRef& ref) {
    uint8_t rec[kNodeRecord] = {};
    Put64(rec, nid);
    Put64(rec + 8, ref.bidData);
    Put64(rec + 16, ref.bidSub);
    Put32(rec + 24, ref.nidParent);
    nbtLog_->Append(rec);
}

void NodeDatabase::AppendBlockEntry(Bid bid, const BlockInfo& info) {
    uint8_t rec[kBlockRecord] = {};
    Put64(rec, bid);
    Put64(rec + 8, info.ib);
    Put16(rec + 16, info.cb);
    Put16(rec + 18, info.cRef);
    bbtLog_->Append(rec);
}

void NodeDatabase::LoadBTree(Ib ib, PageType ptype, int depth) {
    LoadBTreePage(ib, ptype, depth);
    // New blocks are entered after the old ones: their BIDs must be higher.
    if (ptype == ptypeBBT && bbtLog_->Count() && LastKey(*bbtLog_) >= header_.bidNextB)
        header_.bidNextB = (LastKey(*bbtLog_) & ~Bid(3)) + 4;
}

void NodeDatabase::LoadBTreePage(Ib ib, PageType ptype, int depth) {
    if (depth > 8) FormatError("BTPAGE", "cLevel", "tree too deep");
    uint8_t page[kPageSize];
    ReadAt(ib, page, kPageSize);
    BTPageInfo info = CheckBTPage(page, ptype, ib);
    pages_.push_back(ib);
    for (int i = 0; i < info.cEnt; ++i) {
        const uint8_t* e = page + size_t(i) * info.cbEnt;
        if (info.cLevel > 0) {
            LoadBTreePage(ReadBTEntry(e).BREF.ib, ptype, depth + 1);
        } else if (ptype == ptypeNBT) {
            NBTENTRY n = ReadNBTEntry(e);
            if (nbtLog_->Count() && n.nid <= LastKey(*nbtLog_)) FormatError("NBTENTRY", "nid", "out of order");
            AppendNodeEntry(n.nid, {n.bidData, n.bidSub, n.nidParent});
        } else {
            BBTENTRY b = ReadBBTEntry(e);
            Bid bid = b.BREF.bid & ~Bid(1);
            if (bbtLog_->Count() && bid <= LastKey(*bbtLog_)) FormatError("BBTENTRY", "BREF.bid", "out of order");
            AppendBlockEntry(bid, {b.BREF.ib, b.cb, b.cRef});
        }
    }
}

void NodeDatabase::SetNode(Nid nid, const NodeRef& ref) {
    changed_ = true;
    // A NID above every one in the file and not changed before (a new message) goes
    // straight to the file; anything else is a change.
    if (!inPlace_ && (nbtLog_->Count() == 0 || nid > LastKey(*nbtLog_)) && !nbtChanged_.count(nid)) {
        AppendNodeEntry(nid, ref);
        return;
    }
    std::optional<NodeRef> old = FindNode(nid);
    nbtChanged_[nid] = ref;
    if (old) {
        if (old->bidData && old->bidData != ref.bidData) ReleaseDataTree(old->bidData);
        if (old->bidSub && old->bidSub != ref.bidSub) ReleaseSubnodeTree(old->bidSub);
    }
}

void NodeDatabase::ReplaceNodeKeepingBlocks(Nid nid, const NodeRef& ref) {
    changed_ = true;
    if (!inPlace_ && (nbtLog_->Count() == 0 || nid > LastKey(*nbtLog_)) && !nbtChanged_.count(nid)) {
        AppendNodeEntry(nid, ref);
        return;
    }
    nbtChanged_[nid] = ref;
}

void NodeDatabase::RemoveNode(Nid nid) {
    changed_ = true;
    std::optional<NodeRef> old = FindNode(nid);
    if (!old) return;
    nbtChanged_[nid] = std::nullopt;
    if (old->bidData) ReleaseDataTree(old->bidData);
    if (old->bidSub) ReleaseSubnodeTree(old->bidSub);
}

std::optional<NodeRef> NodeDatabase::FindNode(Nid nid) const {
    auto it = nbtChanged_.find(nid);
    if (it != nbtChanged_.end()) return it->second;
    if (inPlace_) {
        uint8_t e[kNBTEntrySize];
        if (!FindCommitted(ptypeNBT, nid, e)) return std::nullopt;
        NBTENTRY n = ReadNBTEntry(e);
        return NodeRef{n.bidData, n.bidSub, n.nidParent};
    }
    auto i = FindRecord(*nbtLog_, nid);
    if (!i) return std::nullopt;
    uint8_t rec[kNodeRecord];
    nbtLog_->Read(*i, rec);
    return NodeRef{Get64(rec + 8), Get64(rec + 16), Get32(rec + 24)};
}

void NodeDatabase::ForEachNode(const std::function<void(Nid, const NodeRef&)>& fn) const {
    if (inPlace_) {
        auto changed = nbtChanged_.begin();
        WalkCommitted(ptypeNBT, [&](const uint8_t* e) {
            NBTENTRY n = ReadNBTEntry(e);
            for (; changed != nbtChanged_.end() && changed->first < n.nid; ++changed)
                if (changed->second) fn(changed->first, *changed->second);
            if (changed != nbtChanged_.end() && changed->first == n.nid) {
                if (changed->second) fn(changed->first, *changed->second);
                ++changed;
                return;
            }
            fn(n.nid, NodeRef{n.bidData, n.bidSub, n.nidParent});
        });
        for (; changed != nbtChanged_.end(); ++changed)
            if (changed->second) fn(changed->first, *changed->second);
        return;
    }
    SpillFile::Cursor cursor(*nbtLog_);
    const uint8_t* rec = cursor.Next();
    auto changed = nbtChanged_.begin();
    while (rec || changed != nbtChanged_.end()) {
        Nid logNid = rec ? Nid(Get64(rec)) : 0;
        if (changed != nbtChanged_.end() && (!rec || changed->first <= logNid)) {
            if (changed->second) fn(changed->first, *changed->second);
            if (rec && changed->first == logNid) rec = cursor.Next();
            ++changed;
        } else {
            fn(logNid, NodeRef{Get64(rec + 8), Get64(rec + 16), Get32(rec + 24)});
            rec = cursor.Next();
        }
    }
}

std::optional<NodeDatabase::BlockInfo> NodeDatabase::FindBlock(Bid bid) const {
    bid &= ~Bid(1);
    if (inPlace_) {
        auto c = bbtChanges_.find(bid);
        if (c != bbtChanges_.end()) return c->second.info.cRef ? std::optional(c->second.info) : std::nullopt;
        uint8_t e[kBBTEntrySize];
        if (!FindCommitted(ptypeBBT, bid, e)) return std::nullopt;
        BBTENTRY b = ReadBBTEntry(e);
        return BlockInfo{b.BREF.ib, b.cb, b.cRef};
    }
    auto it = bbtChanged_.find(bid);
    if (it != bbtChanged_.end() && it->second == 0) return std::nullopt;
    auto i = FindRecord(*bbtLog_, bid);
    if (!i) return std::nullopt;
    uint8_t rec[kBlockRecord];
    bbtLog_->Read(*i, rec);
    BlockInfo info{Get64(rec + 8), Get16(rec + 16), Get16(rec + 18)};
    if (it != bbtChanged_.end()) info.cRef = it->second;
    return info;
}

void NodeDatabase::ForEachBlock(const std::function<void(Bid, const BlockInfo&)>& fn) const {
    if (inPlace_) {
        auto changed = bbtChanges_.begin();
        auto give = [&](Bid bid, const BlockChange& c) {
            if (c.info.cRef) fn(bid, c.info);
        };
        WalkCommitted(ptypeBBT, [&](const uint8_t* e) {
            BBTENTRY b = ReadBBTEntry(e);
            const Bid bid = b.BREF.bid & ~Bid(1);
            for (; changed != bbtChanges_.end() && changed->first < bid; ++changed) give(changed->first, changed->second);
            if (changed != bbtChanges_.end() && changed->first == bid) {
                give(changed->first, changed->second);
                ++changed;
                return;
            }
            fn(bid, BlockInfo{b.BREF.ib, b.cb, b.cRef});
        });
        for (; changed != bbtChanges_.end(); ++changed) give(changed->first, changed->second);
        return;
    }
    SpillFile::Cursor cursor(*bbtLog_);
    auto changed = bbtChanged_.begin();
    while (const uint8_t* rec = cursor.Next()) {
        Bid bid = Get64(rec);
        BlockInfo info{Get64(rec + 8), Get16(rec + 16), Get16(rec + 18)};
        while (changed != bbtChanged_.end() && changed->first < bid) ++changed;
        if (changed != bbtChanged_.end() && changed->first == bid) {
            if (changed->second == 0) continue;
            info.cRef = changed->second;
        }
        fn(bid, info);
    }
}

void NodeDatabase::AddReference(Bid bid) {
    changed_ = true;
    std::optional<BlockInfo> info = bid ? FindBlock(bid) : std::nullopt;
    if (!info) return;
    SetReferences(bid, *info, uint16_t(info->cRef + 1));
}

void NodeDatabase::ReleaseBlock(Bid bid) {
    changed_ = true;
    std::optional<BlockInfo> info = FindBlock(bid);
    if (!info) return;
    SetReferences(bid, *info, info->cRef > 2 ? uint16_t(info->cRef - 1) : 0);
}

void NodeDatabase::SetReferences(Bid bid, const BlockInfo& info, uint16_t cRef) {
    bid &= ~Bid(1);
    if (!inPlace_) {
        bbtChanged_[bid] = cRef;
        return;
    }
    auto it = bbtChanges_.find(bid);
    const bool fresh = it != bbtChanges_.end() && it->second.fresh;
    BlockInfo changed = info;
    changed.cRef = cRef;
    bbtChanges_[bid] = {changed, fresh};
}

Bref NodeDatabase::WriteBTree(PageType ptype, uint64_t count, uint8_t cbLeaf, uint8_t maxLeaf,
                             const std::function<void(const BTreeEntrySink&)>& produce) {
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
    pages_.reserve(pages_.size() + totalPages);
    Bref root{};
    auto add = [&](auto& self, size_t k, const uint8_t* entry) -> void {
        Level& l = levels[k];
        std::memcpy(l.buf + l.filled * l.cbEnt, entry, l.cbEnt);
        if (++l.filled < l.PageFill()) return;
        Bid bid = header_.bidNextP++;
        Ib ib = AllocatePage();
        uint8_t page[kPageSize];
        BuildBTPage(page, l.buf, uint8_t(l.filled), l.maxEnt, l.cbEnt, uint8_t(k), ptype, bid, ib);
        WriteAt(ib, page, kPageSize);
        pages_.push_back(ib);
        BTENTRY be;
        be.btkey = Get64(l.buf);
        be.BREF = {bid, ib};
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
        Bid bid = header_.bidNextP++;
        Ib ib = AllocatePage();
        uint8_t page[kPageSize];
        BuildBTPage(page, levels[0].buf, 0, maxLeaf, cbLeaf, 0, ptype, bid, ib);
        WriteAt(ib, page, kPageSize);
        pages_.push_back(ib);
        root = {bid, ib};
    }
    return root;
}

}  // namespace bv::mailstore::pst
