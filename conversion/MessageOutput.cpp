#include "conversion/MessageOutput.h"

#include "conversion/EmlxFormat.h"
#include "conversion/MessageFile.h"
#include "conversion/PathHelpers.h"
#include "mailstore/RdoSession.h"

namespace bv::conversion {

using namespace bv::mailstore;

namespace {
constexpr size_t kMsgMaxRecipients = 2048;
}  // namespace

std::string MessageFileName(const std::string& mailboxFolder, int32_t n, bool emlx) {
    return mailboxFolder + kPathSeparator + "email-" + std::to_string(n) + (emlx ? ".emlx" : ".eml");
}

std::string MsgFileName(const std::string& mailboxFolder, int32_t n) {
    return mailboxFolder + kPathSeparator + "Email-" + std::to_string(n) + ".msg";
}

MessageOutput::MessageOutput(RunHost& host, std::function<void()> yield, MailboxOutputContext ctx)
    : host_(host), yield_(std::move(yield)), ctx_(std::move(ctx)) {}

MessageOutput::~MessageOutput() {
    // A message still importing is stored, not dropped.
    try {
        Flush();
    } catch (...) {
    }
}

bool MessageOutput::ShouldStop() {
    yield_();
    return host_.stopRequested();
}

std::string MessageOutput::MessageLabel(int32_t n) const {
    return ctx_.inputPath + " (message " + std::to_string(n) + ")";
}

void MessageOutput::OutputMessage(int32_t n, std::string_view text, bool) {
    // The option buttons are read afresh for every message.
    const bool pst = host_.optPST();
    const bool msg = !pst && host_.optMSG();
    if (pst || msg) {
        // Messages for a store are imported straight from memory: no intermediate
        // file is written, so none can be left behind.
        ToStore(n, text, msg);
    } else {
        const bool emlx = host_.optEMLX();
        msgFilePath_ = MessageFileName(ctx_.mailboxFolder, n, emlx);
        std::string error;
        bool ok;
        if (emlx) {
            BuildEmlx(text, emlx_);
            ok = WriteMessageFile(msgFilePath_, emlx_, &error);
        } else {
            ok = WriteMessageFile(msgFilePath_, text, &error);
        }
        if (ok) {
            ++written_;
        } else {
            ++failed_;
            failures_.push_back({msgFilePath_, error});
        }
    }
    yield_();
    host_.setLblProgress("Saved " + std::to_string(n) + " Email Messages...");
}

struct MessageOutput::PendingImport {
    int32_t n = 0;
    bool asMsg = false;
    std::string target;  // the .msg file, or the message's name in failure reports
    std::string text;    // the message's bytes until the import has read them
    std::shared_ptr<RDOMail> item;
    std::exception_ptr error;
};

void MessageOutput::ToStore(int32_t n, std::string_view text, bool asMsg) {
    auto next = std::make_unique<PendingImport>();
    next->n = n;
    next->asMsg = asMsg;
    next->target = asMsg ? MsgFileName(ctx_.mailboxFolder, n) : MessageLabel(n);
    try {
        if (!ctx_.rdoSession) throw MailStoreError("no store is open");
        if (!folder_)
            folder_ = ctx_.rdoSession->GetFolderFromPath("\\\\" + ctx_.storeDisplayName + "\\" + ctx_.outlookFolder);
        next->item = folder_->Items().Add(kItemTypeMail);
        next->text.assign(text);
    } catch (const std::exception& e) {
        ++failed_;
        failures_.push_back({next->target, e.what()});
        next.reset();
    }
    // The message before this one has been importing meanwhile: once that is done,
    // this one's import starts and the one before is stored while it runs.
    std::unique_ptr<PendingImport> previous = std::move(pending_);
    if (previous) worker_->Wait();
    if (next) {
        if (!worker_) worker_ = std::make_unique<ImportWorker>();
        pending_ = std::move(next);
        PendingImport* p = pending_.get();
        worker_->Start([p] {
            try {
                p->item->ImportFromMemory(p->text, kImportRfc822);
            } catch (...) {
                p->error = std::current_exception();
            }
            std::string().swap(p->text);
        });
    }
    if (previous) Finish(*previous);
}

void MessageOutput::Flush() {
    if (!pending_) return;
    worker_->Wait();
    std::unique_ptr<PendingImport> last = std::move(pending_);
    Finish(*last);
}

void MessageOutput::Finish(PendingImport& p) {
    const std::string& target = p.target;
    try {
        if (p.error) std::rethrow_exception(p.error);
        std::shared_ptr<RDOMail>& item = p.item;
        {
            // Read; has-attachments only where the message has attachments.
            auto utils = CreateObjectAs<MAPIUtils>("Redemption.MAPIUtils");
            int32_t flags = mapi::MSGFLAG_READ;
            if (!item->message().attachments.empty()) flags |= mapi::MSGFLAG_HASATTACH;
            utils->HrSetOneProp(item->MAPIOBJECT(), mapi::PR_MESSAGE_FLAGS, flags, true);
        }
        if (p.asMsg) {
            msgFilePath_ = target;
            yield_();
            item->SaveAs(std::filesystem::u8path(target), kSaveAsMsg);
        } else {
            item->Save();
            ++stored_;
        }
        ++written_;
        // An .msg file has room for 2048 recipient rows; the rest are only in the
        // display lists, which the user is told.
        if (p.asMsg && item->message().recipients.size() > kMsgMaxRecipients)
            failures_.push_back({target, "converted, but only " + std::to_string(kMsgMaxRecipients) + " of its " +
                                             std::to_string(item->message().recipients.size()) +
                                             " recipients fit in an .msg file (the To and Cc lines keep them all)"});
        for (const std::string& w : item->message().warnings)
            failures_.push_back({target, "converted, but some content could not be read: " + w});
    } catch (const std::exception& e) {
        ++failed_;
        failures_.push_back({target, e.what()});
    }
    p.item.reset();
}

}  // namespace bv::conversion
