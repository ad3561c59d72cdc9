// Labels of an exported message and what they decide: the folder the message goes
// to, whether it is unread or starred, and the categories it carries.
//
// Reading. The labels are the value of the first header field named X-<word>-Labels
// (mime::IsLabelsFieldName); when the message has none, the standard Keywords field
// (all of them, in order). Only the top-level header counts. The value is decoded
// whole, then split at its commas (mime::SplitLabelsValue).
//
// Deciding (names compared without regard to case and diacritics, in the languages of
// LabelNames.h; a person's label map first):
//   state labels  Unread, Starred set the states; Opened, Archived change nothing;
//   folder labels Trash, Spam, Drafts, Sent, Inbox, Chat: the first of these in this
//                 order (not header order) that the message has chooses the folder;
//   ignored       Muted and the client keywords IMAP_...: nothing at all;
//   user labels   every other label; they all become categories, verbatim. Without a
//                 folder label the first user label in header order chooses the folder,
//                 "/" separating nested folders ("Work/Projects"); Important and the
//                 category labels ("Category Updates") never choose one, nor does a
//                 label made of separators only. Without any of these the folder is
//                 "Archive".
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/LabelMap.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mapi {
struct Message;
}

namespace bv::conversion {

struct MessageLabels {
    // The folder below the mailbox's folder, outermost first: {"Inbox"},
    // {"Work", "Projects"}, {"Archive"}. Never empty.
    std::vector<std::string> folder;
    bool unread = false;   // the label Unread
    bool starred = false;  // the label Starred
    // The user labels, verbatim (decoded to UTF-8), in header order, each once.
    std::vector<std::string> categories;
    // A label was a system label of the table or the label map (Muted and IMAP_
    // keywords aside).
    bool recognised = false;
};

// How a mailbox's labels are read: its language ("" when not clear: every language's
// names count) and the person's label map.
struct LabelRules {
    std::string language;
    const LabelMap* map = nullptr;
};

// The labels of a message (the text may begin with its "From " separator line),
// decoded to UTF-8, in header order. Empty when the message carries none.
std::vector<std::string> ReadLabels(std::string_view messageText);
// The same from the fields of a header already cut (mime::ReadMessageTop).
std::vector<std::string> ReadLabels(const mailstore::mime::HeaderFields& fields);

// The nested folder a label names, outermost first: "/" separates the folders, blanks
// around a segment and empty segments are dropped (" Work / Projects/" -> {"Work",
// "Projects"}); empty when it names none.
std::vector<std::string> FolderPathOfLabel(std::string_view label);

// What a list of labels decides.
MessageLabels SortLabels(const std::vector<std::string>& labels, const LabelRules& rules = {});

// The labels a message sorted into `labelFolder` must have had, as far as what a store
// keeps of it tells: the folder label that chose the folder, when one did, then its
// categories. None when these do not choose `labelFolder` (the message was not sorted
// by its labels). A user label that names a folder of a folder label ("Sent Items") is
// taken for what chose it.
std::optional<std::vector<std::string>> LabelsOfSorted(const std::vector<std::string>& labelFolder,
                                                       const std::vector<std::string>& categories,
                                                       const LabelRules& rules = {});
// Whether two label folders are the same (the store compares folder names without
// regard to ASCII case).
bool SameLabelFolder(const std::vector<std::string>& a, const std::vector<std::string>& b);

// SortLabels(ReadLabels(messageText)).
MessageLabels LabelsOfMessage(std::string_view messageText, const LabelRules& rules = {});
MessageLabels LabelsOfMessage(const mailstore::mime::HeaderFields& fields, const LabelRules& rules = {});

// Puts the states and categories on a message bound for a .pst or .msg file (after its
// PR_MESSAGE_FLAGS are set): unread clears MSGFLAG_READ; starred sets a follow-up flag
// as Outlook does (PidTagFlagStatus followupFlagged, a red PidTagFollowupIcon and
// PidLidFlagRequest "Follow up"); categories become the Keywords named property
// (PS_PUBLIC_STRINGS, multi-valued string). Nothing changes for a message without labels.
void ApplyLabels(const MessageLabels& labels, mailstore::mapi::Message& message);

// One folder name made safe as a single file-name component on every system: the
// characters a Windows file name cannot hold (control characters and < > : " / \ | ? *)
// become "_", trailing dots and blanks are dropped, a reserved device name (CON, NUL,
// COM1, ...) gets "_" appended, and "", "." or ".." becomes "_". Long names are cut to
// at most 200 bytes at a character boundary.
std::string FolderNameOnDisk(std::string_view name);

// `mailboxFolder` followed by the label folder, each segment through FolderNameOnDisk,
// joined with the platform separator: where the .eml, .emlx or .msg file of a message
// with these labels goes ("…/Inbox.mbox" + {"Work", "Projects"} -> "…/Inbox.mbox/Work/Projects").
std::string LabelFolderOnDisk(std::string_view mailboxFolder, const std::vector<std::string>& folder);

}  // namespace bv::conversion
