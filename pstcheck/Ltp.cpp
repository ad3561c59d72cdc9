// Heaps, BTHs, property contexts and table contexts of every node that should hold one.
#include "Ltp.h"

#include "NamedTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <unordered_set>

namespace bv::pstcheck {

namespace {
constexpr size_t kMaxHeapItem = 3580;
constexpr size_t kMaxHeapBlocks = 4096;  // 32 MB of heap; larger heaps are not loaded
constexpr uint32_t kTagLtpRowId = 0x67F20003;
constexpr uint32_t kTagLtpRowVer = 0x67F30003;

bool KnownClientSig(uint8_t s) {
    switch (s) {
    case 0x6C: case 0x7C: case 0x8C: case 0x9C: case 0xA5: case 0xAC: case 0xB5: case 0xBC: case 0xCC: return true;
    }
    return false;
}

uint64_t KeyValue(const uint8_t* p, uint8_t cb) {
    uint64_t v = 0;
    for (int i = int(std::min<uint8_t>(cb, 8)) - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Size of a fixed-size property value, 0 for variable-size types, -1 for unknown types.
int FixedSize(uint16_t type) {
    switch (type) {
    case 0x0002: return 2;
    case 0x0003: case 0x0004: case 0x000A: return 4;
    case 0x000B: return 1;
    case 0x0005: case 0x0006: case 0x0007: case 0x0014: case 0x0040: return 8;
    case 0x0048: return 16;
    case 0x001E: case 0x001F: case 0x0102: case 0x000D: case 0x00FB: case 0x00FD: case 0x00FE: return 0;
    }
    if (type & 0x1000) {
        const int base = FixedSize(type & 0x0FFF);
        return base < 0 ? -1 : 0;
    }
    return -1;
}

bool IsHnid(uint32_t v) { return (v & 0x1F) == 0; }

// A string name of the name-to-id map: {cb, UTF-16LE} at `offset` of the string stream,
// characters past ASCII as '?' ("" when it is not there).
std::string StringName(const std::vector<uint8_t>& strings, uint32_t offset) {
    if (size_t(offset) + 4 > strings.size()) return {};
    const size_t n = Le32(strings.data() + offset);
    if (n > strings.size() - offset - 4) return {};
    std::string out;
    for (size_t i = 0; i + 1 < n; i += 2) {
        const uint16_t c = Le16(strings.data() + offset + 4 + i);
        out += c < 0x80 ? char(c) : '?';
    }
    return out;
}

// Short rendering of a value for findings: hex of up to 16 bytes and the size.
std::string Bytes(const std::vector<uint8_t>& v) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < v.size() && i < 16; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", v[i]);
        s += buf;
    }
    if (v.size() > 16) s += "...";
    return s + " (" + std::to_string(v.size()) + " bytes)";
}
}  // namespace

bool Heap::load(Context& ctx, uint64_t bidData, const std::string& name) {
    ctx_ = &ctx;
    name_ = name;
    if (!ctx.dataBlocks(bidData, bids_) || bids_.empty()) {
        const BbtEntry* e = ctx.findBlock(bidData);
        ctx.error("hn.data", name, "bidData", e ? e->ib : 0, "readable data tree", Hex(bidData));
        return false;
    }
    if (bids_.size() > kMaxHeapBlocks) {
        ctx.warn("hn.size", name, "bidData", ctx.findBlock(bidData)->ib, "<= " + std::to_string(kMaxHeapBlocks) + " heap blocks",
                 std::to_string(bids_.size()), "heap not checked");
        return false;
    }
    if (!ctx.muted) ++ctx.result.summary.heaps;
    blocks_.resize(bids_.size());
    allocs_.resize(bids_.size());
    std::vector<size_t> freeBytes(bids_.size(), 0);
    for (size_t i = 0; i < bids_.size(); ++i) {
        std::vector<uint8_t>& b = blocks_[i];
        const BbtEntry* e = ctx.findBlock(bids_[i]);
        const uint64_t ib = e ? e->ib : 0;
        const std::string S = name + " heap block " + std::to_string(i) + " (" + Hex(bids_[i]) + ")";
        if (!ctx.readBlock(bids_[i], b)) return false;
        const size_t hdrSize = i == 0 ? 12 : (i % 128 == 8 ? 66 : 2);
        if (b.size() < hdrSize + 4) {
            ctx.error("hn.block_size", S, "cb", ib, ">= " + std::to_string(hdrSize + 4), std::to_string(b.size()));
            return false;
        }
        if (i == 0) {
            if (b[2] != 0xEC) {
                // Often the data is encoded with another method than bCryptMethod says.
                std::string note;
                uint8_t raw[4];
                if (e && ctx.file.read(e->ib, raw, sizeof raw)) {
                    for (uint8_t method : {0, 1, 2}) {
                        uint8_t t[4] = {raw[0], raw[1], raw[2], raw[3]};
                        PstDecode(method, bids_[i], t, sizeof t);
                        if (method != ctx.hdr.cryptMethod && t[2] == 0xEC)
                            note = "the block decodes as a heap with bCryptMethod " + std::to_string(method) + ", the header says " +
                                   std::to_string(ctx.hdr.cryptMethod);
                    }
                }
                ctx.error("hn.signature", S, "HNHDR.bSig", ib + 2, "0xEC", Hex(b[2]), note);
                return false;
            }
            clientSig = b[3];
            hidUserRoot = Le32(b.data() + 4);
            if (!KnownClientSig(clientSig))
                ctx.error("hn.client_sig", S, "HNHDR.bClientSig", ib + 3, "a known client signature (0xBC PC, 0x7C TC...)",
                          Hex(clientSig));
        }
        const uint16_t ibHnpm = Le16(b.data());
        if (ibHnpm < hdrSize || size_t(ibHnpm) + 4 > b.size()) {
            ctx.error("hn.page_map", S, "ibHnpm", ib, "inside the block after the header", std::to_string(ibHnpm),
                      "cb " + std::to_string(b.size()));
            return false;
        }
        const uint16_t cAlloc = Le16(b.data() + ibHnpm), cFree = Le16(b.data() + ibHnpm + 2);
        if (size_t(ibHnpm) + 4 + 2 * (size_t(cAlloc) + 1) > b.size()) {
            ctx.error("hn.page_map", S, "HNPAGEMAP.cAlloc", ib + ibHnpm, "page map inside the block", std::to_string(cAlloc));
            return false;
        }
        if (cFree > cAlloc)
            ctx.error("hn.page_map", S, "HNPAGEMAP.cFree", ib + ibHnpm + 2, "<= cAlloc " + std::to_string(cAlloc),
                      std::to_string(cFree));
        std::vector<uint16_t>& a = allocs_[i];
        a.resize(cAlloc + 1);
        for (size_t k = 0; k <= cAlloc; ++k) a[k] = Le16(b.data() + ibHnpm + 4 + 2 * k);
        if (a[0] != hdrSize)
            ctx.error("hn.page_map", S, "HNPAGEMAP.rgibAlloc[0]", ib + ibHnpm + 4, std::to_string(hdrSize) + " (end of the header)",
                      std::to_string(a[0]));
        size_t freeItems = 0;
        for (size_t k = 1; k <= cAlloc; ++k) {
            if (a[k] < a[k - 1]) {
                ctx.error("hn.page_map", S, "HNPAGEMAP.rgibAlloc[" + std::to_string(k) + "]", ib + ibHnpm + 4 + 2 * k,
                          ">= " + std::to_string(a[k - 1]), std::to_string(a[k]), "offsets must not decrease");
                a.resize(k);  // keep only the consistent part
                break;
            }
            if (a[k] == a[k - 1]) ++freeItems;
            if (size_t(a[k] - a[k - 1]) > kMaxHeapItem)
                ctx.error("hn.item_size", S, "HNPAGEMAP.rgibAlloc[" + std::to_string(k) + "]", ib + ibHnpm + 4 + 2 * k,
                          "items of at most 3580 bytes", std::to_string(a[k] - a[k - 1]));
        }
        if (a.back() > ibHnpm)
            ctx.error("hn.page_map", S, "HNPAGEMAP.rgibAlloc[cAlloc]", ib + ibHnpm, "<= ibHnpm " + std::to_string(ibHnpm),
                      std::to_string(a.back()), "allocations overlap the page map");
        const size_t mapEnd = size_t(ibHnpm) + 4 + 2 * (size_t(cAlloc) + 1);
        freeBytes[i] = (ibHnpm - std::min<size_t>(a.back(), ibHnpm)) + (b.size() - std::min(mapEnd, b.size())) + (kMaxBlockData - b.size());
        if (freeItems != cFree)
            ctx.warn("hn.free_count", S, "HNPAGEMAP.cFree", ib + ibHnpm + 2, std::to_string(freeItems) + " (empty items)",
                     std::to_string(cFree));
    }
    // rgbFillLevel (§2.3.1.2): one nibble per block, in HNHDR for blocks 0-7 and in the
    // HNBITMAPHDR of block 8, 136, ... for the 128 blocks from there.
    for (size_t i = 0; i < bids_.size(); ++i) {
        const size_t holder = i < 8 ? 0 : (i - 8) / 128 * 128 + 8;
        const size_t slot = i < 8 ? i : i - holder;
        const size_t at = (holder == 0 ? 8 : 2) + slot / 2;
        const uint8_t stored = (blocks_[holder][at] >> (slot % 2 ? 4 : 0)) & 0xF;
        const size_t f = freeBytes[i];
        static const size_t kBounds[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
        uint8_t want = 15;
        for (uint8_t k = 0; k < 15; ++k)
            if (f >= kBounds[k]) { want = k; break; }
        // Outlook's own heaps differ by one level near a boundary (it counts a few bytes more as
        // free), so only a larger difference is reported.
        if (std::abs(int(stored) - int(want)) > 1) {
            const BbtEntry* e = ctx.findBlock(bids_[holder]);
            ctx.warn("hn.fill_level", name + " heap block " + std::to_string(i), holder == 0 ? "HNHDR.rgbFillLevel" : "HNBITMAPHDR.rgbFillLevel",
                     e ? e->ib + at : 0, Hex(want) + " (" + std::to_string(f) + " bytes free)", Hex(stored));
        }
    }
    return true;
}

uint64_t Heap::fileOffset(uint32_t hid) const {
    const uint32_t index = (hid >> 5) & 0x7FF, block = hid >> 16;
    if (block >= bids_.size() || !ctx_) return 0;
    const BbtEntry* e = ctx_->findBlock(bids_[block]);
    if (!e) return 0;
    if ((hid & 0x1F) == 0 && index >= 1 && index < allocs_[block].size()) return e->ib + allocs_[block][index - 1];
    return e->ib;
}

bool Heap::item(uint32_t hid, const uint8_t*& data, size_t& size, const char* field) {
    const uint32_t type = hid & 0x1F, index = (hid >> 5) & 0x7FF, block = hid >> 16;
    std::string why;
    if (type != 0) why = "hidType not 0";
    else if (block >= blocks_.size()) why = "block index " + std::to_string(block) + " beyond " + std::to_string(blocks_.size()) + " block(s)";
    else if (index == 0 || index >= allocs_[block].size()) why = "index " + std::to_string(index) + " not allocated";
    else if (allocs_[block][index] > blocks_[block].size()) why = "item beyond the block";
    if (!why.empty()) {
        if (field) ctx_->error("hn.hid", name_, field, fileOffset(0x20), "a HID that resolves", Hex(hid), why);
        return false;
    }
    data = blocks_[block].data() + allocs_[block][index - 1];
    size = allocs_[block][index] - allocs_[block][index - 1];
    return true;
}

bool WalkBth(Context& ctx, Heap& heap, uint32_t hidHeader, uint8_t cbKey, uint8_t cbEnt, const std::string& name,
             const std::function<void(const BthRecord&)>& visit) {
    const uint8_t* h;
    size_t n;
    if (!heap.item(hidHeader, h, n, "BTHHEADER")) return false;
    if (n != 8) {
        ctx.error("bth.header", name, "BTHHEADER", heap.fileOffset(hidHeader), "8 bytes", std::to_string(n));
        return false;
    }
    if (h[0] != 0xB5) {
        ctx.error("bth.header", name, "BTHHEADER.bType", heap.fileOffset(hidHeader), "0xB5", Hex(h[0]));
        return false;
    }
    if (h[1] != cbKey || h[2] != cbEnt) {
        ctx.error("bth.header", name, "BTHHEADER.cbKey/cbEnt", heap.fileOffset(hidHeader) + 1, std::to_string(cbKey) + "/" + std::to_string(cbEnt),
                  std::to_string(h[1]) + "/" + std::to_string(h[2]));
        return false;
    }
    const uint8_t levels = h[3];
    const uint32_t root = Le32(h + 4);
    if (root == 0) return true;
    if (levels > 8) {
        ctx.error("bth.header", name, "BTHHEADER.bIdxLevels", heap.fileOffset(hidHeader) + 3, "<= 8", std::to_string(levels));
        return false;
    }
    bool ok = true;
    bool havePrev = false;
    uint64_t prev = 0;
    std::unordered_set<uint32_t> seen;  // an index record pointing at a reached item again would loop or repeat
    std::function<void(uint32_t, int, bool, uint64_t)> walk = [&](uint32_t hid, int level, bool haveKey, uint64_t key) {
        const uint8_t* p;
        size_t sz;
        if (!seen.insert(hid).second) {
            ctx.error("bth.loop", name, "records " + Hex(hid), heap.fileOffset(hid), "each BTH item reached once", "reached again");
            ok = false;
            return;
        }
        if (!heap.item(hid, p, sz, level ? "BTH index record" : "BTH leaf records")) {
            ok = false;
            return;
        }
        const size_t rec = cbKey + (level ? 4 : cbEnt);
        if (sz % rec != 0 || sz == 0) {
            ctx.error("bth.records", name, "records " + Hex(hid), heap.fileOffset(hid), "a non-empty multiple of " + std::to_string(rec) + " bytes",
                      std::to_string(sz));
            ok = false;
            return;
        }
        for (size_t i = 0; i < sz / rec; ++i) {
            const uint8_t* r = p + i * rec;
            const uint64_t k = KeyValue(r, cbKey);
            const uint64_t off = heap.fileOffset(hid) + i * rec;
            if (i == 0 && haveKey && k != key)
                ctx.error("bth.key", name, "records " + Hex(hid), off, Hex(key) + " (key in the index record)", Hex(k));
            if (level) {
                walk(Le32(r + cbKey), level - 1, true, k);
            } else {
                if (havePrev && k <= prev)
                    ctx.error("bth.order", name, "key", off, "> " + Hex(prev), Hex(k), "keys must ascend strictly");
                havePrev = true;
                prev = k;
                visit(BthRecord{r, r + cbKey, off});
            }
        }
    };
    walk(root, levels, false, 0);
    return ok;
}

namespace {

const char* NidKind(uint32_t nid) {
    if (nid == 0x21) return "message store";
    if (nid == 0x61) return "name-to-id map";
    switch (nid & 0x1F) {
    case 0x02: return "folder";
    case 0x03: return "search folder";
    case 0x04: return "message";
    case 0x05: return "attachment";
    case 0x08: return "associated message";
    case 0x0D: return "hierarchy table";
    case 0x0E: return "contents table";
    case 0x0F: return "FAI contents table";
    case 0x10: return "search contents table";
    case 0x11: return "attachment table";
    case 0x12: return "recipient table";
    }
    return "node";
}

bool ExpectPc(uint32_t nid, bool sub) {
    const uint32_t t = nid & 0x1F;
    if (sub) return t == 0x05 || t == 0x04;
    return t == 0x02 || t == 0x03 || t == 0x04 || t == 0x08 || nid == 0x21 || nid == 0x61;
}
bool ExpectTc(uint32_t nid) {
    const uint32_t t = nid & 0x1F;
    return t >= 0x0D && t <= 0x12;
}

class LtpChecker {
public:
    explicit LtpChecker(Context& ctx) : ctx_(ctx) {}

    void node(uint32_t nid, uint64_t bidData, uint64_t bidSub, const std::string& where, NodeFacts* facts, int depth) {
        // A subnode tree that contains itself would never end; one shared by many entries
        // would multiply the work, so every subnode tree is followed once per top-level node.
        if (depth == 0) followed_.clear();
        if (bidSub && !followed_.insert(bidSub).second) {
            const BbtEntry* e = ctx_.findBlock(bidSub);
            if (onPath_.count(bidSub))
                ctx_.error("subnode.loop", where, "bidSub", e ? e->ib : 0, "a subnode tree that does not contain itself", Hex(bidSub));
            if (facts) facts->client = 0;
            return;
        }
        struct PathGuard {
            std::unordered_set<uint64_t>& path;
            uint64_t bid;
            ~PathGuard() { path.erase(bid); }
        } guard{onPath_, bidSub};
        if (bidSub) onPath_.insert(bidSub);
        std::vector<SubnodeEntry> subs;
        if (bidSub && !ctx_.subnodes(bidSub, subs)) {
            const BbtEntry* e = ctx_.findBlock(bidSub);
            ctx_.error("subnode.tree", where, "bidSub", e ? e->ib : 0, "readable subnode tree", Hex(bidSub));
            subs.clear();
        }
        const bool pc = ExpectPc(nid, depth > 0), tc = ExpectTc(nid);
        if ((pc || tc) && bidData) {
            Heap heap;
            if (heap.load(ctx_, bidData, where)) {
                const uint8_t want = pc ? 0xBC : 0x7C;
                if (facts) facts->offset = heap.fileOffset(1);
                if (heap.clientSig != want && (nid & 0x1F) == 0x10 && KnownClientSig(heap.clientSig)) {
                    // Outlook keeps other heap kinds under search contents table NIDs (e.g. 0x730 with 0xAC).
                } else if (heap.clientSig != want) {
                    ctx_.error("hn.client_sig", where, "HNHDR.bClientSig", heap.fileOffset(1) + 3, Hex(want) + (pc ? " (PC)" : " (TC)"),
                               Hex(heap.clientSig));
                } else if (pc) {
                    checkPc(heap, subs, where, facts, nid == 0x21 && depth == 0);
                } else {
                    std::vector<TableRow> rows;
                    const bool keepRows = depth == 0 && ((nid & 0x1F) == 0x0D || (nid & 0x1F) == 0x0E || (nid & 0x1F) == 0x0F);
                    const uint32_t* cells = (nid & 0x1F) == 0x0D ? kHierarchyCells : kContentsCells;
                    uint32_t count = checkTc(heap, subs, where, keepRows ? &rows : nullptr, keepRows ? cells : nullptr);
                    if (facts) {
                        facts->client = 0x7C;
                        facts->rowCount = count;
                    }
                    if (keepRows) ctx_.tableRows[nid] = std::move(rows);
                    checkTemplateColumns(nid, depth, where, heap.fileOffset(heap.hidUserRoot));
                }
            }
        } else if ((pc || tc) && depth == 0) {
            ctx_.error("hn.data", where, "bidData", 0, pc ? "a property context" : "a table context", "no data block");
        }
        const bool message = (nid & 0x1F) == 0x04 || (nid & 0x1F) == 0x08;
        if (depth >= kMaxSubnodeDepth) {
            const BbtEntry* e = ctx_.findBlock(bidSub);
            if (!subs.empty())
                ctx_.warn("subnode.depth", where, "bidSub", e ? e->ib : 0, "at most " + std::to_string(kMaxSubnodeDepth) + " nested subnode levels",
                          "deeper", "not checked below");
            if (facts) facts->client = 0;  // facts incomplete: no message checks on it
            return;
        }
        if (message && facts) {
            facts->recipientTable = 0;
            facts->attachSubnodes = 0;
        }
        for (const SubnodeEntry& s : subs) {
            const std::string sw = where + " / subnode " + Hex(s.nid) + " (" + NidKind(s.nid) + ")";
            NodeFacts sub;
            lastRowIds_.clear();
            const bool known = ExpectPc(s.nid, true) || ExpectTc(s.nid);
            if (!known) continue;  // raw values (NID_TYPE_LTP) and other data
            node(s.nid, s.bidData, s.bidSub, sw, &sub, depth + 1);
            if (message && facts) {
                if (s.nid == 0x692) facts->recipientTable = sub.client == 0x7C ? 1 : 0;
                if (s.nid == 0x671) {
                    facts->attachRows = int32_t(sub.rowCount);
                    // Each attachment row is keyed by the NID of its attachment subnode.
                    if (sub.client == 0x7C)
                        for (uint32_t id : lastRowIds_)
                            if ((id & 0x1F) != 0x05 ||
                                std::none_of(subs.begin(), subs.end(), [&](const SubnodeEntry& e) { return e.nid == id; }))
                                ctx_.error("message.attachment_row", sw, "row " + Hex(id), sub.offset, "the NID of an attachment subnode",
                                           Hex(id));
                }
                if ((s.nid & 0x1F) == 0x05) ++facts->attachSubnodes;
                if (s.nid == 0x692 && sub.client == 0x7C && std::count(lastRowIds_.begin(), lastRowIds_.end(), 0u))
                    ctx_.warn("message.recipient_row", sw, "dwRowID", sub.offset, "row ids > 0", "a row with id 0");
            }
            if ((s.nid & 0x1F) == 0x04) CheckMessageFacts(ctx_, sub, sw, sub.offset);  // embedded message
            if ((s.nid & 0x1F) == 0x05) checkAttachmentFacts(sub, sw);
        }
    }

    // Named property indexes defined by the name-to-id map ([MS-PST] §2.4.7): the entry stream
    // (0x0003) holds 8-byte NAMEID records {dwPropertyID, N:1 wGuid:15, wPropIdx}; a PC or TC may
    // use property ID 0x8000 + wPropIdx only for an index listed there.
    void loadNameMap() {
        Values v;
        if (!loadPcValues(0x61, v)) return;
        haveNameMap_ = true;
        const NbtEntry* n = ctx_.findNode(0x61);
        const uint64_t off = n ? n->entryOff : 0;
        const std::string S = "node 0x61 (name-to-id map)";
        if (!v.count(0x00010003))
            ctx_.warn("nameid.bucket_count", S, "PidTagNameidBucketCount", off, "present", "missing");
        const size_t guids = v.count(0x00020102) ? v[0x00020102].size() : 0;
        if (guids % 16)
            ctx_.error("nameid.guid_stream", S, "PidTagNameidStreamGuid", off, "a multiple of 16 bytes", std::to_string(guids));
        const std::vector<uint8_t>& e = v[0x00030102];
        const std::vector<uint8_t>& guidStream = v[0x00020102];
        const std::vector<uint8_t>& strings = v[0x00040102];
        if (e.size() % 8)
            ctx_.error("nameid.entry_stream", S, "PidTagNameidStreamEntry", off, "a multiple of 8 bytes", std::to_string(e.size()));
        for (size_t i = 0; i + 8 <= e.size(); i += 8) {
            const uint16_t guid = Le16(e.data() + i + 4) >> 1, idx = Le16(e.data() + i + 6);
            if (guid >= 3 + guids / 16)
                ctx_.error("nameid.guid_index", S, "NAMEID[" + std::to_string(i / 8) + "].wGuid", off,
                           "< " + std::to_string(3 + guids / 16) + " (1, 2 or a GUID stream entry + 3)", std::to_string(guid));
            NamedPropertyName& name = names_[idx];
            name.isString = Le16(e.data() + i + 4) & 1;
            if (guid == 2) name.guid = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
            else if (guid >= 3 && size_t(guid - 3) * 16 + 16 <= guidStream.size())
                std::copy_n(guidStream.begin() + (guid - 3) * 16, 16, name.guid.begin());
            name.lid = Le32(e.data() + i);
            if (name.isString) name.text = StringName(strings, name.lid);
        }
    }

    // A property id of 0x8000 and up is a named property: its name is in the name-to-id map,
    // and a name of a known type is stored with that type (a value of another type sits under
    // an id that names something else: a mislabelled value).
    void checkNamedId(uint16_t id, uint16_t type, const std::string& where, const std::string& field, uint64_t off) {
        if (id < 0x8000 || !haveNameMap_ || ctx_.muted) return;
        auto named = names_.find(uint16_t(id - 0x8000));
        if (named == names_.end()) {
            ctx_.error("nameid.missing", where, field, off, "an entry for " + Hex(id) + " in the name-to-id map", "none");
            return;
        }
        const NamedType known = KnownNamedType(named->second);
        if (known.type) {
            if (!SameNamedType(known.type, type))
                ctx_.error("nameid.type", where, field, off, "type " + Hex(known.type) + " of " + known.name + ", the name of " + Hex(id),
                           Hex(type));
            return;
        }
        // A name whose type is not known here: its values agree with the first one met.
        auto [first, added] = namedTypes_.try_emplace(id, type);
        if (!added && !SameNamedType(first->second, type))
            ctx_.warn("nameid.type_mixed", where, field, off, "type " + Hex(first->second) + " as elsewhere in the store", Hex(type));
    }

    // Column sets of the table templates ([MS-PST] §2.4.4.4-§2.4.4.6, §2.4.5.3, §2.4.6.1), read quietly.
    void loadTemplates() {
        for (uint32_t nid : {0x60Du, 0x60Eu, 0x60Fu, 0x610u, 0x671u, 0x692u}) {
            const NbtEntry* n = ctx_.findNode(nid);
            if (!n) continue;
            ++ctx_.muted;
            lastColumns_.clear();
            NodeFacts f;
            node(nid, n->bidData, 0, "", &f, 0);
            if (f.client == 0x7C) templates_[nid & 0x1F] = Template{nid, lastColumns_};
            --ctx_.muted;
        }
        ctx_.tableRows.clear();
    }

private:
    // A table made from a template keeps at least the template's columns.
    void checkTemplateColumns(uint32_t nid, int depth, const std::string& where, uint64_t off) {
        if (ctx_.muted) return;
        const bool isTemplate = depth == 0 && (nid == 0x60D || nid == 0x60E || nid == 0x60F || nid == 0x610 || nid == 0x671 || nid == 0x692);
        auto t = templates_.find(nid & 0x1F);
        if (isTemplate || t == templates_.end()) return;
        size_t missing = 0;
        uint32_t first = 0;
        for (uint32_t tag : t->second.columns)
            if (std::find(lastColumns_.begin(), lastColumns_.end(), tag) == lastColumns_.end() && missing++ == 0) first = tag;
        // Outlook's own stores have contents tables without some template columns (dist-list.pst
        // of the sample stores), so this is only a warning.
        if (missing)
            ctx_.warn("tc.template_column", where, "TCOLDESC", off, "every column of template " + Hex(t->second.nid),
                      std::to_string(missing) + " missing, first " + Hex(first));
    }

    void checkAttachmentFacts(const NodeFacts& f, const std::string& where) {
        if (f.client != 0xBC) return;
        for (FactProp p : {fpAttachSize, fpAttachMethod, fpRenderingPosition})
            if (!(f.present & (1u << p)))
                ctx_.warn("attachment.property", where, kFactProps[p].name, f.offset, "present ([MS-PST] §2.4.6.2.1)", "missing");
    }

    void checkPc(Heap& heap, const std::vector<SubnodeEntry>& subs, const std::string& where, NodeFacts* facts, bool store) {
        if (facts) facts->client = 0xBC;
        WalkBth(ctx_, heap, heap.hidUserRoot, 2, 6, where + " PC", [&](const BthRecord& r) {
            const uint16_t id = Le16(r.key), type = Le16(r.data);
            const uint32_t value = Le32(r.data + 2);
            const std::string field = "property " + Hex(uint32_t(id) << 16 | type);
            checkNamedId(id, type, where, field, r.offset);
            const int fixed = FixedSize(type);
            if (fixed < 0) {
                ctx_.warn("pc.type", where, field, r.offset, "a known property type", Hex(type));
            } else if (fixed == 0 || fixed > 4) {
                checkHnid(heap, subs, where, field, value, fixed, r.offset);
            }
            if (store && type == 0x0102 && IsHnid(value) && value) keepStoreValue(heap, id, value, r.offset);
            if (!facts) return;
            for (uint32_t p = 0; p < fpCount; ++p) {
                if (kFactProps[p].id != id) continue;
                if (kFactProps[p].type != type) {
                    ctx_.error("pc.property_type", where, field, r.offset, Hex(kFactProps[p].type) + " for " + kFactProps[p].name, Hex(type));
                    continue;
                }
                facts->present |= 1u << p;
                if (p == fpContentCount) facts->contentCount = value;
                if (p == fpContentUnread) facts->contentUnread = value;
                if (p == fpMessageFlags) facts->messageFlags = value;
                if (p == fpMessageSize) facts->messageSize = value;
                if (p == fpSubfolders) facts->subfolders = (value & 0xFF) != 0;
            }
        });
    }

    void keepStoreValue(Heap& heap, uint16_t id, uint32_t hid, uint64_t off) {
        const uint8_t* p;
        size_t n;
        if (!heap.item(hid, p, n)) return;
        StoreInfo& si = ctx_.store;
        if (id == 0x0FF9 && n == 16) {
            si.haveRecordKey = true;
            std::copy(p, p + 16, si.recordKey);
            return;
        }
        StoreInfo::EntryId* e = id == 0x35E0 ? &si.ipmSubtree : id == 0x35E3 ? &si.wastebasket : id == 0x35E7 ? &si.finder : nullptr;
        if (!e) return;
        e->present = true;
        e->size = n;
        e->offset = off;
        if (n == 24) {
            std::copy(p + 4, p + 20, e->uid);
            e->nid = Le32(p + 20);
        }
    }

    void checkHnid(Heap& heap, const std::vector<SubnodeEntry>& subs, const std::string& where, const std::string& field,
                   uint32_t hnid, int fixed, uint64_t off) {
        if (hnid == 0) return;  // empty value
        if (IsHnid(hnid)) {
            const uint8_t* p;
            size_t n;
            if (!heap.item(hnid, p, n, field.c_str())) return;
            if (fixed > 0 && n != size_t(fixed))
                ctx_.error("pc.value_size", where, field, off, std::to_string(fixed) + " bytes", std::to_string(n));
            return;
        }
        const bool found = std::any_of(subs.begin(), subs.end(), [&](const SubnodeEntry& s) { return s.nid == hnid; });
        if (!found) ctx_.error("pc.subnode", where, field, off, "a subnode holding the value", Hex(hnid) + " not in the subnode tree");
    }

    using Values = std::unordered_map<uint32_t, std::vector<uint8_t>>;  // property tag -> value bytes
    static constexpr size_t kMaxCompared = 1 << 20;

    // The bytes of a value: inline ones from the 4-byte field, others through the HNID.
    bool valueBytes(Heap& heap, const std::vector<SubnodeEntry>& subs, uint16_t type, const uint8_t* field, size_t fieldSize,
                    std::vector<uint8_t>& out) {
        const int fixed = FixedSize(type);
        out.clear();
        if (fixed > 0 && size_t(fixed) <= fieldSize) {
            out.assign(field, field + fixed);
            return true;
        }
        if (fieldSize != 4) return false;
        const uint32_t hnid = Le32(field);
        if (hnid == 0) return true;
        if (IsHnid(hnid)) {
            const uint8_t* p;
            size_t n;
            if (!heap.item(hnid, p, n)) return false;
            out.assign(p, p + n);
            return true;
        }
        auto it = std::find_if(subs.begin(), subs.end(), [&](const SubnodeEntry& e) { return e.nid == hnid; });
        std::vector<uint64_t> bids;
        if (it == subs.end() || !ctx_.dataBlocks(it->bidData, bids)) return false;
        std::vector<uint8_t> block;
        for (uint64_t bid : bids) {
            if (!ctx_.readBlock(bid, block) || out.size() + block.size() > kMaxCompared) return false;
            out.insert(out.end(), block.begin(), block.end());
        }
        return true;
    }

    // Property values of a top-level PC, read quietly (its own check reports its faults).
    bool loadPcValues(uint32_t nid, Values& values) {
        const NbtEntry* n = ctx_.findNode(nid);
        if (!n || !n->bidData) return false;
        ++ctx_.muted;
        Heap heap;
        std::vector<SubnodeEntry> subs;
        bool ok = heap.load(ctx_, n->bidData, "") && heap.clientSig == 0xBC && (!n->bidSub || ctx_.subnodes(n->bidSub, subs));
        if (ok)
            ok = WalkBth(ctx_, heap, heap.hidUserRoot, 2, 6, "", [&](const BthRecord& r) {
                const uint16_t type = Le16(r.data);
                std::vector<uint8_t> v;
                if (valueBytes(heap, subs, type, r.data + 2, 4, v)) values[uint32_t(Le16(r.key)) << 16 | type] = std::move(v);
            });
        --ctx_.muted;
        return ok;
    }

    struct Column { uint32_t tag; uint16_t ib; uint8_t cb, bit; };

    // One row: existence bits, variable-size cells, the copied cells the messaging checks need.
    void checkRow(Heap& heap, const std::vector<SubnodeEntry>& subs, const std::string& where, const uint8_t* row, size_t i,
                  uint64_t rowOff, uint16_t cebOffset, const std::vector<Column>& columns, const uint32_t* copyCells,
                  std::vector<uint32_t>& ids, std::vector<TableRow>* rowsOut) {
        const uint8_t* ceb = row + cebOffset;
        TableRow out;
        out.id = Le32(row);
        out.offset = rowOff;
        ids.push_back(out.id);
        Values child;
        const bool compare = copyCells && loadPcValues(out.id, child);
        for (const Column& c : columns) {
            const bool exists = (ceb[c.bit / 8] >> (7 - c.bit % 8)) & 1;
            const std::string field = "row " + std::to_string(i) + " cell " + Hex(c.tag);
            if (!exists) {
                if (c.tag == kTagLtpRowId)
                    ctx_.error("tc.cell_existence", where, field, rowOff, "PidTagLtpRowId present", "CEB bit clear");
                else if (std::any_of(row + c.ib, row + c.ib + c.cb, [](uint8_t b) { return b != 0; }))
                    ctx_.error("tc.absent_cell", where, field, rowOff + c.ib, "zero bytes for a cell that does not exist", "non-zero");
                continue;
            }
            // Row versions are handed out from the header's dwUnique, which stays ahead of them.
            if (c.tag == kTagLtpRowVer && c.cb == 4 && Le32(row + c.ib) > ctx_.hdr.dwUnique)
                ctx_.warn("tc.row_version", where, field, rowOff + c.ib,
                          "at most HEADER dwUnique " + std::to_string(ctx_.hdr.dwUnique), std::to_string(Le32(row + c.ib)));
            const int fixed = FixedSize(uint16_t(c.tag));
            if ((fixed == 0 || fixed == 16) && c.cb == 4) {
                const uint32_t hnid = Le32(row + c.ib);
                const uint8_t* p;
                size_t n;
                if (hnid == 0) {
                } else if (IsHnid(hnid)) {
                    if (heap.item(hnid, p, n, nullptr)) {
                        if (fixed == 16 && n != 16)
                            ctx_.error("tc.cell_value", where, field, rowOff + c.ib, "16 bytes", std::to_string(n));
                    } else {
                        ctx_.error("tc.cell_value", where, field, rowOff + c.ib, "a HID that resolves", Hex(hnid));
                    }
                } else if (std::none_of(subs.begin(), subs.end(), [&](const SubnodeEntry& s) { return s.nid == hnid; })) {
                    ctx_.error("tc.cell_value", where, field, rowOff + c.ib, "a subnode holding the value", Hex(hnid) + " not found");
                }
            }
            // A folder table row repeats properties of the object it lists ([MS-PST] §2.4.4.3).
            auto pv = compare ? child.find(c.tag) : child.end();
            if (pv != child.end() && c.tag != 0x0E080003) {  // sizes differ in Outlook's files (checked as a warning)
                std::vector<uint8_t> cell;
                if (valueBytes(heap, subs, uint16_t(c.tag), row + c.ib, c.cb, cell) && cell != pv->second)
                    ctx_.error("folder.row_cell", where, field, rowOff + c.ib, Bytes(pv->second) + " (value in object " + Hex(out.id) + ")",
                               Bytes(cell));
            }
            for (int k = 0; copyCells && k < 3; ++k)
                if (copyCells[k] && copyCells[k] == c.tag) {
                    out.present |= uint8_t(1u << k);
                    out.cell[k] = c.cb == 1 ? row[c.ib] : c.cb == 2 ? Le16(row + c.ib) : Le32(row + c.ib);
                }
        }
        if (rowsOut) rowsOut->push_back(out);
    }

    // Returns the number of rows.
    uint32_t checkTc(Heap& heap, const std::vector<SubnodeEntry>& subs, const std::string& where, std::vector<TableRow>* rowsOut,
                     const uint32_t* copyCells) {
        const uint8_t* t;
        size_t n;
        if (!heap.item(heap.hidUserRoot, t, n, "TCINFO")) return 0;
        const uint64_t tOff = heap.fileOffset(heap.hidUserRoot);
        if (n < 22 || t[0] != 0x7C) {
            ctx_.error("tc.info", where, "TCINFO.bType", tOff, "0x7C in an item of >= 22 bytes", Hex(n ? t[0] : 0) + " / " + std::to_string(n));
            return 0;
        }
        const uint8_t cCols = t[1];
        const uint16_t rgib[4] = {Le16(t + 2), Le16(t + 4), Le16(t + 6), Le16(t + 8)};
        const uint32_t hidRowIndex = Le32(t + 10), hnidRows = Le32(t + 14);
        if (n != 22 + 8 * size_t(cCols)) {
            ctx_.error("tc.info", where, "TCINFO", tOff, std::to_string(22 + 8 * cCols) + " bytes for " + std::to_string(cCols) + " columns",
                       std::to_string(n));
            return 0;
        }
        if (!(rgib[0] <= rgib[1] && rgib[1] <= rgib[2] && rgib[2] <= rgib[3]))
            ctx_.error("tc.info", where, "TCINFO.rgib", tOff + 2, "TCI_4b <= TCI_2b <= TCI_1b <= TCI_bm",
                       std::to_string(rgib[0]) + "," + std::to_string(rgib[1]) + "," + std::to_string(rgib[2]) + "," + std::to_string(rgib[3]));
        // TCI_bm is the end of the cell existence block, i.e. the row size.
        const size_t rowSize = rgib[3];
        if (size_t(rgib[2]) + (cCols + 7) / 8 != rgib[3])
            ctx_.error("tc.info", where, "TCINFO.rgib[TCI_bm]", heap.fileOffset(heap.hidUserRoot) + 8,
                       std::to_string(rgib[2] + (cCols + 7) / 8) + " (TCI_1b + CEB of " + std::to_string(cCols) + " columns)",
                       std::to_string(rgib[3]));
        std::vector<Column> columns;
        uint32_t prevTag = 0;
        bool haveRowId = false, haveRowVer = false;
        std::set<uint8_t> bits;
        for (uint8_t c = 0; c < cCols; ++c) {
            const uint8_t* d = t + 22 + 8 * c;
            const uint32_t tag = Le32(d);
            const uint16_t ib = Le16(d + 4);
            const uint8_t cb = d[6], iBit = d[7];
            const std::string field = "TCOLDESC[" + std::to_string(c) + "] " + Hex(tag);
            const uint64_t cOff = tOff + 22 + 8 * c;
            checkNamedId(uint16_t(tag >> 16), uint16_t(tag), where, field, cOff);
            if (c && tag <= prevTag) ctx_.error("tc.column_order", where, field, cOff, "tag > " + Hex(prevTag), Hex(tag), "columns sorted by tag");
            prevTag = tag;
            if (tag == kTagLtpRowId) {
                haveRowId = true;
                if (ib != 0 || cb != 4 || iBit != 0)
                    ctx_.error("tc.row_id", where, field, cOff, "ibData 0, cbData 4, iBit 0",
                               "ibData " + std::to_string(ib) + ", cbData " + std::to_string(cb) + ", iBit " + std::to_string(iBit));
            }
            if (tag == kTagLtpRowVer) {
                haveRowVer = true;
                if (ib != 4 || cb != 4 || iBit != 1)
                    ctx_.error("tc.row_ver", where, field, cOff, "ibData 4, cbData 4, iBit 1",
                               "ibData " + std::to_string(ib) + ", cbData " + std::to_string(cb) + ", iBit " + std::to_string(iBit));
            }
            const uint16_t type = uint16_t(tag);
            const int fixed = FixedSize(type);
            const int wantCb = (fixed == 0 || fixed == 16) ? 4 : fixed;
            if (fixed >= 0 && cb != wantCb)
                ctx_.error("tc.column_size", where, field, cOff, "cbData " + std::to_string(wantCb), std::to_string(cb));
            const bool placed = cb >= 4 ? ib + cb <= rgib[0] : cb == 2 ? (ib >= rgib[0] && ib + 2 <= rgib[1])
                                                             : cb == 1 ? (ib >= rgib[1] && ib + 1 <= rgib[2]) : false;
            if (!placed)
                ctx_.error("tc.column_place", where, field, cOff, "inside the " + std::to_string(cb) + "-byte cell group",
                           "ibData " + std::to_string(ib));
            if (placed && ib + cb <= rowSize && iBit < cCols) columns.push_back(Column{tag, ib, cb, iBit});
            if (iBit >= cCols || !bits.insert(iBit).second)
                ctx_.error("tc.column_bit", where, field, cOff, "a unique iBit < " + std::to_string(cCols), std::to_string(iBit));
        }
        if (!haveRowId) ctx_.error("tc.row_id", where, "TCOLDESC", tOff + 22, "column PidTagLtpRowId 0x67F20003", "missing");
        if (!haveRowVer) ctx_.error("tc.row_ver", where, "TCOLDESC", tOff + 22, "column PidTagLtpRowVer 0x67F30003", "missing");

        // Row matrix: in the heap (HID) or in a subnode (data tree). Rows are visited once, in order,
        // one block at a time; only their ids are kept.
        std::vector<uint32_t> ids;
        const size_t rowsPerBlock = rowSize ? kMaxBlockData / rowSize : 0;
        auto visitRows = [&](const uint8_t* p, size_t count, uint64_t off) {
            for (size_t i = 0; i < count; ++i)
                checkRow(heap, subs, where, p + i * rowSize, ids.size(), off + i * rowSize, rgib[2], columns, copyCells, ids, rowsOut);
        };
        if (hnidRows && rowSize) {
            if (IsHnid(hnidRows)) {
                const uint8_t* p;
                size_t sz;
                if (heap.item(hnidRows, p, sz, "TCINFO.hnidRows")) {
                    if (sz % rowSize)
                        ctx_.error("tc.row_matrix", where, "TCINFO.hnidRows", tOff + 14, "a multiple of the row size " + std::to_string(rowSize),
                                   std::to_string(sz) + " bytes");
                    visitRows(p, sz / rowSize, heap.fileOffset(hnidRows));
                }
            } else {
                auto it = std::find_if(subs.begin(), subs.end(), [&](const SubnodeEntry& s) { return s.nid == hnidRows; });
                std::vector<uint64_t> bids;
                std::vector<uint8_t> block;
                if (it == subs.end()) {
                    ctx_.error("tc.row_matrix", where, "TCINFO.hnidRows", tOff + 14, "a subnode holding the rows", Hex(hnidRows) + " not found");
                } else if (!ctx_.dataBlocks(it->bidData, bids)) {
                    ctx_.error("tc.row_matrix", where, "TCINFO.hnidRows", tOff + 14, "a readable data tree", Hex(it->bidData));
                } else {
                    for (size_t i = 0; i < bids.size(); ++i) {
                        if (!ctx_.readBlock(bids[i], block)) break;
                        const size_t cb = block.size();
                        const BbtEntry* rb = ctx_.findBlock(bids[i]);
                        const uint64_t rbOff = rb ? rb->ib : 0;
                        const bool last = i + 1 == bids.size();
                        // Rows never straddle blocks; every block but the last holds rowsPerBlock rows.
                        if (!last && cb / rowSize != rowsPerBlock)
                            ctx_.error("tc.rows_per_block", where, "row block " + std::to_string(i) + " " + Hex(bids[i]), rbOff,
                                       std::to_string(rowsPerBlock) + " rows of " + std::to_string(rowSize) + " bytes",
                                       std::to_string(cb) + " bytes");
                        if (last && cb % rowSize)
                            ctx_.error("tc.row_matrix", where, "row block " + std::to_string(i) + " " + Hex(bids[i]), rbOff,
                                       "a multiple of the row size " + std::to_string(rowSize), std::to_string(cb) + " bytes");
                        visitRows(block.data(), cb / rowSize, rbOff);
                    }
                }
            }
        }
        const uint64_t rows = ids.size();

        // Row index: dwRowID -> row number, one entry per row.
        uint64_t entries = 0;
        std::vector<bool> hit(rows, false);
        if (hidRowIndex) {
            WalkBth(ctx_, heap, hidRowIndex, 4, 4, where + " row index", [&](const BthRecord& r) {
                ++entries;
                const uint32_t id = Le32(r.key), index = Le32(r.data);
                if (index >= rows) {
                    ctx_.error("tc.row_index", where, "row index " + Hex(id), r.offset, "row number < " + std::to_string(rows), std::to_string(index));
                    return;
                }
                if (hit[index]) ctx_.error("tc.row_index", where, "row index " + Hex(id), r.offset, "each row listed once", "row " + std::to_string(index) + " again");
                hit[index] = true;
                if (ids[index] != id)
                    ctx_.error("tc.row_id", where, "row " + std::to_string(index) + " dwRowID", r.offset, Hex(id) + " (row index key)", Hex(ids[index]));
            });
        }
        lastRowIds_ = ids;
        lastColumns_.clear();
        for (const Column& c : columns) lastColumns_.push_back(c.tag);
        if (entries != rows)
            ctx_.error("tc.row_count", where, "row index", heap.fileOffset(hidRowIndex), std::to_string(rows) + " entries (rows in the matrix)", std::to_string(entries));
        return uint32_t(rows);
    }

    Context& ctx_;
    std::vector<uint32_t> lastRowIds_;   // row ids of the table checked last
    std::vector<uint32_t> lastColumns_;  // column tags of the table checked last
    bool haveNameMap_ = false;
    std::unordered_set<uint64_t> followed_;  // subnode trees followed for the current top-level node
    std::unordered_set<uint64_t> onPath_;    // subnode trees between the top-level node and here
    std::unordered_map<uint16_t, NamedPropertyName> names_;  // wPropIdx -> name, from the name-to-id map
    std::unordered_map<uint16_t, uint16_t> namedTypes_;      // id of a name not in NamedTypes -> first type seen
    struct Template {
        uint32_t nid;
        std::vector<uint32_t> columns;
    };
    std::unordered_map<uint32_t, Template> templates_;  // by table NID type
};


}  // namespace

void CheckMessageFacts(Context& ctx, const NodeFacts& f, const std::string& where, uint64_t off) {
    if (f.client != 0xBC) return;
    for (FactProp p : {fpMessageClass, fpMessageFlags, fpMessageSize, fpMessageStatus, fpCreationTime, fpLastModTime, fpSearchKey})
        if (!(f.present & (1u << p)))
            // Outlook's own messages come without PidTagMessageStatus, so that one is only a warning.
            ctx.report(p == fpMessageStatus ? Severity::Warning : Severity::Error, "message.property", where, kFactProps[p].name, off,
                       "present ([MS-PST] §2.4.5.1.1)", "missing");
    if (f.recipientTable != 1)
        // Outlook itself leaves the table out of messages that never had recipients (drafts, posts, contacts).
        ctx.warn("message.recipients", where, "subnode 0x692", off, "a recipient table", "missing");
    const int32_t rows = std::max(f.attachRows, 0);
    if (f.attachRows >= 0 && f.attachRows != f.attachSubnodes)
        ctx.error("message.attachments", where, "attachment table 0x671", off,
                  std::to_string(f.attachSubnodes) + " rows (attachment subnodes)", std::to_string(f.attachRows));
    if (f.attachRows < 0 && f.attachSubnodes > 0)
        ctx.error("message.attachments", where, "subnode 0x671", off, "an attachment table for " + std::to_string(f.attachSubnodes) + " attachment(s)", "missing");
    const bool flag = f.messageFlags & 0x10;
    if ((f.present & (1u << fpMessageFlags)) && flag != (rows > 0 || f.attachSubnodes > 0))
        ctx.error("message.has_attach", where, "PidTagMessageFlags mfHasAttach", off,
                  rows > 0 ? "set (attachments present)" : "clear (no attachments)", flag ? "set" : "clear");
}

void CheckLtp(Context& ctx) {
    LtpChecker checker(ctx);
    checker.loadNameMap();
    checker.loadTemplates();
    for (const NbtEntry& n : ctx.nbt) {
        if (!ExpectPc(n.nid, false) && !ExpectTc(n.nid)) continue;
        NodeFacts facts;
        checker.node(n.nid, n.bidData, n.bidSub, "node " + Hex(n.nid) + " (" + NidKind(n.nid) + ")", &facts, 0);
        ctx.facts[n.nid] = facts;
    }
}

}  // namespace bv::pstcheck
