// The checker against Outlook-made stores (no errors allowed) and against copies of
// them with one planted fault each (the fault must be named exactly).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "PstFile.h"
#include "PstValidate.h"

using namespace bv::pstcheck;

namespace {

const char* const kUnicodeStores[] = {
    "pstsdk/sample1.pst",      "pstsdk/submessage.pst",       "pstsdk/test_unicode.pst",
    "ruby-msg/200-recipients.pst", "ruby-msg/attachAndInline.pst", "ruby-msg/msgInMsg.pst",
    "java-libpst/dist-list.pst", "java-libpst/passworded.pst",
};
const char* const kAnsiStores[] = {"pstsdk/sample2.pst", "pstsdk/test_ansi.pst"};

std::string CorpusPath(const std::string& rel) { return std::string(BV_CORPUS) + "/pst/" + rel; }

std::vector<uint8_t> Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint16_t Get16(const std::vector<uint8_t>& d, size_t o) { return uint16_t(d[o] | d[o + 1] << 8); }
uint32_t Get32(const std::vector<uint8_t>& d, size_t o) { return Get16(d, o) | uint32_t(Get16(d, o + 2)) << 16; }
uint64_t Get64(const std::vector<uint8_t>& d, size_t o) { return Get32(d, o) | uint64_t(Get32(d, o + 4)) << 32; }
void Put16(std::vector<uint8_t>& d, size_t o, uint16_t v) { d[o] = uint8_t(v); d[o + 1] = uint8_t(v >> 8); }
void Put32(std::vector<uint8_t>& d, size_t o, uint32_t v) { Put16(d, o, uint16_t(v)); Put16(d, o + 2, uint16_t(v >> 16)); }
void Put64(std::vector<uint8_t>& d, size_t o, uint64_t v) { Put32(d, o, uint32_t(v)); Put32(d, o + 4, uint32_t(v >> 32)); }

// CRC-32 as the file format uses it: reflected polynomial 0xEDB88320, seed 0, no final xor.
uint32_t Crc(const uint8_t* p, size_t n) {
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}
void FixHeaderCrcs(std::vector<uint8_t>& d) {
    Put32(d, 4, Crc(d.data() + 8, 471));
    Put32(d, 524, Crc(d.data() + 8, 516));
}
void FixPageCrc(std::vector<uint8_t>& d, size_t ib) { Put32(d, ib + 500, Crc(d.data() + ib, 496)); }

// Permutation used by bCryptMethod 1: first 256 bytes encode, last 256 decode.
const uint8_t kCrypt[768] = {
#include "CryptTable.inc"
};

struct BlockRef {
    uint64_t ib = 0;
    uint16_t cb = 0;
};

// Leaf entries of a level-1 tree (both corpus trees are).
template <typename F>
void ForEachLeafEntry(const std::vector<uint8_t>& d, uint64_t root, size_t cbEnt, F f) {
    for (int i = 0; i < d[root + 488]; ++i) {
        const uint64_t leaf = Get64(d, root + i * 24 + 16);
        for (int k = 0; k < d[leaf + 488]; ++k) f(leaf + k * cbEnt);
    }
}

BlockRef NodeDataBlock(const std::vector<uint8_t>& d, uint32_t nid) {
    uint64_t bid = 0;
    ForEachLeafEntry(d, Get64(d, 224), 32, [&](uint64_t e) { if (Get32(d, e) == nid) bid = Get64(d, e + 8); });
    BlockRef b;
    ForEachLeafEntry(d, Get64(d, 240), 24, [&](uint64_t e) { if (Get64(d, e) == bid) b = {Get64(d, e + 8), Get16(d, e + 16)}; });
    return b;
}

std::vector<uint8_t> DecodeBlock(const std::vector<uint8_t>& d, BlockRef b) {
    std::vector<uint8_t> out(d.begin() + b.ib, d.begin() + b.ib + b.cb);
    for (uint8_t& x : out) x = kCrypt[512 + x];
    return out;
}

void EncodeBlock(std::vector<uint8_t>& d, BlockRef b, const std::vector<uint8_t>& plain) {
    for (size_t i = 0; i < plain.size(); ++i) d[b.ib + i] = kCrypt[plain[i]];
    const uint64_t trailer = b.ib + (b.cb + 16 + 63) / 64 * 64 - 16;
    Put32(d, trailer + 4, Crc(d.data() + b.ib, b.cb));
}

// Bytes of a heap item in block 0 of a heap.
size_t HeapItem(const std::vector<uint8_t>& heap, uint32_t hid) {
    const uint16_t ibHnpm = Get16(heap, 0);
    return Get16(heap, ibHnpm + 4 + 2 * (((hid >> 5) & 0x7FF) - 1));
}

// A corrupted copy of a corpus store in the test's temporary folder.
struct Store {
    std::vector<uint8_t> d;
    std::string path;

