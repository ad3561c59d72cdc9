// [MS-PST] §2.2.2.6 HEADER (Unicode) with its ROOT (§2.2.2.5) at offset 180.
#include "mailstore/pst/ndb/Header.h"

#include <cstring>

#include "mailstore/base/Crc32.h"

namespace bv::mailstore::pst {

using base::ComputeCrc;

std::array<uint32_t, 32> Header::InitialRgnid() {
    std::array<uint32_t, 32> r;
    r.fill(0x400);
    r[NID_TYPE_NORMAL_FOLDER] = 0x400;
    r[NID_TYPE_SEARCH_FOLDER] = 0x4000;
    r[NID_TYPE_NORMAL_MESSAGE] = 0x10000;
    r[NID_TYPE_ASSOC_MESSAGE] = 0x8000;
    return r;
}

void Header::Serialize(uint8_t* p) const {
    std::memset(p, 0, kHeaderSize);
    std::memcpy(p, "!BDN", 4);
    p[8] = 'S';
    p[9] = 'M';
    Put16(p + 10, wVer);
    Put16(p + 12, wVerClient);
    p[14] = 0x01;  // bPlatformCreate
    p[15] = 0x01;  // bPlatformAccess
    Put64(p + 32, bidNextP);
    Put32(p + 40, dwUnique);
    for (int i = 0; i < 32; ++i) Put32(p + 44 + 4 * i, rgnid[i]);
    uint8_t* r = p + 180;
    Put64(r + 4, root.ibFileEof);
    Put64(r + 12, root.ibAMapLast);
    Put64(r + 20, root.cbAMapFree);
    Put64(r + 28, root.cbPMapFree);
    Put64(r + 36, root.BREFNBT.bid);
    Put64(r + 44, root.BREFNBT.ib);
    Put64(r + 52, root.BREFBBT.bid);
    Put64(r + 60, root.BREFBBT.ib);
    r[68] = root.fAMapValid;
    std::memset(p + 256, 0xFF, 128);  // rgbFM
    std::memset(p + 384, 0xFF, 128);  // rgbFP
    p[512] = 0x80;                    // bSentinel
    p[513] = bCryptMethod;
    Put64(p + 516, bidNextB);
    Put32(p + 4, ComputeCrc(p + 8, 471));     // dwCRCPartial
    Put32(p + 524, ComputeCrc(p + 8, 516));   // dwCRCFull
}

Header Header::Parse(const uint8_t* p, size_t size) {
    if (size < kHeaderSize) FormatError("HEADER", "size", "too small for a .pst header");
    if (std::memcmp(p, "!BDN", 4) != 0) FormatError("HEADER", "dwMagic", "is not !BDN");
    if (p[8] != 'S' || p[9] != 'M') FormatError("HEADER", "wMagicClient", "is not SM");
    Header h;
    h.wVer = Get16(p + 10);
    if (h.wVer < kVerUnicode || h.wVer >= 36)
        FormatError("HEADER", "wVer", std::to_string(h.wVer) + " is not a Unicode .pst (ANSI and OST stores are not supported)");
    if (Get32(p + 4) != ComputeCrc(p + 8, 471)) FormatError("HEADER", "dwCRCPartial", "does not match");
    if (Get32(p + 524) != ComputeCrc(p + 8, 516)) FormatError("HEADER", "dwCRCFull", "does not match");
    h.wVerClient = Get16(p + 12);
    h.bidNextP = Get64(p + 32);
    h.dwUnique = Get32(p + 40);
    for (int i = 0; i < 32; ++i) h.rgnid[i] = Get32(p + 44 + 4 * i);
    const uint8_t* r = p + 180;
    h.root.ibFileEof = Get64(r + 4);
    h.root.ibAMapLast = Get64(r + 12);
    h.root.cbAMapFree = Get64(r + 20);
    h.root.cbPMapFree = Get64(r + 28);
    h.root.BREFNBT = {Get64(r + 36), Get64(r + 44)};
    h.root.BREFBBT = {Get64(r + 52), Get64(r + 60)};
    h.root.fAMapValid = r[68];
    h.bCryptMethod = p[513];
    if (h.bCryptMethod != NDB_CRYPT_NONE && h.bCryptMethod != NDB_CRYPT_PERMUTE)
        FormatError("HEADER", "bCryptMethod", std::to_string(h.bCryptMethod) + " is not supported");
    h.bidNextB = Get64(p + 516);
    return h;
}

}  // namespace bv::mailstore::pst
