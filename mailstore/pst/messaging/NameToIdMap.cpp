// [MS-PST] §2.4.7: NAMEID records {dwPropertyID, wGuid << 1 | N, wPropIdx} in the entry
// stream, at position wPropIdx (Outlook's maps are positional, so ours stay so); string
// names in the string stream as {length, UTF-16LE, padding to 4 bytes}; every record also
// in hash bucket (hash XOR (wGuid << 1 | N)) % bucket count, where the hash of a string
// name is the CRC-32 of its UTF-16LE form and replaces dwPropertyID in the bucket copy.
#include "mailstore/pst/messaging/NameToIdMap.h"

#include <algorithm>

#include "mailstore/MailStoreError.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/ndb/Crc.h"

namespace bv::mailstore::pst {
namespace {

using mapi::PropertyName;

constexpr uint16_t kBucketCountId = 0x0001;
constexpr uint16_t kGuidStreamId = 0x0002;
constexpr uint16_t kEntryStreamId = 0x0003;
constexpr uint16_t kStringStreamId = 0x0004;
constexpr uint16_t kFirstBucketId = 0x1000;
constexpr uint16_t kGuidPsMapi = 1;
constexpr uint16_t kGuidPublicStrings = 2;
constexpr uint16_t kFirstStreamGuid = 3;
constexpr size_t kMaxEntries = 0x7FFF;  // ids 0x8000..0xFFFE

// PS_MAPI {00020328-0000-0000-C000-000000000046}
constexpr PropertyName::Guid kPsMapi{0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kLidInternetAccountName = 0x8580;

Bytes* FindValue(std::vector<PcProp>& props, uint16_t id) {
    for (auto& p : props)
        if (p.id == id && p.type == mapi::PT_BINARY) return &p.value;
    return nullptr;
}

}  // namespace

NameToIdMap::NameToIdMap(NameToIdMap&& o) noexcept
    : bucketCount_(o.bucketCount_),
      guidStream_(std::move(o.guidStream_)),
      entryStream_(std::move(o.entryStream_)),
      stringStream_(std::move(o.stringStream_)),
      buckets_(std::move(o.buckets_)),
      otherProps_(std::move(o.otherProps_)),
      ids_(std::move(o.ids_)),
      changed_(o.changed_) {}

NameToIdMap NameToIdMap::ForNewStore() {
    NameToIdMap m;
    m.IdOf(PropertyName{mapi::PS_PUBLIC_STRINGS, std::string("Keywords")});
    m.IdOf(PropertyName{mapi::PSETID_Common, kLidInternetAccountName});
    return m;
}

NameToIdMap NameToIdMap::FromProperties(std::vector<PcProp> props) {
    NameToIdMap m;
    for (auto& p : props) {
        if (p.id == kBucketCountId && p.type == mapi::PT_LONG && p.value.size() >= 4) m.bucketCount_ = Get32(p.value.data());
    }
    if (m.bucketCount_ == 0) FormatError("name-to-ID map", "PidTagNameidBucketCount", "is 0");
    if (Bytes* v = FindValue(props, kGuidStreamId)) m.guidStream_ = std::move(*v);
    if (Bytes* v = FindValue(props, kEntryStreamId)) m.entryStream_ = std::move(*v);
    if (Bytes* v = FindValue(props, kStringStreamId)) m.stringStream_ = std::move(*v);
    for (auto& p : props) {
        if (p.id >= kFirstBucketId && p.id < kFirstBucketId + m.bucketCount_ && p.type == mapi::PT_BINARY)
            m.buckets_[uint16_t(p.id - kFirstBucketId)] = std::move(p.value);
        else if (p.id > kStringStreamId && p.id < kFirstBucketId)
            m.otherProps_.push_back(std::move(p));
    }
    m.entryStream_.resize(m.entryStream_.size() / 8 * 8);
    const size_t guids = m.guidStream_.size() / 16;
    for (size_t i = 0; i < m.entryStream_.size(); i += 8) {
        const uint8_t* e = &m.entryStream_[i];
        uint32_t dw = Get32(e);
        uint16_t word = Get16(e + 4);
        uint16_t idx = Get16(e + 6);
        uint16_t wGuid = word >> 1;
        PropertyName name;
        if (wGuid == kGuidPsMapi) {
            name.guid = kPsMapi;
        } else if (wGuid == kGuidPublicStrings) {
            name.guid = mapi::PS_PUBLIC_STRINGS;
        } else if (wGuid >= kFirstStreamGuid && size_t(wGuid - kFirstStreamGuid) < guids) {
            std::copy_n(&m.guidStream_[16 * (wGuid - kFirstStreamGuid)], 16, name.guid.begin());
        } else {
            continue;  // an entry we cannot name is kept as it is, but never matched
        }
        if (word & 1) {
            if (size_t(dw) + 4 > m.stringStream_.size()) continue;
            uint32_t len = Get32(&m.stringStream_[dw]);
            if (size_t(dw) + 4 + len > m.stringStream_.size()) continue;
            name.id = FromUtf16(Bytes(m.stringStream_.begin() + dw + 4, m.stringStream_.begin() + dw + 4 + len));
        } else {
            name.id = dw;
        }
        m.ids_.emplace(std::move(name), uint16_t(0x8000 + idx));
    }
    return m;
}

uint16_t NameToIdMap::GuidIndex(const PropertyName::Guid& guid) {
    if (guid == kPsMapi) return kGuidPsMapi;
    if (guid == mapi::PS_PUBLIC_STRINGS) return kGuidPublicStrings;
    for (size_t i = 0; i + 16 <= guidStream_.size(); i += 16)
        if (std::equal(guid.begin(), guid.end(), guidStream_.begin() + i)) return uint16_t(kFirstStreamGuid + i / 16);
    guidStream_.insert(guidStream_.end(), guid.begin(), guid.end());
    return uint16_t(kFirstStreamGuid + guidStream_.size() / 16 - 1);
}

uint16_t NameToIdMap::Add(const PropertyName& name) {
    const size_t index = entryStream_.size() / 8;  // positional: wPropIdx = position
    if (index >= kMaxEntries) throw MailStoreError("the store's name-to-ID map is full (32,767 named properties)");
    const uint16_t word = uint16_t(GuidIndex(name.guid) << 1 | (name.isString() ? 1 : 0));
    uint32_t dw = 0;
    uint32_t hash = 0;
    if (name.isString()) {
        Bytes utf16 = Utf16(std::get<std::string>(name.id));
        dw = uint32_t(stringStream_.size());
        Append32(stringStream_, uint32_t(utf16.size()));
        stringStream_.insert(stringStream_.end(), utf16.begin(), utf16.end());
        stringStream_.resize((stringStream_.size() + 3) / 4 * 4, 0);
        hash = ComputeCrc(utf16.data(), utf16.size());
    } else {
        dw = std::get<uint32_t>(name.id);
        hash = dw;
    }
    Append32(entryStream_, dw);
    Append16(entryStream_, word);
    Append16(entryStream_, uint16_t(index));
    Bytes& bucket = buckets_[uint16_t((hash ^ word) % bucketCount_)];
    Append32(bucket, hash);
    Append16(bucket, word);
    Append16(bucket, uint16_t(index));
    const uint16_t id = uint16_t(0x8000 + index);
    ids_.emplace(name, id);
    changed_ = true;
    return id;
}

uint16_t NameToIdMap::IdOf(const PropertyName& name) {
    std::lock_guard lock(mutex_);
    auto it = ids_.find(name);
    return it != ids_.end() ? it->second : Add(name);
}

bool NameToIdMap::Changed() const {
    std::lock_guard lock(mutex_);
    return changed_;
}

std::vector<PcProp> NameToIdMap::Properties() const {
    std::lock_guard lock(mutex_);
    std::vector<PcProp> props = otherProps_;
    props.push_back(PropLong(uint32_t(kBucketCountId) << 16 | mapi::PT_LONG, int32_t(bucketCount_)));
    props.push_back(PropBinary(uint32_t(kGuidStreamId) << 16 | mapi::PT_BINARY, guidStream_));
    props.push_back(PropBinary(uint32_t(kEntryStreamId) << 16 | mapi::PT_BINARY, entryStream_));
    props.push_back(PropBinary(uint32_t(kStringStreamId) << 16 | mapi::PT_BINARY, stringStream_));
    for (const auto& [n, records] : buckets_)
        if (!records.empty()) props.push_back(PropBinary(uint32_t(kFirstBucketId + n) << 16 | mapi::PT_BINARY, records));
    return props;
}

}  // namespace bv::mailstore::pst
