// Messaging layer: what a message node holds after MessageBuilder (properties kept,
// computed ones dropped, flags and sizes, recipient and attachment subnodes).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <map>
#include <random>

#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/messaging/IdentityTable.h"
#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/messaging/NameToIdMap.h"
#include "mailstore/pst/ndb/Header.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"

using namespace bv::mailstore::pst;
using namespace bv::mailstore::mapi;

namespace {

std::map<uint32_t, Bytes> PcOf(const std::vector<Bytes>& blocks, const std::vector<LtpSubnode>& subs) {
    HeapReader heap(blocks);
    std::map<uint32_t, Bytes> out;
    for (auto& p : ReadPropertyContext(heap, [&](Nid nid) {
             for (const auto& s : subs)
                 if (s.nid == nid) {
                     Bytes all = s.data;
                     for (const auto& b : s.blocks) all.insert(all.end(), b.begin(), b.end());
                     if (s.source) s.source->Read([&all](const uint8_t* d, size_t n) { all.insert(all.end(), d, d + n); });
                     return all;
                 }
             ADD_FAILURE() << "subnode " << nid << " missing";
             return Bytes();
         }))
        out[TagOf(p)] = p.value;
    return out;
}

const LtpSubnode* Sub(const std::vector<LtpSubnode>& subs, Nid nid) {
    for (const auto& s : subs)
        if (s.nid == nid) return &s;
    return nullptr;
}

uint64_t AllData(const LtpSubnode& s) {
    uint64_t n = s.DataSize();
    for (const auto& c : s.subnodes) n += AllData(c);
    return n;
}

}  // namespace

TEST(PstMessage, StoredPropertiesFlagsAndSize) {
    Message m;
    m.props.SetString(PR_SUBJECT, "RE: hello");
    m.props.Set(MakeTag(TagId(PR_BODY), PT_STRING8), std::string("caf\xc3\xa9"));
    m.props.Set(MakeTag(0x1013, PT_UNICODE), std::string("<p>x</p>"));  // PidTagBodyHtml as a string
    m.props.SetString(PR_NORMALIZED_SUBJECT, "hello");
    m.props.SetString(PR_SUBJECT_PREFIX, "RE: ");
    m.props.SetBinary(PR_ENTRYID, Binary(24, 1));
    m.props.SetBool(PR_HASATTACH, false);
    m.props.SetInt(0x8005'0003, 7);  // a named property id without a name map entry
    m.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ);
    Attachment a;
    a.props.SetString(PR_ATTACH_LONG_FILENAME, "big.bin");
    a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(10000, 0xAB));
    m.attachments.push_back(std::move(a));

    bv::mailstore::mapi::CompleteMessage(m);
    BuiltMessage b = BuildMessage(m);
    auto pc = PcOf(b.node.blocks, b.node.subnodes);
    EXPECT_EQ(FromUtf16(pc[PR_SUBJECT]), "RE: hello");
    EXPECT_EQ(FromUtf16(pc[PR_BODY]), "caf\xc3\xa9");  // PT_STRING8 stored as PT_UNICODE
    EXPECT_EQ(pc[PR_HTML], (Bytes{'<', 'p', '>', 'x', '<', '/', 'p', '>'}));
    for (uint32_t gone : {PR_NORMALIZED_SUBJECT, PR_SUBJECT_PREFIX, PR_ENTRYID, PR_HASATTACH, 0x80050003u})
        EXPECT_EQ(pc.count(gone), 0u) << std::hex << gone;
    EXPECT_EQ(FromUtf16(pc[PR_MESSAGE_CLASS]), "IPM.Note");
    ASSERT_EQ(pc[PR_MESSAGE_FLAGS].size(), 4u);
    EXPECT_EQ(Get32(pc[PR_MESSAGE_FLAGS].data()), uint32_t(MSGFLAG_READ | MSGFLAG_HASATTACH));
    EXPECT_EQ(pc[PR_SEARCH_KEY].size(), 16u);
    for (uint32_t required : {PR_MESSAGE_STATUS, PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME}) EXPECT_TRUE(pc.count(required));

    // Message size: the PC's blocks plus every subnode's data, at every depth.
    uint64_t total = 0;
    for (const auto& blk : b.node.blocks) total += blk.size();
    for (const auto& s : b.node.subnodes) total += AllData(s);
    EXPECT_EQ(Get32(pc[PR_MESSAGE_SIZE].data()), total);
    EXPECT_EQ(b.messageSize, total);

    ASSERT_NE(Sub(b.node.subnodes, NID_RECIPIENT_TABLE), nullptr);
    const LtpSubnode* table = Sub(b.node.subnodes, NID_ATTACHMENT_TABLE);
    ASSERT_NE(table, nullptr);
    HeapReader heap(table->blocks);
    TcRead rows = ReadTableContext(heap, [](Nid) { return std::vector<Bytes>(); });
    ASSERT_EQ(rows.rows.size(), 1u);
    Nid attachNid = rows.rows[0].rowId;
    EXPECT_EQ(NidTypeOf(attachNid), NID_TYPE_ATTACHMENT);
    const LtpSubnode* attach = Sub(b.node.subnodes, attachNid);
    ASSERT_NE(attach, nullptr);
    auto apc = PcOf(attach->blocks, attach->subnodes);
    EXPECT_EQ(apc[PR_ATTACH_DATA_BIN], Bytes(10000, 0xAB));  // over 3580 bytes: in a subnode of the attachment
    EXPECT_EQ(attach->subnodes.size(), 1u);
    EXPECT_EQ(Get32(apc[PR_ATTACH_METHOD].data()), uint32_t(ATTACH_BY_VALUE));
    EXPECT_EQ(int32_t(Get32(apc[PR_RENDERING_POSITION].data())), -1);
    EXPECT_EQ(FromUtf16(apc[PR_ATTACH_FILENAME]), "big.bin");
    EXPECT_EQ(Get32(apc[PR_ATTACH_SIZE].data()), AllData(*attach));
    // The table row repeats the attachment's values.
    for (const auto& [tag, v] : rows.rows[0].cells) EXPECT_EQ(v, apc[tag]) << std::hex << tag;
}

