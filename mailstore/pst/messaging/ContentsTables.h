// The rows of the folders' contents tables ([MS-PST] §2.4.4.5): added, replaced and
// removed here, they reach the file at the next commit. rowCount follows the rows; the
// unread count and the messages' nodes are the caller's. Moving a message to another
// folder: Remove(from, nid), Insert(to, nid, props), the node set with its new parent
// (same trees), the unread counts moved along. Each writes only the table blocks its
// row touches.
#pragma once
#include <cstdint>
#include <vector>

#include "mailstore/pst/messaging/FolderTree.h"

namespace bv::mailstore::pst {

class StoreFile;

class ContentsTables {
public:
    ContentsTables(StoreFile& file, FolderTree& folders) : file_(file), folders_(folders) {}

    // The row of a message just added to `f` (its NID above those there, mostly).
    void Add(StoreFolder& f, Nid message, const std::vector<PcProp>& props);
    void Replace(StoreFolder& f, Nid message, const std::vector<PcProp>& props);
    void Remove(StoreFolder& f, Nid message);
    // A row put in among the others (any NID), for a message moved into the folder.
    void Insert(StoreFolder& f, Nid message, const std::vector<PcProp>& props);
    // The folder's table as its rows and edits leave it, written (at a commit).
    void Write(StoreFolder& f);
    // After a stored message's PC changed (categories merged): its PidTagMessageSize
    // follows its new bytes, and its contents row its new values.
    void RefreshStoredMessage(Nid nid);
    // The rows of tables written as their rows come, not written yet.
    uint64_t StreamedRows() const { return streamedRows_; }

private:
    std::vector<TcCell> Cells(StoreFolder& f, const std::vector<PcProp>& props);
    // The changes in rowEdits made to the table in the file: in place (false when the
    // table is not one TcEditor changes), or by writing it anew.
    bool Edit(StoreFolder& f);
    void Rewrite(StoreFolder& f);
    // A table written through a TcStreamWriter: its blocks and subnodes, then its node.
    void WriteStreamedTable(Nid tableNid, const TcStreamWriter::Result& table);

    StoreFile& file_;
    FolderTree& folders_;
    uint64_t streamedRows_ = 0;
};

}  // namespace bv::mailstore::pst
