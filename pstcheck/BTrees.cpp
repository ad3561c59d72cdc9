// The node and block B-trees ([MS-PST] §2.2.2.7.7): page layout, levels, key order,
// child links. A sound tree is searched where it lies later; the leaf entries of one that
// is not are collected for the block and node checks.
#include <algorithm>
#include <unordered_set>

#include "Context.h"

namespace bv::pstcheck {

namespace {
constexpr int kMaxLevels = 8;

// BIDs of the pages of both trees: a bit each while they are dense (as handed out one after
// another from bidNextP), a set for the others.
class PageBids {
public:
    explicit PageBids(uint64_t bidNextP) : bits_(std::min<uint64_t>(bidNextP >> 2, uint64_t(1) << 26) / 64 + 1, 0) {}
    bool insert(uint64_t bid) {
        const uint64_t i = bid >> 2;
        if (!(bid & 3) && i / 64 < bits_.size()) {
            uint64_t& w = bits_[i / 64];
            const uint64_t m = uint64_t(1) << (i % 64);
            if (w & m) return false;
            w |= m;
            return true;
        }
        return others_.insert(bid).second;
    }

private:
    std::vector<uint64_t> bits_;
    std::unordered_set<uint64_t> others_;
};

class TreeWalker {
public:
    // Walks one tree, reporting what is wrong with its pages, and gives fn every leaf entry
    // reached. A quiet walk reports nothing and counts and marks nothing: it only reaches
    // the same entries again.
    TreeWalker(Context& ctx, uint8_t ptype, PageBids& pageBids, bool quiet, std::function<void(const uint8_t*, uint64_t)> fn)
        : ctx_(ctx), ptype_(ptype), pageBids_(pageBids), quiet_(quiet), fn_(std::move(fn)), seen_(ctx.file.size() / kPageSize / 64 + 1, 0) {
        if (quiet_) ++ctx_.muted;
    }
    ~TreeWalker() {
        if (quiet_) --ctx_.muted;
    }

