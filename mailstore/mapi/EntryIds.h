// Entry IDs and search keys of the MAPI model ([MS-OXCDATA] 2.2, 2.3).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::mapi {

// Flags of a one-off entry ID: MAPI_ONE_OFF_UNICODE (0x8000) | 0x1000 |
// MAPI_ONE_OFF_NO_RICH_INFO (0x0001), as Outlook writes them.
inline constexpr uint16_t kOneOffFlags = 0x9001;

// [MS-OXCDATA] 2.2.5.1 one-off entry ID (Unicode strings) for an address of
// `addressType`, with `flags` after the version.
std::vector<uint8_t> OneOffEntryId(const std::string& displayName, const std::string& address,
                                   std::string_view addressType = "SMTP", uint16_t flags = kOneOffFlags);
// [MS-OXCDATA] 2.3.3 FLATENTRYLIST: count, size, then each entry's size and bytes,
// padded to 4.
std::vector<uint8_t> FlatEntryList(const std::vector<std::vector<uint8_t>>& entryIds);

// Search key "SMTP:ADDRESS" (upper case, NUL terminated).
std::vector<uint8_t> SmtpSearchKey(const std::string& address);
// A message's 16-byte search key from its bytes: two 64-bit multiply-rotate lanes
// over 16-byte strides, then mixed. Stable and quick; not meant to be cryptographic.
std::vector<uint8_t> MessageSearchKey(std::string_view bytes);

// The same key over bytes given in pieces, in order, `size` of them in all (the
// key depends on the total, which comes first): for bytes that are not in one place.
class MessageSearchKeyHash {
public:
    explicit MessageSearchKeyHash(uint64_t size);
    void Add(std::string_view piece);
    std::vector<uint8_t> Finish();

private:
    uint64_t a_, b_;
    uint8_t tail_[16] = {};
    size_t held_ = 0;
};

}  // namespace bv::mailstore::mapi
