// LTP layer: heap allocation limits and block layout, BTH levels, PC value placement,
// TC row layout and multi-block row matrices, each read back with the readers.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "mailstore/pst/ltp/BlockSpool.h"
#include "mailstore/pst/ltp/Bth.h"
#include "mailstore/pst/ltp/Heap.h"
#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/ltp/TableEditor.h"

using namespace bv::mailstore::pst;
using bv::mailstore::MailStoreError;

namespace {

Bytes Fill(size_t n, uint8_t v) { return Bytes(n, v); }

// The blocks a streaming writer hands out, kept by BID as the file would keep them.
struct BlocksInMemory {
    std::map<Bid, Bytes> blocks;
    Bid next = 4;
    auto Writer() {
        return [this](const uint8_t* p, size_t n) {
            blocks[next] = Bytes(p, p + n);
            next += 4;
            return next - 4;
        };
    }
    const Bytes& at(Bid bid) const { return blocks.at(bid); }
};

SubnodeNidSource Counter() {
    auto next = std::make_shared<uint32_t>(1);
    return [next] { return MakeNid(NID_TYPE_LTP, (*next)++); };
}

std::function<Bytes(Nid)> SubnodeLookup(const LtpNode& node) {
    return [&node](Nid nid) {
        for (const auto& s : node.subnodes)
            if (s.nid == nid) {
                Bytes all = s.data;
                for (const auto& b : s.blocks) all.insert(all.end(), b.begin(), b.end());
                return all;
            }
        ADD_FAILURE() << "subnode " << nid << " missing";
        return Bytes();
    };
}

}  // namespace

TEST(PstHeap, ItemLimitsAndBlockLayout) {
    HeapWriter heap(bTypePC);
    EXPECT_THROW(heap.Allocate(Fill(3581, 1)), MailStoreError);
    std::vector<std::pair<Hid, Bytes>> items;
    for (int i = 0; i < 800; ++i) {
        Bytes v = Fill(size_t(100 + (i * 37) % 3481), uint8_t(i));
        items.push_back({heap.Allocate(v), v});
    }
    heap.SetUserRoot(items[0].first);
    std::vector<Bytes> blocks = heap.Finish();
    ASSERT_GT(blocks.size(), 130u);  // past block 8 and block 136 (bitmap headers)
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_LE(blocks[i].size(), 8176u);
        if (i + 1 < blocks.size()) EXPECT_EQ(blocks[i].size(), 8176u) << "block " << i;
        size_t ibHnpm = Get16(blocks[i].data());
        size_t header = i == 0 ? 12 : (i == 8 || i == 136) ? 66 : 2;
        size_t firstItem = Get16(&blocks[i][ibHnpm + 4]);
        EXPECT_EQ(firstItem, header) << "block " << i;
    }
    EXPECT_EQ(blocks[0][2], 0xEC);
    EXPECT_EQ(blocks[0][3], bTypePC);
    EXPECT_EQ(items[0].first, 0x20u);
    HeapReader reader(blocks);
    EXPECT_EQ(reader.UserRoot(), 0x20u);
    for (const auto& [hid, v] : items) EXPECT_EQ(reader.ItemBytes(hid), v) << hid;
    EXPECT_THROW(reader.Item(MakeHid(0, 999)), MailStoreError);
    EXPECT_EQ(HeapFillLevel(3584), 0);
    EXPECT_EQ(HeapFillLevel(3583), 1);
    EXPECT_EQ(HeapFillLevel(7), 15);
}

TEST(PstBth, IndexLevelsAppearPastOneLeaf) {
    for (size_t count : {0, 1, 447, 448, 200000}) {
        HeapWriter heap(bTypeTC);
        Bytes records;
        for (size_t i = 0; i < count; ++i) {
            Append32(records, uint32_t(i * 3));
            Append32(records, uint32_t(i));
        }
        Hid hdr = WriteBth(heap, 4, 4, records);
        heap.SetUserRoot(hdr);
        HeapReader reader(heap.Finish());
        auto [p, n] = reader.Item(hdr);
        ASSERT_EQ(n, 8u);
        EXPECT_EQ(p[0], 0xB5);
        int levels = p[3];
        EXPECT_EQ(levels, count <= 447 ? 0 : count <= 447 * 447 ? 1 : 2) << count;
        if (count == 0) EXPECT_EQ(Get32(p + 4), 0u);
        BthContents back = ReadBth(reader, hdr);
        EXPECT_EQ(back.records, records) << count;
    }
}

