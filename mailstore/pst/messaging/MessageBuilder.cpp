// [MS-PST] §2.4.5 message objects and §2.4.6 attachment objects.
#include "mailstore/pst/messaging/MessageBuilder.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <type_traits>
#include <utility>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mapi/Utf16.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/messaging/NameToIdMap.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/Templates.h"

namespace bv::mailstore::pst {
namespace {

using namespace bv::mailstore::mapi;

// What the build of one message tree shares: subnode NIDs, unique across the whole
// tree, and the ids of its named properties.
// The spool its large tables go to is made when the first needs it.
class SubnidCounter {
public:
    SubnidCounter(MessageNames& names, const std::filesystem::path& spoolDir) : names(names), spoolDir_(spoolDir) {}
    Nid Next(uint8_t type) { return MakeNid(type, next_++); }
    SubnodeNidSource Ltp() {
        return [this] { return Next(NID_TYPE_LTP); };
    }
    // The message's spool; none when it has no folder or no temporary file can be made
    // there (the blocks are then held).
    std::shared_ptr<BlockSpool> Spool() {
        if (spool_ || spoolDir_.empty() || noSpool_) return spool_;
        try {
            spool_ = std::make_shared<BlockSpool>(spoolDir_);
        } catch (const IoError&) {
            noSpool_ = true;
        }
        return spool_;
    }