    explicit Store(const std::string& rel, const std::string& tag = "copy") {
        d = Load(CorpusPath(rel));
        // ctest runs the tests as parallel processes: each one gets its own file.
        path = ::testing::TempDir() + "/pstval_" + std::to_string(::getpid()) + "_" + tag + "_" +
               std::filesystem::path(rel).filename().string();
    }
    ~Store() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    uint64_t nbtRoot() const { return Get64(d, 224); }
    uint64_t bbtRoot() const { return Get64(d, 240); }
    // Leaf page reached through the first entry of a level-1 root.
    uint64_t firstLeaf(uint64_t root) const { return Get64(d, root + 16); }
    std::vector<Finding> validate() {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(d.data()), d.size());
        return ValidatePst(path);
    }
};

std::string Dump(const std::vector<Finding>& fs) {
    std::string s;
    for (const Finding& f : fs) s += "  " + FormatFinding(f) + "\n";
    return s;
}
size_t ErrorCount(const std::vector<Finding>& fs) {
    size_t n = 0;
    for (const Finding& f : fs) n += f.severity == Severity::Error;
    return n;
}
const Finding* FindCheck(const std::vector<Finding>& fs, const std::string& check, Severity sev = Severity::Error) {
    for (const Finding& f : fs)
        if (f.check == check && f.severity == sev) return &f;
    return nullptr;
}

}  // namespace

TEST(PstValidateCorpus, OutlookStoresHaveNoErrors) {
    for (const char* rel : kUnicodeStores) {
        Result r = ValidatePstFile(CorpusPath(rel));
        EXPECT_FALSE(r.summary.fatal) << rel;
        EXPECT_EQ(r.summary.errors, 0u) << rel << "\n" << Dump(r.findings);
        EXPECT_GT(r.summary.nodes, 40u) << rel;
        EXPECT_GT(r.summary.heaps, 20u) << rel;
        EXPECT_GE(r.summary.folders, 4u) << rel;
    }
}

TEST(PstValidateCorpus, AnsiStoresAreRejectedCleanly) {
    for (const char* rel : kAnsiStores) {
        Result r = ValidatePstFile(CorpusPath(rel));
        ASSERT_TRUE(r.summary.fatal) << rel;
        ASSERT_EQ(r.findings.size(), 1u) << rel;
        EXPECT_EQ(r.findings[0].check, "header.ansi");
        EXPECT_EQ(r.findings[0].note, "ANSI format not supported");
        EXPECT_EQ(r.findings[0].found, "14");
    }
}

TEST(PstValidateHeader, PartialCrcMismatchIsNamed) {
    Store s("pstsdk/sample1.pst");
    const uint32_t good = Get32(s.d, 4);
    s.d[4] ^= 0x01;
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "header.crc_partial");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, 4u);
    EXPECT_EQ(f->field, "dwCRCPartial");
    char want[16];
    std::snprintf(want, sizeof want, "0x%X", good);
    EXPECT_EQ(f->expected, want);
    EXPECT_EQ(ErrorCount(fs), 1u) << Dump(fs);
}

TEST(PstValidateHeader, FullCrcCoversFieldsBeyondThePartialOne) {
    Store s("pstsdk/sample1.pst");
    s.d[516] ^= 0x04;  // bidNextB: inside the full CRC only
    auto fs = s.validate();
    EXPECT_NE(FindCheck(fs, "header.crc_full"), nullptr) << Dump(fs);
    EXPECT_EQ(FindCheck(fs, "header.crc_partial"), nullptr) << Dump(fs);
}

TEST(PstValidateHeader, FileEofMustMatchTheFileSize) {
    Store s("pstsdk/sample1.pst");
    const uint64_t size = s.d.size();
    Put64(s.d, 184, size + 512);
    FixHeaderCrcs(s.d);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "header.file_eof");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, 184u);
    EXPECT_NE(f->expected.find("0x42400"), std::string::npos) << f->expected;
    EXPECT_EQ(f->found, "0x42600");
    EXPECT_NE(FindCheck(fs, "header.file_eof_boundary", Severity::Warning), nullptr) << Dump(fs);
}

