// [MS-PST] §2.3.4: the row matrix holds whole rows, every block but the last padded to
// 8176 bytes; the RowIndex BTH (§2.3.2) maps each row id to its row's position. Rows
// are added at the end of the matrix; a removed row's place takes the last row.
#include "mailstore/pst/ltp/TableEditor.h"

#include <algorithm>
#include <cstring>

namespace bv::mailstore::pst {
namespace {

constexpr size_t kRecord = 8;  // RowIndex records and index records: 4-byte key, 4-byte value
constexpr size_t kPerItem = kMaxHeapItem / kRecord;

// Puts a (key, value) record into `items` at record `pos`.
void InsertRecord(Bytes& items, size_t pos, uint32_t key, uint32_t value) {
    uint8_t rec[kRecord];
    Put32(rec, key);
    Put32(rec + 4, value);
    items.insert(items.begin() + pos * kRecord, rec, rec + kRecord);
}

// An index item's records, one per (first key, HID) entry.
template <typename Entries>
Bytes RecordsOf(const Entries& entries) {
    Bytes out;
    for (const auto& [k, h] : entries) InsertRecord(out, out.size() / kRecord, k, h);
    return out;
}

bool IsVariable(uint32_t tag) {
    size_t f = FixedTypeSize(uint16_t(tag & 0xFFFF));
    return f == 0 || f == 16;
}

}  // namespace

std::unique_ptr<TcEditor> TcEditor::Open(const Source& source, BigValueWriter bigValue) {
    std::unique_ptr<TcEditor> e(new TcEditor());
    e->source_ = source;
    e->bigValue_ = std::move(bigValue);
    Bytes b0 = source.heapBlocks ? source.heapBlock(0) : Bytes();
    if (b0.size() < 12 || b0[2] != kHeapSignature || b0[3] != bTypeTC) FormatError("HNHDR", "bClientSig", "is not bTypeTC");
    e->heap_ = std::make_unique<HeapEditor>(source.heapBlocks, [b0, load = source.heapBlock](size_t i) {
        return i == 0 ? b0 : load(i);
    });
    Bytes info = e->heap_->Item(Get32(&b0[4]));
    if (info.size() < 22 || info[0] != bTypeTC) FormatError("TCINFO", "bType", "is not 0x7C");
    const size_t cCols = info[1];
    if (22 + 8 * cCols > info.size()) FormatError("TCINFO", "cCols", "out of range");
    std::vector<uint32_t> tags;
    for (size_t i = 0; i < cCols; ++i) tags.push_back(Get32(&info[22 + 8 * i]));
    e->hidRowIndex_ = Get32(&info[10]);
    const uint32_t hnidRows = Get32(&info[14]);
    if (hnidRows == 0 || IsHid(hnidRows) || source.matrixBlocks == 0) return nullptr;
    // Only a table laid out as ours are: new rows are filled in by TcLayout.
    e->layout_ = std::make_unique<TcLayout>(tags);
    if (e->layout_->TcInfo(e->hidRowIndex_, hnidRows) != info) return nullptr;
    Bytes header = e->heap_->Item(e->hidRowIndex_);
    if (header.size() != 8 || header[0] != bTypeBTH || header[1] != 4 || header[2] != 4) return nullptr;
    e->ceb_ = Get16(&info[6]);  // rgib[TCI_1b]
    e->rowSize_ = e->layout_->RowSize();
    e->perBlock_ = kMaxBlockData / e->rowSize_;
    e->matrixBlocks_ = source.matrixBlocks;
    const Bytes& last = e->matrix_[e->matrixBlocks_ - 1] = source.matrixBlock(e->matrixBlocks_ - 1);
    if (last.size() % e->rowSize_ || last.size() / e->rowSize_ > e->perBlock_) return nullptr;
    if (last.empty() && e->matrixBlocks_ > 1) return nullptr;
    e->rows_ = e->perBlock_ * (e->matrixBlocks_ - 1) + last.size() / e->rowSize_;
    return e;
}

uint8_t* TcEditor::Row(size_t r) {
    if (r >= rows_) FormatError("TCROWID", "dwRowIndex", "out of range");
    const size_t b = r / perBlock_;
    auto it = matrix_.find(b);
    if (it == matrix_.end()) {
        Bytes data = source_.matrixBlock(b);
        if (data.size() < perBlock_ * rowSize_) FormatError("TCROWID", "dwRowIndex", "out of range");
        data.resize(perBlock_ * rowSize_);  // without the padding
        it = matrix_.emplace(b, std::move(data)).first;
    }
    const size_t off = (r % perBlock_) * rowSize_;
    if (off + rowSize_ > it->second.size()) FormatError("TCROWID", "dwRowIndex", "out of range");
    matrixChanged_[b] = true;
    return it->second.data() + off;
}

void TcEditor::FreeValues(const uint8_t* row) {
    for (const TCOLDESC& c : layout_->Columns()) {
        if (!IsVariable(c.tag) || c.tag == PidTagLtpRowId || c.tag == PidTagLtpRowVer) continue;
        if (!(row[ceb_ + c.iBit / 8] & (0x80 >> (c.iBit % 8)))) continue;
        const uint32_t hnid = Get32(row + c.ibData);
        if (hnid == 0) continue;
        if (IsHid(hnid)) heap_->Free(hnid);
        else dropped_.push_back(hnid);
    }
}

void TcEditor::FillRow(uint8_t* row, uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells) {
    std::memset(row, 0, rowSize_);
    layout_->FillRow(row, rowId, rowVer, cells, [&](uint8_t* cell, const Bytes& value) {
        Put32(cell, value.size() <= kMaxHeapItem ? heap_->Allocate(value) : bigValue_(value));
    });
}

std::optional<uint32_t> TcEditor::Lookup(uint32_t key) {
    Bytes header = heap_->Item(hidRowIndex_);
    int level = header[3];
    Hid hid = Get32(&header[4]);
    while (hid) {
        Bytes items = heap_->Item(hid);
        if (items.size() % kRecord) FormatError("BTH", "record", "size is not a multiple of 8");
        if (level == 0) {
            for (size_t i = 0; i < items.size(); i += kRecord)
                if (Get32(&items[i]) == key) return Get32(&items[i + 4]);
            return std::nullopt;
        }
        Hid next = 0;
        for (size_t i = 0; i < items.size() && (i == 0 || Get32(&items[i]) <= key); i += kRecord) next = Get32(&items[i + 4]);
        hid = next;
        --level;
    }
    return std::nullopt;
}

bool TcEditor::Contains(uint32_t rowId) { return Lookup(rowId).has_value(); }

// Sets or removes `key` in the subtree at `hid`; returns what replaces the subtree in
// its parent: (first key, HID) of none, one or two items.
TcEditor::Entries TcEditor::Modify(Hid hid, int level, uint32_t key, uint32_t value, Op op) {
    Bytes items = heap_->Item(hid);
    if (items.size() % kRecord) FormatError("BTH", "record", "size is not a multiple of 8");
    const size_t n = items.size() / kRecord;
    size_t pos = 0;
    bool atEnd = false;
    if (level == 0) {
        while (pos < n && Get32(&items[pos * kRecord]) < key) ++pos;
        const bool found = pos < n && Get32(&items[pos * kRecord]) == key;
        if (op == Op::Remove) {
            if (!found) return {{Get32(items.data()), hid}};
            items.erase(items.begin() + pos * kRecord, items.begin() + (pos + 1) * kRecord);
        } else if (found) {
            Put32(&items[pos * kRecord + 4], value);
        } else {
            InsertRecord(items, pos, key, value);
            atEnd = pos == n;
        }
    } else {
        while (pos + 1 < n && Get32(&items[(pos + 1) * kRecord]) <= key) ++pos;
        Bytes repl = RecordsOf(Modify(Get32(&items[pos * kRecord + 4]), level - 1, key, value, op));
        items.erase(items.begin() + pos * kRecord, items.begin() + (pos + 1) * kRecord);
        items.insert(items.begin() + pos * kRecord, repl.begin(), repl.end());
        atEnd = pos + 1 == n;
    }
    if (items.empty()) {
        heap_->Free(hid);
        return {};
    }
    if (items.size() <= kPerItem * kRecord) return {{Get32(items.data()), heap_->Replace(hid, items)}};
    // Split: a record added at the end leaves a full item behind (rows come in order),
    // anything else splits in halves.
    const size_t left = atEnd ? kPerItem : items.size() / kRecord / 2;
    Bytes right(items.begin() + left * kRecord, items.end());
    items.resize(left * kRecord);
    Entries out;
    out.push_back({Get32(items.data()), heap_->Replace(hid, items)});
    out.push_back({Get32(right.data()), heap_->Allocate(right)});
    return out;
}

void TcEditor::ChangeIndex(uint32_t key, uint32_t value, Op op) {
    Bytes header = heap_->Item(hidRowIndex_);
    int levels = header[3];
    const Hid root = Get32(&header[4]);
    Entries top;
    if (root) {
        top = Modify(root, levels, key, value, op);
    } else if (op == Op::Set) {
        Bytes first;
        InsertRecord(first, 0, key, value);
        top.push_back({key, heap_->Allocate(first)});
        levels = 0;
    }
    Hid newRoot = 0;
    if (top.size() == 1) {
        newRoot = top[0].second;
    } else if (top.size() > 1) {
        newRoot = heap_->Allocate(RecordsOf(top));
        ++levels;
    } else {
        levels = 0;
    }
    header[3] = uint8_t(levels);
    Put32(&header[4], newRoot);
    heap_->Replace(hidRowIndex_, header);
}

void TcEditor::AddRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells) {
    if (Lookup(rowId)) FormatError("TCROWID", "dwRowID", "duplicate row id " + std::to_string(rowId));
    const size_t r = rows_;
    const size_t b = r / perBlock_;
    if (b == matrixBlocks_) {
        // The last block is full: it gets its padding now, the new row a block of its own.
        Row(r - 1);
        matrix_[b] = Bytes();
        ++matrixBlocks_;
    }
    Bytes& block = matrix_.count(b) ? matrix_[b] : (matrix_[b] = source_.matrixBlock(b));
    block.resize(block.size() + rowSize_, 0);
    ++rows_;
    FillRow(Row(r), rowId, rowVer, cells);
    ChangeIndex(rowId, uint32_t(r), Op::Set);
}

