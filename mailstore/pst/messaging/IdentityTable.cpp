#include "mailstore/pst/messaging/IdentityTable.h"

#include <algorithm>

#include "mailstore/base/LittleEndian.h"

namespace bv::mailstore::pst {
namespace {

using base::Get32;
using base::Get64;
using base::Put32;
using base::Put64;

constexpr uint32_t kMagic = 0x31495642;  // "BVI1"
constexpr size_t kHeader = 8;
constexpr size_t kEntry = 12;
constexpr size_t kFewest = 1024;  // recent entries kept before a merge, at least

uint64_t IdentityAt(const Bytes& b, size_t i) { return Get64(b.data() + kHeader + i * kEntry); }
Nid NidAt(const Bytes& b, size_t i) { return Get32(b.data() + kHeader + i * kEntry + 8); }
void PutEntry(uint8_t* at, uint64_t identity, Nid nid) {
    Put64(at, identity);
    Put32(at + 8, nid);
}

}  // namespace

void IdentityTable::Clear() {
    sorted_.assign(kHeader, 0);
    Put32(sorted_.data(), kMagic);
    sortedCount_ = 0;
    recent_.clear();
}

bool IdentityTable::Load(Bytes bytes) {
    Clear();
    if (bytes.size() < kHeader || Get32(bytes.data()) != kMagic) return false;
    const size_t count = Get32(bytes.data() + 4);
    if (bytes.size() != kHeader + count * kEntry) return false;
    bool ordered = true;
    for (size_t i = 1; i < count && ordered; ++i) ordered = IdentityAt(bytes, i - 1) < IdentityAt(bytes, i);
    if (!ordered) {
        std::vector<std::pair<uint64_t, Nid>> entries;
        entries.reserve(count);
        for (size_t i = 0; i < count; ++i) entries.push_back({IdentityAt(bytes, i), NidAt(bytes, i)});
        std::stable_sort(entries.begin(), entries.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const auto& a, const auto& b) { return a.first == b.first; }),
                      entries.end());
        bytes.resize(kHeader + entries.size() * kEntry);
        for (size_t i = 0; i < entries.size(); ++i)
            PutEntry(bytes.data() + kHeader + i * kEntry, entries[i].first, entries[i].second);
    }
    sorted_ = std::move(bytes);
    sortedCount_ = (sorted_.size() - kHeader) / kEntry;
    SetCount();
    return true;
}

void IdentityTable::Add(uint64_t identity, Nid nid) {
    if (Find(identity)) return;
    recent_.emplace(identity, nid);
    if (recent_.size() >= std::max(kFewest, sortedCount_ / 16)) Merge();
}

std::optional<Nid> IdentityTable::Find(uint64_t identity) const {
    size_t lo = 0, hi = sortedCount_;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        const uint64_t at = IdentityAt(sorted_, mid);
        if (at == identity) return NidAt(sorted_, mid);
        if (at < identity)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (auto it = recent_.find(identity); it != recent_.end()) return it->second;
    return std::nullopt;
}

void IdentityTable::Merge() {
    if (recent_.empty()) return;
    std::vector<std::pair<uint64_t, Nid>> incoming(recent_.begin(), recent_.end());
    recent_.clear();
    std::sort(incoming.begin(), incoming.end());
    const size_t total = sortedCount_ + incoming.size();
    const size_t bytes = kHeader + total * kEntry;
    // Grown by a quarter, not doubled: while it is copied, both the old and the new
    // buffer are held.
    if (sorted_.capacity() < bytes) sorted_.reserve(bytes + bytes / 4);
    sorted_.resize(bytes);
    // From the back, so that nothing is overwritten before it is moved.
    size_t a = sortedCount_, b = incoming.size(), out = total;
    while (b > 0) {
        uint8_t* to = sorted_.data() + kHeader + (--out) * kEntry;
        if (a > 0 && IdentityAt(sorted_, a - 1) > incoming[b - 1].first) {
            std::copy_n(sorted_.data() + kHeader + (a - 1) * kEntry, kEntry, to);
            --a;
        } else {
            PutEntry(to, incoming[b - 1].first, incoming[b - 1].second);
            --b;
        }
    }
    sortedCount_ = total;
    SetCount();
}

void IdentityTable::SetCount() { Put32(sorted_.data() + 4, uint32_t(sortedCount_)); }

const Bytes& IdentityTable::Serialized() {
    Merge();
    return sorted_;
}

std::vector<uint64_t> IdentityTable::Identities() {
    Merge();
    std::vector<uint64_t> out;
    out.reserve(sortedCount_);
    for (size_t i = 0; i < sortedCount_; ++i) out.push_back(IdentityAt(sorted_, i));
    return out;
}

}  // namespace bv::mailstore::pst
