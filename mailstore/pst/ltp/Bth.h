// BTree-on-Heap ([MS-PST] §2.3.2): BTHHEADER, index records and leaf records.
#pragma once
#include <cstdint>
#include <vector>

#include "mailstore/pst/ltp/Heap.h"

namespace bv::mailstore::pst {

// Writes a BTH whose sorted records (cbKey + cbEnt bytes each, concatenated) go into
// leaves of at most 3580 bytes, with index levels above them when needed. Returns the
// HID of the BTHHEADER. `headerHid` may name an 8-byte item allocated earlier.
Hid WriteBth(HeapWriter& heap, uint8_t cbKey, uint8_t cbEnt, const Bytes& records, Hid headerHid = 0);
// Finishes a BTH whose leaves are in the heap already: `leaves` holds one index record
// (first key, HID) per leaf, in key order; the BTHHEADER at `headerHid` is filled in.
void WriteBthOverLeaves(HeapWriter& heap, uint8_t cbKey, uint8_t cbEnt, Bytes leaves, Hid headerHid);

struct BthContents {
    uint8_t cbKey = 0;
    uint8_t cbEnt = 0;
    Bytes records;  // all leaf records in key order
};
BthContents ReadBth(const HeapReader& heap, Hid headerHid);

}  // namespace bv::mailstore::pst
