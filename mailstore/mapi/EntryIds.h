// Entry IDs and search keys of the MAPI model ([MS-OXCDATA] 2.2, 2.3).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mapi {

// [MS-OXCDATA] 2.2.5.1 one-off entry ID (Unicode) for an SMTP address.
std::vector<uint8_t> OneOffEntryId(const std::string& displayName, const std::string& address);
// [MS-OXCDATA] 2.3.3 FLATENTRYLIST: count, size, then each entry's size and bytes,
// padded to 4.
std::vector<uint8_t> FlatEntryList(const std::vector<std::vector<uint8_t>>& entryIds);

// Search key "SMTP:ADDRESS" (upper case, NUL terminated).
std::vector<uint8_t> SmtpSearchKey(const std::string& address);
// A message's 16-byte search key from its bytes: two 64-bit multiply-rotate lanes
// over 16-byte strides, then mixed. Stable and quick; not meant to be cryptographic.
std::vector<uint8_t> MessageSearchKey(std::string_view bytes);

}  // namespace bv::mapi
