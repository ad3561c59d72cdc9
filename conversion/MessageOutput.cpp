#include "conversion/MessageOutput.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>
#include <regex>
#include <string_view>

#include "conversion/DiskFull.h"
#include "conversion/EmlxFormat.h"
#include "conversion/MessageFile.h"
#include "conversion/MessageIdentity.h"
#include "conversion/PathHelpers.h"
#include "mailstore/MailStoreError.h"
#include "mailstore/base/CalendarTime.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mapi/Utf16.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/Dates.h"
#include "mailstore/mime/EncodedWords.h"
#include "mailstore/mime/HeaderMapping.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/msg/MsgWriter.h"

namespace bv::conversion {

namespace pst = mailstore::pst;

namespace {
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

bool IsRunOutputName(const std::string& fileName) {
    static const std::regex kOutput(R"((email-\d+\.emlx?|(Email|Contact|Appointment|Task)-\d+\.msg|.*\.[pP][sS][tT]))");
    return std::regex_match(fileName, kOutput);
}

MessageOutput::MessageOutput(RunObserver& observer, MailboxOutput target)
    : wantsItems_(observer.WantsItems()), observer_(observer), target_(std::move(target)) {
    if (!target_.byLabel()) return;
    rules_.map = target_.labelMap;
    rules_.language = std::string(LanguageOfMailboxName(target_.mailboxName));
    languageSettled_ = !rules_.language.empty();
}

bool MessageOutput::ShouldStop() {
    return diskFull_ || observer_.StopRequested();
}

MessageOutput::DiskFolder MessageOutput::FolderOnDisk(const std::vector<std::string>& labelFolder) const {
    if (!target_.byLabel()) return {target_.mailboxFolder, std::nullopt};
    if (std::optional<std::string> folder = target_.diskFolders->FolderFor(target_.mailboxFolder, labelFolder))
        return {std::move(*folder), std::nullopt};
    return {std::string(), Failure{LabelFolderOnDisk(target_.mailboxFolder, labelFolder), "cannot create the output folder",
                                    FailureKind::OutputFolder}};
}

void MessageOutput::Failed(Failure failure) {
    ++failed_;
    if (!IsDiskFull(failure.system)) {
        failures_.push_back(std::move(failure));
    } else if (!diskFull_) {
        diskFull_ = true;
        const bool store = target_.kind == OutputKind::Pst && target_.store;
        failures_.push_back({store ? target_.store->path() : failure.file, DiskFullReason(failure.system),
                             FailureKind::DiskFull});
    }
}

namespace {

// The header block of a message whose importer left PR_TRANSPORT_MESSAGE_HEADERS to
// its writer (empty in the message, HeaderLeftToWriter): a view into the text.
std::optional<std::string_view> HeaderLeftInText(const mailstore::mime::MessageTop& top,
                                                 const mailstore::mapi::Message& message) {
    const mailstore::mapi::Property* held = message.props.Find(mailstore::mapi::PR_TRANSPORT_MESSAGE_HEADERS);
    const std::string* text = held ? std::get_if<std::string>(&held->value) : nullptr;
    if (!text || !text->empty() || top.headerLen == 0) return std::nullopt;
    const std::string_view header = top.data.substr(0, top.headerLen);
    if (!mailstore::mime::HeaderLeftToWriter(header)) return std::nullopt;
    return header;
}

// Such a header's PR_TRANSPORT_MESSAGE_HEADERS in UTF-16: its size, and its bytes in pieces.
constexpr size_t kHeaderPiece = size_t(64) << 10;
uint64_t HeaderUtf16Size(std::string_view header) {
    uint64_t size = 0;
    mailstore::mime::TransportHeadersInPieces(header, kHeaderPiece, [&size](std::string_view piece) {
        size += mailstore::mapi::Utf16LeSize(piece);
    });
    return size;
}
void HeaderInUtf16(std::string_view header, const std::function<void(const uint8_t*, size_t)>& out) {
    mailstore::mime::TransportHeadersInPieces(header, kHeaderPiece, [&out](std::string_view piece) {
        const std::vector<uint8_t> utf16 = mailstore::mapi::Utf8ToUtf16Le(piece);
        out(utf16.data(), utf16.size());
    });
}

// .eml and .emlx files, each written by a worker from the message's own bytes.
class MessageFileOutput final : public MessageOutput {
public:
    using MessageOutput::MessageOutput;
    ~MessageFileOutput() override { FlushQuietly(); }

private:
    void Work(Pending& p) const override {
        const bool emlx = target_.kind == OutputKind::Emlx;
        // The header is cut once, for the labels and the .emlx date.
        const mailstore::mime::MessageTop top = emlx || target_.byLabel() || wantsItems_
                                                    ? mailstore::mime::ReadMessageTop(p.text)
                                                    : mailstore::mime::MessageTop{};
        if (wantsItems_) ReadItemFields(top.header.fields, p);
        MessageLabels labels;
        if (target_.byLabel()) {
            p.labels = ReadLabels(top.header.fields);
            labels = SortLabels(p.labels, rules_);
            p.recognised = labels.recognised;
        }
        DiskFolder folder = FolderOnDisk(labels.folder);
        if (folder.failure) {
            p.failure = std::move(folder.failure);
            return;
        }
        std::string built;
        if (emlx) BuildEmlx(p.text, top.header.fields, built, EmlxFlags{.read = !labels.unread, .flagged = labels.starred});
        p.labelFolder = std::move(labels.folder);
        // A file of the same content is the message converted before: it is left as it is.
        p.destination = MessageFileName(folder.path, p.n, emlx);
        MessageFileWrite written = WriteMessageFile(p.destination, emlx ? built : p.text);
        p.alreadyThere = written.alreadyThere;
        p.failure = std::move(written.failure);
        if (p.failure) p.failure->kind = FailureKind::MessageFailed;
    }
};

// The kinds made from the message's import: the workers import it, then deliver it.
class ImportedOutput : public MessageOutput {
protected:
    using MessageOutput::MessageOutput;
    // On a worker: what the kind does with the imported message (throws on failure).
    // `top`: the top of p.text, which it was imported from.
    virtual void Deliver(Pending& p, const mailstore::mime::MessageTop& top, mailstore::mapi::Message& message) const = 0;

private:
    void Work(Pending& p) const override {
        const bool toStore = target_.kind == OutputKind::Pst;
        // The header is cut once, for the labels and the import.
        const mailstore::mime::MessageTop top = mailstore::mime::ReadMessageTop(p.text);
        if (wantsItems_) ReadItemFields(top.header.fields, p);
        MessageLabels labels;
        if (target_.byLabel()) {
            // A copy the store holds already may go to another folder for them.
            p.labels = ReadLabels(top.header.fields);
            labels = SortLabels(p.labels, rules_);
            p.recognised = labels.recognised;
        }
        mailstore::mapi::Message message;
        // How the store recognises the message when it has no Message-ID: its search key.
        // An .msg file holds only so many recipient rows and attachments: the rest are
        // not made, or not kept. The store is given the text until the message is built
        // (its rows of plain mailboxes view it), and a long header is written from it.
        using mailstore::mime::BytesAtHand;
        mailstore::mime::ImportRfc822(p.text, top, message, toStore ? MessageDigest(p.text, top) : std::vector<uint8_t>(),
                                      toStore ? SIZE_MAX : mailstore::msg::kMsgRecipientRows,
                                      toStore ? SIZE_MAX : mailstore::msg::kMsgAttachments,
                                      toStore ? BytesAtHand::UntilWritten : BytesAtHand::RowsLeftOut);
        // A message past what an .msg file holds keeps its bytes: they go along whole.
        if (!toStore && mailstore::msg::FitsMsgFile(message)) std::string().swap(p.text);
        // A converted message is read, unless its labels say it is unread.
        message.props.SetInt(mailstore::mapi::PR_MESSAGE_FLAGS, mailstore::mapi::MSGFLAG_READ);
        if (target_.byLabel()) {
            ApplyLabels(labels, message);
            p.labelFolder = std::move(labels.folder);
        }
        mailstore::mapi::CompleteMessage(message);
        Deliver(p, top, message);
        p.warnings = std::move(message.warnings);
    }
};

// .msg files, written by the workers.
class MsgFileOutput final : public ImportedOutput {
public:
    using ImportedOutput::ImportedOutput;
    ~MsgFileOutput() override { FlushQuietly(); }

private:
    void Deliver(Pending& p, const mailstore::mime::MessageTop& top, mailstore::mapi::Message& message) const override {
        // Past the limits of the format, the rest of the message is in its original,
        // attached whole (its bytes written from the text, not copied into the message).
        mailstore::msg::MsgApart apart;
        if (!p.text.empty()) {
            const std::string leftOut = mailstore::msg::FitToMsgFile(message);
            message.attachments.push_back(
                mailstore::mime::OriginalMessageAttachment(p.text, int32_t(message.attachments.size()), false));
            apart.lastAttachmentData = p.text;
            HeaderFromText(top, message, apart);
            mailstore::mapi::CompleteMessage(message);  // (the attachment's defaults)
            p.note = "converted, but only " + leftOut + " fit in an .msg file; the whole message is attached as " +
                     mailstore::mime::kOriginalMessageName;
        }
        DiskFolder folder = FolderOnDisk(p.labelFolder);
        if (folder.failure) {
            p.target = folder.failure->file;
            throw mailstore::MailStoreError(folder.failure->reason);
        }
        p.target = MsgFileName(folder.path, p.n);
        p.destination = p.target;
        // A file of the same content is the message converted before: it is left as it is.
        p.alreadyThere = !mailstore::msg::WriteMsgFile(message, std::filesystem::u8path(p.target), apart);
    }
    bool Finish(Pending& p) override {
        if (p.alreadyThere) return false;
        if (!p.note.empty()) warnings_.push_back({p.target, std::move(p.note)});
        return true;
    }

