// Blocks ([MS-PST] §2.2.2.8): trailer, CRC, signature, size; data trees (XBLOCK,
// XXBLOCK), subnode B-trees (SLBLOCK, SIBLOCK) and reference counts (§2.2.2.7.7.3.1).
#include <algorithm>
#include <unordered_map>
#include <utility>

#include "Context.h"

namespace bv::pstcheck {

namespace {
constexpr size_t kMaxTreeBlocks = 1021u * 1021u;

uint64_t BlockSize(uint16_t cb) { return (uint64_t(cb) + 16 + 63) / 64 * 64; }
bool IsInternal(uint64_t bid) { return bid & 2; }

const char* KindName(BlockKind k) {
    switch (k) {
    case BlockKind::Data: return "data block";
    case BlockKind::XBlock: return "XBLOCK";
    case BlockKind::XXBlock: return "XXBLOCK";
    case BlockKind::SLBlock: return "SLBLOCK";
    case BlockKind::SIBlock: return "SIBLOCK";
    default: return "block";
    }
}

std::string BlockName(const BbtEntry& b) { return std::string(KindName(b.kind)) + " " + Hex(b.bid); }

bool Placed(const Context& ctx, const BbtEntry& b) {
    const uint64_t end = std::min(ctx.file.size(), ctx.hdr.ibFileEof);
    return b.ib % 64 == 0 && b.cb <= kMaxBlockData && b.ib >= kFirstAMap && b.ib + BlockSize(b.cb) <= end;
}

// Where the placed blocks lie: marked as used. When one shares space with a page or another
// block, the blocks, checked in BID order, find the overlaps they would find checked by file
// offset (blocks at one offset: the lowest BID first): a block shares space with one placed
// before it when a page lies in it, when a block starting lower runs into its first slot, or
// when another block of a lower BID starts where it starts.
struct Placement {
    bool shared = false;                            // some block shares space
    SlotMap starts, inner;                          // then: first slot of a block; its other slots
    std::unordered_map<uint64_t, bool> sameStart;   // first slots of more than one block: one of them checked

