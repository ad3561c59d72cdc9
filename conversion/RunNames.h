// The names a run gives its outputs: the folder mirroring an input below the
// destination, and the name of each mailbox's store or store folder, told apart from
// the names of other listed mailboxes.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

namespace bv::conversion {

// The input path as a relative path under the destination: its root dropped, "."
// dropped and ".." resolved within it, so no output can land outside the destination.
std::string MirroredPart(const std::string& inputPath);

// The mailbox's name: its file name without ".mbox" / ".MBOX" and outer spaces.
std::string MailboxName(const std::string& inputFileName);

// The name a listed mailbox gives its store or store folder; "" for an archive (its
// members are named as they are met) and for contacts and calendar files (their
// folders are named by ItemFolderName, and a copy's items are found there already).
std::string ListedName(const std::string& input);

// The names of the stores and store folders of a run's mailboxes, one per input: inputs
// whose file names give the same name ("anna/Inbox.mbox", "bob/Inbox.mbox") are told
// apart by the folder each lies in: "Inbox (anna)", "Inbox (bob)". Names that listed
// files share take their folder from the start, so a run over the same list names
// them alike. Names differing in case only are the same (as they are to a store and
// to Windows).
class DistinctNames {
public:
    DistinctNames(const std::vector<std::string>& inputs, std::string (*nameOf)(const std::string&));
    std::string For(const std::string& inputPath, const std::string& name);

private:
    std::set<std::string> shared_;  // names of several listed inputs
    std::set<std::string> taken_;
    std::map<std::string, std::string> given_;
};

}  // namespace bv::conversion
