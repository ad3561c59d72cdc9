// [MS-CFB] writer. Layout of the file we write (sector numbers after the header):
//   big streams (>= 4096 bytes, each contiguous) | mini stream | MiniFAT | directory | FAT | DIFAT
// Every chain is contiguous, so each FAT chain is "next = this + 1" ending in ENDOFCHAIN.
// Each storage's children form a balanced binary search tree in [MS-CFB] 2.6.4 order
// (name length, then upper-cased code units); nodes on an incomplete last level are red,
// all others black, which keeps the red-black rules.
#include "mailstore/msg/CompoundFile.h"

#include "mailstore/MailStoreError.h"
#include "mailstore/base/LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace bv::mailstore::msg {

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr uint32_t kEntriesPerFatSector = kSectorSize / 4;   // 128
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kEntriesPerDifatSector = kEntriesPerFatSector - 1;  // last one links the next
constexpr uint32_t ENDOFCHAIN = 0xFFFFFFFE;
constexpr uint32_t FREESECT = 0xFFFFFFFF;
constexpr uint32_t FATSECT = 0xFFFFFFFD;
constexpr uint32_t DIFSECT = 0xFFFFFFFC;
constexpr uint32_t NOSTREAM = 0xFFFFFFFF;

constexpr uint8_t kTypeStorage = 1;
constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;
constexpr uint8_t kRed = 0;
constexpr uint8_t kBlack = 1;

using Entry = CompoundFile::Entry;

struct DirRecord {
    const Entry* entry = nullptr;
    uint8_t type = 0;
    uint8_t color = kBlack;
    uint32_t left = NOSTREAM, right = NOSTREAM, child = NOSTREAM;
    uint32_t start = ENDOFCHAIN;
    uint64_t size = 0;
};

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

uint32_t CeilDiv(uint64_t a, uint64_t b) { return uint32_t((a + b - 1) / b); }

class Layout {
public:
    explicit Layout(const Entry& root) {
        records_.reserve(Count(root));
        records_.push_back(DirRecord{&root, kTypeRoot});
        AddChildren(0);
    }
    std::vector<DirRecord> records_;
    std::vector<uint32_t> bigStreams_;   // record indices, in sector order
    std::vector<uint32_t> miniStreams_;  // record indices, in mini sector order

private:
    static size_t Count(const Entry& e) {
        size_t n = 1;
        for (const auto& c : e.children) n += Count(*c);
        return n;
    }

    // Balanced tree over sorted[lo, hi); returns the record index of its root.
    uint32_t Build(const std::vector<uint32_t>& sorted, int lo, int hi, int depth, int fullDepth, bool perfect) {
        if (lo >= hi) return NOSTREAM;
        int mid = lo + (hi - lo) / 2;
        uint32_t id = sorted[size_t(mid)];
        records_[id].left = Build(sorted, lo, mid, depth + 1, fullDepth, perfect);
        records_[id].right = Build(sorted, mid + 1, hi, depth + 1, fullDepth, perfect);
        records_[id].color = (!perfect && depth == fullDepth) ? kRed : kBlack;
        return id;
    }

    // The directory's order ([MS-CFB] 2.6.4): shorter names first, then by upper-cased
    // UTF-16 code units, compared here as big-endian bytes with memcmp.
    void AddChildren(uint32_t parentId) {
        const Entry* parent = records_[parentId].entry;
        const size_t count = parent->children.size();
        if (count == 0) return;
        struct Key {
            uint8_t bytes[64];
            uint32_t size;  // bytes in use: two per code unit
        };
        std::vector<Key> keys(count);
        std::vector<uint32_t> order(count);
        for (size_t i = 0; i < count; ++i) {
            const Entry& child = *parent->children[i];
            const size_t n = child.nameSize;
            keys[i].size = uint32_t(2 * n);
            for (size_t j = 0; j < n; ++j) {
                char16_t u = Upper(char16_t(uint8_t(child.name[j])));
                keys[i].bytes[2 * j] = uint8_t(u >> 8);
                keys[i].bytes[2 * j + 1] = uint8_t(u);
            }
            order[i] = uint32_t(i);
        }
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            const Key& x = keys[a];
            const Key& y = keys[b];
            if (x.size != y.size) return x.size < y.size;
            return std::memcmp(x.bytes, y.bytes, x.size) < 0;
        });
        std::vector<const Entry*> kids;
        kids.reserve(count);
        for (uint32_t i : order) kids.push_back(parent->children[i].get());
        std::vector<uint32_t> ids;
        for (const Entry* k : kids) {
            ids.push_back(uint32_t(records_.size()));
            DirRecord r;
            r.entry = k;
            r.type = k->storage ? kTypeStorage : kTypeStream;
            if (!k->storage) {
                r.size = k->size();
                if (k->size() >= kMiniStreamCutoff) bigStreams_.push_back(ids.back());
                else if (k->size() > 0) miniStreams_.push_back(ids.back());
            }
            records_.push_back(r);
        }
        // depth of the last level of a middle-split tree of n nodes: floor(log2 n)
        const size_t n = ids.size();
        int fullDepth = 0;
        while ((size_t(2) << fullDepth) <= n) ++fullDepth;
        const bool perfect = ((n + 1) & n) == 0;
        records_[parentId].child = Build(ids, 0, int(n), 0, fullDepth, perfect);
        for (uint32_t id : ids)
            if (records_[id].type == kTypeStorage) AddChildren(id);
    }
};

