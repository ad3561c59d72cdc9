// Named properties in a store: the name-to-ID map (ids, string stream, hash buckets),
// names given ids from several threads at once, and the ids of a store we reopen or of
// an Outlook-made store we append to.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

#include "PstValidate.h"
#include "mailstore/pst/messaging/Store.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/pst/PstStoreSeries.h"
#include "mailstore/pst/messaging/NameToIdMap.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/base/Crc32.h"
#include "mailstore/pst/ndb/NodeDatabase.h"
#include "tests/TempFolder.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::pst;
using bv::mailstore::base::ComputeCrc;
using namespace bv::mailstore::mapi;

namespace {

const PropertyName kKeywords{PS_PUBLIC_STRINGS, std::string("Keywords")};

const Bytes* Value(const std::vector<PcProp>& props, uint32_t tag) {
    for (const auto& p : props)
        if (TagOf(p) == tag) return &p.value;
    return nullptr;
}

std::vector<PcProp> ReadPc(NodeDatabase& db, Nid nid) {
    std::optional<NodeRef> ref = db.FindNode(nid);
    if (!ref) return {};
    HeapReader heap(db.ReadDataTree(ref->bidData));
    const Bid bidSub = ref->bidSub;
    return ReadPropertyContext(heap, [&db, bidSub](Nid nid) {
        Bytes all;
        for (const SLENTRY& e : db.ReadSubnodeTree(bidSub))
            if (e.nid == nid)
                for (auto& b : db.ReadDataTree(e.bidData)) all.insert(all.end(), b.begin(), b.end());
        return all;  // (Outlook keeps the map's streams in subnodes)
    });
}

// The stored value of `name` in every message of the store, by subject.
std::map<std::string, Bytes> NamedValues(const fs::path& path, const PropertyName& name, uint16_t type) {
    auto db = NodeDatabase::Open(path);
    NameToIdMap map = NameToIdMap::FromProperties(ReadPc(*db, NID_NAME_TO_ID_MAP));
    const uint32_t tag = uint32_t(map.IdOf(name)) << 16 | type;
    std::map<std::string, Bytes> out;
    std::vector<Nid> messages;
    db->ForEachNode([&messages](Nid nid, const NodeRef&) {
        if (NidTypeOf(nid) == NID_TYPE_NORMAL_MESSAGE) messages.push_back(nid);
    });
    for (Nid nid : messages) {
        auto props = ReadPc(*db, nid);
        const Bytes* subject = Value(props, PR_SUBJECT);
        const Bytes* v = Value(props, tag);
        if (subject && v) out[FromUtf16(*subject)] = *v;
    }
    return out;
}

}  // namespace

