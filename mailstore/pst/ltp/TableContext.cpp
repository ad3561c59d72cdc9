// [MS-PST] §2.3.4: TCINFO {bType 0x7C, cCols, rgib[4], hidRowIndex, hnidRows, hidIndex},
// TCOLDESC sorted by tag, rows laid out as 8/4-byte cells, 2-byte cells, 1-byte cells,
// CEB. Row matrices larger than one heap item live in a subnode whose blocks hold
// whole rows only, every block but the last padded to 8176 bytes (§2.3.4.4).
#include "mailstore/pst/ltp/TableContext.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <tuple>

#include "mailstore/pst/ltp/Bth.h"

namespace bv::mailstore::pst {
namespace {

uint8_t CellSize(uint32_t tag) {
    size_t f = FixedTypeSize(uint16_t(tag & 0xFFFF));
    if (f == 0 || f == 16) return 4;  // HNID
    return uint8_t(f);
}
bool IsVariable(uint32_t tag) {
    size_t f = FixedTypeSize(uint16_t(tag & 0xFFFF));
    return f == 0 || f == 16;
}

}  // namespace

TcLayout::TcLayout(std::vector<uint32_t> tags) {
    std::sort(tags.begin(), tags.end());
    tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
    tags.erase(std::remove_if(tags.begin(), tags.end(), [](uint32_t t) { return t == PidTagLtpRowId || t == PidTagLtpRowVer; }),
               tags.end());
    if (tags.size() + 2 > 255) FormatError("TCINFO", "cCols", "out of range");
    // Placement: row id, row version, 8-byte cells, 4-byte cells, 2-byte, 1-byte, CEB.
    std::vector<TCOLDESC> placed;
    placed.push_back({PidTagLtpRowId, 0, 4, 0});
    placed.push_back({PidTagLtpRowVer, 4, 4, 1});
    uint16_t off = 8;
    uint8_t bit = 2;
    for (uint8_t size : {8, 4, 2, 1}) {
        for (uint32_t t : tags) {
            if (CellSize(t) != size) continue;
            placed.push_back({t, off, size, bit++});
            off += size;
        }
        if (size == 4) rgib_[0] = off;  // TCI_4b
        if (size == 2) rgib_[1] = off;  // TCI_2b
        if (size == 1) rgib_[2] = off;  // TCI_1b
    }
    rgib_[3] = uint16_t(off + (placed.size() + 7) / 8);  // TCI_bm
    rowSize_ = rgib_[3];
    cols_ = placed;
    std::sort(cols_.begin(), cols_.end(), [](const TCOLDESC& a, const TCOLDESC& b) { return a.tag < b.tag; });
}

void TcLayout::FillRow(uint8_t* row, uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells,
                       const std::function<void(uint8_t* cell, const Bytes& value)>& place) const {
    Put32(row, rowId);
    Put32(row + 4, rowVer);
    uint8_t* ceb = row + rgib_[2];
    ceb[0] |= 0xC0;  // row id and row version always exist
    for (const auto& [tag, value] : cells) {
        auto it = std::lower_bound(cols_.begin(), cols_.end(), tag, [](const TCOLDESC& c, uint32_t t) { return c.tag < t; });
        if (it == cols_.end() || it->tag != tag || tag == PidTagLtpRowId || tag == PidTagLtpRowVer) continue;
        uint8_t* cell = row + it->ibData;
        if (IsVariable(tag)) {
            if (value.empty()) Put32(cell, 0);
            else place(cell, value);
        } else {
            if (value.size() != it->cbData) FormatError("TCOLDESC", "cbData", "cell value size does not match its column");
            std::memcpy(cell, value.data(), value.size());
        }
        ceb[it->iBit / 8] |= uint8_t(0x80 >> (it->iBit % 8));
    }
}

Bytes TcLayout::TcInfo(Hid hidRowIndex, uint32_t hnidRows) const {
    Bytes info(22 + 8 * cols_.size(), 0);
    info[0] = bTypeTC;
    info[1] = uint8_t(cols_.size());
    for (int i = 0; i < 4; ++i) Put16(&info[2 + 2 * i], rgib_[i]);
    Put32(&info[10], hidRowIndex);
    Put32(&info[14], hnidRows);
    Put32(&info[18], 0);  // hidIndex (deprecated)
    for (size_t i = 0; i < cols_.size(); ++i) {
        uint8_t* c = &info[22 + 8 * i];
        Put32(c, cols_[i].tag);
        Put16(c + 4, cols_[i].ibData);
        c[6] = cols_[i].cbData;
        c[7] = cols_[i].iBit;
    }
    return info;
}

bool RenumberColumns(std::vector<Bytes>& blocks, const std::map<uint16_t, uint16_t>& ids) {
    if (blocks.empty() || blocks[0].size() < 8 || ids.empty()) return false;
    auto [info, n] = MutableHeapItem(blocks, Get32(&blocks[0][4]));
    if (n < 22 || info[0] != bTypeTC || n != 22 + 8 * size_t(info[1])) FormatError("TCINFO", "cCols", "does not match its size");
    std::vector<std::array<uint8_t, 8>> cols(info[1]);
    bool found = false;
    for (size_t i = 0; i < cols.size(); ++i) {
        std::memcpy(cols[i].data(), info + 22 + 8 * i, 8);
        if (auto it = ids.find(uint16_t(Get32(cols[i].data()) >> 16)); it != ids.end()) {
            Put32(cols[i].data(), uint32_t(it->second) << 16 | (Get32(cols[i].data()) & 0xFFFF));
            found = true;
        }
    }
    if (!found) return false;
    std::sort(cols.begin(), cols.end(), [](const auto& a, const auto& b) { return Get32(a.data()) < Get32(b.data()); });
    for (size_t i = 0; i < cols.size(); ++i) {
        if (i && Get32(cols[i].data()) == Get32(cols[i - 1].data()))
            FormatError("TCOLDESC", "tag", "duplicate column after renumbering");
        std::memcpy(info + 22 + 8 * i, cols[i].data(), 8);
    }
    return true;
}

namespace {
// The RowIndex BTHHEADER first (HID 0x20), then TCINFO (HID 0x40), as Outlook lays
// them out: some readers look for a BTHHEADER at 0x20 in every heap, tables included.
// Both are filled in at the end. Returns (TCINFO, BTHHEADER).
std::pair<Hid, Hid> AllocateTcHeaders(HeapWriter& heap, const TcLayout& layout) {
    uint8_t hdr[8] = {bTypeBTH, 4, 4, 0, 0, 0, 0, 0};
    Hid rowIndex = heap.Allocate(hdr, 8);
    return {heap.Allocate(Bytes(22 + 8 * layout.Columns().size(), 0)), rowIndex};
}
}  // namespace

TcWriter::TcWriter(std::vector<uint32_t> tags) : layout_(std::move(tags)) {
    std::tie(tcinfo_, rowIndexHeader_) = AllocateTcHeaders(heap_, layout_);
}

void TcWriter::AddRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells) {
    // The rows go straight into the blocks of the row matrix, whole rows to a block.
    const size_t rowSize = layout_.RowSize(), perBlock = kMaxBlockData / rowSize;
    if (matrix_.empty() || matrix_.back().size() == perBlock * rowSize) {
        if (spool_ && !matrix_.empty()) {
            // (padded, as every block of the matrix but the last)
            Bytes& full = matrix_.back();
            full.resize(kMaxBlockData, 0);
            spooledMatrix_.push_back(spool_->Put(full.data(), full.size()));
            Bytes().swap(full);
        }
        matrix_.emplace_back();
        if (matrix_.size() > 1) matrix_.back().reserve(kMaxBlockData);  // (a first block may stay small)
    }
    Bytes& block = matrix_.back();
    const size_t base = block.size();
    block.resize(base + rowSize, 0);
    layout_.FillRow(&block[base], rowId, rowVer, cells, [&](uint8_t* cell, const Bytes& value) {
        if (value.size() <= kMaxHeapItem) Put32(cell, heap_.Allocate(value));
        else bigCells_.push_back({{matrix_.size() - 1, size_t(cell - block.data())}, value});
    });
    rowIds_.push_back(rowId);
    if (spool_) SpoolCompleteBlocks();
}