    MessageNames& names;

private:
    uint32_t next_ = 0x8001;
    const std::filesystem::path& spoolDir_;
    bool noSpool_ = false;
    std::shared_ptr<BlockSpool> spool_;
};

Bytes RandomKey() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    Bytes b;
    Append64(b, rng());
    Append64(b, rng());
    return b;
}

uint64_t DataBytes(const std::vector<Bytes>& blocks) {
    uint64_t n = 0;
    for (const auto& b : blocks) n += b.size();
    return n;
}

uint64_t SubnodeBytes(const std::vector<LtpSubnode>& subs) {
    uint64_t n = 0;
    for (const auto& s : subs) n += s.DataSize() + SubnodeBytes(s.subnodes);
    return n;
}

void SetProp(std::vector<PcProp>& props, PcProp p) {
    for (auto& q : props)
        if (q.id == p.id) {
            q = std::move(p);
            return;
        }
    props.push_back(std::move(p));
}

const PcProp* FindProp(const std::vector<PcProp>& props, uint16_t id) {
    for (const auto& p : props)
        if (p.id == id) return &p;
    return nullptr;
}

// The values of a message that may be of any size and that the store reads nothing
// of: its bodies, and its transport header (megabytes with many recipients).
bool IsBodyOrHeader(uint16_t id) {
    return id == TagId(PR_BODY) || id == TagId(PR_HTML) || id == TagId(PR_RTF_COMPRESSED) ||
           id == TagId(PR_TRANSPORT_MESSAGE_HEADERS);
}

// The texts of a message that may be of any size: its bodies and header, and its
// display lists (megabytes with many recipients; the contents row reads them).
bool IsLongTextValue(uint16_t id) {
    return IsBodyOrHeader(id) || id == TagId(PR_DISPLAY_TO) || id == TagId(PR_DISPLAY_CC) ||
           id == TagId(PR_DISPLAY_BCC);
}

// A value of a message or attachment (their PC's). A long text body, header or display
// list stays UTF-8 until its data tree is written; the values of a message the builder
// consumes (`prop` not const) are moved, not copied.
template <class P>
std::optional<PcProp> EncodeObjectValue(uint16_t id, P& prop) {
    constexpr bool take = !std::is_const_v<P>;
    if (IsLongTextValue(id) && (prop.type == PT_UNICODE || prop.type == PT_STRING8))
        if (auto s = std::get_if<std::string>(&prop.value); s && s->size() >= kLongText) {
            if constexpr (take) return PropLongText(id, std::move(*s));
            else return PropLongText(id, *s);
        }
    if constexpr (take)
        if (prop.type == PT_BINARY)
            if (auto b = std::get_if<Binary>(&prop.value)) return PcProp{id, PT_BINARY, std::move(*b)};
    return EncodeProperty(id, prop);
}

// The encodable properties of a bag, computed ones left out. PidTagBodyHtml (a string)
// becomes PidTagHtml (binary), the form a Unicode store keeps. Named properties take
// their ids from `names`. The values of an object (a message or attachment, not a
// table row) as EncodeObjectValue gives them.
template <bool kObject, class Bag>
std::vector<PcProp> EncodeProps(Bag& bag, bool message, MessageNames& names) {
    auto encode = [](uint16_t id, auto& prop) {
        if constexpr (kObject) return EncodeObjectValue(id, prop);
        else return EncodeProperty(id, prop);
    };
    std::vector<PcProp> out;
    out.reserve(bag.Size() + bag.AllNamed().size() + 4);  // (and the few the builder adds)
    for (auto& [name, prop] : bag.AllNamed())
        if (std::optional<uint16_t> id = names.IdOf(name))
            if (auto p = encode(*id, prop)) out.push_back(std::move(*p));
    for (auto& [id, prop] : bag.All()) {
        if (message && IsComputedProperty(id)) continue;
        // Ids 0x8000 and up mean nothing without their name: those come as named properties.
        if (id >= 0x8000) continue;
        if (id == TagId(PR_ATTACH_DATA_OBJ) && prop.type == PT_OBJECT) continue;
        if (id == TagId(PR_HTML) && (prop.type == PT_UNICODE || prop.type == PT_STRING8)) {
            if (auto s = std::get_if<std::string>(&prop.value)) out.push_back(PropBinary(PR_HTML, Bytes(s->begin(), s->end())));
            continue;
        }
        if (auto p = encode(id, prop)) out.push_back(std::move(*p));
    }
    return out;
}

std::vector<PcProp> EncodeBag(const PropertyBag& bag, bool message, MessageNames& names) {
    return EncodeProps<false>(bag, message, names);
}

// A recipient table past this many rows goes to the message's spool as its blocks are
// made; a smaller one (at most about 180 KB) is held. A row takes about 700 bytes in
// the store, many times the text that named the recipient, and the messages waiting
// for the store are bounded by their text: held tables of thousands of rows each would
// make memory follow them, not the message. (A spool costs a temporary file: about a
// tenth of a millisecond a message.)
constexpr size_t kSpooledRecipients = 256;

// The columns every recipient row needs, found in a first pass. Typed rows with
// nothing more have one set of columns with an address and one without: each is
// found once.
std::vector<uint32_t> RecipientColumns(const Message& m, MessageNames& names) {
    const std::vector<uint32_t> standard = RecipientTableColumns();
    std::set<uint32_t> cols(standard.begin(), standard.end());
    bool seen[2] = {false, false};  // a typed row without, with an address
    size_t i = 0;
    ForEachRecipient(m, [&](const Recipient& r) {
        const size_t row = i++;
        if (r.smtp && !r.more && std::exchange(seen[!r.Address().empty()], true)) return;
        for (const PcProp& p : EncodeBag(CompletedRecipient(r, row), false, names)) cols.insert(TagOf(p));
    });
    return std::vector<uint32_t>(cols.begin(), cols.end());
}

// Each row completed and encoded when it is added (a message may bring hundreds of
// thousands); recipient row ids start at 1, 0 being no valid row id.
template <class Table>
void AddRecipientRows(const Message& m, MessageNames& names, Table& tc) {
    std::vector<TcCell> cells;
    size_t i = 0;
    ForEachRecipient(m, [&](const Recipient& r) {
        cells.clear();
        for (PcProp& p : EncodeBag(CompletedRecipient(r, i), false, names)) cells.push_back({TagOf(p), std::move(p.value)});
        tc.AddRow(uint32_t(i + 1), 0, cells);
        ++i;
    });
}

LtpSubnode SpooledSubnode(Nid nid, const std::shared_ptr<BlockSpool>& spool, const std::vector<WrittenBlock>& blocks) {
    LtpSubnode s;
    s.nid = nid;
    s.spool = spool;
    s.spooled.reserve(blocks.size());
    for (const WrittenBlock& b : blocks) s.spooled.push_back({b.bid, uint32_t(b.size)});  // (the spool's offsets)
    return s;
}

// The recipient table, its rows written one after the other: held, or, for a large
// one, in the message's spool (heap, row matrix and values over 3580 bytes).
LtpSubnode RecipientTable(const Message& m, SubnidCounter& nids) {
    std::vector<uint32_t> columns = RecipientColumns(m, nids.names);
    std::shared_ptr<BlockSpool> spool = RecipientCount(m) > kSpooledRecipients ? nids.Spool() : nullptr;
    if (!spool) {
        TcWriter tc(std::move(columns));
        AddRecipientRows(m, nids.names, tc);
        LtpNode n = tc.Finish(nids.Ltp());
        return SubnodeOf(NID_RECIPIENT_TABLE, std::move(n.blocks), std::move(n.subnodes));
    }
    TcStreamWriter tc(
        std::move(columns), [&](const uint8_t* data, size_t size) { return Bid(spool->Put(data, size).offset); },
        nids.Ltp());
    AddRecipientRows(m, nids.names, tc);
    TcStreamWriter::Result t = tc.Finish();
    spool->Flush();
    LtpSubnode table = SpooledSubnode(NID_RECIPIENT_TABLE, spool, t.heap);
    for (const TcStreamWriter::Result::LongValue& v : t.values) table.subnodes.push_back(SpooledSubnode(v.nid, spool, v.blocks));
    if (t.matrixNid) table.subnodes.push_back(SpooledSubnode(t.matrixNid, spool, t.matrix));
    return table;
}

template <class M>  // Message, or const Message
BuiltMessage BuildMessageTree(M& m, SubnidCounter& nids, TextApart* apart = nullptr);

// A message of more attachments than this puts each attachment object of one block (no
// value or message of its own in subnodes) in its spool as it is built, and holds only
// where it lies: a built attachment takes about 500 bytes, many times a small file's.
constexpr size_t kSpooledAttachments = 256;

// A text given apart, made as the store writes it.
class TextApartSource final : public ValueSource {
public:
    explicit TextApartSource(TextApart text) : text_(std::move(text)) {}
    uint64_t Size() const override { return text_.utf16Size; }
    void Read(const std::function<void(const uint8_t*, size_t)>& piece) const override { text_.utf16(piece); }

private:
    TextApart text_;
};

// One attachment object: its PC as a subnode, with its big values and embedded
// message as its own subnodes.
template <class A>  // Attachment, or const Attachment
LtpSubnode BuildAttachment(A& a, Nid nid, SubnidCounter& nids, std::vector<PcProp>& propsOut) {
    std::vector<PcProp> props = EncodeProps<true>(a.props, false, nids.names);
    // The table row takes the small values, copied before the PC takes them all (the
    // attachment's data is not copied).
    propsOut.clear();
    for (const PcProp& p : props)
        if (p.Size() <= kMaxHeapItem) propsOut.push_back(p);
    using M = std::conditional_t<std::is_const_v<A>, const Message, Message>;
    M* embedded = a.embedded.get();
    std::vector<LtpSubnode> extra;
    if (embedded) {
        BuiltMessage inner = BuildMessageTree(*embedded, nids);
        Nid innerNid = nids.Next(NID_TYPE_NORMAL_MESSAGE);
        Bytes obj;
        Append32(obj, innerNid);
        Append32(obj, inner.messageSize);
        props.push_back({TagId(PidTagAttachDataObject), PT_OBJECT, obj});
        extra.push_back(SubnodeOf(innerNid, std::move(inner.node.blocks), std::move(inner.node.subnodes)));
    }
    // PidTagAttachSize: the bytes of the attachment object (its PC and subnodes).
    SetProp(props, PropLong(PR_ATTACH_SIZE, 0));
    // Values over 3580 bytes move into the PC's subnodes; the table row needs only small ones.
    LtpNode n = BuildPropertyContext(std::move(props), nids.Ltp());
    for (auto& e : extra) n.subnodes.push_back(std::move(e));
    uint64_t size = DataBytes(n.blocks) + SubnodeBytes(n.subnodes);
    int32_t attachSize = int32_t(std::min<uint64_t>(size, 0x7FFFFFFF));
    if (!PatchInlineValue(n.blocks, TagId(PR_ATTACH_SIZE), uint32_t(attachSize)))
        FormatError("attachment PC", "PidTagAttachSize", "not found after building");
    SetProp(propsOut, PropLong(PR_ATTACH_SIZE, attachSize));
    return SubnodeOf(nid, std::move(n.blocks), std::move(n.subnodes));
}

template <class M>
BuiltMessage BuildMessageTree(M& m, SubnidCounter& nids, TextApart* apart) {
    BuiltMessage out;
    std::vector<PcProp> props = EncodeProps<true>(m.props, true, nids.names);
    if (apart && apart->utf16) {
        PcProp p{TagId(apart->tag), PT_UNICODE, {}, std::make_shared<TextApartSource>(std::move(*apart))};
        SetProp(props, std::move(p));
    }
    // What the store keeps of its own: when the item was made in it, and a search key
    // for an item that brings none.
    int64_t now = FileTimeNow();
    if (!FindProp(props, TagId(PR_CREATION_TIME))) props.push_back(PropTime(PR_CREATION_TIME, now));
    if (!FindProp(props, TagId(PR_LAST_MODIFICATION_TIME))) props.push_back(PropTime(PR_LAST_MODIFICATION_TIME, now));
    if (!FindProp(props, TagId(PR_SEARCH_KEY))) props.push_back(PropBinary(PR_SEARCH_KEY, RandomKey()));
    SetProp(props, PropLong(PR_MESSAGE_SIZE, 0));

    std::vector<LtpSubnode> subs;
    const size_t attachments = AttachmentCount(m);
    const std::shared_ptr<BlockSpool> spool = attachments > kSpooledAttachments ? nids.Spool() : nullptr;
    subs.reserve(attachments == 0 ? 1 : spool ? 3 : attachments + 2);
    subs.push_back(RecipientTable(m, nids));
    if (attachments > 0) {
        // Each attachment's row goes into the table as soon as it is built (the table
        // holds it packed); an attachment of a message that is moved, or one made as it
        // is read, is let go then. Runs of them wait in the spool.
        TcWriter table(AttachmentTableColumns());
        if (spool) table.SpoolTo(spool);
        std::vector<PcProp> aprops;
        std::vector<TcCell> cells;
        size_t done = 0;
        bool runs = false;
        ForEachAttachment(m, [&](auto& a) {
            Nid anid = nids.Next(NID_TYPE_ATTACHMENT);
            LtpSubnode built = BuildAttachment(a, anid, nids, aprops);
            if (spool && built.subnodes.empty() && built.blocks.size() == 1) {
                if (subs.back().run.empty()) {
                    subs.emplace_back().spool = spool;
                    // (room for the rest in the first run: most come in one)
                    if (!std::exchange(runs, true)) subs.back().run.reserve(attachments - done);
                }
                subs.back().run.push_back({anid, spool->Put(built.blocks[0].data(), built.blocks[0].size())});
            } else {
                subs.push_back(std::move(built));
            }
            cells.clear();
            for (const auto& p : aprops) cells.push_back({TagOf(p), p.value});
            table.AddRow(anid, 0, cells);
            ++done;
            if constexpr (!std::is_const_v<std::remove_reference_t<decltype(a)>>) a = Attachment{};
        });
        if constexpr (!std::is_const_v<M>) std::vector<Attachment>().swap(m.attachments);
        if (spool) {
            for (LtpSubnode& s : subs) s.run.shrink_to_fit();
            subs.push_back(table.FinishSpooled(NID_ATTACHMENT_TABLE, nids.Ltp()));
        } else {
            LtpNode t = table.Finish(nids.Ltp());
            subs.push_back(SubnodeOf(NID_ATTACHMENT_TABLE, std::move(t.blocks), std::move(t.subnodes)));
        }
    }
    // The PC takes the bodies' bytes, not a copy (a body may be of any size); what
    // the store reads of a built message (its contents row, its identity) is kept.
    std::vector<PcProp> kept;
    kept.reserve(props.size());
    for (const PcProp& p : props)
        if (!IsBodyOrHeader(p.id) || p.Size() <= kMaxHeapItem) kept.push_back(p);
    LtpNode pc = BuildPropertyContext(std::move(props), nids.Ltp());
    props = std::move(kept);
    pc.subnodes.reserve(pc.subnodes.size() + subs.size());
    for (auto& s : subs) pc.subnodes.push_back(std::move(s));
    std::vector<LtpSubnode>().swap(subs);
    uint64_t size = DataBytes(pc.blocks) + SubnodeBytes(pc.subnodes);
    out.messageSize = uint32_t(std::min<uint64_t>(size, 0x7FFFFFFF));
    SetProp(props, PropLong(PR_MESSAGE_SIZE, int32_t(out.messageSize)));
    if (!PatchInlineValue(pc.blocks, TagId(PR_MESSAGE_SIZE), out.messageSize))
        FormatError("message PC", "PidTagMessageSize", "not found after building");
    out.node = std::move(pc);
    out.props = std::move(props);
    out.messageFlags = m.props.GetInt(PR_MESSAGE_FLAGS).value_or(0);
    return out;
}

}  // namespace

