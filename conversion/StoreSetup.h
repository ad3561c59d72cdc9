// Opening and closing the personal folder store of a run: the temporary store of
// .msg output, the single store of .pst output, or one store per mailbox.
#pragma once
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bv::mailstore {
class RDOSession;
class RDOStore;
}  // namespace bv::mailstore

namespace bv::conversion {

enum class StoreMode { Temporary, Single, PerFile };

// The creation stamp "d.m.YY H.m.ss" of a local time: 6.12.26 8.37.05.
std::string CreationStamp(std::time_t when);

struct OpenStore {
    std::shared_ptr<mailstore::RDOSession> rdoSession;
    std::shared_ptr<mailstore::RDOStore> pstStore;
    std::string pstPath;
    std::string storeDisplayName;
    bool open() const { return pstStore != nullptr; }
};

// Creates a session, logs on and attaches the store of `mode` under `saveFolder`
// (which ends in a separator). Throws on any failure; `store` keeps what was made.
void OpenPSTStore(StoreMode mode, const std::string& saveFolder, const std::string& mailboxName,
                  OpenStore& store);

// Adds the mailbox's folder under the store's root folder. Throws on failure.
void AddMailboxFolder(OpenStore& store, const std::string& pstFolderName);

// Detaches the store (its file is finished and stays) and logs off. Each step runs
// even when an earlier one failed; the failures are returned.
std::vector<std::string> ClosePSTStore(OpenStore& store, const std::function<void()>& yield);

}  // namespace bv::conversion