TEST(PstValidateHeader, CountersMustExceedWhatIsInUse) {
    Store s("pstsdk/sample1.pst");
    Put64(s.d, 516, 4);     // bidNextB far below the blocks in use
    Put32(s.d, 44 + 4 * 4, 0x10000);  // rgnid[NORMAL_MESSAGE] below the message 0x200024 (index 0x10001)
    Put32(s.d, 40, 5);                // dwUnique below the folder tables' row versions (up to 71)
    FixHeaderCrcs(s.d);
    auto fs = s.validate();
    EXPECT_NE(FindCheck(fs, "header.bid_next_b"), nullptr) << Dump(fs);
    EXPECT_NE(FindCheck(fs, "tc.row_version", Severity::Warning), nullptr) << Dump(fs);
    const Finding* f = FindCheck(fs, "header.rgnid");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->field, "rgnid[0x4]");
    EXPECT_EQ(f->found, "0x10000");
}

TEST(PstValidatePages, PageCrcMismatchIsNamed) {
    Store s("pstsdk/sample1.pst");
    const uint64_t root = s.nbtRoot();
    s.d[root + 400] ^= 0xFF;  // unused entry space: only the CRC changes meaning
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "page.crc");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, root + 500);
    EXPECT_EQ(ErrorCount(fs), 1u) << Dump(fs);
}

TEST(PstValidateBTrees, KeyOrderViolationIsNamed) {
    Store s("pstsdk/sample1.pst");
    const uint64_t leaf = s.firstLeaf(s.bbtRoot());
    ASSERT_GE(s.d[leaf + 488], 3);
    // Swap the second and third BBT entries.
    std::vector<uint8_t> tmp(s.d.begin() + leaf + 24, s.d.begin() + leaf + 48);
    std::copy(s.d.begin() + leaf + 48, s.d.begin() + leaf + 72, s.d.begin() + leaf + 24);
    std::copy(tmp.begin(), tmp.end(), s.d.begin() + leaf + 48);
    FixPageCrc(s.d, leaf);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "btree.order");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, leaf + 48);
    EXPECT_EQ(f->field, "rgentries[2].key");
    EXPECT_EQ(FindCheck(fs, "page.crc"), nullptr);
}

TEST(PstValidateBTrees, ChildKeyMustMatchParentKey) {
    Store s("pstsdk/sample1.pst");
    const uint64_t root = s.nbtRoot();
    Put64(s.d, root + 24, Get64(s.d, root + 24) - 1);  // btkey of the second child
    FixPageCrc(s.d, root);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "btree.key");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->field, "rgentries[0].key");
}

TEST(PstValidateBTrees, LoopsAreReportedNotFollowed) {
    Store s("pstsdk/sample1.pst");
    const uint64_t root = s.bbtRoot();
    // Second child of the BBT root points back at the root page itself.
    Put64(s.d, root + 24 + 8, Get64(s.d, root + 504));
    Put64(s.d, root + 24 + 16, root);
    FixPageCrc(s.d, root);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "btree.loop");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, root);
}

TEST(PstValidateBlocks, BlockCrcMismatchIsNamed) {
    Store s("pstsdk/sample1.pst");
    const uint64_t leaf = s.firstLeaf(s.bbtRoot());
    const uint64_t bid = Get64(s.d, leaf), ib = Get64(s.d, leaf + 8);
    const uint16_t cb = Get16(s.d, leaf + 16);
    s.d[ib] ^= 0x10;
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "block.crc");
    ASSERT_NE(f, nullptr) << Dump(fs);
    const uint64_t size = (cb + 16 + 63) / 64 * 64;
    EXPECT_EQ(f->offset, ib + size - 12);
    char name[32];
    std::snprintf(name, sizeof name, "block 0x%llX", (unsigned long long)bid);
    EXPECT_EQ(f->structure, name);
}

TEST(PstValidateBlocks, ReferenceCountMismatchIsNamed) {
    Store s("pstsdk/sample1.pst");
    const uint64_t leaf = s.firstLeaf(s.bbtRoot());
    const uint16_t cRef = Get16(s.d, leaf + 18);
    Put16(s.d, leaf + 18, cRef + 1);
    FixPageCrc(s.d, leaf);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "bbt.cref");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, leaf + 18);
    EXPECT_EQ(f->found, std::to_string(cRef + 1));
    EXPECT_EQ(f->expected.substr(0, 2), std::to_string(cRef) + " ");
    EXPECT_EQ(ErrorCount(fs), 1u) << Dump(fs);
}

