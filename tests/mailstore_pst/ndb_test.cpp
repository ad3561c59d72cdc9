// Node database layer: CRC, HEADER, map page placement, B-tree splits, the two ways of
// keeping the B-trees, data trees and subnode trees, checked by writing them and reading
// them back (and against Outlook files).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>

#include "mailstore/pst/ndb/AllocationMap.h"
#include "mailstore/pst/ndb/BTreePage.h"
#include "mailstore/base/Crc32.h"
#include "mailstore/pst/ndb/CopyOnWriteIndex.h"
#include "mailstore/pst/ndb/Header.h"
#include "mailstore/pst/ndb/NodeDatabase.h"
#include "mailstore/pst/ndb/PageTrailer.h"
#include "mailstore/pst/ndb/Permute.h"
#include "mailstore/pst/ndb/SequentialIndex.h"
#include "tests/TempFolder.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::pst;
using bv::mailstore::base::ComputeCrc;

namespace {

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

fs::path TempFile(const std::string& name) {
    static const bv::testing::TempDir dir;
    return dir.path() / name;
}

Bytes Random(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = uint8_t(rng());
    return b;
}

const fs::path kOutlookUnicode = fs::path(BV_CORPUS) / "pst/pstsdk/sample1.pst";

}  // namespace

TEST(PstCrc, KnownVectorAndOutlookHeader) {
    const char* digits = "123456789";
    // Seed 0, no final inversion: the raw reflected CRC-32 register.
    EXPECT_EQ(ComputeCrc(reinterpret_cast<const uint8_t*>(digits), 9), 0x2DFD2D88u);
    // Whole runs must agree with the byte loop on every length and alignment.
    Bytes data = Random(100, 7);
    for (size_t off = 0; off < 9; ++off)
        for (size_t n = 0; n + off <= data.size(); n += 13) {
            uint32_t bytewise = 0;
            for (size_t i = 0; i < n; ++i) bytewise = ComputeCrc(&data[off + i], 1, bytewise);
            EXPECT_EQ(ComputeCrc(&data[off], n), bytewise);
        }
    // The CRCs Outlook wrote into a real header and into a B-tree page.
    Bytes f = ReadFile(kOutlookUnicode);
    ASSERT_GT(f.size(), 0x10000u);
    EXPECT_EQ(Get32(&f[4]), ComputeCrc(&f[8], 471));
    EXPECT_EQ(Get32(&f[524]), ComputeCrc(&f[8], 516));
    Header h = Header::Parse(f.data(), f.size());
    Ib nbt = h.root.BREFNBT.ib;
    EXPECT_EQ(Get32(&f[nbt + 500]), ComputeCrc(&f[nbt], 496));
    EXPECT_NO_THROW(CheckPageTrailer(&f[nbt], ptypeNBT, nbt));
}

TEST(PstPermute, VectorisedAgreesWithTheTableAtEveryLengthAndOffset) {
    // [MS-PST] 5.1: the encoding table starts 65, 54, 19, 98.
    Bytes first = {0, 1, 2, 3};
    PermuteEncode(first.data(), first.size());
    EXPECT_EQ(first, (Bytes{65, 54, 19, 98}));
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = uint8_t(i);
    Bytes image = all;
    PermuteEncode(image.data(), image.size());
    std::sort(image.begin(), image.end());
    EXPECT_EQ(image, all) << "a permutation of the byte values";

    Bytes data = Random(400, 11);
    for (size_t off = 0; off < 5; ++off)
        for (size_t n = 0; n + off <= 300; ++n) {
            Bytes fast = data, slow = data;
            PermuteEncode(fast.data() + off, n);
            PermuteEncodeScalar(slow.data() + off, n);
            ASSERT_EQ(fast, slow) << "offset " << off << ", " << n << " bytes";  // nothing outside touched either
            PermuteDecode(fast.data() + off, n);
            ASSERT_EQ(fast, data) << "offset " << off << ", " << n << " bytes";
        }
}

