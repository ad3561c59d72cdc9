#include "mailstore/mapi/NameIdMap.h"

#include <algorithm>
#include <stdexcept>

#include "mailstore/base/Crc32.h"
#include "mailstore/base/LittleEndian.h"
#include "mailstore/mapi/Utf16.h"

namespace bv::mailstore::mapi {

namespace {

// PS_MAPI {00020328-0000-0000-C000-000000000046}, in storage order.
constexpr PropertyName::Guid kPsMapi{0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kGuidPsMapi = 1;
constexpr uint32_t kGuidPublicStrings = 2;
constexpr uint32_t kFirstStreamGuid = 3;

using base::Append32;
using base::Get16;
using base::Get32;

}  // namespace

NameIdMap::NameIdMap(uint32_t bucketCount) : bucketCount_(bucketCount) {
    if (bucketCount == 0) throw std::invalid_argument("a name-to-id map needs at least one hash bucket");
}

NameIdMap NameIdMap::FromStreams(uint32_t bucketCount, Bytes guids, Bytes entries, Bytes strings,
                                 std::map<uint32_t, Bytes> buckets) {
    NameIdMap m(bucketCount);
    m.guids_ = std::move(guids);
    m.guids_.resize(m.guids_.size() / 16 * 16);
    m.entries_ = std::move(entries);
    m.entries_.resize(m.entries_.size() / 8 * 8);
    m.strings_ = std::move(strings);
    m.buckets_ = std::move(buckets);
    const size_t streamGuids = m.guids_.size() / 16;
    for (size_t i = 0; i < m.entries_.size(); i += 8) {
        const uint8_t* e = &m.entries_[i];
        const uint32_t key = Get32(e);
        const uint16_t word = Get16(e + 4);
        const uint16_t index = Get16(e + 6);
        const uint32_t guidIndex = word >> 1;
        PropertyName name;
        if (guidIndex == kGuidPsMapi) {
            name.guid = kPsMapi;
        } else if (guidIndex == kGuidPublicStrings) {
            name.guid = PS_PUBLIC_STRINGS;
        } else if (guidIndex >= kFirstStreamGuid && guidIndex - kFirstStreamGuid < streamGuids) {
            std::copy_n(&m.guids_[16 * (guidIndex - kFirstStreamGuid)], 16, name.guid.begin());
        } else {
            continue;
        }
        if (word & 1) {
            if (size_t(key) + 4 > m.strings_.size()) continue;
            const uint32_t length = Get32(&m.strings_[key]);
            if (size_t(key) + 4 + length > m.strings_.size()) continue;
            name.id = Utf16LeToUtf8(&m.strings_[key + 4], length);
        } else {
            name.id = key;
        }
        m.ids_.emplace(std::move(name), uint16_t(kFirstId + index));
    }
    return m;
}

uint32_t NameIdMap::GuidIndex(const PropertyName::Guid& guid) {
    if (guid == kPsMapi) return kGuidPsMapi;
    if (guid == PS_PUBLIC_STRINGS) return kGuidPublicStrings;
    size_t n = 0;
    while (n * 16 < guids_.size() && !std::equal(guid.begin(), guid.end(), guids_.begin() + long(n * 16))) ++n;
    if (n * 16 == guids_.size()) guids_.insert(guids_.end(), guid.begin(), guid.end());
    return uint32_t(kFirstStreamGuid + n);
}

uint16_t NameIdMap::IdOf(const PropertyName& name) {
    if (auto it = ids_.find(name); it != ids_.end()) return it->second;
    const size_t index = Size();  // positional: a record's index is its place in the entry stream
    if (index >= kMaxNames) throw std::length_error("too many named properties");

    const uint32_t info = uint32_t(index) << 16 | GuidIndex(name.guid) << 1 | (name.isString() ? 1 : 0);
    uint32_t entryKey = 0, hashKey = 0;
    if (const auto* text = std::get_if<std::string>(&name.id)) {
        const Bytes u16 = Utf8ToUtf16Le(*text);
        strings_.resize((strings_.size() + 3) / 4 * 4, 0);
        entryKey = uint32_t(strings_.size());
        hashKey = base::ComputeCrc(u16.data(), u16.size());
        Append32(strings_, uint32_t(u16.size()));
        strings_.insert(strings_.end(), u16.begin(), u16.end());
    } else {
        entryKey = hashKey = std::get<uint32_t>(name.id);
    }
    Append32(entries_, entryKey);
    Append32(entries_, info);
    Bytes& bucket = buckets_[(hashKey ^ (info & 0xFFFF)) % bucketCount_];
    Append32(bucket, hashKey);
    Append32(bucket, info);
    const auto id = uint16_t(kFirstId + index);
    ids_.emplace(name, id);
    return id;
}

}  // namespace bv::mailstore::mapi