TEST(PstValidateAllocation, UnmarkedPageAndFreeCountAreNamed) {
    Store s("pstsdk/sample1.pst");
    const uint64_t page = s.nbtRoot();
    const uint64_t amap = 0x4400, slot = (page - amap) / 64;
    s.d[amap + slot / 8] = 0;  // the page's 8 slots
    FixPageCrc(s.d, amap);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "amap.unmarked");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, page);
    EXPECT_NE(f->found.find("8 slot(s)"), std::string::npos) << f->found;
    EXPECT_NE(FindCheck(fs, "root.amap_free"), nullptr) << Dump(fs);
}

// A writer rewriting the maps in place marks them not valid first (a store stopped
// then is as of its last commit, its maps to be rebuilt); bytes past ibFileEof are what
// it wrote after that commit. Neither is an error.
TEST(PstValidateAllocation, MapsMarkedNotValidAndBytesPastTheEndAreNoErrors) {
    Store s("pstsdk/sample1.pst");
    const uint64_t page = s.nbtRoot();
    s.d[0x4400 + (page - 0x4400) / 64 / 8] = 0;
    FixPageCrc(s.d, 0x4400);
    s.d[248] = 0;  // fAMapValid
    FixHeaderCrcs(s.d);
    s.d.resize(s.d.size() + 3 * 512, 0xAB);
    auto fs = s.validate();
    for (const Finding& f : fs) EXPECT_NE(f.severity, Severity::Error) << Dump(fs);
    EXPECT_NE(FindCheck(fs, "header.amap_valid", Severity::Warning), nullptr) << Dump(fs);
    EXPECT_NE(FindCheck(fs, "header.file_tail", Severity::Warning), nullptr) << Dump(fs);
    s.d[248] = 2;
    FixHeaderCrcs(s.d);
    EXPECT_NE(FindCheck(s.validate(), "amap.unmarked"), nullptr);
}

TEST(PstValidateAllocation, LeakedSlotIsNamed) {
    Store s("pstsdk/sample1.pst");
    const uint64_t amap = 0x4400;
    // The last AMap byte covers the end of the region, free in this store.
    ASSERT_EQ(s.d[amap + 495], 0);
    s.d[amap + 495] = 0x80;
    FixPageCrc(s.d, amap);
    Put64(s.d, 200, Get64(s.d, 200) - 64);  // keep cbAMapFree right
    FixHeaderCrcs(s.d);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "amap.leak");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, amap + 495 * 8 * 64);
    EXPECT_EQ(ErrorCount(fs), 1u) << Dump(fs);
}

// Blocks that share space, the B-trees sound (searched where they lie): named as if the
// blocks were checked by file offset; of two at one offset, the one of the higher BID.
TEST(PstValidateAllocation, BlocksSharingSpaceAreNamed) {
    enum Onto { SameOffset, SecondSlot, Page };
    struct Case { const char* what; bool moveLower; Onto onto; };
    for (const Case c : {Case{"higher BID to the lower's offset", false, SameOffset},
                         Case{"lower BID to the higher's offset", true, SameOffset},
                         Case{"into the second slot of a larger block", false, SecondSlot},
                         Case{"onto a B-tree page", false, Page}}) {
        Store s("pstsdk/sample1.pst");
        const uint64_t leaf = s.firstLeaf(s.bbtRoot());
        uint64_t lo = 0, hi = 0;  // two data blocks' entries, the first larger than one slot
        for (int k = 0; k < s.d[leaf + 488] && !hi; ++k) {
            const uint64_t e = leaf + k * 24;
            if (Get64(s.d, e) & 2) continue;
            if (!lo && Get16(s.d, e + 16) > 48) lo = e;
            else if (lo) hi = e;
        }
        ASSERT_TRUE(lo && hi);
        const uint64_t moved = c.moveLower ? lo : hi, other = c.moveLower ? hi : lo;
        Put64(s.d, moved + 8, c.onto == Page ? leaf : Get64(s.d, other + 8) + (c.onto == SecondSlot ? 64 : 0));
        FixPageCrc(s.d, leaf);
        std::vector<std::string> named;
        for (const Finding& f : s.validate())
            if (f.check == "alloc.overlap") named.push_back(f.structure);
        ASSERT_FALSE(named.empty()) << c.what;
        EXPECT_EQ(named.front(), "block " + bv::pstcheck::Hex(Get64(s.d, c.onto == Page ? moved : hi))) << c.what;
    }
}

