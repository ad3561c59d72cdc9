// Table Context ([MS-PST] §2.3.4): TCINFO, TCOLDESC, the RowIndex BTH and the row
// matrix with its cell existence bitmap (CEB).
#pragma once
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "mailstore/pst/ltp/Heap.h"
#include "mailstore/pst/ltp/LtpNode.h"

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

// Builds a TC row by row. Rows go into the row matrix in the order they are added.
class TcWriter {
public:
    // `tags` lists the columns; LtpRowId and LtpRowVer are added when missing.
    explicit TcWriter(std::vector<uint32_t> tags);
    // Cells whose tag is no column are ignored; columns without a cell stay absent.
    void AddRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells);
    LtpNode Finish(const SubnodeNidSource& nextSubnid);
    size_t RowSize() const { return rowSize_; }
    size_t RowCount() const { return rowIds_.size(); }
    const std::vector<TCOLDESC>& Columns() const { return cols_; }

private:
    std::vector<TCOLDESC> cols_;  // sorted by tag
    uint16_t rgib_[4] = {};
    size_t rowSize_ = 0;
    HeapWriter heap_{bTypeTC};
    Hid tcinfo_ = 0;
    Hid rowIndexHeader_ = 0;
    std::vector<uint32_t> rowIds_;
    Bytes matrix_;  // rows packed without block padding
    std::vector<std::pair<size_t, Bytes>> bigCells_;  // (matrix offset of the cell, value) for values over 3580
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

}  // namespace bv::mailstore::pst