TEST(PstMessage, NoAttachmentsClearsTheFlagAndEmbeddedMessagesNest) {
    Message m;
    m.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH);  // claims an attachment it lacks
    bv::mailstore::mapi::CompleteMessage(m);
    BuiltMessage plain = BuildMessage(m);
    auto pc = PcOf(plain.node.blocks, plain.node.subnodes);
    EXPECT_EQ(Get32(pc[PR_MESSAGE_FLAGS].data()), uint32_t(MSGFLAG_READ));
    EXPECT_EQ(Sub(plain.node.subnodes, NID_ATTACHMENT_TABLE), nullptr);
    EXPECT_NE(Sub(plain.node.subnodes, NID_RECIPIENT_TABLE), nullptr);  // always there

    Message outer;
    Attachment a;
    a.embedded = std::make_unique<Message>();
    a.embedded->props.SetString(PR_SUBJECT, "inner");
    PropertyBag r;
    r.SetString(PR_DISPLAY_NAME, "R");
    a.embedded->recipients.push_back(r);
    outer.attachments.push_back(std::move(a));
    bv::mailstore::mapi::CompleteMessage(outer);
    BuiltMessage b = BuildMessage(outer);
    const LtpSubnode* attach = nullptr;
    for (const auto& s : b.node.subnodes)
        if (NidTypeOf(s.nid) == NID_TYPE_ATTACHMENT) attach = &s;
    ASSERT_NE(attach, nullptr);
    auto apc = PcOf(attach->blocks, attach->subnodes);
    EXPECT_EQ(Get32(apc[PR_ATTACH_METHOD].data()), uint32_t(ATTACH_EMBEDDED_MSG));
    Bytes obj = apc[0x3701000D];
    ASSERT_EQ(obj.size(), 8u);
    const LtpSubnode* inner = Sub(attach->subnodes, Get32(obj.data()));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(NidTypeOf(inner->nid), NID_TYPE_NORMAL_MESSAGE);
    auto ipc = PcOf(inner->blocks, inner->subnodes);
    EXPECT_EQ(FromUtf16(ipc[PR_SUBJECT]), "inner");
    EXPECT_EQ(Get32(obj.data() + 4), Get32(ipc[PR_MESSAGE_SIZE].data()));
    const LtpSubnode* recips = Sub(inner->subnodes, NID_RECIPIENT_TABLE);
    ASSERT_NE(recips, nullptr);
    HeapReader heap(recips->blocks);
    TcRead rows = ReadTableContext(heap, [](Nid) { return std::vector<Bytes>(); });
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_GT(rows.rows[0].rowId, 0u);  // recipient row ids start at 1
}