TEST(PstHeader, RoundTripAndFieldErrors) {
    Header h;
    h.rgnid = Header::InitialRgnid();
    h.bidNextB = 0x1234;
    h.bidNextP = 0x55;
    h.dwUnique = 9;
    h.bCryptMethod = NDB_CRYPT_PERMUTE;
    h.root.ibFileEof = 0x42400;
    h.root.BREFNBT = {0x11, 0x4600};
    h.root.fAMapValid = FAMAP_VALID;
    uint8_t raw[kHeaderSize];
    h.Serialize(raw);
    Header back = Header::Parse(raw, sizeof raw);
    EXPECT_EQ(back.bidNextB, 0x1234u);
    EXPECT_EQ(back.root.BREFNBT.ib, 0x4600u);
    EXPECT_EQ(back.rgnid[NID_TYPE_NORMAL_MESSAGE], 0x10000u);
    EXPECT_EQ(raw[512], 0x80);  // bSentinel
    raw[100] ^= 1;
    try {
        Header::Parse(raw, sizeof raw);
        FAIL() << "a damaged header was accepted";
    } catch (const bv::mailstore::MailStoreError& e) {
        EXPECT_NE(std::string(e.what()).find("HEADER dwCRCPartial"), std::string::npos) << e.what();
    }
    uint8_t ansi[kHeaderSize];
    h.wVer = 14;
    h.Serialize(ansi);
    EXPECT_THROW(Header::Parse(ansi, sizeof ansi), bv::mailstore::MailStoreError);
}

TEST(PstMaps, PlacementOfAMapPMapFMapFPMap) {
    EXPECT_EQ(RegionStart(0), 0x4400u);
    EXPECT_EQ(RegionStart(1), 0x4400u + 253952u);
    EXPECT_TRUE(RegionHasPMap(0));
    EXPECT_TRUE(RegionHasPMap(8));
    EXPECT_FALSE(RegionHasPMap(7));
    EXPECT_EQ(PMapOffset(0), 0x4600u);
    // First FMap: region 128 (the header's rgbFM covers regions 0..127), then every 496.
    EXPECT_FALSE(RegionHasFMap(127));
    EXPECT_TRUE(RegionHasFMap(128));
    EXPECT_TRUE(RegionHasFMap(128 + 496));
    EXPECT_EQ(FMapOffset(128), 0x1F04800u);
    // First FPMap: region 8192 (rgbFP covers the first ~2 GB), then every 31,744; it
    // takes the slot after the PMap, as no FMap shares these regions for 200 GB.
    EXPECT_FALSE(RegionHasFPMap(8191));
    EXPECT_TRUE(RegionHasFPMap(8192));
    EXPECT_EQ(FPMapOffset(8192), 0x7C004800u);
    for (uint64_t k = 8192; k < 8192 + 31744ull * 29; k += 31744) EXPECT_FALSE(RegionHasFMap(k)) << k;
    // Past 4 GB offsets stay 64-bit.
    uint64_t k5g = (5ull << 30) / kAMapRegionSize;
    EXPECT_GT(RegionStart(k5g), 0xFFFFFFFFull);
    EXPECT_EQ(RegionIndex(RegionStart(k5g) + 1000), k5g);
}

TEST(PstMaps, BitmapCountsAndPages) {
    AllocationBitmap bits(9);
    // Map pages are allocated: region 0 holds AMap+PMap, region 8 too, others only the AMap.
    EXPECT_EQ(bits.FreeBytes(0), kAMapRegionSize - 1024);
    EXPECT_EQ(bits.FreeBytes(1), kAMapRegionSize - 512);
    bits.Mark(RegionStart(1) + 512, 8192);
    EXPECT_EQ(bits.FreeBytes(1), kAMapRegionSize - 512 - 8192);
    EXPECT_THROW(bits.Mark(RegionStart(1) + 512, 64), bv::mailstore::MailStoreError);  // twice
    uint8_t page[512];
    bits.BuildAMapPage(1, page);
    EXPECT_EQ(page[0], 0xFF);   // the AMap page itself (8 slots)
    EXPECT_EQ(page[1], 0xFF);   // the 8192-byte block: slots 8..135
    EXPECT_EQ(page[16], 0xFF);
    EXPECT_EQ(page[17], 0x00);
    EXPECT_EQ(page[496], ptypeAMap);
    EXPECT_EQ(Get64(page + 504), RegionStart(1));  // map pages carry their offset as BID
    EXPECT_NO_THROW(CheckPageTrailer(page, ptypeAMap, RegionStart(1)));
}

