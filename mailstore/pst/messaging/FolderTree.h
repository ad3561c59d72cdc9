// The folders of a store ([MS-PST] §2.4.4), kept in memory while it is open: each
// folder's place in the tree, its name, class and counts, found by NID or by name
// under its parent; read from the file's hierarchy tables when a store is opened and
// written (PC and hierarchy table) at each commit of a folder that changed. The rows
// of the folders' contents tables are ContentsTables'.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/messaging/StoreHandles.h"
#include "mailstore/pst/ndb/NodeDatabase.h"

namespace bv::mailstore::pst {

class StoreFile;

constexpr Nid kSpamSearchFolder = 0x2223;  // "SPAM Search Folder 2" ([MS-PST] §2.7.3.4)

struct StoreFolder {
    Nid nid = 0;
    Nid parent = 0;
    std::string name;
    std::string containerClass;
    bool search = false;
    bool isNew = true;
    bool dirty = true;
    std::vector<PcProp> keptProps;  // other PC properties of a folder read from the file
    std::vector<Nid> children;
    // The children by name, its ASCII letters lowered: a folder is found among
    // thousands at the cost of one.
    std::unordered_map<std::string, Nid> childByName;
    std::vector<uint32_t> contentsColumns;
    uint32_t rowCount = 0;
    // A contents table written whole (a new folder): its rows as they come.
    std::unique_ptr<TcStreamWriter> contents;
    // Changes to the contents table in the file, made at the next commit: only the
    // blocks they touch are written (ContentsTables).
    struct RowEdit {
        enum Kind { Add, Replace, Remove } kind;
        Nid nid;
        std::vector<TcCell> cells;
    };
    std::vector<RowEdit> rowEdits;
    bool columnsRead = false;  // contentsColumns are those of the table in the file
    uint32_t unread = 0;
};

// The columns of the store's template tables (ours, or those of the store we opened).
struct TableColumns {
    std::vector<uint32_t> hierarchy, contents, assoc, search;
};

class FolderTree {
public:
    explicit FolderTree(StoreFile& file) : file_(file) {}

    // A folder entered in the tree (the root is its own parent), dirty.
    StoreFolder& Add(Nid nid, Nid parent, const std::string& name, const std::string& containerClass, bool search);
    // The folders of the store in the file: from the root folder down through the
    // hierarchy tables, which costs what the folders hold, not what the store holds (a
    // store whose tables cannot be followed has its folders found in the whole NBT).
    // Throws FormatFault for a store whose folders cannot be read.
    void Load();

    StoreFolder* Find(FolderId id);
    const StoreFolder* Find(FolderId id) const;
    // The folder `id`; MailStoreError "<what>: no folder with NID ..." when there is none.
    StoreFolder& Get(FolderId id, const char* what);
    // The child of `parent` named `name` (ASCII letters in either case).
    std::optional<FolderId> FindChild(FolderId parent, const std::string& name) const;
    // The names of the folders from the top (below the IPM subtree) down to `folder`;
    // empty for a folder outside the IPM subtree.
    std::vector<std::string> Path(FolderId folder) const;
    // The folder changed: it and its parent (whose hierarchy table shows its counts)
    // are written at the next commit.
    void MarkDirty(Nid nid);
    std::map<Nid, StoreFolder>& all() { return folders_; }
    const std::map<Nid, StoreFolder>& all() const { return folders_; }
    size_t size() const { return folders_.size(); }

    // The folders that changed written, each folder's contents table between its
    // hierarchy table and (for a new one) its associated contents table by `contents`.
    void WriteChanged(const std::function<void(StoreFolder&)>& contents);

    Nid ipmSubtree = 0;
    Nid wastebasket = 0;
    Nid finder = 0;
    TableColumns columns;

private:
    void AddChild(StoreFolder& parent, Nid child, const std::string& name);
    void Write(StoreFolder& f, const std::function<void(StoreFolder&)>& contents);
    // The folder nodes from the root down, in NID order.
    std::vector<std::pair<Nid, NodeRef>> FolderNodes();
    void LoadFolder(Nid nid, const NodeRef& ref);

    StoreFile& file_;
    std::map<Nid, StoreFolder> folders_;
};

// A name as the store keeps it: names are stored as UTF-16, so bytes that are not
// UTF-8 (Linux file names may hold any) come back as U+FFFD. Names are compared in
// that form, so a reopened store finds the folder it already holds.
std::string StoredName(const std::string& name);

// Subnode NIDs of a folder or template node (only big values need them), from 0x8001.
SubnodeNidSource LocalNids();
// An empty table of `columns`.
LtpNode EmptyTable(const std::vector<uint32_t>& columns);

// The node of a folder's table of `type` (hierarchy, contents, associated contents).
inline Nid Sibling(Nid folder, uint8_t type) { return MakeNid(type, NidIndexOf(folder)); }

}  // namespace bv::mailstore::pst