using base::Put16;
using base::Put32;
using base::Put64;

class SectorWriter {
public:
    explicit SectorWriter(FILE* f) : f_(f) {}
    void Write(const void* data, size_t n) {
        if (!ok_ || n == 0) return;
        if (std::fwrite(data, 1, n, f_) != n) Fail();
        written_ += n;
    }
    void PadTo(size_t multiple) {
        static const uint8_t zeros[kSectorSize] = {};
        size_t rest = written_ % multiple;
        if (rest) Write(zeros, multiple - rest);
    }
    void Fail() {
        if (ok_) error_ = std::error_code(errno, std::generic_category());
        ok_ = false;
    }
    bool ok() const { return ok_; }
    std::error_code error() const { return error_; }

private:
    FILE* f_;
    size_t written_ = 0;
    bool ok_ = true;
    std::error_code error_;  // the first failed write's
};

// Writes 32-bit entries as whole sectors, padding with `fill`.
void WriteTable(SectorWriter& w, const std::vector<uint32_t>& table, uint32_t sectors, uint32_t fill) {
    uint8_t buf[kSectorSize];
    for (size_t s = 0; s < sectors; ++s) {
        for (size_t k = 0; k < kEntriesPerFatSector; ++k) {
            const size_t i = s * kEntriesPerFatSector + k;
            Put32(&buf[k * 4], i < table.size() ? table[i] : fill);
        }
        w.Write(buf, kSectorSize);
    }
}

}  // namespace

CompoundFile::CompoundFile() : root_(std::make_unique<Entry>()) {
    SetName(*root_, "Root Entry");
    root_->storage = true;
}

void CompoundFile::SetRootClsid(const unsigned char clsid[16]) { std::memcpy(clsid_, clsid, 16); }

void CompoundFile::SetName(Entry& e, const std::string& name) {
    for (unsigned char c : name)
        if (c < 0x20 || c > 0x7e) throw std::logic_error("CompoundFile: an entry name must be printable ASCII");
    e.nameSize = uint8_t(std::min<size_t>(name.size(), sizeof e.name));
    std::memcpy(e.name, name.data(), e.nameSize);
}

CompoundFile::Entry* CompoundFile::AddStorage(Entry* parent, const std::string& name) {
    auto e = std::make_unique<Entry>();
    SetName(*e, name);
    e->storage = true;
    parent->children.push_back(std::move(e));
    return parent->children.back().get();
}

CompoundFile::Entry* CompoundFile::AddStream(Entry* parent, const std::string& name, std::vector<uint8_t> data) {
    auto e = std::make_unique<Entry>();
    SetName(*e, name);
    e->owned = std::move(data);
    parent->children.push_back(std::move(e));
    return parent->children.back().get();
}

CompoundFile::Entry* CompoundFile::AddBorrowedStream(Entry* parent, const std::string& name, const uint8_t* data, size_t size) {
    auto e = std::make_unique<Entry>();
    SetName(*e, name);
    e->borrowed = data;
    e->borrowedSize = size;
    if (!data) e->borrowedSize = 0;
    parent->children.push_back(std::move(e));
    return parent->children.back().get();
}

CompoundFile::Entry* CompoundFile::AddMadeStream(Entry* parent, const std::string& name, size_t size, Maker make) {
    auto e = std::make_unique<Entry>();
    SetName(*e, name);
    e->made = std::move(make);
    e->madeSize = size;
    parent->children.push_back(std::move(e));
    return parent->children.back().get();
}

void CompoundFile::Entry::Read(const Piece& piece) const {
    if (made) {
        size_t given = 0;
        made([&](const uint8_t* data, size_t n) {
            given += n;
            if (given > madeSize) throw std::logic_error("a made stream gives more bytes than its size");
            piece(data, n);
        });
        if (given != madeSize) throw std::logic_error("a made stream gives fewer bytes than its size");
    } else if (borrowed) {
        piece(borrowed, borrowedSize);
    } else {
        piece(owned.data(), owned.size());
    }
}