TEST(PstNameToIdMap, StringAndNumericNamesAreStoredWithTheirHashBuckets) {
    NameToIdMap map = NameToIdMap::ForNewStore();
    EXPECT_EQ(map.IdOf(kKeywords), 0x8000);  // a new store's first entry, as in Outlook's
    const PropertyName lid{PSETID_Common, uint32_t(0x8503)};
    const PropertyName custom{PSETID_Common, std::string("x-custom")};
    const uint16_t lidId = map.IdOf(lid);
    const uint16_t customId = map.IdOf(custom);
    EXPECT_EQ(customId, lidId + 1);
    EXPECT_EQ(map.IdOf(lid), lidId);  // asked again: same id
    auto props = map.Properties();
    const Bytes* entries = Value(props, 0x00030102);
    const Bytes* strings = Value(props, 0x00040102);
    ASSERT_TRUE(entries && strings);
    // Positional entries: record i has wPropIdx i.
    for (size_t i = 0; i * 8 < entries->size(); ++i) EXPECT_EQ(Get16(&(*entries)[i * 8 + 6]), i);
    // The string entry: offset into the string stream, wGuid 3 (PSETID_Common), N = 1.
    const uint8_t* rec = &(*entries)[(customId - 0x8000) * 8];
    const uint32_t offset = Get32(rec);
    EXPECT_EQ(Get16(rec + 4), (3 << 1) | 1);
    ASSERT_LE(offset + 4 + 16, strings->size());
    EXPECT_EQ(Get32(&(*strings)[offset]), 16u);
    EXPECT_EQ(FromUtf16(Bytes(strings->begin() + offset + 4, strings->begin() + offset + 20)), "x-custom");
    EXPECT_EQ(strings->size() % 4, 0u);
    // Its bucket record carries the CRC of the name instead of the offset.
    const Bytes utf16 = Utf16("x-custom");
    const uint32_t crc = ComputeCrc(utf16.data(), utf16.size());
    const Bytes* bucket = Value(props, uint32_t(0x1000 + (crc ^ ((3 << 1) | 1)) % 251) << 16 | 0x0102);
    ASSERT_TRUE(bucket);
    bool found = false;
    for (size_t i = 0; i + 8 <= bucket->size(); i += 8)
        found |= Get32(&(*bucket)[i]) == crc && Get16(&(*bucket)[i + 6]) == customId - 0x8000;
    EXPECT_TRUE(found);
    // Read back: the same ids, and a new name goes after the last one.
    NameToIdMap again = NameToIdMap::FromProperties(props);
    EXPECT_FALSE(again.Changed());
    EXPECT_EQ(again.IdOf(custom), customId);
    EXPECT_EQ(again.IdOf(kKeywords), 0x8000);
    EXPECT_EQ(again.IdOf(PropertyName{PS_PUBLIC_STRINGS, std::string("other")}), customId + 1);
    EXPECT_TRUE(again.Changed());
}

TEST(PstNameToIdMap, NamesAskedForOnManyThreadsGetOneIdEach) {
    NameToIdMap map = NameToIdMap::ForNewStore();
    std::vector<std::vector<uint16_t>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                seen[t].push_back(map.IdOf(PropertyName{PS_PUBLIC_STRINGS, "name " + std::to_string(i)}));
        });
    for (auto& th : threads) th.join();
    for (int t = 1; t < 4; ++t) EXPECT_EQ(seen[t], seen[0]);
    std::set<uint16_t> ids(seen[0].begin(), seen[0].end());
    EXPECT_EQ(ids.size(), 200u);
    EXPECT_EQ(*ids.rbegin() - *ids.begin(), 199);  // dense: no id lost to a race
}

