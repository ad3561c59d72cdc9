// The output step: every complete message becomes an .eml or .emlx file in the
// mailbox's output folder, a message in the mailbox's folder of the open store
// (.pst), or an .msg file made through the temporary store (.msg).
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
#include "conversion/MessageExtraction.h"
#include "conversion/RunHost.h"

namespace bv::mailstore {
class RDOSession;
class RDOFolder;
}  // namespace bv::mailstore

namespace bv::conversion {

struct MailboxOutputContext {
    std::string inputPath;      // the mailbox, for failure reports
    std::string mailboxFolder;  // output folder, without a trailing separator
    std::string outlookFolder;  // the mailbox's folder name in the store
    std::shared_ptr<mailstore::RDOSession> rdoSession;
    std::string storeDisplayName;
};

class MessageOutput : public MessageSink {
public:
    MessageOutput(RunHost& host, std::function<void()> yield, MailboxOutputContext ctx);
    ~MessageOutput() override;

    void OutputMessage(int32_t n, std::string_view text, bool componentStep) override;
    bool ShouldStop() override;

    int64_t written() const { return written_; }
    int64_t failedCount() const { return failed_; }
    int64_t storedInStore() const { return stored_; }  // of written(): saved into the open .pst store
    std::vector<Failure>& failures() { return failures_; }
    // Stores the messages whose imports are still under way. Call it after the
    // extraction; the counts and failures are complete afterwards.
    void Flush();
    const std::string& msgFilePath() const { return msgFilePath_; }

private:
    struct PendingImport;
    void ToStore(int32_t n, std::string_view text, bool asMsg);
    void CollectOldest();
    void Finish(PendingImport& p);
    std::string MessageLabel(int32_t n) const;

    RunHost& host_;
    std::function<void()> yield_;
    MailboxOutputContext ctx_;
    std::shared_ptr<mailstore::RDOFolder> folder_;  // looked up on first use
    std::string msgFilePath_;
    std::string emlx_;  // reused buffer for .emlx files
    int64_t written_ = 0;
    int64_t failed_ = 0;
    int64_t stored_ = 0;
    std::vector<Failure> failures_;
    std::unique_ptr<ImportPipeline> pipeline_;  // imports the next messages while one is stored
    std::deque<std::unique_ptr<PendingImport>> pending_;  // in message order, not finished yet
    size_t pendingBytes_ = 0;
};

// "email-" n ".eml" / ".emlx" and "Email-" n ".msg" in the mailbox's folder.
std::string MessageFileName(const std::string& mailboxFolder, int32_t n, bool emlx);
std::string MsgFileName(const std::string& mailboxFolder, int32_t n);

}  // namespace bv::conversion
