// Placeholder until the .pst writer lands: every store opening fails.
#include "mailstore/pst/PstStore.h"

#include "mailstore/MailStoreError.h"

namespace bv::mailstore::pst {

std::unique_ptr<PstStore> PstStore::OpenOrCreate(const std::filesystem::path& path, const std::string&) {
    throw MailStoreError("cannot create the store " + path.string() + ": .pst writing is not available yet");
}

}  // namespace bv::mailstore::pst
