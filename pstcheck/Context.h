#pragma once
// State shared by the individual checks while one file is validated.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "PstFile.h"
#include "PstValidate.h"

namespace bv::pstcheck {

constexpr uint64_t kFirstAMap = 0x4400;
constexpr uint64_t kAMapRegion = 496ull * 8 * 64;  // 253952 bytes covered by one AMap page
constexpr uint64_t kPageSize = 512;
constexpr size_t kMaxBlockData = 8176;
constexpr size_t kMaxBlockSize = 8192;
// Subnode trees nest (attachment -> embedded message -> attachment ...); deeper nesting than
// this is reported, not followed (a damaged file could make the nesting endless).
constexpr int kMaxSubnodeDepth = 32;

enum PageType : uint8_t {
    ptypeBBT = 0x80, ptypeNBT = 0x81, ptypeFMap = 0x82, ptypePMap = 0x83,
    ptypeAMap = 0x84, ptypeFPMap = 0x85, ptypeDL = 0x86,
};

struct Bref {
    uint64_t bid = 0;
    uint64_t ib = 0;
};

struct HeaderInfo {
    uint16_t wVer = 0;
    uint8_t cryptMethod = 0;
    uint64_t bidNextP = 0;
    uint64_t bidNextB = 0;
    uint32_t dwUnique = 0;
    uint32_t rgnid[32] = {};
    uint64_t ibFileEof = 0;
    uint64_t ibAMapLast = 0;
    uint64_t cbAMapFree = 0;
    uint64_t cbPMapFree = 0;
    Bref nbt;
    Bref bbt;
    uint8_t fAMapValid = 0;
};

enum class BlockKind : uint8_t { Unknown, Data, XBlock, XXBlock, SLBlock, SIBlock, Bad };

struct BbtEntry {
    uint64_t bid = 0;
    uint64_t ib = 0;
    uint16_t cb = 0;
    uint16_t cRef = 0;
    uint64_t entryOff = 0;       // offset of the leaf BBT entry
    uint32_t lcbTotal = 0;       // XBLOCK / XXBLOCK: total data size it announces
    uint32_t refs = 0;           // references found (NBT, SL entries, XBLOCK/XXBLOCK/SIBLOCK children)
    BlockKind kind = BlockKind::Unknown;
    bool readable = false;       // trailer and CRC verified
};

struct NbtEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
    uint32_t nidParent = 0;
    uint64_t entryOff = 0;       // offset of the leaf NBT entry
};

struct SubnodeEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
};

// One bit per 64-byte slot of the file: set when a page or block we reached lives there.
class SlotMap {
public:
    void reset(uint64_t fileSize) { bits_.assign((fileSize / 64 + 64) / 64 + 1, 0); slots_ = (fileSize + 63) / 64; }
    // Marks [ib, ib+size); returns the number of slots that were already marked.
    uint64_t mark(uint64_t ib, uint64_t size);
    bool test(uint64_t slot) const { return slot < slots_ && ((bits_[slot / 64] >> (slot % 64)) & 1); }
    uint64_t slots() const { return slots_; }

private:
    std::vector<uint64_t> bits_;
    uint64_t slots_ = 0;
};

// Properties the messaging checks look at; remembered per PC as a bit mask.
enum FactProp : uint32_t {
    fpRecordKey, fpDisplayName, fpIpmSubTree, fpWastebasket, fpFinder,
    fpContentCount, fpContentUnread, fpSubfolders,
    fpMessageClass, fpMessageFlags, fpMessageSize, fpMessageStatus, fpCreationTime, fpLastModTime, fpSearchKey,
    fpAttachSize, fpAttachMethod, fpRenderingPosition,
    fpCount
};
struct FactPropDef { uint16_t id; uint16_t type; const char* name; };
extern const FactPropDef kFactProps[fpCount];

struct NodeFacts {
    uint8_t client = 0;          // 0xBC PC, 0x7C TC, 0 = not a readable heap
    uint64_t offset = 0;         // file offset of the node's first data block
    uint32_t present = 0;        // FactProp bits
    uint32_t contentCount = 0;
    uint32_t contentUnread = 0;
    uint32_t messageFlags = 0;
    uint32_t messageSize = 0;
    bool subfolders = false;
    uint32_t rowCount = 0;       // TC
    int8_t recipientTable = -1;  // message: 1 present, 0 missing
    int32_t attachRows = -1;     // message: rows of the attachment table, -1 = no table
    int32_t attachSubnodes = 0;  // message: attachment subnodes (NID type 0x05)
};

