#include "conversion/MessageOutput.h"

#include <algorithm>

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

namespace {
// Messages handed to the import workers and not yet stored: enough to keep the
// workers busy, few enough that memory stays bounded by the largest message.
constexpr size_t kMaxPending = 256;
constexpr size_t kMaxPendingBytes = 8u << 20;
}  // namespace

struct MessageOutput::PendingImport {
    int32_t n = 0;
    bool asMsg = false;
    std::string target;  // the .msg file, or the message's name in failure reports
    std::string text;    // the message's bytes until the import has read them
    size_t size = 0;
    std::shared_ptr<RDOMail> item;
    std::exception_ptr error;
    bool submitted = false;
    ImportPipeline::Ticket ticket = 0;
};

void MessageOutput::ToStore(int32_t n, std::string_view text, bool asMsg) {
    auto next = std::make_unique<PendingImport>();
    next->n = n;
    next->asMsg = asMsg;
    next->target = asMsg ? MsgFileName(ctx_.mailboxFolder, n) : MessageLabel(n);
    next->size = text.size();
    try {
        if (!ctx_.rdoSession) throw MailStoreError("no store is open");
        if (!folder_)
            folder_ = ctx_.rdoSession->GetFolderFromPath("\\\\" + ctx_.storeDisplayName + "\\" + ctx_.outlookFolder);
        next->item = folder_->Items().Add(kItemTypeMail);
        next->text.assign(text);
    } catch (...) {
        next->error = std::current_exception();
    }
    // Room for this one: the oldest messages are stored (in order) once imported.
    // The older half goes at once, so that the run waits for the workers once per
    // batch rather than once per message.
    if (!pending_.empty() && (pending_.size() >= kMaxPending || pendingBytes_ + next->size > kMaxPendingBytes)) {
        size_t batch = std::max<size_t>(1, pending_.size() / 2);
        for (size_t i = batch; i-- > 0;)
            if (pending_[i]->submitted) {
                pipeline_->Wait(pending_[i]->ticket);
                break;
            }
        for (size_t i = 0; i < batch; ++i) CollectOldest();
        while (!pending_.empty() && pendingBytes_ + next->size > kMaxPendingBytes) CollectOldest();
    }

    if (!next->error) {
        if (!pipeline_) pipeline_ = std::make_unique<ImportPipeline>();
        PendingImport* p = next.get();
        // Everything up to the store's own work happens on a worker: the import, the
        // flags, and the .msg file or the message's store form.
        next->ticket = pipeline_->Submit([p] {
            try {
                std::shared_ptr<RDOMail>& item = p->item;
                item->ImportFromMemory(p->text, kImportRfc822);
                std::string().swap(p->text);
                // Read; has-attachments only where the message has attachments.
                auto utils = CreateObjectAs<MAPIUtils>("Redemption.MAPIUtils");
                int32_t flags = mapi::MSGFLAG_READ;
                if (!item->message().attachments.empty()) flags |= mapi::MSGFLAG_HASATTACH;
                utils->HrSetOneProp(item->MAPIOBJECT(), mapi::PR_MESSAGE_FLAGS, flags, true);
                if (p->asMsg)
                    item->SaveAs(std::filesystem::u8path(p->target), kSaveAsMsg);
                else
                    item->PrepareSave();
            } catch (...) {
                p->error = std::current_exception();
            }
            std::string().swap(p->text);
        });
        next->submitted = true;
    }
    pendingBytes_ += next->size;
    pending_.push_back(std::move(next));
}

void MessageOutput::CollectOldest() {
    std::unique_ptr<PendingImport> p = std::move(pending_.front());
    pending_.pop_front();
    pendingBytes_ -= p->size;
    if (p->submitted) pipeline_->Collect(p->ticket);
    Finish(*p);
}

void MessageOutput::Flush() {
    while (!pending_.empty()) CollectOldest();
}

void MessageOutput::Finish(PendingImport& p) {
    const std::string& target = p.target;
    try {
        if (p.error) std::rethrow_exception(p.error);
        std::shared_ptr<RDOMail>& item = p.item;
        if (p.asMsg) {
            msgFilePath_ = target;  // written by the worker
            yield_();
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