namespace {
// Rows made as they are read: `n` typed ones.
class MadeRows final : public RecipientRows {
public:
    explicit MadeRows(size_t n) : n_(n) {}
    size_t Count() const override { return n_; }
    void ForEach(const std::function<void(const Recipient&)>& row) const override {
        for (size_t i = 0; i < n_; ++i) row(Recipient(MAPI_CC, "R " + std::to_string(i), "r" + std::to_string(i) + "@example.org"));
    }

private:
    size_t n_;
};
}  // namespace

// A message whose long header is given apart and whose rows are made as they are read
// is stored as the one that holds them: the same properties, the same recipient table.
TEST(PstMessage, TextGivenApartAndRowsMadeAsReadAreStoredAsHeldOnes) {
    std::string header;
    while (header.size() < (size_t(1) << 20)) header += "Received: from h" + std::to_string(header.size()) + " (\xC3\xA9)\r\n";
    Message held, apart;
    for (Message* m : {&held, &apart}) {
        m->props.SetString(PR_SUBJECT, "s");
        m->props.SetTime(PR_CREATION_TIME, 133497828000000000);
        m->props.SetTime(PR_LAST_MODIFICATION_TIME, 133497828000000000);
        m->props.SetBinary(PR_SEARCH_KEY, Binary(16, 7));
    }
    held.props.SetString(PR_TRANSPORT_MESSAGE_HEADERS, header);
    MadeRows rows(300);
    rows.ForEach([&held](const Recipient& r) { held.recipients.push_back(r); });
    apart.props.SetString(PR_TRANSPORT_MESSAGE_HEADERS, std::string());
    apart.moreRecipients = std::make_shared<MadeRows>(300);
    for (Message* m : {&held, &apart}) CompleteMessage(*m);
    TextApart text;
    text.tag = PR_TRANSPORT_MESSAGE_HEADERS;
    text.utf16Size = Utf16(header).size();
    text.utf16 = [&header](const std::function<void(const uint8_t*, size_t)>& out) {
        const Bytes utf16 = Utf16(header);
        out(utf16.data(), 1000);
        out(utf16.data() + 1000, utf16.size() - 1000);
    };
    NameToIdMap names = NameToIdMap::ForNewStore();
    const PreparedMessage a = PrepareMessage(std::move(held), names, NDB_CRYPT_NONE);
    const PreparedMessage b = PrepareMessage(std::move(apart), names, NDB_CRYPT_NONE, {}, std::move(text));
    EXPECT_EQ(PcOf(a.built.node.blocks, a.built.node.subnodes), PcOf(b.built.node.blocks, b.built.node.subnodes));
    EXPECT_EQ(FromUtf16(PcOf(b.built.node.blocks, b.built.node.subnodes)[PR_TRANSPORT_MESSAGE_HEADERS]), header);
    EXPECT_EQ(a.built.messageSize, b.built.messageSize);
    EXPECT_EQ(Sub(a.built.node.subnodes, NID_RECIPIENT_TABLE)->blocks, Sub(b.built.node.subnodes, NID_RECIPIENT_TABLE)->blocks);
}

namespace {
// Attachments made as they are read: `n` files, each with a named property; the 100th
// too big for its PC's heap, the 200th an attached message.
class MadeAttachments final : public AttachmentRows {
public:
    explicit MadeAttachments(size_t n) : n_(n) {}
    size_t Count() const override { return n_; }
    void ForEach(const std::function<void(Attachment&)>& each) const override {
        for (size_t i = 0; i < n_; ++i) {
            Attachment a;
            a.props.SetString(PR_ATTACH_LONG_FILENAME, "f" + std::to_string(i) + ".txt");
            a.props.SetNamed(PropertyName{PS_PUBLIC_STRINGS, std::string("x-made")}, PT_LONG, int32_t(i));
            if (i == 200) a.embedded = std::make_unique<Message>();
            else a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(i == 100 ? 9000 : 20, uint8_t(i)));
            CompleteAttachment(a, int32_t(i));
            each(a);
        }
    }

private:
    size_t n_;
};