TEST(PstPropertyContext, InlineHeapAndSubnodeValues) {
    std::vector<PcProp> props = {
        {0x3001, 0x001F, Fill(3580, 'a')},  // fits one heap item
        {0x1000, 0x001F, Fill(3582, 'b')},  // goes to a subnode
        {0x0E07, 0x0003, {1, 0, 0, 0}},
        {0x0E1F, 0x000B, {1}},
        {0x0017, 0x0002, {2, 0}},
        {0x0039, 0x0040, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x3004, 0x001F, {}},  // empty: no heap item
    };
    LtpNode node = BuildPropertyContext(props, Counter());
    ASSERT_EQ(node.subnodes.size(), 1u);
    EXPECT_EQ(NidTypeOf(node.subnodes[0].nid), NID_TYPE_LTP);
    HeapReader heap(node.blocks);
    auto back = ReadPropertyContext(heap, SubnodeLookup(node));
    std::map<uint16_t, Bytes> got;
    for (const auto& p : back) got[p.id] = p.value;
    for (const auto& p : props) EXPECT_EQ(got[p.id], p.value) << std::hex << p.id;
    // Records sorted by property id.
    for (size_t i = 1; i < back.size(); ++i) EXPECT_LT(back[i - 1].id, back[i].id);
    // Inline values can be patched after the build (sizes computed from the built node).
    EXPECT_TRUE(PatchInlineValue(node.blocks, 0x0E07, 0x11223344));
    EXPECT_FALSE(PatchInlineValue(node.blocks, 0x0E08, 1));
    HeapReader patched(node.blocks);
    for (const auto& p : ReadPropertyContext(patched, SubnodeLookup(node)))
        if (p.id == 0x0E07) EXPECT_EQ(Get32(p.value.data()), 0x11223344u);
    std::vector<PcProp> dup = {{0x3001, 0x001F, {}}, {0x3001, 0x001F, {}}};
    EXPECT_THROW(BuildPropertyContext(dup, Counter()), MailStoreError);
}

TEST(PstTableContext, RowLayoutAndCellExistence) {
    // Tags given unsorted, with every cell size.
    TcWriter tc({0x3001001F, 0x0E070003, 0x00390040, 0x0057000B, 0x00170002, 0x0E080003});
    const auto& cols = tc.Columns();
    ASSERT_EQ(cols.size(), 8u);
    for (size_t i = 1; i < cols.size(); ++i) EXPECT_LT(cols[i - 1].tag, cols[i].tag);
    std::map<uint32_t, TCOLDESC> by;
    for (const auto& c : cols) by[c.tag] = c;
    EXPECT_EQ(by[PidTagLtpRowId].ibData, 0);
    EXPECT_EQ(by[PidTagLtpRowId].iBit, 0);
    EXPECT_EQ(by[PidTagLtpRowVer].ibData, 4);
    EXPECT_EQ(by[PidTagLtpRowVer].iBit, 1);
    EXPECT_EQ(by[0x00390040].ibData, 8);  // 8-byte cells first
    EXPECT_EQ(by[0x00390040].cbData, 8);
    EXPECT_EQ(by[0x3001001F].cbData, 4);  // HNID
    EXPECT_LT(by[0x3001001F].ibData, by[0x00170002].ibData);
    EXPECT_LT(by[0x00170002].ibData, by[0x0057000B].ibData);
    // 4+4+8+4+4+4 = 28, +2 = 30, +1 = 31, CEB of 8 columns = 1 byte.
    EXPECT_EQ(tc.RowSize(), 32u);
    tc.AddRow(7, 1, {{0x3001001F, {'x', 0}}, {0x0E070003, {1, 0, 0, 0}}});
    tc.AddRow(3, 2, {{0x0057000B, {1}}});
    LtpNode node = tc.Finish(Counter());
    HeapReader heap(node.blocks);
    auto [info, n] = heap.Item(heap.UserRoot());
    EXPECT_EQ(info[0], 0x7C);
    EXPECT_EQ(Get16(info + 2), 28);  // TCI_4b
    EXPECT_EQ(Get16(info + 4), 30);  // TCI_2b
    EXPECT_EQ(Get16(info + 6), 31);  // TCI_1b
    EXPECT_EQ(Get16(info + 8), 32);  // TCI_bm
    Bytes matrix = heap.ItemBytes(Get32(info + 14));
    ASSERT_EQ(matrix.size(), 64u);
    // Row 0 (id 7): row id, version, CEB bits for row id, version, subject, flags.
    EXPECT_EQ(Get32(&matrix[0]), 7u);
    uint8_t ceb = matrix[31];
    EXPECT_EQ(ceb & 0xC0, 0xC0);
    EXPECT_TRUE(ceb & (0x80 >> by[0x3001001F].iBit));
    EXPECT_FALSE(ceb & (0x80 >> by[0x0057000B].iBit));
    EXPECT_EQ(matrix[by[0x0057000B].ibData], 0);  // absent cell stays zero
    TcRead back = ReadTableContext(heap, [](Nid) { return std::vector<Bytes>(); });
    ASSERT_EQ(back.rows.size(), 2u);
    EXPECT_EQ(back.rows[0].rowId, 3u);  // RowIndex order
    EXPECT_EQ(back.rows[1].rowId, 7u);
}

