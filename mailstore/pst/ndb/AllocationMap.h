// Where the allocation map pages sit and what they hold: AMap (§2.2.2.7.2), PMap
// (§2.2.2.7.3), FMap (§2.2.2.7.5), FPMap (§2.2.2.7.6).
//
// The data section is cut into regions of 253,952 bytes, the first at 0x4400. Each
// region opens with its AMap page; the deprecated maps follow it directly when due:
// a PMap in every 8th region, an FMap every 496 regions from region 128, an FPMap
// every 31,744 regions from region 8192. Map pages of one region are stacked in
// that order without gaps, so an FPMap sits at AMap+1024 (an FMap never falls into
// an FPMap region below 200 GB). See docs/pst-layout.md.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

constexpr Ib kFirstAMapOffset = 0x4400;
constexpr uint64_t kAMapRegionSize = 496ull * 8 * 64;  // 253,952 bytes
constexpr uint64_t kSlotSize = 64;
constexpr uint64_t kSlotsPerRegion = kAMapRegionSize / kSlotSize;  // 3968

inline uint64_t RegionIndex(Ib ib) { return (ib - kFirstAMapOffset) / kAMapRegionSize; }
inline Ib RegionStart(uint64_t k) { return kFirstAMapOffset + k * kAMapRegionSize; }
inline bool RegionHasPMap(uint64_t k) { return k % 8 == 0; }
inline bool RegionHasFMap(uint64_t k) { return k >= 128 && (k - 128) % 496 == 0; }
inline bool RegionHasFPMap(uint64_t k) { return k >= 8192 && (k - 8192) % 31744 == 0; }
inline uint64_t RegionMapPages(uint64_t k) {
    return 1 + (RegionHasPMap(k) ? 1 : 0) + (RegionHasFMap(k) ? 1 : 0) + (RegionHasFPMap(k) ? 1 : 0);
}
inline Ib PMapOffset(uint64_t k) { return RegionStart(k) + 512; }
inline Ib FMapOffset(uint64_t k) { return RegionStart(k) + 512 * (RegionHasPMap(k) ? 2 : 1); }
inline Ib FPMapOffset(uint64_t k) {
    return RegionStart(k) + 512 * (1 + (RegionHasPMap(k) ? 1 : 0) + (RegionHasFMap(k) ? 1 : 0));
}

constexpr Ib kDListOffset = 0x4200;

// The density list page ([MS-PST] §2.2.2.7.4.2) as Outlook leaves it in a store it
// has not backfilled: bFlags 0, no entries, ulCurrentPage 0.
void BuildEmptyDListPage(Bid bid, uint8_t* page);

// The allocation bitmaps of all regions, rebuilt from what the file references.
class AllocationBitmap {
public:
    explicit AllocationBitmap(uint64_t regions);
    uint64_t Regions() const { return regions_; }
    // Adds regions (their map pages allocated) up to `regions` in all.
    void Grow(uint64_t regions);
    // Marks [ib, ib+size) allocated; size and ib are multiples of 64.
    void Mark(Ib ib, uint64_t size);
    // Marks [ib, ib+size) free again (space the next commit no longer references).
    void Unmark(Ib ib, uint64_t size);
    // Region k's bits as an AMap page in the file holds them (its first 496 bytes).
    void LoadRegion(uint64_t k, const uint8_t* amapBits);
    bool IsSet(Ib ib) const;
    // Free bytes of region k (64 x clear bits).
    uint64_t FreeBytes(uint64_t k) const;
    // Runs of free slots as (offset, bytes), ascending, never crossing a region end.
    std::vector<std::pair<Ib, uint64_t>> FreeRuns() const;
    void AddFreeRuns(uint64_t k, std::vector<std::pair<Ib, uint64_t>>& out) const;  // region k's
    // Offsets of the wholly free 512-byte pages (8 free slots on a page boundary), ascending.
    std::vector<Ib> FreePages() const;
    // Longest run of free slots in region k, capped at 255 (one FMap byte).
    uint8_t LongestFreeRun(uint64_t k) const;
    const uint8_t* RegionBits(uint64_t k) const { return &chunks_[k / kChunkRegions][(k % kChunkRegions) * 496]; }

    // The 512-byte map pages of region k.
    void BuildAMapPage(uint64_t k, uint8_t* page) const;
    static void BuildPMapPage(uint64_t k, uint8_t* page);
    void BuildFMapPage(uint64_t k, uint8_t* page) const;
    static void BuildFPMapPage(uint64_t k, uint8_t* page);

private:
    // 496 bytes per region, MSB first, in chunks of regions: a store of many gigabytes
    // grows its map without ever holding it twice.
    static constexpr uint64_t kChunkRegions = 256;
    uint8_t* MutableRegionBits(uint64_t k) { return &chunks_[k / kChunkRegions][(k % kChunkRegions) * 496]; }
    uint8_t& Byte(uint64_t i) { return MutableRegionBits(i / 496)[i % 496]; }
    uint8_t Byte(uint64_t i) const { return RegionBits(i / 496)[i % 496]; }

    uint64_t regions_;
    std::vector<std::unique_ptr<uint8_t[]>> chunks_;
};

}  // namespace bv::mailstore::pst
