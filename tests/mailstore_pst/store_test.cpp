// The .pst store's behaviour (Store): new stores, reopening and appending, refusing
// files that are no store, closing on destruction, appending to an Outlook-made store.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <stdexcept>
#include <thread>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mapi/Utf16.h"
#include "mailstore/pst/StoreErrors.h"
#include "mailstore/pst/messaging/Store.h"
#include "PstValidate.h"
#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/StoreSize.h"
#include "mailstore/pst/ndb/Header.h"
#include "mailstore/pst/ndb/NodeDatabase.h"
#include "tests/TempFolder.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::pst;
using namespace bv::mailstore::mapi;
using bv::mailstore::FormatFault;
using bv::mailstore::MailStoreError;

namespace {

fs::path TempDir() {
    static const bv::testing::TempDir dir;
    return dir.path();
}

Message Mail(const std::string& subject, bool read = true) {
    Message m;
    m.props.SetString(PR_SUBJECT, subject);
    m.props.SetString(PR_BODY, "body of " + subject);
    m.props.SetInt(PR_MESSAGE_FLAGS, read ? MSGFLAG_READ : 0);
    PropertyBag r;
    r.SetString(PR_DISPLAY_NAME, "To Person");
    r.SetString(PR_EMAIL_ADDRESS, "to@example.com");
    m.recipients.push_back(r);
    bv::mailstore::mapi::CompleteMessage(m);
    return m;
}

// Subjects of the messages whose NBT parent is `folder`, read with our own readers.
std::vector<std::string> Subjects(const fs::path& path, Nid folder) {
    auto db = NodeDatabase::Open(path);
    std::vector<std::string> out;
    db->ForEachNode([&](Nid nid, const NodeRef& ref) {
        if (NidTypeOf(nid) != NID_TYPE_NORMAL_MESSAGE || ref.nidParent != folder) return;
        HeapReader heap(db->ReadDataTree(ref.bidData));
        for (const auto& p : ReadPropertyContext(heap, [](Nid) { return Bytes(); }))
            if (TagOf(p) == PR_SUBJECT) out.push_back(FromUtf16(p.value));
    });
    return out;
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(PstStore, CreateReopenAppendKeepsEverything) {
    fs::path p = TempDir() / "append.pst";
    fs::remove(p);
    FolderId inbox;
    {
        auto s = Store::OpenOrCreate(p, "Store");
        inbox = s->AddFolder(s->IpmSubtree(), "Inbox");
        EXPECT_EQ(s->AddFolder(s->IpmSubtree(), "inbox"), inbox);
        s->AddMessage(inbox, Mail("one"));
        s->AddMessage(inbox, Mail("two", false));
        EXPECT_EQ(s->MessageCount(inbox), 2u);
        EXPECT_FALSE(fs::exists(p)) << "the final name appears only at Close";
        s->Close();
        s->Close();
        EXPECT_THROW(s->AddMessage(inbox, Mail("late")), MailStoreError);
    }
    {
        auto s = Store::OpenOrCreate(p, "ignored");
        auto found = s->FindFolder(s->IpmSubtree(), "Inbox");
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, inbox);
        EXPECT_EQ(s->MessageCount(inbox), 2u);
        s->AddMessage(inbox, Mail("three"));
        auto sub = s->AddFolder(inbox, "Sub");
        s->AddMessage(sub, Mail("four"));
        // No Close: the destructor closes.
    }
    auto subjects = Subjects(p, inbox);
    std::sort(subjects.begin(), subjects.end());
    EXPECT_EQ(subjects, (std::vector<std::string>{"one", "three", "two"}));
    auto s = Store::OpenOrCreate(p, "ignored");
    EXPECT_EQ(s->MessageCount(inbox), 3u);
    auto sub = s->FindFolder(inbox, "Sub");
    ASSERT_TRUE(sub.has_value());
    EXPECT_EQ(s->MessageCount(*sub), 1u);
    s->Close();
    for (const auto& e : fs::directory_iterator(p.parent_path()))
        EXPECT_EQ(e.path().filename().string().find(".partial-"), std::string::npos) << e.path();
}

TEST(PstStore, MessagesPreparedOnOtherThreadsAreStoredLikeTheRest) {
    fs::path p = TempDir() / "prepared.pst";
    fs::remove(p);
    auto s = Store::OpenOrCreate(p, "Store");
    FolderId inbox = s->AddFolder(s->IpmSubtree(), "Inbox");
    constexpr int kCount = 40;
    std::vector<Message> mails;
    for (int i = 0; i < kCount; ++i) {
        mails.push_back(Mail("m" + std::to_string(100 + i), i % 3 != 0));
        if (i % 5 == 0) {
            // A body over many blocks, and an attachment: sealed subnodes of both kinds.
            mails.back().props.SetString(PR_BODY, std::string(100000 + i, char('a' + i % 26)));
            Attachment a;
            a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
            a.props.SetString(PR_ATTACH_LONG_FILENAME, "data.bin");
            Binary data(20000 + i);
            for (size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(k * 31 + i);
            a.props.SetBinary(PR_ATTACH_DATA_BIN, data);
            mails.back().attachments.push_back(std::move(a));
        }
    }
    for (Message& m : mails) bv::mailstore::mapi::CompleteMessage(m);
    std::vector<PreparedMessagePtr> prepared(kCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = t; i < kCount; i += 4) prepared[size_t(i)] = s->Prepare(mails[size_t(i)]);
        });
    s->AddMessage(inbox, Mail("m099"));  // the store goes on taking messages meanwhile
    for (auto& t : threads) t.join();
    for (auto& m : prepared) s->AddMessage(inbox, std::move(m));
    EXPECT_EQ(s->MessageCount(inbox), uint32_t(kCount + 1));
    s->Close();

