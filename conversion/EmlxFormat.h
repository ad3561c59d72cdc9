// Apple Mail's .emlx layout: a first line with the byte count of the message data,
// the message data (RFC 822 with LF line ends), then an XML property list.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "mailstore/mime/TopHeader.h"

namespace bv::conversion {

// The message states the property list records.
struct EmlxFlags {
    bool read = true;
    bool flagged = false;
};

// Builds the whole .emlx file from a message as the splitter produced it (it may
// begin with its "From " separator line, which is left out; CR LF becomes LF).
void BuildEmlx(std::string_view messageText, std::string& out, EmlxFlags flags = {});
// The same with the message's header fields already cut (mime::ReadMessageTop).
void BuildEmlx(std::string_view messageText, const mailstore::mime::HeaderFields& fields, std::string& out,
               EmlxFlags flags = {});

// Unix seconds of the message's Date header, when there is one that parses.
std::optional<long long> MessageDate(std::string_view messageText);
std::optional<long long> MessageDate(const mailstore::mime::HeaderFields& fields);

}  // namespace bv::conversion
