// The words of a finished run, for those who show it (the window and
// brimvault-convert): the completion text, the messages per label folder, the store
// error, what reading the stores back found. The run reports facts; they are worded
// here, once. Each line is made from an English pattern ("Converted: %1 of %2
// mailboxes, %3 messages.") that a reader's language may replace before the counts
// and names are filled in.
#pragma once
#include <functional>
#include <string>

#include "conversion/ConversionRun.h"

namespace bv::summary {

// Turns one English pattern into the reader's language; "%1".."%9" in it stand for
// counts and names, filled in afterwards. Empty: English.
using Words = std::function<std::string(const char* english)>;

// The completion text of a finished run: the fixed success texts when nothing
// failed or was lost, "Nothing to convert" and what failed when no input was a
// mailbox, otherwise counts, the failures and the warnings (the first 20
// of each and a count of the rest). After a run sorting by labels it ends with the
// messages per folder (FolderCountsText) unless `withFolderCounts` is false. After a
// .pst run it ends with what reading the stores back found (ReadBackText).
std::string CompletionText(const conversion::RunReport& report, bool pstOutput, bool withFolderCounts = true,
                           const Words& words = {});
// The messages per label folder as a table, one line per folder under a heading
// line, lines ended by `lineEnd`; "" when the run did not sort by labels.
std::string FolderCountsText(const conversion::RunReport& report, const char* lineEnd = "\r\n",
                             const Words& words = {});
// The text shown when a store cannot be opened: the cause first, in plain words
// (`reason` names the store file and why), then that the run stopped there.
std::string StoreErrorText(const std::string& reason, const Words& words = {});
// "read back: N items in M folders, as written", or "read back: N items in M folders;
// differs from what was written:" and one line per difference, lines ended by `lineEnd`.
// "" when no store was read back.
std::string ReadBackText(const conversion::ReadBackReport& report, const char* lineEnd = "\r\n",
                         const Words& words = {});

// `pattern` in the reader's language with "%1".."%9" replaced by `args` in order.
std::string Say(const Words& words, const char* pattern, std::initializer_list<std::string> args = {});

}  // namespace bv::summary