    explicit Placement(Context& ctx) {
        ctx.forEachBlock([&](const BbtEntry& b) {
            if (Placed(ctx, b) && ctx.used.mark(b.ib, BlockSize(b.cb))) shared = true;
        });
        if (!shared) return;
        starts.reset(ctx.file.size());
        inner.reset(ctx.file.size());
        ctx.forEachBlock([&](const BbtEntry& b) {
            if (!Placed(ctx, b)) return;
            if (starts.mark(b.ib, 64)) sameStart.emplace(b.ib / 64, false);
            if (BlockSize(b.cb) > 64) inner.mark(b.ib + 64, BlockSize(b.cb) - 64);
        });
    }
    bool overlaps(const Context& ctx, const BbtEntry& b) {
        if (!shared) return false;
        const uint64_t first = b.ib / 64;
        auto tie = sameStart.find(first);
        // The first of them checked (the lowest BID) holds the space; every later one shares it.
        bool shares = false;
        if (tie != sameStart.end()) shares = std::exchange(tie->second, true);
        if (inner.test(first)) shares = true;
        for (uint64_t p = b.ib / kPageSize; p <= (b.ib + BlockSize(b.cb) - 1) / kPageSize && !shares; ++p) shares = ctx.pageAt(p);
        return shares;
    }
};

// Reads and verifies one block; true when its bytes (in buf) are readable: trailer and CRC right.
// An internal block's kind is set in b.
bool CheckOneBlock(Context& ctx, BbtEntry& b, std::vector<uint8_t>& buf, Placement& placement) {
    const std::string S = "block " + Hex(b.bid);
    const uint64_t end = std::min(ctx.file.size(), ctx.hdr.ibFileEof);
    if (b.ib % 64 != 0) {
        ctx.error("block.align", S, "BREF.ib", b.ib, "multiple of 64", Hex(b.ib));
        return false;
    }
    if (b.cb > kMaxBlockData) {
        ctx.error("block.size", S, "cb", b.ib, "<= 8176 (block <= 8192 bytes)", std::to_string(b.cb));
        return false;
    }
    const uint64_t size = BlockSize(b.cb);
    if (b.ib < kFirstAMap || b.ib + size > end) {
        ctx.error("block.range", S, "BREF.ib", b.ib, "block inside the data area (0x4400.." + Hex(end) + ")",
                  Hex(b.ib) + "+" + std::to_string(size));
        return false;
    }
    if (placement.overlaps(ctx, b))
        ctx.error("alloc.overlap", S, "", b.ib, "space of its own", "shares space with another page or block");
    if (!ctx.opt.checkBlockData && !IsInternal(b.bid)) return false;
    buf.resize(size);
    if (!ctx.file.read(b.ib, buf.data(), size)) return false;
    const uint8_t* t = buf.data() + size - 16;
    const uint16_t sig = PstSignature(b.ib, b.bid);
    const uint32_t crc = PstCrc(buf.data(), b.cb);
    const bool ok = Le16(t) == b.cb && Le16(t + 2) == sig && Le32(t + 4) == crc && Le64(t + 8) == b.bid;
    if (Le16(t) != b.cb)
        ctx.error("block.cb", S, "BLOCKTRAILER.cb", b.ib + size - 16, std::to_string(b.cb) + " (BBT cb)", std::to_string(Le16(t)));
    if (Le16(t + 2) != sig)
        ctx.error("block.signature", S, "BLOCKTRAILER.wSig", b.ib + size - 14, Hex(sig), Hex(Le16(t + 2)));
    if (Le32(t + 4) != crc)
        ctx.error("block.crc", S, "BLOCKTRAILER.dwCRC", b.ib + size - 12, Hex(crc), Hex(Le32(t + 4)));
    if (Le64(t + 8) != b.bid)
        ctx.error("block.bid", S, "BLOCKTRAILER.bid", b.ib + size - 8, Hex(b.bid), Hex(Le64(t + 8)));
    if (IsInternal(b.bid) && ctx.kindOf(b) == BlockKind::Bad) {
        const uint8_t btype = b.cb >= 2 ? buf[0] : 0, level = b.cb >= 2 ? buf[1] : 0xFF;
        ctx.error("block.internal_type", S, "btype/cLevel", b.ib, "01/01, 01/02, 02/00 or 02/01 (internal BID)",
                  Hex(btype) + "/" + Hex(level));
    }
    return ok;
}

// Counts the references an internal block holds and checks its entries; buf holds its bytes.
void CheckInternal(Context& ctx, const BbtEntry& b, std::vector<uint8_t>& buf) {
    // A BID with the reserved bit set is read as the block it names without it.
    if ((b.bid & 1) && !ctx.readBlock(b.bid, buf)) return;
    const std::string S = BlockName(b);
    const uint16_t cEnt = b.cb >= 4 ? Le16(buf.data() + 2) : 0;
    const bool tree = b.kind == BlockKind::XBlock || b.kind == BlockKind::XXBlock;
    const size_t header = 8, entSize = tree ? 8 : (b.kind == BlockKind::SLBlock ? 24 : 16);
    if (header + size_t(cEnt) * entSize > b.cb) {
        ctx.error("block.c_ent", S, "cEnt", b.ib + 2, "<= " + std::to_string((b.cb - std::min<size_t>(b.cb, header)) / entSize),
                  std::to_string(cEnt), "entries overrun cb " + std::to_string(b.cb));
        return;
    }
    if (header + size_t(cEnt) * entSize != b.cb)
        ctx.warn("block.cb_slack", S, "cb", b.ib, std::to_string(header + size_t(cEnt) * entSize), std::to_string(b.cb));
    if (cEnt == 0) ctx.error("block.c_ent", S, "cEnt", b.ib + 2, ">= 1", "0");
    if (!tree && Le32(buf.data() + 4) != 0)
        ctx.warn("block.padding", S, "dwPadding", b.ib + 4, "0", Hex(Le32(buf.data() + 4)));

    uint64_t total = 0;
    uint32_t prevNid = 0;
    for (uint16_t i = 0; i < cEnt; ++i) {
        const uint8_t* e = buf.data() + header + i * entSize;
        const uint64_t off = b.ib + header + i * entSize;
        const std::string field = "rgentries[" + std::to_string(i) + "]";
        auto ref = [&](uint64_t bid, const char* what, std::initializer_list<BlockKind> allowed) {
            std::optional<BbtEntry> c = ctx.findBlock(bid);
            if (!c) {
                ctx.error("block.missing", S, field + "." + what, off, "a BID listed in the BBT", Hex(bid));
                return c;
            }
            ctx.refs.add(c->bid);
            if (c->kind != BlockKind::Bad && std::find(allowed.begin(), allowed.end(), c->kind) == allowed.end())
                ctx.error("block.child_type", S, field + "." + what, off, "child of the right block type",
                          std::string(KindName(c->kind)) + " " + Hex(bid));
            return c;
        };
        if (tree) {
            const uint64_t bid = Le64(e);
            const bool xx = b.kind == BlockKind::XXBlock;
            const std::optional<BbtEntry> c = ref(bid, "bid", {xx ? BlockKind::XBlock : BlockKind::Data});
            if (!c) continue;
            const uint64_t sz = xx ? c->lcbTotal : c->cb;
            total += sz;
            const bool last = i + 1 == cEnt;
            if (!last && !xx && c->cb != kMaxBlockData)
                ctx.error("datatree.not_full", S, field, off, "8176 bytes in every data block but the last",
                          std::to_string(c->cb) + " in block " + Hex(bid));
            if (!last && xx && c->lcbTotal % kMaxBlockData != 0)
                ctx.error("datatree.not_full", S, field, off, "full data blocks in every XBLOCK but the last",
                          "lcbTotal " + std::to_string(c->lcbTotal) + " in " + Hex(bid));
        } else {
            // Only the low 32 bits are the NID; Outlook leaves other bytes in the upper half.
            const uint32_t nid = uint32_t(Le64(e));
            if (i > 0 && nid <= prevNid)
                ctx.error("subnode.order", S, field + ".nid", off, "> " + Hex(prevNid), Hex(nid), "NIDs must ascend");
            prevNid = nid;
            if (b.kind == BlockKind::SLBlock) {
                ref(Le64(e + 8), "bidData", {BlockKind::Data, BlockKind::XBlock, BlockKind::XXBlock});
                if (Le64(e + 16)) ref(Le64(e + 16), "bidSub", {BlockKind::SLBlock, BlockKind::SIBlock});
            } else {
                const std::optional<BbtEntry> c = ref(Le64(e + 8), "bid", {BlockKind::SLBlock});
                std::vector<uint8_t> child;
                if (c && c->kind == BlockKind::SLBlock && ctx.readBlock(c->bid, child) && child.size() >= 32 &&
                    Le32(child.data() + 8) != nid)
                    ctx.error("subnode.key", S, field + ".nid", off, Hex(Le32(child.data() + 8)) + " (first NID of child)",
                              Hex(nid));
            }
        }
    }
    if (tree && total != b.lcbTotal)
        ctx.error("datatree.lcb_total", S, "lcbTotal", b.ib + 4, std::to_string(total) + " (sum of children)",
                  std::to_string(b.lcbTotal));
}
}  // namespace

BlockKind Context::kindOf(BbtEntry& b) {
    if (!Placed(*this, b)) return b.kind = BlockKind::Bad;
    if (!IsInternal(b.bid)) return b.kind = BlockKind::Data;
    uint8_t head[8] = {};
    if (!file.read(b.ib, head, sizeof head)) return b.kind = BlockKind::Bad;
    const uint8_t btype = b.cb >= 2 ? head[0] : 0, level = b.cb >= 2 ? head[1] : 0xFF;
    if (btype == 1 && level == 1) b.kind = BlockKind::XBlock;
    else if (btype == 1 && level == 2) b.kind = BlockKind::XXBlock;
    else if (btype == 2 && level == 0) b.kind = BlockKind::SLBlock;
    else if (btype == 2 && level == 1) b.kind = BlockKind::SIBlock;
    else b.kind = BlockKind::Bad;
    if ((b.kind == BlockKind::XBlock || b.kind == BlockKind::XXBlock) && b.cb >= 8) b.lcbTotal = Le32(head + 4);
    return b.kind;
}

bool Context::readBlockBytes(const BbtEntry& b, std::vector<uint8_t>& out) {
    // A misplaced block is not read; a data block only when data blocks are checked.
    if (!Placed(*this, b) || (!IsInternal(b.bid) && !opt.checkBlockData)) return false;
    const uint64_t size = BlockSize(b.cb);
    out.resize(size);
    if (!file.read(b.ib, out.data(), size)) return false;
    // Only even BIDs are remembered (the empty slots hold 1).
    uint64_t& seen = readableSeen_[(b.bid >> 1) % readableSeen_.size()];
    if (seen != b.bid || (b.bid & 1)) {
        const uint8_t* t = out.data() + size - 16;
        if (Le16(t) != b.cb || Le16(t + 2) != PstSignature(b.ib, b.bid) || Le32(t + 4) != PstCrc(out.data(), b.cb) ||
            Le64(t + 8) != b.bid)
            return false;
        seen = b.bid;
    }
    out.resize(b.cb);
    return true;
}

bool Context::readable(const BbtEntry& b) { return readBlockBytes(b, scratch_); }

bool Context::readBlock(uint64_t bid, std::vector<uint8_t>& out) {
    const std::optional<BbtEntry> b = findBlock(bid);
    if (!b || !readBlockBytes(*b, out)) return false;
    if (!IsInternal(b->bid)) PstDecode(hdr.cryptMethod, b->bid, out.data(), out.size());
    return true;
}

bool Context::dataBlocks(uint64_t bid, std::vector<uint64_t>& out) {
    out.clear();
    const std::optional<BbtEntry> b = findBlock(bid);
    if (!b || !readable(*b)) return false;
    if (b->kind == BlockKind::Data) {
        out.push_back(b->bid);
        return true;
    }
    if (b->kind != BlockKind::XBlock && b->kind != BlockKind::XXBlock) return false;
    std::vector<uint8_t> buf, inner;
    if (!readBlock(bid, buf) || buf.size() < 8) return false;
    const size_t n = std::min<size_t>(Le16(buf.data() + 2), (buf.size() - 8) / 8);
    for (size_t i = 0; i < n; ++i) {
        const uint64_t child = Le64(buf.data() + 8 + 8 * i);
        const std::optional<BbtEntry> c = findBlock(child);
        if (!c || !readable(*c)) return false;
        if (b->kind == BlockKind::XBlock) {
            if (c->kind != BlockKind::Data) return false;
            out.push_back(c->bid);
        } else {
            if (c->kind != BlockKind::XBlock || !readBlock(child, inner) || inner.size() < 8) return false;
            const size_t m = std::min<size_t>(Le16(inner.data() + 2), (inner.size() - 8) / 8);
            for (size_t j = 0; j < m && out.size() < kMaxTreeBlocks; ++j) {
                const std::optional<BbtEntry> d = findBlock(Le64(inner.data() + 8 + 8 * j));
                if (!d || !readable(*d) || d->kind != BlockKind::Data) return false;
                out.push_back(d->bid);
            }
        }
    }
    return true;
}

bool Context::subnodes(uint64_t bid, std::vector<SubnodeEntry>& out) {
    out.clear();
    const std::optional<BbtEntry> b = findBlock(bid);
    if (!b || !readable(*b)) return false;
    std::vector<uint8_t> buf, inner;
    auto readSl = [&](const std::vector<uint8_t>& sl) {
        const size_t n = std::min<size_t>(Le16(sl.data() + 2), (sl.size() - 8) / 24);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* e = sl.data() + 8 + 24 * i;
            out.push_back(SubnodeEntry{uint32_t(Le64(e)), Le64(e + 8), Le64(e + 16)});
        }
    };
    if (!readBlock(bid, buf) || buf.size() < 8) return false;
    if (b->kind == BlockKind::SLBlock) {
        readSl(buf);
        return true;
    }
    if (b->kind != BlockKind::SIBlock) return false;
    const size_t n = std::min<size_t>(Le16(buf.data() + 2), (buf.size() - 8) / 16);
    for (size_t i = 0; i < n; ++i) {
        const std::optional<BbtEntry> c = findBlock(Le64(buf.data() + 8 + 16 * i + 8));
        if (!c || c->kind != BlockKind::SLBlock || !readBlock(c->bid, inner) || inner.size() < 8) return false;
        readSl(inner);
    }
    return true;
}

