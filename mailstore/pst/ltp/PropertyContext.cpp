// [MS-PST] §2.3.3: PC BTH records {wPropId(2) | wPropType(2), dwValueHnid(4)}.
#include "mailstore/pst/ltp/PropertyContext.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

#include "mailstore/pst/ltp/Bth.h"

namespace bv::mailstore::pst {

size_t FixedTypeSize(uint16_t type) {
    switch (type) {
        case 0x0002: return 2;                                // PtypInteger16
        case 0x0003: case 0x0004: case 0x000A: return 4;      // Integer32, Floating32, ErrorCode
        case 0x000B: return 1;                                // Boolean
        case 0x0005: case 0x0006: case 0x0007: case 0x0014: case 0x0040: return 8;
        case 0x0048: return 16;                               // PtypGuid
        default: return 0;
    }
}

std::vector<Bytes> SplitIntoBlocks(const uint8_t* data, size_t size) {
    std::vector<Bytes> out;
    for (size_t off = 0; off < size; off += kMaxBlockData) {
        size_t n = std::min(kMaxBlockData, size - off);
        out.emplace_back(data + off, data + off + n);
    }
    if (out.empty()) out.emplace_back();
    return out;
}

namespace {
uint8_t* MutableItem(std::vector<Bytes>& blocks, Hid hid, size_t& size) {
    auto [p, n] = MutableHeapItem(blocks, hid);
    size = n;
    return p;
}

bool PatchIn(std::vector<Bytes>& blocks, Hid hid, int level, uint16_t propId, uint32_t value) {
    size_t n = 0;
    uint8_t* p = MutableItem(blocks, hid, n);
    if (level > 0) {
        for (size_t i = 0; i + 6 <= n; i += 6)
            if (PatchIn(blocks, Get32(p + i + 2), level - 1, propId, value)) return true;
        return false;
    }
    for (size_t i = 0; i + 8 <= n; i += 8)
        if (Get16(p + i) == propId) {
            Put32(p + i + 4, value);
            return true;
        }
    return false;
}
// Every leaf record of the BTH below `hid`, in key order.
void LeafRecords(std::vector<Bytes>& blocks, Hid hid, int level, std::vector<uint8_t*>& out) {
    size_t n = 0;
    uint8_t* p = MutableItem(blocks, hid, n);
    if (level > 0) {
        for (size_t i = 0; i + 6 <= n; i += 6) LeafRecords(blocks, Get32(p + i + 2), level - 1, out);
        return;
    }
    for (size_t i = 0; i + 8 <= n; i += 8) out.push_back(p + i);
}

// Sets each index record's key to the first key below it; returns the first key.
uint16_t FixIndexKeys(std::vector<Bytes>& blocks, Hid hid, int level) {
    size_t n = 0;
    uint8_t* p = MutableItem(blocks, hid, n);
    if (level == 0) return n >= 8 ? Get16(p) : 0;
    for (size_t i = 0; i + 6 <= n; i += 6) Put16(p + i, FixIndexKeys(blocks, Get32(p + i + 2), level - 1));
    return n >= 6 ? Get16(p) : 0;
}

}  // namespace

bool RenumberProperties(std::vector<Bytes>& blocks, const std::map<uint16_t, uint16_t>& ids) {
    if (blocks.empty() || ids.empty()) return false;
    size_t n = 0;
    uint8_t* hdr = MutableItem(blocks, Get32(&blocks[0][4]), n);
    if (n < 8 || hdr[0] != bTypeBTH || hdr[1] != 2 || hdr[2] != 6 || Get32(hdr + 4) == 0) return false;
    const int levels = hdr[3];
    const Hid root = Get32(hdr + 4);
    std::vector<uint8_t*> slots;
    LeafRecords(blocks, root, levels, slots);
    // The records renumbered and sorted again, written back into the same leaves: the
    // tree keeps its shape, only its keys move.
    std::vector<std::array<uint8_t, 8>> records(slots.size());
    bool found = false;
    for (size_t i = 0; i < slots.size(); ++i) {
        std::memcpy(records[i].data(), slots[i], 8);
        if (auto it = ids.find(Get16(records[i].data())); it != ids.end()) {
            Put16(records[i].data(), it->second);
            found = true;
        }
    }
    if (!found) return false;
    std::sort(records.begin(), records.end(),
              [](const auto& a, const auto& b) { return Get16(a.data()) < Get16(b.data()); });
    for (size_t i = 1; i < records.size(); ++i)
        if (Get16(records[i].data()) == Get16(records[i - 1].data()))
            FormatError("PC BTH record", "wPropId", "duplicate property after renumbering");
    for (size_t i = 0; i < slots.size(); ++i) std::memcpy(slots[i], records[i].data(), 8);
    FixIndexKeys(blocks, root, levels);
    return true;
}

bool PatchInlineValue(std::vector<Bytes>& blocks, uint16_t propId, uint32_t value) {
    if (blocks.empty()) return false;
    size_t n = 0;
    uint8_t* hdr = MutableItem(blocks, Get32(&blocks[0][4]), n);
    if (n < 8 || hdr[0] != bTypeBTH || Get32(hdr + 4) == 0) return false;
    return PatchIn(blocks, Get32(hdr + 4), hdr[3], propId, value);
}

namespace {

// The PC of the properties `order` points to. A value that goes to a subnode is moved
// there from a PcProp, copied from a const PcProp.
template <class Prop>
LtpNode BuildPc(std::vector<Prop*> order, const SubnodeNidSource& nextSubnid) {
    std::sort(order.begin(), order.end(), [](const Prop* a, const Prop* b) { return a->id < b->id; });
    for (size_t i = 1; i < order.size(); ++i)
        if (order[i]->id == order[i - 1]->id) FormatError("PC BTH record", "wPropId", "duplicate property " + std::to_string(order[i]->id));
    LtpNode node;
    HeapWriter heap(bTypePC);
    uint8_t hdr[8] = {bTypeBTH, 2, 6, 0, 0, 0, 0, 0};
    Hid bth = heap.Allocate(hdr, 8);
    Bytes records;
    records.reserve(order.size() * 8);
    for (Prop* p : order) {
        size_t fixed = FixedTypeSize(p->type);
        uint32_t hnid = 0;
        if (fixed && fixed <= 4) {
            if (p->value.size() != fixed) FormatError("PC BTH record", "dwValueHnid", "value size does not match its type");
            uint8_t v[4] = {0, 0, 0, 0};
            std::memcpy(v, p->value.data(), fixed);
            hnid = Get32(v);
        } else if (!p->source && p->value.empty()) {
            hnid = 0;  // an empty value has no heap item, as Outlook writes it
        } else if (!p->source && p->value.size() <= kMaxHeapItem) {
            hnid = heap.Allocate(p->value);
        } else {
            Nid nid = nextSubnid();
            LtpSubnode sub;
            sub.nid = nid;
            if (p->source) sub.source = p->source;
            else if constexpr (std::is_const_v<Prop>) sub.data = p->value;
            else sub.data = std::move(p->value);
            node.subnodes.push_back(std::move(sub));
            hnid = nid;
        }
        Append16(records, p->id);
        Append16(records, p->type);
        Append32(records, hnid);
    }
    heap.SetUserRoot(WriteBth(heap, 2, 6, records, bth));
    node.blocks = heap.Finish();
    return node;
}

template <class Prop, class Props>
std::vector<Prop*> PointersTo(Props& props) {
    std::vector<Prop*> out;
    out.reserve(props.size());
    for (auto& p : props) out.push_back(&p);
    return out;
}

}  // namespace

LtpNode BuildPropertyContext(std::vector<PcProp>&& props, const SubnodeNidSource& nextSubnid) {
    return BuildPc(PointersTo<PcProp>(props), nextSubnid);
}

LtpNode BuildPropertyContext(const std::vector<PcProp>& props, const SubnodeNidSource& nextSubnid) {
    return BuildPc(PointersTo<const PcProp>(props), nextSubnid);
}

std::vector<PcProp> ReadPropertyContext(const HeapReader& heap, const std::function<Bytes(Nid)>& subnode) {
    if (heap.ClientSig() != bTypePC) FormatError("HNHDR", "bClientSig", "is not bTypePC");
    BthContents bth = ReadBth(heap, heap.UserRoot());
    if (bth.cbKey != 2 || bth.cbEnt != 6) FormatError("BTHHEADER", "cbKey", "is not a PC's 2/6");
    std::vector<PcProp> out;
    for (size_t i = 0; i + 8 <= bth.records.size(); i += 8) {
        const uint8_t* r = &bth.records[i];
        PcProp p;
        p.id = Get16(r);
        p.type = Get16(r + 2);
        uint32_t hnid = Get32(r + 4);
        size_t fixed = FixedTypeSize(p.type);
        if (fixed && fixed <= 4) {
            p.value.assign(r + 4, r + 4 + fixed);
        } else if (hnid == 0) {
            // no value bytes
        } else if (IsHid(hnid)) {
            p.value = heap.ItemBytes(hnid);
        } else {
            p.value = subnode(hnid);
        }
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace bv::mailstore::pst