// The blocks of each attachment object of a built message, by NID (from the spool for
// those that wait there).
std::map<Nid, std::vector<Bytes>> AttachmentBlocks(const std::vector<LtpSubnode>& subs) {
    std::map<Nid, std::vector<Bytes>> out;
    for (const LtpSubnode& s : subs) {
        for (const OneBlockSubnode& r : s.run) out[r.nid] = {s.spool->Get(r.block)};
        if (NidTypeOf(s.nid) == NID_TYPE_ATTACHMENT) out[s.nid] = s.blocks;
    }
    return out;
}
}  // namespace

// A message whose attachments are made as they are read, built with a spool (where
// they and their table wait), is stored as the one that holds them: the same message
// PC and size, the same attachment objects and table, also once a store with another
// map of names takes it.
TEST(PstMessage, AttachmentsMadeAsReadAndSpooledAreStoredAsHeldOnes) {
    Message held, made;
    for (Message* m : {&held, &made}) {
        m->props.SetString(PR_SUBJECT, "s");
        m->props.SetTime(PR_CREATION_TIME, 133497828000000000);
        m->props.SetTime(PR_LAST_MODIFICATION_TIME, 133497828000000000);
        m->props.SetBinary(PR_SEARCH_KEY, Binary(16, 7));
    }
    MadeAttachments files(300);
    files.ForEach([&held](Attachment& a) { held.attachments.push_back(std::move(a)); });
    made.moreAttachments = std::make_shared<MadeAttachments>(300);
    for (Message* m : {&held, &made}) CompleteMessage(*m);
    NameToIdMap names = NameToIdMap::ForNewStore(), store = NameToIdMap::ForNewStore();
    store.IdOf(PropertyName{PS_PUBLIC_STRINGS, std::string("x-store")});
    PreparedMessage a = PrepareMessage(std::move(held), names, NDB_CRYPT_NONE);
    PreparedMessage b = PrepareMessage(std::move(made), names, NDB_CRYPT_NONE, std::filesystem::temp_directory_path());
    for (PreparedMessage* p : {&a, &b}) FitToStore(*p, store, NDB_CRYPT_NONE);
    const auto& x = a.built.node.subnodes;
    const auto& y = b.built.node.subnodes;
    EXPECT_LT(y.size(), 10u);  // (runs of attachments)
    EXPECT_EQ(PcOf(a.built.node.blocks, x), PcOf(b.built.node.blocks, y));
    EXPECT_EQ(a.built.messageSize, b.built.messageSize);
    const auto held300 = AttachmentBlocks(x);
    EXPECT_EQ(held300.size(), 300u);
    EXPECT_EQ(held300, AttachmentBlocks(y));
    const LtpSubnode* table = Sub(y, NID_ATTACHMENT_TABLE);
    ASSERT_TRUE(table && table->spool);
    std::vector<Bytes> spooled;
    for (const SpooledBlock& block : table->spooled) spooled.push_back(table->spool->Get(block));
    EXPECT_EQ(Sub(x, NID_ATTACHMENT_TABLE)->blocks, spooled);
}