TEST(PstTableContext, RowMatrixInBlocksOfWholeRows) {
    std::vector<uint32_t> tags = {0x0037001F, 0x0E070003, 0x0E060040};
    TcWriter tc(tags);
    size_t rows = 5000;
    for (size_t i = 0; i < rows; ++i) {
        std::string s = "subject " + std::to_string(i);
        Bytes subj;
        for (char c : s) {
            subj.push_back(uint8_t(c));
            subj.push_back(0);
        }
        tc.AddRow(uint32_t(0x200024 + 32 * i), 0, {{0x0037001F, subj}, {0x0E070003, {uint8_t(i), 0, 0, 0}}});
    }
    size_t rowSize = tc.RowSize();
    LtpNode node = tc.Finish(Counter());
    ASSERT_EQ(node.subnodes.size(), 1u);
    const auto& blocks = node.subnodes[0].blocks;
    size_t perBlock = 8176 / rowSize;
    EXPECT_EQ(blocks.size(), (rows + perBlock - 1) / perBlock);
    for (size_t i = 0; i + 1 < blocks.size(); ++i) EXPECT_EQ(blocks[i].size(), 8176u);
    EXPECT_EQ(blocks.back().size(), (rows % perBlock ? rows % perBlock : perBlock) * rowSize);
    HeapReader heap(node.blocks);
    TcRead back = ReadTableContext(heap, [&](Nid) { return blocks; });
    ASSERT_EQ(back.rows.size(), rows);
    for (size_t i = 0; i < rows; i += 997) {
        EXPECT_EQ(back.rows[i].rowId, 0x200024 + 32 * i);
        bool found = false;
        for (const auto& [tag, v] : back.rows[i].cells)
            if (tag == 0x0E070003) found = v[0] == uint8_t(i);
        EXPECT_TRUE(found) << i;
    }
}

