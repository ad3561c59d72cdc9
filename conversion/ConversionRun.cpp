#include "conversion/ConversionRun.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "conversion/AppendStrings.h"
#include "conversion/ArchiveInput.h"
#include "conversion/DiskFull.h"
#include "conversion/InputFile.h"
#include "conversion/ItemFiles.h"
#include "conversion/LabelFolders.h"
#include "conversion/MailboxProbe.h"
#include "conversion/MessageExtraction.h"
#include "conversion/MessageOutput.h"
#include "conversion/PathHelpers.h"
#include "conversion/ReadAhead.h"
#include "conversion/RunNames.h"
#include "conversion/StoreName.h"
#include "mailstore/base/CompleteFile.h"
#include "mailstore/base/PlatformFile.h"
#include "mailstore/pst/PstStoreSeries.h"
#include "mailstore/pst/StoreErrors.h"

namespace bv::conversion {

namespace {

// Tells the observer the share of the run's input read, over all mailboxes: at most
// about every 50 ms, and once at the end.
class ReadShare {
public:
    ReadShare(RunObserver& observer, uint64_t total) : observer_(observer), total_(total) {}
    // `bytes` of the current input have been read through.
    void InFile(uint64_t bytes) {
        current_ = bytes;
        Tell(before_ + bytes, false);
    }
    // The current input is done with (read, refused or failed): all its bytes count.
    void FileDone(uint64_t size) {
        before_ += size;
        current_ = 0;
        Tell(before_, false);
    }
    void End() { Tell(before_ + current_, true); }

private:
    void Tell(uint64_t done, bool force) {
        auto now = std::chrono::steady_clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(50)) return;
        last_ = now;
        observer_.BytesRead(std::min(done, total_), total_);
    }