void TcWriter::SpoolCompleteBlocks() {
    for (auto& [i, block] : heap_.TakeCompleteBlocks()) {
        if (spooledHeap_.size() <= i) spooledHeap_.resize(i + 1);
        spooledHeap_[i] = spool_->Put(block.data(), block.size());
    }
}

LtpNode TcWriter::Finish(const SubnodeNidSource& nextSubnid) {
    LtpNode node;
    for (auto& [where, value] : bigCells_) {
        Nid nid = nextSubnid();
        node.subnodes.push_back(SubnodeOf(nid, SplitIntoBlocks(value.data(), value.size())));
        if (where.first < spooledMatrix_.size()) {
            // (in the spool already: patched there, once it is written)
            spool_->Flush();
            Bytes block = spool_->Get(spooledMatrix_[where.first]);
            Put32(&block[where.second], nid);
            spool_->Rewrite(spooledMatrix_[where.first], block);
            continue;
        }
        Put32(&matrix_[where.first][where.second], nid);
    }
    // RowIndex: dwRowID -> dwRowIndex, sorted by row id.
    std::vector<std::pair<uint32_t, uint32_t>> index;
    index.reserve(rowIds_.size());
    for (size_t i = 0; i < rowIds_.size(); ++i) index.push_back({rowIds_[i], uint32_t(i)});
    std::sort(index.begin(), index.end());
    for (size_t i = 1; i < index.size(); ++i)
        if (index[i].first == index[i - 1].first) FormatError("TCROWID", "dwRowID", "duplicate row id " + std::to_string(index[i].first));
    Bytes records;
    records.reserve(index.size() * 8);
    for (auto& [id, row] : index) {
        Append32(records, id);
        Append32(records, row);
    }
    WriteBth(heap_, 4, 4, records, rowIndexHeader_);
    // Row matrix: one heap item, or a subnode whose blocks but the last are padded.
    uint32_t hnidRows = 0;
    if (matrix_.size() == 1 && matrix_[0].size() <= kMaxHeapItem) {
        hnidRows = heap_.Allocate(matrix_[0]);
    } else if (!matrix_.empty()) {
        for (size_t b = 0; b + 1 < matrix_.size(); ++b)
            if (b >= spooledMatrix_.size()) matrix_[b].resize(kMaxBlockData, 0);
        LtpSubnode sub;
        sub.nid = nextSubnid();
        if (spool_) {
            sub.spool = spool_;
            sub.spooled = std::move(spooledMatrix_);
            for (size_t b = sub.spooled.size(); b < matrix_.size(); ++b)
                sub.spooled.push_back(spool_->Put(matrix_[b].data(), matrix_[b].size()));
        } else {
            sub.blocks = std::move(matrix_);
        }
        hnidRows = sub.nid;
        node.subnodes.push_back(std::move(sub));
    }
    Bytes info = layout_.TcInfo(rowIndexHeader_, hnidRows);
    heap_.Overwrite(tcinfo_, info.data(), info.size());
    heap_.SetUserRoot(tcinfo_);
    node.blocks = heap_.Finish();
    matrix_.clear();
    return node;
}

