// Heap-on-node ([MS-PST] §2.3.1) and BTree-on-heap (§2.3.2): a node's heap loaded and
// checked block by block, its items resolved, and a BTH walked in key order.
#include "Ltp.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace bv::pstcheck {

namespace {
constexpr size_t kMaxHeapItem = 3580;
constexpr size_t kMaxHeapBlocks = 4096;  // 32 MB of heap; larger heaps are not loaded

uint64_t KeyValue(const uint8_t* p, uint8_t cb) {
    uint64_t v = 0;
    for (int i = int(std::min<uint8_t>(cb, 8)) - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

bool KnownClientSig(uint8_t s) {
    switch (s) {
    case 0x6C: case 0x7C: case 0x8C: case 0x9C: case 0xA5: case 0xAC: case 0xB5: case 0xBC: case 0xCC: return true;
    }
    return false;
}

// Short rendering of a value for findings: hex of up to 16 bytes and the size.
std::string Bytes(const std::vector<uint8_t>& v) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < v.size() && i < 16; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", v[i]);
        s += buf;
    }
    if (v.size() > 16) s += "...";
    return s + " (" + std::to_string(v.size()) + " bytes)";
}

bool Heap::load(Context& ctx, uint64_t bidData, const std::string& name) {
    ctx_ = &ctx;
    name_ = name;
    if (!ctx.dataBlocks(bidData, bids_) || bids_.empty()) {
        const auto e = ctx.findBlock(bidData);
        ctx.error("hn.data", name, "bidData", e ? e->ib : 0, "readable data tree", Hex(bidData));
        return false;
    }
    if (bids_.size() > kMaxHeapBlocks) {
        ctx.warn("hn.size", name, "bidData", ctx.findBlock(bidData)->ib, "<= " + std::to_string(kMaxHeapBlocks) + " heap blocks",
                 std::to_string(bids_.size()), "heap not checked");
        return false;
    }
    if (!ctx.muted) ++ctx.result.summary.heaps;
    blocks_.resize(bids_.size());
    allocs_.resize(bids_.size());
    std::vector<size_t> freeBytes(bids_.size(), 0);
    for (size_t i = 0; i < bids_.size(); ++i) {
        std::vector<uint8_t>& b = blocks_[i];
        const auto e = ctx.findBlock(bids_[i]);
        const uint64_t ib = e ? e->ib : 0;
        const std::string S = name + " heap block " + std::to_string(i) + " (" + Hex(bids_[i]) + ")";
        if (!ctx.readBlock(bids_[i], b)) return false;
        const size_t hdrSize = i == 0 ? 12 : (i % 128 == 8 ? 66 : 2);
        if (b.size() < hdrSize + 4) {
            ctx.error("hn.block_size", S, "cb", ib, ">= " + std::to_string(hdrSize + 4), std::to_string(b.size()));
            return false;
        }
        if (i == 0) {
            if (b[2] != 0xEC) {
                // Often the data is encoded with another method than bCryptMethod says.
                std::string note;
                uint8_t raw[4];
                if (e && ctx.file.read(e->ib, raw, sizeof raw)) {
                    for (uint8_t method : {0, 1, 2}) {
                        uint8_t t[4] = {raw[0], raw[1], raw[2], raw[3]};
                        PstDecode(method, bids_[i], t, sizeof t);
                        if (method != ctx.hdr.cryptMethod && t[2] == 0xEC)
                            note = "the block decodes as a heap with bCryptMethod " + std::to_string(method) + ", the header says " +
                                   std::to_string(ctx.hdr.cryptMethod);
                    }
                }
                ctx.error("hn.signature", S, "HNHDR.bSig", ib + 2, "0xEC", Hex(b[2]), note);
                return false;
            }
            clientSig = b[3];
            hidUserRoot = Le32(b.data() + 4);
            if (!KnownClientSig(clientSig))
                ctx.error("hn.client_sig", S, "HNHDR.bClientSig", ib + 3, "a known client signature (0xBC PC, 0x7C TC...)",
                          Hex(clientSig));
        }
        const uint16_t ibHnpm = Le16(b.data());
        if (ibHnpm < hdrSize || size_t(ibHnpm) + 4 > b.size()) {
            ctx.error("hn.page_map", S, "ibHnpm", ib, "inside the block after the header", std::to_string(ibHnpm),
                      "cb " + std::to_string(b.size()));
            return false;
        }
        const uint16_t cAlloc = Le16(b.data() + ibHnpm), cFree = Le16(b.data() + ibHnpm + 2);
        if (size_t(ibHnpm) + 4 + 2 * (size_t(cAlloc) + 1) > b.size()) {
            ctx.error("hn.page_map", S, "HNPAGEMAP.cAlloc", ib + ibHnpm, "page map inside the block", std::to_string(cAlloc));
            return false;
        }
        if (cFree > cAlloc)
            ctx.error("hn.page_map", S, "HNPAGEMAP.cFree", ib + ibHnpm + 2, "<= cAlloc " + std::to_string(cAlloc),
                      std::to_string(cFree));
        std::vector<uint16_t>& a = allocs_[i];
        a.resize(cAlloc + 1);
        for (size_t k = 0; k <= cAlloc; ++k) a[k] = Le16(b.data() + ibHnpm + 4 + 2 * k);
        if (a[0] != hdrSize)
            ctx.error("hn.page_map", S, "HNPAGEMAP.rgibAlloc[0]", ib + ibHnpm + 4, std::to_string(hdrSize) + " (end of the header)",
                      std::to_string(a[0]));
        size_t freeItems = 0;
        for (size_t k = 1; k <= cAlloc; ++k) {
            if (a[k] < a[k - 1]) {
                ctx.error("hn.page_map", S, "HNPAGEMAP.rgibAlloc[" + std::to_string(k) + "]", ib + ibHnpm + 4 + 2 * k,
                          ">= " + std::to_string(a[k - 1]), std::to_string(a[k]), "offsets must not decrease");
                a.resize(k);  // keep only the consistent part
                break;
            }
            if (a[k] == a[k - 1]) ++freeItems;
            if (size_t(a[k] - a[k - 1]) > kMaxHeapItem)
                ctx.error("hn.item_size", S, "HNPAGEMAP.rgibAlloc[" + std::to_string(k) + "]", ib + ibHnpm + 4 + 2 * k,
                          "items of at most 3580 bytes", std::to_string(a[k] - a[k - 1]));
        }
        if (a.back() > ibHnpm)
            ctx.error("hn.page_map", S, "HNPAGEMAP.rgibAlloc[cAlloc]", ib + ibHnpm, "<= ibHnpm " + std::to_string(ibHnpm),
                      std::to_string(a.back()), "allocations overlap the page map");
        const size_t mapEnd = size_t(ibHnpm) + 4 + 2 * (size_t(cAlloc) + 1);
        freeBytes[i] = (ibHnpm - std::min<size_t>(a.back(), ibHnpm)) + (b.size() - std::min(mapEnd, b.size())) + (kMaxBlockData - b.size());
        if (freeItems != cFree)
            ctx.warn("hn.free_count", S, "HNPAGEMAP.cFree", ib + ibHnpm + 2, std::to_string(freeItems) + " (empty items)",
                     std::to_string(cFree));
    }
    // rgbFillLevel (§2.3.1.2): one nibble per block, in HNHDR for blocks 0-7 and in the
    // HNBITMAPHDR of block 8, 136, ... for the 128 blocks from there.
    for (size_t i = 0; i < bids_.size(); ++i) {
        const size_t holder = i < 8 ? 0 : (i - 8) / 128 * 128 + 8;
        const size_t slot = i < 8 ? i : i - holder;
        const size_t at = (holder == 0 ? 8 : 2) + slot / 2;
        const uint8_t stored = (blocks_[holder][at] >> (slot % 2 ? 4 : 0)) & 0xF;
        const size_t f = freeBytes[i];
        static const size_t kBounds[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
        uint8_t want = 15;
        for (uint8_t k = 0; k < 15; ++k)
            if (f >= kBounds[k]) { want = k; break; }
        // Outlook's own heaps differ by one level near a boundary (it counts a few bytes more as
        // free), so only a larger difference is reported.
        if (std::abs(int(stored) - int(want)) > 1) {
            const auto e = ctx.findBlock(bids_[holder]);
            ctx.warn("hn.fill_level", name + " heap block " + std::to_string(i), holder == 0 ? "HNHDR.rgbFillLevel" : "HNBITMAPHDR.rgbFillLevel",
                     e ? e->ib + at : 0, Hex(want) + " (" + std::to_string(f) + " bytes free)", Hex(stored));
        }
    }
    return true;
}

uint64_t Heap::fileOffset(uint32_t hid) const {
    const uint32_t index = (hid >> 5) & 0x7FF, block = hid >> 16;
    if (block >= bids_.size() || !ctx_) return 0;
    const auto e = ctx_->findBlock(bids_[block]);
    if (!e) return 0;
    if ((hid & 0x1F) == 0 && index >= 1 && index < allocs_[block].size()) return e->ib + allocs_[block][index - 1];
    return e->ib;
}

bool Heap::item(uint32_t hid, const uint8_t*& data, size_t& size, const char* field) {
    const uint32_t type = hid & 0x1F, index = (hid >> 5) & 0x7FF, block = hid >> 16;
    std::string why;
    if (type != 0) why = "hidType not 0";
    else if (block >= blocks_.size()) why = "block index " + std::to_string(block) + " beyond " + std::to_string(blocks_.size()) + " block(s)";
    else if (index == 0 || index >= allocs_[block].size()) why = "index " + std::to_string(index) + " not allocated";
    else if (allocs_[block][index] > blocks_[block].size()) why = "item beyond the block";
    if (!why.empty()) {
        if (field) ctx_->error("hn.hid", name_, field, fileOffset(0x20), "a HID that resolves", Hex(hid), why);
        return false;
    }
    data = blocks_[block].data() + allocs_[block][index - 1];
    size = allocs_[block][index] - allocs_[block][index - 1];
    return true;
}

bool WalkBth(Context& ctx, Heap& heap, uint32_t hidHeader, uint8_t cbKey, uint8_t cbEnt, const std::string& name,
             const std::function<void(const BthRecord&)>& visit) {
    const uint8_t* h;
    size_t n;
    if (!heap.item(hidHeader, h, n, "BTHHEADER")) return false;
    if (n != 8) {
        ctx.error("bth.header", name, "BTHHEADER", heap.fileOffset(hidHeader), "8 bytes", std::to_string(n));
        return false;
    }
    if (h[0] != 0xB5) {
        ctx.error("bth.header", name, "BTHHEADER.bType", heap.fileOffset(hidHeader), "0xB5", Hex(h[0]));
        return false;
    }
    if (h[1] != cbKey || h[2] != cbEnt) {
        ctx.error("bth.header", name, "BTHHEADER.cbKey/cbEnt", heap.fileOffset(hidHeader) + 1, std::to_string(cbKey) + "/" + std::to_string(cbEnt),
                  std::to_string(h[1]) + "/" + std::to_string(h[2]));
        return false;
    }
    const uint8_t levels = h[3];
    const uint32_t root = Le32(h + 4);
    if (root == 0) return true;
    if (levels > 8) {
        ctx.error("bth.header", name, "BTHHEADER.bIdxLevels", heap.fileOffset(hidHeader) + 3, "<= 8", std::to_string(levels));
        return false;
    }
    bool ok = true;
    bool havePrev = false;
    uint64_t prev = 0;
    std::unordered_set<uint32_t> seen;  // an index record pointing at a reached item again would loop or repeat
    std::function<void(uint32_t, int, bool, uint64_t)> walk = [&](uint32_t hid, int level, bool haveKey, uint64_t key) {
        const uint8_t* p;
        size_t sz;
        if (!seen.insert(hid).second) {
            ctx.error("bth.loop", name, "records " + Hex(hid), heap.fileOffset(hid), "each BTH item reached once", "reached again");
            ok = false;
            return;
        }
        if (!heap.item(hid, p, sz, level ? "BTH index record" : "BTH leaf records")) {
            ok = false;
            return;
        }
        const size_t rec = cbKey + (level ? 4 : cbEnt);
        if (sz % rec != 0 || sz == 0) {
            ctx.error("bth.records", name, "records " + Hex(hid), heap.fileOffset(hid), "a non-empty multiple of " + std::to_string(rec) + " bytes",
                      std::to_string(sz));
            ok = false;
            return;
        }
        for (size_t i = 0; i < sz / rec; ++i) {
            const uint8_t* r = p + i * rec;
            const uint64_t k = KeyValue(r, cbKey);
            const uint64_t off = heap.fileOffset(hid) + i * rec;
            if (i == 0 && haveKey && k != key)
                ctx.error("bth.key", name, "records " + Hex(hid), off, Hex(key) + " (key in the index record)", Hex(k));
            if (level) {
                walk(Le32(r + cbKey), level - 1, true, k);
            } else {
                if (havePrev && k <= prev)
                    ctx.error("bth.order", name, "key", off, "> " + Hex(prev), Hex(k), "keys must ascend strictly");
                havePrev = true;
                prev = k;
                visit(BthRecord{r, r + cbKey, off});
            }
        }
    };
    walk(root, levels, false, 0);
    return ok;
}


}  // namespace bv::pstcheck
