// Which messages a store holds, by identity: each message is stored once, and two
// messages are the same only when their content says so. A message we write is known
// by its search key, which the run makes a digest of its header fields and body
// (conversion/MessageIdentity.h); a message that shares only its Message-ID with
// another is another message. A message the store held before we indexed it (one
// Outlook wrote, whose search key is no digest of ours) is known also by what it holds
// of its header: Message-ID, submit time, sender and subject; a message met again that
// agrees with it in all four is taken for it only when their text bodies agree too.
// Where the two cannot be told apart, a copy is added: a duplicate rather than a loss.
#include <algorithm>
#include <cstring>

#include "mailstore/mapi/PropTags.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/FolderTree.h"
#include "mailstore/pst/messaging/IdentityIndex.h"
#include "mailstore/pst/messaging/ItemReader.h"
#include "mailstore/pst/messaging/StoreFile.h"

namespace bv::mailstore::pst {
namespace {

// The identity index (IdentityTable.h): an internal node that readers of the folder
// tree never visit.
constexpr Nid kIdentityIndex = MakeNid(NID_TYPE_INTERNAL, 0x3F0);  // below the NIDs handed out (0x400 on)

constexpr uint64_t kFnvPrime = 0x100000001B3ull;

uint64_t Fnv1a(uint64_t h, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * kFnvPrime;
    return h;
}

// 96 bits of two FNV-1a lanes of different seeds, each finished by a 64-bit mixer.
class IdentityDigest {
public:
    explicit IdentityDigest(char kind) { Add(&kind, 1); }
    void Add(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        a_ = Fnv1a(a_, p, n);
        for (size_t i = 0; i < n; ++i) b_ = (b_ ^ (p[i] + 0x9Eu)) * 0x00000100000001B3ull * 0x9E3779B97F4A7C15ull;
    }
    // A field's length, then its bytes (ASCII letters of UTF-16 in lower case when `fold`).
    void AddField(const PcProp* p, size_t skip = 0, bool fold = false) {
        const size_t size = p && p->value.size() > skip ? p->value.size() - skip : 0;
        const uint32_t n = uint32_t(size);
        Add(&n, sizeof n);
        if (!fold) {
            if (size) Add(p->value.data() + skip, size);
            return;
        }
        for (size_t i = 0; i < size; ++i) {
            uint8_t c = p->value[skip + i];
            if (i % 2 == 0 && c >= 'A' && c <= 'Z' && i + 1 < size && p->value[skip + i + 1] == 0) c = uint8_t(c + 32);
            Add(&c, 1);
        }
    }
    Identity Done() const {
        const uint64_t key = Mix(a_);
        return {key ? key : 1, uint32_t(Mix(b_ ^ a_))};
    }

private:
    static uint64_t Mix(uint64_t x) {
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    }
    uint64_t a_ = 0xCBF29CE484222325ull;
    uint64_t b_ = 0x84222325CBF29CE4ull;
};

const PcProp* FindProp(const std::vector<PcProp>& props, uint32_t tag) {
    for (const PcProp& p : props)
        if (TagOf(p) == tag) return &p;
    return nullptr;
}

// A UTF-16LE value of spaces only is none.
bool IsBlank(const Bytes& utf16) {
    for (size_t i = 0; i + 1 < utf16.size(); i += 2)
        if (!((utf16[i] == ' ' || utf16[i] == '\t') && utf16[i + 1] == 0)) return false;
    return true;
}

// A subject as stored may open with U+0001 and the length of its prefix (Outlook's
// form of a normalized subject): that many bytes are not the subject's.
size_t SubjectMarker(const PcProp* subject) {
    const Bytes* v = subject ? &subject->value : nullptr;
    return v && v->size() >= 4 && (*v)[0] == 1 && (*v)[1] == 0 ? 4 : 0;
}

// A text body's words, so that the same text with other line ends or trailing blanks agrees.
std::u16string BodyWords(const Bytes& utf16) {
    std::u16string out;
    bool space = false;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const char16_t c = char16_t(utf16[i] | (utf16[i + 1] << 8));
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0) {
            space = true;
            continue;
        }
        if (space && !out.empty()) out.push_back(u' ');
        space = false;
        out.push_back(c);
    }
    return out;
}

}  // namespace

Identity IdentityIndex::IdentityOf(const std::vector<PcProp>& props) {
    const PcProp* searchKey = FindProp(props, mapi::PR_SEARCH_KEY);
    if (!searchKey || searchKey->value.empty()) return {};
    IdentityDigest d('k');
    d.AddField(searchKey);
    return d.Done();
}

Identity IdentityIndex::HeaderIdentityOf(const std::vector<PcProp>& props) {
    const PcProp* id = FindProp(props, mapi::PR_INTERNET_MESSAGE_ID);
    if (!id || id->value.size() < 2 || IsBlank(id->value)) return {};
    const PcProp* sent = FindProp(props, mapi::PR_CLIENT_SUBMIT_TIME);
    const PcProp* sender = FindProp(props, mapi::PR_SENDER_EMAIL_ADDRESS);
    if (!sender) sender = FindProp(props, mapi::PR_SENT_REPRESENTING_EMAIL_ADDRESS);
    const PcProp* subject = FindProp(props, mapi::PR_SUBJECT);
    IdentityDigest d('h');
    d.AddField(id);
    d.AddField(sent);
    d.AddField(sender, 0, true);
    d.AddField(subject, SubjectMarker(subject));
    return d.Done();
}