    bv::pstcheck::Result check = bv::pstcheck::ValidatePstFile(p.string());
    EXPECT_EQ(check.summary.errors, 0u) << (check.findings.empty() ? "" : bv::pstcheck::FormatFinding(check.findings[0]));
    EXPECT_EQ(check.summary.messages, uint64_t(kCount + 1));
    auto subjects = Subjects(p, inbox);
    std::sort(subjects.begin(), subjects.end());
    ASSERT_EQ(subjects.size(), size_t(kCount + 1));
    EXPECT_EQ(subjects.front(), "m099");
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(subjects[size_t(i) + 1], "m" + std::to_string(100 + i));

    // A message prepared for a store that encodes otherwise is sealed again for this one.
    fs::path plainPath = TempDir() / "unencoded.pst";
    fs::remove(plainPath);
    auto plain = Store::OpenOrCreate(plainPath, "Plain", StoreOptions{NDB_CRYPT_NONE});
    auto other = Store::OpenOrCreate(TempDir() / "other.pst", "Other");
    const auto plainInbox = plain->AddFolder(plain->IpmSubtree(), "Inbox");
    plain->AddMessage(plainInbox, other->Prepare(mails[0]));
    plain->AddMessage(plainInbox, plain->Prepare(Mail("y")));
    plain->Close();
    other->Close();
    EXPECT_EQ(bv::pstcheck::ValidatePstFile(plainPath.string()).summary.errors, 0u);
    auto plainSubjects = Subjects(plainPath, plainInbox);
    std::sort(plainSubjects.begin(), plainSubjects.end());
    EXPECT_EQ(plainSubjects, (std::vector<std::string>{"m100", "y"}));
}

TEST(PstStore, FolderNamesThatAreNotUtf8AreFoundAgainAfterReopening) {
    // Linux file names are bytes: "Ang\xe9le" (Latin-1) is stored with U+FFFD.
    fs::path p = TempDir() / "names.pst";
    fs::remove(p);
    const std::string raw = "Ang\xe9le";
    FolderId folder;
    {
        auto s = Store::OpenOrCreate(p, "Store");
        folder = s->AddFolder(s->IpmSubtree(), raw);
        s->AddMessage(folder, Mail("one"));
        s->Close();
    }
    auto s = Store::OpenOrCreate(p, "ignored");
    auto found = s->FindFolder(s->IpmSubtree(), raw);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, folder);
    EXPECT_EQ(s->AddFolder(s->IpmSubtree(), raw), folder);
    EXPECT_EQ(s->MessageCount(folder), 1u);
    s->Close();
}

namespace {

// Why opening the store at `p` was refused: the format fault a NotAStoreError wraps.
FormatFault CauseOfRefusal(const fs::path& p) {
    try {
        auto s = Store::OpenOrCreate(p, "x");
        ADD_FAILURE() << p << ": a file that is no whole store was opened";
    } catch (const NotAStoreError& e) {
        EXPECT_EQ(e.path(), p);
        try {
            std::rethrow_exception(e.cause());
        } catch (const FormatFault& fault) {
            return fault;
        } catch (const std::exception& other) {
            ADD_FAILURE() << "not a format fault: " << other.what();
        }
    }
    return FormatFault("", "", "");
}

}  // namespace

