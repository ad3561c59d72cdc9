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
constexpr size_t kChunkEntries = 4096;  // a chunk is split when it grows past twice this
constexpr size_t kFewest = 1024;        // recent entries kept before a merge, at least

size_t CountOf(const Bytes& chunk) { return chunk.size() / kEntry; }
Identity IdentityAt(const uint8_t* e) { return {Get64(e), Get32(e + 8)}; }
Identity IdentityAt(const Bytes& chunk, size_t i) { return IdentityAt(chunk.data() + i * kEntry); }
Nid NidAt(const Bytes& chunk, size_t i) { return Get32(chunk.data() + i * kEntry + 12); }
void AppendEntry(Bytes& chunk, Identity identity, Nid nid) {
    const size_t at = chunk.size();
    chunk.resize(at + kEntry);
    Put64(chunk.data() + at, identity.key);
    Put32(chunk.data() + at + 8, identity.check);
    Put32(chunk.data() + at + 12, nid);
}

}  // namespace

void IdentityTable::Clear() {
    std::vector<Bytes>().swap(chunks_);
    sortedCount_ = 0;
    decltype(recent_)().swap(recent_);  // its buckets too
}

bool IdentityTable::Load(std::vector<Bytes> blocks) {
    Clear();
    // The entries follow the header across block boundaries: read through a carry.
    uint8_t carry[kEntry];
    size_t carried = 0, seen = 0, count = 0;
    bool ordered = true;
    Identity last;
    std::vector<std::pair<Identity, Nid>> unordered;
    Bytes chunk;
    auto take = [&](const uint8_t* e) {
        const Identity identity = IdentityAt(e);
        const Nid nid = Get32(e + 12);
        if (ordered && seen > 0 && identity <= last) {
            ordered = false;  // an older writer's index: sorted below
            for (const Bytes& c : chunks_)
                for (size_t i = 0; i < CountOf(c); ++i) unordered.push_back({IdentityAt(c, i), NidAt(c, i)});
            for (size_t i = 0; i < CountOf(chunk); ++i) unordered.push_back({IdentityAt(chunk, i), NidAt(chunk, i)});
            chunks_.clear();
            chunk.clear();
        }
        if (ordered) {
            AppendEntry(chunk, identity, nid);
            if (CountOf(chunk) == kChunkEntries) chunks_.push_back(std::exchange(chunk, {}));
        } else {
            unordered.push_back({identity, nid});
        }
        last = identity;
        ++seen;
    };
    size_t offset = 0;  // into the node's bytes
    for (Bytes& block : blocks) {
        for (size_t i = 0; i < block.size(); ++i, ++offset) {
            if (offset < kHeader) {
                carry[offset % 4] = block[i];
                if (offset == 3 && Get32(carry) != kMagic) return false;
                if (offset == 7) count = Get32(carry);
                continue;
            }
            carry[carried++] = block[i];
            if (carried == kEntry) {
                take(carry);
                carried = 0;
            }
        }
        Bytes().swap(block);
    }
    if (offset < kHeader || carried != 0 || seen != count) {
        Clear();
        return false;
    }
    if (!chunk.empty()) chunks_.push_back(std::move(chunk));
    sortedCount_ = seen;
    if (!ordered) {
        std::stable_sort(unordered.begin(), unordered.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        unordered.erase(std::unique(unordered.begin(), unordered.end(),
                                    [](const auto& a, const auto& b) { return a.first == b.first; }),
                        unordered.end());
        TakeSorted(std::move(unordered));
    }
    return true;
}

void IdentityTable::TakeSorted(std::vector<std::pair<Identity, Nid>> entries) {
    chunks_.clear();
    sortedCount_ = entries.size();
    for (size_t i = 0; i < entries.size(); i += kChunkEntries) {
        Bytes chunk;
        chunk.reserve(std::min(kChunkEntries, entries.size() - i) * kEntry);
        for (size_t j = i; j < entries.size() && j < i + kChunkEntries; ++j)
            AppendEntry(chunk, entries[j].first, entries[j].second);
        chunks_.push_back(std::move(chunk));
    }
}

void IdentityTable::Add(Identity identity, Nid nid) {
    if (Find(identity)) return;
    recent_.emplace(identity, nid);
    if (recent_.size() >= std::max(kFewest, sortedCount_ / 16)) Merge();
}

std::optional<Nid> IdentityTable::Find(Identity identity) const {
    // The last chunk that starts at or below the identity.
    auto after = std::upper_bound(chunks_.begin(), chunks_.end(), identity,
                                  [](const Identity& id, const Bytes& c) { return id < IdentityAt(c, 0); });
    if (after != chunks_.begin()) {
        const Bytes& c = *(after - 1);
        size_t lo = 0, hi = CountOf(c);
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            const Identity at = IdentityAt(c, mid);
            if (at == identity) return NidAt(c, mid);
            if (at < identity)
                lo = mid + 1;
            else
                hi = mid;
        }
    }
    if (auto it = recent_.find(identity); it != recent_.end()) return it->second;
    return std::nullopt;
}

