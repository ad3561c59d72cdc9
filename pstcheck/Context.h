#pragma once
// State shared by the individual checks while one file is validated.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
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

// A leaf entry of the BBT, with what the block's first bytes say of it (findBlock fills kind
// and lcbTotal).
struct BbtEntry {
    uint64_t bid = 0;
    uint64_t ib = 0;
    uint16_t cb = 0;
    uint16_t cRef = 0;
    uint64_t entryOff = 0;       // offset of the leaf BBT entry
    uint32_t lcbTotal = 0;       // XBLOCK / XXBLOCK: total data size it announces
    BlockKind kind = BlockKind::Unknown;
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

// The last pages read of the two B-trees, so that looking an entry up (and walking the
// leaves) costs a few reads of the file, not a table of every entry.
class PageCache {
public:
    // The page at ib (512-aligned, inside the file), or nullptr when it cannot be read. Valid
    // until the next call.
    const uint8_t* page(const PstFile& file, uint64_t ib);

private:
    static constexpr size_t kSlots = 2048;
    std::vector<uint64_t> tags_ = std::vector<uint64_t>(kSlots, ~uint64_t(0));
    std::vector<uint8_t> data_ = std::vector<uint8_t>(kSlots * kPageSize);
};

// References found to each block (NBT entries, SL entries, XBLOCK/XXBLOCK/SIBLOCK children):
// four bits a BID while the BIDs are dense, the rest counted aside.
class RefCounts {
public:
    void reset(uint64_t maxBid, uint64_t blocks);
    void add(uint64_t bid);
    uint32_t get(uint64_t bid) const;

private:
    std::vector<uint8_t> nibbles_;
    std::unordered_map<uint64_t, uint32_t> more_;  // counts of 15 and more, and BIDs past the dense range
};

// What the walk of one B-tree found: how many leaf entries, and whether its pages are sound
// (no finding while it was walked, keys ascending from leaf to leaf). Only a sound tree is
// searched where it lies; the entries of another are held in memory.
struct TreeState {
    uint64_t entries = 0;
    uint64_t lastKey = 0;
    bool sound = true;
    bool inMemory = false;
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
    // Marks a (map or B-tree) page used; true when its space was marked already.
    bool markPage(uint64_t ib);
    bool pageAt(uint64_t index) const { return index / 64 < pageBits_.size() && ((pageBits_[index / 64] >> (index % 64)) & 1); }
    TreeState bbtState, nbtState;
    std::vector<BbtEntry> bbt;   // only for a BBT not sound: sorted by BID after the walk
    std::vector<NbtEntry> nbt;   // only for an NBT not sound: sorted by NID after the walk
    PageCache pages;
    RefCounts refs;
    uint64_t maxPageBid = 0;     // largest BID of a BT page or DList seen
    uint64_t maxBlockBid = 0;    // largest BID in the BBT
    uint32_t maxNidIndex[32] = {};  // per NID type: largest index in the NBT, and its NID
    uint32_t maxNid[32] = {};
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

    // Findings held back while blocks are checked in BID order, given in file order at the end
    // (as if the blocks had been checked by offset); only the first maxPerCheck of a check are kept.
    void deferFindings(bool on);
    // The place of the findings that follow: (step, then the order within the step).
    void deferAt(uint64_t step, uint64_t first, uint64_t second) { deferKey_ = {step, first, second}; }

    std::optional<BbtEntry> findBlock(uint64_t bid);
    std::optional<NbtEntry> findNode(uint32_t nid);
    // Every entry of the tree, in key order.
    void forEachBlock(const std::function<void(const BbtEntry&)>& fn);
    void forEachNode(const std::function<void(const NbtEntry&)>& fn);
    // What a block's placement and first bytes say it is (Bad when misplaced or of no known internal type).
    BlockKind kindOf(BbtEntry& b);

    // Reads a block's cb data bytes (decoded for external blocks); false when missing or unreadable
    // (trailer or CRC wrong, or a data block while data blocks are not checked).
    bool readBlock(uint64_t bid, std::vector<uint8_t>& out);
    // True when the block's trailer and CRC are right (as readBlock would read it).
    bool readable(const BbtEntry& b);
    // The data blocks of a node's data tree, in order; false when the tree is broken.
    bool dataBlocks(uint64_t bid, std::vector<uint64_t>& out);
    // Entries of a subnode B-tree (sorted by NID as stored); false when broken.
    bool subnodes(uint64_t bid, std::vector<SubnodeEntry>& out);

private:
    std::vector<uint64_t> pageBits_;  // a bit per 512 bytes: a page lies there
    struct Deferred {
        std::array<uint64_t, 3> key;
        size_t seq = 0;
        Finding finding;
    };
    struct DeferredCheck {
        std::vector<Deferred> kept;
        size_t dropped[2] = {};  // warnings, errors past those kept
    };
    bool deferring_ = false;
    std::array<uint64_t, 3> deferKey_ = {};
    size_t deferSeq_ = 0;
    std::map<std::string, DeferredCheck> deferred_;
    bool readBlockBytes(const BbtEntry& b, std::vector<uint8_t>& out);
    std::vector<uint64_t> readableSeen_ = std::vector<uint64_t>(4096, 1);  // BIDs found readable lately
    std::vector<uint8_t> scratch_;
};

// Reads one leaf entry of a sound tree where it lies: true with the entry's bytes and file offset.
bool FindLeafEntry(Context& ctx, const Bref& root, uint8_t ptype, uint64_t key, uint8_t* entry, uint64_t& offset);
// Calls fn(entry bytes, file offset) for every leaf entry of a sound tree, in key order.
void ForEachLeafEntry(Context& ctx, const Bref& root, uint8_t ptype, const std::function<void(const uint8_t*, uint64_t)>& fn);

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
