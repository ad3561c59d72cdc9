// Placeholder until the RFC 822 importer lands.
#include "mailstore/mime/Rfc822Import.h"

#include "mailstore/MailStoreError.h"

namespace bv::mailstore::mime {

void ImportRfc822File(const std::filesystem::path& path, mapi::Message&) {
    throw MailStoreError("cannot import " + path.string() + ": RFC 822 import is not available yet");
}
void ImportRfc822(std::string_view, mapi::Message&) {
    throw MailStoreError("RFC 822 import is not available yet");
}

}  // namespace bv::mailstore::mime
