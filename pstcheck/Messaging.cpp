// Messaging layer ([MS-PST] §2.4, §2.7.1): mandatory nodes, the message store,
// folders with their tables, and messages.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "Ltp.h"

namespace bv::pstcheck {

const FactPropDef kFactProps[fpCount] = {
    {0x0FF9, 0x0102, "PidTagRecordKey"},
    {0x3001, 0x001F, "PidTagDisplayName"},
    {0x35E0, 0x0102, "PidTagIpmSubTreeEntryId"},
    {0x35E3, 0x0102, "PidTagIpmWastebasketEntryId"},
    {0x35E7, 0x0102, "PidTagFinderEntryId"},
    {0x3602, 0x0003, "PidTagContentCount"},
    {0x3603, 0x0003, "PidTagContentUnreadCount"},
    {0x360A, 0x000B, "PidTagSubfolders"},
    {0x001A, 0x001F, "PidTagMessageClass"},
    {0x0E07, 0x0003, "PidTagMessageFlags"},
    {0x0E08, 0x0003, "PidTagMessageSize"},
    {0x0E17, 0x0003, "PidTagMessageStatus"},
    {0x3007, 0x0040, "PidTagCreationTime"},
    {0x3008, 0x0040, "PidTagLastModificationTime"},
    {0x300B, 0x0102, "PidTagSearchKey"},
    {0x0E20, 0x0003, "PidTagAttachSize"},
    {0x3705, 0x0003, "PidTagAttachMethod"},
    {0x370B, 0x0003, "PidTagRenderingPosition"},
};

namespace {
struct Mandatory {
    uint32_t nid;
    const char* what;
};
const Mandatory kMandatory[] = {
    {0x21, "message store"},
    {0x61, "name-to-id map"},
    {0x122, "root folder"},
    {0x12D, "root folder hierarchy table"},
    {0x12E, "root folder contents table"},
    {0x12F, "root folder FAI contents table"},
    {0x1E1, "search management queue"},
    {0x201, "search activity list"},
    {0x60D, "hierarchy table template"},
    {0x60E, "contents table template"},
    {0x60F, "FAI contents table template"},
    {0x610, "search contents table template"},
    {0x671, "attachment table template"},
    {0x692, "recipient table template"},
};

uint32_t WithType(uint32_t nid, uint32_t type) { return (nid & ~0x1Fu) | type; }

// Bytes of a node's data tree plus those of all its subnodes: what Outlook (2007 SP2 and
// later) stores as PidTagMessageSize.
uint64_t StoredSize(Context& ctx, uint64_t bidData, uint64_t bidSub, int depth, std::unordered_set<uint64_t>& followed) {
    uint64_t total = 0;
    std::vector<uint64_t> bids;
    if (bidData && ctx.dataBlocks(bidData, bids))
        for (uint64_t b : bids) total += ctx.findBlock(b)->cb;
    std::vector<SubnodeEntry> subs;
    if (depth < kMaxSubnodeDepth && bidSub && followed.insert(bidSub).second && ctx.subnodes(bidSub, subs))
        for (const SubnodeEntry& s : subs) total += StoredSize(ctx, s.bidData, s.bidSub, depth + 1, followed);
    return total;
}

// A folder's contents table: one row per message whose parent is the folder, cells
// copied from the message; the folder's counts agree.
void CheckContentsTable(Context& ctx, const NbtEntry& n, const NodeFacts& ff, const std::string& F,
                        const std::vector<uint32_t>& children) {
    auto contents = ctx.tableRows.find(WithType(n.nid, 0x0E));
    if (contents != ctx.tableRows.end()) {
        const std::vector<TableRow>& rows = contents->second;
        std::unordered_set<uint32_t> listed;
        if ((ff.present & (1u << fpContentCount)) && ff.contentCount != rows.size())
            ctx.error("folder.content_count", F, "PidTagContentCount", n.entryOff,
                      std::to_string(rows.size()) + " (rows in the contents table)", std::to_string(ff.contentCount));
        for (const TableRow& row : rows) {
            listed.insert(row.id);
            const auto m = ctx.findNode(row.id);
            if (!m || (row.id & 0x1F) != 0x04) {
                ctx.error("folder.contents_row", F, "contents row " + Hex(row.id), row.offset, "a message node", "no such message");
                continue;
            }
            if (m->nidParent != n.nid)
                ctx.error("folder.contents_row", F, "contents row " + Hex(row.id), m->entryOff, "nidParent " + Hex(n.nid),
                          Hex(m->nidParent));
            auto mf = ctx.facts.find(row.id);
            if (mf == ctx.facts.end() || mf->second.client != 0xBC) continue;
            if ((row.present & 1) && (mf->second.present & (1u << fpMessageFlags)) && row.cell[0] != mf->second.messageFlags)
                ctx.error("folder.row_mismatch", F, "contents row " + Hex(row.id) + " PidTagMessageFlags", row.offset,
                          Hex(mf->second.messageFlags) + " (message PC)", Hex(row.cell[0]));
            if ((row.present & 2) && (mf->second.present & (1u << fpMessageSize)) && row.cell[1] != mf->second.messageSize)
                // Outlook's own stores differ here (the row keeps an older size), so only a warning.
                ctx.warn("folder.row_mismatch", F, "contents row " + Hex(row.id) + " PidTagMessageSize", row.offset,
                          std::to_string(mf->second.messageSize) + " (message PC)", std::to_string(row.cell[1]));
        }
        for (uint32_t id : children)
            if (!listed.count(id))
                ctx.error("folder.contents_missing", F, "contents table", n.entryOff, "a row for message " + Hex(id), "none");
        // Unread = messages without mfRead (0x1).
        uint32_t unread = 0;
        bool known = true;
        for (const TableRow& row : rows) {
            auto mf = ctx.facts.find(row.id);
            if (mf == ctx.facts.end() || !(mf->second.present & (1u << fpMessageFlags))) {
                known = false;
                break;
            }
            unread += (mf->second.messageFlags & 0x1) ? 0 : 1;
        }
        if (known && (ff.present & (1u << fpContentUnread)) && ff.contentUnread != unread)
            ctx.error("folder.unread_count", F, "PidTagContentUnreadCount", n.entryOff,
                      std::to_string(unread) + " (messages without mfRead)", std::to_string(ff.contentUnread));
    }
}

// A folder's FAI contents table: one row per associated message of the folder.
void CheckFaiTable(Context& ctx, const NbtEntry& n, const std::string& F, const std::vector<uint32_t>& children) {
    auto fai = ctx.tableRows.find(WithType(n.nid, 0x0F));
    if (fai != ctx.tableRows.end()) {
        std::unordered_set<uint32_t> listed;
        for (const TableRow& row : fai->second) {
            listed.insert(row.id);
            const auto m = ctx.findNode(row.id);
            if (!m || (row.id & 0x1F) != 0x08)
                ctx.error("folder.fai_row", F, "FAI contents row " + Hex(row.id), row.offset, "an associated message node", "no such node");
            else if (m->nidParent != n.nid)
                ctx.error("folder.fai_row", F, "FAI contents row " + Hex(row.id), m->entryOff, "nidParent " + Hex(n.nid), Hex(m->nidParent));
        }
        for (uint32_t id : children)
            if (!listed.count(id))
                ctx.error("folder.fai_missing", F, "FAI contents table", n.entryOff, "a row for associated message " + Hex(id), "none");
    }
}

// A folder's hierarchy table: one row per subfolder, counts copied from it;
// PidTagSubfolders says whether there are any.
void CheckHierarchyTable(Context& ctx, const NbtEntry& n, const NodeFacts& ff, const std::string& F,
                         const std::vector<uint32_t>& children) {
    auto hier = ctx.tableRows.find(WithType(n.nid, 0x0D));
    if (hier != ctx.tableRows.end()) {
        const std::vector<TableRow>& rows = hier->second;
        std::unordered_set<uint32_t> listed;
        if ((ff.present & (1u << fpSubfolders)) && ff.subfolders != !rows.empty())
            ctx.error("folder.subfolders", F, "PidTagSubfolders", n.entryOff,
                      rows.empty() ? "false (no hierarchy rows)" : "true (" + std::to_string(rows.size()) + " hierarchy rows)",
                      ff.subfolders ? "true" : "false");
        for (const TableRow& row : rows) {
            listed.insert(row.id);
            const auto c = ctx.findNode(row.id);
            if (!c) {
                ctx.error("folder.hierarchy_row", F, "hierarchy row " + Hex(row.id), row.offset, "a folder node", "no such node");
                continue;
            }
            if (c->nidParent != n.nid)
                ctx.error("folder.hierarchy_row", F, "hierarchy row " + Hex(row.id), c->entryOff, "nidParent " + Hex(n.nid),
                          Hex(c->nidParent));
            auto cf = ctx.facts.find(row.id);
            if (cf == ctx.facts.end() || cf->second.client != 0xBC) continue;
            const NodeFacts& child = cf->second;
            const struct { FactProp prop; uint32_t value; const char* name; } copies[3] = {
                {fpContentCount, child.contentCount, "PidTagContentCount"},
                {fpContentUnread, child.contentUnread, "PidTagContentUnreadCount"},
                {fpSubfolders, child.subfolders ? 1u : 0u, "PidTagSubfolders"}};
            for (int k = 0; k < 3; ++k) {
                uint32_t cell = row.cell[k];
                if (k == 2) cell = cell ? 1 : 0;
                if ((row.present & (1u << k)) && (child.present & (1u << copies[k].prop)) && cell != copies[k].value)
                    ctx.error("folder.row_mismatch", F, "hierarchy row " + Hex(row.id) + " " + copies[k].name, row.offset,
                              std::to_string(copies[k].value) + " (subfolder PC)", std::to_string(cell));
            }
        }
        for (uint32_t id : children)
            if (!listed.count(id))
                ctx.error("folder.hierarchy_missing", F, "hierarchy table", n.entryOff, "a row for subfolder " + Hex(id), "none");
    }
}

}  // namespace

void CheckMessaging(Context& ctx) {
    for (const Mandatory& m : kMandatory)
        if (!ctx.findNode(m.nid))
            ctx.error("messaging.mandatory_node", "NBT", "node " + Hex(m.nid), ctx.hdr.nbt.ib, std::string("the ") + m.what, "missing",
                      "[MS-PST] §2.7.1");

    // Message store PC (§2.4.3.1).
    auto store = ctx.facts.find(0x21);
    if (store != ctx.facts.end() && store->second.client == 0xBC)
        for (FactProp p : {fpRecordKey, fpDisplayName, fpIpmSubTree, fpWastebasket, fpFinder})
            if (!(store->second.present & (1u << p)))
                ctx.error("store.property", "node 0x21 (message store)", kFactProps[p].name, 0, "present ([MS-PST] §2.4.3.1)", "missing");

    // Special folder entry IDs (§2.4.3.2): flags(4), the store's provider UID (= PidTagRecordKey), NID.
    const struct { const StoreInfo::EntryId* e; const char* name; } specials[] = {
        {&ctx.store.ipmSubtree, "PidTagIpmSubTreeEntryId"},
        {&ctx.store.wastebasket, "PidTagIpmWastebasketEntryId"},
        {&ctx.store.finder, "PidTagFinderEntryId"}};
    for (const auto& sp : specials) {
        if (!sp.e->present) continue;
        const std::string S = "node 0x21 (message store)";
        if (sp.e->size != 24) {
            ctx.error("store.entry_id", S, sp.name, sp.e->offset, "24 bytes", std::to_string(sp.e->size));
            continue;
        }
        if (ctx.store.haveRecordKey && !std::equal(sp.e->uid, sp.e->uid + 16, ctx.store.recordKey))
            ctx.error("store.entry_id", S, std::string(sp.name) + ".uid", sp.e->offset, "the store's PidTagRecordKey", "another GUID");
        const auto target = ctx.findNode(sp.e->nid);
        if (!target || ((sp.e->nid & 0x1F) != 0x02 && (sp.e->nid & 0x1F) != 0x03))
            ctx.error("store.entry_id", S, std::string(sp.name) + ".nid", sp.e->offset, "an existing folder", Hex(sp.e->nid));
    }

    if (const auto root = ctx.findNode(0x122); root && root->nidParent != 0x122)
        ctx.error("folder.parent", "NBT entry 0x122 (root folder)", "nidParent", root->entryOff, "0x122 (itself)", Hex(root->nidParent));

    // Children by parent, from the NBT.
    std::unordered_map<uint32_t, std::vector<uint32_t>> childFolders, childMessages, childAssociated;
    ctx.forEachNode([&](const NbtEntry& n) {
        const uint32_t t = n.nid & 0x1F;
        if ((t == 0x02 || t == 0x03) && n.nid != 0x122) childFolders[n.nidParent].push_back(n.nid);
        if (t == 0x04) childMessages[n.nidParent].push_back(n.nid);
        if (t == 0x08) childAssociated[n.nidParent].push_back(n.nid);
    });

    ctx.forEachNode([&](const NbtEntry& n) {
        const uint32_t t = n.nid & 0x1F;
        const std::string S = "node " + Hex(n.nid);
        if (t == 0x04) {
            ++ctx.result.summary.messages;
            const auto parent = ctx.findNode(n.nidParent);
            if (!parent || (n.nidParent & 0x1F) != 0x02)
                ctx.error("message.parent", "NBT entry " + Hex(n.nid) + " (message)", "nidParent", n.entryOff, "a folder NID",
                          Hex(n.nidParent));
            auto f = ctx.facts.find(n.nid);
            if (f != ctx.facts.end()) {
                CheckMessageFacts(ctx, f->second, S + " (message)", n.entryOff);
                // Older Outlook versions used another formula (contacts in the sample stores), hence a warning.
                std::unordered_set<uint64_t> followed;
                const uint64_t stored = StoredSize(ctx, n.bidData, n.bidSub, 0, followed);
                if ((f->second.present & (1u << fpMessageSize)) && f->second.messageSize != stored)
                    ctx.warn("message.size", S + " (message)", "PidTagMessageSize", f->second.offset,
                             std::to_string(stored) + " (bytes of the node and its subnodes)", std::to_string(f->second.messageSize));
            }
            return;
        }
        if (t != 0x02) return;
        ++ctx.result.summary.folders;
        const std::string F = S + " (folder)";
        if (n.nid != 0x122) {
            const auto parent = ctx.findNode(n.nidParent);
            if (!parent || (n.nidParent & 0x1F) != 0x02)
                ctx.error("folder.parent", "NBT entry " + Hex(n.nid) + " (folder)", "nidParent", n.entryOff, "a folder NID", Hex(n.nidParent));
        }
        for (uint32_t tt : {0x0Du, 0x0Eu, 0x0Fu})
            if (!ctx.findNode(WithType(n.nid, tt)))
                ctx.error("folder.table", F, "node " + Hex(WithType(n.nid, tt)), n.entryOff,
                          tt == 0x0D ? "its hierarchy table" : tt == 0x0E ? "its contents table" : "its FAI contents table", "missing");
        auto pc = ctx.facts.find(n.nid);
        if (pc == ctx.facts.end() || pc->second.client != 0xBC) return;
        const NodeFacts& ff = pc->second;
        for (FactProp p : {fpDisplayName, fpContentCount, fpContentUnread, fpSubfolders})
            if (!(ff.present & (1u << p)))
                ctx.error("folder.property", F, kFactProps[p].name, n.entryOff, "present ([MS-PST] §2.4.4.1.1)", "missing");

        CheckContentsTable(ctx, n, ff, F, childMessages[n.nid]);
        CheckFaiTable(ctx, n, F, childAssociated[n.nid]);
        CheckHierarchyTable(ctx, n, ff, F, childFolders[n.nid]);
    });
}

}  // namespace bv::pstcheck
