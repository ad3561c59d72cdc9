// Table Context ([MS-PST] §2.3.4): TCINFO, TCOLDESC, the RowIndex BTH and the row
// matrix with its cell existence bitmap (CEB).
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "mailstore/pst/ltp/Heap.h"
#include "mailstore/pst/ltp/LtpNode.h"
#include "mailstore/pst/ndb/Block.h"

namespace bv::mailstore::pst {

constexpr uint32_t PidTagLtpRowId = 0x67F20003;
constexpr uint32_t PidTagLtpRowVer = 0x67F30003;

struct TCOLDESC {
    uint32_t tag = 0;
    uint16_t ibData = 0;
    uint8_t cbData = 0;
    uint8_t iBit = 0;
};

// One cell: the property tag and its on-disk value bytes (fixed types in their
// exact size, variable types as their full value).
using TcCell = std::pair<uint32_t, Bytes>;

// Where the columns of a TC sit in its rows, and the TCINFO that says so.
class TcLayout {
public:
    // `tags` lists the columns; LtpRowId and LtpRowVer are added when missing.
    explicit TcLayout(std::vector<uint32_t> tags);
    size_t RowSize() const { return rowSize_; }
    const std::vector<TCOLDESC>& Columns() const { return cols_; }
    // Lays out one row into `row` (RowSize() zero bytes). Cells whose tag is no column
    // are ignored; columns without a cell stay absent. Variable-size values other than
    // empty ones are handed to `place`, which puts their HNID into the cell.
    void FillRow(uint8_t* row, uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells,
                 const std::function<void(uint8_t* cell, const Bytes& value)>& place) const;
    Bytes TcInfo(Hid hidRowIndex, uint32_t hnidRows) const;

private:
    std::vector<TCOLDESC> cols_;  // sorted by tag
    uint16_t rgib_[4] = {};
    size_t rowSize_ = 0;
};

// Gives columns of a built TC other property ids (old id -> new id, types kept), its
// TCOLDESCs sorted by tag again; the rows keep their layout. Returns false when the TC
// has none of them.
bool RenumberColumns(std::vector<Bytes>& heapBlocks, const std::map<uint16_t, uint16_t>& ids);

// Builds a TC row by row. Rows go into the row matrix in the order they are added.
class TcWriter {
public:
    explicit TcWriter(std::vector<uint32_t> tags);
    // A table of many rows: the blocks of its heap and of its row matrix wait in
    // `spool`, plain, as soon as they are complete (laid out as when held).
    void SpoolTo(std::shared_ptr<BlockSpool> spool) { spool_ = std::move(spool); }
    void AddRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells);
    LtpNode Finish(const SubnodeNidSource& nextSubnid);
    // Finish for a table given a spool: subnode `nid`, its blocks and its subnodes' in
    // the spool (flushed).
    LtpSubnode FinishSpooled(Nid nid, const SubnodeNidSource& nextSubnid);
    size_t RowSize() const { return layout_.RowSize(); }
    size_t RowCount() const { return rowIds_.size(); }
    const std::vector<TCOLDESC>& Columns() const { return layout_.Columns(); }

private:
    TcLayout layout_;
    HeapWriter heap_{bTypeTC};
    Hid tcinfo_ = 0;
    Hid rowIndexHeader_ = 0;
    std::vector<uint32_t> rowIds_;
    std::vector<Bytes> matrix_;  // the row matrix's blocks, as many whole rows as fit in each
    // ((block, offset) of the cell, value) for values over 3580 bytes
    std::vector<std::pair<std::pair<size_t, size_t>, Bytes>> bigCells_;
    void SpoolCompleteBlocks();
    std::shared_ptr<BlockSpool> spool_;
    std::vector<SpooledBlock> spooledHeap_;    // by block index (those taken)
    std::vector<SpooledBlock> spooledMatrix_;  // the matrix's first blocks (emptied in matrix_)
};

// Writes one data block of a node to the store and returns its BID.
using DataBlockWriter = std::function<Bid(const uint8_t* data, size_t size)>;

// Builds a TC of any number of rows with memory that does not grow with them: heap
// and row matrix blocks are written as soon as they are complete, and a value over
// 3580 bytes (a contents row's display list of many thousand names) as soon as its
// row comes. Rows must come in increasing row id (the RowIndex is written as they come).
class TcStreamWriter {
public:
    TcStreamWriter(std::vector<uint32_t> tags, DataBlockWriter write, SubnodeNidSource nextSubnid);
    void AddRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells);
    size_t RowCount() const { return rows_; }
    uint32_t LastRowId() const { return lastRowId_; }
    const std::vector<TCOLDESC>& Columns() const { return layout_.Columns(); }
    struct Result {
        std::vector<WrittenBlock> heap;  // the node's data blocks, in order
        // Values over 3580 bytes: each a subnode, its data blocks written in order.
        struct LongValue {
            Nid nid = 0;
            std::vector<WrittenBlock> blocks;
        };
        std::vector<LongValue> values;
        Nid matrixNid = 0;  // the row matrix subnode, when the rows do not fit a heap item
        std::vector<WrittenBlock> matrix;
    };
    Result Finish();

private:
    void TakeHeapBlocks();
    void FlushMatrixBlock(bool last);
    TcLayout layout_;
    DataBlockWriter write_;
    SubnodeNidSource nextSubnid_;
    HeapWriter heap_{bTypeTC};
    Hid tcinfo_ = 0;
    Hid rowIndexHeader_ = 0;
    size_t rows_ = 0;
    uint32_t lastRowId_ = 0;
    Bytes indexLeaf_;    // RowIndex records not yet in the heap
    Bytes indexLeaves_;  // (first row id, HID) of each RowIndex leaf in the heap
    size_t rowsPerBlock_ = 0;
    Bytes block_;  // rows of the row matrix block being filled
    Result result_;
};

struct TcRowRead {
    uint32_t rowId = 0;
    std::vector<TcCell> cells;  // present cells only
};
struct TcRead {
    std::vector<TCOLDESC> cols;
    uint16_t rgib[4] = {};
    std::vector<TcRowRead> rows;  // in RowIndex (row id) order
};
TcRead ReadTableContext(const HeapReader& heap, const std::function<std::vector<Bytes>(Nid)>& subnodeBlocks);

// The blocks of a TC, fetched when a reader needs them.
struct TcBlockSource {
    size_t heapBlocks = 0;
    std::function<Bytes(size_t index)> heapBlock;
    std::function<size_t(Nid)> subnodeBlocks;  // how many data blocks a subnode has
    std::function<Bytes(Nid, size_t index)> subnodeBlock;
};
// Reads a TC of any size row by row, in RowIndex (row id) order, keeping a few of its
// blocks at a time. Hands the columns to `columns` first, then each row to `row`.
void ForEachTableRow(const TcBlockSource& source, const std::function<void(const std::vector<TCOLDESC>&)>& columns,
                     const std::function<void(TcRowRead&&)>& row);

}  // namespace bv::mailstore::pst