void CompoundFile::OwnStreams(Entry* storage) {
    for (const auto& e : storage->children) {
        if (e->storage || (!e->borrowed && !e->made)) continue;
        std::vector<uint8_t> bytes;
        bytes.reserve(e->size());
        e->Read([&bytes](const uint8_t* data, size_t n) { bytes.insert(bytes.end(), data, data + n); });
        e->owned = std::move(bytes);
        e->borrowed = nullptr;
        e->borrowedSize = 0;
        e->made = nullptr;
        e->madeSize = 0;
    }
}

namespace {

// Where everything of the file goes: the chains of the big streams, the mini stream,
// the MiniFAT, the directory, the FAT and the DIFAT, in that order of sectors.
struct SectorPlan {
    std::vector<uint32_t> miniFat;
    uint64_t miniStreamSize = 0;
    uint32_t miniStreamStart = ENDOFCHAIN, miniFatStart = ENDOFCHAIN, miniFatSectors = 0;
    uint32_t dirStart = 0, dirSectors = 0;
    uint32_t fatStart = 0, fatSectors = 0, difatStart = ENDOFCHAIN, difatSectors = 0;
    std::vector<uint32_t> fat;
};

SectorPlan PlanSectors(Layout& layout) {
    SectorPlan p;
    auto& recs = layout.records_;
    // Mini stream: every small stream in 64-byte mini sectors, one contiguous chain each.
    for (uint32_t id : layout.miniStreams_) {
        uint32_t n = CeilDiv(recs[id].size, kMiniSectorSize);
        recs[id].start = uint32_t(p.miniFat.size());
        for (uint32_t k = 0; k < n; ++k) p.miniFat.push_back(k + 1 < n ? uint32_t(p.miniFat.size()) + 1 : ENDOFCHAIN);
    }
    p.miniStreamSize = uint64_t(p.miniFat.size()) * kMiniSectorSize;

    // Regular sectors: big streams, mini stream, MiniFAT, directory, FAT, DIFAT.
    std::vector<std::pair<uint32_t, uint32_t>> chains;  // {first sector, sector count}
    uint32_t next = 0;
    for (uint32_t id : layout.bigStreams_) {
        uint64_t n = CeilDiv(recs[id].size, kSectorSize);
        if (recs[id].size > 0x7FFFFFFFull || next + n > 0xFFFFFF00ull) throw MailStoreError("stream too large for a compound file");
        recs[id].start = next;
        chains.push_back({next, uint32_t(n)});
        next += uint32_t(n);
    }
    const uint32_t miniStreamSectors = CeilDiv(p.miniStreamSize, kSectorSize);
    if (miniStreamSectors) {
        p.miniStreamStart = next;
        chains.push_back({next, miniStreamSectors});
    }
    next += miniStreamSectors;
    p.miniFatSectors = CeilDiv(uint64_t(p.miniFat.size()) * 4, kSectorSize);
    if (p.miniFatSectors) {
        p.miniFatStart = next;
        chains.push_back({next, p.miniFatSectors});
    }
    next += p.miniFatSectors;
    p.dirSectors = CeilDiv(uint64_t(recs.size()) * 128, kSectorSize);
    p.dirStart = next;
    chains.push_back({next, p.dirSectors});
    next += p.dirSectors;

    for (;;) {
        uint32_t total = next + p.fatSectors + p.difatSectors;
        uint32_t f = CeilDiv(total, kEntriesPerFatSector);
        uint32_t d = f > kHeaderDifatEntries ? CeilDiv(f - kHeaderDifatEntries, kEntriesPerDifatSector) : 0;
        if (f == p.fatSectors && d == p.difatSectors) break;
        p.fatSectors = f;
        p.difatSectors = d;
    }
    p.fatStart = next;
    if (p.difatSectors) p.difatStart = p.fatStart + p.fatSectors;

    p.fat.assign(size_t(p.fatSectors) * kEntriesPerFatSector, FREESECT);
    for (auto [first, count] : chains)
        for (uint32_t k = 0; k < count; ++k) p.fat[first + k] = k + 1 < count ? first + k + 1 : ENDOFCHAIN;
    for (uint32_t k = 0; k < p.fatSectors; ++k) p.fat[p.fatStart + k] = FATSECT;
    for (uint32_t k = 0; k < p.difatSectors; ++k) p.fat[p.difatStart + k] = DIFSECT;

    recs[0].start = p.miniStreamStart;
    recs[0].size = p.miniStreamSize;
    return p;
}

// The header ([MS-CFB] 2.2).
void PutHeader(uint8_t* header, const SectorPlan& p) {
    static const uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(header, kSignature, 8);
    Put16(header + 24, 0x003E);  // minor version
    Put16(header + 26, 0x0003);  // major version 3: 512-byte sectors
    Put16(header + 28, 0xFFFE);  // byte order
    Put16(header + 30, 9);       // sector shift
    Put16(header + 32, 6);       // mini sector shift
    Put32(header + 40, 0);       // directory sectors (always 0 in version 3)
    Put32(header + 44, p.fatSectors);
    Put32(header + 48, p.dirStart);
    Put32(header + 52, 0);  // transaction signature
    Put32(header + 56, kMiniStreamCutoff);
    Put32(header + 60, p.miniFatStart);
    Put32(header + 64, p.miniFatSectors);
    Put32(header + 68, p.difatStart);
    Put32(header + 72, p.difatSectors);
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        Put32(header + 76 + 4 * i, i < p.fatSectors ? p.fatStart + i : FREESECT);
}

// One sector of the directory ([MS-CFB] 2.6): the 128-byte entries from `first` on.
// (Written a sector at a time: a message of thousands of recipients has tens of
// thousands of entries.)
void DirectorySector(const std::vector<DirRecord>& recs, size_t first, const uint8_t* clsid, uint8_t (&sector)[kSectorSize]) {
    std::memset(sector, 0, kSectorSize);
    for (size_t i = first; i < first + kSectorSize / 128; ++i) {
        uint8_t* e = &sector[(i - first) * 128];
        if (i >= recs.size()) {  // unused entry
            Put32(e + 68, NOSTREAM);
            Put32(e + 72, NOSTREAM);
            Put32(e + 76, NOSTREAM);
            continue;
        }
        const DirRecord& r = recs[i];
        const Entry& entry = *r.entry;
        for (size_t k = 0; k < entry.nameSize; ++k) Put16(e + 2 * k, uint8_t(entry.name[k]));
        Put16(e + 64, uint16_t((entry.nameSize + 1) * 2));
        e[66] = r.type;
        e[67] = r.color;
        Put32(e + 68, r.left);
        Put32(e + 72, r.right);
        Put32(e + 76, r.child);
        if (r.type == kTypeRoot) std::memcpy(e + 80, clsid, 16);
        if (r.type != kTypeStorage) {
            Put32(e + 116, r.size ? r.start : ENDOFCHAIN);
            Put64(e + 120, r.size);
        }
    }
}

// The DIFAT sectors: the FAT sectors past the header's 109, each sector chained to the next.
std::vector<uint32_t> DifatEntries(const SectorPlan& p) {
    std::vector<uint32_t> difat;
    for (uint32_t d = 0; d < p.difatSectors; ++d) {
        for (uint32_t k = 0; k < kEntriesPerDifatSector; ++k) {
            uint32_t idx = kHeaderDifatEntries + d * kEntriesPerDifatSector + k;
            difat.push_back(idx < p.fatSectors ? p.fatStart + idx : FREESECT);
        }
        difat.push_back(d + 1 < p.difatSectors ? p.difatStart + d + 1 : ENDOFCHAIN);
    }
    return difat;
}

}  // namespace

