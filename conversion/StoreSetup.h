// The .pst store of a run: one for every mailbox, or one per mailbox. Opening it
// names it, adding a mailbox gives the mailbox's folder, closing finishes the file.
#pragma once
#include <ctime>
#include <memory>
#include <string>

#include "mailstore/pst/PstStore.h"

namespace bv::conversion {

enum class StoreScope { AllMailboxes, OneMailbox };

// The creation stamp "d.m.YY H.m.ss" of a local time: 6.12.26 8.37.05.
std::string CreationStamp(std::time_t when);

class RunStore {
public:
    RunStore() = default;
    // A store still open is finished, so what it holds stays readable.
    ~RunStore();
    RunStore(const RunStore&) = delete;
    RunStore& operator=(const RunStore&) = delete;

    // Creates the store under `saveFolder` (which ends in a separator), or opens the
    // one already there and adds to it: "Brimvault<stamp>.pst" shown as
    // "Brimvault Mailbox : Created - <stamp>" for all mailboxes, "<mailbox>.pst"
    // shown as "<mailbox>" for one. Throws MailStoreError; path() names the file.
    void Open(StoreScope scope, const std::string& saveFolder, const std::string& mailboxName);
    // The mailbox's folder under the store's top folder (the one there when the
    // store already has it). Throws MailStoreError.
    mailstore::pst::FolderId AddMailboxFolder(const std::string& name);
    // Finishes the file and puts it in place. "" on success, else why it failed
    // (the file is then not there).
    std::string Close();

    bool open() const { return store_ != nullptr; }
    mailstore::pst::PstStore& store() { return *store_; }
    const std::string& path() const { return path_; }

private:
    std::unique_ptr<mailstore::pst::PstStore> store_;
    std::string path_;
};

}  // namespace bv::conversion