TEST(PstStore, RefusesFilesThatAreNoStoreAndLeavesThemAlone) {
    fs::path dir = TempDir();
    for (std::string content : {std::string("From a@b Mon Jan 1 00:00:00 2024\nSubject: x\n\nhi\n"), std::string(),
                                std::string("!BDN") + std::string(600, '\0')}) {
        fs::path p = dir / "bogus.pst";
        {
            std::ofstream out(p, std::ios::binary);
            out << content;
        }
        const FormatFault fault = CauseOfRefusal(p);
        EXPECT_EQ(fault.structure(), "HEADER") << fault.what();
        EXPECT_EQ(Slurp(p), content);
    }
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".partial-"), std::string::npos) << e.path();
}

TEST(PstStore, AppendsToAnOutlookStore) {
    fs::path p = TempDir() / "outlook.pst";
    fs::copy_file(fs::path(BV_CORPUS) / "pst/pstsdk/sample1.pst", p, fs::copy_options::overwrite_existing);
    FolderId folder;
    {
        auto s = Store::OpenOrCreate(p, "ignored");
        folder = s->AddFolder(s->IpmSubtree(), "Added");
        s->AddMessage(folder, Mail("added to an Outlook store"));
        s->Close();
    }
    EXPECT_EQ(Subjects(p, folder), (std::vector<std::string>{"added to an Outlook store"}));
    // The Outlook message stays where it was.
    auto db = NodeDatabase::Open(p);
    std::optional<NodeRef> old = db->FindNode(0x200024);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->nidParent, 0x8082u);
    EXPECT_EQ(db->CryptMethod(), 1);  // kept as Outlook wrote it
}

TEST(PstStore, DamagedStoresAreRefusedAndLeftAlone) {
    fs::path dir = TempDir();
    fs::path good = dir / "good.pst";
    fs::remove(good);
    {
        auto s = Store::OpenOrCreate(good, "Store");
        s->AddMessage(s->AddFolder(s->IpmSubtree(), "Inbox"), Mail("one"));
        s->Close();
    }
    std::string bytes = Slurp(good);
    auto header = Header::Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    struct Damage {
        std::string name;
        std::function<void(std::string&)> apply;
        std::pair<std::string, std::string> expect;  // the structure and field at fault
    };
    std::vector<Damage> damages = {
        {"truncated", [](std::string& b) { b.resize(b.size() / 2); }, {"ROOT", "ibFileEof"}},
        {"nbt page", [&](std::string& b) { b[header.root.BREFNBT.ib + 10] ^= 0x5A; }, {"PAGETRAILER", "dwCRC"}},
        {"bbt page", [&](std::string& b) { b[header.root.BREFBBT.ib + 3] ^= 0x5A; }, {"PAGETRAILER", "dwCRC"}},
        {"message store block", [&](std::string& b) {
             // The first data block is the message store PC: damage its bytes.
             b[0x4400 + 512 * 2 + 20] ^= 0x5A;
         }, {"BLOCKTRAILER", "dwCRC"}},
    };
    for (const auto& d : damages) {
        fs::path p = dir / ("damaged-" + std::to_string(&d - damages.data()) + ".pst");
        std::string b = bytes;
        d.apply(b);
        {
            std::ofstream out(p, std::ios::binary | std::ios::trunc);
            out << b;
        }
        const FormatFault fault = CauseOfRefusal(p);
        EXPECT_EQ(std::make_pair(fault.structure(), fault.field()), d.expect) << d.name << ": " << fault.what();
        EXPECT_EQ(Slurp(p), b) << d.name;
    }
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".partial-"), std::string::npos) << e.path();
}

TEST(PstStore, ReopeningReusesTheSpaceOfTheOldTrees) {
    fs::path p = TempDir() / "reopen.pst";
    fs::remove(p);
    FolderId folder;
    {
        auto s = Store::OpenOrCreate(p, "Store");
        folder = s->AddFolder(s->IpmSubtree(), "Inbox");
        for (int i = 0; i < 400; ++i) s->AddMessage(folder, Mail("message " + std::to_string(i)));
        s->Close();
    }
    uintmax_t before = fs::file_size(p);
    for (int round = 0; round < 10; ++round) {
        auto s = Store::OpenOrCreate(p, "Store");
        s->AddMessage(folder, Mail("again " + std::to_string(round)));
        s->Close();
    }
    // Each Close writes new B-trees (~80 pages here); they must land where the old
    // ones were instead of after them.
    EXPECT_LE(fs::file_size(p), before + 253952u);
    auto s = Store::OpenOrCreate(p, "Store");
    EXPECT_EQ(s->MessageCount(folder), 410u);
    s->Close();
    EXPECT_EQ(Subjects(p, folder).size(), 410u);
}

