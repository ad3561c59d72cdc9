#include "mailstore/mapi/EntryIds.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/LittleEndian.h"
#include "mailstore/base/Utf8.h"

namespace bv::mailstore::mapi {

namespace {

// The one-off provider's UID ([MS-OXCDATA] 2.2.5.1).
constexpr uint8_t kOneOffProvider[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                         0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
}  // namespace

std::vector<uint8_t> OneOffEntryId(const std::string& displayName, const std::string& address,
                                   std::string_view addressType, uint16_t flags) {
    std::vector<uint8_t> id;
    id.reserve(24 + 2 * (displayName.size() + address.size() + addressType.size() + 3));
    base::Append32(id, 0);  // flags
    id.insert(id.end(), std::begin(kOneOffProvider), std::end(kOneOffProvider));
    base::Append16(id, 0);  // version
    base::Append16(id, flags);
    for (std::string_view s : {std::string_view(displayName), addressType, std::string_view(address)}) {
        std::vector<uint8_t> u = base::Utf8ToUtf16Le(s);
        id.insert(id.end(), u.begin(), u.end());
        base::Append16(id, 0);
    }
    return id;
}

std::vector<uint8_t> FlatEntryList(const std::vector<std::vector<uint8_t>>& entryIds) {
    std::vector<uint8_t> entries;
    for (const std::vector<uint8_t>& id : entryIds) {
        base::Append32(entries, uint32_t(id.size()));
        entries.insert(entries.end(), id.begin(), id.end());
        while (entries.size() % 4) entries.push_back(0);
    }
    std::vector<uint8_t> list;
    base::Append32(list, uint32_t(entryIds.size()));
    base::Append32(list, uint32_t(entries.size()));
    list.insert(list.end(), entries.begin(), entries.end());
    return list;
}

std::vector<uint8_t> SmtpSearchKey(const std::string& address) {
    std::string key = "SMTP:";
    for (char c : address) key += base::AsciiToUpper(c);
    std::vector<uint8_t> out(key.begin(), key.end());
    out.push_back(0);
    return out;
}

namespace {
constexpr uint64_t kP1 = 0x9E3779B185EBCA87ULL, kP2 = 0xC2B2AE3D27D4EB4FULL;
inline uint64_t Rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
// One 16-byte stride into the two lanes.
inline void Stride(uint64_t& a, uint64_t& b, const uint8_t* p) {
    a = Rotl(a + base::Get64(p) * kP2, 31) * kP1;
    b = Rotl(b + base::Get64(p + 8) * kP2, 31) * kP1;
}
}  // namespace

MessageSearchKeyHash::MessageSearchKeyHash(uint64_t size)
    : a_(0x243F6A8885A308D3ULL ^ size), b_(0x13198A2E03707344ULL) {}

void MessageSearchKeyHash::Add(std::string_view piece) {
    const auto* p = reinterpret_cast<const uint8_t*>(piece.data());
    size_t n = piece.size();
    uint64_t a = a_, b = b_;
    if (held_ > 0) {
        const size_t take = std::min(n, 16 - held_);
        std::memcpy(tail_ + held_, p, take);
        held_ += take;
        p += take;
        n -= take;
        if (held_ < 16) return;
        Stride(a, b, tail_);
        held_ = 0;
    }
    for (; n >= 16; p += 16, n -= 16) Stride(a, b, p);
    a_ = a;
    b_ = b;
    std::memcpy(tail_, p, n);
    held_ = n;
}

std::vector<uint8_t> MessageSearchKeyHash::Finish() {
    std::memset(tail_ + held_, 0, 16 - held_);
    const uint64_t w1 = base::Get64(tail_), w2 = base::Get64(tail_ + 8);
    uint64_t a = Rotl(a_ + (w1 ^ held_) * kP2, 31) * kP1;
    uint64_t b = Rotl(b_ + w2 * kP2, 31) * kP1;
    auto mix = [](uint64_t h) {
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ULL;
        return h ^ (h >> 33);
    };
    uint64_t h1 = mix(a ^ Rotl(b, 17)), h2 = mix(b ^ Rotl(a, 29) ^ kP1);
    std::vector<uint8_t> key(16);
    base::Put64(key.data(), h1);
    base::Put64(key.data() + 8, h2);
    return key;
}

std::vector<uint8_t> MessageSearchKey(std::string_view bytes) {
    MessageSearchKeyHash hash(bytes.size());
    hash.Add(bytes);
    return hash.Finish();
}

}  // namespace bv::mailstore::mapi
