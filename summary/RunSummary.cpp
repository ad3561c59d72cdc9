#include "summary/RunSummary.h"

#include <vector>

#include "conversion/LabelFolders.h"

namespace bv::summary {

using conversion::Failure;
using conversion::ReadBackReport;
using conversion::RunReport;

namespace {

const std::string kStarLine(75, '*');
constexpr const char* kCrLf = "\r\n";
constexpr size_t kListed = 20;  // failures, warnings, notes, differences: the first 20 of each

std::string N(int64_t n) { return std::to_string(n); }

// The first `kListed` entries of a list, one "file: reason" a line, and a count of the rest.
void AppendEntries(std::string& text, const std::vector<Failure>& list, const char* lineEnd, const Words& words) {
    for (size_t i = 0; i < list.size() && i < kListed; ++i) text += list[i].file + ": " + list[i].reason + lineEnd;
    if (list.size() > kListed) text += Say(words, "... and %1 more.", {N(int64_t(list.size() - kListed))}) + lineEnd;
}

void AppendList(std::string& text, const char* heading, const std::vector<Failure>& list, const Words& words) {
    if (list.empty()) return;
    text += kCrLf + Say(words, heading) + kCrLf;
    AppendEntries(text, list, kCrLf, words);
}

// The messages (and items) the destination held already; "" when there were none.
std::string AlreadyThereText(const RunReport& r, const Words& words) {
    const int64_t there = r.messagesAlreadyThere + r.itemsAlreadyThere;
    if (there == 0) return "";
    if (r.messagesConverted + r.messagesFailed + r.itemsConverted + r.itemsFailed == 0)
        return Say(words, "Every message (%1) was already there: nothing needed to be added.", {N(there)}) + kCrLf;
    if (r.itemsAlreadyThere > 0)
        return Say(words, "Already there, so not added again: %1 messages, %2 contacts, events and tasks.",
                   {N(r.messagesAlreadyThere), N(r.itemsAlreadyThere)}) + kCrLf;
    return Say(words, "Already there, so not added again: %1 messages.", {N(r.messagesAlreadyThere)}) + kCrLf;
}

// The store files written in parts, one a line; "" when no store was split.
std::string PartsText(const RunReport& r, const Words& words) {
    if (r.storeParts.empty()) return "";
    std::string text = kCrLf + Say(words, "Stores larger than the size limit were written in parts:") + kCrLf;
    for (const std::string& part : r.storeParts) text += part + kCrLf;
    return text;
}

// "Converted: 3 mailboxes, 1234 messages.", with the contacts and calendar files and
// their items when there were any; `withTotals`: "3 of 4 mailboxes".
std::string ConvertedLine(const RunReport& r, bool withTotals, const Words& words) {
    const std::string mailboxes = N(r.mailboxesConverted), messages = N(r.messagesConverted);
    const int itemFiles = r.itemFilesConverted + r.itemFilesFailed;
    const std::string files = N(r.itemFilesConverted), items = N(r.itemsConverted);
    if (!withTotals) {
        if (itemFiles == 0) return Say(words, "Converted: %1 mailboxes, %2 messages.", {mailboxes, messages});
        return Say(words, "Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, "
                          "%4 contacts, events and tasks.",
                   {mailboxes, messages, files, items});
    }
    const std::string allMailboxes = N(r.mailboxesConverted + r.mailboxesFailed);
    if (itemFiles == 0)
        return Say(words, "Converted: %1 of %2 mailboxes, %3 messages.", {mailboxes, allMailboxes, messages});
    return Say(words, "Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, "
                      "%6 contacts, events and tasks.",
               {mailboxes, allMailboxes, messages, files, N(itemFiles), items});
}

// Where the output went: the store files (those of an earlier run added to) and the
// destination, one a line.
std::string WhereText(const RunReport& r, const Words& words) {
    std::string text;
    if (r.storeFiles.size() == 1) {
        const bool earlier = !r.storesAddedTo.empty();
        text += (earlier ? Say(words, "Messages were added to the store of an earlier run: %1", {r.storeFiles.front()})
                         : Say(words, "Store: %1", {r.storeFiles.front()})) + kCrLf;
    } else if (r.storeFiles.size() > 1) {
        const std::string stores = N(int64_t(r.storeFiles.size()));
        text += (r.storesAddedTo.empty()
                     ? Say(words, "Stores: %1 .pst files, one per mailbox.", {stores})
                     : Say(words, "Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, "
                                  "made by an earlier run.",
                           {stores, N(int64_t(r.storesAddedTo.size()))})) + kCrLf;
    }
    return text + Say(words, "Destination: %1", {r.destination}) + kCrLf;
}

// Why the run ended before the end of the list, and what it left unread.
std::string EndedEarlyText(const RunReport& r, const Words& words) {
    if (!r.diskFull() && !r.stopped) return "";
    const bool more = r.inputsNotReached > 0;
    const char* pattern =
        r.diskFull() ? (more ? "The disk is full: the run ended there; the rest of the file in hand was not read, "
                               "nor %1 more listed files."
                             : "The disk is full: the run ended there; the rest of the file in hand was not read.")
                     : (more ? "The run was stopped; the rest of the file in hand was not read, nor %1 more listed files."
                             : "The run was stopped; the rest of the file in hand was not read.");
    return Say(words, pattern, {N(r.inputsNotReached)}) + kCrLf;
}

// The lead of a run that converted everything it was given.
std::string SuccessText(bool pstOutput, const Words& words) {
    if (pstOutput)
        return kStarLine + kCrLf +
               Say(words, "Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.") +
               kCrLf + kStarLine + kCrLf +
               Say(words, "Start Outlook and open converted pst file by clicking File -> Open -> Outlook Data File. "
                          "And it all done !") + kCrLf;
    return kStarLine + kCrLf + Say(words, "Your messages from Brimvault files has been successfully exported.") + kCrLf +
           kStarLine + kCrLf;
}

// The completion text without the messages per folder.
std::string SummaryText(const RunReport& r, bool pstOutput, const Words& words) {
    if (r.nothingToConvert()) {
        std::string text = Say(words, "Nothing to convert: there is no mailbox among the listed files.") + kCrLf;
        AppendList(text, "What failed:", r.failures, words);
        AppendList(text, "Passed over:", r.notes, words);
        return text;
    }
    std::string text;
    if (r.failures.empty() && r.warnings.empty()) {
        text = SuccessText(pstOutput, words) + ConvertedLine(r, false, words) + kCrLf;
    } else {
        text = Say(words, "The conversion finished with problems.") + kCrLf + ConvertedLine(r, true, words) + kCrLf;
        if (r.messagesFailed > 0) text += Say(words, "Messages not converted: %1.", {N(r.messagesFailed)}) + kCrLf;
        if (r.itemsFailed > 0)
            text += Say(words, "Contacts, events and tasks not converted: %1.", {N(r.itemsFailed)}) + kCrLf;
        text += EndedEarlyText(r, words);
    }
    text += AlreadyThereText(r, words);
    text += WhereText(r, words);
    AppendList(text, "What failed:", r.failures, words);
    AppendList(text, "Converted with warnings:", r.warnings, words);
    AppendList(text, "Passed over:", r.notes, words);
    return text + PartsText(r, words);
}

}  // namespace

std::string Say(const Words& words, const char* pattern, std::initializer_list<std::string> args) {
    const std::string said = words ? words(pattern) : std::string(pattern);
    const std::vector<std::string> filled(args);
    std::string text;
    text.reserve(said.size());
    for (size_t i = 0; i < said.size(); ++i) {
        const size_t n = i + 1 < said.size() ? size_t(said[i + 1] - '1') : filled.size();
        if (said[i] == '%' && n < filled.size() && n < 9) {
            text += filled[n];
            ++i;
        } else {
            text += said[i];
        }
    }
    return text;
}

std::string FolderCountsText(const RunReport& r, const char* lineEnd, const Words& words) {
    std::string table = conversion::FolderCountsTable(r.messagesPerFolder);
    if (table.empty()) return table;
    std::string text = Say(words, "Messages per folder:") + lineEnd;
    for (size_t i = 0, j; i < table.size(); i = j + 1) {
        j = table.find('\n', i);
        text.append(table, i, j - i);
        text += lineEnd;
    }
    return text;
}

std::string ReadBackText(const ReadBackReport& r, const char* lineEnd, const Words& words) {
    if (r.stores == 0) return "";
    if (r.asWritten())
        return Say(words, "read back: %1 items in %2 folders, as written", {N(r.items), N(r.folders)}) + lineEnd;
    std::string text = Say(words, "read back: %1 items in %2 folders; differs from what was written:",
                           {N(r.items), N(r.folders)}) + lineEnd;
    AppendEntries(text, r.differences, lineEnd, words);
    return text;
}

std::string CompletionText(const RunReport& r, bool pstOutput, bool withFolderCounts, const Words& words) {
    std::string text = SummaryText(r, pstOutput, words);
    for (const std::string& more : {withFolderCounts ? FolderCountsText(r, kCrLf, words) : std::string(),
                                    ReadBackText(r.readBack, kCrLf, words)}) {
        if (more.empty()) continue;
        if (text.size() < 2 || text.compare(text.size() - 2, 2, kCrLf) != 0) text += kCrLf;
        text += kCrLf + more;
    }
    return text;
}

std::string StoreErrorText(const std::string& reason, const Words& words) {
    std::string text = reason;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = char(text[0] - 'a' + 'A');
    if (!text.empty() && text.back() != '.') text += '.';
    return text + kCrLf + Say(words, "The conversion stopped there; the mailboxes converted before it keep their output.");
}

}  // namespace bv::summary
