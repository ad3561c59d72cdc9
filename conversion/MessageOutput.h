// The output step: one sink per output kind takes every complete message of a
// mailbox. Every kind goes through one queue: workers do a message's work (its .eml or
// .emlx file written, or its import and then its .msg file or store form), while the
// run's thread reads on and finishes the messages in order (counts, the store).
// Sorting by labels, a message's label folder is read once (LabelsOfMessage) and
// placed by FolderOnDisk or by the store series.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/ImportPipeline.h"
#include "conversion/LabelFolders.h"
#include "conversion/Labels.h"
#include "conversion/MessageExtraction.h"
#include "conversion/RunObserver.h"
#include "mailstore/mapi/Message.h"
#include "mailstore/mime/TopHeader.h"
#include "mailstore/pst/PstStoreSeries.h"

namespace bv::conversion {

struct MailboxOutput {
    OutputKind kind = OutputKind::Eml;
    std::string inputPath;      // the mailbox, for failure reports
    std::string mailboxFolder;  // output folder, without a trailing separator
    // .pst: the open store and the mailbox's folder in it.
    mailstore::pst::PstStoreSeries* store = nullptr;
    std::string folder;
    // Sorting by labels (both set, shared by the run's mailboxes): each message goes to
    // its label folder below the mailbox's folder and is counted there.
    DiskLabelFolders* diskFolders = nullptr;
    LabelFolderCounts* counts = nullptr;
    bool byLabel() const { return counts != nullptr; }
    // Sorting by labels: the person's label map (may be null), and the mailbox's name,
    // which may tell the language of its labels.
    const LabelMap* labelMap = nullptr;
    std::string mailboxName;
};

// What every sink shares: the queue of messages under way, and the counts, failures
// and warnings of the mailbox. Up to 256 messages (8 MB of source) are under way, so
// memory stays bounded.
class MessageOutput : public MessageSink {
public:
    // The sink for `target.kind`.
    static std::unique_ptr<MessageOutput> For(RunObserver& observer,
                                              MailboxOutput target);
    ~MessageOutput() override;

    void OutputMessage(int32_t n, AppendStrings& text) override;
    void MessageAt(uint64_t offset) override { nextOffset_ = offset; }
    bool ShouldStop() override;
    // Finishes the messages still under way. Call it after the extraction; the counts,
    // failures and warnings are complete afterwards.
    void Flush();

    int64_t written() const { return written_; }
    // Messages the destination held already (the store, or a file of the same content).
    int64_t alreadyThere() const { return alreadyThere_; }
    int64_t failedCount() const { return failed_; }
    std::vector<Failure>& failures() { return failures_; }
    std::vector<Failure>& warnings() { return warnings_; }
    // A write found the disk full: the extraction stops, and that failure is the
    // only one reported of the messages that fail after it.
    bool diskFull() const { return diskFull_; }

protected:
    MessageOutput(RunObserver& observer, MailboxOutput target);

    struct Pending {
        int32_t n = 0;
        std::string target;  // the message's file, or its name in failure reports
        std::string text;    // the message's bytes until its work has read them
        size_t size = 0;     // the bytes `text` held
        std::vector<std::string> labelFolder;  // sorting by labels: the message's folder
        std::vector<std::string> labels;       // sorting by labels: the message's labels
        bool recognised = false;               // sorting by labels: one was a system label
        mailstore::pst::PreparedMessagePtr prepared;  // a store's message, in its form
        std::vector<std::string> warnings;  // what the import could not read
        std::string note;                   // a warning of the kind's own
        bool alreadyThere = false;          // the destination held it: nothing added
        std::optional<Failure> failure;     // or an exception in `error`
        std::exception_ptr error;
        ImportPipeline::Ticket ticket = 0;
        uint64_t offset = 0;      // where it begins in the mailbox
        uint64_t sourceBytes = 0;  // its size in the mailbox, line ends as written
        // For the observer's ItemDone (when it wants them): the header's fields, and
        // where the message went (the file, or the store file and folder).
        std::string messageId, date, sender, subject;
        std::string destination, folder;
    };
    // On a worker: the message's work. Reports through `p`; may throw.
    virtual void Work(Pending& p) const = 0;
    // On the run's thread, in message order, for a message whose work succeeded.
    // False when the destination held the message already, so nothing was added.
    virtual bool Finish(Pending& p) { return !p.alreadyThere; }
    // For the sinks' destructors: the messages under way are finished, not dropped.
    void FlushQuietly();

    // The folder a message's file goes to: the mailbox's folder, or the label folder
    // below it (made on first use); the failure when it cannot be made.
    struct DiskFolder {
        std::string path;
        std::optional<Failure> failure;
    };
    DiskFolder FolderOnDisk(const std::vector<std::string>& labelFolder) const;
    // On a worker, when the observer wants items: the fields the report names.
    void ReadItemFields(const mailstore::mime::HeaderFields& fields, Pending& p) const;
    bool wantsItems_ = false;

    RunObserver& observer_;
    MailboxOutput target_;
    std::vector<Failure> warnings_;
    // Sorting by labels: how the workers read them. Fixed once the language is known,
    // before the first message goes to a worker.
    LabelRules rules_;

private:
    // Sorting by labels, until the mailbox's language is known: the first messages wait
    // (not yet given to the workers) while their labels vote on it.
    void HoldForLanguage(Pending& p);
    void SettleLanguage();
    void Submit(Pending& p);
    // Sorting by labels: the labels of messages converted while none carried a system
    // label, for the one warning at the end of a mailbox where none ever did.
    void CountLabels(const Pending& p);
    void WarnUnrecognisedLabels();

    void CollectOldest();
    void Collected(Pending& p);
    // A message not converted; a full disk is reported once, for the first write
    // that found it.
    void Failed(Failure failure);
    // Tells the observer what became of the message.
    void Tell(Pending& p, ItemOutcome::Result result, std::string reason);

    std::unique_ptr<ImportPipeline> pipeline_;
    std::deque<std::unique_ptr<Pending>> pending_;  // in message order
    size_t pendingBytes_ = 0;
    int64_t written_ = 0;
    int64_t alreadyThere_ = 0;
    int64_t failed_ = 0;
    bool diskFull_ = false;
    uint64_t nextOffset_ = 0;
    std::vector<Failure> failures_;
    bool languageSettled_ = true;
    LanguageVote vote_;
    bool recognisedSeen_ = false, warned_ = false;
    std::map<std::string, int64_t> labelCounts_;
};

// A message this large is converted with a warning into a .pst or .msg file: the
// common imports into online mailboxes skip items over 150 MB.
inline constexpr uint64_t kLargeItemBytes = uint64_t(150) * 1000 * 1000;

// "email-" n ".eml" / ".emlx" and "Email-" n ".msg" in the mailbox's folder.
std::string MessageFileName(const std::string& mailboxFolder, int32_t n, bool emlx);
std::string MsgFileName(const std::string& mailboxFolder, int32_t n);

}  // namespace bv::conversion
