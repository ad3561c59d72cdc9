// Contents tables of the folders we add messages to ([MS-PST] §2.4.4.5). A new
// folder's table is written as its rows come (TcStreamWriter), so memory does not
// grow with the number of messages. A table in the file is changed in place at each
// commit (TcEditor): rows added, replaced or removed rewrite only the row matrix
// blocks, RowIndex items and heap blocks they touch, so an append costs what it adds,
// not what the folder holds. A table the editor does not change (one another writer
// laid out otherwise) is written anew with the changes.
#include "mailstore/pst/messaging/ContentsTables.h"

#include <algorithm>
#include <map>

#include "mailstore/mapi/PropTags.h"
#include "mailstore/pst/ltp/TableEditor.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/StoreFile.h"

namespace bv::mailstore::pst {
namespace {

using mapi::PR_MESSAGE_SIZE;

Nid ContentsNid(Nid folder) { return MakeNid(NID_TYPE_CONTENTS_TABLE, NidIndexOf(folder)); }

// A contents table written into the file as its rows come, its subnodes numbered from
// 0x8001.
std::unique_ptr<TcStreamWriter> TableWriter(NodeDatabase& db, const std::vector<uint32_t>& columns) {
    return std::make_unique<TcStreamWriter>(
        columns, [&db](const uint8_t* data, size_t size) { return db.WriteBlock(data, size, false); },
        [next = uint32_t(0x8001)]() mutable { return MakeNid(NID_TYPE_LTP, next++); });
}

}  // namespace

std::vector<TcCell> ContentsTables::Cells(StoreFolder& f, const std::vector<PcProp>& props) {
    if (!f.isNew && !f.columnsRead && !f.contents) {
        // The columns of the table in the file (another writer's may differ from ours).
        if (std::optional<NodeRef> ref = file_.db().FindNode(ContentsNid(f.nid))) {
            std::vector<Bid> heap = file_.db().DataTreeBids(ref->bidData);
            if (!heap.empty()) {
                Bytes b0 = file_.db().ReadBlock(heap[0]);
                if (b0.size() >= 12 && b0[3] == bTypeTC) {
                    auto [p, n] = HeapItemIn(b0, Get32(&b0[4]));
                    if (n >= 22 && 22 + 8 * size_t(p[1]) <= n) {
                        f.contentsColumns.clear();
                        for (size_t i = 0; i < p[1]; ++i) f.contentsColumns.push_back(Get32(p + 22 + 8 * i));
                    }
                }
            }
        }
        f.columnsRead = true;
    }
    std::vector<TcCell> cells;
    for (uint32_t tag : f.contentsColumns) {
        for (const PcProp& p : props) {
            if (TagOf(p) != tag) continue;
            cells.push_back({tag, p.Stored()});  // (a long display list is made here)
            break;
        }
    }
    return cells;
}

void ContentsTables::Add(StoreFolder& f, Nid message, const std::vector<PcProp>& props) {
    std::vector<TcCell> cells = Cells(f, props);
    ++f.rowCount;
    if (f.isNew && !f.contents && f.rowEdits.empty()) {
        f.contents = TableWriter(file_.db(), f.contentsColumns);
        f.rowCount = 1;
    }
    if (f.contents && (f.contents->RowCount() == 0 || message > f.contents->LastRowId()) && f.rowEdits.empty()) {
        f.contents->AddRow(message, file_.NextRowVersion(), cells);
        ++streamedRows_;
        return;
    }
    f.rowEdits.push_back({StoreFolder::RowEdit::Add, message, std::move(cells)});
}

void ContentsTables::Replace(StoreFolder& f, Nid message, const std::vector<PcProp>& props) {
    f.rowEdits.push_back({StoreFolder::RowEdit::Replace, message, Cells(f, props)});
    folders_.MarkDirty(f.nid);
}

void ContentsTables::Insert(StoreFolder& f, Nid message, const std::vector<PcProp>& props) {
    f.rowEdits.push_back({StoreFolder::RowEdit::Add, message, Cells(f, props)});
    ++f.rowCount;
    folders_.MarkDirty(f.nid);
}

void ContentsTables::Remove(StoreFolder& f, Nid message) {
    f.rowEdits.push_back({StoreFolder::RowEdit::Remove, message, {}});
    if (f.rowCount) --f.rowCount;
    folders_.MarkDirty(f.nid);
}

void ContentsTables::Write(StoreFolder& f) {
    const Nid tableNid = ContentsNid(f.nid);
    if (f.contents || f.isNew) {
        // A new table, or the rows of a folder new in this session.
        if (!f.contents) f.contents = TableWriter(file_.db(), f.contentsColumns);
        TcStreamWriter::Result table = f.contents->Finish();
        f.rowCount = uint32_t(f.contents->RowCount());
        streamedRows_ -= std::min<uint64_t>(streamedRows_, f.rowCount);
        f.contents.reset();
        WriteStreamedTable(tableNid, table);
        f.columnsRead = true;
    }
    if (f.rowEdits.empty()) return;
    if (!Edit(f)) Rewrite(f);
    f.rowEdits.clear();
}

bool ContentsTables::Edit(StoreFolder& f) {
    const Nid tableNid = ContentsNid(f.nid);
    std::optional<NodeRef> ref = file_.db().FindNode(tableNid);
    if (!ref || !ref->bidData) return false;
    // The heap's blocks: every one but the last of 8176 bytes, as ours are.
    NodeDatabase::DataTreeShape heap = file_.db().ReadDataTreeShape(ref->bidData);
    if (heap.leaves.empty()) return false;
    const Bytes heapFirst = file_.db().ReadBlock(heap.leaves[0]);
    const Bytes heapLast = heap.leaves.size() == 1 ? heapFirst : file_.db().ReadBlock(heap.leaves.back());
    if (heap.total != kMaxBlockData * (heap.leaves.size() - 1) + heapLast.size()) return false;
    if (heapFirst.size() < 12 || heapFirst[3] != bTypeTC) return false;
    auto [info, infoSize] = HeapItemIn(heapFirst, Get32(&heapFirst[4]));
    if (infoSize < 22) return false;
    const uint32_t hnidRows = Get32(info + 14);
    if (hnidRows == 0 || IsHid(hnidRows)) return false;
    // The row matrix subnode, alike.
    std::vector<SLENTRY> subs = file_.db().ReadSubnodeTree(ref->bidSub);
    auto matrixEntry = std::find_if(subs.begin(), subs.end(), [&](const SLENTRY& e) { return Nid(e.nid) == hnidRows; });
    if (matrixEntry == subs.end() || matrixEntry->bidSub) return false;
    NodeDatabase::DataTreeShape matrix = file_.db().ReadDataTreeShape(matrixEntry->bidData);
    if (matrix.leaves.empty()) return false;
    const Bytes matrixLast = file_.db().ReadBlock(matrix.leaves.back());
    if (matrix.total != kMaxBlockData * (matrix.leaves.size() - 1) + matrixLast.size()) return false;

    uint32_t nextSub = 0x8001;
    for (const SLENTRY& e : subs) nextSub = std::max(nextSub, NidIndexOf(Nid(e.nid)) + 1);
    std::vector<SLENTRY> added;
    TcEditor::Source source;
    source.heapBlocks = heap.leaves.size();
    source.heapBlock = [&](size_t i) {
        if (i == 0) return heapFirst;
        if (i + 1 == heap.leaves.size()) return heapLast;
        return file_.db().ReadBlock(heap.leaves.at(i));
    };
    source.matrixBlocks = matrix.leaves.size();
    source.matrixBlock = [&](size_t i) {
        return i + 1 == matrix.leaves.size() ? matrixLast : file_.db().ReadBlock(matrix.leaves.at(i));
    };
    std::unique_ptr<TcEditor> editor = TcEditor::Open(source, [&](const Bytes& value) {
        const Nid nid = MakeNid(NID_TYPE_LTP, nextSub++);
        added.push_back({nid, file_.db().WriteDataTree(value.data(), value.size()), 0});
        return nid;
    });
    if (!editor) return false;
    for (const StoreFolder::RowEdit& e : f.rowEdits) {
        switch (e.kind) {
        case StoreFolder::RowEdit::Add:
            if (!editor->ReplaceRow(e.nid, file_.NextRowVersion(), e.cells)) editor->AddRow(e.nid, file_.NextRowVersion(), e.cells);
            break;
        case StoreFolder::RowEdit::Replace:
            editor->ReplaceRow(e.nid, file_.NextRowVersion(), e.cells);
            break;
        case StoreFolder::RowEdit::Remove:
            editor->RemoveRow(e.nid);
            break;
        }
    }
    TcEditor::Changes changes = editor->Finish();

    // New data trees over the kept blocks and the changed ones; what they no longer
    // use is released (the kept blocks keep their one reference).
    std::vector<Bid> released = heap.internal;
    auto rebuild = [&](const NodeDatabase::DataTreeShape& old, size_t oldLastSize, size_t count,
                       std::vector<std::pair<size_t, Bytes>>& changed) {
        std::vector<WrittenBlock> written(count);
        for (size_t i = 0; i < count && i < old.leaves.size(); ++i)
            written[i] = {old.leaves[i], i + 1 == old.leaves.size() ? oldLastSize : kMaxBlockData};
        for (size_t i = count; i < old.leaves.size(); ++i) released.push_back(old.leaves[i]);
        for (auto& [i, bytes] : changed) {
            if (i < old.leaves.size()) released.push_back(old.leaves[i]);
            written.at(i) = {file_.db().WriteBlock(bytes.data(), bytes.size(), false), bytes.size()};
        }
        for (const WrittenBlock& w : written)
            if (!w.bid) throw std::logic_error("contents table: a block of the table was not written");
        return file_.db().WriteDataTree(written);
    };
    const Bid newData = rebuild(heap, heapLast.size(), changes.heapBlocks, changes.heap);
    released.insert(released.end(), matrix.internal.begin(), matrix.internal.end());
    const Bid newMatrix = rebuild(matrix, matrixLast.size(), changes.matrixBlocks, changes.matrix);
    std::vector<SLENTRY> entries;
    for (const SLENTRY& e : subs) {
        if (Nid(e.nid) == hnidRows) {
            entries.push_back({e.nid, newMatrix, 0});
        } else if (std::find(changes.droppedSubnodes.begin(), changes.droppedSubnodes.end(), Nid(e.nid)) !=
                   changes.droppedSubnodes.end()) {
            if (e.bidData) file_.db().ReleaseDataTree(e.bidData);
            if (e.bidSub) file_.db().ReleaseSubnodeTree(e.bidSub);
        } else {
            entries.push_back(e);
        }
    }
    for (const SLENTRY& e : added) {
        if (std::find(changes.droppedSubnodes.begin(), changes.droppedSubnodes.end(), Nid(e.nid)) != changes.droppedSubnodes.end())
            file_.db().ReleaseDataTree(e.bidData);
        else
            entries.push_back(e);
    }
    for (Bid b : file_.db().SubnodeTreeBlocks(ref->bidSub)) released.push_back(b);
    const Bid newSub = file_.db().WriteSubnodeTree(std::move(entries));
    file_.db().ReplaceNodeKeepingBlocks(tableNid, {newData, newSub, 0});
    for (Bid b : released) file_.db().ReleaseBlock(b);
    f.rowCount = uint32_t(editor->RowCount());
    return true;
}

void ContentsTables::Rewrite(StoreFolder& f) {
    // What the edits leave of each row they name: cells, or removed; `added` for rows
    // that are new to the table (others only replace a row that is there).
    struct Final {
        std::optional<std::vector<TcCell>> cells;
        bool added = false;
    };
    std::map<Nid, Final> edits;
    for (StoreFolder::RowEdit& e : f.rowEdits) {
        Final& x = edits[e.nid];
        if (e.kind == StoreFolder::RowEdit::Remove) {
            x.cells.reset();
            x.added = false;
        } else {
            x.cells = std::move(e.cells);
            x.added = x.added || e.kind == StoreFolder::RowEdit::Add;
        }
    }
    const Nid tableNid = ContentsNid(f.nid);
    std::optional<NodeRef> old = file_.db().FindNode(tableNid);
    std::unique_ptr<TcStreamWriter> writer;
    uint32_t rows = 0;
    auto next = edits.begin();
    auto addUpTo = [&](uint64_t below) {
        for (; next != edits.end() && next->first < below; ++next)
            if (next->second.added && next->second.cells) {
                writer->AddRow(next->first, file_.NextRowVersion(), *next->second.cells);
                ++rows;
            }
    };
    // The rows of the table in the file, in row id order, the edits merged in.
    std::vector<Bid> heap = old ? file_.db().DataTreeBids(old->bidData) : std::vector<Bid>();
    std::vector<SLENTRY> subnodes = old ? file_.db().ReadSubnodeTree(old->bidSub) : std::vector<SLENTRY>();
    std::map<Nid, std::vector<Bid>> subnodeBids;
    auto bidsOf = [&](Nid nid) -> const std::vector<Bid>& {
        auto it = subnodeBids.find(nid);
        if (it != subnodeBids.end()) return it->second;
        for (const SLENTRY& e : subnodes)
            if (e.nid == nid) return subnodeBids[nid] = file_.db().DataTreeBids(e.bidData);
        FormatError("SLENTRY", "nid", "subnode " + std::to_string(nid) + " of the contents table is missing");
    };
    if (!heap.empty()) {
        TcBlockSource source;
        source.heapBlocks = heap.size();
        source.heapBlock = [&](size_t i) { return file_.db().ReadBlock(heap[i]); };
        source.subnodeBlocks = [&](Nid nid) { return bidsOf(nid).size(); };
        source.subnodeBlock = [&](Nid nid, size_t i) { return file_.db().ReadBlock(bidsOf(nid).at(i)); };
        ForEachTableRow(
            source,
            [&](const std::vector<TCOLDESC>& cols) {
                f.contentsColumns.clear();
                for (const TCOLDESC& c : cols) f.contentsColumns.push_back(c.tag);
                writer = TableWriter(file_.db(), f.contentsColumns);
            },
            [&](TcRowRead&& r) {
                addUpTo(r.rowId);
                if (next != edits.end() && next->first == r.rowId) {
                    if (next->second.cells) {
                        writer->AddRow(r.rowId, file_.NextRowVersion(), *next->second.cells);
                        ++rows;
                    }
                    ++next;
                    return;
                }
                writer->AddRow(r.rowId, file_.NextRowVersion(), r.cells);
                ++rows;
            });
    }
    if (!writer) writer = TableWriter(file_.db(), f.contentsColumns);
    addUpTo(uint64_t(1) << 32);
    TcStreamWriter::Result table = writer->Finish();
    WriteStreamedTable(tableNid, table);
    f.rowCount = rows;
}

void ContentsTables::WriteStreamedTable(Nid tableNid, const TcStreamWriter::Result& table) {
    std::vector<SLENTRY> subs;
    for (const TcStreamWriter::Result::LongValue& v : table.values) subs.push_back({v.nid, file_.db().WriteDataTree(v.blocks), 0});
    if (table.matrixNid) subs.push_back({table.matrixNid, file_.db().WriteDataTree(table.matrix), 0});
    Bid data = file_.db().WriteDataTree(table.heap);
    file_.db().SetNode(tableNid, {data, file_.db().WriteSubnodeTree(std::move(subs)), 0});
}

void ContentsTables::RefreshStoredMessage(Nid nid) {
    std::optional<NodeRef> ref = file_.db().FindNode(nid);
    if (!ref || !ref->bidData) return;
    StoreFolder* folder = folders_.Find(ref->nidParent);
    if (!folder || folder->search) return;
    // The bytes of the node and its subnodes, as PidTagMessageSize counts them.
    std::function<uint64_t(Bid, Bid)> bytesOf = [&](Bid data, Bid sub) {
        uint64_t n = data ? file_.db().ReadDataTreeShape(data).total : 0;
        if (sub)
            for (const SLENTRY& e : file_.db().ReadSubnodeTree(sub)) n += bytesOf(e.bidData, e.bidSub);
        return n;
    };
    std::vector<PcProp> props = file_.ReadNodeProps(*ref);
    const uint64_t stored = bytesOf(ref->bidData, ref->bidSub);
    const int32_t size = int32_t(std::min<uint64_t>(stored, 0x7FFFFFFF));
    auto sizeProp = std::find_if(props.begin(), props.end(), [](const PcProp& p) { return TagOf(p) == PR_MESSAGE_SIZE; });
    if (sizeProp != props.end() && sizeProp->value.size() == 4 && int32_t(Get32(sizeProp->value.data())) != size) {
        // The size is a 4-byte value held in the PC's own BTH record: the heap keeps its
        // layout, its blocks written again with the record patched.
        *sizeProp = PropLong(PR_MESSAGE_SIZE, size);
        std::vector<Bytes> blocks = file_.db().ReadDataTree(ref->bidData);
        bool patched = false;
        const uint16_t id = uint16_t(PR_MESSAGE_SIZE >> 16);
        // PC records (wPropId, wPropType, dwValueHnid) in the BTH leaves, index
        // records (wPropId, HID) above them.
        auto item = [&](Hid hid) {
            if ((hid >> 16) >= blocks.size()) FormatError("HID", "hidBlockIndex", "out of range");
            Bytes& block = blocks[hid >> 16];
            auto [p, n] = HeapItemIn(block, hid);
            return std::make_pair(block.data() + (p - block.data()), n);
        };
        if (blocks.empty() || blocks[0].size() < 12) FormatError("HNHDR", "ibHnpm", "heap has no first block");
        auto [header, headerSize] = item(Get32(&blocks[0][4]));
        if (headerSize >= 8 && header[0] == bTypeBTH && header[1] == 2 && header[2] == 6) {
            std::function<void(Hid, int)> walk = [&](Hid hid, int level) {
                auto [p, n] = item(hid);
                const size_t rec = level ? 6 : 8;
                for (size_t i = 0; i + rec <= n && !patched; i += rec) {
                    if (level) {
                        walk(Get32(p + i + 2), level - 1);
                    } else if (Get16(p + i) == id) {
                        Put32(p + i + 4, uint32_t(size));
                        patched = true;
                    }
                }
            };
            if (Hid root = Get32(header + 4)) walk(root, header[3]);
        }
        if (patched) {
            std::vector<WrittenBlock> written;
            for (const Bytes& b : blocks) written.push_back({file_.db().WriteBlock(b.data(), b.size(), false), b.size()});
            file_.db().SetNode(nid, {file_.db().WriteDataTree(written), ref->bidSub, ref->nidParent});
            // The subnode tree is the old node's too: SetNode released nothing of it.
        }
    }
    Replace(*folder, nid, props);
}

}  // namespace bv::mailstore::pst
