// [MS-PST] §2.3.1: HNHDR (block 0), HNBITMAPHDR (blocks 8, 136, 264, ...), HNPAGEHDR
// (all other blocks), each block closed by its HNPAGEMAP.
#include "mailstore/pst/ltp/Heap.h"

#include <cstring>
#include <stdexcept>

namespace bv::mailstore::pst {
namespace {

constexpr size_t kHnHdrSize = 12;
constexpr size_t kHnPageHdrSize = 2;
constexpr size_t kHnBitmapHdrSize = 66;
constexpr size_t kMaxItemsPerBlock = 2047;  // hidIndex is 11 bits

size_t PageMapSize(size_t items) { return 4 + 2 * (items + 1); }
bool IsBitmapBlock(size_t i) { return i >= 8 && (i - 8) % 128 == 0; }

}  // namespace

uint8_t HeapFillLevel(size_t f) {
    if (f >= 3584) return 0x0;
    if (f >= 2560) return 0x1;
    if (f >= 2048) return 0x2;
    if (f >= 1792) return 0x3;
    if (f >= 1536) return 0x4;
    if (f >= 1280) return 0x5;
    if (f >= 1024) return 0x6;
    if (f >= 768) return 0x7;
    if (f >= 512) return 0x8;
    if (f >= 256) return 0x9;
    if (f >= 128) return 0xA;
    if (f >= 64) return 0xB;
    if (f >= 32) return 0xC;
    if (f >= 16) return 0xD;
    if (f >= 8) return 0xE;
    return 0xF;
}

HeapWriter::HeapWriter(uint8_t clientSig) : clientSig_(clientSig) { blocks_.emplace_back(); }

size_t HeapWriter::HeaderSize(size_t i) {
    if (i == 0) return kHnHdrSize;
    return IsBitmapBlock(i) ? kHnBitmapHdrSize : kHnPageHdrSize;
}

Hid HeapWriter::Allocate(const uint8_t* data, size_t size) {
    if (size > kMaxHeapItem) FormatError("HNPAGEMAP", "rgibAlloc", "item of " + std::to_string(size) + " bytes exceeds 3580");
    Block* b = &blocks_.back();
    size_t index = blocks_.size() - 1;
    auto fits = [&](const Block& blk, size_t idx) {
        size_t total = HeaderSize(idx) + blk.used + size + PageMapSize(blk.ends.size() + 1) + 1;
        return total <= kMaxBlockData && blk.ends.size() < kMaxItemsPerBlock;
    };
    if (!fits(*b, index)) {
        if (blocks_.size() >= 0xFFFF) FormatError("HID", "hidBlockIndex", "heap exceeds 65535 blocks");
        blocks_.emplace_back();
        b = &blocks_.back();
        index = blocks_.size() - 1;
    }
    if (b->data.empty()) b->data.reserve(kMaxBlockData);
    b->data.insert(b->data.end(), data, data + size);
    b->ends.push_back(uint16_t(b->data.size()));
    b->used += size;
    ++b->count;
    return MakeHid(uint32_t(index), uint32_t(b->ends.size()));
}

void HeapWriter::Overwrite(Hid hid, const uint8_t* data, size_t size) {
    Block& b = blocks_.at(hid >> 16);
    if (b.taken) throw std::logic_error("HeapWriter: item of a block already written");
    const size_t k = ((hid >> 5) & 0x7FF) - 1;
    const size_t start = k == 0 ? 0 : b.ends.at(k - 1);
    if (b.ends.at(k) - start != size) FormatError("HNPAGEMAP", "rgibAlloc", "item size changed");
    std::memcpy(b.data.data() + start, data, size);
}

uint8_t HeapWriter::FillLevel(size_t i) const {
    const Block& b = blocks_[i];
    return HeapFillLevel(kMaxBlockData - (HeaderSize(i) + b.used + PageMapSize(b.count)));
}

Bytes HeapWriter::BuildBlock(size_t i, bool last) const {
    const Block& b = blocks_[i];
    size_t hdr = HeaderSize(i);
    size_t ibHnpm = hdr + b.used;
    ibHnpm += ibHnpm & 1;  // the page map starts on an even offset
    // Every block of a data tree but the last holds 8176 bytes: as Outlook does,
    // the page map follows the items and zero padding follows the page map.
    Bytes block(last ? ibHnpm + PageMapSize(b.ends.size()) : kMaxBlockData, 0);
    if (!b.data.empty()) std::memcpy(block.data() + hdr, b.data.data(), b.data.size());
    size_t freeItems = 0, start = 0;
    uint8_t* map = block.data() + ibHnpm;
    for (size_t k = 0; k < b.ends.size(); ++k) {
        Put16(map + 4 + 2 * k, uint16_t(hdr + start));
        freeItems += b.ends[k] == start ? 1 : 0;
        start = b.ends[k];
    }
    Put16(map, uint16_t(b.ends.size()));  // cAlloc
    Put16(map + 2, uint16_t(freeItems));  // cFree: empty items count as freed
    Put16(map + 4 + 2 * b.ends.size(), uint16_t(hdr + start));
    Put16(block.data(), uint16_t(ibHnpm));
    return block;
}

void HeapWriter::SetFillLevels(size_t i, Bytes& block) const {
    if (i == 0) {
        // HNHDR: ibHnpm, bSig, bClientSig, hidUserRoot, rgbFillLevel (blocks 0-7).
        block[2] = kHeapSignature;
        block[3] = clientSig_;
        Put32(&block[4], userRoot_);
        for (size_t j = 0; j < 8 && j < blocks_.size(); ++j) block[8 + j / 2] |= uint8_t(FillLevel(j) << (4 * (j % 2)));
    } else if (IsBitmapBlock(i)) {
        // HNBITMAPHDR: ibHnpm, rgbFillLevel for the 128 blocks from this one.
        for (size_t j = 0; j < 128 && i + j < blocks_.size(); ++j)
            block[2 + j / 2] |= uint8_t(FillLevel(i + j) << (4 * (j % 2)));
    }
}

std::vector<std::pair<size_t, Bytes>> HeapWriter::TakeCompleteBlocks() {
    std::vector<std::pair<size_t, Bytes>> out;
    auto take = [&](size_t i) {
        Bytes block = BuildBlock(i, false);
        SetFillLevels(i, block);
        Block& b = blocks_[i];
        b.taken = true;
        Bytes().swap(b.data);
        std::vector<uint16_t>().swap(b.ends);
        out.push_back({i, std::move(block)});
    };
    size_t complete = blocks_.size() - 1;  // the last block may still take items
    for (; nextTake_ < complete; ++nextTake_) {
        if (IsBitmapBlock(nextTake_)) heldBitmaps_.push_back(nextTake_);
        else take(nextTake_);
    }
    while (!heldBitmaps_.empty() && heldBitmaps_.front() + 128 <= complete) {
        take(heldBitmaps_.front());
        heldBitmaps_.erase(heldBitmaps_.begin());
    }
    return out;
}

std::vector<Bytes> HeapWriter::Finish() {
    // Each block's items are let go as soon as the block is made (its fill level is
    // kept): a large heap is not held twice.
    std::vector<Bytes> out(blocks_.size());
    for (size_t i = 0; i < blocks_.size(); ++i) {
        Block& b = blocks_[i];
        if (b.taken) continue;
        out[i] = BuildBlock(i, i + 1 == blocks_.size());
        SetFillLevels(i, out[i]);
        b.taken = true;
        Bytes().swap(b.data);
        std::vector<uint16_t>().swap(b.ends);
    }
    return out;
}

HeapReader::HeapReader(std::vector<Bytes> blocks) : blocks_(std::move(blocks)) {
    if (blocks_.empty() || blocks_[0].size() < kHnHdrSize) FormatError("HNHDR", "ibHnpm", "heap has no first block");
    const Bytes& b0 = blocks_[0];
    if (b0[2] != kHeapSignature) FormatError("HNHDR", "bSig", "is not 0xEC");
    clientSig_ = b0[3];
    userRoot_ = Get32(&b0[4]);
}

std::pair<const uint8_t*, size_t> HeapReader::Item(Hid hid) const {
    if (!IsHid(hid)) FormatError("HID", "hidType", "is not NID_TYPE_HID");
    size_t block = hid >> 16;
    if (block >= blocks_.size()) FormatError("HID", "hidBlockIndex", "out of range");
    return HeapItemIn(blocks_[block], hid);
}

std::pair<const uint8_t*, size_t> HeapItemIn(const Bytes& b, Hid hid) {
    if (!IsHid(hid)) FormatError("HID", "hidType", "is not NID_TYPE_HID");
    size_t index = (hid >> 5) & 0x7FF;
    if (b.size() < 2) FormatError("HNPAGEHDR", "ibHnpm", "out of range");
    size_t ibHnpm = Get16(b.data());
    if (ibHnpm + 4 > b.size()) FormatError("HNPAGEHDR", "ibHnpm", "out of range");
    size_t cAlloc = Get16(&b[ibHnpm]);
    if (ibHnpm + 4 + 2 * (cAlloc + 1) > b.size()) FormatError("HNPAGEMAP", "cAlloc", "out of range");
    if (index < 1 || index > cAlloc) FormatError("HID", "hidIndex", "out of range");
    size_t start = Get16(&b[ibHnpm + 4 + 2 * (index - 1)]);
    size_t end = Get16(&b[ibHnpm + 4 + 2 * index]);
    if (start > end || end > ibHnpm) FormatError("HNPAGEMAP", "rgibAlloc", "out of range");
    return {b.data() + start, end - start};
}

std::pair<uint8_t*, size_t> MutableHeapItem(std::vector<Bytes>& blocks, Hid hid) {
    const size_t block = hid >> 16;
    if (block >= blocks.size()) FormatError("HID", "hidBlockIndex", "out of range");
    auto [p, n] = HeapItemIn(blocks[block], hid);
    return {blocks[block].data() + (p - blocks[block].data()), n};
}

}  // namespace bv::mailstore::pst