namespace {
// The properties of a PC whose long values lie in the subnode tree `sub`, and that tree.
std::vector<PcProp> ReadPc(NodeDatabase& db, Bid data, Bid sub, std::vector<SLENTRY>& subnodes) {
    subnodes = sub ? db.ReadSubnodeTree(sub) : std::vector<SLENTRY>();
    HeapReader heap(db.ReadDataTree(data));
    return ReadPropertyContext(heap, [&](Nid nid) {
        Bytes all;
        for (const SLENTRY& e : subnodes)
            if (Nid(e.nid) == nid)
                for (const Bytes& b : db.ReadDataTree(e.bidData)) all.insert(all.end(), b.begin(), b.end());
        return all;
    });
}
const PcProp* Prop(const std::vector<PcProp>& props, uint32_t tag) {
    for (const PcProp& p : props)
        if (TagOf(p) == tag) return &p;
    return nullptr;
}
}  // namespace

TEST(PstStore, LongBodiesAndAttachmentsAreStoredWhole) {
    // A body long enough to be made into UTF-16 as it is written (characters of every
    // length across its pieces' cuts) and a large attachment, through each way into a
    // store: prepared from a message kept or consumed, for this store's encoding or
    // another's, and added directly.
    std::string text;
    while (text.size() < kLongText + 5) text += "ü€😀x";
    Binary data(300000);
    for (size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(k * 7 + k / 251);
    auto mail = [&] {
        Message m = Mail("long");
        m.props.SetString(PR_BODY, text);
        Attachment a;
        a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
        a.props.SetString(PR_ATTACH_LONG_FILENAME, "data.bin");
        a.props.SetBinary(PR_ATTACH_DATA_BIN, data);
        m.attachments.push_back(std::move(a));
        CompleteMessage(m);
        return m;
    };
    fs::path p = TempDir() / "long.pst";
    fs::remove(p);
    auto s = Store::OpenOrCreate(p, "Store");
    auto other = Store::OpenOrCreate(TempDir() / "long-other.pst", "Other", StoreOptions{NDB_CRYPT_NONE});
    FolderId inbox = s->AddFolder(s->IpmSubtree(), "Inbox");
    const Message kept = mail();
    // A store split by size counts the body made as it is written.
    EXPECT_GT(StoredSize(*s->Prepare(kept)), Utf16(text).size() + data.size());
    s->AddMessage(inbox, s->Prepare(kept));
    s->AddMessage(inbox, s->Prepare(mail()));
    s->AddMessage(inbox, other->Prepare(mail()));
    s->AddMessage(inbox, kept);
    EXPECT_EQ(kept.props.GetString(PR_BODY), text);  // a message kept stays whole
    s->Close();
    other->Close();
    EXPECT_EQ(bv::pstcheck::ValidatePstFile(p.string()).summary.errors, 0u);

    const Bytes body = Utf16(text);
    std::set<int32_t> sizes;
    auto db = NodeDatabase::Open(p);
    int messages = 0;
    db->ForEachNode([&](Nid nid, const NodeRef& ref) {
        if (NidTypeOf(nid) != NID_TYPE_NORMAL_MESSAGE || ref.nidParent != inbox) return;
        ++messages;
        std::vector<SLENTRY> subs, attachmentSubs;
        const std::vector<PcProp> props = ReadPc(*db, ref.bidData, ref.bidSub, subs);
        ASSERT_NE(Prop(props, PR_BODY), nullptr);
        EXPECT_TRUE(Prop(props, PR_BODY)->value == body);
        sizes.insert(int32_t(Get32(Prop(props, PR_MESSAGE_SIZE)->value.data())));
        for (const SLENTRY& e : subs) {
            if (NidTypeOf(Nid(e.nid)) != NID_TYPE_ATTACHMENT) continue;
            const std::vector<PcProp> attachment = ReadPc(*db, e.bidData, e.bidSub, attachmentSubs);
            ASSERT_NE(Prop(attachment, PR_ATTACH_DATA_BIN), nullptr);
            EXPECT_TRUE(Prop(attachment, PR_ATTACH_DATA_BIN)->value == data);
        }
    });
    EXPECT_EQ(messages, 4);
    EXPECT_EQ(sizes.size(), 1u);  // each way gives the same message
}

// The record of the items written keeps millions without holding them in memory: every
// item comes back in the order written, also after a later close's items are appended.
TEST(WrittenItemsTest, ItemsComeBackInTheOrderWritten) {
    WrittenStore first, later;
    for (uint32_t i = 0; i < 10000; ++i) first.items.Add({i * 32 + 4, i, uint64_t(i) * 7919});
    for (uint32_t i = 10000; i < 15000; ++i) later.items.Add({i * 32 + 4, i, uint64_t(i) * 7919});
    first.Merge(std::move(later));
    ASSERT_EQ(first.items.size(), 15000u);
    WrittenItems::Reader reader(first.items);
    WrittenItem item;
    uint32_t n = 0;
    while (reader.Next(item)) {
        ASSERT_EQ(item.nid, n * 32 + 4);
        ASSERT_EQ(item.identity(), (Identity{uint64_t(n) * 7919, n}));
        ++n;
    }
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(n, 15000u);
}

// A recipient table too large to hold while the message waits for the store (it waits
// in a temporary file) is stored whole by every way into a store: its rows in order,
// a value too long for the table's heap, a named property under the id of the
// store's map (not the map it was prepared with), for a store of the same encoding or
// another.
TEST(PstStore, LargeRecipientTablesAreStoredWhole) {
    constexpr size_t kRows = 700;
    const PropertyName late{PS_PUBLIC_STRINGS, "x-late"}, early{PS_PUBLIC_STRINGS, "x-early"};
    auto mail = [&] {
        Message m = Mail("many");
        m.recipients.clear();
        for (size_t i = 0; i < kRows; ++i) {
            PropertyBag r;
            r.SetString(PR_DISPLAY_NAME, i == 5 ? std::string(3000, 'n') : "Person " + std::to_string(i));
            r.SetString(PR_EMAIL_ADDRESS, "p" + std::to_string(i) + "@example.com");
            if (i == 0) r.SetNamed(late, PT_LONG, 7);
            m.recipients.push_back(std::move(r));
        }
        CompleteMessage(m);
        return m;
    };
    fs::path p = TempDir() / "recipients.pst";
    fs::remove(p);
    auto s = Store::OpenOrCreate(p, "Store");
    auto other = Store::OpenOrCreate(TempDir() / "recipients-other.pst", "Other", StoreOptions{NDB_CRYPT_NONE});
    FolderId inbox = s->AddFolder(s->IpmSubtree(), "Inbox");
    const Message kept = mail();
    PreparedMessagePtr elsewhere = other->Prepare(mail());  // before this store knows `early`
    s->Names().IdOf(early);
    EXPECT_GT(StoredSize(*s->Prepare(kept)), kRows * 100);  // a store split by size counts it
    s->AddMessage(inbox, s->Prepare(kept));
    s->AddMessage(inbox, s->Prepare(mail()));
    s->AddMessage(inbox, std::move(elsewhere));
    s->AddMessage(inbox, kept);
    const uint32_t lateTag = uint32_t(s->Names().IdOf(late)) << 16 | PT_LONG;
    ASSERT_NE(other->Names().IdOf(late), s->Names().IdOf(late));
    s->Close();
    other->Close();
    EXPECT_EQ(bv::pstcheck::ValidatePstFile(p.string()).summary.errors, 0u);

    auto db = NodeDatabase::Open(p);
    int messages = 0;
    db->ForEachNode([&](Nid nid, const NodeRef& ref) {
        if (NidTypeOf(nid) != NID_TYPE_NORMAL_MESSAGE || ref.nidParent != inbox) return;
        ++messages;
        const std::vector<SLENTRY> subs = db->ReadSubnodeTree(ref.bidSub);
        const SLENTRY* table = nullptr;
        for (const SLENTRY& e : subs)
            if (Nid(e.nid) == NID_RECIPIENT_TABLE) table = &e;
        ASSERT_NE(table, nullptr);
        const std::vector<SLENTRY> below = table->bidSub ? db->ReadSubnodeTree(table->bidSub) : std::vector<SLENTRY>();
        HeapReader heap(db->ReadDataTree(table->bidData));
        TcRead read = ReadTableContext(heap, [&](Nid sub) {
            for (const SLENTRY& e : below)
                if (Nid(e.nid) == sub) return db->ReadDataTree(e.bidData);
            return std::vector<Bytes>();
        });
        ASSERT_EQ(read.rows.size(), kRows);
        std::map<uint32_t, Bytes> fifth(read.rows[5].cells.begin(), read.rows[5].cells.end());
        EXPECT_EQ(FromUtf16(fifth[PR_DISPLAY_NAME]), std::string(3000, 'n'));
        for (size_t i = 0; i < kRows; i += 97) {
            std::map<uint32_t, Bytes> cells(read.rows[i].cells.begin(), read.rows[i].cells.end());
            EXPECT_EQ(FromUtf16(cells[PR_DISPLAY_NAME]), "Person " + std::to_string(i));
            EXPECT_EQ(cells.count(lateTag), i == 0 ? 1u : 0u);
        }
    });
    EXPECT_EQ(messages, 4);
}