TEST(PstStore, NamedPropertiesSurviveReopeningAndKeepOutlooksIds) {
    const bv::testing::TempDir temp;
    const fs::path dir = temp.path();
    auto mail = [](const std::string& subject, std::vector<std::string> keywords) {
        Message m;
        m.props.SetString(PR_SUBJECT, subject);
        m.props.SetNamed(kKeywords, PT_MV_UNICODE, std::move(keywords));
        m.props.SetNamed(PropertyName{PSETID_Common, uint32_t(0x8503)}, PT_BOOLEAN, true);
        bv::mailstore::mapi::CompleteMessage(m);
        return m;
    };
    auto expectKeywords = [](const Bytes& v, const std::vector<std::string>& want) {
        ASSERT_GE(v.size(), 4u);
        ASSERT_EQ(Get32(v.data()), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            size_t start = Get32(&v[4 + 4 * i]);
            size_t end = i + 1 < want.size() ? Get32(&v[8 + 4 * i]) : v.size();
            EXPECT_EQ(FromUtf16(Bytes(v.begin() + start, v.begin() + end)), want[i]);
        }
    };
    // A new store, messages prepared on worker threads, then reopened and appended to.
    fs::path ours = dir / "ours.pst";
    {
        auto store = Store::OpenOrCreate(ours, "Names");
        auto folder = store->AddFolder(store->IpmSubtree(), "Inbox");
        std::vector<PreparedMessagePtr> prepared(3);
        std::vector<std::thread> threads;
        for (int i = 0; i < 3; ++i)
            threads.emplace_back([&, i] { prepared[i] = store->Prepare(mail("m" + std::to_string(i), {"Red", "n" + std::to_string(i)})); });
        for (auto& t : threads) t.join();
        for (auto& p : prepared) store->AddMessage(folder, std::move(p));
        store->Close();
    }
    {
        auto store = Store::OpenOrCreate(ours, "Names");
        store->AddMessage(*store->FindFolder(store->IpmSubtree(), "Inbox"), mail("later", {"Blue"}));
        store->Close();
    }
    auto values = NamedValues(ours, kKeywords, PT_MV_UNICODE);
    ASSERT_EQ(values.size(), 4u);
    expectKeywords(values["m1"], {"Red", "n1"});
    expectKeywords(values["later"], {"Blue"});
    EXPECT_EQ(NamedValues(ours, PropertyName{PSETID_Common, uint32_t(0x8503)}, PT_BOOLEAN).size(), 4u);
    // An Outlook-made store: its own id for Keywords (0x8012) is the one used.
    fs::path outlook = dir / "sample1.pst";
    fs::copy_file(fs::path(BV_CORPUS) / "pst/pstsdk/sample1.pst", outlook, fs::copy_options::overwrite_existing);
    {
        auto store = Store::OpenOrCreate(outlook, "ignored");
        store->AddMessage(store->AddFolder(store->IpmSubtree(), "Labels"), mail("labelled", {"Green"}));
        store->Close();
    }
    auto db = NodeDatabase::Open(outlook);
    auto map = NameToIdMap::FromProperties(ReadPc(*db, NID_NAME_TO_ID_MAP));
    EXPECT_EQ(map.IdOf(kKeywords), 0x8012);
    db.reset();
    expectKeywords(NamedValues(outlook, kKeywords, PT_MV_UNICODE)["labelled"], {"Green"});
}

// A prepared message keeps its named properties by name: added to a store whose map
// numbers those names otherwise (or to a store of another crypt method), each value
// stays under its own name.
TEST(PstStore, AMessagePreparedForOneStoreKeepsItsNamesInAnother) {
    const bv::testing::TempDir temp;
    const fs::path dir = temp.path();
    const PropertyName flagText{PSETID_Common, uint32_t(0x8530)};
    const PropertyName custom{PS_PUBLIC_STRINGS, std::string("x-moved")};
    auto mail = [&](const std::string& subject) {
        Message m;
        m.props.SetString(PR_SUBJECT, subject);
        m.props.SetNamed(kKeywords, PT_MV_UNICODE, std::vector<std::string>{"Red", "Blue"});
        m.props.SetNamed(flagText, PT_UNICODE, std::string("Follow up"));
        m.props.SetNamed(custom, PT_LONG, int32_t(7));
        // Enough small properties that the PC's BTH has more than one leaf.
        for (uint16_t i = 0; i < 500; ++i) m.props.SetInt(MakeTag(uint16_t(0x6000 + i), PT_LONG), i);
        bv::mailstore::mapi::CompleteMessage(m);
        return m;
    };
    const fs::path first = dir / "first.pst", second = dir / "second.pst";
    fs::remove(first);
    fs::remove(second);
    auto a = Store::OpenOrCreate(first, "first");
    auto b = Store::OpenOrCreate(second, "second");
    auto inbox = b->AddFolder(b->IpmSubtree(), "Inbox");
    // The second store meets other names first: its ids for ours differ.
    Message other;
    other.props.SetString(PR_SUBJECT, "other");
    other.props.SetNamed(PropertyName{PS_PUBLIC_STRINGS, std::string("x-first")}, PT_LONG, int32_t(1));
    other.props.SetNamed(PropertyName{PSETID_Common, uint32_t(0x8501)}, PT_LONG, int32_t(2));
    bv::mailstore::mapi::CompleteMessage(other);
    b->AddMessage(inbox, other);
    b->AddMessage(inbox, a->Prepare(mail("moved")));
    b->Close();
    a->Close();
    EXPECT_EQ(bv::pstcheck::ValidatePstFile(second.string()).summary.errors, 0u);
    EXPECT_EQ(FromUtf16(NamedValues(second, flagText, PT_UNICODE)["moved"]), "Follow up");
    EXPECT_EQ(Get32(NamedValues(second, custom, PT_LONG)["moved"].data()), 7u);
    EXPECT_EQ(NamedValues(second, kKeywords, PT_MV_UNICODE).count("moved"), 1u);
}