namespace bv::mailstore::pst {

HeapEditor::HeapEditor(size_t blockCount, std::function<Bytes(size_t)> load) : load_(std::move(load)), count_(blockCount) {
    if (count_ == 0) FormatError("HNHDR", "ibHnpm", "heap has no first block");
}

HeapEditor::Block& HeapEditor::Get(size_t i) {
    auto it = blocks_.find(i);
    if (it != blocks_.end()) return it->second;
    Block b;
    if (i >= count_) FormatError("HID", "hidBlockIndex", "out of range");
    Bytes raw = load_(i);
    const size_t hdr = i == 0 ? kHnHdrSize : IsBitmapBlock(i) ? kHnBitmapHdrSize : kHnPageHdrSize;
    if (raw.size() < hdr + 4) FormatError("HNPAGEHDR", "ibHnpm", "out of range");
    const size_t ibHnpm = Get16(raw.data());
    if (ibHnpm < hdr || ibHnpm + 4 > raw.size()) FormatError("HNPAGEHDR", "ibHnpm", "out of range");
    const size_t cAlloc = Get16(&raw[ibHnpm]);
    if (ibHnpm + 4 + 2 * (cAlloc + 1) > raw.size()) FormatError("HNPAGEMAP", "cAlloc", "out of range");
    b.header.assign(raw.begin(), raw.begin() + hdr);
    for (size_t k = 0; k < cAlloc; ++k) {
        size_t start = Get16(&raw[ibHnpm + 4 + 2 * k]);
        size_t end = Get16(&raw[ibHnpm + 4 + 2 * (k + 1)]);
        if (start > end || end > ibHnpm || start < hdr) FormatError("HNPAGEMAP", "rgibAlloc", "out of range");
        b.items.emplace_back(raw.begin() + start, raw.begin() + end);
        b.used += end - start;
    }
    return blocks_.emplace(i, std::move(b)).first->second;
}

Bytes HeapEditor::Item(Hid hid) {
    if (!IsHid(hid)) FormatError("HID", "hidType", "is not NID_TYPE_HID");
    Block& b = Get(hid >> 16);
    size_t index = (hid >> 5) & 0x7FF;
    if (index < 1 || index > b.items.size()) FormatError("HID", "hidIndex", "out of range");
    return b.items[index - 1];
}

bool HeapEditor::Fits(size_t i, size_t size) {
    Block& b = Get(i);
    const size_t hdr = b.header.size();
    return hdr + b.used + size + PageMapSize(b.items.size() + 1) + 1 <= kMaxBlockData && b.items.size() < kMaxItemsPerBlock;
}

Hid HeapEditor::Allocate(const Bytes& data) {
    if (data.size() > kMaxHeapItem) FormatError("HNPAGEMAP", "rgibAlloc", "item of " + std::to_string(data.size()) + " bytes exceeds 3580");
    size_t i = count_ - 1;
    if (!Fits(i, data.size())) {
        if (count_ >= 0xFFFF) FormatError("HID", "hidBlockIndex", "heap exceeds 65535 blocks");
        // The block that was last is padded now: it changes too.
        Get(i).changed = true;
        i = count_++;
        Block nb;
        nb.header.assign(IsBitmapBlock(i) ? kHnBitmapHdrSize : kHnPageHdrSize, 0);
        blocks_.emplace(i, std::move(nb));
    }
    Block& b = blocks_.at(i);
    b.items.push_back(data);
    b.used += data.size();
    b.changed = true;
    return MakeHid(uint32_t(i), uint32_t(b.items.size()));
}

Hid HeapEditor::Replace(Hid hid, const Bytes& data) {
    if (data.size() > kMaxHeapItem) FormatError("HNPAGEMAP", "rgibAlloc", "item of " + std::to_string(data.size()) + " bytes exceeds 3580");
    Item(hid);  // checks it
    const size_t i = hid >> 16;
    Block& b = blocks_.at(i);
    Bytes& item = b.items[((hid >> 5) & 0x7FF) - 1];
    const size_t hdr = b.header.size();
    if (data.size() <= item.size() ||
        hdr + b.used - item.size() + data.size() + PageMapSize(b.items.size()) + 1 <= kMaxBlockData) {
        b.used = b.used - item.size() + data.size();
        item = data;
        b.changed = true;
        return hid;
    }
    Free(hid);
    return Allocate(data);
}

void HeapEditor::Free(Hid hid) {
    Item(hid);
    Block& b = blocks_.at(hid >> 16);
    Bytes& item = b.items[((hid >> 5) & 0x7FF) - 1];
    b.used -= item.size();
    Bytes().swap(item);
    b.changed = true;
}

uint8_t HeapEditor::FillLevel(size_t i) {
    Block& b = Get(i);
    return HeapFillLevel(kMaxBlockData - (b.header.size() + b.used + PageMapSize(b.items.size())));
}

std::vector<std::pair<size_t, Bytes>> HeapEditor::TakeChangedBlocks() {
    // A changed block's fill level is kept in block 0 (blocks 0-7) or the HNBITMAPHDR
    // block of its group of 128.
    std::vector<size_t> changed;
    for (auto& [i, b] : blocks_)
        if (b.changed) changed.push_back(i);
    for (size_t i : changed) {
        size_t holder = i < 8 ? 0 : 8 + (i - 8) / 128 * 128;
        size_t at = i < 8 ? 8 + i / 2 : 2 + (i - holder) / 2;
        size_t shift = 4 * ((i - holder) % 2);
        uint8_t level = FillLevel(i);
        Block& h = Get(holder);
        uint8_t& nibbles = h.header.at(at);
        uint8_t updated = uint8_t((nibbles & ~(0xF << shift)) | (level << shift));
        if (updated != nibbles) {
            nibbles = updated;
            h.changed = true;
        }
    }
    std::vector<std::pair<size_t, Bytes>> out;
    for (auto& [i, b] : blocks_) {
        if (!b.changed) continue;
        // The page map follows the items on an even offset; every block but the
        // last is padded to 8176 bytes.
        const size_t hdr = b.header.size();
        size_t ibHnpm = hdr + b.used;
        ibHnpm += ibHnpm & 1;
        const bool last = i + 1 == count_;
        Bytes block(last ? ibHnpm + PageMapSize(b.items.size()) : kMaxBlockData, 0);
        std::memcpy(block.data(), b.header.data(), hdr);
        Put16(block.data(), uint16_t(ibHnpm));
        uint8_t* map = block.data() + ibHnpm;
        size_t freeItems = 0, off = hdr;
        for (size_t k = 0; k < b.items.size(); ++k) {
            Put16(map + 4 + 2 * k, uint16_t(off));
            if (b.items[k].empty()) ++freeItems;
            else std::memcpy(block.data() + off, b.items[k].data(), b.items[k].size());
            off += b.items[k].size();
        }
        Put16(map + 4 + 2 * b.items.size(), uint16_t(off));
        Put16(map, uint16_t(b.items.size()));
        Put16(map + 2, uint16_t(freeItems));
        out.push_back({i, std::move(block)});
        b.changed = false;
    }
    return out;
}

}  // namespace bv::mailstore::pst
