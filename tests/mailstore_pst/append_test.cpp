// Adding to a store in place: no copy of the store, commits that each leave a whole
// store, each message once (with the categories of all its copies), and the temporary
// files of runs that were killed removed by the next one.
#include <gtest/gtest.h>

#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include "PstValidate.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/MailStoreError.h"
#include "mailstore/base/PlatformFile.h"
#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/Store.h"
#include "mailstore/pst/ndb/AllocationMap.h"
#include "mailstore/pst/ndb/Header.h"
#include "mailstore/pst/ndb/NodeDatabase.h"
#include "tests/TempFolder.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::pst;
using namespace bv::mailstore::mapi;
using bv::mailstore::MailStoreError;

namespace {

fs::path TempDir() {
    static const bv::testing::TempDir dir;
    return dir.path();
}

const PropertyName kKeywords{PS_PUBLIC_STRINGS, std::string("Keywords")};

// A message whose content (the search key the run makes its digest) is its subject
// unless `content` says otherwise.
Message Mail(const std::string& subject, const std::string& messageId, std::vector<std::string> categories = {},
             std::string content = {}) {
    if (content.empty()) content = subject;
    Message m;
    m.props.SetString(PR_SUBJECT, subject);
    m.props.SetString(PR_BODY, "body of " + subject + std::string(subject.size() % 2 ? 5000 : 10, 'x'));
    m.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ);
    if (!messageId.empty()) m.props.SetString(PR_INTERNET_MESSAGE_ID, messageId);
    m.props.SetBinary(PR_SEARCH_KEY, Binary(content.begin(), content.end()));
    if (!categories.empty()) m.props.SetNamed(kKeywords, PT_MV_UNICODE, categories);
    bv::mailstore::mapi::CompleteMessage(m);
    return m;
}

uint64_t ValidationErrors(const fs::path& p) {
    bv::pstcheck::Result r = bv::pstcheck::ValidatePstFile(p.string());
    for (const auto& f : r.findings) {
        if (f.severity == bv::pstcheck::Severity::Error) ADD_FAILURE() << bv::pstcheck::FormatFinding(f);
        // A message's size and its contents row follow every change of the message.
        else if (f.check == "message.size" || f.check == "folder.row_mismatch") ADD_FAILURE() << bv::pstcheck::FormatFinding(f);
    }
    return r.summary.errors;
}

// Subject -> categories of every message in the store, read with our own readers; only
// the subjects in `twice` may be those of two messages.
std::map<std::string, std::vector<std::string>> Messages(const fs::path& path, const std::set<std::string>& twice = {}) {
    auto db = NodeDatabase::Open(path);
    std::map<std::string, std::vector<std::string>> out;
    db->ForEachNode([&](Nid nid, const NodeRef& ref) {
        if (NidTypeOf(nid) != NID_TYPE_NORMAL_MESSAGE) return;
        HeapReader heap(db->ReadDataTree(ref.bidData));
        std::string subject;
        std::vector<std::string> categories;
        for (const auto& p : ReadPropertyContext(heap, [](Nid) { return Bytes(); })) {
            if (TagOf(p) == PR_SUBJECT) subject = FromUtf16(p.value);
            if (p.id < 0x8000 || p.type != PT_MV_UNICODE) continue;
            Property decoded = DecodeProperty(p);
            if (auto* v = std::get_if<std::vector<std::string>>(&decoded.value)) categories = *v;
        }
        EXPECT_TRUE(!out.count(subject) || twice.count(subject)) << subject << " is stored twice";
        out[subject] = categories;
    });
    return out;
}

std::vector<std::string> FilesBeside(const fs::path& store) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(store.parent_path()))
        // (On Windows the B-trees' spill files are named ones that vanish when closed.)
        if (e.path() != store && e.path().filename().string().rfind(".brimvault-spill-", 0) != 0)
            out.push_back(e.path().filename().string());
    return out;
}

}  // namespace