// A row of a folder's hierarchy or contents table, with the cells copied from the child object:
// hierarchy: PidTagContentCount, PidTagContentUnreadCount, PidTagSubfolders;
// contents: PidTagMessageFlags, PidTagMessageSize.
struct TableRow {
    uint32_t id = 0;
    uint32_t cell[3] = {};
    uint8_t present = 0;  // bit i: cell[i] exists
    uint64_t offset = 0;  // file offset of the row (for findings)
};
constexpr uint32_t kHierarchyCells[3] = {0x36020003, 0x36030003, 0x360A000B};
constexpr uint32_t kContentsCells[3] = {0x0E070003, 0x0E080003, 0};

// What the message store PC says about the store and its special folders.
struct StoreInfo {
    bool haveRecordKey = false;
    uint8_t recordKey[16] = {};
    struct EntryId {
        bool present = false;
        size_t size = 0;
        uint8_t uid[16] = {};
        uint32_t nid = 0;
        uint64_t offset = 0;
    } ipmSubtree, wastebasket, finder;
};

struct Context {
    Context(const PstFile& f, const Options& o, Result& r) : file(f), opt(o), result(r) {}

    const PstFile& file;
    Options opt;
    Result& result;
    std::map<std::string, size_t> perCheck;
    int muted = 0;  // > 0 while structures are re-read only for comparison: no findings

    HeaderInfo hdr;
    SlotMap used;
    std::vector<BbtEntry> bbt;   // sorted by BID after the walk
    std::vector<NbtEntry> nbt;   // sorted by NID after the walk
    uint64_t maxPageBid = 0;     // largest BID of a BT page or DList seen
    std::unordered_map<uint32_t, NodeFacts> facts;               // top-level nodes with a heap
    StoreInfo store;
    std::unordered_map<uint32_t, std::vector<TableRow>> tableRows;  // hierarchy / contents tables of folders

    void report(Severity sev, const std::string& check, const std::string& structure, const std::string& field,
                uint64_t offset, const std::string& expected, const std::string& found, const std::string& note = "");
    void error(const std::string& check, const std::string& structure, const std::string& field, uint64_t offset,
               const std::string& expected, const std::string& found, const std::string& note = "") {
        report(Severity::Error, check, structure, field, offset, expected, found, note);
    }
    void warn(const std::string& check, const std::string& structure, const std::string& field, uint64_t offset,
              const std::string& expected, const std::string& found, const std::string& note = "") {
        report(Severity::Warning, check, structure, field, offset, expected, found, note);
    }

    BbtEntry* findBlock(uint64_t bid);
    const NbtEntry* findNode(uint32_t nid) const;

    // Reads a block's cb data bytes (decoded for external blocks); false when missing or unreadable.
    bool readBlock(uint64_t bid, std::vector<uint8_t>& out);
    // The data blocks of a node's data tree, in order; false when the tree is broken.
    bool dataBlocks(uint64_t bid, std::vector<uint64_t>& out);
    // Entries of a subnode B-tree (sorted by NID as stored); false when broken.
    bool subnodes(uint64_t bid, std::vector<SubnodeEntry>& out);
};

// Verifies the PAGETRAILER of a page read at ib; returns the trailer BID in bidOut.
bool CheckPageTrailer(Context& ctx, uint64_t ib, const uint8_t* page, uint8_t ptype, uint64_t* bidOut);

// The checks, in the order Validate runs them.
bool CheckHeader(Context& ctx);          // false: not a Unicode PST, stop
void CheckMapPages(Context& ctx);        // AMap/PMap/FMap/FPMap pages: trailers, placement, mark them used
void WalkBTrees(Context& ctx);           // NBT and BBT pages
void CheckBlocks(Context& ctx);          // every BBT block, data trees, subnode trees, reference counts
void CheckHeaderCounters(Context& ctx);  // bidNextB/P, rgnid against what is in use
void CheckAllocation(Context& ctx);      // AMap bits, cbAMapFree, ibAMapLast, DList
void CheckLtp(Context& ctx);             // heaps, BTHs, PCs, TCs
void CheckMessaging(Context& ctx);       // mandatory nodes, folders, messages

}  // namespace bv::pstcheck
