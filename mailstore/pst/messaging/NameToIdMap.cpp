// Node 0x61 holds the map as PidTagNameidBucketCount (0x0001), the GUID, entry and string
// streams (0x0002 .. 0x0004) and one property per non-empty hash bucket (0x1000 + n).
// Outlook keeps the string stream padded to 4 bytes at its end, and so do we.
#include "mailstore/pst/messaging/NameToIdMap.h"

#include <map>
#include <stdexcept>

#include "mailstore/MailStoreError.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"

namespace bv::mailstore::pst {
namespace {

using mapi::PropertyName;

constexpr uint16_t kBucketCountId = 0x0001;
constexpr uint16_t kGuidStreamId = 0x0002;
constexpr uint16_t kEntryStreamId = 0x0003;
constexpr uint16_t kStringStreamId = 0x0004;
constexpr uint16_t kFirstBucketId = 0x1000;
constexpr uint32_t kBucketCount = 251;
constexpr uint32_t kLidInternetAccountName = 0x8580;

Bytes TakeBinary(std::vector<PcProp>& props, uint16_t id) {
    for (auto& p : props)
        if (p.id == id && p.type == mapi::PT_BINARY) return std::move(p.value);
    return {};
}

}  // namespace

NameToIdMap::NameToIdMap(mapi::NameIdMap map, std::vector<PcProp> otherProps)
    : map_(std::move(map)), namesRead_(map_.Size()), otherProps_(std::move(otherProps)) {}

NameToIdMap::NameToIdMap(NameToIdMap&& o) noexcept
    : map_(std::move(o.map_)), namesRead_(o.namesRead_), otherProps_(std::move(o.otherProps_)) {}

NameToIdMap NameToIdMap::ForNewStore() {
    NameToIdMap m(mapi::NameIdMap(kBucketCount), {});
    m.IdOf(PropertyName{mapi::PS_PUBLIC_STRINGS, std::string("Keywords")});
    m.IdOf(PropertyName{mapi::PSETID_Common, kLidInternetAccountName});
    return m;
}

NameToIdMap NameToIdMap::FromProperties(std::vector<PcProp> props) {
    uint32_t bucketCount = kBucketCount;
    for (auto& p : props)
        if (p.id == kBucketCountId && p.type == mapi::PT_LONG && p.value.size() >= 4) bucketCount = Get32(p.value.data());
    if (bucketCount == 0) FormatError("name-to-ID map", "PidTagNameidBucketCount", "is 0");
    Bytes guids = TakeBinary(props, kGuidStreamId);
    Bytes entries = TakeBinary(props, kEntryStreamId);
    Bytes strings = TakeBinary(props, kStringStreamId);
    std::map<uint32_t, Bytes> buckets;
    std::vector<PcProp> other;
    for (auto& p : props) {
        if (p.id >= kFirstBucketId && p.id < kFirstBucketId + bucketCount && p.type == mapi::PT_BINARY)
            buckets[p.id - kFirstBucketId] = std::move(p.value);
        else if (p.id > kStringStreamId && p.id < kFirstBucketId)
            other.push_back(std::move(p));
    }
    return NameToIdMap(mapi::NameIdMap::FromStreams(bucketCount, std::move(guids), std::move(entries),
                                                    std::move(strings), std::move(buckets)),
                       std::move(other));
}

uint16_t NameToIdMap::IdOf(const PropertyName& name) {
    std::lock_guard lock(mutex_);
    try {
        return map_.IdOf(name);
    } catch (const std::length_error&) {
        throw MailStoreError("the store's name-to-ID map is full (32,767 named properties)");
    }
}

bool NameToIdMap::Changed() const {
    std::lock_guard lock(mutex_);
    return map_.Size() != namesRead_;
}

std::vector<PcProp> NameToIdMap::Properties() const {
    std::lock_guard lock(mutex_);
    std::vector<PcProp> props = otherProps_;
    Bytes strings = map_.StringStream();
    strings.resize((strings.size() + 3) / 4 * 4, 0);
    props.push_back(PropLong(mapi::MakeTag(kBucketCountId, mapi::PT_LONG), int32_t(map_.BucketCount())));
    props.push_back(PropBinary(mapi::MakeTag(kGuidStreamId, mapi::PT_BINARY), map_.GuidStream()));
    props.push_back(PropBinary(mapi::MakeTag(kEntryStreamId, mapi::PT_BINARY), map_.EntryStream()));
    props.push_back(PropBinary(mapi::MakeTag(kStringStreamId, mapi::PT_BINARY), std::move(strings)));
    for (const auto& [n, records] : map_.HashBuckets())
        if (!records.empty()) props.push_back(PropBinary(mapi::MakeTag(uint16_t(kFirstBucketId + n), mapi::PT_BINARY), records));
    return props;
}

}  // namespace bv::mailstore::pst
