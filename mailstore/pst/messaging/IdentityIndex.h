// Which messages a store holds, by identity (the rules: IdentityIndex.cpp): the
// identities of the messages added, and of those the store held before, looked up
// once, from the index node the last commit left or, when it is not valid, by reading
// the messages; and the index node written at the commits the policy says.
#pragma once
#include <optional>
#include <utility>
#include <vector>

#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/messaging/IdentityTable.h"

namespace bv::mailstore::pst {

class StoreFile;
class FolderTree;

class IdentityIndex {
public:
    IdentityIndex(StoreFile& file, const FolderTree& folders) : file_(file), folders_(folders) {}

    // The identity of a message by its search key (none without one).
    static Identity IdentityOf(const std::vector<PcProp>& props);
    // The identity by what a message holds of its header, for messages the store held
    // before we indexed it (none without a Message-ID).
    static Identity HeaderIdentityOf(const std::vector<PcProp>& props);

    // A new store: it holds nothing, each message added is entered.
    void StartEmpty() {
        loaded_ = true;
        SpillBesideStore();
    }
    bool Loaded() const { return loaded_; }
    // A message just stored as `nid`.
    void Added(Identity identity, Nid nid);
    // The stored message that is the same as one of `props`, and the identity it was
    // found by.
    struct Match {
        Identity identity;
        Nid nid = 0;
    };
    std::optional<Match> FindSame(const std::vector<PcProp>& props);
    // The stored message of `identity`.
    std::optional<Nid> Find(Identity identity);
    // The identities the store holds, ascending.
    std::vector<Identity> Held();
    // The identities as the store holds them, written into a node of their own, so that
    // an opened store needs no pass over its messages; valid only while no block is
    // written after it (by us or any other writer).
    void Write();
    // Whether the node written is valid as the file stands now: nothing came after it.
    bool Current() const;
    // Lets go of the identities: the store takes no more messages (it is closing and
    // its index, when due, is written). Nothing is looked up after this.
    void Release();

private:
    void Load();
    bool LoadIndex();
    // The index node, when it is the last block of a file whose next block is `nextBid`.
    std::optional<NodeRef> NodeIfLast(Bid nextBid) const;
    // Many identities go to a temporary file in the store's folder.
    void SpillBesideStore();
    // Whether the stored message `nid` has the text body of `props`, to the words.
    bool SameBody(Nid nid, const std::vector<PcProp>& props);

    StoreFile& file_;
    const FolderTree& folders_;
    // Message identity -> NID, filled by Load on the first look-up.
    IdentityTable identities_;
    bool loaded_ = false;
    // Messages added before the identities were loaded (the index does not have them).
    std::vector<std::pair<Identity, Nid>> addedBeforeLoading_;
};

}  // namespace bv::mailstore::pst