TEST(PstAppend, EachMessageOnceAcrossRunsWithTheCategoriesOfEveryCopy) {
    fs::path dir = TempDir() / "once";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path p = dir / "store.pst";
    {
        auto s = Store::OpenOrCreate(p, "Store");
        FolderId a = s->AddFolder(s->IpmSubtree(), "A");
        FolderId b = s->AddFolder(s->IpmSubtree(), "B");
        EXPECT_TRUE(s->AddMessageOnce(a, s->Prepare(Mail("one", "<1@x>", {"Inbox"}))));
        EXPECT_TRUE(s->AddMessageOnce(a, s->Prepare(Mail("two", "", {"Work"}))));
        // The same messages from another mailbox: one item each, categories joined.
        EXPECT_FALSE(s->AddMessageOnce(b, s->Prepare(Mail("one copy", "<1@x>", {"Starred", "Inbox"}, "one"))));
        EXPECT_FALSE(s->AddMessageOnce(b, s->Prepare(Mail("two", "", {"Home"}))));
        // Another message that reuses a Message-ID is another message.
        EXPECT_TRUE(s->AddMessageOnce(b, s->Prepare(Mail("one revised", "<1@x>"))));
        EXPECT_TRUE(s->AddMessageOnce(b, s->Prepare(Mail("three", ""))));
        EXPECT_EQ(s->MessageCount(a), 2u);
        EXPECT_EQ(s->MessageCount(b), 2u);
        s->Close();
    }
    EXPECT_EQ(ValidationErrors(p), 0u);
    // A second name for the store's file, elsewhere: still the same file afterwards
    // unless the store was replaced.
    const fs::path link = dir.parent_path() / "once-link.pst";
    fs::remove(link);
    fs::create_hard_link(p, link);
    {
        // Run again, appending in place: what is there is recognised.
        auto s = Store::OpenOrCreate(p, "ignored");
        FolderId a = *s->FindFolder(s->IpmSubtree(), "A");
        EXPECT_FALSE(s->AddMessageOnce(a, s->Prepare(Mail("one", "<1@x>", {"Later"}))));
        EXPECT_FALSE(s->AddMessageOnce(a, s->Prepare(Mail("three", ""))));
        EXPECT_TRUE(s->AddMessageOnce(a, s->Prepare(Mail("four", "<4@x>"))));
        EXPECT_FALSE(s->AddMessageOnce(a, s->Prepare(Mail("four again", "<4@x>", {}, "four"))));
        EXPECT_TRUE(s->AddMessageOnce(a, s->Prepare(Mail("four, another", "<4@x>"))));
        // No copy of the store is made to add to it.
        EXPECT_EQ(FilesBeside(p), std::vector<std::string>{});
        s->Close();
    }
    EXPECT_TRUE(fs::equivalent(p, link)) << "the store was replaced by a copy";
    fs::remove(link);
    EXPECT_EQ(ValidationErrors(p), 0u);
    auto messages = Messages(p);
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages["one"], (std::vector<std::string>{"Inbox", "Starred", "Later"}));
    EXPECT_EQ(messages.count("one revised"), 1u);
    EXPECT_EQ(messages.count("four, another"), 1u);
    EXPECT_EQ(messages["two"], (std::vector<std::string>{"Work", "Home"}));
    EXPECT_EQ(messages.count("three"), 1u);
    EXPECT_EQ(messages.count("four"), 1u);
}