// A table whose complete blocks wait in a spool is, block for block, the one held:
// heap blocks past the second HNBITMAPHDR, a value over 3580 bytes in a matrix block
// spooled before the table ends.
TEST(PstTableContext, SpooledTableIsTheHeldOne) {
    std::vector<uint32_t> tags = {0x3704001F, 0x0E200003, 0x10130102};
    auto cells = [](size_t i) {
        const std::string s = "file" + std::to_string(i) + ".txt";
        Bytes name;
        for (char c : s) name.insert(name.end(), {uint8_t(c), 0});
        std::vector<TcCell> c = {{0x3704001F, name}, {0x0E200003, {uint8_t(i), uint8_t(i >> 8), 0, 0}}};
        if (i == 10) c.push_back({0x10130102, Fill(5000, 0x5A)});
        return c;
    };
    TcWriter held(tags), spooled(tags);
    auto spool = std::make_shared<BlockSpool>(std::filesystem::temp_directory_path());
    spooled.SpoolTo(spool);
    for (size_t i = 0; i < 40000; ++i) {
        held.AddRow(uint32_t(0x8021 + 32 * i), 0, cells(i));
        spooled.AddRow(uint32_t(0x8021 + 32 * i), 0, cells(i));
    }
    const LtpNode h = held.Finish(Counter());
    const LtpSubnode s = spooled.FinishSpooled(NID_ATTACHMENT_TABLE, Counter());
    EXPECT_GT(h.blocks.size(), 137u);
    auto same = [&](const std::vector<Bytes>& blocks, const std::vector<SpooledBlock>& there) {
        ASSERT_EQ(blocks.size(), there.size());
        for (size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(blocks[i], spool->Get(there[i])) << i;
    };
    same(h.blocks, s.spooled);
    ASSERT_EQ(h.subnodes.size(), s.subnodes.size());
    for (size_t i = 0; i < h.subnodes.size(); ++i) {
        EXPECT_EQ(h.subnodes[i].nid, s.subnodes[i].nid);
        if (s.subnodes[i].spool) same(h.subnodes[i].blocks, s.subnodes[i].spooled);
        else EXPECT_EQ(h.subnodes[i].blocks, s.subnodes[i].blocks);
    }
}

// A table written row by row into "the file" (blocks handed out as they complete) holds
// the same rows as the in-memory writer's, read back whole and a few blocks at a time:
// rows past one heap item, heap blocks past the second HNBITMAPHDR, a RowIndex with an
// index level, a value over 3580 bytes, empty tables and one-row tables.
TEST(PstTableContext, StreamedTableReadsBackLikeTheInMemoryOne) {
    std::vector<uint32_t> tags = {0x0037001F, 0x0E070003, 0x0E060040, 0x10130102};
    auto rowCells = [](size_t i) {
        std::string s = "streamed subject " + std::to_string(i * 7919);
        Bytes subj;
        for (char c : s) {
            subj.push_back(uint8_t(c));
            subj.push_back(0);
        }
        std::vector<TcCell> cells = {{0x0037001F, subj}, {0x0E070003, {uint8_t(i), uint8_t(i >> 8), 0, 0}}};
        if (i % 3 == 0) cells.push_back({0x0E060040, Bytes(8, uint8_t(i))});
        if (i == 1234) cells.push_back({0x10130102, Fill(5000, 0x5A)});  // a subnode value
        return cells;
    };
    for (size_t rows : {size_t(0), size_t(1), size_t(30000)}) {
        BlocksInMemory file;
        TcStreamWriter tc(tags, file.Writer(), Counter());
        for (size_t i = 0; i < rows; ++i) tc.AddRow(uint32_t(0x200024 + 32 * i), uint32_t(i), rowCells(i));
        EXPECT_EQ(tc.RowCount(), rows);
        TcStreamWriter::Result r = tc.Finish();
        if (rows == 30000) {
            EXPECT_GT(r.heap.size(), 137u);  // two HNBITMAPHDR blocks
            EXPECT_NE(r.matrixNid, 0u);
            EXPECT_EQ(r.values.size(), 1u);
        }
        std::vector<Bytes> heapBlocks;
        for (const WrittenBlock& b : r.heap) {
            ASSERT_EQ(file.at(b.bid).size(), b.size);
            heapBlocks.push_back(file.at(b.bid));
        }
        for (size_t i = 0; i + 1 < heapBlocks.size(); ++i) EXPECT_EQ(heapBlocks[i].size(), 8176u);
        auto subnode = [&](Nid nid) {
            std::vector<Bytes> out;
            if (nid == r.matrixNid)
                for (const WrittenBlock& b : r.matrix) out.push_back(file.at(b.bid));
            for (const TcStreamWriter::Result::LongValue& v : r.values)
                if (v.nid == nid)
                    for (const WrittenBlock& b : v.blocks) out.push_back(file.at(b.bid));
            return out;
        };
        HeapReader heap(heapBlocks);
        TcRead whole = ReadTableContext(heap, subnode);
        std::vector<TcRowRead> streamed;
        TcBlockSource source;
        source.heapBlocks = heapBlocks.size();
        source.heapBlock = [&](size_t i) { return heapBlocks.at(i); };
        source.subnodeBlocks = [&](Nid nid) { return subnode(nid).size(); };
        source.subnodeBlock = [&](Nid nid, size_t i) { return subnode(nid).at(i); };
        size_t columns = 0;
        ForEachTableRow(source, [&](const std::vector<TCOLDESC>& cols) { columns = cols.size(); },
                        [&](TcRowRead&& row) { streamed.push_back(std::move(row)); });
        EXPECT_EQ(columns, tags.size() + 2);
        ASSERT_EQ(whole.rows.size(), rows);
        ASSERT_EQ(streamed.size(), rows);
        for (size_t i = 0; i < rows; ++i) {
            EXPECT_EQ(whole.rows[i].rowId, 0x200024 + 32 * i);
            std::vector<TcCell> expected = rowCells(i);
            std::sort(expected.begin(), expected.end());
            std::vector<TcCell> got = whole.rows[i].cells;
            std::sort(got.begin(), got.end());
            ASSERT_EQ(got, expected) << "row " << i;
            EXPECT_EQ(streamed[i].rowId, whole.rows[i].rowId);
            EXPECT_EQ(streamed[i].cells, whole.rows[i].cells) << "row " << i;
        }
    }
}

// A value too long for the heap goes to the file with its row, not at Finish: a
// folder's display list of many thousand names is not held until the table is done.
TEST(PstTableContext, StreamedLongValueIsWrittenWhenItsRowComes) {
    BlocksInMemory file;
    TcStreamWriter tc({0x0E04001F}, file.Writer(), Counter());
    tc.AddRow(0x200024, 1, {{0x0E04001F, Fill(20000, 0x41)}});
    EXPECT_EQ(file.blocks.size(), 3u);  // 8176 + 8176 + 3648 bytes
    TcStreamWriter::Result r = tc.Finish();
    ASSERT_EQ(r.values.size(), 1u);
    Bytes back;
    for (const WrittenBlock& b : r.values[0].blocks) back.insert(back.end(), file.at(b.bid).begin(), file.at(b.bid).end());
    EXPECT_EQ(back, Fill(20000, 0x41));
}

TEST(PstTableContext, StreamedRowsMustComeInRowIdOrder) {
    TcStreamWriter tc({0x0E070003}, [](const uint8_t*, size_t) { return Bid(4); }, Counter());
    tc.AddRow(0x200044, 1, {});
    EXPECT_THROW(tc.AddRow(0x200024, 2, {}), MailStoreError);
}

TEST(PstTableContext, EditedInPlaceRowsReadBackAndUntouchedBlocksStay) {
    // A streamed table changed over several sessions, as commits change a folder's
    // contents table: rows added at the end and between others, replaced (also with
    // and without a subnode value) and removed. After each session the table reads
    // back as a model of it says, and an append of a few rows rewrote only a few blocks.
    std::vector<uint32_t> tags = {0x0037001F, 0x0E070003, 0x0E060040, 0x10130102};
    auto cellsOf = [](uint32_t id, int version) {
        std::string s = "subject " + std::to_string(id) + " v" + std::to_string(version);
        Bytes subj;
        for (char c : s) {
            subj.push_back(uint8_t(c));
            subj.push_back(0);
        }
        std::vector<TcCell> cells = {{0x0037001F, subj}, {0x0E070003, {uint8_t(id), uint8_t(id >> 8), uint8_t(version), 0}}};
        if (id % 3 == 0) cells.push_back({0x0E060040, Bytes(8, uint8_t(id))});
        if ((id + version) % 97 == 0) cells.push_back({0x10130102, Fill(4000 + version, 0x5A)});
        std::sort(cells.begin(), cells.end());
        return cells;
    };
    auto idOf = [](size_t i) { return uint32_t(0x200024 + 64 * i); };
    std::map<uint32_t, std::vector<TcCell>> model;
    std::vector<Bytes> heap, matrix;
    std::map<Nid, Bytes> big;
    Nid matrixNid = 0;
    {
        BlocksInMemory file;
        TcStreamWriter tc(tags, file.Writer(), Counter());
        for (size_t i = 0; i < 3000; ++i) {
            tc.AddRow(idOf(i), 0, cellsOf(idOf(i), 0));
            model[idOf(i)] = cellsOf(idOf(i), 0);
        }
        TcStreamWriter::Result r = tc.Finish();
        for (const WrittenBlock& b : r.heap) heap.push_back(file.at(b.bid));
        for (const WrittenBlock& b : r.matrix) matrix.push_back(file.at(b.bid));
        for (const TcStreamWriter::Result::LongValue& v : r.values)
            for (const WrittenBlock& b : v.blocks) big[v.nid].insert(big[v.nid].end(), file.at(b.bid).begin(), file.at(b.bid).end());
        matrixNid = r.matrixNid;
    }
    uint32_t nextBig = 0x9000;
    auto session = [&](const std::function<void(TcEditor&)>& edit, size_t* changedBlocks = nullptr) {
        TcEditor::Source source;
        source.heapBlocks = heap.size();
        source.heapBlock = [&](size_t i) { return heap.at(i); };
        source.matrixBlocks = matrix.size();
        source.matrixBlock = [&](size_t i) { return matrix.at(i); };
        std::unique_ptr<TcEditor> e = TcEditor::Open(source, [&](const Bytes& v) {
            const Nid nid = MakeNid(NID_TYPE_LTP, nextBig++);
            big[nid] = v;
            return nid;
        });
        ASSERT_TRUE(e);
        edit(*e);
        EXPECT_EQ(e->RowCount(), model.size());
        TcEditor::Changes c = e->Finish();
        heap.resize(c.heapBlocks);
        matrix.resize(c.matrixBlocks);
        for (auto& [i, b] : c.heap) heap.at(i) = b;
        for (auto& [i, b] : c.matrix) matrix.at(i) = b;
        for (Nid n : c.droppedSubnodes) EXPECT_EQ(big.erase(n), 1u);
        if (changedBlocks) *changedBlocks = c.heap.size() + c.matrix.size();
        for (size_t i = 0; i + 1 < heap.size(); ++i) ASSERT_EQ(heap[i].size(), 8176u) << "heap block " << i;
        for (size_t i = 0; i + 1 < matrix.size(); ++i) ASSERT_EQ(matrix[i].size(), 8176u) << "matrix block " << i;
        // Read back whole.
        HeapReader reader(heap);
        TcRead t = ReadTableContext(reader, [&](Nid nid) {
            if (nid == matrixNid) return matrix;
            return std::vector<Bytes>{big.at(nid)};
        });
        ASSERT_EQ(t.rows.size(), model.size());
        auto m = model.begin();
        for (const TcRowRead& row : t.rows) {
            ASSERT_EQ(row.rowId, m->first);
            std::vector<TcCell> got = row.cells;
            std::sort(got.begin(), got.end());
            ASSERT_EQ(got, m->second) << "row " << row.rowId;
            ++m;
        }
    };
    // A few rows appended: only the blocks at the end, block 0 and the index change.
    size_t changed = 0;
    session([&](TcEditor& e) {
        for (size_t i = 3000; i < 3005; ++i) {
            e.AddRow(idOf(i), 1, cellsOf(idOf(i), 0));
            model[idOf(i)] = cellsOf(idOf(i), 0);
        }
    }, &changed);
    EXPECT_LE(changed, 6u);
    EXPECT_GT(heap.size() + matrix.size(), 25u);
    // Many appended (RowIndex leaves fill and split), rows between others, replaced.
    session([&](TcEditor& e) {
        for (size_t i = 3005; i < 4000; ++i) {
            e.AddRow(idOf(i), 1, cellsOf(idOf(i), 0));
            model[idOf(i)] = cellsOf(idOf(i), 0);
        }
        for (size_t i = 0; i < 4000; i += 3) {
            const uint32_t id = idOf(i) + 32;
            e.AddRow(id, 1, cellsOf(id, 0));
            model[id] = cellsOf(id, 0);
        }
        for (size_t i = 0; i < 4000; i += 7) {
            EXPECT_TRUE(e.ReplaceRow(idOf(i), 2, cellsOf(idOf(i), 5)));
            model[idOf(i)] = cellsOf(idOf(i), 5);
        }
        EXPECT_FALSE(e.ReplaceRow(0x7FFFFFE4, 2, {}));
    });
    // Removed: the first, the last, and many between.
    session([&](TcEditor& e) {
        std::vector<uint32_t> gone = {model.begin()->first, model.rbegin()->first};
        for (size_t i = 5; i < 4000; i += 4) gone.push_back(idOf(i));
        for (uint32_t id : gone) {
            EXPECT_TRUE(e.RemoveRow(id));
            model.erase(id);
        }
        EXPECT_FALSE(e.RemoveRow(idOf(5)));
        EXPECT_FALSE(e.Contains(idOf(5)));
        EXPECT_TRUE(e.Contains(idOf(6)));
    });
    // Back again, and every row removed.
    session([&](TcEditor& e) {
        e.AddRow(idOf(5), 3, cellsOf(idOf(5), 1));
        model[idOf(5)] = cellsOf(idOf(5), 1);
    });
    session([&](TcEditor& e) {
        for (auto it = model.begin(); it != model.end();) {
            EXPECT_TRUE(e.RemoveRow(it->first));
            it = model.erase(it);
        }
    });
    EXPECT_EQ(matrix.size(), 1u);
    EXPECT_TRUE(big.empty());
}
