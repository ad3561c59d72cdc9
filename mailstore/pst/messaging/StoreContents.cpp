// Contents tables of the folders we add messages to ([MS-PST] §2.4.4.5): each row is
// written into the table's blocks in the file when its message arrives, so memory
// does not grow with the number of messages. The table node is entered at Close.
#include "mailstore/pst/messaging/Store.h"

#include <map>

#include "mailstore/pst/messaging/PropertyEncoding.h"

namespace bv::mailstore::pst {

TcStreamWriter& Store::ContentsWriter(Folder& f) {
    if (f.contents) return *f.contents;
    const Nid tableNid = MakeNid(NID_TYPE_CONTENTS_TABLE, NidIndexOf(f.nid));
    auto write = [this](const uint8_t* data, size_t size) { return db_->WriteBlock(data, size, false); };
    auto subnids = [next = uint32_t(0x8001)]() mutable { return MakeNid(NID_TYPE_LTP, next++); };
    // (A new folder's table is in the file already when rows were changed: see WriteContents.)
    std::optional<NodeRef> old = f.isNew && f.rowChanges.empty() ? std::nullopt : db_->FindNode(tableNid);
    if (!old) {
        f.contents = std::make_unique<TcStreamWriter>(f.contentsColumns, write, subnids);
        f.rowCount = 0;
        PutChangedRows(f, UINT64_MAX);
        return *f.contents;
    }
    // A folder of an opened store: the new table starts with the rows (and the columns)
    // of the one it replaces, read a few blocks at a time, in row id order; new
    // messages have higher NIDs.
    std::vector<Bid> heap = db_->DataTreeBids(old->bidData);
    std::vector<SLENTRY> subnodes = db_->ReadSubnodeTree(old->bidSub);
    std::map<Nid, std::vector<Bid>> subnodeBids;
    auto bidsOf = [&](Nid nid) -> const std::vector<Bid>& {
        auto it = subnodeBids.find(nid);
        if (it != subnodeBids.end()) return it->second;
        for (const SLENTRY& e : subnodes)
            if (e.nid == nid) return subnodeBids[nid] = db_->DataTreeBids(e.bidData);
        FormatError("SLENTRY", "nid", "subnode " + std::to_string(nid) + " of the contents table is missing");
    };
    TcBlockSource source;
    source.heapBlocks = heap.size();
    source.heapBlock = [&](size_t i) { return db_->ReadBlock(heap[i]); };
    source.subnodeBlocks = [&](Nid nid) { return bidsOf(nid).size(); };
    source.subnodeBlock = [&](Nid nid, size_t i) { return db_->ReadBlock(bidsOf(nid).at(i)); };
    f.rowCount = 0;
    ForEachTableRow(
        source,
        [&](const std::vector<TCOLDESC>& cols) {
            f.contentsColumns.clear();
            for (const TCOLDESC& c : cols) f.contentsColumns.push_back(c.tag);
            f.contents = std::make_unique<TcStreamWriter>(f.contentsColumns, write, subnids);
        },
        [&](TcRowRead&& r) {
            PutChangedRows(f, r.rowId);
            // A row taken out, or put in anew (the change replaces it), in its place.
            if (f.rowChanges.count(r.rowId)) return PutChangedRows(f, uint64_t(r.rowId) + 1);
            f.contents->AddRow(r.rowId, NextRowVersion(), r.cells);
            ++f.rowCount;
        });
    PutChangedRows(f, UINT64_MAX);
    return *f.contents;
}

void Store::PutChangedRows(Folder& f, uint64_t before) {
    while (!f.rowChanges.empty() && f.rowChanges.begin()->first < before) {
        auto change = f.rowChanges.begin();
        if (change->second) {  // (a row taken out that the table did not have is no row)
            f.contents->AddRow(change->first, NextRowVersion(), RowCells(f, *change->second));
            ++f.rowCount;
        }
        f.rowChanges.erase(change);
    }
}

std::vector<TcCell> Store::RowCells(const Folder& f, const std::vector<PcProp>& props) {
    // The message's values for the table's columns.
    std::vector<TcCell> cells;
    for (uint32_t tag : f.contentsColumns) {
        for (const PcProp& p : props) {
            if (TagOf(p) != tag) continue;
            cells.push_back({tag, p.value});
            break;
        }
    }
    return cells;
}

void Store::RemoveContentsRow(Folder& f, Nid message) {
    f.rowChanges[message] = std::nullopt;
    if (f.rowCount > 0) --f.rowCount;
    MarkDirty(f.nid);
}

void Store::InsertContentsRow(Folder& f, Nid message, std::vector<PcProp> props) {
    f.rowChanges[message] = std::move(props);
    ++f.rowCount;
    MarkDirty(f.nid);
}

void Store::AddContentsRow(Folder& f, Nid message, const std::vector<PcProp>& props) {
    TcStreamWriter& writer = ContentsWriter(f);
    writer.AddRow(message, NextRowVersion(), RowCells(f, props));
    ++f.rowCount;
}

void Store::WriteContents(Folder& f) {
    if (!f.rowChanges.empty()) {
        // Rows taken out or put in among the others: the table is written as it
        // stands, then read again with the changes (ContentsWriter).
        if (f.contents) WriteContentsNode(f);
        ContentsWriter(f);
    }
    // A folder of an opened store that got no messages keeps its table.
    if (!f.contents && !f.isNew) return;
    WriteContentsNode(f);
}

void Store::WriteContentsNode(Folder& f) {
    TcStreamWriter::Result table = ContentsWriter(f).Finish();
    f.contents.reset();
    std::vector<SLENTRY> subs;
    for (const LtpSubnode& s : table.subnodes) subs.push_back({s.nid, db_->WriteDataTree(s.blocks), 0});
    if (table.matrixNid) subs.push_back({table.matrixNid, db_->WriteDataTree(table.matrix), 0});
    Bid data = db_->WriteDataTree(table.heap);
    db_->SetNode(MakeNid(NID_TYPE_CONTENTS_TABLE, NidIndexOf(f.nid)), {data, db_->WriteSubnodeTree(std::move(subs)), 0});
}

}  // namespace bv::mailstore::pst