bool TcEditor::ReplaceRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells) {
    std::optional<uint32_t> r = Lookup(rowId);
    if (!r) return false;
    uint8_t* row = Row(*r);
    FreeValues(row);
    FillRow(Row(*r), rowId, rowVer, cells);
    return true;
}

bool TcEditor::RemoveRow(uint32_t rowId) {
    std::optional<uint32_t> r = Lookup(rowId);
    if (!r) return false;
    FreeValues(Row(*r));
    const size_t last = rows_ - 1;
    if (*r != last) {
        // The last row takes the removed row's place.
        Bytes moved(Row(last), Row(last) + rowSize_);
        std::memcpy(Row(*r), moved.data(), rowSize_);
        ChangeIndex(Get32(moved.data()), *r, Op::Set);
    }
    ChangeIndex(rowId, 0, Op::Remove);
    const size_t b = last / perBlock_;
    Bytes& block = matrix_.at(b);
    block.resize((last % perBlock_) * rowSize_);
    --rows_;
    if (block.empty() && b > 0) {
        matrix_.erase(b);
        matrixChanged_.erase(b);
        --matrixBlocks_;
        Row(rows_ - 1);  // the new last block loses its padding
    }
    return true;
}

TcEditor::Changes TcEditor::Finish() {
    Changes c;
    c.heap = heap_->TakeChangedBlocks();
    c.heapBlocks = heap_->BlockCount();
    c.matrixBlocks = matrixBlocks_;
    for (auto& [b, changed] : matrixChanged_) {
        if (!changed || b >= matrixBlocks_) continue;
        Bytes block = matrix_.at(b);
        if (b + 1 < matrixBlocks_) block.resize(kMaxBlockData, 0);
        else block.resize(std::min(block.size(), (rows_ - b * perBlock_) * rowSize_));
        c.matrix.push_back({b, std::move(block)});
        changed = false;
    }
    c.droppedSubnodes = std::move(dropped_);
    dropped_.clear();
    return c;
}

}  // namespace bv::mailstore::pst
