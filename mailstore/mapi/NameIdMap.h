// The name-to-id map of a file holding named properties: each property name gets an id
// from 0x8000 on, in the order names are first met, and the map is written as the
// streams Outlook reads it from ([MS-OXMSG] 2.2.3; the same records as the .pst's
// name-to-id map, [MS-PST] 2.4.7):
//   GUID stream   16 bytes per property set other than PS_MAPI and PS_PUBLIC_STRINGS;
//   entry stream  8 bytes per name: the LID or the string's offset in the string stream,
//                 then (index << 16) | (GUID index << 1) | kind (1 for a string name),
//                 where the GUID index is 1 for PS_MAPI, 2 for PS_PUBLIC_STRINGS and
//                 3 + n for the n-th GUID of the GUID stream; the id is 0x8000 + index;
//   string stream per string name: its byte length (4 bytes), the name in UTF-16LE;
//                 each starts at a multiple of 4 bytes (the last one is not padded,
//                 as in Outlook's files);
//   hash buckets  the entry records again, sorted into buckets by
//                 (LID, or the CRC-32 of the UTF-16LE name) XOR (GUID index << 1 | kind),
//                 modulo the bucket count; a string name's record holds the CRC there.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "mailstore/mapi/Message.h"

namespace bv::mapi {

class NameIdMap {
public:
    static constexpr uint16_t kFirstId = 0x8000;

    // The id of `name`, given on first use. Throws std::length_error past 0xFFFE.
    uint16_t IdOf(const PropertyName& name);

    bool Empty() const { return ids_.empty(); }
    const std::vector<uint8_t>& GuidStream() const { return guids_; }
    const std::vector<uint8_t>& EntryStream() const { return entries_; }
    const std::vector<uint8_t>& StringStream() const { return strings_; }
    // Bucket number (0 .. bucketCount-1) -> its records, only the buckets holding any.
    std::map<uint32_t, std::vector<uint8_t>> HashBuckets(uint32_t bucketCount) const;

private:
    struct Record {
        uint32_t key;   // LID or CRC-32 of the name
        uint32_t info;  // (index << 16) | (GUID index << 1) | kind
    };
    std::map<PropertyName, uint16_t> ids_;
    std::vector<Record> records_;
    std::vector<uint8_t> guids_, entries_, strings_;
};

}  // namespace bv::mapi