TEST(PstValidateMessaging, MissingMandatoryNodeAndWrongParentAreNamed) {
    Store s("pstsdk/sample1.pst");
    // Walk the NBT leaves: rename node 0x61 and move the message to the root folder.
    const uint64_t root = s.nbtRoot();
    bool renamed = false, moved = false;
    for (int i = 0; i < s.d[root + 488]; ++i) {
        const uint64_t leaf = Get64(s.d, root + i * 24 + 16);
        for (int k = 0; k < s.d[leaf + 488]; ++k) {
            const uint64_t e = leaf + k * 32;
            if (Get32(s.d, e) == 0x61) { Put32(s.d, e, 0x62); renamed = true; }
            if ((Get32(s.d, e) & 0x1F) == 0x04) { Put32(s.d, e + 24, 0x122); moved = true; }
        }
        FixPageCrc(s.d, leaf);
    }
    ASSERT_TRUE(renamed && moved);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "messaging.mandatory_node");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->field, "node 0x61");
    EXPECT_NE(FindCheck(fs, "folder.contents_row"), nullptr) << Dump(fs);
    EXPECT_NE(FindCheck(fs, "folder.contents_missing"), nullptr) << Dump(fs);
}

TEST(PstValidateLtp, HeapSignatureIsChecked) {
    Store s("pstsdk/sample1.pst");
    const BlockRef b = NodeDataBlock(s.d, 0x21);
    ASSERT_GT(b.cb, 0);
    std::vector<uint8_t> heap = DecodeBlock(s.d, b);
    ASSERT_EQ(heap[2], 0xEC);
    heap[2] = 0xED;
    EncodeBlock(s.d, b, heap);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "hn.signature");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, b.ib + 2);
    EXPECT_EQ(f->expected, "0xEC");
    EXPECT_EQ(f->found, "0xED");
    EXPECT_EQ(FindCheck(fs, "block.crc"), nullptr) << Dump(fs);
}

TEST(PstValidateLtp, FolderContentCountMustMatchItsContentsTable) {
    Store s("pstsdk/sample1.pst");
    // Find the folder holding the message, then its PidTagContentCount record.
    uint32_t folder = 0;
    ForEachLeafEntry(s.d, s.nbtRoot(), 32, [&](uint64_t e) { if ((Get32(s.d, e) & 0x1F) == 0x04) folder = Get32(s.d, e + 24); });
    ASSERT_NE(folder, 0u);
    const BlockRef b = NodeDataBlock(s.d, folder);
    std::vector<uint8_t> heap = DecodeBlock(s.d, b);
    const size_t bth = HeapItem(heap, Get32(heap, 4));
    const uint32_t leaves = Get32(heap, bth + 4);
    ASSERT_EQ(heap[bth + 3], 0) << "one-level BTH expected";
    const size_t first = HeapItem(heap, leaves), end = HeapItem(heap, leaves + 0x20);
    bool changed = false;
    for (size_t r = first; r + 8 <= end; r += 8)
        if (Get16(heap, r) == 0x3602) {
            ASSERT_EQ(Get32(heap, r + 4), 1u);
            Put32(heap, r + 4, 5);
            changed = true;
        }
    ASSERT_TRUE(changed);
    EncodeBlock(s.d, b, heap);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "folder.content_count");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->expected, "1 (rows in the contents table)");
    EXPECT_EQ(f->found, "5");
    // The parent's hierarchy row still says 1.
    EXPECT_NE(FindCheck(fs, "folder.row_mismatch"), nullptr) << Dump(fs);
}

TEST(PstValidateLtp, ContentsRowMustRepeatTheMessageValues) {
    Store s("pstsdk/sample1.pst");
    uint32_t folder = 0;
    ForEachLeafEntry(s.d, s.nbtRoot(), 32, [&](uint64_t e) { if ((Get32(s.d, e) & 0x1F) == 0x04) folder = Get32(s.d, e + 24); });
    const uint32_t contents = (folder & ~0x1Fu) | 0x0E;
    const BlockRef b = NodeDataBlock(s.d, contents);
    std::vector<uint8_t> heap = DecodeBlock(s.d, b);
    const size_t info = HeapItem(heap, Get32(heap, 4));
    ASSERT_EQ(heap[info], 0x7C);
    const uint32_t hnidRows = Get32(heap, info + 14);
    ASSERT_EQ(hnidRows & 0x1F, 0u) << "rows expected in the heap";
    const size_t rows = HeapItem(heap, hnidRows);
    size_t ib = 0;
    for (int c = 0; c < heap[info + 1]; ++c)
        if (Get32(heap, info + 22 + 8 * c) == 0x00170003) ib = Get16(heap, info + 22 + 8 * c + 4);  // PidTagImportance
    ASSERT_NE(ib, 0u);
    Put32(heap, rows + ib, Get32(heap, rows + ib) ^ 2);
    EncodeBlock(s.d, b, heap);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "folder.row_cell");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->field, "row 0 cell 0x170003");
    EXPECT_EQ(f->offset, b.ib + rows + ib);
    EXPECT_EQ(ErrorCount(fs), 1u) << Dump(fs);
}

