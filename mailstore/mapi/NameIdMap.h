// The name-to-id map of a file holding named properties, the one owner of its record
// format for both the .msg and the .pst: each property name gets an id from 0x8000 on,
// in the order names are first met, and the map is kept as the streams Outlook reads it
// from ([MS-OXMSG] 2.2.3; the same records as the .pst's map, [MS-PST] 2.4.7):
//   GUID stream   16 bytes per property set other than PS_MAPI and PS_PUBLIC_STRINGS;
//   entry stream  8 bytes per name, at the position of its index: the LID or the
//                 string's offset in the string stream, then
//                 (index << 16) | (GUID index << 1) | kind (1 for a string name),
//                 where the GUID index is 1 for PS_MAPI, 2 for PS_PUBLIC_STRINGS and
//                 3 + n for the n-th GUID of the GUID stream; the id is 0x8000 + index;
//   string stream per string name: its byte length (4 bytes), the name in UTF-16LE;
//                 each starts at a multiple of 4 bytes (the last one is not padded
//                 here, as in Outlook's .msg files; a .pst pads it);
//   hash buckets  the entry records again, sorted into buckets by
//                 (LID, or the CRC-32 of the UTF-16LE name) XOR (GUID index << 1 | kind),
//                 modulo the bucket count; a string name's record holds the CRC there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mapi {

class NameIdMap {
public:
    using Bytes = std::vector<uint8_t>;
    static constexpr uint16_t kFirstId = 0x8000;
    static constexpr size_t kMaxNames = 0xFFFF - kFirstId;  // ids 0x8000 .. 0xFFFE

    // An empty map sorting its records into `bucketCount` (> 0) hash buckets.
    explicit NameIdMap(uint32_t bucketCount);
    // The map a file holds: its streams and its buckets (bucket number -> records). The
    // names it holds keep their ids; streams and buckets are kept byte for byte and only
    // appended to. An entry whose GUID or string is out of range is kept but never
    // matched; a partial record or GUID at a stream's end is dropped.
    static NameIdMap FromStreams(uint32_t bucketCount, Bytes guids, Bytes entries, Bytes strings,
                                 std::map<uint32_t, Bytes> buckets);

    // The id of `name`, given on first use. Throws std::length_error past 0xFFFE.
    uint16_t IdOf(const PropertyName& name);

    size_t Size() const { return entries_.size() / 8; }
    bool Empty() const { return entries_.empty(); }
    uint32_t BucketCount() const { return bucketCount_; }
    const Bytes& GuidStream() const { return guids_; }
    const Bytes& EntryStream() const { return entries_; }
    const Bytes& StringStream() const { return strings_; }
    // Bucket number (0 .. bucket count - 1) -> its records, only the buckets holding any.
    const std::map<uint32_t, Bytes>& HashBuckets() const { return buckets_; }

private:
    uint32_t GuidIndex(const PropertyName::Guid& guid);

    uint32_t bucketCount_;
    std::map<PropertyName, uint16_t> ids_;
    Bytes guids_, entries_, strings_;
    std::map<uint32_t, Bytes> buckets_;
};

}  // namespace bv::mailstore::mapi