    void walk(const Bref& ref, int expectLevel, bool haveKey, uint64_t key, bool haveUpper, uint64_t upper, int depth) {
        const std::string name = std::string(ptype_ == ptypeNBT ? "NBT" : "BBT") + " page " + Hex(ref.ib);
        if (depth > kMaxLevels + 1) {
            ctx_.error("btree.depth", name, "cLevel", ref.ib, "at most 8 intermediate levels", "deeper tree");
            return;
        }
        if (ref.ib % kPageSize != 0 || ref.ib < kFirstAMap || ref.ib + kPageSize > ctx_.file.size() ||
            ref.ib + kPageSize > ctx_.hdr.ibFileEof) {
            ctx_.error("btree.bref_ib", name, "BREF.ib", ref.ib, "512-aligned page inside the file", Hex(ref.ib));
            return;
        }
        uint64_t& seenWord = seen_[ref.ib / kPageSize / 64];
        const uint64_t seenBit = uint64_t(1) << (ref.ib / kPageSize % 64);
        if (seenWord & seenBit) {
            ctx_.error("btree.loop", name, "BREF.ib", ref.ib, "each page reached once", "page reached again");
            return;
        }
        seenWord |= seenBit;
        uint8_t page[kPageSize];
        if (!ctx_.file.read(ref.ib, page, sizeof page)) return;
        uint64_t bid = 0;
        CheckPageTrailer(ctx_, ref.ib, page, ptype_, &bid);
        if (bid != ref.bid)
            ctx_.error("btree.bref_bid", name, "pageTrailer.bid", ref.ib + 504, Hex(ref.bid) + " (from parent BREF)", Hex(bid));
        if (!quiet_) {
            ++ctx_.result.summary.pages;
            ctx_.maxPageBid = std::max(ctx_.maxPageBid, bid);
            if (!pageBids_.insert(bid))
                ctx_.error("page.bid_duplicate", name, "pageTrailer.bid", ref.ib + 504, "a BID no other page has", Hex(bid));
            if (ctx_.markPage(ref.ib))
                ctx_.error("alloc.overlap", name, "", ref.ib, "a page of its own", "space shared with another page or block");
        }

        const uint8_t cEnt = page[488], cEntMax = page[489], cbEnt = page[490], cLevel = page[491];
        if (expectLevel >= 0 && cLevel != expectLevel)
            ctx_.error("btree.level", name, "cLevel", ref.ib + 491, std::to_string(expectLevel), std::to_string(cLevel));
        if (cLevel > kMaxLevels) {
            ctx_.error("btree.level", name, "cLevel", ref.ib + 491, "<= 8", std::to_string(cLevel));
            return;
        }
        const uint8_t wantCb = cLevel > 0 ? 24 : (ptype_ == ptypeNBT ? 32 : 24);
        if (cbEnt != wantCb) {
            ctx_.error("btree.cb_ent", name, "cbEnt", ref.ib + 490, std::to_string(wantCb), std::to_string(cbEnt));
            return;
        }
        if (cEntMax != 488 / wantCb)
            ctx_.error("btree.c_ent_max", name, "cEntMax", ref.ib + 489, std::to_string(488 / wantCb), std::to_string(cEntMax));
        if (cEnt > 488 / wantCb) {
            ctx_.error("btree.c_ent", name, "cEnt", ref.ib + 488, "<= " + std::to_string(488 / wantCb), std::to_string(cEnt));
            return;
        }
        if (cEnt == 0 && depth > 0)
            ctx_.warn("btree.empty", name, "cEnt", ref.ib + 488, "at least one entry below the root", "0");
        if (Le32(page + 492) != 0)
            ctx_.warn("btree.padding", name, "dwPadding", ref.ib + 492, "0", Hex(Le32(page + 492)));

        uint64_t prev = 0;
        for (int i = 0; i < cEnt; ++i) {
            const uint8_t* e = page + i * cbEnt;
            const uint64_t off = ref.ib + uint64_t(i) * cbEnt;
            const uint64_t k = Le64(e);
            const std::string field = "rgentries[" + std::to_string(i) + "]";
            if (i == 0 && haveKey && k != key)
                ctx_.error("btree.key", name, field + ".key", off, Hex(key) + " (btkey in parent)", Hex(k));
            if (i > 0 && k <= prev)
                ctx_.error("btree.order", name, field + ".key", off, "> " + Hex(prev), Hex(k), "keys must ascend strictly");
            if (haveUpper && k >= upper)
                ctx_.error("btree.range", name, field + ".key", off, "< " + Hex(upper) + " (next btkey in parent)", Hex(k));
            prev = k;
            if (cLevel > 0) {
                const bool last = i + 1 == cEnt;
                const uint64_t next = last ? upper : Le64(e + cbEnt);
                walk(Bref{Le64(e + 8), Le64(e + 16)}, cLevel - 1, true, k, last ? haveUpper : true, next, depth + 1);
            } else {
                if (ptype_ == ptypeNBT && (k >> 32))
                    ctx_.error("nbt.nid", name, field + ".nid", off, "high dword 0", Hex(k));
                if (ptype_ == ptypeBBT && (k & 1))
                    ctx_.warn("bbt.bid", name, field + ".BREF.bid", off, "bit 0 clear (reserved)", Hex(k));
                fn_(e, off);
            }
        }
    }

private:
    Context& ctx_;
    uint8_t ptype_;
    PageBids& pageBids_;
    bool quiet_;
    std::function<void(const uint8_t*, uint64_t)> fn_;
    std::vector<uint64_t> seen_;  // a bit per page of the file: reached already
};

// Walks one tree; when it is not sound, walks it again quietly to hold its entries.
void WalkTree(Context& ctx, uint8_t ptype, PageBids& pageBids) {
    const bool nbt = ptype == ptypeNBT;
    TreeState& state = nbt ? ctx.nbtState : ctx.bbtState;
    const size_t findings = ctx.result.summary.errors + ctx.result.summary.warnings;
    TreeWalker(ctx, ptype, pageBids, false, [&](const uint8_t* e, uint64_t) {
        const uint64_t k = Le64(e);
        if (state.entries && k <= state.lastKey) state.sound = false;
        state.lastKey = k;
        ++state.entries;
        if (!nbt) {
            ctx.maxBlockBid = std::max(ctx.maxBlockBid, k);
            return;
        }
        const uint32_t nid = uint32_t(k), t = nid & 0x1F, idx = nid >> 5;
        if (idx >= ctx.maxNidIndex[t]) {
            ctx.maxNidIndex[t] = idx;
            ctx.maxNid[t] = nid;
        }
    }).walk(nbt ? ctx.hdr.nbt : ctx.hdr.bbt, -1, false, 0, false, 0, 0);
    if (ctx.result.summary.errors + ctx.result.summary.warnings != findings) state.sound = false;
    if (state.sound) return;
    state.inMemory = true;
    TreeWalker(ctx, ptype, pageBids, true, [&](const uint8_t* e, uint64_t off) {
        if (nbt) ctx.nbt.push_back(NbtEntry{uint32_t(Le64(e)), Le64(e + 8), Le64(e + 16), Le32(e + 24), off});
        else ctx.bbt.push_back(BbtEntry{Le64(e), Le64(e + 8), Le16(e + 16), Le16(e + 18), off, 0, BlockKind::Unknown});
    }).walk(nbt ? ctx.hdr.nbt : ctx.hdr.bbt, -1, false, 0, false, 0, 0);
}
}  // namespace

void WalkBTrees(Context& ctx) {
    PageBids pageBids(ctx.hdr.bidNextP);
    WalkTree(ctx, ptypeNBT, pageBids);
    WalkTree(ctx, ptypeBBT, pageBids);

    // Keep the first entry of any duplicate key; the order checks above already reported disorder.
    std::stable_sort(ctx.nbt.begin(), ctx.nbt.end(), [](const NbtEntry& a, const NbtEntry& b) { return a.nid < b.nid; });
    for (size_t i = 1; i < ctx.nbt.size(); ++i)
        if (ctx.nbt[i].nid == ctx.nbt[i - 1].nid)
            ctx.error("nbt.duplicate", "NBT entry", "nid", ctx.nbt[i].entryOff, "unique NID",
                      Hex(ctx.nbt[i].nid) + " listed twice");
    ctx.nbt.erase(std::unique(ctx.nbt.begin(), ctx.nbt.end(), [](const NbtEntry& a, const NbtEntry& b) { return a.nid == b.nid; }),
                  ctx.nbt.end());
    std::stable_sort(ctx.bbt.begin(), ctx.bbt.end(), [](const BbtEntry& a, const BbtEntry& b) { return a.bid < b.bid; });
    for (size_t i = 1; i < ctx.bbt.size(); ++i)
        if (ctx.bbt[i].bid == ctx.bbt[i - 1].bid)
            ctx.error("bbt.duplicate", "BBT entry", "bid", ctx.bbt[i].entryOff, "unique BID", Hex(ctx.bbt[i].bid) + " listed twice");
    ctx.bbt.erase(std::unique(ctx.bbt.begin(), ctx.bbt.end(), [](const BbtEntry& a, const BbtEntry& b) { return a.bid == b.bid; }),
                  ctx.bbt.end());
    if (ctx.nbtState.inMemory) ctx.nbtState.entries = ctx.nbt.size();
    if (ctx.bbtState.inMemory) ctx.bbtState.entries = ctx.bbt.size();
}

}  // namespace bv::pstcheck
