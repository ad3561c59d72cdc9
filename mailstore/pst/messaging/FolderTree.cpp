// [MS-PST] §2.4.4 folders, §2.6.3 (what changes when folders are added).
#include "mailstore/pst/messaging/FolderTree.h"

#include <algorithm>
#include <set>

#include "mailstore/base/Ascii.h"
#include "mailstore/mapi/PropTags.h"
#include "mailstore/mapi/Utf16.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/StoreFile.h"
#include "mailstore/pst/messaging/Templates.h"

namespace bv::mailstore::pst {

using namespace bv::mailstore::mapi;

SubnodeNidSource LocalNids() {
    auto next = std::make_shared<uint32_t>(0x8001);
    return [next] { return MakeNid(NID_TYPE_LTP, (*next)++); };
}

LtpNode EmptyTable(const std::vector<uint32_t>& columns) {
    TcWriter tc(columns);
    return tc.Finish(LocalNids());
}

std::string StoredName(const std::string& name) {
    auto utf16 = mapi::Utf8ToUtf16Le(name);
    return mapi::Utf16LeToUtf8(utf16.data(), utf16.size());
}

namespace {

bool IsFolder(Nid nid) {
    const uint8_t type = NidTypeOf(nid);
    return type == NID_TYPE_NORMAL_FOLDER || type == NID_TYPE_SEARCH_FOLDER;
}

// A search folder read from the file keeps the count its PC has.
const PcProp* KeptContentCount(const StoreFolder& f) {
    for (const PcProp& p : f.keptProps)
        if (TagOf(p) == PidTagContentCount && p.value.size() == 4) return &p;
    return nullptr;
}

int32_t ContentCount(const StoreFolder& f) {
    if (const PcProp* kept = f.search ? KeptContentCount(f) : nullptr) return int32_t(Get32(kept->value.data()));
    return int32_t(f.rowCount);
}

}  // namespace

StoreFolder& FolderTree::Add(Nid nid, Nid parent, const std::string& name, const std::string& containerClass,
                             bool search) {
    StoreFolder& f = folders_[nid];
    f.nid = nid;
    f.parent = parent;
    f.name = name;
    f.containerClass = containerClass;
    f.search = search;
    f.contentsColumns = search ? columns.search : columns.contents;
    if (nid != parent) {
        AddChild(folders_.at(parent), nid, name);
        MarkDirty(parent);
    }
    return f;
}

void FolderTree::AddChild(StoreFolder& parent, Nid child, const std::string& name) {
    parent.children.push_back(child);
    parent.childByName.emplace(base::AsciiLowered(name), child);  // the first of a name is the one found
}

void FolderTree::MarkDirty(Nid nid) {
    // A folder's counts also show in its parent's hierarchy table.
    for (int depth = 0; depth < 2; ++depth) {
        auto it = folders_.find(nid);
        if (it == folders_.end()) return;
        it->second.dirty = true;
        if (it->second.parent == nid) return;
        nid = it->second.parent;
    }
}

std::vector<std::pair<Nid, NodeRef>> FolderTree::FolderNodes() {
    NodeDatabase& db = file_.db();
    std::vector<std::pair<Nid, NodeRef>> folderNodes;
    try {
        std::vector<Nid> pending = {NID_ROOT_FOLDER, kSpamSearchFolder};
        std::set<Nid> seen(pending.begin(), pending.end());
        while (!pending.empty()) {
            const Nid nid = pending.back();
            pending.pop_back();
            std::optional<NodeRef> ref = db.FindNode(nid);
            if (!ref) {
                if (nid == NID_ROOT_FOLDER) FormatError("NBTENTRY", "nid", "the root folder 0x122 is missing");
                if (nid == kSpamSearchFolder) continue;
                FormatError("hierarchy table", "row", "names folder " + std::to_string(nid) + ", which is missing");
            }
            folderNodes.push_back({nid, *ref});
            if (NidTypeOf(nid) != NID_TYPE_NORMAL_FOLDER) continue;
            std::optional<NodeRef> table = db.FindNode(Sibling(nid, NID_TYPE_HIERARCHY_TABLE));
            if (!table) FormatError("folder", "hierarchy table", "node of folder " + std::to_string(nid) + " is missing");
            HeapReader heap(db.ReadDataTree(table->bidData));
            std::vector<SLENTRY> subs = db.ReadSubnodeTree(table->bidSub);
            TcRead rows = ReadTableContext(heap, [&](Nid sub) {
                for (const SLENTRY& e : subs)
                    if (Nid(e.nid) == sub) return db.ReadDataTree(e.bidData);
                FormatError("SLENTRY", "nid", "subnode " + std::to_string(sub) + " is missing");
            });
            for (const TcRowRead& r : rows.rows)
                if (IsFolder(r.rowId) && seen.insert(r.rowId).second) pending.push_back(r.rowId);
        }
        std::sort(folderNodes.begin(), folderNodes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    } catch (const MailStoreError&) {
        folderNodes.clear();
        db.ForEachNode([&](Nid nid, const NodeRef& ref) {
            if (IsFolder(nid)) folderNodes.push_back({nid, ref});
        });
    }
    return folderNodes;
}

void FolderTree::LoadFolder(Nid nid, const NodeRef& ref) {
    StoreFolder& f = folders_[nid];
    f.nid = nid;
    f.parent = ref.nidParent;
    f.search = NidTypeOf(nid) == NID_TYPE_SEARCH_FOLDER;
    f.isNew = false;
    f.dirty = false;
    for (auto& p : file_.ReadNodeProps(ref)) {
        uint32_t tag = TagOf(p);
        if (tag == PR_DISPLAY_NAME) {
            f.name = FromUtf16(p.value);
        } else if (tag == PidTagContainerClass) {
            f.containerClass = FromUtf16(p.value);
        } else if (tag == PidTagContentUnreadCount) {
            f.unread = p.value.size() >= 4 ? Get32(p.value.data()) : 0;
        } else if (tag == PidTagContentCount && !f.search) {
            // (read from the table when the folder gets messages)
            f.rowCount = p.value.size() >= 4 ? Get32(p.value.data()) : 0;
        } else if ((tag != PidTagContentCount || f.search) && tag != PidTagSubfolders) {
            // (a search folder's count stays as read: its contents are not loaded)
            f.keptProps.push_back(std::move(p));
        }
    }
    // The contents table is read when a message is added to the folder.
    if (!f.search && !file_.db().FindNode(Sibling(nid, NID_TYPE_CONTENTS_TABLE)))
        FormatError("folder", "contents table", "node of folder " + std::to_string(nid) + " is missing");
}

void FolderTree::Load() {
    for (const auto& [nid, ref] : FolderNodes()) LoadFolder(nid, ref);
    for (auto& [nid, f] : folders_)
        if (f.parent != nid && folders_.count(f.parent)) AddChild(folders_[f.parent], nid, f.name);
    if (!folders_.count(ipmSubtree)) FormatError("message store", "PidTagIpmSubTreeEntryId", "names no folder");
}

StoreFolder* FolderTree::Find(FolderId id) {
    auto it = folders_.find(id);
    return it == folders_.end() ? nullptr : &it->second;
}

const StoreFolder* FolderTree::Find(FolderId id) const {
    auto it = folders_.find(id);
    return it == folders_.end() ? nullptr : &it->second;
}

StoreFolder& FolderTree::Get(FolderId id, const char* what) {
    auto it = folders_.find(id);
    if (it == folders_.end()) throw MailStoreError(std::string(what) + ": no folder with NID " + std::to_string(id));
    return it->second;
}

std::optional<FolderId> FolderTree::FindChild(FolderId parent, const std::string& name) const {
    const StoreFolder* p = Find(parent);
    if (!p) return std::nullopt;
    auto it = p->childByName.find(base::AsciiLowered(StoredName(name)));
    if (it == p->childByName.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> FolderTree::Path(FolderId folder) const {
    std::vector<std::string> path;
    for (const StoreFolder* f = Find(folder); f && f->nid != ipmSubtree; f = Find(f->parent)) {
        if (f->parent == f->nid) return {};  // the root: not below the IPM subtree
        path.insert(path.begin(), f->name);
    }
    return path;
}

void FolderTree::WriteChanged(const std::function<void(StoreFolder&)>& contents) {
    for (auto& [nid, f] : folders_) {
        if (!f.dirty) continue;
        Write(f, contents);
        f.dirty = false;
        f.isNew = false;
    }
}

void FolderTree::Write(StoreFolder& f, const std::function<void(StoreFolder&)>& contents) {
    // Folder PC ([MS-PST] §2.4.4.1).
    std::vector<PcProp> props = f.keptProps;
    props.push_back(PropString(PR_DISPLAY_NAME, f.name));
    if (!f.search || !KeptContentCount(f)) props.push_back(PropLong(PidTagContentCount, ContentCount(f)));
    props.push_back(PropLong(PidTagContentUnreadCount, int32_t(f.unread)));
    props.push_back(PropBool(PidTagSubfolders, !f.children.empty()));
    if (!f.containerClass.empty()) props.push_back(PropString(PidTagContainerClass, f.containerClass));
    file_.WriteLtpNode(f.nid, BuildPropertyContext(props, LocalNids()), f.parent);
    if (f.search) return;

    // Hierarchy table: one row per subfolder, values as in the subfolder's PC.
    TcWriter hierarchy(columns.hierarchy);
    for (Nid c : f.children) {
        const StoreFolder& child = folders_.at(c);
        std::vector<TcCell> cells = {
            {PR_DISPLAY_NAME, Utf16(child.name)},
            {PidTagContentCount, PropLong(PidTagContentCount, ContentCount(child)).value},
            {PidTagContentUnreadCount, PropLong(PidTagContentUnreadCount, int32_t(child.unread)).value},
            {PidTagSubfolders, Bytes{uint8_t(child.children.empty() ? 0 : 1)}},
        };
        if (!child.containerClass.empty()) cells.push_back({PidTagContainerClass, Utf16(child.containerClass)});
        hierarchy.AddRow(c, file_.NextRowVersion(), cells);
    }
    file_.WriteLtpNode(Sibling(f.nid, NID_TYPE_HIERARCHY_TABLE), hierarchy.Finish(LocalNids()), 0);

    contents(f);

    if (f.isNew) file_.WriteLtpNode(Sibling(f.nid, NID_TYPE_ASSOC_CONTENTS_TABLE), EmptyTable(columns.assoc), 0);
}

}  // namespace bv::mailstore::pst