LtpSubnode TcWriter::FinishSpooled(Nid nid, const SubnodeNidSource& nextSubnid) {
    LtpNode node = Finish(nextSubnid);
    LtpSubnode table;
    table.nid = nid;
    table.spool = spool_;
    spooledHeap_.resize(node.blocks.size());
    for (size_t i = 0; i < node.blocks.size(); ++i)
        if (!node.blocks[i].empty()) spooledHeap_[i] = spool_->Put(node.blocks[i].data(), node.blocks[i].size());
    table.spooled = std::move(spooledHeap_);
    table.subnodes = std::move(node.subnodes);
    spool_->Flush();
    return table;
}

TcStreamWriter::TcStreamWriter(std::vector<uint32_t> tags, DataBlockWriter write, SubnodeNidSource nextSubnid)
    : layout_(std::move(tags)), write_(std::move(write)), nextSubnid_(std::move(nextSubnid)) {
    std::tie(tcinfo_, rowIndexHeader_) = AllocateTcHeaders(heap_, layout_);
    rowsPerBlock_ = kMaxBlockData / layout_.RowSize();
}

void TcStreamWriter::AddRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells) {
    if (rows_ && rowId <= lastRowId_) FormatError("TCROWID", "dwRowID", "row " + std::to_string(rowId) + " out of order");
    if (block_.size() == rowsPerBlock_ * layout_.RowSize()) FlushMatrixBlock(false);
    size_t base = block_.size();
    block_.resize(base + layout_.RowSize(), 0);
    layout_.FillRow(&block_[base], rowId, rowVer, cells, [&](uint8_t* cell, const Bytes& value) {
        if (value.size() <= kMaxHeapItem) {
            Put32(cell, heap_.Allocate(value));
            return;
        }
        Result::LongValue& v = result_.values.emplace_back();
        v.nid = nextSubnid_();
        for (size_t at = 0; at < value.size(); at += kMaxBlockData) {
            const size_t n = std::min(kMaxBlockData, value.size() - at);
            v.blocks.push_back({write_(value.data() + at, n), n});
        }
        Put32(cell, v.nid);
    });
    // RowIndex records go into leaves of at most 3580 bytes as they come.
    Append32(indexLeaf_, rowId);
    Append32(indexLeaf_, uint32_t(rows_));
    if (indexLeaf_.size() + 8 > kMaxHeapItem) {
        Hid hid = heap_.Allocate(indexLeaf_);
        indexLeaves_.insert(indexLeaves_.end(), indexLeaf_.begin(), indexLeaf_.begin() + 4);
        Append32(indexLeaves_, hid);
        indexLeaf_.clear();
    }
    lastRowId_ = rowId;
    ++rows_;
    TakeHeapBlocks();
}