void IdentityTable::Merge() {
    if (recent_.empty()) return;
    std::vector<std::pair<Identity, Nid>> incoming(recent_.begin(), recent_.end());
    recent_.clear();
    std::sort(incoming.begin(), incoming.end());
    sortedCount_ += incoming.size();
    if (chunks_.empty()) {
        TakeSorted(std::move(incoming));
        return;
    }
    // Each incoming entry goes to the last chunk starting at or below it (the first
    // chunk for those below every chunk). A chunk that receives entries is rebuilt at
    // its new size, and split when it has grown past twice the usual.
    std::vector<Bytes> merged;
    merged.reserve(chunks_.size() + incoming.size() / kChunkEntries + 1);
    size_t next = 0;
    for (size_t c = 0; c < chunks_.size(); ++c) {
        Bytes& old = chunks_[c];
        const bool last = c + 1 == chunks_.size();
        size_t end = next;
        while (end < incoming.size() && (last || incoming[end].first < IdentityAt(chunks_[c + 1], 0))) ++end;
        if (end == next) {
            merged.push_back(std::move(old));
            continue;
        }
        const size_t total = CountOf(old) + (end - next);
        const size_t pieces = total > 2 * kChunkEntries ? (total + kChunkEntries - 1) / kChunkEntries : 1;
        const size_t per = (total + pieces - 1) / pieces;
        Bytes out;
        out.reserve(std::min(per, total) * kEntry);
        size_t a = 0, b = next;
        const size_t oldCount = CountOf(old);
        for (size_t written = 0; written < total; ++written) {
            if (CountOf(out) == per) {
                merged.push_back(std::move(out));
                out = Bytes();
                out.reserve(std::min(per, total - written) * kEntry);
            }
            if (b < end && (a == oldCount || incoming[b].first < IdentityAt(old, a))) {
                AppendEntry(out, incoming[b].first, incoming[b].second);
                ++b;
            } else {
                AppendEntry(out, IdentityAt(old, a), NidAt(old, a));
                ++a;
            }
        }
        merged.push_back(std::move(out));
        Bytes().swap(old);
        next = end;
    }
    chunks_ = std::move(merged);
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
    Put32(header + 4, uint32_t(sortedCount_));
    add(header, kHeader);
    for (const Bytes& c : chunks_) add(c.data(), c.size());
    if (!buffer.empty()) put(buffer.data(), buffer.size());
}

std::vector<Identity> IdentityTable::Identities() {
    Merge();
    std::vector<Identity> out;
    out.reserve(sortedCount_);
    for (const Bytes& c : chunks_)
        for (size_t i = 0; i < CountOf(c); ++i) out.push_back(IdentityAt(c, i));
    return out;
}

}  // namespace bv::mailstore::pst
