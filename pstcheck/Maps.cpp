// Allocation map pages ([MS-PST] §2.2.2.7.2-§2.2.2.7.6): placement, trailers,
// AMap bits against what the B-trees reference, free-space totals, DList.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Context.h"

namespace bv::pstcheck {

namespace {
constexpr uint64_t kDListOffset = 0x4200;

const char* PageName(uint8_t ptype) {
    switch (ptype) {
    case ptypeBBT: return "BBT page";
    case ptypeNBT: return "NBT page";
    case ptypeFMap: return "FMap page";
    case ptypePMap: return "PMap page";
    case ptypeAMap: return "AMap page";
    case ptypeFPMap: return "FPMap page";
    case ptypeDL: return "DList page";
    }
    return "page";
}

uint64_t RegionCount(const Context& ctx) {
    uint64_t end = std::min(ctx.file.size(), ctx.hdr.ibFileEof);
    if (end < kFirstAMap + kPageSize) return 0;
    return (end - kFirstAMap - kPageSize) / kAMapRegion + 1;
}

uint64_t AMapOffset(uint64_t k) { return kFirstAMap + k * kAMapRegion; }
}  // namespace

// Verifies a PAGETRAILER; map pages carry wSig 0 and their own offset as BID.
bool CheckPageTrailer(Context& ctx, uint64_t ib, const uint8_t* page, uint8_t ptype, uint64_t* bidOut) {
    const uint8_t* t = page + 496;
    std::string S = std::string(PageName(ptype)) + " " + Hex(ib);
    bool ok = true;
    if (t[0] != ptype) {
        ctx.error("page.ptype", S, "ptype", ib + 496, Hex(ptype), Hex(t[0]));
        ok = false;
    }
    if (t[1] != t[0]) {
        ctx.error("page.ptype_repeat", S, "ptypeRepeat", ib + 497, Hex(t[0]), Hex(t[1]));
        ok = false;
    }
    uint32_t crc = PstCrc(page, 496);
    if (Le32(t + 4) != crc) {
        ctx.error("page.crc", S, "dwCRC", ib + 500, Hex(crc), Hex(Le32(t + 4)));
        ok = false;
    }
    uint64_t bid = Le64(t + 8);
    bool map = ptype == ptypeAMap || ptype == ptypePMap || ptype == ptypeFMap || ptype == ptypeFPMap;
    uint16_t sig = map ? 0 : PstSignature(ib, bid);
    if (Le16(t + 2) != sig) {
        ctx.error("page.signature", S, "wSig", ib + 498, Hex(sig), Hex(Le16(t + 2)));
        ok = false;
    }
    if (map && bid != ib) {
        ctx.error("page.bid", S, "bid", ib + 504, Hex(ib) + " (page offset)", Hex(bid));
        ok = false;
    }
    if (bidOut) *bidOut = bid;
    return ok;
}

void CheckMapPages(Context& ctx) {
    const uint64_t regions = RegionCount(ctx);
    if (regions == 0) {
        ctx.error("amap.missing", "AMap page", "", kFirstAMap, "an AMap page at 0x4400", "file too short");
        return;
    }
    uint8_t page[kPageSize];
    auto checkMap = [&](uint64_t ib, uint8_t ptype) -> bool {
        if (!ctx.file.read(ib, page, sizeof page)) {
            ctx.error("map.truncated", PageName(ptype), "", ib, "a page inside the file", "end of file");
            return false;
        }
        ++ctx.result.summary.pages;
        CheckPageTrailer(ctx, ib, page, ptype, nullptr);
        if (ctx.markPage(ib))
            ctx.error("alloc.overlap", PageName(ptype), "", ib, "a page of its own", "space shared with another page");
        return true;
    };
    for (uint64_t k = 0; k < regions; ++k) {
        const uint64_t a = AMapOffset(k);
        checkMap(a, ptypeAMap);
        if (k % 8 == 0) checkMap(a + 512, ptypePMap);
        if (k >= 128 && (k - 128) % 496 == 0) checkMap(a + 1024, ptypeFMap);
        if (k >= 8192 && (k - 8192) % 31744 == 0) {
            // Sources disagree on the FPMap slot (AMap + 1024 or AMap + 1536); report what is there.
            uint64_t at = 0;
            for (uint64_t cand : {a + 1024, a + 1536}) {
                if (ctx.file.read(cand, page, sizeof page) && page[496] == ptypeFPMap && page[497] == ptypeFPMap) {
                    at = cand;
                    break;
                }
            }
            if (at == 0) {
                ctx.warn("fpmap.missing", "FPMap page", "", a + 1024, "an FPMap page at AMap+1024 or AMap+1536",
                         "none", "AMap #" + std::to_string(k));
            } else {
                if (at == a + 1536)
                    ctx.warn("fpmap.slot", "FPMap page", "", at, Hex(a + 1024) + " (AMap+1024)", Hex(at) + " (AMap+1536)",
                             "disputed slot; scanpst reportedly expects AMap+1024");
                checkMap(at, ptypeFPMap);
            }
        }
    }
}

void CheckAllocation(Context& ctx) {
    const uint64_t regions = RegionCount(ctx);
    // Maps marked not valid (fAMapValid 0 or 1, reported by the header check) are
    // rebuilt by whoever opens the store next: their bits and totals mean nothing yet.
    const bool mapsValid = ctx.hdr.fAMapValid == 2;
    const uint64_t size = ctx.file.size();
    uint64_t zeroBits = 0;
    std::vector<uint32_t> freeSlots(regions, 0);
    uint8_t page[kPageSize];
    uint8_t pmap[kPageSize];
    bool havePMap = false;
    for (uint64_t k = 0; k < regions; ++k) {
        const uint64_t a = AMapOffset(k);
        // Outlook reserves pages in groups: a page set in the AMap but free (0) in the
        // PMap ([MS-PST] §2.2.2.7.3) is spare, not leaked.
        const uint64_t pmapBase = AMapOffset(k / 8 * 8);
        if (k % 8 == 0) havePMap = ctx.file.read(pmapBase + 512, pmap, sizeof pmap) && pmap[496] == ptypePMap;
        auto pmapFree = [&](uint64_t off) {
            const uint64_t p = (off - pmapBase) / 512;
            return havePMap && p < 496 * 8 && !((pmap[p / 8] >> (7 - p % 8)) & 1);
        };
        if (!ctx.file.read(a, page, sizeof page)) break;
        uint64_t leaked = 0, unmarked = 0, firstLeak = 0, firstUnmarked = 0, pastEof = 0, spareUsed = 0, firstSpare = 0;
        for (uint64_t i = 0; i < 496 * 8; ++i) {
            const bool bit = (page[i / 8] >> (7 - i % 8)) & 1;  // MSB first
            const uint64_t off = a + i * 64;
            if (!bit) {
                ++zeroBits;
                ++freeSlots[k];
            }
            if (off >= size) {
                if (bit) ++pastEof;
                continue;
            }
            const bool inUse = ctx.used.test(off / 64);
            const bool spare = pmapFree(off);
            if (bit && !inUse && !spare && leaked++ == 0) firstLeak = off;
            if (inUse && spare && spareUsed++ == 0) firstSpare = off;
            if (!bit && inUse && unmarked++ == 0) firstUnmarked = off;
        }
        if (!mapsValid) continue;
        // A page the PMap calls free must be one the AMap holds (Outlook's files agree).
        uint64_t freeUnheld = 0, firstFreeUnheld = 0;
        for (uint64_t p = 0; p < 496; ++p)
            if (pmapFree(a + p * 512) && page[p] != 0xFF && freeUnheld++ == 0) firstFreeUnheld = a + p * 512;
        if (freeUnheld)
            ctx.warn("pmap.free_not_allocated", "PMap page " + Hex(pmapBase + 512), "rgbPMapBits", firstFreeUnheld,
                     "free pages only where the AMap holds all 8 slots",
                     std::to_string(freeUnheld) + " page(s) not held, first at " + Hex(firstFreeUnheld));
        const std::string S = "AMap page " + Hex(a);
        if (unmarked)
            ctx.error("amap.unmarked", S, "rgbAMapBits", firstUnmarked, "bit set for every slot in use",
                      std::to_string(unmarked) + " slot(s) in use but free, first at " + Hex(firstUnmarked));
        if (leaked)
            ctx.error("amap.leak", S, "rgbAMapBits", firstLeak, "bit clear for unreferenced slots",
                      std::to_string(leaked) + " slot(s) allocated but not referenced, first at " + Hex(firstLeak));
        if (spareUsed)
            ctx.warn("pmap.free_in_use", "PMap page " + Hex(pmapBase + 512), "rgbPMapBits", firstSpare,
                     "bit set for pages in use", std::to_string(spareUsed) + " slot(s) in use on pages marked free, first at " +
                     Hex(firstSpare));
        if (pastEof)
            ctx.error("amap.past_eof", S, "rgbAMapBits", a, "no allocation past the end of the file",
                      std::to_string(pastEof) + " slot(s)");
    }
    if (mapsValid && ctx.hdr.cbAMapFree != zeroBits * 64)
        ctx.error("root.amap_free", "ROOT", "cbAMapFree", 200, std::to_string(zeroBits * 64) + " (64 x free AMap bits)",
                  std::to_string(ctx.hdr.cbAMapFree));
    if (regions && ctx.hdr.ibAMapLast != AMapOffset(regions - 1))
        ctx.error("root.amap_last", "ROOT", "ibAMapLast", 192, Hex(AMapOffset(regions - 1)), Hex(ctx.hdr.ibAMapLast));

    // Optional density list ([MS-PST] §2.2.2.7.4).
    if (!ctx.file.read(kDListOffset, page, sizeof page)) return;
    if (std::all_of(page, page + sizeof page, [](uint8_t b) { return b == 0; })) return;
    if (page[496] != ptypeDL) {
        ctx.warn("dlist.ptype", "DList page", "ptype", kDListOffset + 496, Hex(ptypeDL) + " or an all-zero page",
                 Hex(page[496]));
        return;
    }
    ++ctx.result.summary.pages;
    uint64_t bid = 0;
    CheckPageTrailer(ctx, kDListOffset, page, ptypeDL, &bid);
    ctx.maxPageBid = std::max(ctx.maxPageBid, bid);
    const uint8_t cEnt = page[1];
    if (cEnt > 476 / 4) {
        ctx.error("dlist.count", "DList page", "cEntDList", kDListOffset + 1, "<= 119", std::to_string(cEnt));
        return;
    }
    if (Le32(page + 4) >= regions)
        ctx.error("dlist.current", "DList page", "ulCurrentPage", kDListOffset + 4, "< " + std::to_string(regions),
                  std::to_string(Le32(page + 4)));
    uint32_t prevFree = 0;
    for (uint32_t i = 0; i < cEnt; ++i) {
        const uint32_t v = Le32(page + 8 + 4 * i);
        const uint32_t pageNum = v & 0xFFFFF, freeCount = v >> 20;
        const uint64_t off = kDListOffset + 8 + 4 * i;
        if (pageNum >= regions) {
            ctx.error("dlist.page", "DList page", "rgDListPageEnt[" + std::to_string(i) + "].dwPageNum", off,
                      "< " + std::to_string(regions), std::to_string(pageNum));
            continue;
        }
        if (freeCount != std::min<uint32_t>(freeSlots[pageNum], 0xFFF))
            ctx.warn("dlist.free", "DList page", "rgDListPageEnt[" + std::to_string(i) + "].dwFreeSlots", off,
                     std::to_string(freeSlots[pageNum]) + " (free bits of AMap #" + std::to_string(pageNum) + ")",
                     std::to_string(freeCount));
        if (i && freeCount < prevFree)
            ctx.warn("dlist.order", "DList page", "rgDListPageEnt[" + std::to_string(i) + "]", off,
                     "ascending free slots", std::to_string(freeCount) + " after " + std::to_string(prevFree));
        prevFree = freeCount;
    }
}

}  // namespace bv::pstcheck
