// Blocks ([MS-PST] §2.2.2.8): BLOCKTRAILER, XBLOCK/XXBLOCK (data trees) and
// SLBLOCK/SIBLOCK (subnode B-trees).
#pragma once
#include <cstdint>
#include <vector>

#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

constexpr size_t kXBlockMaxEntries = (kMaxBlockData - 8) / 8;   // 1021
constexpr size_t kSLBlockMaxEntries = (kMaxBlockData - 8) / 24;  // 340
constexpr size_t kSIBlockMaxEntries = (kMaxBlockData - 8) / 16;  // 510

// Lays out a whole block: data, zero padding, BLOCKTRAILER {cb, wSig, dwCRC, bid}.
// `data` is the stored (already encoded) form; the CRC covers it.
Bytes BuildBlock(const uint8_t* data, size_t cb, Bid bid, Ib ib);
// Encodes the data of an external block for a store with `cryptMethod`, in place, and
// returns the CRC its trailer needs: the part of writing a block that needs neither
// a BID nor a place in the file, so it can be done ahead, on any thread.
uint32_t SealDataBlock(uint8_t* data, size_t cb, uint8_t cryptMethod);
// Checks a block read from `ib` against its BBT entry; returns the `cb` stored bytes.
Bytes CheckBlock(const uint8_t* raw, size_t rawSize, uint16_t cb, Bid bid, Ib ib);

struct SLENTRY {
    Nid nid = 0;
    Bid bidData = 0;
    Bid bidSub = 0;
};
struct SIENTRY {
    Nid nid = 0;
    Bid bid = 0;
};

// A data block already written to the store: its BID and data size.
struct WrittenBlock {
    Bid bid = 0;
    size_t size = 0;
};

Bytes BuildXBlock(uint8_t cLevel, uint32_t lcbTotal, const std::vector<Bid>& bids);
struct XBlockInfo {
    uint8_t cLevel;
    uint32_t lcbTotal;
    std::vector<Bid> rgbid;
};
XBlockInfo ParseXBlock(const Bytes& data);

Bytes BuildSLBlock(const SLENTRY* entries, size_t count);
Bytes BuildSIBlock(const SIENTRY* entries, size_t count);
// Parses either kind: leaf entries go to `leaves`, intermediate ones to `children`.
void ParseSubnodeBlock(const Bytes& data, std::vector<SLENTRY>& leaves, std::vector<SIENTRY>& children);

}  // namespace bv::mailstore::pst
