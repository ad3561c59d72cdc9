// BTPAGE and its entries BTENTRY, BBTENTRY, NBTENTRY ([MS-PST] §2.2.2.7.7).
#pragma once
#include <cstdint>
#include <vector>

#include "mailstore/pst/ndb/NdbTypes.h"
#include "mailstore/pst/ndb/PageTrailer.h"

namespace bv::mailstore::pst {

constexpr size_t kBTPageEntriesSize = 488;
constexpr uint8_t kBTEntrySize = 24;
constexpr uint8_t kBBTEntrySize = 24;
constexpr uint8_t kNBTEntrySize = 32;
constexpr uint8_t kBTEntryMax = 20;   // intermediate pages of both trees
constexpr uint8_t kBBTEntryMax = 20;  // BBT leaves
constexpr uint8_t kNBTEntryMax = 15;  // NBT leaves

struct BBTENTRY {
    Bref BREF;
    uint16_t cb = 0;
    uint16_t cRef = 0;
};

struct NBTENTRY {
    Nid nid = 0;
    Bid bidData = 0;
    Bid bidSub = 0;
    Nid nidParent = 0;
};

struct BTENTRY {
    uint64_t btkey = 0;
    Bref BREF;
};

void WriteBBTEntry(uint8_t* p, const BBTENTRY& e);
void WriteNBTEntry(uint8_t* p, const NBTENTRY& e);
void WriteBTEntry(uint8_t* p, const BTENTRY& e);
BBTENTRY ReadBBTEntry(const uint8_t* p);
NBTENTRY ReadNBTEntry(const uint8_t* p);
BTENTRY ReadBTEntry(const uint8_t* p);

// Fills a 512-byte BTPAGE with `cEnt` entries of `cbEnt` bytes taken from `entries`.
void BuildBTPage(uint8_t* page, const uint8_t* entries, uint8_t cEnt, uint8_t cEntMax, uint8_t cbEnt,
                 uint8_t cLevel, PageType ptype, Bid bid, Ib ib);

struct BTPageInfo {
    uint8_t cEnt, cEntMax, cbEnt, cLevel;
};
// Checks the trailer and the cEnt/cEntMax/cbEnt/cLevel fields of a BTPAGE.
BTPageInfo CheckBTPage(const uint8_t* page, PageType ptype, Ib ib);

// How `count` entries are spread over pages of at most `max`: as evenly as possible.
std::vector<size_t> SpreadEntries(size_t count, size_t max);

// The pages of a B-tree of `count` leaf entries, `maxLeaf` to a leaf.
uint64_t BTreePages(uint64_t count, uint64_t maxLeaf);

}  // namespace bv::mailstore::pst
