#include "conversion/MessageOutput.h"

#include <algorithm>
#include <filesystem>

#include "conversion/DiskFull.h"
#include "conversion/EmlxFormat.h"
#include "conversion/LabelFolders.h"
#include "conversion/MessageFile.h"
#include "conversion/MessageIdentity.h"
#include "conversion/PathHelpers.h"
#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/msg/MsgWriter.h"

namespace bv::conversion {

namespace pst = mailstore::pst;

namespace {
constexpr size_t kMsgMaxRecipients = 2048;

// Messages handed to the import workers and not yet finished: enough to keep the
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

MessageOutput::MessageOutput(RunObserver& observer, MailboxOutput target)
    : observer_(observer), target_(std::move(target)) {}

bool MessageOutput::ShouldStop() {
    return diskFull_ || observer_.StopRequested();
}

MessageOutput::DiskFolder MessageOutput::FolderOnDisk(const std::vector<std::string>& labelFolder) const {
    if (!target_.byLabel()) return {target_.mailboxFolder, std::nullopt};
    if (std::optional<std::string> folder = target_.diskFolders->FolderFor(target_.mailboxFolder, labelFolder))
        return {std::move(*folder), std::nullopt};
    return {std::string(), Failure{LabelFolderOnDisk(target_.mailboxFolder, labelFolder), "cannot create the output folder"}};
}

void MessageOutput::Written(const std::vector<std::string>& labelFolder) {
    ++written_;
    if (target_.byLabel()) target_.counts->Add(labelFolder);
}

void MessageOutput::Failed(Failure failure) {
    ++failed_;
    if (!IsDiskFull(failure.reason)) {
        failures_.push_back(std::move(failure));
    } else if (!diskFull_) {
        diskFull_ = true;
        const bool store = target_.kind == OutputKind::Pst && target_.store;
        failures_.push_back({store ? target_.store->path() : failure.file, DiskFullReason(failure.reason)});
    }
}

namespace {

// .eml and .emlx files, written on the run's thread straight from the extractor's buffer.
class MessageFileOutput final : public MessageOutput {
public:
    using MessageOutput::MessageOutput;