// A message prepared with one map and added to a store whose map numbers its names
// otherwise: every level (the message, its recipients, its attachment, the embedded
// message below it and that one's recipients) holds each value under the store's id
// for its name, whether the blocks stay sealed, are sealed with another method, or not.
TEST(PstMessage, NamedPropertiesAtEveryLevelTakeTheIdsOfTheStoreThatTakesThem) {
    const PropertyName top{PSETID_Common, uint32_t(0x8530)}, below{PS_PUBLIC_STRINGS, std::string("x-below")},
        replace{PropertyName::Guid{0x02, 0x20, 0x06, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}, uint32_t(0x8228)};
    auto named = [&](PropertyBag& bag, int32_t level) {
        bag.SetNamed(below, PT_LONG, level);
        bag.SetNamed(PropertyName{PS_PUBLIC_STRINGS, "x-level-" + std::to_string(level)}, PT_LONG, level);
    };
    Message m;
    m.props.SetString(PR_SUBJECT, "series");
    m.props.SetNamed(top, PT_UNICODE, std::string("Follow up"));
    PropertyBag r;
    r.SetString(PR_DISPLAY_NAME, "R");
    named(r, 1);
    m.recipients.push_back(r);
    Attachment a;
    named(a.props, 2);
    a.embedded = std::make_unique<Message>();
    a.embedded->props.SetNamed(replace, PT_SYSTIME, int64_t(133497828000000000));
    named(a.embedded->props, 3);
    named(r, 4);
    a.embedded->recipients.push_back(r);
    m.attachments.push_back(std::move(a));
    CompleteMessage(m);

    const struct {
        uint8_t prepared, store;
    } cases[] = {{NDB_CRYPT_NONE, NDB_CRYPT_NONE}, {NDB_CRYPT_PERMUTE, NDB_CRYPT_PERMUTE}, {NDB_CRYPT_PERMUTE, NDB_CRYPT_NONE}};
    for (const auto& c : cases) {
        NameToIdMap prepared = NameToIdMap::ForNewStore(), store = NameToIdMap::ForNewStore();
        for (int i = 0; i < 5; ++i) store.IdOf(PropertyName{PS_PUBLIC_STRINGS, "x-store-" + std::to_string(i)});
        PreparedMessage p = PrepareMessage(m, prepared, c.prepared);
        FitToStore(p, store, c.store);
        UnsealLtpNode(p.built.node, c.store);
        auto id = [&](const PropertyName& n, uint16_t type) { return uint32_t(store.IdOf(n)) << 16 | type; };
        auto expectLevel = [&](auto& values, int32_t level) {
            EXPECT_EQ(Get32(values[id(below, PT_LONG)].data()), uint32_t(level)) << level;
            const PropertyName own{PS_PUBLIC_STRINGS, "x-level-" + std::to_string(level)};
            EXPECT_EQ(Get32(values[id(own, PT_LONG)].data()), uint32_t(level)) << level;
        };
        auto recipients = [](const LtpSubnode* table) {
            std::map<uint32_t, Bytes> cells;
            if (!table) return cells;
            HeapReader heap(table->blocks);
            TcRead read = ReadTableContext(heap, [](Nid) { return std::vector<Bytes>(); });
            for (size_t i = 1; i < read.cols.size(); ++i) EXPECT_LT(read.cols[i - 1].tag, read.cols[i].tag);
            for (const auto& [tag, v] : read.rows.at(0).cells) cells[tag] = v;
            return cells;
        };
        auto pc = PcOf(p.built.node.blocks, p.built.node.subnodes);
        EXPECT_EQ(FromUtf16(pc[id(top, PT_UNICODE)]), "Follow up");
        auto row = recipients(Sub(p.built.node.subnodes, NID_RECIPIENT_TABLE));
        expectLevel(row, 1);
        const LtpSubnode* attach = nullptr;
        for (const auto& s : p.built.node.subnodes)
            if (NidTypeOf(s.nid) == NID_TYPE_ATTACHMENT) attach = &s;
        ASSERT_NE(attach, nullptr);
        auto apc = PcOf(attach->blocks, attach->subnodes);
        expectLevel(apc, 2);
        const LtpSubnode* inner = Sub(attach->subnodes, Get32(apc[0x3701000D].data()));
        ASSERT_NE(inner, nullptr);
        auto ipc = PcOf(inner->blocks, inner->subnodes);
        expectLevel(ipc, 3);
        EXPECT_EQ(Get64(ipc[id(replace, PT_SYSTIME)].data()), 133497828000000000u);
        auto innerRow = recipients(Sub(inner->subnodes, NID_RECIPIENT_TABLE));
        expectLevel(innerRow, 4);
        // The store's map names them all; the properties kept for the contents row follow.
        EXPECT_EQ(p.names.Find(replace), store.IdOf(replace));
        EXPECT_TRUE(std::any_of(p.built.props.begin(), p.built.props.end(),
                                [&](const PcProp& q) { return TagOf(q) == id(top, PT_UNICODE); }));
    }
}

