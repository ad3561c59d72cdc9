#include "mailstore/mapi/EntryIds.h"

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

std::vector<uint8_t> MessageSearchKey(std::string_view bytes) {
    constexpr uint64_t kP1 = 0x9E3779B185EBCA87ULL, kP2 = 0xC2B2AE3D27D4EB4FULL;
    auto rotl = [](uint64_t x, int r) { return (x << r) | (x >> (64 - r)); };
    uint64_t a = 0x243F6A8885A308D3ULL ^ bytes.size(), b = 0x13198A2E03707344ULL;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t n = bytes.size();
    while (n >= 16) {
        const uint64_t w1 = base::Get64(p), w2 = base::Get64(p + 8);
        a = rotl(a + w1 * kP2, 31) * kP1;
        b = rotl(b + w2 * kP2, 31) * kP1;
        p += 16;
        n -= 16;
    }
    uint8_t tail[16] = {};
    std::memcpy(tail, p, n);
    const uint64_t w1 = base::Get64(tail), w2 = base::Get64(tail + 8);
    a = rotl(a + (w1 ^ n) * kP2, 31) * kP1;
    b = rotl(b + w2 * kP2, 31) * kP1;
    auto mix = [](uint64_t h) {
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ULL;
        return h ^ (h >> 33);
    };
    uint64_t h1 = mix(a ^ rotl(b, 17)), h2 = mix(b ^ rotl(a, 29) ^ kP1);
    std::vector<uint8_t> key(16);
    base::Put64(key.data(), h1);
    base::Put64(key.data() + 8, h2);
    return key;
}

}  // namespace bv::mailstore::mapi