    void OutputMessage(int32_t n, AppendStrings& message) override {
        const std::string_view text = message.View();
        const bool emlx = target_.kind == OutputKind::Emlx;
        // The header is cut once, for the labels and the .emlx date.
        const mailstore::mime::MessageTop top =
            emlx || target_.byLabel() ? mailstore::mime::ReadMessageTop(text) : mailstore::mime::MessageTop{};
        MessageLabels labels;
        if (target_.byLabel()) labels = LabelsOfMessage(top.header.fields);
        DiskFolder folder = FolderOnDisk(labels.folder);
        std::optional<Failure> failed = std::move(folder.failure);
        bool kept = false;
        if (!failed) {
            if (emlx)
                BuildEmlx(text, top.header.fields, emlx_, EmlxFlags{.read = !labels.unread, .flagged = labels.starred});
            const std::string path = MessageFileName(folder.path, n, emlx);
            const std::string_view data = emlx ? std::string_view(emlx_) : text;
            // A file of the same content is the message converted before: it is left as it is.
            MessageFileWrite written = WriteMessageFile(path, data);
            kept = written.alreadyThere;
            failed = std::move(written.failure);
        }
        if (failed)
            Failed(std::move(*failed));
        else if (kept)
            AlreadyThere();
        else
            Written(labels.folder);
        observer_.MessageWritten(n);
    }

private:
    std::string emlx_;  // reused buffer for .emlx files
};

// .msg files, written by the workers.
class MsgFileOutput final : public ImportedOutput {
public:
    using ImportedOutput::ImportedOutput;
    ~MsgFileOutput() override { FlushQuietly(); }

private:
    void Deliver(Pending& p, const mailstore::mapi::Message& message) const override {
        DiskFolder folder = FolderOnDisk(p.labelFolder);
        if (folder.failure) {
            p.target = folder.failure->file;
            throw mailstore::MailStoreError(folder.failure->reason);
        }
        p.target = MsgFileName(folder.path, p.n);
        // A file of the same content is the message converted before: it is left as it is.
        p.kept = !mailstore::msg::WriteMsgFile(message, std::filesystem::u8path(p.target));
    }
    bool Finish(Pending& p) override {
        if (p.kept) return false;
        // An .msg file has room for 2048 recipient rows; the rest are only in the
        // display lists, which the user is told.
        if (p.recipients > kMsgMaxRecipients)
            warnings_.push_back({p.target, "converted, but only " + std::to_string(kMsgMaxRecipients) + " of its " +
                                               std::to_string(p.recipients) +
                                               " recipients fit in an .msg file (the To and Cc lines keep them all)"});
        return true;
    }
};

// Where a message sorted by its labels belongs when a copy with `labels` comes: below
// its mailbox's folder, in the folder the labels of both choose.
pst::PstStoreSeries::Refolder FolderOverLabels(std::vector<std::string> labels) {
    return [labels = std::move(labels)](const std::vector<std::string>& folder,
                                        const std::vector<std::string>& categories) -> std::vector<std::string> {
        if (folder.size() < 2) return {};  // not in a label folder below a mailbox's
        std::optional<std::vector<std::string>> wanted =
            LabelFolderMetAgain({folder.begin() + 1, folder.end()}, categories, labels);
        if (!wanted) return {};
        wanted->insert(wanted->begin(), folder[0]);
        return std::move(*wanted);
    };
}

// Messages of a store: prepared by the workers, added on the run's thread.
class StoreOutput final : public ImportedOutput {
public:
    using ImportedOutput::ImportedOutput;
    // A message still importing is stored, not dropped.
    ~StoreOutput() override { FlushQuietly(); }

private:
    void Deliver(Pending& p, const mailstore::mapi::Message& message) const override {
        if (!target_.store) throw mailstore::MailStoreError("no store is open");
        p.prepared = target_.store->Prepare(message);
    }
    bool Finish(Pending& p) override {
        std::vector<std::string> folder{target_.folder};
        folder.insert(folder.end(), p.labelFolder.begin(), p.labelFolder.end());
        pst::PstStoreSeries::Refolder refolder;
        if (target_.byLabel()) refolder = FolderOverLabels(std::move(p.labels));
        pst::PstStoreSeries::Added added = target_.store->AddOnce(folder, std::move(p.prepared), std::move(refolder));
        if (!added.warning.empty()) warnings_.push_back({p.target, std::move(added.warning)});
        return added.added;
    }
};

}  // namespace

std::unique_ptr<MessageOutput> MessageOutput::For(RunObserver& observer,
                                                  MailboxOutput target) {
    switch (target.kind) {
        case OutputKind::Msg:
            return std::unique_ptr<MessageOutput>(new MsgFileOutput(observer, std::move(target)));
        case OutputKind::Pst:
            return std::unique_ptr<MessageOutput>(new StoreOutput(observer, std::move(target)));
        default:
            return std::unique_ptr<MessageOutput>(new MessageFileOutput(observer, std::move(target)));
    }
}

ImportedOutput::~ImportedOutput() {
    // Every sink finishes its messages in its own destructor (FlushQuietly); what
    // could be left here is waited for, so no worker outlives the sink.
    pipeline_.reset();
}

void ImportedOutput::FlushQuietly() {
    try {
        Flush();
    } catch (...) {
    }
}

void ImportedOutput::OutputMessage(int32_t n, AppendStrings& message) {
    auto next = std::make_unique<Pending>();
    next->n = n;
    next->target = target_.inputPath + " (message " + std::to_string(n) + ")";
    // The bytes move to the worker: imported straight from memory, so no
    // intermediate file is written and none can be left behind.
    next->text = message.Take();
    next->size = next->text.capacity();  // what it holds in memory, its spare room included
    // Room for this one: the oldest messages are finished (in order) once imported.
    // The older half goes at once, so that the run waits for the workers once per
    // batch rather than once per message.
    if (!pending_.empty() && (pending_.size() >= kMaxPending || pendingBytes_ + next->size > kMaxPendingBytes)) {
        size_t batch = std::max<size_t>(1, pending_.size() / 2);
        pipeline_->Wait(pending_[batch - 1]->ticket);
        for (size_t i = 0; i < batch; ++i) CollectOldest();
        while (!pending_.empty() && pendingBytes_ + next->size > kMaxPendingBytes) CollectOldest();
    }
    if (!pipeline_) pipeline_ = std::make_unique<ImportPipeline>();
    Pending* p = next.get();
    const bool byLabel = target_.byLabel();
    const bool toStore = target_.kind == OutputKind::Pst;
    // Everything up to the run's own work happens on a worker: the labels, the
    // import, the flags, and the .msg file or the message's store form.
    next->ticket = pipeline_->Submit([this, p, byLabel, toStore] {
        try {
            // The header is cut once, for the labels and the import.
            const mailstore::mime::MessageTop top = mailstore::mime::ReadMessageTop(p->text);
            MessageLabels labels;
            if (byLabel) {
                std::vector<std::string> read = ReadLabels(top.header.fields);
                labels = SortLabels(read);
                // A copy the store holds already may go to another folder for them.
                if (toStore) p->labels = std::move(read);
            }
            mailstore::mapi::Message message;
            std::vector<uint8_t> digest;
            if (toStore) digest = MessageDigest(p->text);
            mailstore::mime::ImportRfc822(p->text, top, message);
            std::string().swap(p->text);
            // How the store recognises the message when it has no Message-ID.
            if (toStore) message.props.SetBinary(mailstore::mapi::PR_SEARCH_KEY, digest);
            // A converted message is read, unless its labels say it is unread.
            message.props.SetInt(mailstore::mapi::PR_MESSAGE_FLAGS, mailstore::mapi::MSGFLAG_READ);
            if (byLabel) {
                ApplyLabels(labels, message);
                p->labelFolder = std::move(labels.folder);
            }
            mailstore::mapi::CompleteMessage(message);
            Deliver(*p, message);
            p->recipients = message.recipients.size();
            p->warnings = std::move(message.warnings);
        } catch (...) {
            p->error = std::current_exception();
        }
        std::string().swap(p->text);
    });
    pendingBytes_ += next->size;
    pending_.push_back(std::move(next));
    observer_.MessageWritten(n);
}

void ImportedOutput::CollectOldest() {
    std::unique_ptr<Pending> p = std::move(pending_.front());
    pending_.pop_front();
    pendingBytes_ -= p->size;
    pipeline_->Collect(p->ticket);
    Collected(*p);
}

void ImportedOutput::Flush() {
    while (!pending_.empty()) CollectOldest();
}

// Once per message: a failure of its import or of its delivery is the message's.
void ImportedOutput::Collected(Pending& p) {
    try {
        if (p.error) std::rethrow_exception(p.error);
        if (!Finish(p)) {
            AlreadyThere();
            p.prepared.reset();
            return;
        }
        Written(p.labelFolder);
        for (const std::string& w : p.warnings)
            warnings_.push_back({p.target, "converted, but some content could not be read: " + w});
    } catch (const std::exception& e) {
        Failed({p.target, e.what()});
    }
    p.prepared.reset();
}

}  // namespace bv::conversion
