// A store read back (ReadBackStore) after it was altered behind its writer's back: what
// each alteration makes it say, with and without the writer's record of the store.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/pst/StoreReadBack.h"
#include "mailstore/pst/messaging/Store.h"
#include "mailstore/pst/ndb/NodeDatabase.h"
#include "tests/TempFolder.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::pst;
using namespace bv::mailstore::mapi;

namespace {

using Lines = std::vector<std::string>;

// The items' nodes whose parent is `folder`, in NID order.
std::vector<std::pair<Nid, NodeRef>> ItemsOf(NodeDatabase& db, Nid folder) {
    std::vector<std::pair<Nid, NodeRef>> out;
    db.ForEachNode([&](Nid nid, const NodeRef& ref) {
        if (NidTypeOf(nid) == NID_TYPE_NORMAL_MESSAGE && ref.nidParent == folder) out.push_back({nid, ref});
    });
    return out;
}

// A copy of an item's data in blocks of its own.
Bid CopyOfData(NodeDatabase& db, Bid data) { return db.WriteDataTree(db.ReadDataTree(data)); }

// Replaces the first occurrence of `from` in the file by `to` (as long).
void Overwrite(const fs::path& path, const std::string& from, const std::string& to) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), {});
    const size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    f.seekp(std::streamoff(at));
    f.write(to.data(), std::streamsize(to.size()));
}

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

}  // namespace

TEST(PstReadBack, AlteredStoresSayWhatDiffers) {
    const bv::testing::TempDir dir;
    const fs::path original = dir.path() / "original.pst";
    Nid inbox = 0, work = 0;
    WrittenStore written;
    {
        StoreOptions options;
        options.cryptMethod = NDB_CRYPT_NONE;  // the bodies can be found in the file
        auto store = Store::OpenOrCreate(original, "Store", options);
        inbox = store->AddFolder(store->IpmSubtree(), "Inbox");
        work = store->AddFolder(inbox, "Work");
        for (int i = 0; i < 6; ++i) {
            Message m;
            m.props.SetString(PR_SUBJECT, "item " + std::to_string(i));
            m.props.SetString(PR_BODY, "body text number " + std::to_string(i));
            m.props.SetString(PR_INTERNET_MESSAGE_ID, std::to_string(i) + "@example.org");
            CompleteMessage(m);
            store->AddMessage(i < 4 ? inbox : work, m);
        }
        store->Close();
        written = store->TakeWritten();
    }
    // Each alteration of the store: the first Inbox item is `first`, the second `second`.
    using Alter = std::function<void(NodeDatabase& db, Nid first, const NodeRef& ref, Nid second, const NodeRef& ref2)>;
    struct Case {
        const char* what;
        Alter alter;
        Lines withRecord, alone;
    } cases[] = {
        {"untouched", [](NodeDatabase&, Nid, const NodeRef&, Nid, const NodeRef&) {}, {}, {}},
        {"an item's node removed", [](NodeDatabase& db, Nid first, const NodeRef&, Nid, const NodeRef&) { db.RemoveNode(first); },
         {"Inbox: 1 item listed in its contents table is missing", "1 item of those written cannot be found"},
         {"Inbox: 1 item listed in its contents table is missing"}},
        {"an item's node moved to another folder",
         [&](NodeDatabase& db, Nid first, const NodeRef& ref, Nid, const NodeRef&) {
             db.ReplaceNodeKeepingBlocks(first, {ref.bidData, ref.bidSub, work});
         },
         {"Inbox: 1 item listed in its contents table belong to another folder"},
         {"Inbox: 1 item listed in its contents table belong to another folder"}},
        {"a node no table lists",
         [&](NodeDatabase& db, Nid, const NodeRef& ref, Nid, const NodeRef&) {
             db.SetNode(db.AllocateNid(NID_TYPE_NORMAL_MESSAGE), {CopyOfData(db, ref.bidData), 0, inbox});
             db.SetNode(db.AllocateNid(NID_TYPE_NORMAL_MESSAGE), {CopyOfData(db, ref.bidData), 0, inbox});
         },
         {"Inbox: 2 items not listed in its contents table"}, {"Inbox: 2 items not listed in its contents table"}},
        {"an item's data no item",
         [](NodeDatabase& db, Nid first, const NodeRef& ref, Nid, const NodeRef&) {
             const std::string junk(200, 'x');
             db.ReplaceNodeKeepingBlocks(first, {db.WriteBlock(reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), false),
                                                 ref.bidSub, ref.nidParent});
         },
         {"1 item cannot be read", "1 item of those written cannot be found"}, {"1 item cannot be read"}},
        {"an item's data that of another",
         [](NodeDatabase& db, Nid first, const NodeRef& ref, Nid, const NodeRef& ref2) {
             db.ReplaceNodeKeepingBlocks(first, {CopyOfData(db, ref2.bidData), ref.bidSub, ref.nidParent});
         },
         {"1 item of those written read back as other items"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path altered = dir.path() / "altered.pst";
        // Removed and copied anew: MinGW's copy_file refuses an existing target even
        // when told to overwrite it.
        fs::remove(altered);
        fs::copy_file(original, altered);
        {
            auto db = NodeDatabase::Open(altered);
            auto items = ItemsOf(*db, inbox);
            ASSERT_EQ(items.size(), 4u);
            c.alter(*db, items[0].first, items[0].second, items[1].first, items[1].second);
            db->Commit();
        }
        written.path = altered.string();
        EXPECT_EQ(ReadBackStore(altered.string(), &written).differences, c.withRecord);
        EXPECT_EQ(ReadBackStore(altered.string()).differences, c.alone);
    }
    // A block of an item damaged on the disk: that item cannot be read, the rest is read.
    const fs::path damaged = dir.path() / "damaged.pst";
    fs::copy_file(original, damaged);
    Overwrite(damaged, Utf16("body text number 2"), Utf16("BODY"));
    EXPECT_EQ(ReadBackStore(damaged.string(), &written).differences,
              (Lines{"1 item cannot be read", "1 item of those written cannot be found"}));
}