// First internal block whose first two bytes are btype/cLevel.
BlockRef InternalBlock(const std::vector<uint8_t>& d, uint8_t btype, uint8_t level) {
    BlockRef found;
    ForEachLeafEntry(d, Get64(d, 240), 24, [&](uint64_t e) {
        const uint64_t bid = Get64(d, e), ib = Get64(d, e + 8);
        if (found.cb == 0 && (bid & 2) && d[ib] == btype && d[ib + 1] == level) found = {ib, Get16(d, e + 16)};
    });
    return found;
}
void FixBlockCrc(std::vector<uint8_t>& d, BlockRef b) {
    Put32(d, b.ib + (b.cb + 16 + 63) / 64 * 64 - 12, Crc(d.data() + b.ib, b.cb));
}

TEST(PstValidateBlocks, XBlockTotalMustMatchItsChildren) {
    Store s("pstsdk/sample1.pst");
    const BlockRef x = InternalBlock(s.d, 0x01, 0x01);
    ASSERT_GT(x.cb, 0) << "the JPEG attachment is stored as a data tree";
    const uint32_t total = Get32(s.d, x.ib + 4);
    Put32(s.d, x.ib + 4, total + 1);
    FixBlockCrc(s.d, x);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "datatree.lcb_total");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, x.ib + 4);
    EXPECT_EQ(f->expected, std::to_string(total) + " (sum of children)");
    EXPECT_EQ(f->found, std::to_string(total + 1));
}

TEST(PstValidateBlocks, SubnodeEntriesMustBeSortedByNid) {
    Store s("pstsdk/sample1.pst");
    const BlockRef sl = InternalBlock(s.d, 0x02, 0x00);
    ASSERT_GE(Get16(s.d, sl.ib + 2), 2);
    std::vector<uint8_t> first(s.d.begin() + sl.ib + 8, s.d.begin() + sl.ib + 32);
    std::copy(s.d.begin() + sl.ib + 32, s.d.begin() + sl.ib + 56, s.d.begin() + sl.ib + 8);
    std::copy(first.begin(), first.end(), s.d.begin() + sl.ib + 32);
    FixBlockCrc(s.d, sl);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "subnode.order");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->offset, sl.ib + 32);
}

TEST(PstValidateAllocation, DensityListFreeCountsAreCompared) {
    const size_t dl = 0x4200;
    for (int delta : {0, 1}) {
        Store s("pstsdk/sample1.pst", "dlist");
        ASSERT_EQ(s.d[dl + 496], 0x86);  // present, but Outlook left it without entries
        const uint32_t freeSlots = uint32_t(Get64(s.d, 200) / 64);  // one AMap: all free slots are in it
        s.d[dl + 1] = 1;
        Put32(s.d, dl + 8, 0 | (freeSlots + delta) << 20);  // AMap #0
        FixPageCrc(s.d, dl);
        auto fs = s.validate();
        const Finding* f = FindCheck(fs, "dlist.free", Severity::Warning);
        EXPECT_EQ(ErrorCount(fs), 0u) << Dump(fs);
        if (delta == 0) {
            EXPECT_EQ(f, nullptr) << Dump(fs);
            continue;
        }
        ASSERT_NE(f, nullptr) << Dump(fs);
        EXPECT_EQ(f->offset, dl + 8);
        EXPECT_EQ(f->found, std::to_string(freeSlots + 1));
    }
}

