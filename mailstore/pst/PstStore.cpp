// PstStore: the Unicode .pst writer of mailstore/pst/messaging/Store.
#include "mailstore/pst/PstStore.h"

#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/messaging/Store.h"

namespace bv::mailstore::pst {

std::unique_ptr<PstStore> PstStore::OpenOrCreate(const std::filesystem::path& path, const std::string& displayName) {
    return Store::OpenOrCreate(path, displayName);
}

void PreparedMessageDeleter::operator()(PreparedMessage* p) const { delete p; }

}  // namespace bv::mailstore::pst