void TcStreamWriter::TakeHeapBlocks() {
    for (auto& [i, block] : heap_.TakeCompleteBlocks()) {
        if (result_.heap.size() <= i) result_.heap.resize(i + 1);
        result_.heap[i] = {write_(block.data(), block.size()), block.size()};
    }
}

void TcStreamWriter::FlushMatrixBlock(bool last) {
    // Blocks of the row matrix subnode hold whole rows; all but the last are padded.
    if (!result_.matrixNid) result_.matrixNid = nextSubnid_();
    if (!last) block_.resize(kMaxBlockData, 0);
    result_.matrix.push_back({write_(block_.data(), block_.size()), block_.size()});
    block_.clear();
}

TcStreamWriter::Result TcStreamWriter::Finish() {
    if (!indexLeaf_.empty()) {
        Hid hid = heap_.Allocate(indexLeaf_);
        indexLeaves_.insert(indexLeaves_.end(), indexLeaf_.begin(), indexLeaf_.begin() + 4);
        Append32(indexLeaves_, hid);
        indexLeaf_.clear();
    }
    WriteBthOverLeaves(heap_, 4, 4, std::move(indexLeaves_), rowIndexHeader_);
    uint32_t hnidRows = 0;
    if (result_.matrix.empty() && !block_.empty() && block_.size() <= kMaxHeapItem) {
        hnidRows = heap_.Allocate(block_);
    } else if (!block_.empty() || !result_.matrix.empty()) {
        if (!block_.empty()) FlushMatrixBlock(true);
        hnidRows = result_.matrixNid;
    }
    Bytes info = layout_.TcInfo(rowIndexHeader_, hnidRows);
    heap_.Overwrite(tcinfo_, info.data(), info.size());
    heap_.SetUserRoot(tcinfo_);
    std::vector<Bytes> blocks = heap_.Finish();
    result_.heap.resize(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i)
        if (!blocks[i].empty()) result_.heap[i] = {write_(blocks[i].data(), blocks[i].size()), blocks[i].size()};
    return std::move(result_);
}