// A series with a small limit: every part holds its messages' named properties under
// names its own map has, and the folders below the top one are made in each part.
TEST(PstStoreSeries, EveryPartNamesTheNamedPropertiesOfItsMessages) {
    const bv::testing::TempDir temp;
    const fs::path dir = temp.path();
    const PropertyName flagText{PSETID_Common, uint32_t(0x8530)};
    std::vector<std::string> warnings;
    {
        PstStoreSeries series((dir / "split").string(), "split", 300 * 1024);
        series.AddFolder("anna");
        // Prepared ahead, all at once, as the import workers do: most land in parts
        // opened after they were prepared.
        std::vector<PreparedMessagePtr> prepared;
        for (int i = 0; i < 40; ++i) {
            Message m;
            m.props.SetString(PR_SUBJECT, "m" + std::to_string(i));
            m.props.SetString(PR_BODY, std::string(20000, char('a' + i % 26)));
            m.props.SetNamed(flagText, PT_UNICODE, "text " + std::to_string(i));
            m.props.SetNamed(PropertyName{PS_PUBLIC_STRINGS, "x-only-" + std::to_string(i)}, PT_LONG, int32_t(i));
            bv::mailstore::mapi::CompleteMessage(m);
            prepared.push_back(series.Prepare(m));
        }
        for (int i = 0; i < 40; ++i) {
            std::string w = series.Add({"anna", "Work", i % 2 ? "Odd" : "Even"}, std::move(prepared[size_t(i)]));
            if (!w.empty()) warnings.push_back(w);
        }
        series.Close();
        EXPECT_TRUE(series.TakeFailures().empty());
        EXPECT_GT(series.parts().size(), 2u);
    }
    EXPECT_TRUE(warnings.empty());
    std::set<std::string> seen;
    for (int part = 1; fs::exists(dir / (part == 1 ? std::string("split.pst") : "split (" + std::to_string(part) + ").pst"));
         ++part) {
        const fs::path file = dir / (part == 1 ? std::string("split.pst") : "split (" + std::to_string(part) + ").pst");
        EXPECT_LE(fs::file_size(file), 300u * 1024) << file;
        EXPECT_EQ(bv::pstcheck::ValidatePstFile(file.string()).summary.errors, 0u) << file;
        for (const auto& [subject, value] : NamedValues(file, flagText, PT_UNICODE)) {
            EXPECT_EQ(FromUtf16(value), "text " + subject.substr(1)) << file;
            const int i = std::stoi(subject.substr(1));
            auto own = NamedValues(file, PropertyName{PS_PUBLIC_STRINGS, "x-only-" + std::to_string(i)}, PT_LONG);
            ASSERT_EQ(own.count(subject), 1u) << file << " " << subject;
            EXPECT_EQ(Get32(own[subject].data()), uint32_t(i));
            seen.insert(subject);
        }
        auto store = Store::OpenOrCreate(file, "split");
        auto anna = store->FindFolder(store->IpmSubtree(), "anna");
        ASSERT_TRUE(anna);
        auto work = store->FindFolder(*anna, "Work");
        ASSERT_TRUE(work);
        EXPECT_GT(store->MessageCount(store->FindFolder(*work, "Odd").value_or(0)) +
                      store->MessageCount(store->FindFolder(*work, "Even").value_or(0)),
                  0u);
        store->Close();
    }
    EXPECT_EQ(seen.size(), 40u);
}
