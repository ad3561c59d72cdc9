#pragma once
// Heap-on-node, BTree-on-heap, property contexts and table contexts ([MS-PST] §2.3).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Context.h"

namespace bv::pstcheck {

// A node's heap: all of its data blocks, decoded, with their page maps.
class Heap {
public:
    // Loads and checks the heap stored in the data tree bidData; false when it cannot be used.
    bool load(Context& ctx, uint64_t bidData, const std::string& name);
    // Resolves a HID to its bytes; false (with a finding when field is given) when it does not resolve.
    bool item(uint32_t hid, const uint8_t*& data, size_t& size, const char* field = nullptr);

    // File offset of a heap item (of its block when the HID does not resolve); for findings.
    uint64_t fileOffset(uint32_t hid) const;

    uint8_t clientSig = 0;
    uint32_t hidUserRoot = 0;

private:
    Context* ctx_ = nullptr;
    std::string name_;
    std::vector<uint64_t> bids_;
    std::vector<std::vector<uint8_t>> blocks_;
    std::vector<std::vector<uint16_t>> allocs_;  // rgibAlloc per block (cAlloc + 1 entries)
};

struct BthRecord {
    const uint8_t* key;
    const uint8_t* data;
    uint64_t offset;  // file offset of the record (the data may be encoded there)
};

// Walks a BTH whose header is at hidHeader; checks order and index records. Records are
// passed in key order. False when the tree is unusable.
bool WalkBth(Context& ctx, Heap& heap, uint32_t hidHeader, uint8_t cbKey, uint8_t cbEnt, const std::string& name,
             const std::function<void(const BthRecord&)>& visit);

// Whether `s` is a heap client signature of [MS-PST] §2.3.1.2.
bool KnownClientSig(uint8_t s);
// Whether a HNID names a heap item (else a subnode).
inline bool IsHnid(uint32_t v) { return (v & 0x1F) == 0; }
// Short rendering of a value for findings: hex of up to 16 bytes and the size.
std::string Bytes(const std::vector<uint8_t>& v);

// Required properties, recipient table and attachment consistency of one message PC.
void CheckMessageFacts(Context& ctx, const NodeFacts& f, const std::string& where, uint64_t off);

}  // namespace bv::pstcheck