TEST(PstBTree, SplitsAtFifteenAndTwentyEntries) {
    EXPECT_EQ(SpreadEntries(15, 15).size(), 1u);
    EXPECT_EQ(SpreadEntries(16, 15), (std::vector<size_t>{8, 8}));
    EXPECT_EQ(SpreadEntries(20, 20).size(), 1u);
    EXPECT_EQ(SpreadEntries(41, 20), (std::vector<size_t>{14, 14, 13}));
    for (size_t count : {1, 15, 16, 20, 21, 300, 301, 6001}) {
        fs::path p = TempFile("bt" + std::to_string(count) + ".pst");
        {
            auto db = NodeDatabase::Create(p, NDB_CRYPT_NONE);
            for (size_t i = 0; i < count; ++i) {
                uint8_t data[4] = {uint8_t(i), uint8_t(i >> 8), 0, 0};
                Bid bid = db->WriteBlock(data, sizeof data, false);
                db->SetNode(MakeNid(NID_TYPE_NORMAL_MESSAGE, uint32_t(0x10000 + i)), {bid, 0, 0x8022});
            }
            db->Commit();
        }
        auto db = NodeDatabase::Open(p);
        size_t i = 0;
        db->ForEachNode([&](Nid nid, const NodeRef& ref) {
            EXPECT_EQ(nid, MakeNid(NID_TYPE_NORMAL_MESSAGE, uint32_t(0x10000 + i)));
            Bytes b = db->ReadBlock(ref.bidData);
            ASSERT_EQ(b.size(), 4u);
            EXPECT_EQ(b[0] | (b[1] << 8), int(i));
            ++i;
        });
        ASSERT_EQ(i, count);
        // Page levels: leaves hold at most 15 NBT / 20 BBT entries, 20 per upper page.
        Bytes f = ReadFile(p);
        Header h = Header::Parse(f.data(), f.size());
        const uint8_t* root = &f[h.root.BREFNBT.ib];
        int levels = root[491];
        EXPECT_EQ(levels, count <= 15 ? 0 : count <= 300 ? 1 : count <= 6000 ? 2 : 3) << count;
        const uint8_t* broot = &f[h.root.BREFBBT.ib];
        EXPECT_EQ(int(broot[491]), count <= 20 ? 0 : count <= 400 ? 1 : 2) << count;
        EXPECT_EQ(f.size(), h.root.ibFileEof);
        EXPECT_EQ((f.size() - 0x4400) % kAMapRegionSize, 0u);
    }
}

// Entries past the spill buffers, nodes out of NID order, replaced and removed nodes,
// then a reopened store changed again: the trees hold exactly the nodes and blocks that
// are left, in order, and the released blocks are gone from the BBT.
TEST(PstBTree, ChangedRemovedAndReopenedEntriesMergeInOrder) {
    fs::path p = TempFile("merge.pst");
    std::map<Nid, uint32_t> expected;  // nid -> the value its block holds
    auto put = [&](NodeDatabase& db, Nid nid, uint32_t value) {
        uint8_t data[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        db.SetNode(nid, {db.WriteBlock(data, sizeof data, false), 0, 0x8022});
        expected[nid] = value;
    };
    auto check = [&](NodeDatabase& db) {
        auto it = expected.begin();
        size_t seen = 0;
        db.ForEachNode([&](Nid nid, const NodeRef& ref) {
            ASSERT_NE(it, expected.end());
            ASSERT_EQ(nid, it->first);
            Bytes b = db.ReadBlock(ref.bidData);
            ASSERT_EQ(b.size(), 4u);
            EXPECT_EQ(Get32(b.data()), it->second) << nid;
            ++it;
            ++seen;
        });
        EXPECT_EQ(seen, expected.size());
    };
    auto message = [](uint32_t i) { return MakeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000 + i); };
    Bid released = 0;
    {
        auto db = NodeDatabase::Create(p, NDB_CRYPT_PERMUTE);
        for (uint32_t i = 0; i < 60000; ++i) {
            put(*db, message(i), i);
            if (i % 10000 == 0) put(*db, MakeNid(NID_TYPE_NORMAL_FOLDER, 0x400 + i / 10000), 1000000 + i);
        }
        released = db->FindNode(message(7))->bidData;
        put(*db, message(7), 7777777);  // replaced: its first block is released
        db->RemoveNode(message(8));
        expected.erase(message(8));
        db->RemoveNode(MakeNid(NID_TYPE_NORMAL_FOLDER, 0x401));
        expected.erase(MakeNid(NID_TYPE_NORMAL_FOLDER, 0x401));
        check(*db);
        db->Commit();
    }
    {
        auto db = NodeDatabase::Open(p);
        check(*db);
        EXPECT_THROW(db->ReadBlock(released), bv::mailstore::MailStoreError);
        for (uint32_t i = 60000; i < 61000; ++i) put(*db, message(i), i);
        put(*db, MakeNid(NID_TYPE_NORMAL_FOLDER, 0x450), 42);
        put(*db, message(9), 9999999);
        db->RemoveNode(message(59999));
        expected.erase(message(59999));
        db->Commit();
    }
    auto db = NodeDatabase::Open(p);
    check(*db);
}