TEST(PstValidateCli, ExitCodesTellCleanFaultyAndUnreadable) {
    const std::string tool = PST_VALIDATE_TOOL;
#ifdef _WIN32
    // cmd.exe: the whole command quoted once more; the exit code as it is.
    auto run = [&](const std::string& file) {
        const std::string cmd = "\"\"" + std::filesystem::path(tool).make_preferred().string() + "\" \"" +
                                std::filesystem::path(file).make_preferred().string() + "\" > NUL\"";
        return std::system(cmd.c_str());
    };
#else
    auto run = [&](const std::string& file) {
        const int rc = std::system((tool + " '" + file + "' > /dev/null").c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
#endif
    EXPECT_EQ(run(CorpusPath("pstsdk/sample1.pst")), 0);
    Store bad("pstsdk/sample1.pst", "cli");
    bad.d[4] ^= 1;
    bad.validate();
    EXPECT_EQ(run(bad.path), 1);
    EXPECT_EQ(run(CorpusPath("pstsdk/sample2.pst")), 2);
    EXPECT_EQ(run(::testing::TempDir() + "/no-such-file.pst"), 2);

    // --json: one object per file with the same findings.
    std::string out;
#ifdef _WIN32
    const std::string jsonCmd = "\"\"" + std::filesystem::path(tool).make_preferred().string() + "\" --json \"" +
                                std::filesystem::path(bad.path).make_preferred().string() + "\"\"";
    if (FILE* p = _popen(jsonCmd.c_str(), "rb")) {
#else
    if (FILE* p = popen((tool + " --json '" + bad.path + "'").c_str(), "r")) {
#endif
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
#ifdef _WIN32
        _pclose(p);
#else
        pclose(p);
#endif
    }
    EXPECT_EQ(out.rfind("{\"file\":", 0), 0u) << out;
    EXPECT_NE(out.find("\"check\":\"header.crc_partial\",\"structure\":\"HEADER\",\"field\":\"dwCRCPartial\",\"offset\":4"),
              std::string::npos) << out;
    EXPECT_NE(out.find("\"errors\":1,"), std::string::npos) << out;
}

TEST(PstValidateLtp, NamedPropertiesNeedAnEntryInTheNameMap) {
    Store s("pstsdk/sample1.pst");
    uint32_t message = 0;
    ForEachLeafEntry(s.d, s.nbtRoot(), 32, [&](uint64_t e) { if ((Get32(s.d, e) & 0x1F) == 0x04) message = Get32(s.d, e); });
    const BlockRef b = NodeDataBlock(s.d, message);
    std::vector<uint8_t> heap = DecodeBlock(s.d, b);
    const size_t bth = HeapItem(heap, Get32(heap, 4));
    ASSERT_EQ(heap[bth + 3], 0) << "one-level BTH expected";
    const uint32_t leaves = Get32(heap, bth + 4);
    const size_t last = HeapItem(heap, leaves + 0x20) - 8;  // highest property ID comes last
    ASSERT_LT(Get16(heap, last), 0xFFFE);
    Put16(heap, last, 0xFFFE);
    EncodeBlock(s.d, b, heap);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "nameid.missing");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->expected, "an entry for 0xFFFE in the name-to-id map");
    EXPECT_EQ(f->offset, b.ib + last);
}

// A value stored under the id of a name of another type (PidLidTaskStatus, a long, in
// the first message of the sample store, made a boolean) is a mislabelled value.
TEST(PstValidateLtp, NamedPropertiesKeepTheTypeOfTheirName) {
    Store s("pstsdk/sample1.pst");
    EXPECT_EQ(FindCheck(s.validate(), "nameid.type"), nullptr);
    const BlockRef b = NodeDataBlock(s.d, 0x200024);
    std::vector<uint8_t> heap = DecodeBlock(s.d, b);
    const size_t bth = HeapItem(heap, Get32(heap, 4));
    ASSERT_EQ(heap[bth + 3], 0) << "one-level BTH expected";
    const size_t leaves = HeapItem(heap, Get32(heap, bth + 4));
    size_t record = leaves;
    while (Get16(heap, record) != 0x801E) record += 8;
    ASSERT_EQ(Get16(heap, record + 2), 0x0003);
    Put16(heap, record + 2, 0x000B);
    EncodeBlock(s.d, b, heap);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "nameid.type");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->expected, "type 0x3 of PidLidTaskStatus, the name of 0x801E");
    EXPECT_EQ(f->found, "0xB");
    EXPECT_EQ(f->offset, b.ib + record);
}

TEST(PstValidateLtp, WrongCryptMethodIsRecognised) {
    Store s("pstsdk/sample1.pst");
    s.d[513] = 0;  // says "not encoded", the blocks are permuted
    FixHeaderCrcs(s.d);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "hn.signature");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->structure.rfind("node 0x21 (message store)", 0), 0u) << f->structure;
    EXPECT_EQ(f->note, "the block decodes as a heap with bCryptMethod 1, the header says 0");
}