void CompoundFile::Write(FILE* out) const {
    Layout layout(*root_);
    const auto& recs = layout.records_;
    for (const auto& r : recs)
        if (r.entry->nameSize > 31) throw MailStoreError("entry name longer than 31 characters");
    const SectorPlan plan = PlanSectors(layout);

    uint8_t header[kSectorSize] = {};
    PutHeader(header, plan);
    SectorWriter w(out);
    w.Write(header, sizeof header);

    auto write = [&w](const uint8_t* data, size_t n) { w.Write(data, n); };
    for (uint32_t id : layout.bigStreams_) {
        recs[id].entry->Read(write);
        w.PadTo(kSectorSize);
    }
    for (uint32_t id : layout.miniStreams_) {
        recs[id].entry->Read(write);
        w.PadTo(kMiniSectorSize);
    }
    w.PadTo(kSectorSize);
    if (plan.miniFatSectors) WriteTable(w, plan.miniFat, plan.miniFatSectors, FREESECT);
    uint8_t sector[kSectorSize];
    for (size_t s = 0; s < plan.dirSectors; ++s) {
        DirectorySector(recs, s * (kSectorSize / 128), clsid_, sector);
        w.Write(sector, kSectorSize);
    }
    WriteTable(w, plan.fat, plan.fatSectors, FREESECT);
    if (plan.difatSectors) WriteTable(w, DifatEntries(plan), plan.difatSectors, FREESECT);
    if (!w.ok()) throw MailStoreError("write error: " + w.error().message(), w.error());
}

}  // namespace bv::mailstore::msg