TEST(PstDataTree, BoundariesAt8176AndXXBlock) {
    fs::path p = TempFile("tree.pst");
    std::vector<size_t> sizes = {0, 1, 8176, 8177, 2 * 8176, 1021 * 8176, 1021 * 8176 + 1, 3000 * 8176 + 5};
    std::vector<Bid> bids;
    {
        auto db = NodeDatabase::Create(p, NDB_CRYPT_PERMUTE);
        for (size_t i = 0; i < sizes.size(); ++i) {
            Bytes data = Random(sizes[i], uint32_t(i));
            bids.push_back(db->WriteDataTree(data.data(), data.size()));
        }
        for (size_t i = 0; i < sizes.size(); ++i) db->SetNode(MakeNid(NID_TYPE_LTP, uint32_t(i + 1)), {bids[i], 0, 0});
        db->Commit();
    }
    auto db = NodeDatabase::Open(p);
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::vector<Bytes> blocks = db->ReadDataTree(bids[i]);
        Bytes all;
        for (size_t k = 0; k < blocks.size(); ++k) {
            if (k + 1 < blocks.size()) {
                EXPECT_EQ(blocks[k].size(), 8176u);
            }
            all.insert(all.end(), blocks[k].begin(), blocks[k].end());
        }
        EXPECT_EQ(all, Random(sizes[i], uint32_t(i))) << sizes[i];
        bool internal = bids[i] & kBidInternal;
        EXPECT_EQ(internal, sizes[i] > 8176) << sizes[i];
        if (internal) {
            Bytes x = db->ReadBlock(bids[i]);
            EXPECT_EQ(x[1], sizes[i] > 1021 * 8176 ? 2 : 1) << "cLevel for " << sizes[i];
            EXPECT_EQ(Get32(&x[4]), sizes[i]) << "lcbTotal";
        }
    }
}

TEST(PstSubnodeTree, LeafAndIntermediateBlocks) {
    fs::path p = TempFile("sub.pst");
    Bid small = 0, big = 0;
    {
        auto db = NodeDatabase::Create(p, NDB_CRYPT_NONE);
        std::vector<SLENTRY> entries;
        for (uint32_t i = 0; i < 700; ++i) {
            uint8_t d[2] = {uint8_t(i), uint8_t(i >> 8)};
            entries.push_back({MakeNid(NID_TYPE_LTP, 700 - i), db->WriteBlock(d, 2, false), 0});
        }
        small = db->WriteSubnodeTree(std::vector<SLENTRY>(entries.begin(), entries.begin() + 340));
        big = db->WriteSubnodeTree(entries);
        EXPECT_EQ(db->WriteSubnodeTree({}), 0u);
        std::vector<SLENTRY> dup = {entries[0], entries[0]};
        EXPECT_THROW(db->WriteSubnodeTree(dup), bv::mailstore::MailStoreError);
        db->SetNode(0x21, {0, small, 0});
        db->SetNode(0x41, {0, big, 0});
        db->Commit();
    }
    auto db = NodeDatabase::Open(p);
    EXPECT_EQ(db->ReadBlock(small)[1], 0);  // one SLBLOCK
    EXPECT_EQ(db->ReadBlock(big)[1], 1);    // SIBLOCK over SLBLOCKs
    auto all = db->ReadSubnodeTree(big);
    ASSERT_EQ(all.size(), 700u);
    for (size_t i = 1; i < all.size(); ++i) EXPECT_LT(all[i - 1].nid, all[i].nid);
}