namespace {

struct TcHeader {
    std::vector<TCOLDESC> cols;
    uint16_t rgib[4] = {};
    Hid hidRowIndex = 0;
    uint32_t hnidRows = 0;
};

TcHeader ParseTcInfo(const uint8_t* p, size_t n) {
    if (n < 22 || p[0] != bTypeTC) FormatError("TCINFO", "bType", "is not 0x7C");
    TcHeader t;
    size_t cCols = p[1];
    if (22 + 8 * cCols > n) FormatError("TCINFO", "cCols", "out of range");
    for (int i = 0; i < 4; ++i) t.rgib[i] = Get16(p + 2 + 2 * i);
    t.hidRowIndex = Get32(p + 10);
    t.hnidRows = Get32(p + 14);
    for (size_t i = 0; i < cCols; ++i) {
        const uint8_t* c = p + 22 + 8 * i;
        TCOLDESC d{Get32(c), Get16(c + 4), c[6], c[7]};
        if (size_t(d.ibData) + d.cbData > t.rgib[2]) FormatError("TCOLDESC", "ibData", "out of range");
        if (d.iBit / 8 >= size_t(t.rgib[3] - t.rgib[2])) FormatError("TCOLDESC", "iBit", "out of range");
        t.cols.push_back(d);
    }
    if (t.rgib[3] == 0 || t.rgib[2] > t.rgib[3]) FormatError("TCINFO", "rgib", "out of range");
    return t;
}

// The present cells of one row; variable-size values through `value` (by HNID).
TcRowRead DecodeRow(const TcHeader& t, uint32_t rowId, const uint8_t* row, const std::function<Bytes(uint32_t)>& value) {
    TcRowRead r;
    r.rowId = rowId;
    const uint8_t* ceb = row + t.rgib[2];
    for (const TCOLDESC& c : t.cols) {
        if (!(ceb[c.iBit / 8] & (0x80 >> (c.iBit % 8)))) continue;
        if (c.tag == PidTagLtpRowId || c.tag == PidTagLtpRowVer) continue;
        if (IsVariable(c.tag)) {
            uint32_t hnid = Get32(row + c.ibData);
            r.cells.push_back({c.tag, hnid ? value(hnid) : Bytes()});
        } else {
            r.cells.push_back({c.tag, Bytes(row + c.ibData, row + c.ibData + c.cbData)});
        }
    }
    return r;
}

}  // namespace

TcRead ReadTableContext(const HeapReader& heap, const std::function<std::vector<Bytes>(Nid)>& subnodeBlocks) {
    if (heap.ClientSig() != bTypeTC) FormatError("HNHDR", "bClientSig", "is not bTypeTC");
    auto [p, n] = heap.Item(heap.UserRoot());
    TcHeader h = ParseTcInfo(p, n);
    TcRead t;
    t.cols = h.cols;
    std::copy(h.rgib, h.rgib + 4, t.rgib);
    size_t rowSize = t.rgib[3];
    std::vector<Bytes> blocks;
    if (h.hnidRows == 0) {
    } else if (IsHid(h.hnidRows)) {
        blocks.push_back(heap.ItemBytes(h.hnidRows));
    } else {
        blocks = subnodeBlocks(h.hnidRows);
    }
    size_t perBlock = blocks.empty() ? 0 : std::max<size_t>(1, blocks[0].size() / rowSize);
    BthContents index = ReadBth(heap, h.hidRowIndex);
    if (index.cbKey != 4) FormatError("BTHHEADER", "cbKey", "RowIndex key is not 4 bytes");
    auto value = [&](uint32_t hnid) {
        if (IsHid(hnid)) return heap.ItemBytes(hnid);
        Bytes v;
        for (auto& blk : subnodeBlocks(hnid)) v.insert(v.end(), blk.begin(), blk.end());
        return v;
    };
    size_t rec = size_t(index.cbKey) + index.cbEnt;
    for (size_t i = 0; i + rec <= index.records.size(); i += rec) {
        uint32_t rowId = Get32(&index.records[i]);
        uint32_t rowNum = Get32(&index.records[i + 4]);
        size_t b = perBlock ? rowNum / perBlock : 0;
        size_t off = perBlock ? (rowNum % perBlock) * rowSize : 0;
        if (b >= blocks.size() || off + rowSize > blocks[b].size()) FormatError("TCROWID", "dwRowIndex", "out of range");
        t.rows.push_back(DecodeRow(h, rowId, blocks[b].data() + off, value));
    }
    return t;
}