std::optional<IdentityIndex::Match> IdentityIndex::FindSame(const std::vector<PcProp>& props) {
    if (!loaded_) Load();
    if (Identity content = IdentityOf(props))
        if (std::optional<Nid> nid = identities_.Find(content)) return Match{content, *nid};
    const Identity header = HeaderIdentityOf(props);
    if (!header) return std::nullopt;
    std::optional<Nid> nid = identities_.Find(header);
    if (!nid || !SameBody(*nid, props)) return std::nullopt;
    return Match{header, *nid};
}

bool IdentityIndex::SameBody(Nid nid, const std::vector<PcProp>& props) {
    std::optional<NodeRef> ref = file_.db().FindNode(nid);
    if (!ref || !ref->bidData) return false;
    try {
        const std::vector<PcProp> held = file_.ReadNodeProps(*ref);
        const PcProp* a = FindProp(held, mapi::PR_BODY);
        const PcProp* b = FindProp(props, mapi::PR_BODY);
        return BodyWords(a ? a->value : Bytes()) == BodyWords(b ? b->value : Bytes());
    } catch (const MailStoreError&) {
        return false;  // unreadable: a copy is added
    }
}

std::vector<Identity> IdentityIndex::Held() {
    if (!loaded_) Load();
    return identities_.Identities();
}

std::optional<Nid> IdentityIndex::Find(Identity identity) {
    if (!loaded_) Load();
    return identities_.Find(identity);
}

void IdentityIndex::Added(Identity identity, Nid nid) {
    if (!identity) return;
    if (loaded_) identities_.Add(identity, nid);
    else addedBeforeLoading_.push_back({identity, nid});
}

std::optional<NodeRef> IdentityIndex::NodeIfLast(Bid nextBid) const {
    std::optional<NodeRef> ref = file_.db().FindNode(kIdentityIndex);
    if (!ref || !ref->bidData || (ref->bidData & ~Bid(3)) + 4 != nextBid) return std::nullopt;
    return ref;
}

bool IdentityIndex::Current() const { return NodeIfLast(file_.db().header().bidNextB).has_value(); }

bool IdentityIndex::LoadIndex() {
    // Written last by the commit the header is of: no block came after it.
    std::optional<NodeRef> ref = NodeIfLast(file_.db().CommittedHeader().bidNextB);
    if (!ref) return false;
    try {
        // Read a block at a time: the node of a million messages is 16 MB.
        const std::vector<Bid> bids = file_.db().DataTreeBids(ref->bidData);
        return identities_.Load(bids.size(), [&](size_t i) { return file_.db().ReadBlock(bids[i]); });
    } catch (const MailStoreError&) {
        return false;
    }
}

void IdentityIndex::Write() {
    std::vector<WrittenBlock> written;
    identities_.Write(kMaxBlockData, [&](const uint8_t* data, size_t size) {
        written.push_back({file_.db().WriteBlock(data, size, false), size});
    });
    file_.db().SetNode(kIdentityIndex, {file_.db().WriteDataTree(written), 0, 0});
}

void IdentityIndex::Release() {
    identities_.Clear();
    std::vector<std::pair<Identity, Nid>>().swap(addedBeforeLoading_);
}

void IdentityIndex::SpillBesideStore() {
    const std::filesystem::path dir = file_.path().parent_path();
    identities_.SpillInto(dir.empty() ? std::filesystem::path(".") : dir);
}

void IdentityIndex::Load() {
    loaded_ = true;
    SpillBesideStore();
    if (LoadIndex()) {
        for (const auto& [identity, nid] : addedBeforeLoading_) identities_.Add(identity, nid);
        addedBeforeLoading_.clear();
        return;
    }
    identities_.Clear();
    addedBeforeLoading_.clear();  // (the pass below sees them)
    // Values stored in subnodes (bodies, long values) are not read: those that identify
    // a message are short (a long subject is missed: a copy is added). A message that
    // cannot be read is known by nothing: a copy may be added.
    ItemReader reader(file_.db(), [this](Nid nid, const std::vector<PcProp>& props) {
        if (Identity identity = IdentityOf(props)) identities_.Add(identity, nid);
        // Not indexed by us yet: it may be one that no digest of ours names.
        if (Identity header = HeaderIdentityOf(props)) identities_.Add(header, nid);
    });
    file_.db().ForEachNode([&](Nid nid, const NodeRef& ref) {
        if (NidTypeOf(nid) != NID_TYPE_NORMAL_MESSAGE || !ref.bidData) return;
        const StoreFolder* folder = folders_.Find(ref.nidParent);
        if (folder && !folder->search) reader.Add(nid, ref.bidData);
    });
    reader.Flush();
}

}  // namespace bv::mailstore::pst
