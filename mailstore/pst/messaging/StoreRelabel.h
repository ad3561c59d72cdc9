// A message the store holds already, met again (the same message in another mailbox,
// or in a later run): the labels it brings join the categories of the one there, and
// a message whose folder its labels decide can move to another folder.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mailstore/pst/messaging/IdentityTable.h"
#include "mailstore/pst/messaging/StoreHandles.h"
#include "mailstore/pst/ltp/PropertyContext.h"

namespace bv::mailstore::pst {

class ContentsTables;
class FolderTree;
class IdentityIndex;
class NameToIdMap;
class StoreFile;
struct StoreFolder;

// The message of an identity the store holds: where it is, and its categories.
struct HeldMessage {
    Nid nid = 0;
    FolderId folder = 0;
    std::vector<std::string> categories;
};

class StoreRelabel {
public:
    StoreRelabel(StoreFile& file, FolderTree& folders, ContentsTables& contents, IdentityIndex& identities,
                 const std::unique_ptr<NameToIdMap>& names)
        : file_(file), folders_(folders), contents_(contents), identities_(identities), names_(names) {}

    // The categories of a prepared message, in order; none when it has none.
    static std::vector<std::string> CategoriesOf(const PreparedMessage& message);
    // Adds the categories the message of `identity` lacks to it; false when the store
    // holds no message of that identity.
    bool AddCategories(Identity identity, const std::vector<std::string>& categories);
    std::optional<HeldMessage> FindHeld(Identity identity);
    // Adds the categories in `props` that the stored message `nid` lacks to it; its
    // size and contents row follow.
    void MergeCategories(Nid nid, const std::vector<PcProp>& props);
    // Moves a stored message into folder `to`: out of its folder's contents table and
    // into that of `to`, its node's parent and both folders' counts changed with it.
    void MoveMessage(Nid message, StoreFolder& to);

private:
    // The categories merged into the message's PC; false when it has them all.
    bool Merge(Nid nid, const std::vector<PcProp>& props);

    StoreFile& file_;
    FolderTree& folders_;
    ContentsTables& contents_;
    IdentityIndex& identities_;
    const std::unique_ptr<NameToIdMap>& names_;
};

}  // namespace bv::mailstore::pst
