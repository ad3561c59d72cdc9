// [MS-PST] §2.2.2.8.1 BLOCKTRAILER, §2.2.2.8.3.2 XBLOCK/XXBLOCK, §2.2.2.8.3.3 SLBLOCK/SIBLOCK.
#include "mailstore/pst/ndb/Block.h"

#include <cstring>

#include "mailstore/base/Crc32.h"
#include "mailstore/pst/ndb/Header.h"
#include "mailstore/pst/ndb/PageTrailer.h"
#include "mailstore/pst/ndb/Permute.h"

namespace bv::mailstore::pst {

using base::ComputeCrc;

uint32_t SealDataBlock(uint8_t* data, size_t cb, uint8_t cryptMethod) {
    if (cryptMethod == NDB_CRYPT_PERMUTE) PermuteEncode(data, cb);
    return ComputeCrc(data, cb);
}

Bytes BuildBlock(const uint8_t* data, size_t cb, Bid bid, Ib ib) {
    if (cb > kMaxBlockData) FormatError("BLOCKTRAILER", "cb", "exceeds 8176");
    Bytes out(BlockAllocSize(cb), 0);
    if (cb) std::memcpy(out.data(), data, cb);
    uint8_t* t = out.data() + out.size() - kBlockTrailerSize;
    Put16(t, uint16_t(cb));
    Put16(t + 2, ComputeSig(ib, bid));
    Put32(t + 4, ComputeCrc(data, cb));
    Put64(t + 8, bid);
    return out;
}

Bytes CheckBlock(const uint8_t* raw, size_t rawSize, uint16_t cb, Bid bid, Ib ib) {
    if (rawSize != BlockAllocSize(cb)) FormatError("BLOCKTRAILER", "cb", "does not fit the block");
    const uint8_t* t = raw + rawSize - kBlockTrailerSize;
    if (Get16(t) != cb) FormatError("BLOCKTRAILER", "cb", "differs from the BBTENTRY cb");
    if (Get64(t + 8) != bid) FormatError("BLOCKTRAILER", "bid", "differs from the BBTENTRY");
    if (Get16(t + 2) != ComputeSig(ib, bid)) FormatError("BLOCKTRAILER", "wSig", "does not match");
    if (Get32(t + 4) != ComputeCrc(raw, cb)) FormatError("BLOCKTRAILER", "dwCRC", "does not match");
    return Bytes(raw, raw + cb);
}

Bytes BuildXBlock(uint8_t cLevel, uint32_t lcbTotal, const std::vector<Bid>& bids) {
    if (bids.size() > kXBlockMaxEntries) FormatError("XBLOCK", "cEnt", "out of range");
    Bytes b(8 + 8 * bids.size());
    b[0] = 0x01;
    b[1] = cLevel;
    Put16(&b[2], uint16_t(bids.size()));
    Put32(&b[4], lcbTotal);
    for (size_t i = 0; i < bids.size(); ++i) Put64(&b[8 + 8 * i], bids[i]);
    return b;
}

XBlockInfo ParseXBlock(const Bytes& d) {
    if (d.size() < 8 || d[0] != 0x01) FormatError("XBLOCK", "btype", "is not 0x01");
    XBlockInfo x;
    x.cLevel = d[1];
    if (x.cLevel != 1 && x.cLevel != 2) FormatError("XBLOCK", "cLevel", "out of range");
    uint16_t cEnt = Get16(&d[2]);
    if (8 + 8 * size_t(cEnt) > d.size()) FormatError("XBLOCK", "cEnt", "out of range");
    x.lcbTotal = Get32(&d[4]);
    for (size_t i = 0; i < cEnt; ++i) x.rgbid.push_back(Get64(&d[8 + 8 * i]));
    return x;
}

Bytes BuildSLBlock(const SLENTRY* e, size_t n) {
    if (n > kSLBlockMaxEntries) FormatError("SLBLOCK", "cEnt", "out of range");
    Bytes b(8 + 24 * n, 0);
    b[0] = 0x02;
    b[1] = 0x00;
    Put16(&b[2], uint16_t(n));
    for (size_t i = 0; i < n; ++i) {
        Put64(&b[8 + 24 * i], e[i].nid);
        Put64(&b[16 + 24 * i], e[i].bidData);
        Put64(&b[24 + 24 * i], e[i].bidSub);
    }
    return b;
}

Bytes BuildSIBlock(const SIENTRY* e, size_t n) {
    if (n > kSIBlockMaxEntries) FormatError("SIBLOCK", "cEnt", "out of range");
    Bytes b(8 + 16 * n, 0);
    b[0] = 0x02;
    b[1] = 0x01;
    Put16(&b[2], uint16_t(n));
    for (size_t i = 0; i < n; ++i) {
        Put64(&b[8 + 16 * i], e[i].nid);
        Put64(&b[16 + 16 * i], e[i].bid);
    }
    return b;
}

void ParseSubnodeBlock(const Bytes& d, std::vector<SLENTRY>& leaves, std::vector<SIENTRY>& children) {
    if (d.size() < 8 || d[0] != 0x02) FormatError("SLBLOCK", "btype", "is not 0x02");
    uint16_t cEnt = Get16(&d[2]);
    if (d[1] == 0) {
        if (8 + 24 * size_t(cEnt) > d.size()) FormatError("SLBLOCK", "cEnt", "out of range");
        for (size_t i = 0; i < cEnt; ++i)
            leaves.push_back({Nid(Get64(&d[8 + 24 * i])), Get64(&d[16 + 24 * i]), Get64(&d[24 + 24 * i])});
    } else if (d[1] == 1) {
        if (8 + 16 * size_t(cEnt) > d.size()) FormatError("SIBLOCK", "cEnt", "out of range");
        for (size_t i = 0; i < cEnt; ++i) children.push_back({Nid(Get64(&d[8 + 16 * i])), Get64(&d[16 + 16 * i])});
    } else {
        FormatError("SLBLOCK", "cLevel", "out of range");
    }
}

}  // namespace bv::mailstore::pst
