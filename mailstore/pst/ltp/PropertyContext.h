// Property Context ([MS-PST] §2.3.3): a heap (bClientSig 0xBC) whose user root is a
// BTH of {wPropId} -> {wPropType, dwValueHnid}.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "mailstore/pst/ltp/Heap.h"
#include "mailstore/pst/ltp/LtpNode.h"

namespace bv::mailstore::pst {

// One stored property: `value` holds the on-disk bytes (UTF-16LE strings, 8-byte
// times, MV layouts...). Values of at most 4 fixed bytes go into dwValueHnid.
struct PcProp {
    uint16_t id = 0;
    uint16_t type = 0;
    Bytes value;
    // A long value made as it is written instead (always stored in a subnode).
    std::shared_ptr<const ValueSource> source;
    uint64_t Size() const { return source ? source->Size() : value.size(); }
    // The stored bytes, made whole for a value made as it is written.
    Bytes Stored() const {
        if (!source) return value;
        Bytes b;
        b.reserve(size_t(source->Size()));
        source->Read([&](const uint8_t* data, size_t size) { b.insert(b.end(), data, data + size); });
        return b;
    }
};

// Builds a PC from properties (any order; sorted by id here). Values over 3580 bytes
// go to subnodes named by `nextSubnid`: moved there from `props` given to keep, copied
// from `props` that stay the caller's; a value's source goes along as it is.
LtpNode BuildPropertyContext(std::vector<PcProp>&& props, const SubnodeNidSource& nextSubnid);
LtpNode BuildPropertyContext(const std::vector<PcProp>& props, const SubnodeNidSource& nextSubnid);

// Replaces the dwValueHnid of an inline (at most 4-byte) property in a built PC.
// Returns false when the PC has no such property.
bool PatchInlineValue(std::vector<Bytes>& heapBlocks, uint16_t propId, uint32_t value);

// Gives properties of a built PC other ids (old id -> new id), the BTH kept in key
// order. Returns false when the PC has none of them.
bool RenumberProperties(std::vector<Bytes>& heapBlocks, const std::map<uint16_t, uint16_t>& ids);

// Reads a PC. `subnode` returns the bytes of a subnode of this node.
std::vector<PcProp> ReadPropertyContext(const HeapReader& heap, const std::function<Bytes(Nid)>& subnode);

}  // namespace bv::mailstore::pst
