#include "mailstore/pst/messaging/StoreRelabel.h"

#include <algorithm>

#include "mailstore/mapi/PropTags.h"
#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/ContentsTables.h"
#include "mailstore/pst/messaging/FolderTree.h"
#include "mailstore/pst/messaging/IdentityIndex.h"
#include "mailstore/pst/messaging/NameToIdMap.h"
#include "mailstore/pst/messaging/StoreFile.h"

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

std::vector<std::string> StoreRelabel::CategoriesOf(const PreparedMessage& message) {
    const std::optional<uint16_t> id = message.names.Find(kKeywords);
    if (!id) return {};
    for (const PcProp& p : message.built.props) {
        if (p.id == *id && p.type == mapi::PT_MV_UNICODE) return CategoriesIn(p);
    }
    return {};
}

bool StoreRelabel::AddCategories(Identity identity, const std::vector<std::string>& categories) {
    if (!identity) return false;
    std::optional<Nid> nid = identities_.Find(identity);
    if (!nid) return false;
    if (categories.empty()) return true;
    std::optional<PcProp> incoming =
        EncodeProperty(names_->IdOf(kKeywords), mapi::Property{mapi::PT_MV_UNICODE, categories});
    if (incoming) MergeCategories(*nid, {std::move(*incoming)});
    return true;
}

std::optional<HeldMessage> StoreRelabel::FindHeld(Identity identity) {
    if (!identity) return std::nullopt;
    std::optional<Nid> nid = identities_.Find(identity);
    if (!nid) return std::nullopt;
    std::optional<NodeRef> ref = file_.db().FindNode(*nid);
    if (!ref || !ref->bidData) return std::nullopt;
    HeldMessage held;
    held.nid = *nid;
    held.folder = ref->nidParent;
    const uint16_t keywords = names_->IdOf(kKeywords);
    HeapReader heap(file_.db().ReadDataTree(ref->bidData));
    // Only the categories are wanted: long values stay unread.
    for (const PcProp& p : ReadPropertyContext(heap, [](Nid) { return Bytes(); })) {
        if (p.id != keywords || p.type != mapi::PT_MV_UNICODE) continue;
        if (p.value.empty()) {  // held in a subnode: read it after all
            for (const PcProp& q : file_.ReadNodeProps(*ref))
                if (q.id == keywords && q.type == mapi::PT_MV_UNICODE) held.categories = CategoriesIn(q);
        } else {
            held.categories = CategoriesIn(p);
        }
    }
    return held;
}

void StoreRelabel::MoveMessage(Nid message, StoreFolder& target) {
    const FolderId to = target.nid;
    std::optional<NodeRef> ref = file_.db().FindNode(message);
    if (!ref) throw MailStoreError("MoveMessage: no message with NID " + std::to_string(message));
    if (ref->nidParent == to) return;
    StoreFolder& source = folders_.Get(ref->nidParent, "MoveMessage");
    std::vector<PcProp> props = file_.ReadNodeProps(*ref);
    bool read = true;
    for (const PcProp& p : props)
        if (TagOf(p) == mapi::PR_MESSAGE_FLAGS && p.value.size() >= 4) read = Get32(p.value.data()) & mapi::MSGFLAG_READ;
    // Only what a contents table row can show is kept for the row.
    std::erase_if(props, [](const PcProp& p) { return p.value.size() > kMaxRowValue; });
    contents_.Remove(source, message);
    contents_.Insert(target, message, std::move(props));
    if (!read) {
        if (source.unread > 0) --source.unread;
        ++target.unread;
    }
    // The same blocks, under its new parent.
    file_.db().SetNode(message, {ref->bidData, ref->bidSub, to});
}

bool StoreRelabel::Merge(Nid nid, const std::vector<PcProp>& incoming) {
    const uint16_t keywords = names_->IdOf(mapi::PropertyName{mapi::PS_PUBLIC_STRINGS, std::string("Keywords")});
    auto categoriesOf = [keywords](const std::vector<PcProp>& props) -> const PcProp* {
        for (const PcProp& p : props)
            if (p.id == keywords && p.type == mapi::PT_MV_UNICODE) return &p;
        return nullptr;
    };
    const PcProp* added = categoriesOf(incoming);
    if (!added) return false;
    std::optional<NodeRef> ref = file_.db().FindNode(nid);
    if (!ref || !ref->bidData) return false;

    // The message's PC, noting which subnodes hold its long values; the other
    // subnodes (recipients, attachments) are kept as they are.
    std::vector<SLENTRY> subnodes = file_.db().ReadSubnodeTree(ref->bidSub);
    std::vector<Nid> valueSubnodes;
    std::vector<PcProp> props = file_.ReadNodeProps(*ref, &subnodes, &valueSubnodes);

    auto list = [](const PcProp* p) {
        std::vector<std::string> out;
        if (!p) return out;
        mapi::Property decoded = DecodeProperty(*p);
        if (auto* v = std::get_if<std::vector<std::string>>(&decoded.value)) out = std::move(*v);
        return out;
    };
    std::vector<std::string> categories = list(categoriesOf(props));
    bool changed = false;
    for (const std::string& c : list(added)) {
        if (std::find(categories.begin(), categories.end(), c) != categories.end()) continue;
        categories.push_back(c);
        changed = true;
    }
    if (!changed) return false;
    std::optional<PcProp> merged = EncodeProperty(keywords, mapi::Property{mapi::PT_MV_UNICODE, categories});
    if (!merged) return false;
    std::erase_if(props, [keywords](const PcProp& p) { return p.id == keywords; });
    props.push_back(std::move(*merged));

    // New value subnodes get NIDs after every one the message has.
    uint32_t next = 0x8001;
    for (const SLENTRY& e : subnodes) next = std::max(next, NidIndexOf(Nid(e.nid)) + 1);
    LtpNode pc = BuildPropertyContext(std::move(props), [next]() mutable { return MakeNid(NID_TYPE_LTP, next++); });
    std::vector<SLENTRY> kept;
    for (const SLENTRY& e : subnodes) {
        if (std::find(valueSubnodes.begin(), valueSubnodes.end(), Nid(e.nid)) != valueSubnodes.end()) continue;
        // Referred to by the new subnode tree as well until the old one is released.
        file_.db().AddReference(e.bidData);
        file_.db().AddReference(e.bidSub);
        kept.push_back(e);
    }
    for (const LtpSubnode& s : pc.subnodes) {
        Bid d = s.blocks.empty() ? file_.db().WriteDataTree(s.data.data(), s.data.size(), nullptr)
                                 : file_.db().WriteDataTree(s.blocks, nullptr);
        kept.push_back({s.nid, d, file_.WriteSubnodes(s.subnodes)});
    }
    Bid data = file_.db().WriteDataTree(pc.blocks, nullptr);
    file_.db().SetNode(nid, {data, file_.db().WriteSubnodeTree(std::move(kept)), ref->nidParent});
    return true;
}

void StoreRelabel::MergeCategories(Nid nid, const std::vector<PcProp>& props) {
    const std::optional<NodeRef> before = file_.db().FindNode(nid);
    Merge(nid, props);
    const std::optional<NodeRef> after = file_.db().FindNode(nid);
    // Categories added: the message's size and its contents row follow.
    if (before && after && before->bidData != after->bidData) contents_.RefreshStoredMessage(nid);
}

}  // namespace bv::mailstore::pst
