// [MS-PST] §2.2.2.7.1 PAGETRAILER.
#include "mailstore/pst/ndb/PageTrailer.h"

#include "mailstore/base/Crc32.h"

namespace bv::mailstore::pst {

using base::ComputeCrc;
namespace {
bool IsMapPage(uint8_t ptype) {
    return ptype == ptypeAMap || ptype == ptypePMap || ptype == ptypeFMap || ptype == ptypeFPMap;
}
}  // namespace

void WritePageTrailer(uint8_t* page, PageType ptype, Bid bid, Ib ib) {
    uint8_t* t = page + kPageTrailerOffset;
    t[0] = ptype;
    t[1] = ptype;
    Put16(t + 2, IsMapPage(ptype) ? 0 : ComputeSig(ib, bid));
    Put32(t + 4, ComputeCrc(page, kPageTrailerOffset));
    Put64(t + 8, bid);
}

Bid CheckPageTrailer(const uint8_t* page, PageType expected, Ib ib) {
    const uint8_t* t = page + kPageTrailerOffset;
    if (t[0] != expected) FormatError("PAGETRAILER", "ptype", "is " + std::to_string(t[0]) + ", expected " + std::to_string(expected));
    if (t[1] != t[0]) FormatError("PAGETRAILER", "ptypeRepeat", "differs from ptype");
    if (Get32(t + 4) != ComputeCrc(page, kPageTrailerOffset)) FormatError("PAGETRAILER", "dwCRC", "does not match");
    Bid bid = Get64(t + 8);
    if (!IsMapPage(expected) && Get16(t + 2) != ComputeSig(ib, bid)) FormatError("PAGETRAILER", "wSig", "does not match");
    return bid;
}

}  // namespace bv::mailstore::pst