bool IsComputedProperty(uint16_t id) {
    switch (id) {
        case TagId(PR_ENTRYID):
        case TagId(PR_RECORD_KEY):
        case TagId(PR_OBJECT_TYPE):
        case TagId(PR_NORMALIZED_SUBJECT):
        case TagId(PR_SUBJECT_PREFIX):
        case TagId(PR_HASATTACH):
        case TagId(PR_MESSAGE_SIZE):
        case TagId(PR_ROWID):
        case 0x0E09:  // PidTagParentEntryId
        case 0x0FF6:  // PidTagInstanceKey
        case 0x0FFA:  // PidTagStoreRecordKey
        case 0x0FFB:  // PidTagStoreEntryId
        case 0x0E30: case 0x0E33: case 0x0E34: case 0x0E38:  // Repl* live in table rows only
            return true;
        default:
            return false;
    }
}

BuiltMessage BuildMessage(const mapi::Message& message, NameToIdMap* map, const std::filesystem::path& spoolDir) {
    MessageNames names(map);
    SubnidCounter nids(names, spoolDir);
    return BuildMessageTree(message, nids);
}

std::optional<uint16_t> MessageNames::IdOf(const mapi::PropertyName& name) {
    if (!map_) return std::nullopt;
    const uint16_t id = map_->IdOf(name);
    used_.emplace(name, id);
    return id;
}

