// RFC 822 / MIME message -> MAPI property model (the mail store's Import).
#pragma once
#include <filesystem>
#include <string_view>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mime {

// Parses one RFC 822 message (the bytes of an .eml file; a leading mbox "From " line
// is allowed and used as a fallback date) into `out`. Never throws for bad content:
// whatever could be read is kept and each loss is recorded in out.warnings.
// Throws MailStoreError only when the file cannot be read.
void ImportRfc822File(const std::filesystem::path& path, mapi::Message& out);
void ImportRfc822(std::string_view bytes, mapi::Message& out);

}  // namespace bv::mailstore::mime
