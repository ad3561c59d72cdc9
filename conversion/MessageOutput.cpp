#include "conversion/MessageOutput.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "conversion/DiskFull.h"
#include "conversion/EmlxFormat.h"
#include "conversion/Labels.h"
#include "conversion/MessageFile.h"
#include "conversion/MessageIdentity.h"
#include "conversion/PathHelpers.h"
#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/Message.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/msg/MsgWriter.h"

namespace bv::conversion {

namespace mapi = bv::mapi;
namespace pst = mailstore::pst;

namespace {
constexpr size_t kMsgMaxRecipients = 2048;

// Messages handed to the import workers and not yet stored: enough to keep the
// workers busy, few enough that memory stays bounded by the largest message.
constexpr size_t kMaxPending = 256;
constexpr size_t kMaxPendingBytes = 8u << 20;
}  // namespace

std::string MessageFileName(const std::string& mailboxFolder, int32_t n, bool emlx) {
    return mailboxFolder + kPathSeparator + "email-" + std::to_string(n) + (emlx ? ".emlx" : ".eml");
}

std::string MsgFileName(const std::string& mailboxFolder, int32_t n) {
    return mailboxFolder + kPathSeparator + "Email-" + std::to_string(n) + ".msg";
}

MessageOutput::MessageOutput(RunObserver& observer, std::function<void()> yield, MailboxOutput target)
    : observer_(observer), yield_(std::move(yield)), target_(std::move(target)) {}

MessageOutput::~MessageOutput() {
    // A message still importing is stored, not dropped.
    try {
        Flush();
    } catch (...) {
    }
}

bool MessageOutput::ShouldStop() {
    yield_();
    return diskFull_ || observer_.StopRequested();
}

void MessageOutput::Fail(const std::string& target, const std::string& reason) {
    ++failed_;
    if (!IsDiskFull(reason)) {
        failures_.push_back({target, reason});
    } else if (!diskFull_) {
        diskFull_ = true;
        const bool store = target_.kind == OutputKind::Pst && target_.store;
        failures_.push_back({store ? target_.store->path() : target, DiskFullReason(reason)});
    }
}

void MessageOutput::OutputMessage(int32_t n, std::string_view text, bool) {
    if (target_.kind == OutputKind::Pst || target_.kind == OutputKind::Msg) {
        // Imported straight from memory: no intermediate file is written, so none
        // can be left behind.
        ToImport(n, text);
    } else {
        const bool emlx = target_.kind == OutputKind::Emlx;
        MessageLabels labels;
        std::optional<std::string> folder = target_.mailboxFolder;
        // The header is cut once, for the labels and the .emlx date.
        const mailstore::mime::MessageTop top =
            emlx || target_.byLabel() ? mailstore::mime::ReadMessageTop(text) : mailstore::mime::MessageTop{};
        if (target_.byLabel()) {
            labels = LabelsOfMessage(top.header.fields);
            folder = target_.diskFolders->FolderFor(target_.mailboxFolder, labels.folder);
        }
        std::string path, error;
        bool ok = false;
        if (!folder) {
            path = LabelFolderOnDisk(target_.mailboxFolder, labels.folder);
            error = "cannot create the output folder";
        } else if (emlx) {
            path = MessageFileName(*folder, n, true);
            BuildEmlx(text, top.header.fields, emlx_, EmlxFlags{.read = !labels.unread, .flagged = labels.starred});
            ok = KeepOrWrite(path, emlx_, &error);
        } else {
            path = MessageFileName(*folder, n, false);
            ok = KeepOrWrite(path, text, &error);
        }
        if (ok && lastKept_) {
            ++alreadyThere_;
        } else if (ok) {
            ++written_;
            if (target_.byLabel()) target_.counts->Add(labels.folder);
        } else {
            Fail(path, error);
        }
    }
    yield_();
    observer_.MessageWritten(n);
}

bool MessageOutput::KeepOrWrite(const std::string& path, std::string_view data, std::string* error) {
    // A file of the same content is the message converted before: it is left as it is.
    lastKept_ = SameFileContent(path, data);
    return lastKept_ || WriteMessageFile(path, data, error);
}

struct MessageOutput::PendingImport {
    int32_t n = 0;
    std::string target;  // the .msg file, or the message's name in failure reports
    std::string text;    // the message's bytes until the import has read them
    size_t size = 0;
    std::vector<std::string> labelFolder;  // sorting by labels: the message's folder
    pst::PreparedMessagePtr prepared;  // .pst: the message in the store's form
    size_t recipients = 0;
    std::vector<std::string> warnings;  // what the import could not read
    std::exception_ptr error;
    ImportPipeline::Ticket ticket = 0;
};

void MessageOutput::ToImport(int32_t n, std::string_view text) {
    auto next = std::make_unique<PendingImport>();
    next->n = n;
    next->target = target_.kind == OutputKind::Msg ? MsgFileName(target_.mailboxFolder, n)
                                                   : target_.inputPath + " (message " + std::to_string(n) + ")";
    next->size = text.size();
    next->text.assign(text);
    // Room for this one: the oldest messages are stored (in order) once imported.
    // The older half goes at once, so that the run waits for the workers once per
    // batch rather than once per message.
    if (!pending_.empty() && (pending_.size() >= kMaxPending || pendingBytes_ + next->size > kMaxPendingBytes)) {
        size_t batch = std::max<size_t>(1, pending_.size() / 2);
        pipeline_->Wait(pending_[batch - 1]->ticket);
        for (size_t i = 0; i < batch; ++i) CollectOldest();
        while (!pending_.empty() && pendingBytes_ + next->size > kMaxPendingBytes) CollectOldest();
    }

    if (!pipeline_) pipeline_ = std::make_unique<ImportPipeline>();
    PendingImport* p = next.get();
    const bool toStore = target_.kind == OutputKind::Pst;
    const pst::PstStore* store = target_.store && target_.store->open() ? &target_.store->store() : nullptr;
    DiskLabelFolders* diskFolders = target_.byLabel() ? target_.diskFolders : nullptr;
    const bool byLabel = target_.byLabel();
    const std::string* mailboxFolder = &target_.mailboxFolder;
    // Everything up to the store's own work happens on a worker: the labels, the
    // import, the flags, and the .msg file or the message's store form.
    next->ticket = pipeline_->Submit([p, toStore, store, byLabel, diskFolders, mailboxFolder, n] {
        try {
            if (toStore && !store) throw mailstore::MailStoreError("no store is open");
            // The header is cut once, for the labels and the import.
            const mailstore::mime::MessageTop top = mailstore::mime::ReadMessageTop(p->text);
            MessageLabels labels;
            if (byLabel) {
                labels = LabelsOfMessage(top.header.fields);
                if (!toStore) {
                    std::optional<std::string> folder = diskFolders->FolderFor(*mailboxFolder, labels.folder);
                    if (!folder) {
                        p->target = LabelFolderOnDisk(*mailboxFolder, labels.folder);
                        throw mailstore::MailStoreError("cannot create the output folder");
                    }
                    p->target = MsgFileName(*folder, n);
                }
            }
            mapi::Message message;
            std::vector<uint8_t> digest;
            if (toStore) digest = MessageDigest(p->text);
            mailstore::mime::ImportRfc822(p->text, top, message);
            std::string().swap(p->text);
            // How the store recognises the message when it has no Message-ID.
            if (toStore) message.props.SetBinary(mapi::PR_SEARCH_KEY, digest);
            // Read; has-attachments only where the message has attachments.
            int32_t flags = mapi::MSGFLAG_READ;
            if (!message.attachments.empty()) flags |= mapi::MSGFLAG_HASATTACH;
            message.props.SetInt(mapi::PR_MESSAGE_FLAGS, flags);
            if (byLabel) {
                ApplyLabels(labels, message);
                p->labelFolder = std::move(labels.folder);
            }
            if (toStore)
                p->prepared = store->Prepare(message);
            else
                mailstore::msg::WriteMsgFile(message, std::filesystem::u8path(p->target));
            p->recipients = message.recipients.size();
            p->warnings = std::move(message.warnings);
        } catch (...) {
            p->error = std::current_exception();
        }
        std::string().swap(p->text);
    });
    pendingBytes_ += next->size;
    pending_.push_back(std::move(next));
}

void MessageOutput::CollectOldest() {
    std::unique_ptr<PendingImport> p = std::move(pending_.front());
    pending_.pop_front();
    pendingBytes_ -= p->size;
    pipeline_->Collect(p->ticket);
    Finish(*p);
}

void MessageOutput::Flush() {
    while (!pending_.empty()) CollectOldest();
}

void MessageOutput::Finish(PendingImport& p) {
    const std::string& target = p.target;
    try {
        if (p.error) std::rethrow_exception(p.error);
        if (target_.kind == OutputKind::Pst) {
            std::string warning = target_.store->Add(target_.folder, std::move(p.prepared), p.labelFolder);
            if (!warning.empty()) warnings_.push_back({target, std::move(warning)});
            if (target_.store->LastWasThere()) {
                ++alreadyThere_;
                return;
            }
        } else {
            yield_();  // the .msg file was written by the worker
        }
        ++written_;
        if (target_.byLabel()) target_.counts->Add(p.labelFolder);
        // An .msg file has room for 2048 recipient rows; the rest are only in the
        // display lists, which the user is told.
        if (target_.kind == OutputKind::Msg && p.recipients > kMsgMaxRecipients)
            warnings_.push_back({target, "converted, but only " + std::to_string(kMsgMaxRecipients) + " of its " +
                                             std::to_string(p.recipients) +
                                             " recipients fit in an .msg file (the To and Cc lines keep them all)"});
        for (const std::string& w : p.warnings)
            warnings_.push_back({target, "converted, but some content could not be read: " + w});
    } catch (const std::exception& e) {
        Fail(target, e.what());
    }
    p.prepared.reset();
}

}  // namespace bv::conversion
