// Changes a table context that is in the file already, row by row: rows appended,
// replaced or removed touch only the row matrix blocks, RowIndex BTH items and heap
// blocks they are in; every other block of the table stays as it is.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "mailstore/pst/ltp/Heap.h"
#include "mailstore/pst/ltp/TableContext.h"

namespace bv::mailstore::pst {

class TcEditor {
public:
    struct Source {
        size_t heapBlocks = 0;
        std::function<Bytes(size_t)> heapBlock;
        size_t matrixBlocks = 0;  // the row matrix subnode's data blocks
        std::function<Bytes(size_t)> matrixBlock;
    };
    // Values over 3580 bytes go into a subnode of the table: `bigValue` writes one and
    // returns its NID.
    using BigValueWriter = std::function<Nid(const Bytes&)>;
    // nullptr for a table this editor does not change in place: rows in the heap or
    // none, or columns laid out otherwise than TcLayout lays them out (the caller then
    // writes the table anew). Throws on a damaged table.
    static std::unique_ptr<TcEditor> Open(const Source& source, BigValueWriter bigValue);

    const std::vector<TCOLDESC>& Columns() const { return layout_->Columns(); }
    size_t RowCount() const { return rows_; }
    bool Contains(uint32_t rowId);
    // A row of a new row id (placed at the end of the row matrix).
    void AddRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells);
    // False when the table has no row of that id.
    bool ReplaceRow(uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells);
    bool RemoveRow(uint32_t rowId);

    struct Changes {
        size_t heapBlocks = 0;
        std::vector<std::pair<size_t, Bytes>> heap;  // blocks built again, by index
        size_t matrixBlocks = 0;
        std::vector<std::pair<size_t, Bytes>> matrix;
        std::vector<Nid> droppedSubnodes;  // values of removed or replaced cells
    };
    Changes Finish();

private:
    TcEditor() = default;
    uint8_t* Row(size_t r);  // marks its block changed
    void FreeValues(const uint8_t* row);
    void FillRow(uint8_t* row, uint32_t rowId, uint32_t rowVer, const std::vector<TcCell>& cells);
    enum class Op { Set, Remove };
    using Entries = std::vector<std::pair<uint32_t, Hid>>;
    Entries Modify(Hid hid, int level, uint32_t key, uint32_t value, Op op);
    void ChangeIndex(uint32_t key, uint32_t value, Op op);
    std::optional<uint32_t> Lookup(uint32_t key);

    std::unique_ptr<TcLayout> layout_;
    std::unique_ptr<HeapEditor> heap_;
    BigValueWriter bigValue_;
    Source source_;
    Hid hidRowIndex_ = 0;
    size_t rowSize_ = 0;
    size_t ceb_ = 0;  // where the cell existence bitmap starts in a row
    size_t perBlock_ = 0;
    size_t rows_ = 0;
    size_t matrixBlocks_ = 0;
    std::map<size_t, Bytes> matrix_;  // loaded row matrix blocks (unpadded)
    std::map<size_t, bool> matrixChanged_;
    std::vector<Nid> dropped_;
};

}  // namespace bv::mailstore::pst