TEST(PstAppend, ManyAppendsGrowTheTreesCopyOnWriteAndKnowEveryMessage) {
    // Twelve appends of 40 messages: the NBT and BBT grow from one page to three
    // levels only through commits that copy the pages on the paths to their changes.
    // One run adds without asking what is there (its identity index goes stale); the
    // next still knows those messages, from the messages themselves.
    fs::path dir = TempDir() / "cow";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path p = dir / "store.pst";
    {
        auto s = Store::OpenOrCreate(p, "Store");
        s->AddFolder(s->IpmSubtree(), "A");
        s->Close();
    }
    size_t added = 0;
    for (int round = 0; round < 12; ++round) {
        auto s = Store::OpenOrCreate(p, "ignored");
        FolderId a = *s->FindFolder(s->IpmSubtree(), "A");
        for (int i = 0; i < 40; ++i) {
            const std::string id = std::to_string(round) + "-" + std::to_string(i);
            if (round == 5) s->AddMessage(a, Mail("m" + id, "<" + id + "@x>"));
            else EXPECT_TRUE(s->AddMessageOnce(a, s->Prepare(Mail("m" + id, "<" + id + "@x>"))));
            ++added;
        }
        // Messages of earlier rounds are known, also those of the round that did not ask
        // (which, asking nothing, leaves the index behind its messages).
        if (round > 0 && round != 5) {
            const std::string id = std::to_string(round - 1) + "-7";
            EXPECT_FALSE(s->AddMessageOnce(a, s->Prepare(Mail("again", "<" + id + "@x>", {}, "m" + id))));
        }
        if (round == 6) {
            // Read from the messages, those of the round that did not ask are known also by
            // their header fields, as those of another writer are: with another search key
            // but the same Message-ID, subject and text, a message is taken for one of them;
            // with another text it is another message.
            EXPECT_FALSE(s->AddMessageOnce(a, s->Prepare(Mail("m5-3", "<5-3@x>", {}, "another writer's key"))));
            Message other = Mail("m5-4", "<5-4@x>", {}, "another writer's key 2");
            other.props.SetString(PR_BODY, "another text");
            EXPECT_TRUE(s->AddMessageOnce(a, s->Prepare(other)));
            ++added;
        }
        EXPECT_EQ(s->MessageCount(a), added);
        s->Close();
        ASSERT_EQ(ValidationErrors(p), 0u) << "round " << round;
    }
    auto messages = Messages(p, {"m5-4"});
    EXPECT_EQ(messages.size(), added - 1);  // (two messages of one subject)
    EXPECT_EQ(messages.count("again"), 0u);
    // The trees did grow: the NBT's root is two levels above its leaves.
    std::ifstream in(p, std::ios::binary);
    std::string file(std::istreambuf_iterator<char>(in), {});
    const Header h = Header::Parse(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    ASSERT_LT(h.root.BREFNBT.ib + 512, file.size());
    EXPECT_GE(uint8_t(file[h.root.BREFNBT.ib + 491]), 2);
}

// The identity index holds every message only while it is the last block of the file.
// A close writes it when a commit left it behind, also when the close has nothing else
// to write (here the last message came with the commit of every 2000); a store closed
// with nothing added is left as it is.
TEST(PstAppend, TheIdentityIndexIsLastAfterEveryClose) {
    fs::path p = TempDir() / "index-last.pst";
    fs::remove(p);
    {
        auto s = Store::OpenOrCreate(p, "Store");
        s->AddFolder(s->IpmSubtree(), "A");
        s->Close();
    }
    auto indexIsLast = [&] {
        auto db = NodeDatabase::Open(p);
        std::optional<NodeRef> index = db->FindNode(MakeNid(NID_TYPE_INTERNAL, 0x3F0));
        return index && (index->bidData & ~Bid(3)) + 4 == db->CommittedHeader().bidNextB;
    };
    auto s = Store::OpenOrCreate(p, "ignored");
    FolderId a = *s->FindFolder(s->IpmSubtree(), "A");
    for (int i = 0; i < 2000; ++i) ASSERT_TRUE(s->AddMessageOnce(a, s->Prepare(Mail("m" + std::to_string(i), ""))));
    s->Close();
    EXPECT_TRUE(indexIsLast());
    const auto written = fs::last_write_time(p);
    const auto size = fs::file_size(p);
    s = Store::OpenOrCreate(p, "ignored");
    EXPECT_FALSE(s->AddMessageOnce(a, s->Prepare(Mail("m1999", ""))));
    s->Close();
    EXPECT_TRUE(indexIsLast());
    EXPECT_EQ(fs::file_size(p), size);
    EXPECT_EQ(fs::last_write_time(p), written);
}

// The blocks of a folder's contents table: heap and row matrix data blocks.
static std::set<Bid> ContentsBlocks(const fs::path& p, FolderId folder) {
    auto db = NodeDatabase::Open(p);
    std::optional<NodeRef> ref = db->FindNode(MakeNid(NID_TYPE_CONTENTS_TABLE, NidIndexOf(folder)));
    std::set<Bid> out;
    if (!ref) return out;
    for (Bid b : db->DataTreeBids(ref->bidData)) out.insert(b);
    for (const SLENTRY& e : db->ReadSubnodeTree(ref->bidSub))
        for (Bid b : db->DataTreeBids(e.bidData)) out.insert(b);
    return out;
}

TEST(PstAppend, ContentsTablesGrowInPlaceAndFollowMergedMessages) {
    // A folder of 2000 messages gets more in three runs, each also bringing a copy of
    // a stored message with other categories. Each run rewrites only the blocks at the
    // end of the folder's contents table; the merged message's size and its row follow
    // its new categories.
    fs::path dir = TempDir() / "grow";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path p = dir / "store.pst";
    FolderId a = 0;
    {
        auto s = Store::OpenOrCreate(p, "Store");
        a = s->AddFolder(s->IpmSubtree(), "A");
        for (int i = 0; i < 2000; ++i) s->AddMessage(a, Mail("m" + std::to_string(i), "<" + std::to_string(i) + "@x>", {"Inbox"}));
        s->Close();
    }
    const std::set<Bid> before = ContentsBlocks(p, a);
    ASSERT_GE(before.size(), 40u);
    size_t count = 2000;
    for (int round = 0; round < 3; ++round) {
        {
            auto s = Store::OpenOrCreate(p, "ignored");
            for (int i = 0; i < 150; ++i, ++count) {
                const std::string id = "r" + std::to_string(round) + "-" + std::to_string(i);
                EXPECT_TRUE(s->AddMessageOnce(a, s->Prepare(Mail(id, "<" + id + "@x>", {"Inbox"}))));
            }
            EXPECT_FALSE(s->AddMessageOnce(a, s->Prepare(Mail("copy", "<" + std::to_string(round * 100) + "@x>",
                                                              {"Round " + std::to_string(round)},
                                                              "m" + std::to_string(round * 100)))));
            EXPECT_EQ(s->MessageCount(a), count);
            s->Close();
        }
        ASSERT_EQ(ValidationErrors(p), 0u) << "round " << round;
        if (round == 0) {
            // Almost every block of the table is the one the store had.
            std::set<Bid> after = ContentsBlocks(p, a);
            size_t kept = 0;
            for (Bid b : before) kept += after.count(b);
            EXPECT_GE(kept + 8, before.size()) << kept << " of " << before.size() << " kept";
        }
    }
    auto messages = Messages(p);
    EXPECT_EQ(messages.size(), count);
    EXPECT_EQ(messages["m0"], (std::vector<std::string>{"Inbox", "Round 0"}));
    EXPECT_EQ(messages["m200"], (std::vector<std::string>{"Inbox", "Round 2"}));
}

TEST(PstAppend, MessagesMovedBetweenLargeFoldersOfAnOpenedStore) {
    // Messages moved both ways between two folders of 700 messages in a store opened
    // again: each leaves one contents table and enters the other between its rows (older
    // NIDs), with the tables changed in place; the store validates, the counts follow.
    fs::path dir = TempDir() / "move";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path p = dir / "store.pst";
    FolderId a = 0, b = 0;
    auto id = [](char folder, int i) { return std::string(1, folder) + std::to_string(i); };
    {
        auto s = Store::OpenOrCreate(p, "Store");
        a = s->AddFolder(s->IpmSubtree(), "A");
        b = s->AddFolder(s->IpmSubtree(), "B");
        for (int i = 0; i < 700; ++i) {
            s->AddMessage(a, Mail(id('a', i), "<" + id('a', i) + "@x>"));
            s->AddMessage(b, Mail(id('b', i), "<" + id('b', i) + "@x>"));
        }
        s->Close();
    }
    for (int round = 0; round < 2; ++round) {
        auto s = Store::OpenOrCreate(p, "ignored");
        for (int i = round; i < 700; i += 9) {
            for (auto [from, to, name] : {std::tuple{a, b, id('a', i)}, std::tuple{b, a, id('b', i)}}) {
                auto held = s->FindHeld(Store::IdentityOf(*s->Prepare(Mail(name, "<" + name + "@x>"))));
                ASSERT_TRUE(held) << name;
                EXPECT_EQ(held->folder, from) << name;
                s->MoveMessage(held->nid, to);
            }
        }
        EXPECT_EQ(s->MessageCount(a), 700u);
        EXPECT_EQ(s->MessageCount(b), 700u);
        s->Close();
        ASSERT_EQ(ValidationErrors(p), 0u) << "round " << round;
    }
    auto s = Store::OpenOrCreate(p, "ignored");
    auto held = s->FindHeld(Store::IdentityOf(*s->Prepare(Mail("a9", "<a9@x>"))));
    ASSERT_TRUE(held);
    EXPECT_EQ(held->folder, b);
    s->Close();
    EXPECT_EQ(Messages(p).size(), 1400u);
}

TEST(PstAppend, EveryCommitLeavesAWholeStoreAndNothingOfTheLastIsOverwritten) {
    fs::path dir = TempDir() / "commits";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path p = dir / "store.pst";
    fs::copy_file(fs::path(BV_CORPUS) / "pst/pstsdk/sample1.pst", p);
    fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write);
    auto db = NodeDatabase::Open(p);
    db->SetDurable(true);
    // A second writer is refused while the store is open.
    EXPECT_THROW(NodeDatabase::Open(p), StoreInUseError);
    try {
        Store::OpenOrCreate(p, "x");
        ADD_FAILURE() << "a store being written was opened a second time";
    } catch (const StoreInUseError& e) {
        EXPECT_EQ(e.path(), p);
    }
    for (int round = 0; round < 3; ++round) {
        std::string committed;
        {
            std::ifstream in(p, std::ios::binary);
            committed.assign(std::istreambuf_iterator<char>(in), {});
        }
        const Header old = Header::Parse(reinterpret_cast<const uint8_t*>(committed.data()), committed.size());
        // Rewrite the data of every node (their old blocks are released): none of the
        // new blocks may land on anything the last commit references.
        std::vector<std::pair<Nid, NodeRef>> nodes;
        db->ForEachNode([&](Nid nid, const NodeRef& ref) { nodes.push_back({nid, ref}); });
        for (const auto& [nid, ref] : nodes) {
            if (!ref.bidData) continue;
            std::vector<Bytes> blocks = db->ReadDataTree(ref.bidData);
            db->SetNode(nid, {db->WriteDataTree(blocks), ref.bidSub, ref.nidParent});
        }
        // Before the commit the file still is the committed store, byte for byte, up
        // to its end (new blocks go into free space the old trees do not use, or past it).
        {
            fs::path snapshot = dir / "before-commit.pst";
            std::ifstream in(p, std::ios::binary);
            std::string now(std::istreambuf_iterator<char>(in), {});
            ASSERT_GE(now.size(), old.root.ibFileEof);
            now.resize(old.root.ibFileEof);
            // Whatever differs lies in space the committed store does not use.
            std::ofstream(snapshot, std::ios::binary) << now;
            EXPECT_EQ(ValidationErrors(snapshot), 0u) << "round " << round;
            fs::remove(snapshot);
        }
        db->Commit();
        EXPECT_EQ(db->header().root.fAMapValid, FAMAP_VALID);
    }
    db.reset();
    EXPECT_EQ(ValidationErrors(p), 0u);

    // A run stopped mid-way leaves bytes past the committed end: they are cut off.
    const auto size = fs::file_size(p);
    {
        std::ofstream out(p, std::ios::binary | std::ios::app);
        out << std::string(100000, 'z');
    }
    {
        bv::pstcheck::Result r = bv::pstcheck::ValidatePstFile(p.string());
        EXPECT_EQ(r.summary.errors, 0u);
    }
    NodeDatabase::Open(p);
    EXPECT_EQ(fs::file_size(p), size);
}

