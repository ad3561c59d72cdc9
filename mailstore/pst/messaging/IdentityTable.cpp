#include "mailstore/pst/messaging/IdentityTable.h"

#include <algorithm>
#include <utility>

#include "mailstore/base/LittleEndian.h"

namespace bv::mailstore::pst {
namespace {

using base::Get32;
using base::Get64;
using base::Put32;
using base::Put64;

constexpr uint32_t kMagic = 0x32495642;  // "BVI2"
constexpr size_t kHeader = 8;
constexpr size_t kEntry = 16;
constexpr size_t kFewest = 1024;         // recent entries kept before a merge, at least
constexpr size_t kPageEntries = 256;     // entries of the file read by a look-up
constexpr size_t kPiece = 4096;          // entries read or written at once in a pass over the file
constexpr size_t kFilterBits = 10;       // an entry (7 probes: 1 look-up in 100 not there reads the file)
constexpr int kFilterProbes = 7;

Identity IdentityAt(const uint8_t* e) { return {Get64(e), Get32(e + 8)}; }
Nid NidAt(const uint8_t* e) { return Get32(e + 12); }
void PutEntry(uint8_t* e, Identity identity, Nid nid) {
    Put64(e, identity.key);
    Put32(e + 8, identity.check);
    Put32(e + 12, nid);
}

// The filter's bits of an identity (its key and check are digests: evenly spread).
template <typename Fn>
void ForEachProbe(Identity identity, size_t bits, Fn fn) {
    const uint64_t h1 = identity.key, h2 = (uint64_t(identity.check) << 1) | 1;
    for (int i = 0; i < kFilterProbes; ++i) fn(size_t((h1 + uint64_t(i) * h2) % bits));
}

// Entries in [lo, hi) of sorted entries at `e`: the NID of `identity`, if there.
std::optional<Nid> Search(const uint8_t* e, size_t lo, size_t hi, Identity identity) {
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        const Identity at = IdentityAt(e + mid * kEntry);
        if (at == identity) return NidAt(e + mid * kEntry);
        if (at < identity)
            lo = mid + 1;
        else
            hi = mid;
    }
    return std::nullopt;
}

}  // namespace

IdentityTable::IdentityTable(size_t heldInMemory) : heldInMemory_(heldInMemory) {}

IdentityTable::~IdentityTable() = default;

void IdentityTable::Clear() {
    sorted_ = Sorted();
    decltype(recent_)().swap(recent_);  // its buckets too
}

namespace {

// The entries of an index node's blocks, each handed to `fn` (16 bytes, across block
// boundaries through a carry). False when the blocks are not an index node: `count` is
// what its header says.
bool ForEachEntry(size_t blocks, const IdentityTable::BlockSource& block, size_t& count,
                  const std::function<void(const uint8_t*)>& fn) {
    uint8_t carry[kEntry];
    size_t carried = 0, seen = 0, offset = 0;  // offset: into the node's bytes
    count = 0;
    for (size_t b = 0; b < blocks; ++b) {
        const Bytes data = block(b);
        for (size_t i = 0; i < data.size(); ++i, ++offset) {
            if (offset < kHeader) {
                carry[offset % 4] = data[i];
                if (offset == 3 && Get32(carry) != kMagic) return false;
                if (offset == 7) count = Get32(carry);
                continue;
            }
            carry[carried++] = data[i];
            if (carried == kEntry) {
                fn(carry);
                carried = 0;
                ++seen;
            }
        }
    }
    return offset >= kHeader && carried == 0 && seen == count;
}

}  // namespace

bool IdentityTable::Load(std::vector<Bytes> blocks) {
    return Load(blocks.size(), [&](size_t i) { return blocks[i]; });
}

