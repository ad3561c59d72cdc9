// PAGETRAILER ([MS-PST] §2.2.2.7.1) and the block/page signature (§5.5).
#pragma once
#include <cstdint>

#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

enum PageType : uint8_t {
    ptypeBBT = 0x80,
    ptypeNBT = 0x81,
    ptypeFMap = 0x82,
    ptypePMap = 0x83,
    ptypeAMap = 0x84,
    ptypeFPMap = 0x85,
    ptypeDL = 0x86,
};

constexpr size_t kPageTrailerOffset = 496;

inline uint16_t ComputeSig(Ib ib, Bid bid) {
    uint32_t x = uint32_t(ib ^ bid);
    return uint16_t(uint16_t(x >> 16) ^ uint16_t(x));
}

// Fills bytes 496..511 of `page`: ptype, ptypeRepeat, wSig, dwCRC over bytes 0..495, bid.
// Map pages (AMap, PMap, FMap, FPMap) carry wSig 0.
void WritePageTrailer(uint8_t* page, PageType ptype, Bid bid, Ib ib);
// Checks ptype, ptypeRepeat, dwCRC (and wSig of B-tree pages) and returns the trailer bid.
Bid CheckPageTrailer(const uint8_t* page, PageType expected, Ib ib);

}  // namespace bv::mailstore::pst