TEST(PstAppend, TemporaryFilesOfKilledRunsAreRemoved) {
    fs::path dir = TempDir() / "stale";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // A process that has ended, and one that still runs.
#ifdef _WIN32
    // Far above the ids Windows hands out.
    const unsigned long gone = 999999996;
    const unsigned long live = bv::mailstore::base::CurrentProcessId();
#else
    pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    int status = 0;
    ::waitpid(gone, &status, 0);
    const pid_t live = ::getppid();  // our parent
#endif
    const std::string stale = ".store.pst.partial-" + std::to_string(gone);
    const std::string staleNumbered = stale + "-2";
    const std::string running = ".store.pst.partial-" + std::to_string(live);
    const std::string other = ".other.pst.partial-" + std::to_string(gone);
    const std::string notOurs = ".other.pst.partial-notes";
    for (const std::string& name : {stale, staleNumbered, running, other, notOurs}) std::ofstream(dir / name) << "partial";
    auto s = Store::OpenOrCreate(dir / "store.pst", "Store");
    s->Close();
    EXPECT_FALSE(fs::exists(dir / stale));
    EXPECT_FALSE(fs::exists(dir / staleNumbered));
    EXPECT_TRUE(fs::exists(dir / running));
    // Another store's, left by a run that ended (--single-pst names the store by time).
    EXPECT_FALSE(fs::exists(dir / other));
    EXPECT_TRUE(fs::exists(dir / notOurs));
}
