// The output step: every complete message becomes an .eml or .emlx file in the
// mailbox's output folder, an .msg file there, or a message in the mailbox's folder
// of the open .pst store; when sorting by labels, in the label folder below each of
// these that the message's labels choose.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/ConversionRun.h"
#include "conversion/ImportPipeline.h"
#include "conversion/LabelFolders.h"
#include "conversion/MessageExtraction.h"
#include "conversion/StoreSetup.h"

namespace bv::conversion {

struct MailboxOutput {
    OutputKind kind = OutputKind::Eml;
    std::string inputPath;      // the mailbox, for failure reports
    std::string mailboxFolder;  // output folder, without a trailing separator
    // .pst: the open store and the mailbox's folder in it.
    RunStore* store = nullptr;
    std::string folder;
    // Sorting by labels (both set, shared by the run's mailboxes): each message goes to
    // its label folder below the mailbox's folder and is counted there.
    DiskLabelFolders* diskFolders = nullptr;
    LabelFolderCounts* counts = nullptr;
    bool byLabel() const { return counts != nullptr; }
};

class MessageOutput : public MessageSink {
public:
    MessageOutput(RunObserver& observer, std::function<void()> yield, MailboxOutput target);
    ~MessageOutput() override;

    void OutputMessage(int32_t n, std::string_view text, bool componentStep) override;
    bool ShouldStop() override;

    int64_t written() const { return written_; }
    // Messages the destination held already (the store, or a file of the same content).
    int64_t alreadyThere() const { return alreadyThere_; }
    int64_t failedCount() const { return failed_; }
    std::vector<Failure>& failures() { return failures_; }
    std::vector<Failure>& warnings() { return warnings_; }
    // A write found the disk full: the extraction stops, and that failure is the
    // only one reported of the messages that fail after it.
    bool diskFull() const { return diskFull_; }
    // Stores the messages whose imports are still under way. Call it after the
    // extraction; the counts, failures and warnings are complete afterwards.
    void Flush();

private:
    struct PendingImport;
    void ToImport(int32_t n, std::string_view text);
    void CollectOldest();
    // Writes a message file, or leaves the one there when it holds `data` already
    // (lastKept_ then says so).
    bool KeepOrWrite(const std::string& path, std::string_view data, std::string* error);
    bool lastKept_ = false;
    void Finish(PendingImport& p);
    void Fail(const std::string& target, const std::string& reason);

    RunObserver& observer_;
    std::function<void()> yield_;
    MailboxOutput target_;
    std::string emlx_;  // reused buffer for .emlx files
    int64_t written_ = 0;
    int64_t alreadyThere_ = 0;
    int64_t failed_ = 0;
    bool diskFull_ = false;
    std::vector<Failure> failures_;
    std::vector<Failure> warnings_;
    std::unique_ptr<ImportPipeline> pipeline_;  // imports the next messages while one is stored
    std::deque<std::unique_ptr<PendingImport>> pending_;  // in message order, not finished yet
    size_t pendingBytes_ = 0;
};

// "email-" n ".eml" / ".emlx" and "Email-" n ".msg" in the mailbox's folder.
std::string MessageFileName(const std::string& mailboxFolder, int32_t n, bool emlx);
std::string MsgFileName(const std::string& mailboxFolder, int32_t n);

}  // namespace bv::conversion
