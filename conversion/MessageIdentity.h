// How a message is recognised in a store that may hold it already (each message is
// stored once): by a digest of its header fields and body, which the run makes the
// message's search key and the store compares. Two messages that share a Message-ID
// but not their content are two messages.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "mailstore/mime/TopHeader.h"

namespace bv::conversion {

// A digest of the message's header fields and body. Left out, so that copies of one
// message in different mailboxes of an export agree: the "From " separator line, the
// fields that hold its labels or its state in a mailbox (X-<word>-Labels, Keywords,
// Status, X-Status), and the difference between CR LF and LF line ends.
std::vector<uint8_t> MessageDigest(std::string_view text);
// The same with the message's top cut already (mime::ReadMessageTop of `text`).
std::vector<uint8_t> MessageDigest(std::string_view text, const mailstore::mime::MessageTop& top);

}  // namespace bv::conversion