    // A long header (a field of many thousands of recipients) the importer left to the
    // writer, as the text is kept for the original: written from the text as well, not
    // held beside it.
    static void HeaderFromText(const mailstore::mime::MessageTop& top, const mailstore::mapi::Message& message,
                               mailstore::msg::MsgApart& apart) {
        const std::optional<std::string_view> header = HeaderLeftInText(top, message);
        if (!header) return;
        apart.headerUtf16Size = HeaderUtf16Size(*header);
        apart.header = [header = *header](const std::function<void(const uint8_t*, size_t)>& out) {
            HeaderInUtf16(header, out);
        };
    }
};

// Where a message sorted by its labels belongs when a copy with `labels` comes: below
// its mailbox's folder, in the folder the labels of both choose.
// The store may ask after the mailbox is done (a copy in a full earlier part), so the
// rules go with it; the label map they point to lives as long as the run.
pst::PstStoreSeries::Refolder FolderOverLabels(std::vector<std::string> labels, LabelRules rules) {
    return [labels = std::move(labels), rules = std::move(rules)](const std::vector<std::string>& folder,
                                        const std::vector<std::string>& categories) -> std::vector<std::string> {
        if (folder.size() < 2) return {};  // not in a label folder below a mailbox's
        std::optional<std::vector<std::string>> wanted =
            LabelFolderMetAgain({folder.begin() + 1, folder.end()}, categories, labels, rules);
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
    void Deliver(Pending& p, const mailstore::mime::MessageTop& top, mailstore::mapi::Message& message) const override {
        if (!target_.store) throw mailstore::MailStoreError("no store is open");
        // The message's attachments and bodies move into the store's form, not copied.
        // A long header the importer left is made from the text as the store writes it,
        // which holds the text till then; otherwise the text goes once the message is built.
        if (pst::TextApart header = HeaderFromText(p, top, message); header.utf16)
            p.prepared = target_.store->Prepare(std::move(message), std::move(header));
        else
            p.prepared = target_.store->Prepare(std::move(message));
        std::string().swap(p.text);
    }

    static pst::TextApart HeaderFromText(Pending& p, const mailstore::mime::MessageTop& top,
                                         const mailstore::mapi::Message& message) {
        const std::optional<std::string_view> header = HeaderLeftInText(top, message);
        if (!header) return {};
        // (A header left to the writer is long: the text's bytes stay where they are
        // when it moves, and `header` with them.)
        auto text = std::make_shared<const std::string>(std::move(p.text));
        pst::TextApart apart;
        apart.tag = mailstore::mapi::PR_TRANSPORT_MESSAGE_HEADERS;
        apart.utf16Size = HeaderUtf16Size(*header);
        apart.utf16 = [text, header = *header](const std::function<void(const uint8_t*, size_t)>& out) {
            HeaderInUtf16(header, out);
        };
        return apart;
    }
    bool Finish(Pending& p) override {
        std::vector<std::string> folder{target_.folder};
        folder.insert(folder.end(), p.labelFolder.begin(), p.labelFolder.end());
        pst::PstStoreSeries::Refolder refolder;
        if (target_.byLabel()) refolder = FolderOverLabels(std::move(p.labels), rules_);
        pst::PstStoreSeries::Added added = target_.store->AddOnce(folder, std::move(p.prepared), std::move(refolder));
        p.destination = target_.store->path();
        for (const std::string& name : folder) p.folder += (p.folder.empty() ? "" : "/") + name;
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

MessageOutput::~MessageOutput() {
    // Every sink finishes its messages in its own destructor (FlushQuietly); what
    // could be left here is waited for, so no worker outlives the sink.
    pipeline_.reset();
}

void MessageOutput::FlushQuietly() {
    try {
        Flush();
    } catch (...) {
    }
}

void MessageOutput::OutputMessage(int32_t n, AppendStrings& message) {
    auto next = std::make_unique<Pending>();
    next->n = n;
    next->target = target_.inputPath + " (message " + std::to_string(n) + ")";
    // The bytes move to the worker, not copied.
    next->text = message.Take();
    next->offset = nextOffset_;
    next->sourceBytes = next->text.size();
    next->size = next->text.capacity();  // what it holds in memory, its spare room included
    // Room for this one: the oldest messages are finished (in order) once worked on.
    // The older half goes at once, so that the run waits for the workers once per
    // batch rather than once per message.
    if (!pending_.empty() && (pending_.size() >= kMaxPending || pendingBytes_ + next->size > kMaxPendingBytes)) {
        SettleLanguage();  // the messages held for it go to the workers first
        size_t batch = std::max<size_t>(1, pending_.size() / 2);
        pipeline_->Wait(pending_[batch - 1]->ticket);
        for (size_t i = 0; i < batch; ++i) CollectOldest();
        while (!pending_.empty() && pendingBytes_ + next->size > kMaxPendingBytes) CollectOldest();
    }
    Pending* p = next.get();
    pendingBytes_ += next->size;
    pending_.push_back(std::move(next));
    if (languageSettled_) Submit(*p);
    else HoldForLanguage(*p);
    observer_.MessageWritten(n);
}

void MessageOutput::Submit(Pending& pending) {
    if (!pipeline_) pipeline_ = std::make_unique<ImportPipeline>();
    Pending* p = &pending;
    p->ticket = pipeline_->Submit([this, p] {
        try {
            Work(*p);
        } catch (...) {
            p->error = std::current_exception();
        }
        std::string().swap(p->text);
    });
}

namespace {
// The most messages, and bytes, that wait for the mailbox's language.
constexpr size_t kLanguageSample = 64;
constexpr size_t kLanguageSampleBytes = kMaxPendingBytes / 2;
}  // namespace

void MessageOutput::HoldForLanguage(Pending& p) {
    vote_.Add(ReadLabels(p.text));
    if (vote_.Settled() || pending_.size() >= kLanguageSample || pendingBytes_ >= kLanguageSampleBytes)
        SettleLanguage();
}

void MessageOutput::SettleLanguage() {
    if (languageSettled_) return;
    languageSettled_ = true;
    rules_.language = vote_.Language();
    for (auto& p : pending_) Submit(*p);
}

void MessageOutput::CollectOldest() {
    std::unique_ptr<Pending> p = std::move(pending_.front());
    pending_.pop_front();
    pendingBytes_ -= p->size;
    pipeline_->Collect(p->ticket);
    Collected(*p);
}

void MessageOutput::Flush() {
    SettleLanguage();
    while (!pending_.empty()) CollectOldest();
    WarnUnrecognisedLabels();
}

void MessageOutput::CountLabels(const Pending& p) {
    if (!target_.byLabel() || recognisedSeen_) return;
    if (p.recognised) {
        recognisedSeen_ = true;
        labelCounts_.clear();
        return;
    }
    constexpr size_t kMostLabels = 10000;  // distinct labels counted: memory stays bounded
    for (const std::string& label : p.labels)
        if (labelCounts_.size() < kMostLabels || labelCounts_.count(label)) ++labelCounts_[label];
}

void MessageOutput::WarnUnrecognisedLabels() {
    if (!target_.byLabel() || recognisedSeen_ || warned_ || labelCounts_.empty()) return;
    warned_ = true;
    std::vector<std::pair<std::string, int64_t>> most(labelCounts_.begin(), labelCounts_.end());
    std::stable_sort(most.begin(), most.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string names;
    for (size_t i = 0; i < most.size() && i < 5; ++i)
        names += (i ? ", \"" : "\"") + most[i].first + "\" (" + std::to_string(most[i].second) + ")";
    warnings_.push_back({target_.inputPath,
                         "sorted by labels, but no message carried a label known as Inbox, Sent, Unread or another "
                         "system label, so each went to the folder of its first label; the most frequent labels: " +
                             names + ". A label map (--label-map) can say what they mean"});
}

void MessageOutput::ReadItemFields(const mailstore::mime::HeaderFields& fields, Pending& p) const {
    using mailstore::mime::RawHeader;
    p.messageId = RawHeader(fields, "Message-ID");
    using mailstore::mime::DecodeEncodedWords;
    using mailstore::mime::UnfoldHeader;
    p.sender = DecodeEncodedWords(UnfoldHeader(RawHeader(fields, "From")));
    p.subject = DecodeEncodedWords(UnfoldHeader(RawHeader(fields, "Subject")));
    const std::string date = RawHeader(fields, "Date");
    if (std::optional<int64_t> seconds = mailstore::mime::ReadDate(date)) {
        // As UTC in ISO 8601, which spreadsheets sort.
        const std::tm tm = mailstore::base::UtcTime(std::time_t(*seconds));
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
        p.date = text;
    } else {
        p.date = date;
    }
}

void MessageOutput::Tell(Pending& p, ItemOutcome::Result result, std::string reason) {
    if (!wantsItems_) return;
    ItemOutcome o;
    o.result = result;
    o.input = target_.inputPath;
    o.number = p.n;
    o.offset = int64_t(p.offset);
    o.messageId = std::move(p.messageId);
    o.date = std::move(p.date);
    o.sender = std::move(p.sender);
    o.subject = std::move(p.subject);
    o.reason = std::move(reason);
    o.destination = std::move(p.destination);
    o.folder = std::move(p.folder);
    observer_.ItemDone(o);
}

// Once per message: a failure of its work or of its finish is the message's.
void MessageOutput::Collected(Pending& p) {
    try {
        if (p.error) std::rethrow_exception(p.error);
        if (!p.failure) CountLabels(p);
        if (p.failure) {
            Tell(p, ItemOutcome::Result::Failed, p.failure->reason);
            Failed(std::move(*p.failure));
        } else {
            const size_t warningsBefore = warnings_.size();
            if (!Finish(p)) {
                ++alreadyThere_;
                observer_.MessageSettled(false);
                Tell(p, ItemOutcome::Result::AlreadyThere, "");
            } else {
                ++written_;
                observer_.MessageSettled(true);
                if (target_.byLabel()) target_.counts->Add(p.labelFolder);
                for (const std::string& w : p.warnings)
                    warnings_.push_back({p.target, "converted, but some content could not be read: " + w});
                const bool imported = target_.kind == OutputKind::Msg || target_.kind == OutputKind::Pst;
                if (imported && p.sourceBytes > kLargeItemBytes)
                    warnings_.push_back({p.target, "converted, but it is " + std::to_string(p.sourceBytes / 1000000) +
                                                       " MB: imports into online mailboxes skip items over 150 MB"});
                std::string reasons;
                for (size_t i = warningsBefore; i < warnings_.size(); ++i)
                    reasons += (reasons.empty() ? "" : "; ") + warnings_[i].reason;
                const auto result =
                    reasons.empty() ? ItemOutcome::Result::Converted : ItemOutcome::Result::ConvertedWithWarning;
                Tell(p, result, std::move(reasons));
            }
        }
    } catch (const std::exception& e) {
        Tell(p, ItemOutcome::Result::Failed, e.what());
        Failed({p.target, e.what(), FailureKind::MessageFailed, mailstore::SystemErrorOf(e)});
    }
    p.prepared.reset();
}

}  // namespace bv::conversion