bool IdentityTable::Load(size_t blocks, const BlockSource& block) {
    Clear();
    // A first pass finds whether the entries are in order, as this writer leaves them;
    // the second takes them, straight into a temporary file when they are many.
    bool ordered = true;
    size_t seen = 0, count = 0;
    Identity last;
    std::vector<std::pair<Identity, Nid>> unordered;
    const bool valid = ForEachEntry(blocks, block, count, [&](const uint8_t* e) {
        const Identity identity = IdentityAt(e);
        if (ordered && seen > 0 && identity <= last) ordered = false;  // an older writer's index
        if (!ordered) unordered.push_back({identity, NidAt(e)});
        last = identity;
        ++seen;
    });
    if (!valid) {
        Clear();
        return false;
    }
    if (ordered) {
        SetSorted(count, [&](const EntrySink& sink) {
            size_t again = 0;
            if (!ForEachEntry(blocks, block, again, sink) || again != count)
                throw MailStoreError("the store's identity index changed while it was read");
        });
        return true;
    }
    // Sorted here: the entries before the first out of order, then the others; of two
    // with one identity the first is kept.
    const size_t inOrder = count - unordered.size();
    std::vector<std::pair<Identity, Nid>> before;
    before.reserve(inOrder);
    ForEachEntry(blocks, block, count, [&](const uint8_t* e) {
        if (before.size() < inOrder) before.push_back({IdentityAt(e), NidAt(e)});
    });
    unordered.insert(unordered.begin(), before.begin(), before.end());
    std::vector<std::pair<Identity, Nid>>().swap(before);
    std::stable_sort(unordered.begin(), unordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    unordered.erase(std::unique(unordered.begin(), unordered.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; }),
                    unordered.end());
    SetSorted(unordered.size(), [&](const EntrySink& sink) {
        uint8_t e[kEntry];
        for (const auto& [identity, nid] : unordered) {
            PutEntry(e, identity, nid);
            sink(e);
        }
    });
    return true;
}

void IdentityTable::SetSorted(size_t count, const std::function<void(const EntrySink&)>& produce) {
    Sorted next;
    next.count = count;
    if (count > heldInMemory_ && !spillDir_.empty()) {
        try {
            next.file = std::make_unique<base::PlatformFile>("the temporary file of the store's identities");
            next.file->OpenTemporary(spillDir_);
            next.filter.assign((count * kFilterBits + 63) / 64, 0);
            next.pageFirst.reserve((count + kPageEntries - 1) / kPageEntries);
            const size_t bits = next.filter.size() * 64;
            Bytes piece;
            piece.reserve(kPiece * kEntry);
            uint64_t at = 0, n = 0;
            auto flush = [&] {
                next.file->WriteAt(at, piece.data(), piece.size());
                at += piece.size();
                piece.clear();
            };
            produce([&](const uint8_t* e) {
                const Identity identity = IdentityAt(e);
                if (n++ % kPageEntries == 0) next.pageFirst.push_back(identity);
                ForEachProbe(identity, bits, [&](size_t bit) { next.filter[bit / 64] |= uint64_t(1) << (bit % 64); });
                piece.insert(piece.end(), e, e + kEntry);
                if (piece.size() == kPiece * kEntry) flush();
            });
            if (!piece.empty()) flush();
            sorted_ = std::move(next);
            return;
        } catch (const MailStoreError&) {
            next = Sorted();  // no room for the file: they stay in memory
            next.count = count;
        }
    }
    next.memory.reserve(count * kEntry);
    produce([&](const uint8_t* e) { next.memory.insert(next.memory.end(), e, e + kEntry); });
    sorted_ = std::move(next);
}

void IdentityTable::ReadSorted(const std::function<void(const uint8_t*, size_t)>& fn) const {
    if (!sorted_.file) {
        if (!sorted_.memory.empty()) fn(sorted_.memory.data(), sorted_.memory.size());
        return;
    }
    Bytes piece(kPiece * kEntry);
    for (size_t i = 0; i < sorted_.count; i += kPiece) {
        const size_t bytes = std::min(kPiece, sorted_.count - i) * kEntry;
        if (sorted_.file->ReadAt(uint64_t(i) * kEntry, piece.data(), bytes) != bytes)
            throw MailStoreError("the temporary file of the store's identities is cut short");
        fn(piece.data(), bytes);
    }
}

