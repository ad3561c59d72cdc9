// Messaging layer: what a message node holds after MessageBuilder (properties kept,
// computed ones dropped, flags and sizes, recipient and attachment subnodes).
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/messaging/IdentityTable.h"
#include "mailstore/pst/messaging/MessageBuilder.h"
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

// The table a store keeps of its messages' identities: through many merges of the
// recent entries into the sorted ones, every identity is found with the NID it was
// first entered with, identities alike in their first 64 bits stay apart, and the
// index it writes reads back the same, also when an older writer left the entries in
// no order; the earlier index of 64-bit Message-ID hashes is refused (read again).
TEST(PstIdentityTable, FindsEveryIdentityWithItsFirstNidAndReadsBackWhatItWrites) {
    std::mt19937_64 random(7);
    std::vector<Identity> ids;
    for (int i = 0; i < 50000; ++i) ids.push_back({random() | 1, uint32_t(random())});
    for (int i = 0; i < 100; ++i) ids.push_back({ids[i].key, ids[i].check ^ 1});  // same key, other check
    IdentityTable table;
    for (size_t i = 0; i < ids.size(); ++i) {
        table.Add(ids[i], Nid(0x200024 + 32 * i));
        if (i % 3 == 0) table.Add(ids[i / 2], 1);  // a copy met later changes nothing
    }
    ASSERT_EQ(table.Size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) ASSERT_EQ(table.Find(ids[i]), Nid(0x200024 + 32 * i)) << i;
    EXPECT_FALSE(table.Contains(Identity{2, 0}));  // (all entered are odd)
    const std::vector<Identity> all = table.Identities();
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));

    // Written in pieces the size of data blocks, as the store writes its index node.
    std::vector<Bytes> blocks;
    table.Write(8176, [&](const uint8_t* p, size_t n) { blocks.emplace_back(p, p + n); });
    ASSERT_EQ(blocks.size(), (8 + ids.size() * 16 + 8175) / 8176);
    IdentityTable reread;
    ASSERT_TRUE(reread.Load(std::move(blocks)));
    EXPECT_EQ(reread.Size(), ids.size());
    EXPECT_EQ(reread.Find(ids[12345]), Nid(0x200024 + 32 * 12345));
    EXPECT_EQ(reread.Find(ids[50007]), Nid(0x200024 + 32 * 50007));

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