TEST(PstValidateRobustness, SubnodeTreeContainingItselfIsReported) {
    Store s("pstsdk/sample1.pst");
    // The message's subnode tree (recipient and attachment tables, the attachment).
    uint64_t self = 0;
    ForEachLeafEntry(s.d, s.nbtRoot(), 32, [&](uint64_t e) { if ((Get32(s.d, e) & 0x1F) == 0x04) self = Get64(s.d, e + 16); });
    BlockRef sl;
    ForEachLeafEntry(s.d, s.bbtRoot(), 24, [&](uint64_t e) { if (Get64(s.d, e) == self) sl = {Get64(s.d, e + 8), Get16(s.d, e + 16)}; });
    ASSERT_EQ(s.d[sl.ib], 0x02);
    const uint16_t n = Get16(s.d, sl.ib + 2);
    for (uint16_t i = 0; i < n; ++i) Put64(s.d, sl.ib + 8 + 24 * i + 16, self);  // every entry's bidSub
    FixBlockCrc(s.d, sl);
    auto fs = s.validate();
    EXPECT_NE(FindCheck(fs, "subnode.loop"), nullptr) << Dump(fs);
    EXPECT_NE(FindCheck(fs, "bbt.cref"), nullptr) << Dump(fs);
}

TEST(PstValidateLtp, UnreadCountFollowsTheReadFlags) {
    Store s("pstsdk/sample1.pst");
    uint32_t message = 0;
    ForEachLeafEntry(s.d, s.nbtRoot(), 32, [&](uint64_t e) { if ((Get32(s.d, e) & 0x1F) == 0x04) message = Get32(s.d, e); });
    const BlockRef b = NodeDataBlock(s.d, message);
    std::vector<uint8_t> heap = DecodeBlock(s.d, b);
    const size_t bth = HeapItem(heap, Get32(heap, 4));
    const uint32_t leaves = Get32(heap, bth + 4);
    bool changed = false;
    for (size_t r = HeapItem(heap, leaves); r + 8 <= HeapItem(heap, leaves + 0x20); r += 8)
        if (Get16(heap, r) == 0x0E07) {  // PidTagMessageFlags
            Put32(heap, r + 4, Get32(heap, r + 4) ^ 0x1);
            changed = true;
        }
    ASSERT_TRUE(changed);
    EncodeBlock(s.d, b, heap);
    auto fs = s.validate();
    const Finding* f = FindCheck(fs, "folder.unread_count");
    ASSERT_NE(f, nullptr) << Dump(fs);
    EXPECT_EQ(f->field, "PidTagContentUnreadCount");
    // The contents row still carries the old flags.
    EXPECT_NE(FindCheck(fs, "folder.row_mismatch"), nullptr) << Dump(fs);
}

TEST(PstValidateRobustness, TruncatedFilesGiveFindings) {
    const std::vector<uint8_t> full = Load(CorpusPath("pstsdk/sample1.pst"));
    for (size_t len : {size_t(0), size_t(100), size_t(563), size_t(600), size_t(0x4400), size_t(0x4400 + 700),
                       full.size() / 3, full.size() / 2, full.size() - 64}) {
        Store s("pstsdk/sample1.pst", "trunc");
        s.d.resize(len);
        Result r = ValidatePstFile((s.validate(), s.path));
        EXPECT_FALSE(r.findings.empty()) << len;
        if (len < 564) EXPECT_TRUE(r.summary.fatal) << len;
        else EXPECT_NE(FindCheck(r.findings, "header.file_eof"), nullptr) << len;
    }
}

TEST(PstValidateRobustness, RandomBytesNeverCrash) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 12; ++round) {
        Store s("pstsdk/sample1.pst", "random");
        s.d.resize(564 + rng() % 300000);
        for (uint8_t& b : s.d) b = uint8_t(rng());
        if (round % 2) {  // looks like a Unicode header, the rest is noise
            const uint8_t magic[] = {0x21, 0x42, 0x44, 0x4E};
            std::memcpy(s.d.data(), magic, 4);
            Put16(s.d, 10, 23);
        }
        auto fs = s.validate();
        EXPECT_FALSE(fs.empty());
    }
}

TEST(PstValidateRobustness, FlippedBytesNeverCrash) {
    std::mt19937 rng(99);
    for (const char* rel : {"pstsdk/sample1.pst", "java-libpst/dist-list.pst", "ruby-msg/msgInMsg.pst"}) {
        for (int round = 0; round < 15; ++round) {
            Store s(rel, "flip");
            for (int k = 0; k < 40; ++k) s.d[0x4400 + rng() % (s.d.size() - 0x4400)] ^= uint8_t(1 + rng() % 255);
            if (round % 3 == 0) FixHeaderCrcs(s.d);
            auto fs = s.validate();
            EXPECT_FALSE(fs.empty()) << rel << " round " << round;
        }
    }
}
