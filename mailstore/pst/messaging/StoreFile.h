// The file of a store: opened to be added to in place, opened for reading only, or
// made new under a temporary name and given the store's name when it is finished;
// the node database over it; LTP nodes read and written through it; and when a store
// added to in place commits. Every other part of the store reaches the file here.
#pragma once
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "mailstore/pst/ltp/LtpNode.h"
#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/ndb/NodeDatabase.h"

namespace bv::mailstore::pst {

class StoreFile {
public:
    StoreFile() = default;
    ~StoreFile();
    StoreFile(const StoreFile&) = delete;
    StoreFile& operator=(const StoreFile&) = delete;

    // The store at `path`, added to in place: each commit leaves a whole store. Its
    // header is checked before the file is opened for writing, so a file that is no
    // store of ours is never touched. Throws NotAStoreError, StoreInUseError, IoError.
    void OpenInPlace(const std::filesystem::path& path);
    // The store at `path`, for reading only: nothing of the file changes.
    void OpenForReading(const std::filesystem::path& path);
    // A new store for `path`, written under a temporary name beside it (one per object:
    // two stores made for the same path in one process do not write into each other's
    // file) and renamed at Finish, so no half-written store ever stands under its name.
    // Temporary files that runs no longer running left in that folder are removed.
    void Create(const std::filesystem::path& path, uint8_t cryptMethod);

    NodeDatabase& db() { return *db_; }
    const NodeDatabase& db() const { return *db_; }
    // Nothing more is added: finished, abandoned, or opened for reading.
    bool Closed() const { return closed_; }
    // The store's own path (not the temporary one).
    const std::filesystem::path& path() const { return final_; }
    bool InPlace() const { return inPlace_; }
    uint8_t CryptMethod() const { return cryptMethod_; }

    // An LTP node's blocks and subnodes written; the node entered under `parent`.
    void WriteLtpNode(Nid nid, const LtpNode& node, Nid parent);
    // A subnode tree written with the data of its subnodes.
    Bid WriteSubnodes(const std::vector<LtpSubnode>& subs);
    // A value made as it is written, block by block: its data tree.
    Bid WriteMadeValue(const ValueSource& source);
    // Blocks of a message built ahead, from its spool: their data tree.
    Bid WriteSpooled(const BlockSpool& spool, const std::vector<SpooledBlock>& blocks);
    // The properties of a node's PC (a message, a folder, the store), long values too,
    // read from `subnodes` (its subnode tree, read when needed and not given);
    // `valueSubnodes` gets the subnodes that held them.
    std::vector<PcProp> ReadNodeProps(const NodeRef& ref, const std::vector<SLENTRY>* subnodes = nullptr,
                                      std::vector<Nid>* valueSubnodes = nullptr);
    // Row versions come from the header's dwUnique, as Outlook hands them out: every row
    // written gets the next value, so the header stays ahead of every version in the file.
    uint32_t NextRowVersion() { return ++db_->header().dwUnique; }

    // The clocks of the commit policy start (the store is open and loaded).
    void Opened();
    // The commit policy of a store added to in place: every 2000 messages or 3 seconds
    // (the tests that stop runs on purpose make commits more frequent through
    // BV_PST_COMMIT_MESSAGES in the environment). True when the message just added
    // makes a commit due.
    bool MessageAdded();
    // The identity index, written whole, is written not at every commit that leaves it
    // behind: every few seconds and when the store is closed. True when such a commit
    // now should write it. `now`: when the commit began.
    bool IndexDue(bool closing, std::chrono::steady_clock::time_point now) const;
    void IndexWritten(std::chrono::steady_clock::time_point now) { lastIndexWrite_ = now; }
    // Commits what was written (see NodeDatabase::Commit), giving back the memory of
    // its large, short-lived buffers.
    void Commit();
    // Closes the file; a new store gets its own name. Throws IoError (MoveInto) when
    // it cannot.
    void Finish();
    // Leaves the file as it was before it was opened: a new store is not made, one
    // added to in place stays as of its last commit.
    void Abandon();

private:
    static uint32_t CommitMessages();
    static constexpr std::chrono::seconds kCommitInterval{3};

    std::filesystem::path final_;
    std::filesystem::path temp_;
    std::unique_ptr<NodeDatabase> db_;
    uint8_t cryptMethod_ = NDB_CRYPT_PERMUTE;  // the file's; fixed once it is open
    bool inPlace_ = false;
    bool closed_ = false;
    uint32_t sinceCommit_ = 0;
    std::chrono::steady_clock::time_point lastCommit_, lastIndexWrite_;
};

}  // namespace bv::mailstore::pst