void ForEachTableRow(const TcBlockSource& source, const std::function<void(const std::vector<TCOLDESC>&)>& columns,
                     const std::function<void(TcRowRead&&)>& row) {
    // A few recently used blocks of the heap and of the row matrix.
    struct Cache {
        std::function<Bytes(size_t)> load;
        std::map<size_t, std::pair<uint64_t, Bytes>> blocks;  // index -> (last use, data)
        uint64_t clock = 0;
        const Bytes& Get(size_t i) {
            auto it = blocks.find(i);
            if (it == blocks.end()) {
                if (blocks.size() >= 32) {
                    auto oldest = blocks.begin();
                    for (auto b = blocks.begin(); b != blocks.end(); ++b)
                        if (b->second.first < oldest->second.first) oldest = b;
                    blocks.erase(oldest);
                }
                it = blocks.emplace(i, std::make_pair(0, load(i))).first;
            }
            it->second.first = ++clock;
            return it->second.second;
        }
    };
    if (source.heapBlocks == 0) FormatError("HNHDR", "ibHnpm", "heap has no first block");
    Cache heap{[&](size_t i) { return source.heapBlock(i); }};
    auto item = [&](Hid hid) {
        if (!IsHid(hid)) FormatError("HID", "hidType", "is not NID_TYPE_HID");
        if ((hid >> 16) >= source.heapBlocks) FormatError("HID", "hidBlockIndex", "out of range");
        auto [p, n] = HeapItemIn(heap.Get(hid >> 16), hid);
        return Bytes(p, p + n);
    };
    const Bytes& first = heap.Get(0);
    if (first.size() < 12 || first[2] != kHeapSignature) FormatError("HNHDR", "bSig", "is not 0xEC");
    if (first[3] != bTypeTC) FormatError("HNHDR", "bClientSig", "is not bTypeTC");
    Bytes info = item(Get32(&first[4]));
    TcHeader h = ParseTcInfo(info.data(), info.size());
    columns(h.cols);
    size_t rowSize = h.rgib[3];
    // The row matrix: one heap item, or the blocks of a subnode.
    Bytes inHeap;
    size_t matrixBlocks = 0;
    if (h.hnidRows == 0) {
    } else if (IsHid(h.hnidRows)) {
        inHeap = item(h.hnidRows);
        matrixBlocks = 1;
    } else {
        matrixBlocks = source.subnodeBlocks(h.hnidRows);
    }
    Cache matrix{[&](size_t i) { return IsHid(h.hnidRows) ? inHeap : source.subnodeBlock(h.hnidRows, i); }};
    size_t perBlock = matrixBlocks ? std::max<size_t>(1, matrix.Get(0).size() / rowSize) : 0;
    auto value = [&](uint32_t hnid) {
        if (IsHid(hnid)) return item(hnid);
        Bytes v;
        for (size_t i = 0, n = source.subnodeBlocks(hnid); i < n; ++i) {
            Bytes b = source.subnodeBlock(hnid, i);
            v.insert(v.end(), b.begin(), b.end());
        }
        return v;
    };
    // The RowIndex BTH, walked leaf by leaf.
    Bytes header = item(h.hidRowIndex);
    if (header.size() < 8 || header[0] != bTypeBTH) FormatError("BTHHEADER", "bType", "is not 0xB5");
    if (header[1] != 4) FormatError("BTHHEADER", "cbKey", "RowIndex key is not 4 bytes");
    size_t cbEnt = header[2];
    std::function<void(Hid, int)> walk = [&](Hid hid, int level) {
        Bytes records = item(hid);
        size_t rec = level > 0 ? 8 : 4 + cbEnt;
        if (records.size() % rec) FormatError("BTH", "record", "size does not match the record size");
        for (size_t i = 0; i < records.size(); i += rec) {
            if (level > 0) {
                walk(Get32(&records[i + 4]), level - 1);
                continue;
            }
            uint32_t rowNum = Get32(&records[i + 4]);
            size_t b = perBlock ? rowNum / perBlock : 0;
            size_t off = perBlock ? (rowNum % perBlock) * rowSize : 0;
            if (b >= matrixBlocks) FormatError("TCROWID", "dwRowIndex", "out of range");
            const Bytes& block = matrix.Get(b);
            if (off + rowSize > block.size()) FormatError("TCROWID", "dwRowIndex", "out of range");
            // DecodeRow may load other blocks: the row is copied out of the cache first.
            Bytes copy(block.begin() + off, block.begin() + off + rowSize);
            row(DecodeRow(h, Get32(&records[i]), copy.data(), value));
        }
    };
    if (Hid root = Get32(&header[4])) walk(root, header[3]);
}

}  // namespace bv::mailstore::pst
