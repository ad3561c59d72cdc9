// Heap-on-Node ([MS-PST] §2.3.1): HNHDR, HNPAGEHDR, HNBITMAPHDR, HNPAGEMAP and HIDs.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

using Hid = uint32_t;

constexpr size_t kMaxHeapItem = 3580;
constexpr uint8_t bTypePC = 0xBC;
constexpr uint8_t bTypeTC = 0x7C;
constexpr uint8_t bTypeBTH = 0xB5;
constexpr uint8_t kHeapSignature = 0xEC;

constexpr Hid MakeHid(uint32_t block, uint32_t index) { return (block << 16) | (index << 5); }
constexpr bool IsHid(uint32_t hnid) { return (hnid & 0x1F) == 0; }

// The fill level nibble for `freeBytes` free in a heap block ([MS-PST] §2.3.1.2).
uint8_t HeapFillLevel(size_t freeBytes);

// Builds the blocks of a heap: items are placed in order, a new block is opened when
// the current one (header + items + HNPAGEMAP) would pass 8176 bytes.
class HeapWriter {
public:
    explicit HeapWriter(uint8_t clientSig);
    Hid Allocate(const uint8_t* data, size_t size);
    Hid Allocate(const Bytes& data) { return Allocate(data.data(), data.size()); }
    // Replaces an item's bytes (same size) - for headers written before their contents.
    void Overwrite(Hid hid, const uint8_t* data, size_t size);
    void SetUserRoot(Hid hid) { userRoot_ = hid; }
    // For heaps written while they grow: the blocks that are complete and will not
    // change any more, with their index, now dropped from the writer. Block 0 (HNHDR)
    // and an HNBITMAPHDR block whose 128 blocks are not all complete stay until Finish.
    std::vector<std::pair<size_t, Bytes>> TakeCompleteBlocks();
    // Every block; those taken before are empty here.
    std::vector<Bytes> Finish();

private:
    struct Block {
        Bytes data;                   // the items one after the other
        std::vector<uint16_t> ends;   // where each item ends in `data`
        size_t used = 0;
        size_t count = 0;  // items, also after they were taken
        bool taken = false;
    };
    static size_t HeaderSize(size_t blockIndex);
    Bytes BuildBlock(size_t i, bool last) const;
    uint8_t FillLevel(size_t i) const;
    void SetFillLevels(size_t i, Bytes& block) const;
    size_t nextTake_ = 1;  // first block not yet looked at by TakeCompleteBlocks
    std::vector<size_t> heldBitmaps_;
    uint8_t clientSig_;
    Hid userRoot_ = 0;
    std::vector<Block> blocks_;
};

// The bytes of item `hid` in `block`, the heap block its hidBlockIndex names; throws
// naming HNPAGEMAP/HID when it is not there.
std::pair<const uint8_t*, size_t> HeapItemIn(const Bytes& block, Hid hid);
// The same in the blocks of a whole heap, to patch an item of a heap being built.
std::pair<uint8_t*, size_t> MutableHeapItem(std::vector<Bytes>& blocks, Hid hid);

class HeapReader {
public:
    explicit HeapReader(std::vector<Bytes> blocks);
    uint8_t ClientSig() const { return clientSig_; }
    Hid UserRoot() const { return userRoot_; }
    // The bytes of an item; throws naming HNPAGEMAP/HID when it is not there.
    std::pair<const uint8_t*, size_t> Item(Hid hid) const;
    Bytes ItemBytes(Hid hid) const {
        auto [p, n] = Item(hid);
        return Bytes(p, p + n);
    }
    size_t BlockCount() const { return blocks_.size(); }

private:
    std::vector<Bytes> blocks_;
    uint8_t clientSig_ = 0;
    Hid userRoot_ = 0;
};

}  // namespace bv::mailstore::pst

namespace bv::mailstore::pst {

// Changes a few items of a heap that is in the file already: blocks are read when an
// item in them is needed, and only the blocks whose items change (and block 0 or the
// HNBITMAPHDR block holding their fill level) are built again. Every other block, and
// every HID, stays as it is. New items go into the last block, or new blocks after it.
class HeapEditor {
public:
    HeapEditor(size_t blockCount, std::function<Bytes(size_t)> load);
    size_t BlockCount() const { return count_; }
    Bytes Item(Hid hid);
    Hid Allocate(const Bytes& data);
    // The item's new bytes: the same HID when its block has room, else a new one (the
    // old item freed).
    Hid Replace(Hid hid, const Bytes& data);
    void Free(Hid hid);
    // The blocks built again, by index, each as the data tree holds it (every block but
    // the last 8176 bytes); marks them unchanged.
    std::vector<std::pair<size_t, Bytes>> TakeChangedBlocks();

private:
    struct Block {
        Bytes header;  // HNHDR, HNPAGEHDR or HNBITMAPHDR as read
        std::vector<Bytes> items;
        size_t used = 0;
        bool changed = false;
    };
    Block& Get(size_t i);
    bool Fits(size_t i, size_t size);
    uint8_t FillLevel(size_t i);
    std::function<Bytes(size_t)> load_;
    size_t count_;
    std::map<size_t, Block> blocks_;
};

}  // namespace bv::mailstore::pst
