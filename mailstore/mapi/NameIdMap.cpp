#include "mailstore/mapi/NameIdMap.h"

#include <algorithm>
#include <stdexcept>

#include "mailstore/base/LittleEndian.h"
#include "mailstore/mapi/Utf16.h"
#include "mailstore/pst/ndb/Crc.h"

namespace bv::mapi {

namespace {

// PS_MAPI {00020328-0000-0000-C000-000000000046}, in storage order.
constexpr PropertyName::Guid kPsMapi{0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

using base::Append32;

}  // namespace

uint16_t NameIdMap::IdOf(const PropertyName& name) {
    if (auto it = ids_.find(name); it != ids_.end()) return it->second;
    const size_t index = records_.size();
    if (index > 0xFFFEu - kFirstId) throw std::length_error("too many named properties");

    uint32_t guidIndex = 0;
    if (name.guid == kPsMapi) {
        guidIndex = 1;
    } else if (name.guid == PS_PUBLIC_STRINGS) {
        guidIndex = 2;
    } else {
        size_t n = 0;
        while (n * 16 < guids_.size() && !std::equal(name.guid.begin(), name.guid.end(), guids_.begin() + long(n * 16))) ++n;
        if (n * 16 == guids_.size()) guids_.insert(guids_.end(), name.guid.begin(), name.guid.end());
        guidIndex = uint32_t(3 + n);
    }

    Record record{};
    uint32_t entryKey = 0;
    if (const auto* text = std::get_if<std::string>(&name.id)) {
        std::vector<uint8_t> u16 = Utf8ToUtf16Le(*text);
        strings_.resize((strings_.size() + 3) / 4 * 4, 0);  // each entry starts on 4 bytes; the last is not padded
        entryKey = uint32_t(strings_.size());
        record.key = mailstore::pst::ComputeCrc(u16.data(), u16.size(), 0);
        Append32(strings_, uint32_t(u16.size()));
        strings_.insert(strings_.end(), u16.begin(), u16.end());
        record.info = uint32_t(index) << 16 | guidIndex << 1 | 1;
    } else {
        entryKey = record.key = std::get<uint32_t>(name.id);
        record.info = uint32_t(index) << 16 | guidIndex << 1;
    }
    Append32(entries_, entryKey);
    Append32(entries_, record.info);
    records_.push_back(record);
    const auto id = uint16_t(kFirstId + index);
    ids_.emplace(name, id);
    return id;
}

std::map<uint32_t, std::vector<uint8_t>> NameIdMap::HashBuckets(uint32_t bucketCount) const {
    std::map<uint32_t, std::vector<uint8_t>> buckets;
    for (const Record& r : records_) {
        std::vector<uint8_t>& b = buckets[(r.key ^ (r.info & 0xFFFF)) % bucketCount];
        Append32(b, r.key);
        Append32(b, r.info);
    }
    return buckets;
}

}  // namespace bv::mapi