void IdentityTable::Add(Identity identity, Nid nid) {
    if (Find(identity)) return;
    recent_.emplace(identity, nid);
    if (recent_.size() >= std::max(kFewest, sorted_.count / 16)) Merge();
}

std::optional<Nid> IdentityTable::FindSorted(Identity identity) const {
    if (!sorted_.file) return Search(sorted_.memory.data(), 0, sorted_.count, identity);
    const size_t bits = sorted_.filter.size() * 64;
    bool maybe = true;
    ForEachProbe(identity, bits, [&](size_t bit) { maybe = maybe && (sorted_.filter[bit / 64] >> (bit % 64) & 1); });
    if (!maybe) return std::nullopt;
    // The last page that starts at or below the identity.
    auto after = std::upper_bound(sorted_.pageFirst.begin(), sorted_.pageFirst.end(), identity);
    if (after == sorted_.pageFirst.begin()) return std::nullopt;
    const size_t first = size_t(after - sorted_.pageFirst.begin() - 1) * kPageEntries;
    const size_t n = std::min(kPageEntries, sorted_.count - first);
    uint8_t page[kPageEntries * kEntry];
    if (sorted_.file->ReadAt(uint64_t(first) * kEntry, page, n * kEntry) != n * kEntry)
        throw MailStoreError("the temporary file of the store's identities is cut short");
    return Search(page, 0, n, identity);
}

std::optional<Nid> IdentityTable::Find(Identity identity) const {
    if (auto it = recent_.find(identity); it != recent_.end()) return it->second;
    return FindSorted(identity);
}

void IdentityTable::Merge() {
    if (recent_.empty()) return;
    std::vector<std::pair<Identity, Nid>> incoming(recent_.begin(), recent_.end());
    decltype(recent_)().swap(recent_);
    std::sort(incoming.begin(), incoming.end());
    // The sorted entries and the incoming ones, merged as they are read. Should the
    // temporary file fail, the incoming ones wait again: an identity entered is never
    // forgotten, which would let its message in a second time.
    auto merged = [&](const EntrySink& sink) {
        size_t b = 0;
        uint8_t e[kEntry];
        ReadSorted([&](const uint8_t* p, size_t bytes) {
            for (const uint8_t* end = p + bytes; p < end; p += kEntry) {
                for (; b < incoming.size() && incoming[b].first < IdentityAt(p); ++b) {
                    PutEntry(e, incoming[b].first, incoming[b].second);
                    sink(e);
                }
                sink(p);
            }
        });
        for (; b < incoming.size(); ++b) {
            PutEntry(e, incoming[b].first, incoming[b].second);
            sink(e);
        }
    };
    try {
        SetSorted(sorted_.count + incoming.size(), merged);
    } catch (...) {
        recent_.insert(incoming.begin(), incoming.end());
        throw;
    }
}

void IdentityTable::Write(size_t piece, const std::function<void(const uint8_t*, size_t)>& put) {
    Merge();
    Bytes buffer;
    buffer.reserve(piece);
    auto add = [&](const uint8_t* p, size_t n) {
        while (n > 0) {
            const size_t part = std::min(n, piece - buffer.size());
            buffer.insert(buffer.end(), p, p + part);
            p += part;
            n -= part;
            if (buffer.size() == piece) {
                put(buffer.data(), buffer.size());
                buffer.clear();
            }
        }
    };
    uint8_t header[kHeader];
    Put32(header, kMagic);
    Put32(header + 4, uint32_t(sorted_.count));
    add(header, kHeader);
    ReadSorted(add);
    if (!buffer.empty()) put(buffer.data(), buffer.size());
}

std::vector<Identity> IdentityTable::Identities() {
    Merge();
    std::vector<Identity> out;
    out.reserve(sorted_.count);
    ReadSorted([&](const uint8_t* p, size_t bytes) {
        for (size_t i = 0; i < bytes; i += kEntry) out.push_back(IdentityAt(p + i));
    });
    return out;
}

}  // namespace bv::mailstore::pst