// The table a store keeps of its messages' identities: through many merges of the
// recent entries into the sorted ones, every identity is found with the NID it was
// first entered with, identities alike in their first 64 bits stay apart, and the
// index it writes reads back the same, also when an older writer left the entries in
// no order; the earlier index of 64-bit Message-ID hashes is refused (read again).
// Held in memory, and past 1,000 entries in a temporary file (and the index loaded
// into one); the same answers either way.
TEST(PstIdentityTable, FindsEveryIdentityWithItsFirstNidAndReadsBackWhatItWrites) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    for (const size_t heldInMemory : {size_t(1) << 16, size_t(1000)}) {
        SCOPED_TRACE(heldInMemory);
        std::mt19937_64 random(7);
        std::vector<Identity> ids;
        for (int i = 0; i < 50000; ++i) ids.push_back({random() | 1, uint32_t(random())});
        for (int i = 0; i < 100; ++i) ids.push_back({ids[i].key, ids[i].check ^ 1});  // same key, other check
        IdentityTable table(heldInMemory);
        table.SpillInto(dir);
        for (size_t i = 0; i < ids.size(); ++i) {
            table.Add(ids[i], Nid(0x200024 + 32 * i));
            if (i % 3 == 0) table.Add(ids[i / 2], 1);  // a copy met later changes nothing
        }
        ASSERT_EQ(table.Size(), ids.size());
        for (size_t i = 0; i < ids.size(); ++i) ASSERT_EQ(table.Find(ids[i]), Nid(0x200024 + 32 * i)) << i;
        for (uint64_t k = 2; k < 20000; k += 2) ASSERT_FALSE(table.Contains(Identity{k, 0}));  // (all entered are odd)
        const std::vector<Identity> all = table.Identities();
        EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
        EXPECT_EQ(all.size(), ids.size());

        // Written in pieces the size of data blocks, as the store writes its index node.
        std::vector<Bytes> blocks;
        table.Write(8176, [&](const uint8_t* p, size_t n) { blocks.emplace_back(p, p + n); });
        ASSERT_EQ(blocks.size(), (8 + ids.size() * 16 + 8175) / 8176);
        IdentityTable reread(heldInMemory);
        reread.SpillInto(dir);
        ASSERT_TRUE(reread.Load(std::move(blocks)));
        EXPECT_EQ(reread.Size(), ids.size());
        for (size_t i = 0; i < ids.size(); i += 7) ASSERT_EQ(reread.Find(ids[i]), Nid(0x200024 + 32 * i)) << i;
        EXPECT_EQ(reread.Find(ids[50007]), Nid(0x200024 + 32 * 50007));
    }
    IdentityTable reread;

    auto entry = [](Bytes& out, uint64_t key, uint32_t check, Nid nid) {
        for (int b = 0; b < 8; ++b) out.push_back(uint8_t(key >> (8 * b)));
        for (int b = 0; b < 4; ++b) out.push_back(uint8_t(check >> (8 * b)));
        for (int b = 0; b < 4; ++b) out.push_back(uint8_t(nid >> (8 * b)));
    };
    // Three entries out of order, one identity twice: sorted, the first kept.
    Bytes unordered = {'B', 'V', 'I', '2', 3, 0, 0, 0};
    entry(unordered, 9, 1, 0x44);
    entry(unordered, 5, 1, 0x24);
    entry(unordered, 9, 1, 0x64);
    ASSERT_TRUE(reread.Load({Bytes(unordered.begin(), unordered.begin() + 13), Bytes(unordered.begin() + 13, unordered.end())}));
    EXPECT_EQ(reread.Size(), 2u);
    EXPECT_EQ(reread.Find({9, 1}), Nid(0x44));
    EXPECT_EQ(reread.Find({5, 1}), Nid(0x24));
    unordered.pop_back();
    EXPECT_FALSE(reread.Load({unordered}));  // cut short: not an index
    EXPECT_EQ(reread.Size(), 0u);
    const Bytes earlier = {'B', 'V', 'I', '1', 1, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0x44, 0, 0, 0};
    EXPECT_FALSE(reread.Load({earlier}));
}