    RunObserver& observer_;
    uint64_t total_;
    uint64_t before_ = 0;   // the inputs done with
    uint64_t current_ = 0;  // read through in the current one
    std::chrono::steady_clock::time_point last_{};
};

// Why a store could not be opened, in plain words, from the failure's kind: which
// file and why. A system error on the store's working file is told of the store
// itself. Without `named`, for a report line that names the store first, the store's
// path is left out ("not a .pst store ...", "cannot create the store: ...").
std::string StoreOpenFailure(const std::string& storePath, const std::exception& e, bool named = true) {
    namespace pst = mailstore::pst;
    const std::string path = named ? " " + storePath : std::string();
    if (const auto* inUse = dynamic_cast<const pst::StoreInUseError*>(&e))
        return named ? storePath + " is " + inUse->Reason() : inUse->Reason();
    if (const auto* notAStore = dynamic_cast<const pst::NotAStoreError*>(&e))
        return named ? storePath + " is " + notAStore->Reason() : notAStore->Reason();
    if (const auto* io = dynamic_cast<const mailstore::IoError*>(&e); io && io->file() == storePath)
        return mailstore::IoError::Text(io->operation(), named ? storePath : "", io->code());
    std::error_code ec;
    const std::string verb =
        std::filesystem::exists(std::filesystem::u8path(storePath), ec) ? "cannot open the store" : "cannot create the store";
    if (const auto* io = dynamic_cast<const mailstore::IoError*>(&e))
        return verb + path + ": " + mailstore::SystemErrorText(io->code());
    if (const auto* fe = dynamic_cast<const std::filesystem::filesystem_error*>(&e))
        return verb + path + ": " + fe->code().message();
    return verb + path + ": " + e.what();
}

// Whether a new file can be made in the folder (it is removed again at once).
bool DestinationTakesFiles(const std::string& folder) {
    try {
        mailstore::base::PlatformFile probe;
        probe.OpenTemporary(std::filesystem::u8path(folder));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}


// The destination folder cannot be made (a file stands in its place, or no right to).
struct UnusableDestination : std::filesystem::filesystem_error {
    using std::filesystem::filesystem_error::filesystem_error;
};

// What became of one listed input: what the report gained while it was read.
struct InputTally {
    RunReport& r;
    std::string input;
    const std::vector<std::string>& passedOver;
    size_t passedOverBefore;
    int64_t converted, alreadyThere, failed;
    size_t failures;
    InputTally(RunReport& report, std::string path, const std::vector<std::string>& passed)
        : r(report), input(std::move(path)), passedOver(passed), passedOverBefore(passed.size()),
          converted(r.messagesConverted + r.itemsConverted),
          alreadyThere(r.messagesAlreadyThere + r.itemsAlreadyThere),
          failed(r.messagesFailed + r.itemsFailed), failures(r.failures.size()) {}
    ~InputTally() {
        InputResult& result = r.inputResults[input];
        result.reached = true;
        result.passedOver = passedOver.size() > passedOverBefore;
        result.converted = std::max<int64_t>(0, r.messagesConverted + r.itemsConverted - converted);
        result.alreadyThere = r.messagesAlreadyThere + r.itemsAlreadyThere - alreadyThere;
        result.failed = r.messagesFailed + r.itemsFailed - failed;
        if (r.failures.size() > failures) result.problem = r.failures[failures].reason;
    }
};

// One run, step by step: each listed input in turn (a mailbox, a contacts or calendar
// file, an archive and its members), each settled as it ends, the outputs opened as
// something is to go into them and closed at the end. A failure is recorded once,
// with its kind; a full disk or a store that cannot be opened ends the run.
class Run {
public:
    Run(const RunOptions& options, RunObserver& observer);
    RunReport Go();

private:
    // One listed input. False when the run ends there (a store could not be opened).
    bool ConvertInput(int index);
    // One mailbox: a file (`member` null) or a member of an archive, read from
    // `member` (opened, nothing of it consumed yet). `inputPath` names it: the file, or
    // the archive's path followed by the member's path inside it; its output folder
    // mirrors that path below the destination.
    bool ConvertMailbox(const std::string& inputPath, InputFile* member, const ReadProgress& progress);
    // One contacts or calendar file, a file or a member as ConvertMailbox's.
    // `several`: its store folder is named after it.
    bool ConvertItemFile(const std::string& inputPath, ItemFileKind itemKind, InputFile* member, bool several);
    // Every mailbox, contacts and calendar file of an archive, in the archive's order,
    // read once from start to end. A member that fails costs that member; any other
    // member is passed over.
    bool ConvertArchive(int index, const std::string& archivePath);
    // One member of an archive; `found` counts the members with something to convert.
    bool ConvertMember(ArchiveReader& archive, const ArchiveMember& member, const std::string& archivePath, int index,
                       int& found);
    // Where an input's output goes: in a store, `addToStore` names or makes its folder;
    // on disk, `folder` is made. False, the failure recorded and told, when it cannot be.
    bool OutputReady(const std::string& inputPath, const std::string& folder, const std::function<void()>& addToStore);
    // After each input: its store parts settled, a store of its own closed, and the
    // input counted as converted or failed.
    void SettleInput(size_t failuresBefore, bool itemFile);
    // The outputs: the store for a scope (the destination made first), and its close.
    void OpenStore(StoreScope scope, const std::string& mailboxName);
    void CloseStore();
    RunReport Close();

    // Failures, each recorded once.
    void Record(Failure failure);
    void RecordAndTell(const std::string& input, Failure failure);
    // A store that cannot be opened ends the run.
    void StoreFailed(const std::exception& e, FailureKind kind);
    // The store of one input that cannot be opened costs that input, unless the cause
    // is the run's: a full disk ends the run, and a destination that takes no file at
    // all is told as the one store of every mailbox would be. False when the run ends.
    bool InputStoreFailed(const std::exception& e, const std::string& input);
    // Parts that could not be finished are not there: the messages put into them were
    // not converted. Returns how many.
    int64_t TakePartFailures();
    // An output folder that cannot be made: a full disk ends the run, other causes
    // cost the file it was for.
    void OutputFolderFailed(const std::string& folder, std::error_code ec);
    // The listed inputs from `index` on that the run ends before.
    void NotReached(int index);
    bool Ending() const { return report_.stopped || report_.diskFull(); }

    const RunOptions& options_;
    RunObserver& observer_;
    RunReport report_;
    const std::string saveFolder_;
    const OutputKind kind_;
    const bool pst_;
    const bool storePerMailbox_;
    // A file listed twice, under any spelling of its path, is read once.
    const std::vector<std::string> inputs_;
    DistinctNames names_;
    std::vector<uint64_t> sizes_;
    ReadShare share_;
    ReadProgress inFile_;
    AppendStrings msgText_;
    DiskLabelFolders diskLabelFolders_;
    LabelFolderCounts labelCounts_;

    // The open store: its parts are its own business.
    std::unique_ptr<mailstore::pst::PstStoreSeries> store_;
    std::string storePath_;  // of the store opened last, for reports
    // Mailboxes counted as converted with messages in the open part: when it cannot
    // be finished they were not converted.
    int storeMailboxes_ = 0;
    int storeItemFiles_ = 0;
    int storeMailboxesPart_ = 0;  // the part they went into
    std::vector<mailstore::pst::WrittenStore> written_;  // what went into each store, for the read back

    // Contacts and calendars: how many files of each kind a single store receives (more
    // than one: each gets a folder named after it), and those an .eml / .emlx run passes over.
    std::map<ItemFileKind, int> itemFiles_;
    std::map<ItemFileKind, int> itemMembersStored_;  // members of archives put into the one store so far
    std::vector<std::string> itemFilesPassedOver_;
};

uint64_t TotalSize(const std::vector<uint64_t>& sizes) {
    uint64_t total = 0;
    for (uint64_t size : sizes) total += size;
    return total;
}

std::vector<uint64_t> InputSizes(const std::vector<std::string>& inputs) {
    std::vector<uint64_t> sizes;
    for (const std::string& input : inputs) sizes.push_back(InputSize(input));
    return sizes;
}

Run::Run(const RunOptions& options, RunObserver& observer)
    : options_(options), observer_(observer), saveFolder_(WithTrailingSeparator(options.destination)),
      kind_(options.kind), pst_(kind_ == OutputKind::Pst), storePerMailbox_(pst_ && !options.singleStore),
      inputs_(DistinctInputs(options.inputs)), names_(inputs_, ListedName), sizes_(InputSizes(inputs_)),
      share_(observer, TotalSize(sizes_)), inFile_([this](uint64_t bytes) { share_.InFile(bytes); }) {
    report_.destination = saveFolder_;
    for (const std::string& input : inputs_) ++itemFiles_[ItemFileKindOf(TrimBlanks(input))];
}

void Run::Record(Failure failure) {
    if (failure.kind == FailureKind::DiskFull && !report_.endedBy) report_.endedBy = failure;
    report_.failures.push_back(std::move(failure));
}

void Run::RecordAndTell(const std::string& input, Failure failure) {
    TellNotConverted(observer_, input, failure.reason);
    Record(std::move(failure));
}

void Run::OpenStore(StoreScope scope, const std::string& mailboxName) {
    StoreName name = StoreNameFor(scope, saveFolder_, mailboxName);
    storePath_ = mailstore::pst::PstStoreSeries::FittingStem(name.stem) + ".pst";
    // The destination is made when something is to go into it.
    std::error_code ec;
    const std::filesystem::path destination = std::filesystem::u8path(saveFolder_).parent_path();
    if (std::filesystem::exists(destination, ec) && !std::filesystem::is_directory(destination, ec))
        ec = std::make_error_code(std::errc::not_a_directory);  // a file in its place
    else
        std::filesystem::create_directories(destination, ec);
    if (ec) throw UnusableDestination("cannot create the destination folder", std::filesystem::u8path(saveFolder_), ec);
    const bool earlier = std::filesystem::exists(std::filesystem::u8path(storePath_), ec);
    store_ = std::make_unique<mailstore::pst::PstStoreSeries>(name.stem, name.displayName, options_.maxPstSize);
    if (std::find(report_.storeFiles.begin(), report_.storeFiles.end(), storePath_) == report_.storeFiles.end()) {
        report_.storeFiles.push_back(storePath_);
        if (earlier) report_.storesAddedTo.push_back(storePath_);
    }
    storePath_ = store_->path();
}

void Run::StoreFailed(const std::exception& e, FailureKind kind) {
    if (dynamic_cast<const UnusableDestination*>(&e)) kind = FailureKind::DestinationUnusable;
    Failure failure{storePath_, StoreOpenFailure(storePath_, e), kind};
    report_.messagesPerFolder = labelCounts_.Counts();
    report_.endedBy = failure;
    report_.failures.push_back(std::move(failure));
    share_.End();
}

bool Run::InputStoreFailed(const std::exception& e, const std::string& input) {
    const std::string reason = StoreOpenFailure(storePath_, e);
    const bool diskFull = IsDiskFull(e);
    if (!diskFull && !DestinationTakesFiles(saveFolder_)) {
        StoreFailed(e, FailureKind::DestinationUnusable);
        return false;
    }
    TellNotConverted(observer_, input, reason);
    if (diskFull)
        Record({storePath_, DiskFullReason(mailstore::SystemErrorOf(e)), FailureKind::DiskFull});
    else
        Record({storePath_, StoreOpenFailure(storePath_, e, false), FailureKind::StoreError});
    ++report_.mailboxesFailed;
    return true;
}

int64_t Run::TakePartFailures() {
    int64_t lost = 0;
    if (!store_) return lost;
    for (mailstore::pst::PstStoreSeries::PartFailure& f : store_->TakeFailures()) {
        // A full disk is told once, by the write that found it.
        if (!IsDiskFull(f.system))
            Record({f.path, f.reason, FailureKind::StoreError});
        else if (!report_.diskFull())
            Record({f.path, DiskFullReason(f.system), FailureKind::DiskFull});
        if (f.messagesLost == 0) continue;
        if (!report_.diskFull())
            Record({f.path,
                    "the store could not be finished: the " + std::to_string(f.messagesLost) +
                        " messages put into it are lost",
                    FailureKind::StoreError});
        // A part holds messages and items alike; its loss is told of the messages first.
        const int64_t messages = std::min(f.messagesLost, report_.messagesConverted);
        report_.messagesConverted -= messages;
        report_.messagesFailed += messages;
        report_.itemsConverted -= f.messagesLost - messages;
        report_.itemsFailed += f.messagesLost - messages;
        lost += f.messagesLost;
    }
    return lost;
}

void Run::CloseStore() {
    store_->Close();
    for (mailstore::pst::WrittenStore& w : store_->TakeWritten()) written_.push_back(std::move(w));
    if (TakePartFailures() > 0) {
        report_.mailboxesConverted -= storeMailboxes_;
        report_.mailboxesFailed += storeMailboxes_;
        report_.itemFilesConverted -= storeItemFiles_;
        report_.itemFilesFailed += storeItemFiles_;
    }
    storeMailboxes_ = 0;
    storeItemFiles_ = 0;
    for (std::string& part : store_->parts()) report_.storeParts.push_back(std::move(part));
    store_.reset();
}

void Run::OutputFolderFailed(const std::string& folder, std::error_code ec) {
    if (IsDiskFull(ec))
        Record({folder, DiskFullReason(ec), FailureKind::DiskFull});
    else
        Record({folder, "cannot create the output folder" + (ec ? ": " + ec.message() : std::string()),
                FailureKind::OutputFolder});
}

bool Run::OutputReady(const std::string& inputPath, const std::string& folder, const std::function<void()>& addToStore) {
    if (pst_) {
        try {
            addToStore();
            return true;
        } catch (const std::exception& e) {
            Record({inputPath, std::string("cannot add the folder to the store: ") + e.what(), FailureKind::StoreError});
        }
    } else if (std::error_code why; EnsureFolderPath(folder, &why)) {
        return true;
    } else {
        OutputFolderFailed(folder, why);
    }
    TellNotConverted(observer_, inputPath, report_.failures.back().reason);
    return false;
}

void Run::SettleInput(size_t failuresBefore, bool itemFile) {
    TakePartFailures();
    if (storePerMailbox_ && store_) CloseStore();
    if (report_.failures.size() == failuresBefore && !report_.stopped) {
        ++(itemFile ? report_.itemFilesConverted : report_.mailboxesConverted);
        if (store_ && store_->open()) {
            if (store_->partNumber() != storeMailboxesPart_) storeMailboxes_ = storeItemFiles_ = 0;
            storeMailboxesPart_ = store_->partNumber();
            ++(itemFile ? storeItemFiles_ : storeMailboxes_);
        }
    } else {
        ++(itemFile ? report_.itemFilesFailed : report_.mailboxesFailed);
    }
}

bool Run::ConvertMailbox(const std::string& inputPath, InputFile* member, const ReadProgress& progress) {
    const std::string mailboxFolder = saveFolder_ + MirroredPart(inputPath);
    const std::string mailboxName = names_.For(inputPath, MailboxName(PathLastPart(inputPath)));
    const size_t failuresBefore = report_.failures.size();

    // Only a mailbox gets an output folder or a place in a store.
    Probed probed = member ? ProbeMailbox(*member, inputPath) : ProbeMailboxFile(inputPath);
    if (probed.failure) {
        RecordAndTell(inputPath, std::move(*probed.failure));
        ++report_.mailboxesFailed;
        return true;
    }
    ++report_.inputsFound;
    // The one store for all mailboxes is made for the first of them: a run
    // without a mailbox leaves no empty store behind.
    if (pst_ && options_.singleStore && !store_) {
        try {
            OpenStore(StoreScope::AllMailboxes, "");
        } catch (const std::exception& e) {
            StoreFailed(e, FailureKind::StoreError);
            return false;
        }
    }

    MailboxOutput target;
    target.kind = kind_;
    target.inputPath = inputPath;
    target.mailboxFolder = mailboxFolder;
    if (options_.byLabel) {
        target.diskFolders = &diskLabelFolders_;
        target.counts = &labelCounts_;
        target.labelMap = options_.labelMap ? &*options_.labelMap : nullptr;
        target.mailboxName = mailboxName;
    }
    if (pst_) {
        try {
            if (storePerMailbox_) OpenStore(StoreScope::OneMailbox, mailboxName);
        } catch (const std::exception& e) {
            return InputStoreFailed(e, inputPath);
        }
    }
    const bool ready = OutputReady(inputPath, mailboxFolder, [&] {
        store_->AddFolder(mailboxName);
        target.folder = mailboxName;
        target.store = store_.get();
    });
    if (ready) {
        std::unique_ptr<MessageOutput> output = MessageOutput::For(observer_, std::move(target));
        ExtractionResult x = member ? ExtractMailbox(*member, probed.lineEnds, *output, msgText_, progress)
                                    : ExtractMailbox(inputPath, probed.lineEnds, *output, msgText_, progress);
        output->Flush();
        report_.messagesConverted += output->written();
        report_.messagesAlreadyThere += output->alreadyThere();
        report_.messagesFailed += output->failedCount();
        for (auto& f : output->failures()) Record(std::move(f));
        for (auto& w : output->warnings()) report_.warnings.push_back(std::move(w));
        if (!x.error.empty()) RecordAndTell(inputPath, {inputPath, x.error, FailureKind::InputUnreadable});
        if (!output->diskFull() && x.stopped) report_.stopped = true;
    }
    SettleInput(failuresBefore, false);
    return true;
}

bool Run::ConvertItemFile(const std::string& inputPath, ItemFileKind itemKind, InputFile* member, bool several) {
    if (!pst_ && kind_ != OutputKind::Msg) {
        itemFilesPassedOver_.push_back(inputPath);
        TellNotConverted(observer_, inputPath, kItemFilesPassedOver);
        return true;
    }
    const std::string outputFolder = saveFolder_ + MirroredPart(inputPath);
    const size_t failuresBefore = report_.failures.size();
    ++report_.inputsFound;
    ItemFileTarget target;
    target.kind = kind_;
    target.inputPath = inputPath;
    target.outputFolder = outputFolder;
    const std::string stem = ItemFileStem(PathLastPart(inputPath));
    if (pst_) {
        try {
            if (storePerMailbox_)
                OpenStore(StoreScope::OneMailbox, stem);
            else if (!store_)
                OpenStore(StoreScope::AllMailboxes, "");
        } catch (const std::exception& e) {
            if (storePerMailbox_) return InputStoreFailed(e, inputPath);
            StoreFailed(e, FailureKind::StoreError);
            return false;
        }
    }
    const bool ready = OutputReady(inputPath, outputFolder, [&] {
        // The folders are made for the first item added to each.
        target.folder = ItemFolderName(itemKind, stem, several);
        if (itemKind == ItemFileKind::Calendar) target.taskFolder = TaskFolderName(stem, several);
        target.store = store_.get();
    });
    if (ready) {
        ItemFileResult r = conversion::ConvertItemFile(itemKind, target, observer_, member);
        report_.itemsConverted += r.converted;
        report_.itemsAlreadyThere += r.alreadyThere;
        report_.itemsFailed += r.failed;
        for (auto& f : r.failures) Record(std::move(f));
        for (auto& w : r.warnings) report_.warnings.push_back(std::move(w));
        if (r.stopped) report_.stopped = true;
    }
    SettleInput(failuresBefore, true);
    return true;
}

bool Run::ConvertMember(ArchiveReader& archive, const ArchiveMember& member, const std::string& archivePath, int index,
                        int& found) {
    const std::string memberPath = archivePath + kPathSeparator + member.name;
    auto memberFailed = [this](const std::string& path, const std::string& reason, FailureKind kind) {
        RecordAndTell(path, {path, reason, kind});
        ++report_.mailboxesFailed;
    };
    if (std::string why = UnsafeMemberName(member.name); !why.empty()) {
        memberFailed(archivePath, why, FailureKind::InputUnreadable);
        return true;
    }
    if (!member.regular) return true;
    if (member.encrypted) {
        memberFailed(memberPath, "the member is encrypted; it cannot be read without its password",
                     FailureKind::InputUnreadable);
        return true;
    }
    // Decompressed beside the extraction; a plain .tar is read as a file is.
    std::optional<ReadAhead> ahead;
    InputFile in;
    in.Open(archive.decompresses() ? ahead.emplace(archive.data()) : archive.data());
    // Looked at, not consumed: each kind reads the member from its first byte.
    const size_t got = in.Ensure(kMemberKindBytes);
    const MemberKind memberKind = MemberKindOf(member.name, in.data(), std::min(got, kMemberKindBytes));
    // Announced as each is read; those an .eml / .emlx run passes over are not read.
    if (memberKind == MemberKind::Mailbox || (memberKind != MemberKind::Other && (pst_ || kind_ == OutputKind::Msg)))
        observer_.MailboxStarted(index, int(inputs_.size()), PathLastPart(member.name));
    if (memberKind != MemberKind::Other) ++found;
    // The share read is that of the archive's own bytes.
    const ReadProgress archiveRead = [this, &archive](uint64_t) { share_.InFile(archive.bytesRead()); };
    switch (memberKind) {
        case MemberKind::Mailbox:
            return ConvertMailbox(memberPath, &in, archiveRead);
        case MemberKind::Contacts:
        case MemberKind::Calendar: {
            const ItemFileKind itemKind =
                memberKind == MemberKind::Contacts ? ItemFileKind::Contacts : ItemFileKind::Calendar;
            // The first file of a kind in the one store takes the kind's folder,
            // unless loose files of the kind are listed; every later one a folder named after it.
            const bool several = !storePerMailbox_ && (itemFiles_[itemKind] > 0 || itemMembersStored_[itemKind] > 0);
            if (pst_ && !storePerMailbox_) ++itemMembersStored_[itemKind];
            if (!ConvertItemFile(memberPath, itemKind, &in, several)) return false;
            share_.InFile(archive.bytesRead());
            return true;
        }
        case MemberKind::Other:
            if (in.failed()) memberFailed(memberPath, in.error(), FailureKind::InputUnreadable);
            return true;
    }
    return true;
}

bool Run::ConvertArchive(int index, const std::string& archivePath) {
    ArchiveReader archive;
    if (std::optional<Failure> failure = archive.Open(archivePath)) {
        RecordAndTell(archivePath, std::move(*failure));
        ++report_.mailboxesFailed;
        return true;
    }
    int found = 0;  // mailboxes, contacts and calendars
    bool damaged = false;
    const int failedBefore = report_.mailboxesFailed;
    for (;;) {
        if (observer_.StopRequested()) {
            report_.stopped = true;
            break;
        }
        ArchiveReader::Step step = archive.NextMember();
        if (step.next == ArchiveReader::Next::End) break;
        if (step.next != ArchiveReader::Next::Member) {
            const std::string file = step.failure->file;
            RecordAndTell(file, std::move(*step.failure));
            damaged = true;
            if (step.next == ArchiveReader::Next::Failed) break;
            continue;
        }
        if (!ConvertMember(archive, step.member, archivePath, index, found)) return false;
        if (Ending()) break;
    }
    // Damage that cost no member of its own still costs what it hid.
    if (damaged && report_.mailboxesFailed == failedBefore) ++report_.mailboxesFailed;
    if (found == 0 && !damaged && !report_.stopped) {
        RecordAndTell(archivePath, {archivePath, "no mailbox found in the archive", FailureKind::NotAMailbox});
        ++report_.mailboxesFailed;
    }
    return true;
}

void Run::NotReached(int index) {
    for (size_t i = size_t(index); i < inputs_.size(); ++i)
        if (!TrimBlanks(inputs_[i]).empty()) ++report_.inputsNotReached;
}

bool Run::ConvertInput(int index) {
    const int count = int(inputs_.size());
    const std::string inputPath = TrimBlanks(inputs_[size_t(index)]);
    observer_.MailboxStarted(index, count, inputPath.empty() ? std::string() : PathLastPart(inputPath));
    if (inputPath.empty()) return true;  // an empty list row: nothing to read
    InputTally tally(report_, inputPath, itemFilesPassedOver_);
    if (const ItemFileKind itemKind = ItemFileKindOf(inputPath); itemKind != ItemFileKind::None)
        return ConvertItemFile(inputPath, itemKind, nullptr, !storePerMailbox_ && itemFiles_[itemKind] > 1);
    return IsArchiveFile(inputPath) ? ConvertArchive(index, inputPath) : ConvertMailbox(inputPath, nullptr, inFile_);
}

RunReport Run::Go() {
    const int count = int(inputs_.size());
    for (int index = 0; index < count; ++index) {
        if (index > 0) share_.FileDone(sizes_[size_t(index) - 1]);
        if (observer_.StopRequested()) {
            report_.stopped = true;
            NotReached(index);
            break;
        }
        if (!ConvertInput(index)) {
            // A store could not be opened: the run ends there, with what it wrote read back.
            NotReached(index + 1);
            report_.readBack = ReadBackWritten(std::move(written_));
            return std::move(report_);
        }
        // The store is finished while the last input is tallied: what a part that
        // cannot be finished loses is counted against it.
        const bool ending = Ending();
        if (store_ && (ending || index + 1 == count)) CloseStore();
        if (ending) {
            NotReached(index + 1);
            break;
        }
    }
    if (!Ending() && count > 0) share_.FileDone(sizes_.back());
    return Close();
}

RunReport Run::Close() {
    if (store_) CloseStore();
    if (!itemFilesPassedOver_.empty()) {
        std::string files = itemFilesPassedOver_.front();
        if (itemFilesPassedOver_.size() > 1)
            files += " and " + std::to_string(itemFilesPassedOver_.size() - 1) + " more";
        report_.notes.push_back({files, kItemFilesPassedOver});
    }
    report_.messagesPerFolder = labelCounts_.Counts();
    // A store that could not be finished is not there: it is no output to name.
    std::erase_if(report_.storeFiles, [](const std::string& path) {
        std::error_code ec;
        return !std::filesystem::exists(std::filesystem::u8path(path), ec);
    });
    share_.End();
    report_.readBack = ReadBackWritten(std::move(written_));
    return std::move(report_);
}

}  // namespace

RunReport RunConversion(const RunOptions& options, RunObserver& observer) {
    // The run's files are made in their folders' work folders, which go when it ends.
    const mailstore::base::CompleteFileBatch files;
    return Run(options, observer).Go();
}

}  // namespace bv::conversion