// The two ways of keeping the B-trees, a new store's and an opened one's, through their
// one face: after each case's changes the same lookups find the same, before the commit
// and in the store opened again after it.
TEST(PstBTreeIndex, NewAndOpenedStoresAnswerAlike) {
    using Nodes = std::map<Nid, Bid>;        // nid -> bidData
    using Blocks = std::map<Bid, uint16_t>;  // key -> cRef
    struct Case {
        const char* what;
        std::function<void(BlockFile&, BTreeIndex&, Nodes&, Blocks&)> change;
    };
    // A node entered as Store enters it: without a lookup where the index can tell it is new.
    auto enter = [](BTreeIndex& x, Nodes& n, Nid nid, Bid bid) {
        if (!x.AddInOrder(nid, NodeRef{bid, 0, 0})) x.PutNode(nid, NodeRef{bid, 0, 0});
        n[nid] = bid;
    };
    auto references = [](BTreeIndex& x, Blocks& b, Bid key, uint16_t cRef) {
        x.SetReferences(key, *x.FindBlock(key), cRef);
        if (cRef) b[key] = cRef;
        else b.erase(key);
    };
    const std::vector<Case> cases = {
        {"a node replaced", [&](BlockFile&, BTreeIndex& x, Nodes& n, Blocks&) { enter(x, n, 0x41, 4); }},
        {"a node removed",
         [](BlockFile&, BTreeIndex& x, Nodes& n, Blocks&) {
             x.PutNode(0x61, std::nullopt);
             n.erase(0x61);
         }},
        {"a node below the others", [&](BlockFile&, BTreeIndex& x, Nodes& n, Blocks&) { enter(x, n, 0x2, 8); }},
        {"a node above the others", [&](BlockFile&, BTreeIndex& x, Nodes& n, Blocks&) { enter(x, n, 0x10001, 8); }},
        {"a block referenced more", [&](BlockFile&, BTreeIndex& x, Nodes&, Blocks& b) { references(x, b, 8, 5); }},
        {"a block released", [&](BlockFile&, BTreeIndex& x, Nodes&, Blocks& b) { references(x, b, 12, 0); }},
        {"a block added",
         [](BlockFile& f, BTreeIndex& x, Nodes&, Blocks& b) {
             const uint8_t data[4] = {1, 2, 3, 4};
             const BlockFile::PlacedBlock placed = f.WriteBlock(data, sizeof data, false, nullptr);
             x.AddBlock(placed.bid, {placed.ib, 4, 2});
             b[placed.bid] = 2;
         }},
    };
    auto expectListed = [](const BTreeIndex& x, const Nodes& nodes, const Blocks& blocks, const std::string& what) {
        Nodes listedNodes;
        Blocks listedBlocks;
        x.ForEachNode([&](Nid nid, const NodeRef& ref) { listedNodes[nid] = ref.bidData; });
        x.ForEachBlock([&](Bid key, const BlockInfo& i) { listedBlocks[key] = i.cRef; });
        EXPECT_EQ(listedNodes, nodes) << what;
        EXPECT_EQ(listedBlocks, blocks) << what;
        for (Nid nid : {0x2u, 0x21u, 0x41u, 0x61u, 0x10001u}) {
            std::optional<NodeRef> found = x.FindNode(nid);
            EXPECT_EQ(found ? found->bidData : 0, nodes.count(nid) ? nodes.at(nid) : 0) << what << " " << nid;
        }
        for (Bid key = 4; key <= 20; key += 4) {
            std::optional<BlockInfo> found = x.FindBlock(key);
            EXPECT_EQ(found ? found->cRef : 0, blocks.count(key) ? blocks.at(key) : 0) << what << " " << key;
        }
    };
    for (const Case& c : cases) {
        for (bool opened : {false, true}) {
            const std::string what = std::string(c.what) + (opened ? " (opened store)" : " (new store)");
            const fs::path p = TempFile((opened ? "opened-" : "new-") + std::to_string(&c - cases.data()) + ".pst");
            auto file = std::make_unique<BlockFile>();
            file->Create(p, NDB_CRYPT_NONE);
            std::unique_ptr<BTreeIndex> index = std::make_unique<SequentialIndex>(*file, p);
            Nodes nodes;
            Blocks blocks;
            for (Nid nid : {0x21u, 0x41u, 0x61u}) {
                const uint8_t data[4] = {uint8_t(nid)};
                const BlockFile::PlacedBlock placed = file->WriteBlock(data, sizeof data, false, nullptr);
                index->AddBlock(placed.bid, {placed.ib, 4, 2});
                EXPECT_TRUE(index->AddInOrder(nid, NodeRef{placed.bid, 0, 0}));
                nodes[nid] = placed.bid;
                blocks[placed.bid] = 2;
            }
            auto reopen = [&] {
                index->Commit();
                index.reset();
                file = std::make_unique<BlockFile>();
                ASSERT_TRUE(file->Open(p, true));
                index = std::make_unique<CopyOnWriteIndex>(*file);
                file->FinishOpening(true);
            };
            if (opened) reopen();
            c.change(*file, *index, nodes, blocks);
            expectListed(*index, nodes, blocks, what);
            reopen();
            expectListed(*index, nodes, blocks, what + ", committed");
        }
    }
}