void CheckBlocks(Context& ctx) {
    // Every block, then the entries of the internal ones: read once, their findings given in
    // that order (the blocks by offset, the internal ones by BID).
    std::vector<uint8_t> buf;
    ctx.refs.reset(ctx.maxBlockBid, ctx.bbtState.entries);
    {
        Placement placement(ctx);
        ctx.deferFindings(true);
        ctx.forEachBlock([&](BbtEntry b) {
            ctx.deferAt(0, b.ib, b.bid);
            if (!CheckOneBlock(ctx, b, buf, placement) || !IsInternal(b.bid) || b.kind == BlockKind::Bad) return;
            ctx.deferAt(1, b.bid, 0);
            CheckInternal(ctx, b, buf);
        });
        ctx.deferFindings(false);
    }

    ctx.forEachNode([&](const NbtEntry& n) {
        const std::string S = "NBT entry " + Hex(n.nid);
        if (n.bidData == 0) {
            // Empty nodes (search queues, empty lists) have no data block.
        } else if (const std::optional<BbtEntry> b = ctx.findBlock(n.bidData)) {
            ctx.refs.add(b->bid);
            if (b->kind != BlockKind::Bad && b->kind != BlockKind::Data && b->kind != BlockKind::XBlock &&
                b->kind != BlockKind::XXBlock)
                ctx.error("nbt.bid_data", S, "bidData", n.entryOff, "data block or data tree", BlockName(*b));
        } else {
            ctx.error("block.missing", S, "bidData", n.entryOff, "a BID listed in the BBT", Hex(n.bidData));
        }
        if (n.bidSub == 0) return;
        if (const std::optional<BbtEntry> b = ctx.findBlock(n.bidSub)) {
            ctx.refs.add(b->bid);
            if (b->kind != BlockKind::Bad && b->kind != BlockKind::SLBlock && b->kind != BlockKind::SIBlock)
                ctx.error("nbt.bid_sub", S, "bidSub", n.entryOff, "SLBLOCK or SIBLOCK", BlockName(*b));
        } else {
            ctx.error("block.missing", S, "bidSub", n.entryOff, "a BID listed in the BBT", Hex(n.bidSub));
        }
    });

    // [MS-PST] §2.2.2.7.7.3.1: the BBT entry holds one reference, every referrer one more.
    ctx.forEachBlock([&](BbtEntry b) {
        const uint32_t refs = ctx.refs.get(b.bid);
        if (refs != 0 && b.cRef == refs + 1) return;
        ctx.kindOf(b);
        if (refs == 0 && b.cRef <= 1)
            // Outlook's own files keep such entries (a block whose last user let go, cRef 1).
            ctx.warn("block.unreferenced", BlockName(b), "", b.ib, "a node or block referring to it", "no reference",
                     "cRef " + std::to_string(b.cRef));
        else if (refs == 0)
            ctx.error("block.unreferenced", BlockName(b), "", b.ib, "a node or block referring to it", "no reference",
                      "cRef " + std::to_string(b.cRef));
        else
            ctx.error("bbt.cref", "BBT entry " + Hex(b.bid), "cRef", b.entryOff + 18,
                      std::to_string(refs + 1) + " (BBT + " + std::to_string(refs) + " reference(s))", std::to_string(b.cRef));
    });
}

}  // namespace bv::pstcheck
