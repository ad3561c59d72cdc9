// Names and constants of the .msg layout ([MS-OXMSG] 2.1-2.4) shared by the writer
// and its tests.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mailstore/mapi/PropTags.h"

namespace bv::mailstore::msg {

inline constexpr const char* kPropertiesStream = "__properties_version1.0";
inline constexpr const char* kNameIdStorage = "__nameid_version1.0";
inline constexpr const char* kNameIdGuidStream = "__substg1.0_00020102";
inline constexpr const char* kNameIdEntryStream = "__substg1.0_00030102";
inline constexpr const char* kNameIdStringStream = "__substg1.0_00040102";
// Name-to-id hash buckets: streams __substg1.0_10000102 .. __substg1.0_101E0102.
inline constexpr uint16_t kNameIdFirstBucket = 0x1000;
inline constexpr uint32_t kNameIdBucketCount = 0x1F;

// Property stream header sizes ([MS-OXMSG] 2.4.1).
inline constexpr size_t kTopLevelHeaderSize = 32;
inline constexpr size_t kEmbeddedHeaderSize = 24;
inline constexpr size_t kSubObjectHeaderSize = 8;  // recipient and attachment storages

// Property entry flags: readable | writable, as Outlook writes them.
inline constexpr uint32_t kPropFlagsReadWrite = 0x00000006;

inline constexpr int32_t kStoreUnicodeOk = 0x00040000;
inline constexpr size_t kMaxRecipientStorages = 2048;
inline constexpr size_t kMaxAttachmentStorages = 2048;
inline constexpr int kMaxEmbeddingDepth = 64;

// CLSID of an Outlook message object {00020D0B-0000-0000-C000-000000000046},
// in the byte order stored in the compound file's root entry.
inline constexpr unsigned char kMessageClsid[16] = {0x0B, 0x0D, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// `prefix` followed by the value as eight upper-case hex digits. (These names are
// made for every property of every message: snprintf would be most of the work.)
inline std::string WithHex8(std::string_view prefix, uint32_t value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(prefix);
    out.resize(prefix.size() + 8);
    for (int i = 7; i >= 0; --i, value >>= 4) out[prefix.size() + size_t(i)] = kHex[value & 0xF];
    return out;
}

// "__substg1.0_PPPPTTTT", or "__substg1.0_PPPPTTTT-0000000N" for value N of a
// variable-size multi-valued property.
inline std::string SubstgName(uint32_t tag, int valueIndex = -1) {
    std::string name = WithHex8("__substg1.0_", tag);
    if (valueIndex >= 0) name += WithHex8("-", uint32_t(valueIndex));
    return name;
}
inline std::string RecipStorageName(uint32_t index) { return WithHex8("__recip_version1.0_#", index); }
inline std::string AttachStorageName(uint32_t index) { return WithHex8("__attach_version1.0_#", index); }

}  // namespace bv::mailstore::msg
