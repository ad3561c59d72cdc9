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
constexpr uint32_t kTagLtpRowId = 0x67F20003;
constexpr uint32_t kTagLtpRowVer = 0x67F30003;

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

}  // namespace

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
            const auto e = ctx_.findBlock(bidSub);
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
            const auto e = ctx_.findBlock(bidSub);
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
            const auto e = ctx_.findBlock(bidSub);
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
        const auto n = ctx_.findNode(0x61);
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
            const auto n = ctx_.findNode(nid);
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
        const auto n = ctx_.findNode(nid);
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

    // The column descriptors of a TCINFO at `t` (file offset `tOff`): order, sizes and
    // places of the cells, the row id and version columns. The columns that can be read.
    std::vector<Column> checkColumns(const uint8_t* t, uint8_t cCols, const uint16_t* rgib, size_t rowSize, uint64_t tOff,
                                     const std::string& where) {
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
        return columns;
    }

    // The rows of a row matrix, `rowSize` bytes each, given to `visitRows` block by block
    // (pointer, count, file offset): a heap item or a subnode's data tree.
    void visitRowMatrix(Heap& heap, const std::vector<SubnodeEntry>& subs, const std::string& where, uint32_t hnidRows,
                        size_t rowSize, uint64_t tOff, const std::function<void(const uint8_t*, size_t, uint64_t)>& visitRows) {
        const size_t rowsPerBlock = kMaxBlockData / rowSize;
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
                    const auto rb = ctx_.findBlock(bids[i]);
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
        const std::vector<Column> columns = checkColumns(t, cCols, rgib, rowSize, tOff, where);

        // Row matrix: in the heap (HID) or in a subnode (data tree). Rows are visited once, in order,
        // one block at a time; only their ids are kept.
        std::vector<uint32_t> ids;
        auto visitRows = [&](const uint8_t* p, size_t count, uint64_t off) {
            for (size_t i = 0; i < count; ++i)
                checkRow(heap, subs, where, p + i * rowSize, ids.size(), off + i * rowSize, rgib[2], columns, copyCells, ids, rowsOut);
        };
        if (hnidRows && rowSize) visitRowMatrix(heap, subs, where, hnidRows, rowSize, tOff, visitRows);
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
    ctx.forEachNode([&](const NbtEntry& n) {
        if (!ExpectPc(n.nid, false) && !ExpectTc(n.nid)) return;
        NodeFacts facts;
        checker.node(n.nid, n.bidData, n.bidSub, "node " + Hex(n.nid) + " (" + NidKind(n.nid) + ")", &facts, 0);
        ctx.facts[n.nid] = facts;
    });
}

}  // namespace bv::pstcheck