std::optional<uint16_t> MessageNames::Find(const mapi::PropertyName& name) const {
    auto it = used_.find(name);
    return it == used_.end() ? std::nullopt : std::optional<uint16_t>(it->second);
}

std::map<uint16_t, uint16_t> MessageNames::MoveTo(NameToIdMap& map) {
    std::map<uint16_t, uint16_t> changed;
    for (auto& [name, id] : used_) {
        const uint16_t own = map.IdOf(name);
        if (own != id) changed.emplace(id, own);
        id = own;
    }
    map_ = &map;
    return changed;
}

namespace {

// Edits the blocks of one node of a message tree in place (given their CRCs, which a
// sealed tree keeps).
using NodeEdit = std::function<void(std::vector<Bytes>& blocks, std::vector<uint32_t>& crcs,
                                    const std::function<void(std::vector<Bytes>&)>& edit)>;

// Gives the named properties of a built object other ids (old -> new) in its PC, in
// the columns of its recipient and attachment tables and, below its attachments, in
// embedded messages at any depth. Values in subnodes carry no ids and stay as they are.
void RenumberObject(std::vector<Bytes>& pc, std::vector<uint32_t>& crcs, std::vector<LtpSubnode>& subnodes,
                    const std::map<uint16_t, uint16_t>& ids, const NodeEdit& edit) {
    edit(pc, crcs, [&](std::vector<Bytes>& blocks) { RenumberProperties(blocks, ids); });
    for (LtpSubnode& s : subnodes) {
        if (!s.run.empty()) {
            // Attachment objects in the spool, plain.
            for (const OneBlockSubnode& r : s.run) {
                if (NidTypeOf(r.nid) != NID_TYPE_ATTACHMENT) continue;
                std::vector<Bytes> pc{s.spool->Get(r.block)};
                if (RenumberProperties(pc, ids)) s.spool->Rewrite(r.block, pc[0]);
            }
            continue;
        }
        switch (NidTypeOf(s.nid)) {
            case NID_TYPE_RECIPIENT_TABLE:
            case NID_TYPE_ATTACHMENT_TABLE:
                if (s.spool) {
                    // Plain in the spool; the columns are in the heap's first block.
                    std::vector<Bytes> first{s.spool->Get(s.spooled.at(0))};
                    if (RenumberColumns(first, ids)) s.spool->Rewrite(s.spooled[0], first[0]);
                    break;
                }
                edit(s.blocks, s.crcs, [&](std::vector<Bytes>& blocks) { RenumberColumns(blocks, ids); });
                break;
            case NID_TYPE_ATTACHMENT:
            case NID_TYPE_NORMAL_MESSAGE:
                RenumberObject(s.blocks, s.crcs, s.subnodes, ids, edit);
                break;
            default:
                break;
        }
    }
}

}  // namespace

