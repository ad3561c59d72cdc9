// [MS-PST] §2.2.2.7.7: BTPAGE, BTENTRY, BBTENTRY, NBTENTRY.
#include "mailstore/pst/ndb/BTreePage.h"

#include <cstring>

namespace bv::mailstore::pst {

void WriteBBTEntry(uint8_t* p, const BBTENTRY& e) {
    Put64(p, e.BREF.bid);
    Put64(p + 8, e.BREF.ib);
    Put16(p + 16, e.cb);
    Put16(p + 18, e.cRef);
    Put32(p + 20, 0);
}

void WriteNBTEntry(uint8_t* p, const NBTENTRY& e) {
    Put64(p, e.nid);
    Put64(p + 8, e.bidData);
    Put64(p + 16, e.bidSub);
    Put32(p + 24, e.nidParent);
    Put32(p + 28, 0);
}

void WriteBTEntry(uint8_t* p, const BTENTRY& e) {
    Put64(p, e.btkey);
    Put64(p + 8, e.BREF.bid);
    Put64(p + 16, e.BREF.ib);
}

BBTENTRY ReadBBTEntry(const uint8_t* p) { return {{Get64(p), Get64(p + 8)}, Get16(p + 16), Get16(p + 18)}; }
NBTENTRY ReadNBTEntry(const uint8_t* p) { return {Nid(Get64(p)), Get64(p + 8), Get64(p + 16), Get32(p + 24)}; }
BTENTRY ReadBTEntry(const uint8_t* p) { return {Get64(p), {Get64(p + 8), Get64(p + 16)}}; }

void BuildBTPage(uint8_t* page, const uint8_t* entries, uint8_t cEnt, uint8_t cEntMax, uint8_t cbEnt,
                 uint8_t cLevel, PageType ptype, Bid bid, Ib ib) {
    if (size_t(cEnt) * cbEnt > kBTPageEntriesSize || cEnt > cEntMax) FormatError("BTPAGE", "cEnt", "out of range");
    std::memset(page, 0, kPageSize);
    std::memcpy(page, entries, size_t(cEnt) * cbEnt);
    page[488] = cEnt;
    page[489] = cEntMax;
    page[490] = cbEnt;
    page[491] = cLevel;
    WritePageTrailer(page, ptype, bid, ib);
}

BTPageInfo CheckBTPage(const uint8_t* page, PageType ptype, Ib ib) {
    CheckPageTrailer(page, ptype, ib);
    BTPageInfo info{page[488], page[489], page[490], page[491]};
    uint8_t expectEnt = info.cLevel > 0 ? kBTEntrySize : (ptype == ptypeNBT ? kNBTEntrySize : kBBTEntrySize);
    if (info.cbEnt != expectEnt) FormatError("BTPAGE", "cbEnt", "is " + std::to_string(info.cbEnt));
    if (info.cEntMax < info.cEnt || size_t(info.cEnt) * info.cbEnt > kBTPageEntriesSize)
        FormatError("BTPAGE", "cEnt", "out of range");
    if (info.cLevel > 8) FormatError("BTPAGE", "cLevel", "out of range");
    return info;
}

std::vector<size_t> SpreadEntries(size_t count, size_t max) {
    size_t pages = count == 0 ? 1 : (count + max - 1) / max;
    std::vector<size_t> out(pages, count / pages);
    for (size_t i = 0; i < count % pages; ++i) ++out[i];
    return out;
}

uint64_t BTreePages(uint64_t count, uint64_t maxLeaf) {
    uint64_t level = count == 0 ? 1 : (count + maxLeaf - 1) / maxLeaf, total = level;
    while (level > 1) {
        level = (level + kBTEntryMax - 1) / kBTEntryMax;
        total += level;
    }
    return total;
}

}  // namespace bv::mailstore::pst
