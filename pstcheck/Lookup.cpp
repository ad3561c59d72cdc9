// Finding nodes and blocks after the walk: in a sound tree by searching its pages where
// they lie (through a small page cache), in a damaged one in the entries the walk kept.
// Memory stays a few MB whatever the size of the store.
#include <algorithm>

#include "Context.h"

namespace bv::pstcheck {

namespace {
constexpr int kMaxLevels = 8;

size_t LeafEntrySize(uint8_t ptype) { return ptype == ptypeNBT ? 32 : 24; }

NbtEntry NodeFrom(const uint8_t* e, uint64_t off) {
    return NbtEntry{uint32_t(Le64(e)), Le64(e + 8), Le64(e + 16), Le32(e + 24), off};
}

BbtEntry BlockFrom(const uint8_t* e, uint64_t off) {
    BbtEntry b;
    b.bid = Le64(e);
    b.ib = Le64(e + 8);
    b.cb = Le16(e + 16);
    b.cRef = Le16(e + 18);
    b.entryOff = off;
    return b;
}

void ForEachBelow(Context& ctx, uint64_t ib, uint8_t ptype, int depth,
                  const std::function<void(const uint8_t*, uint64_t)>& fn) {
    const uint8_t* cached = ctx.pages.page(ctx.file, ib);
    if (!cached || depth > kMaxLevels + 1) return;
    uint8_t page[kPageSize];  // the cache slot is reused while the children are read
    std::copy_n(cached, kPageSize, page);
    const uint8_t cEnt = page[488], cbEnt = page[490], cLevel = page[491];
    for (int i = 0; i < cEnt; ++i) {
        const uint8_t* e = page + i * cbEnt;
        if (cLevel > 0) ForEachBelow(ctx, Le64(e + 16), ptype, depth + 1, fn);
        else fn(e, ib + uint64_t(i) * cbEnt);
    }
}
}  // namespace

const uint8_t* PageCache::page(const PstFile& file, uint64_t ib) {
    const size_t slot = (ib / kPageSize) % kSlots;
    uint8_t* data = data_.data() + slot * kPageSize;
    if (tags_[slot] != ib) {
        if (!file.read(ib, data, kPageSize)) return nullptr;
        tags_[slot] = ib;
    }
    return data;
}

bool FindLeafEntry(Context& ctx, const Bref& root, uint8_t ptype, uint64_t key, uint8_t* entry, uint64_t& offset) {
    uint64_t ib = root.ib;
    for (int depth = 0; depth <= kMaxLevels + 1; ++depth) {
        const uint8_t* page = ctx.pages.page(ctx.file, ib);
        if (!page) return false;
        const uint8_t cEnt = page[488], cbEnt = page[490], cLevel = page[491];
        // The last entry whose key is not above the one looked for.
        int lo = 0, hi = cEnt;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (Le64(page + mid * cbEnt) <= key) lo = mid + 1; else hi = mid;
        }
        if (lo == 0) return false;
        const uint8_t* e = page + (lo - 1) * cbEnt;
        if (cLevel > 0) {
            ib = Le64(e + 16);
            continue;
        }
        if (Le64(e) != key) return false;
        std::copy_n(e, LeafEntrySize(ptype), entry);
        offset = ib + uint64_t(lo - 1) * cbEnt;
        return true;
    }
    return false;
}

void ForEachLeafEntry(Context& ctx, const Bref& root, uint8_t ptype, const std::function<void(const uint8_t*, uint64_t)>& fn) {
    ForEachBelow(ctx, root.ib, ptype, 0, fn);
}

std::optional<BbtEntry> Context::findBlock(uint64_t bid) {
    // Bit 0 of a BID is reserved; readers ignore it when looking blocks up.
    bid &= ~uint64_t(1);
    std::optional<BbtEntry> found;
    if (bbtState.inMemory) {
        auto it = std::lower_bound(bbt.begin(), bbt.end(), bid, [](const BbtEntry& e, uint64_t b) { return e.bid < b; });
        if (it != bbt.end() && it->bid == bid) found = *it;
    } else {
        uint8_t e[32];
        uint64_t off = 0;
        if (FindLeafEntry(*this, hdr.bbt, ptypeBBT, bid, e, off)) found = BlockFrom(e, off);
    }
    if (found) found->kind = kindOf(*found);
    return found;
}

std::optional<NbtEntry> Context::findNode(uint32_t nid) {
    if (nbtState.inMemory) {
        auto it = std::lower_bound(nbt.begin(), nbt.end(), nid, [](const NbtEntry& e, uint32_t n) { return e.nid < n; });
        if (it != nbt.end() && it->nid == nid) return *it;
        return std::nullopt;
    }
    uint8_t e[32];
    uint64_t off = 0;
    if (FindLeafEntry(*this, hdr.nbt, ptypeNBT, nid, e, off)) return NodeFrom(e, off);
    return std::nullopt;
}

void Context::forEachBlock(const std::function<void(const BbtEntry&)>& fn) {
    if (bbtState.inMemory) {
        for (const BbtEntry& b : bbt) fn(b);
        return;
    }
    ForEachLeafEntry(*this, hdr.bbt, ptypeBBT, [&](const uint8_t* e, uint64_t off) { fn(BlockFrom(e, off)); });
}

void Context::forEachNode(const std::function<void(const NbtEntry&)>& fn) {
    if (nbtState.inMemory) {
        for (const NbtEntry& n : nbt) fn(n);
        return;
    }
    ForEachLeafEntry(*this, hdr.nbt, ptypeNBT, [&](const uint8_t* e, uint64_t off) { fn(NodeFrom(e, off)); });
}

void RefCounts::reset(uint64_t maxBid, uint64_t blocks) {
    nibbles_.clear();
    more_.clear();
    // BIDs handed out one after another fill the range; sparse ones are counted aside.
    const uint64_t range = (maxBid >> 1) + 1;
    if (range <= 16 * blocks + (uint64_t(1) << 20)) nibbles_.assign(range / 2 + 1, 0);
}

void RefCounts::add(uint64_t bid) {
    const uint64_t i = bid >> 1;
    if (!(bid & 1) && i / 2 < nibbles_.size()) {
        uint8_t& byte = nibbles_[i / 2];
        const unsigned shift = (i & 1) * 4, n = (byte >> shift) & 0xF;
        if (n < 15) {
            byte = uint8_t((byte & ~(0xF << shift)) | ((n + 1) << shift));
            return;
        }
    }
    ++more_[bid];
}

uint32_t RefCounts::get(uint64_t bid) const {
    const uint64_t i = bid >> 1;
    uint32_t n = !(bid & 1) && i / 2 < nibbles_.size() ? (nibbles_[i / 2] >> ((i & 1) * 4)) & 0xF : 0;
    auto it = more_.find(bid);
    return it == more_.end() ? n : n + it->second;
}

}  // namespace bv::pstcheck