namespace {
template <class M>
PreparedMessage Prepare(M& message, NameToIdMap& map, uint8_t cryptMethod, const std::filesystem::path& spoolDir,
                        TextApart* apart = nullptr) {
    MessageNames names(&map);
    SubnidCounter nids(names, spoolDir);
    BuiltMessage built = BuildMessageTree(message, nids, apart);
    SealLtpNode(built.node, cryptMethod);
    return PreparedMessage{std::move(built), cryptMethod, std::move(names)};
}
}  // namespace

PreparedMessage PrepareMessage(const mapi::Message& message, NameToIdMap& map, uint8_t cryptMethod,
                               const std::filesystem::path& spoolDir) {
    return Prepare(message, map, cryptMethod, spoolDir);
}

PreparedMessage PrepareMessage(mapi::Message&& message, NameToIdMap& map, uint8_t cryptMethod,
                               const std::filesystem::path& spoolDir, TextApart apart) {
    return Prepare(message, map, cryptMethod, spoolDir, &apart);
}

void FitToStore(PreparedMessage& message, NameToIdMap& names, uint8_t cryptMethod) {
    const std::map<uint16_t, uint16_t> ids = message.names.MoveTo(names);
    if (ids.empty() && message.cryptMethod == cryptMethod) return;
    LtpNode& node = message.built.node;
    if (message.cryptMethod != cryptMethod) {
        // Sealed again for another crypt method: the whole tree is decoded once.
        UnsealLtpNode(node, message.cryptMethod);
        if (!ids.empty())
            RenumberObject(node.blocks, node.crcs, node.subnodes, ids,
                           [](std::vector<Bytes>& blocks, std::vector<uint32_t>&, const auto& edit) { edit(blocks); });
        SealLtpNode(node, cryptMethod);
        message.cryptMethod = cryptMethod;
    } else {
        // Only the blocks of the message's objects and tables: its values stay sealed.
        RenumberObject(node.blocks, node.crcs, node.subnodes, ids,
                       [&](std::vector<Bytes>& blocks, std::vector<uint32_t>& crcs, const auto& edit) {
                           EditSealedBlocks(blocks, crcs, cryptMethod, edit);
                       });
    }
    for (PcProp& p : message.built.props)
        if (auto it = ids.find(p.id); it != ids.end()) p.id = it->second;
}

}  // namespace bv::mailstore::pst
