// [MS-PST] §2.3.2: BTHHEADER {bType 0xB5, cbKey, cbEnt, bIdxLevels, hidRoot}.
#include "mailstore/pst/ltp/Bth.h"

#include <algorithm>
#include <cstring>

namespace bv::mailstore::pst {

namespace {

// Writes the records of one BTH level (`size` bytes each) into items and the levels
// above them; `levels` counts the levels below. Returns the root HID and the levels.
std::pair<Hid, uint8_t> WriteBthLevels(HeapWriter& heap, uint8_t cbKey, Bytes level, size_t size, uint8_t levels) {
    for (;;) {
        size_t perItem = kMaxHeapItem / size;
        size_t n = level.size() / size;
        Bytes parents;
        for (size_t i = 0; i < n; i += perItem) {
            size_t m = std::min(perItem, n - i);
            Hid hid = heap.Allocate(level.data() + i * size, m * size);
            parents.insert(parents.end(), level.data() + i * size, level.data() + i * size + cbKey);
            Append32(parents, hid);
        }
        if (n <= perItem) return {Get32(parents.data() + cbKey), levels};
        level.swap(parents);
        size = size_t(cbKey) + 4;
        ++levels;
    }
}

void SetBthHeader(HeapWriter& heap, Hid headerHid, uint8_t cbKey, uint8_t cbEnt, Hid root, uint8_t levels) {
    uint8_t header[8] = {bTypeBTH, cbKey, cbEnt, levels, 0, 0, 0, 0};
    Put32(header + 4, root);
    heap.Overwrite(headerHid, header, 8);
}

}  // namespace

Hid WriteBth(HeapWriter& heap, uint8_t cbKey, uint8_t cbEnt, const Bytes& records, Hid headerHid) {
    uint8_t header[8] = {bTypeBTH, cbKey, cbEnt, 0, 0, 0, 0, 0};
    if (!headerHid) headerHid = heap.Allocate(header, 8);
    size_t recSize = size_t(cbKey) + cbEnt;
    if (records.size() % recSize) FormatError("BTHHEADER", "cbEnt", "records do not match the record size");
    if (records.empty()) {
        heap.Overwrite(headerHid, header, 8);
        return headerHid;
    }
    auto [root, levels] = WriteBthLevels(heap, cbKey, records, recSize, 0);
    SetBthHeader(heap, headerHid, cbKey, cbEnt, root, levels);
    return headerHid;
}

void WriteBthOverLeaves(HeapWriter& heap, uint8_t cbKey, uint8_t cbEnt, Bytes leaves, Hid headerHid) {
    size_t size = size_t(cbKey) + 4;
    if (leaves.empty()) return SetBthHeader(heap, headerHid, cbKey, cbEnt, 0, 0);
    if (leaves.size() == size) return SetBthHeader(heap, headerHid, cbKey, cbEnt, Get32(leaves.data() + cbKey), 0);
    auto [root, levels] = WriteBthLevels(heap, cbKey, std::move(leaves), size, 1);
    SetBthHeader(heap, headerHid, cbKey, cbEnt, root, levels);
}

namespace {
void Collect(const HeapReader& heap, Hid hid, int level, uint8_t cbKey, uint8_t cbEnt, Bytes& out) {
    auto [p, n] = heap.Item(hid);
    if (level > 0) {
        size_t rec = size_t(cbKey) + 4;
        if (n % rec) FormatError("BTH", "index record", "size is not a multiple of cbKey + 4");
        for (size_t i = 0; i < n; i += rec) Collect(heap, Get32(p + i + cbKey), level - 1, cbKey, cbEnt, out);
    } else {
        if (n % (size_t(cbKey) + cbEnt)) FormatError("BTH", "leaf record", "size is not a multiple of cbKey + cbEnt");
        out.insert(out.end(), p, p + n);
    }
}
}  // namespace

BthContents ReadBth(const HeapReader& heap, Hid headerHid) {
    auto [p, n] = heap.Item(headerHid);
    if (n < 8) FormatError("BTHHEADER", "size", "is not 8 bytes");
    if (p[0] != bTypeBTH) FormatError("BTHHEADER", "bType", "is not 0xB5");
    BthContents c;
    c.cbKey = p[1];
    c.cbEnt = p[2];
    uint8_t levels = p[3];
    Hid root = Get32(p + 4);
    if (c.cbKey == 0 || c.cbKey > 16) FormatError("BTHHEADER", "cbKey", "out of range");
    if (root) Collect(heap, root, levels, c.cbKey, c.cbEnt, c.records);
    return c;
}

}  // namespace bv::mailstore::pst
