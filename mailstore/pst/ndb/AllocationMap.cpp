// [MS-PST] §2.2.2.7.2-2.2.2.7.6: AMAPPAGE, PMAPPAGE, FMAPPAGE, FPMAPPAGE.
#include "mailstore/pst/ndb/AllocationMap.h"

#include <algorithm>
#include <cstring>

#include "mailstore/pst/ndb/PageTrailer.h"

namespace bv::mailstore::pst {

void BuildEmptyDListPage(Bid bid, uint8_t* page) {
    std::memset(page, 0, 512);
    WritePageTrailer(page, ptypeDL, bid, kDListOffset);
}

AllocationBitmap::AllocationBitmap(uint64_t regions) : regions_(0) { Grow(regions); }

void AllocationBitmap::Grow(uint64_t regions) {
    if (regions <= regions_) return;
    uint64_t first = regions_;
    regions_ = regions;
    while (chunks_.size() * kChunkRegions < regions)
        chunks_.push_back(std::make_unique<uint8_t[]>(kChunkRegions * 496));  // (zeroed)
    for (uint64_t k = first; k < regions; ++k) Mark(RegionStart(k), RegionMapPages(k) * 512);
}

void AllocationBitmap::Mark(Ib ib, uint64_t size) {
    if (ib < kFirstAMapOffset || ib % kSlotSize || size % kSlotSize)
        FormatError("AMAPPAGE", "rgbAMapBits", "allocation at " + std::to_string(ib) + " is not slot aligned");
    uint64_t first = (ib - kFirstAMapOffset) / kSlotSize;
    uint64_t count = size / kSlotSize;
    if ((first + count) > regions_ * kSlotsPerRegion)
        FormatError("AMAPPAGE", "rgbAMapBits", "allocation at " + std::to_string(ib) + " lies past the last AMap");
    for (uint64_t s = first; s < first + count; ++s) {
        uint8_t& byte = Byte(s / 8);
        uint8_t mask = uint8_t(0x80 >> (s % 8));
        if (byte & mask)
            FormatError("AMAPPAGE", "rgbAMapBits", "slot at " + std::to_string(kFirstAMapOffset + s * 64) + " allocated twice");
        byte |= mask;
    }
}

void AllocationBitmap::Unmark(Ib ib, uint64_t size) {
    if (ib < kFirstAMapOffset || ib % kSlotSize || size % kSlotSize)
        FormatError("AMAPPAGE", "rgbAMapBits", "release at " + std::to_string(ib) + " is not slot aligned");
    uint64_t first = (ib - kFirstAMapOffset) / kSlotSize;
    uint64_t count = size / kSlotSize;
    if ((first + count) > regions_ * kSlotsPerRegion)
        FormatError("AMAPPAGE", "rgbAMapBits", "release at " + std::to_string(ib) + " lies past the last AMap");
    for (uint64_t s = first; s < first + count; ++s) Byte(s / 8) &= uint8_t(~(0x80 >> (s % 8)));
}

void AllocationBitmap::LoadRegion(uint64_t k, const uint8_t* amapBits) {
    if (k >= regions_) FormatError("AMAPPAGE", "rgbAMapBits", "region " + std::to_string(k) + " lies past the last AMap");
    std::memcpy(MutableRegionBits(k), amapBits, 496);
}

bool AllocationBitmap::IsSet(Ib ib) const {
    uint64_t s = (ib - kFirstAMapOffset) / kSlotSize;
    return Byte(s / 8) & (0x80 >> (s % 8));
}

uint64_t AllocationBitmap::FreeBytes(uint64_t k) const {
    uint64_t used = 0;
    const uint8_t* b = RegionBits(k);
    for (int i = 0; i < 496; ++i) used += __builtin_popcount(b[i]);
    return (kSlotsPerRegion - used) * kSlotSize;
}

std::vector<std::pair<Ib, uint64_t>> AllocationBitmap::FreeRuns() const {
    std::vector<std::pair<Ib, uint64_t>> out;
    for (uint64_t k = 0; k < regions_; ++k) AddFreeRuns(k, out);
    return out;
}

void AllocationBitmap::AddFreeRuns(uint64_t k, std::vector<std::pair<Ib, uint64_t>>& out) const {
    {
        const uint8_t* b = RegionBits(k);
        uint64_t start = 0;
        bool inRun = false;
        for (uint64_t s = 0; s <= kSlotsPerRegion; ++s) {
            // Whole bytes at a time where they do not end or start a run.
            if (s % 8 == 0 && s + 8 <= kSlotsPerRegion && b[s / 8] == (inRun ? 0x00 : 0xFF)) {
                s += 7;
                continue;
            }
            bool isFree = s < kSlotsPerRegion && !(b[s / 8] & (0x80 >> (s % 8)));
            if (isFree && !inRun) {
                start = s;
                inRun = true;
            } else if (!isFree && inRun) {
                out.push_back({RegionStart(k) + start * kSlotSize, (s - start) * kSlotSize});
                inRun = false;
            }
        }
    }
}

std::vector<Ib> AllocationBitmap::FreePages() const {
    // Regions start on 512-byte boundaries, so a page is one whole bitmap byte.
    std::vector<Ib> out;
    for (uint64_t i = 0; i < regions_ * 496; ++i)
        if (Byte(i) == 0) out.push_back(kFirstAMapOffset + Ib(i) * 8 * kSlotSize);
    return out;
}

uint8_t AllocationBitmap::LongestFreeRun(uint64_t k) const {
    const uint8_t* b = RegionBits(k);
    uint64_t best = 0, run = 0;
    for (uint64_t s = 0; s < kSlotsPerRegion && best < 255; ++s) {
        if (b[s / 8] & (0x80 >> (s % 8))) {
            run = 0;
        } else {
            best = std::max(best, ++run);
        }
    }
    return uint8_t(std::min<uint64_t>(best, 255));
}

void AllocationBitmap::BuildAMapPage(uint64_t k, uint8_t* page) const {
    std::memset(page, 0, 512);
    std::memcpy(page, RegionBits(k), 496);
    WritePageTrailer(page, ptypeAMap, RegionStart(k), RegionStart(k));
}

void AllocationBitmap::BuildPMapPage(uint64_t k, uint8_t* page) {
    // Deprecated; written as "every page allocated", as Outlook leaves it.
    std::memset(page, 0xFF, 496);
    WritePageTrailer(page, ptypePMap, PMapOffset(k), PMapOffset(k));
}

void AllocationBitmap::BuildFMapPage(uint64_t k, uint8_t* page) const {
    // One byte per AMap of the 496 regions that follow the ones the header's rgbFM covers.
    std::memset(page, 0, 512);
    for (uint64_t i = 0; i < 496 && k + i < regions_; ++i) page[i] = LongestFreeRun(k + i);
    WritePageTrailer(page, ptypeFMap, FMapOffset(k), FMapOffset(k));
}

void AllocationBitmap::BuildFPMapPage(uint64_t k, uint8_t* page) {
    std::memset(page, 0xFF, 496);
    WritePageTrailer(page, ptypeFPMap, FPMapOffset(k), FPMapOffset(k));
}

}  // namespace bv::mailstore::pst
