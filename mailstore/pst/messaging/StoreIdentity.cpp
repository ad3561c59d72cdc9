// Which messages a store holds, by identity: each message is stored once. A message is
// known by its Internet message ID (PidTagInternetMessageId) or, without one, by its
// search key, which the importer makes a digest of the header fields and body. Both
// are read the same way from the messages of the file and from a message to be added.
#include <algorithm>
#include <cstring>

#include "mailstore/mapi/PropTags.h"
#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/Store.h"

namespace bv::mailstore::pst {
namespace {

// The identity index (IdentityTable.h): an internal node that readers of the folder
// tree never visit.
constexpr Nid kIdentityIndex = MakeNid(NID_TYPE_INTERNAL, 0x3F0);  // below the NIDs handed out (0x400 on)

uint64_t Fnv1a(uint64_t h, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}

uint64_t Digest(char kind, const Bytes& value) {
    uint64_t h = Fnv1a(0xCBF29CE484222325ull, reinterpret_cast<const uint8_t*>(&kind), 1);
    h = Fnv1a(h, value.data(), value.size());
    return h ? h : 1;
}

}  // namespace

uint64_t Store::IdentityOf(const std::vector<PcProp>& props) {
    const PcProp* searchKey = nullptr;
    for (const PcProp& p : props) {
        const uint32_t tag = TagOf(p);
        // A message ID of spaces only is none.
        if (tag == mapi::PR_INTERNET_MESSAGE_ID && p.value.size() >= 2) {
            bool blank = true;
            for (size_t i = 0; i + 1 < p.value.size() && blank; i += 2)
                blank = (p.value[i] == ' ' || p.value[i] == '\t') && p.value[i + 1] == 0;
            if (!blank) return Digest('m', p.value);
        }
        if (tag == mapi::PR_SEARCH_KEY && !p.value.empty()) searchKey = &p;
    }
    return searchKey ? Digest('k', searchKey->value) : 0;
}

uint64_t Store::IdentityOf(const PreparedMessage& message) { return IdentityOf(message.built.props); }

std::vector<uint64_t> Store::HeldIdentities() {
    if (!identitiesLoaded_) LoadIdentities();
    return identities_.Identities();
}

bool Store::LoadIdentityIndex() {
    std::optional<NodeRef> ref = db_->FindNode(kIdentityIndex);
    if (!ref || !ref->bidData) return false;
    // Written last by the commit the header is of: no block came after it.
    if ((ref->bidData & ~Bid(3)) + 4 != db_->CommittedHeader().bidNextB) return false;
    try {
        return identities_.Load(db_->ReadDataTree(ref->bidData));
    } catch (const MailStoreError&) {
        return false;
    }
}

void Store::WriteIdentityIndex() {
    std::vector<WrittenBlock> written;
    identities_.Write(kMaxBlockData, [&](const uint8_t* data, size_t size) {
        written.push_back({db_->WriteBlock(data, size, false), size});
    });
    db_->SetNode(kIdentityIndex, {db_->WriteDataTree(written), 0, 0});
}

void Store::LoadIdentities() {
    identitiesLoaded_ = true;
    if (LoadIdentityIndex()) {
        for (const auto& [identity, nid] : addedBeforeLoading_) identities_.Add(identity, nid);
        addedBeforeLoading_.clear();
        return;
    }
    identities_.Clear();
    addedBeforeLoading_.clear();  // (the pass below sees them)
    // Message PCs of one block (nearly all) are read in one pass over the BBT, in file
    // order; larger ones through their data trees.
    std::vector<std::pair<Bid, Nid>> single;
    std::vector<std::pair<Nid, Bid>> trees;
    db_->ForEachNode([&](Nid nid, const NodeRef& ref) {
        if (NidTypeOf(nid) != NID_TYPE_NORMAL_MESSAGE || !ref.bidData) return;
        auto folder = folders_.find(ref.nidParent);
        if (folder == folders_.end() || folder->second.search) return;
        if (ref.bidData & kBidInternal)
            trees.push_back({nid, ref.bidData});
        else
            single.push_back({ref.bidData & ~Bid(1), nid});
    });
    auto take = [this](Nid nid, std::vector<Bytes>&& blocks) {
        try {
            // Values stored in subnodes (bodies, long values) are not read: the two
            // that identify a message are short.
            HeapReader heap(std::move(blocks));
            std::vector<PcProp> props = ReadPropertyContext(heap, [](Nid) { return Bytes(); });
            if (uint64_t identity = IdentityOf(props)) identities_.Add(identity, nid);
        } catch (const MailStoreError&) {
            // A message that cannot be read is known by nothing: a copy may be added.
        }
    };
    std::sort(single.begin(), single.end());
    std::vector<Bid> bids;
    bids.reserve(single.size());
    for (const auto& [bid, nid] : single) bids.push_back(bid);
    db_->ReadBlocks(bids, [&](Bid bid, Bytes&& data) {
        auto it = std::lower_bound(single.begin(), single.end(), std::make_pair(bid & ~Bid(1), Nid(0)));
        // One block may hold the PC of more than one message only in a damaged store.
        for (; it != single.end() && it->first == (bid & ~Bid(1)); ++it) {
            std::vector<Bytes> blocks;
            blocks.push_back(data);
            take(it->second, std::move(blocks));
        }
    });
    for (const auto& [nid, bid] : trees) {
        try {
            take(nid, db_->ReadDataTree(bid));
        } catch (const MailStoreError&) {
        }
    }
}

void Store::MergeCategories(Nid nid, const std::vector<PcProp>& incoming) {
    const uint16_t keywords = names_->IdOf(mapi::PropertyName{mapi::PS_PUBLIC_STRINGS, std::string("Keywords")});
    auto categoriesOf = [keywords](const std::vector<PcProp>& props) -> const PcProp* {
        for (const PcProp& p : props)
            if (p.id == keywords && p.type == mapi::PT_MV_UNICODE) return &p;
        return nullptr;
    };
    const PcProp* added = categoriesOf(incoming);
    if (!added) return;
    std::optional<NodeRef> ref = db_->FindNode(nid);
    if (!ref || !ref->bidData) return;

    // The message's PC, noting which subnodes hold its long values; the other
    // subnodes (recipients, attachments) are kept as they are.
    std::vector<SLENTRY> subnodes = db_->ReadSubnodeTree(ref->bidSub);
    std::vector<Nid> valueSubnodes;
    std::vector<PcProp> props = ReadNodeProps(*ref, &subnodes, &valueSubnodes);

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
    if (!changed) return;
    std::optional<PcProp> merged = EncodeProperty(keywords, mapi::Property{mapi::PT_MV_UNICODE, categories});
    if (!merged) return;
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
        db_->AddReference(e.bidData);
        db_->AddReference(e.bidSub);
        kept.push_back(e);
    }
    for (const LtpSubnode& s : pc.subnodes) {
        Bid d = s.blocks.empty() ? db_->WriteDataTree(s.data.data(), s.data.size(), nullptr)
                                 : db_->WriteDataTree(s.blocks, nullptr);
        kept.push_back({s.nid, d, WriteSubnodes(s.subnodes)});
    }
    Bid data = db_->WriteDataTree(pc.blocks, nullptr);
    db_->SetNode(nid, {data, db_->WriteSubnodeTree(std::move(kept)), ref->nidParent});
}

}  // namespace bv::mailstore::pst
