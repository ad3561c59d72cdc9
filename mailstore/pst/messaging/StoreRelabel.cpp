// A message the store holds already, met again (the same message in another mailbox,
// or in a later run): the labels it brings join the categories of the one there.
#include <algorithm>

#include "mailstore/mapi/PropTags.h"
#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/Store.h"

namespace bv::mailstore::pst {
namespace {

const mapi::PropertyName kKeywords{mapi::PS_PUBLIC_STRINGS, std::string("Keywords")};  // the categories
// Values larger than any a contents table row holds (bodies and the like).
constexpr size_t kMaxRowValue = 8 * 1024;

std::vector<std::string> CategoriesIn(const PcProp& p) {
    mapi::Property decoded = DecodeProperty(p);
    if (auto* v = std::get_if<std::vector<std::string>>(&decoded.value)) return std::move(*v);
    return {};
}

}  // namespace

std::vector<std::string> Store::CategoriesOf(const PreparedMessage& message) {
    const std::optional<uint16_t> id = message.names.Find(kKeywords);
    if (!id) return {};
    for (const PcProp& p : message.built.props) {
        if (p.id == *id && p.type == mapi::PT_MV_UNICODE) return CategoriesIn(p);
    }
    return {};
}

bool Store::AddCategories(Identity identity, const std::vector<std::string>& categories) {
    if (closed_ || !identity) return false;
    if (!identitiesLoaded_) LoadIdentities();
    std::optional<Nid> nid = identities_.Find(identity);
    if (!nid) return false;
    if (categories.empty()) return true;
    std::optional<PcProp> incoming =
        EncodeProperty(names_->IdOf(kKeywords), mapi::Property{mapi::PT_MV_UNICODE, categories});
    if (incoming) MergeCategoriesAndRefresh(*nid, {std::move(*incoming)});
    return true;
}

std::optional<Store::HeldMessage> Store::FindHeld(Identity identity) {
    if (closed_ || !identity) return std::nullopt;
    if (!identitiesLoaded_) LoadIdentities();
    std::optional<Nid> nid = identities_.Find(identity);
    if (!nid) return std::nullopt;
    std::optional<NodeRef> ref = db_->FindNode(*nid);
    if (!ref || !ref->bidData) return std::nullopt;
    HeldMessage held;
    held.nid = *nid;
    held.folder = ref->nidParent;
    const uint16_t keywords = names_->IdOf(kKeywords);
    HeapReader heap(db_->ReadDataTree(ref->bidData));
    // Only the categories are wanted: long values stay unread.
    for (const PcProp& p : ReadPropertyContext(heap, [](Nid) { return Bytes(); })) {
        if (p.id != keywords || p.type != mapi::PT_MV_UNICODE) continue;
        if (p.value.empty()) {  // held in a subnode: read it after all
            for (const PcProp& q : ReadNodeProps(*ref))
                if (q.id == keywords && q.type == mapi::PT_MV_UNICODE) held.categories = CategoriesIn(q);
        } else {
            held.categories = CategoriesIn(p);
        }
    }
    return held;
}

std::vector<std::string> Store::FolderPath(FolderId folder) const {
    std::vector<std::string> path;
    for (const Folder* f = FindFolderById(folder); f && f->nid != ipmSubtree_; f = FindFolderById(f->parent)) {
        if (f->parent == f->nid) return {};  // the root: not below the IPM subtree
        path.insert(path.begin(), f->name);
    }
    return path;
}

void Store::MoveMessage(Nid message, FolderId to) {
    Folder& target = MessageFolder(to);
    std::optional<NodeRef> ref = db_->FindNode(message);
    if (!ref) throw MailStoreError("MoveMessage: no message with NID " + std::to_string(message));
    if (ref->nidParent == to) return;
    Folder& source = GetFolder(ref->nidParent, "MoveMessage");
    std::vector<PcProp> props = ReadNodeProps(*ref);
    bool read = true;
    for (const PcProp& p : props)
        if (TagOf(p) == mapi::PR_MESSAGE_FLAGS && p.value.size() >= 4) read = Get32(p.value.data()) & mapi::MSGFLAG_READ;
    // Only what a contents table row can show is kept for the row.
    std::erase_if(props, [](const PcProp& p) { return p.value.size() > kMaxRowValue; });
    RemoveContentsRow(source, message);
    InsertContentsRow(target, message, std::move(props));
    if (!read) {
        if (source.unread > 0) --source.unread;
        ++target.unread;
    }
    // The same blocks, under its new parent.
    db_->SetNode(message, {ref->bidData, ref->bidSub, to});
}

}  // namespace bv::mailstore::pst
