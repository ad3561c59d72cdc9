#include "conversion/ConversionRun.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

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
#include "conversion/StoreName.h"
#include "mailstore/base/PlatformFile.h"
#include "mailstore/pst/PstStoreSeries.h"
#include "mailstore/pst/StoreErrors.h"

namespace bv::conversion {

namespace {

const std::string kStarLine(75, '*');
constexpr const char* kCrLf = "\r\n";
constexpr size_t kFailuresListed = 20;
constexpr const char* kNothingToConvert = "Nothing to convert: there is no mailbox among the listed files.";

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

// The input path as a relative path under the destination: its root dropped, "."
// dropped and ".." resolved within it, so no output can land outside the destination.
std::string MirroredPart(const std::string& inputPath) {
    std::string rest = inputPath.substr(PathRootLength(inputPath));
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= rest.size()) {
        size_t j = i;
        while (j < rest.size() && !IsPathSeparator(rest[j])) ++j;
        std::string part = rest.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            // A drive letter inside the path ("C:") would make the result a root of its own.
            for (char& c : part)
                if (c == ':') c = '_';
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out += kPathSeparator;
        out += p;
    }
    return out;
}

void RemoveAll(std::string& s, const std::string& what) {
    for (size_t pos; (pos = s.find(what)) != std::string::npos;) s.erase(pos, what.size());
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

void AppendList(std::string& text, const char* heading, const std::vector<Failure>& list) {
    if (list.empty()) return;
    text += kCrLf;
    text += heading;
    text += kCrLf;
    for (size_t i = 0; i < list.size() && i < kFailuresListed; ++i)
        text += list[i].file + ": " + list[i].reason + kCrLf;
    if (list.size() > kFailuresListed)
        text += "... and " + std::to_string(list.size() - kFailuresListed) + " more." + kCrLf;
}

// The messages (and items) the destination held already; "" when there were none.
std::string AlreadyThereText(const RunReport& r) {
    const int64_t there = r.messagesAlreadyThere + r.itemsAlreadyThere;
    if (there == 0) return "";
    const std::string n = std::to_string(there);
    if (r.messagesConverted + r.messagesFailed + r.itemsConverted + r.itemsFailed == 0)
        return "Every message (" + n + ") was already there: nothing needed to be added." + kCrLf;
    std::string text = "Already there, so not added again: " + std::to_string(r.messagesAlreadyThere) + " messages";
    if (r.itemsAlreadyThere > 0) text += ", " + std::to_string(r.itemsAlreadyThere) + " contacts, events and tasks";
    return text + "." + kCrLf;
}

// The store files written in parts, one a line; "" when no store was split.
std::string PartsText(const RunReport& r) {
    if (r.storeParts.empty()) return "";
    std::string text = kCrLf;
    text += "Stores larger than the size limit were written in parts:";
    text += kCrLf;
    for (const std::string& part : r.storeParts) text += part + kCrLf;
    return text;
}

// The mailbox's name: its file name without ".mbox" / ".MBOX" and outer spaces.
std::string MailboxName(const std::string& inputFileName) {
    std::string name = Trim(inputFileName);
    RemoveAll(name, ".mbox");
    name = Trim(name);
    RemoveAll(name, ".MBOX");
    return name.empty() ? "mailbox" : name;
}

std::string AsciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// The name of the folder `inputPath` lies in: "anna" for ".../anna/Inbox.mbox".
std::string ParentName(const std::string& inputPath) {
    size_t end = inputPath.size();
    while (end > 0 && !IsPathSeparator(inputPath[end - 1])) --end;  // the file's name
    while (end > 0 && IsPathSeparator(inputPath[end - 1])) --end;
    size_t begin = end;
    while (begin > 0 && !IsPathSeparator(inputPath[begin - 1])) --begin;
    std::string name = inputPath.substr(begin, end - begin);
    return name.empty() || name.back() == ':' ? std::string() : name;
}

// The names of the stores and store folders of a run's mailboxes, one per input: inputs
// whose file names give the same name ("anna/Inbox.mbox", "bob/Inbox.mbox") are told
// apart by the folder each lies in: "Inbox (anna)", "Inbox (bob)". Names that listed
// files share take their folder from the start, so a run over the same list names
// them alike. Names differing in case only are the same (as they are to a store and
// to Windows).
class DistinctNames {
public:
    explicit DistinctNames(const std::vector<std::string>& inputs, std::string (*nameOf)(const std::string&)) {
        std::map<std::string, std::string> first;
        for (const std::string& input : inputs) {
            const std::string key = AsciiLower(nameOf(input));
            if (key.empty()) continue;
            auto [at, isNew] = first.emplace(key, input);
            if (!isNew && at->second != input) shared_.insert(key);
        }
    }
    std::string For(const std::string& inputPath, const std::string& name) {
        if (auto known = given_.find(inputPath); known != given_.end()) return known->second;
        std::string chosen = name;
        if (shared_.count(AsciiLower(name)) || taken_.count(AsciiLower(name))) {
            const std::string parent = ParentName(inputPath);
            const std::string base = parent.empty() ? name : name + " (" + parent + ")";
            chosen = base;
            for (int n = 2; taken_.count(AsciiLower(chosen)); ++n) chosen = base + " " + std::to_string(n);
        }
        taken_.insert(AsciiLower(chosen));
        given_.emplace(inputPath, chosen);
        return chosen;
    }

private:
    std::set<std::string> shared_;  // names of several listed inputs
    std::set<std::string> taken_;
    std::map<std::string, std::string> given_;
};

// The name a listed mailbox gives its store or store folder; "" for an archive (its
// members are named as they are met) and for contacts and calendar files (their
// folders are named by ItemFolderName, and a copy's items are found there already).
std::string ListedName(const std::string& input) {
    const std::string path = Trim(input);
    if (path.empty() || IsArchiveFile(path) || ItemFileKindOf(path) != ItemFileKind::None) return "";
    return MailboxName(PathLastPart(path));
}

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

// The report of a run, with the stores it wrote read back.
RunReport& WithReadBack(RunReport& report, std::vector<mailstore::pst::WrittenStore>& written) {
    report.readBack = ReadBackWritten(std::move(written));
    return report;
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

}  // namespace

namespace {

// "3 mailboxes, 1234 messages", and the contacts and calendar files and their items
// when there were any.
std::string CountsText(const RunReport& r, bool withTotals) {
    std::string text = std::to_string(r.mailboxesConverted);
    if (withTotals) text += " of " + std::to_string(r.mailboxesConverted + r.mailboxesFailed);
    text += " mailboxes, " + std::to_string(r.messagesConverted) + " messages";
    const int itemFiles = r.itemFilesConverted + r.itemFilesFailed;
    if (itemFiles > 0) {
        text += "; " + std::to_string(r.itemFilesConverted);
        if (withTotals) text += " of " + std::to_string(itemFiles);
        text += " contacts and calendar files, " + std::to_string(r.itemsConverted) + " contacts, events and tasks";
    }
    return text + ".";
}

// Where the output went: the store files (those of an earlier run added to) and the
// destination, one a line.
std::string WhereText(const RunReport& r) {
    std::string text;
    if (r.storeFiles.size() == 1) {
        const bool earlier = !r.storesAddedTo.empty();
        text += (earlier ? "Messages were added to the store of an earlier run: " : "Store: ") + r.storeFiles.front() + kCrLf;
    } else if (r.storeFiles.size() > 1) {
        text += "Stores: " + std::to_string(r.storeFiles.size()) + " .pst files, one per mailbox";
        if (!r.storesAddedTo.empty())
            text += "; messages were added to " + std::to_string(r.storesAddedTo.size()) + " of them, made by an earlier run";
        text += "." + std::string(kCrLf);
    }
    return text + "Destination: " + r.destination + kCrLf;
}

// Why the run ended before the end of the list, and what it left unread.
std::string EndedEarlyText(const RunReport& r) {
    if (!r.diskFull && !r.stopped) return "";
    std::string text = r.diskFull ? "The disk is full: the run ended there" : "The run was stopped";
    text += "; the rest of the file in hand was not read";
    if (r.inputsNotReached > 0) text += ", nor " + std::to_string(r.inputsNotReached) + " more listed files";
    return text + "." + kCrLf;
}

// The completion text without the messages per folder.
std::string SummaryText(const RunReport& r, bool pstOutput) {
    if (r.nothingToConvert()) {
        std::string text = kNothingToConvert;
        text += kCrLf;
        AppendList(text, "What failed:", r.failures);
        AppendList(text, "Passed over:", r.notes);
        return text;
    }
    std::string text;
    if (r.failures.empty() && r.warnings.empty()) {
        if (pstOutput)
            text = kStarLine + kCrLf +
                   "Your messages from Brimvault files has been successfully exported to Outlook (.pst) file." +
                   kCrLf + kStarLine + kCrLf +
                   "Start Outlook and open converted pst file by clicking File -> Open -> Outlook Data File. "
                   "And it all done !" + kCrLf;
        else
            text = kStarLine + kCrLf + "Your messages from Brimvault files has been successfully exported." + kCrLf +
                   kStarLine + kCrLf;
        text += "Converted: " + CountsText(r, false) + kCrLf;
    } else {
        text = "The conversion finished with problems.";
        text += kCrLf;
        text += "Converted: " + CountsText(r, true) + kCrLf;
        if (r.messagesFailed > 0) text += "Messages not converted: " + std::to_string(r.messagesFailed) + "." + kCrLf;
        if (r.itemsFailed > 0)
            text += "Contacts, events and tasks not converted: " + std::to_string(r.itemsFailed) + "." + kCrLf;
        text += EndedEarlyText(r);
    }
    text += AlreadyThereText(r);
    text += WhereText(r);
    AppendList(text, "What failed:", r.failures);
    AppendList(text, "Converted with warnings:", r.warnings);
    AppendList(text, "Passed over:", r.notes);
    return text + PartsText(r);
}

}  // namespace

std::string FolderCountsText(const RunReport& r, const char* lineEnd) {
    std::string table = FolderCountsTable(r.messagesPerFolder);
    if (table.empty()) return table;
    std::string text = std::string("Messages per folder:") + lineEnd;
    for (size_t i = 0, j; i < table.size(); i = j + 1) {
        j = table.find('\n', i);
        text.append(table, i, j - i);
        text += lineEnd;
    }
    return text;
}

std::string CompletionText(const RunReport& r, bool pstOutput, bool withFolderCounts) {
    std::string text = SummaryText(r, pstOutput);
    for (const std::string& more : {withFolderCounts ? FolderCountsText(r) : std::string(), ReadBackText(r.readBack)}) {
        if (more.empty()) continue;
        if (text.size() < 2 || text.compare(text.size() - 2, 2, kCrLf) != 0) text += kCrLf;
        text += kCrLf + more;
    }
    return text;
}

std::string StoreErrorText(const std::string& reason) {
    std::string text = reason;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = char(text[0] - 'a' + 'A');
    if (!text.empty() && text.back() != '.') text += '.';
    return text + kCrLf + "The conversion stopped there; the mailboxes converted before it keep their output.";
}

RunReport RunConversion(const RunOptions& options, RunObserver& observer) {
    RunReport report;
    const std::string saveFolder = WithTrailingSeparator(options.destination);
    report.destination = saveFolder;
    const OutputKind kind = options.kind;
    const bool pst = kind == OutputKind::Pst;
    const bool storePerMailbox = pst && !options.singleStore;

    // A file listed twice, under any spelling of its path, is read once.
    const std::vector<std::string> inputs = DistinctInputs(options.inputs);
    DistinctNames names(inputs, ListedName);
    std::vector<uint64_t> sizes;
    uint64_t totalBytes = 0;
    for (const std::string& input : inputs) totalBytes += sizes.emplace_back(InputSize(input));
    ReadShare share(observer, totalBytes);
    const ReadProgress inFile = [&share](uint64_t bytes) { share.InFile(bytes); };

    // The open store: its parts are its own business.
    std::unique_ptr<mailstore::pst::PstStoreSeries> store;
    std::string storePath;  // of the store opened last, for reports
    auto openStore = [&](StoreScope scope, const std::string& mailboxName) {
        StoreName name = StoreNameFor(scope, saveFolder, mailboxName);
        storePath = mailstore::pst::PstStoreSeries::FittingStem(name.stem) + ".pst";
        // The destination is made when something is to go into it.
        std::error_code ec;
        const std::filesystem::path destination = std::filesystem::u8path(saveFolder).parent_path();
        if (std::filesystem::exists(destination, ec) && !std::filesystem::is_directory(destination, ec))
            ec = std::make_error_code(std::errc::not_a_directory);  // a file in its place
        else
            std::filesystem::create_directories(destination, ec);
        if (ec) throw std::filesystem::filesystem_error("cannot create the destination folder", std::filesystem::u8path(saveFolder), ec);
        const bool earlier = std::filesystem::exists(std::filesystem::u8path(storePath), ec);
        store = std::make_unique<mailstore::pst::PstStoreSeries>(name.stem, name.displayName, options.maxPstSize);
        if (std::find(report.storeFiles.begin(), report.storeFiles.end(), storePath) == report.storeFiles.end()) {
            report.storeFiles.push_back(storePath);
            if (earlier) report.storesAddedTo.push_back(storePath);
        }
        storePath = store->path();
    };
    DiskLabelFolders diskLabelFolders;
    LabelFolderCounts labelCounts;
    auto storeFailed = [&](const std::exception& e) {
        const std::string reason = StoreOpenFailure(storePath, e);
        report.messagesPerFolder = labelCounts.Counts();
        report.storeError = true;
        report.storeErrorReason = reason;
        report.failures.push_back({storePath, reason});
        share.End();
        return report;
    };
    // The store of one input that cannot be opened costs that input, unless the cause is
    // the run's: a full disk ends the run, and a destination that takes no file at all
    // is told as the one store of every mailbox would be. False when the run ends there.
    auto inputStoreFailed = [&](const std::exception& e, const std::string& input) {
        const std::string reason = StoreOpenFailure(storePath, e);
        if (!IsDiskFull(e) && !DestinationTakesFiles(saveFolder)) {
            storeFailed(e);
            return false;
        }
        report.diskFull = IsDiskFull(e);
        report.failures.push_back({storePath, report.diskFull ? DiskFullReason(mailstore::SystemErrorOf(e))
                                                              : StoreOpenFailure(storePath, e, false)});
        ++report.mailboxesFailed;
        TellNotConverted(observer, input, reason);
        return true;
    };
    // Parts that could not be finished are not there: the messages put into them
    // were not converted.
    auto takePartFailures = [&] {
        int64_t lost = 0;
        if (!store) return lost;
        for (mailstore::pst::PstStoreSeries::PartFailure& f : store->TakeFailures()) {
            // A full disk is told once, by the write that found it.
            if (!IsDiskFull(f.system))
                report.failures.push_back({f.path, f.reason});
            else if (!report.diskFull)
                report.failures.push_back({f.path, DiskFullReason(f.system)});
            report.diskFull = report.diskFull || IsDiskFull(f.system);
            if (f.messagesLost == 0) continue;
            if (!report.diskFull)
                report.failures.push_back({f.path, "the store could not be finished: the " +
                                                       std::to_string(f.messagesLost) + " messages put into it are lost"});
            // A part holds messages and items alike; its loss is told of the messages first.
            const int64_t messages = std::min(f.messagesLost, report.messagesConverted);
            report.messagesConverted -= messages;
            report.messagesFailed += messages;
            report.itemsConverted -= f.messagesLost - messages;
            report.itemsFailed += f.messagesLost - messages;
            lost += f.messagesLost;
        }
        return lost;
    };
    // Mailboxes counted as converted with messages in the open part: when it cannot
    // be finished they were not converted.
    int storeMailboxes = 0;
    int storeItemFiles = 0;
    int storeMailboxesPart = 0;  // the part they went into
    std::vector<mailstore::pst::WrittenStore> written;  // what went into each store, for the read back
    auto closeStore = [&] {
        store->Close();
        for (mailstore::pst::WrittenStore& w : store->TakeWritten()) written.push_back(std::move(w));
        if (takePartFailures() > 0) {
            report.mailboxesConverted -= storeMailboxes;
            report.mailboxesFailed += storeMailboxes;
            report.itemFilesConverted -= storeItemFiles;
            report.itemFilesFailed += storeItemFiles;
        }
        storeMailboxes = 0;
        storeItemFiles = 0;
        for (std::string& part : store->parts()) report.storeParts.push_back(std::move(part));
        store.reset();
    };

    // An output folder that cannot be made: a full disk ends the run, other causes
    // cost the file it was for.
    auto outputFolderFailed = [&](const std::string& folder) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::u8path(folder), ec);
        report.diskFull = IsDiskFull(ec);
        report.failures.push_back({folder, report.diskFull ? DiskFullReason(ec)
                                                           : "cannot create the output folder" +
                                                                 (ec ? ": " + ec.message() : std::string())});
    };
    AppendStrings msgText;
    // One mailbox: a file (`member` null) or a member of an archive, read from
    // `member` (opened, nothing of it consumed yet). `inputPath` names it: the file, or
    // the archive's path followed by the member's path inside it; its output folder
    // mirrors that path below the destination. False when a store could not be opened.
    // After each input (mailbox, contact or calendar file): its store parts settled, a
    // store of its own closed, and the input counted as converted or failed.
    auto finishInput = [&](size_t failuresBefore, bool itemFile) {
        takePartFailures();
        if (storePerMailbox && store) closeStore();
        if (report.failures.size() == failuresBefore && !report.stopped) {
            ++(itemFile ? report.itemFilesConverted : report.mailboxesConverted);
            if (store && store->open()) {
                if (store->partNumber() != storeMailboxesPart) storeMailboxes = storeItemFiles = 0;
                storeMailboxesPart = store->partNumber();
                ++(itemFile ? storeItemFiles : storeMailboxes);
            }
        } else {
            ++(itemFile ? report.itemFilesFailed : report.mailboxesFailed);
        }
    };
    auto convertMailbox = [&](const std::string& inputPath, InputFile* member, const ReadProgress& progress) {
        const std::string mailboxFolder = saveFolder + MirroredPart(inputPath);
        const std::string mailboxName = names.For(inputPath, MailboxName(PathLastPart(inputPath)));
        const size_t failuresBefore = report.failures.size();

        // Only a mailbox gets an output folder or a place in a store.
        Probed probed = member ? ProbeMailbox(*member, inputPath) : ReadMBOXFile(inputPath);
        const MboxMode mode = probed.mode;
        if (probed.failure) {
            TellNotConverted(observer, inputPath, probed.failure->reason);
            report.failures.push_back(std::move(*probed.failure));
            ++report.mailboxesFailed;
            return true;
        }
        ++report.inputsFound;
        // The one store for all mailboxes is made for the first of them: a run
        // without a mailbox leaves no empty store behind.
        if (pst && options.singleStore && !store) {
            try {
                openStore(StoreScope::AllMailboxes, "");
            } catch (const std::exception& e) {
                storeFailed(e);
                return false;
            }
        }

        MailboxOutput target;
        target.kind = kind;
        target.inputPath = inputPath;
        target.mailboxFolder = mailboxFolder;
        if (options.byLabel) {
            target.diskFolders = &diskLabelFolders;
            target.counts = &labelCounts;
            target.labelMap = options.labelMap ? &*options.labelMap : nullptr;
            target.mailboxName = mailboxName;
        }
        bool ready = true;
        if (pst) {
            try {
                if (storePerMailbox) openStore(StoreScope::OneMailbox, mailboxName);
            } catch (const std::exception& e) {
                return inputStoreFailed(e, inputPath);
            }
            try {
                store->AddFolder(mailboxName);
                target.folder = mailboxName;
                target.store = store.get();
            } catch (const std::exception& e) {
                report.failures.push_back({inputPath, std::string("cannot add the folder to the store: ") + e.what()});
                ready = false;
            }
        } else if (!EnsureFolderPath(mailboxFolder)) {
            outputFolderFailed(mailboxFolder);
            ready = false;
        }
        if (!ready) TellNotConverted(observer, inputPath, report.failures.back().reason);
        if (ready) {
            std::unique_ptr<MessageOutput> output = MessageOutput::For(observer, std::move(target));
            ExtractionResult x = member ? ExtractMailbox(*member, mode, *output, msgText, progress)
                                        : ExtractMailbox(inputPath, mode, *output, msgText, progress);
            output->Flush();
            report.messagesConverted += output->written();
            report.messagesAlreadyThere += output->alreadyThere();
            report.messagesFailed += output->failedCount();
            for (auto& f : output->failures()) report.failures.push_back(std::move(f));
            for (auto& w : output->warnings()) report.warnings.push_back(std::move(w));
            if (!x.error.empty()) {
                report.failures.push_back({inputPath, x.error});
                TellNotConverted(observer, inputPath, x.error);
            }
            if (output->diskFull()) report.diskFull = true;
            else if (x.stopped) report.stopped = true;
        }
        finishInput(failuresBefore, false);
        return true;
    };

    // Contacts and calendars: how many files of each kind a single store receives (more
    // than one: each gets a folder named after it), and those an .eml / .emlx run passes over.
    std::map<ItemFileKind, int> itemFiles;
    for (const std::string& input : inputs) ++itemFiles[ItemFileKindOf(Trim(input))];
    std::map<ItemFileKind, int> itemMembersStored;  // members of archives put into the one store so far
    std::vector<std::string> itemFilesPassedOver;
    // One contacts or calendar file: a file (`member` null) or a member of an archive,
    // read from `member`, named as convertMailbox's. `several`: its store folder is
    // named after it. False when a store could not be opened.
    auto convertItemFile = [&](const std::string& inputPath, ItemFileKind itemKind, InputFile* member, bool several) {
        if (!pst && kind != OutputKind::Msg) {
            itemFilesPassedOver.push_back(inputPath);
            TellNotConverted(observer, inputPath, kItemFilesPassedOver);
            return true;
        }
        const std::string mailboxFolder = saveFolder + MirroredPart(inputPath);
        const size_t failuresBefore = report.failures.size();
        ++report.inputsFound;
        ItemFileTarget target;
        target.kind = kind;
        target.inputPath = inputPath;
        target.outputFolder = mailboxFolder;
        bool ready = true;
        if (pst) {
            const std::string stem = ItemFileStem(PathLastPart(inputPath));
            try {
                if (storePerMailbox)
                    openStore(StoreScope::OneMailbox, stem);
                else if (!store)
                    openStore(StoreScope::AllMailboxes, "");
            } catch (const std::exception& e) {
                if (storePerMailbox) return inputStoreFailed(e, inputPath);
                storeFailed(e);
                return false;
            }
            try {
                // The folders are made for the first item added to each.
                target.folder = ItemFolderName(itemKind, stem, several);
                if (itemKind == ItemFileKind::Calendar) target.taskFolder = TaskFolderName(stem, several);
                target.store = store.get();
            } catch (const std::exception& e) {
                report.failures.push_back({inputPath, std::string("cannot add the folder to the store: ") + e.what()});
                ready = false;
            }
        } else if (!EnsureFolderPath(mailboxFolder)) {
            outputFolderFailed(mailboxFolder);
            ready = false;
        }
        if (!ready) TellNotConverted(observer, inputPath, report.failures.back().reason);
        if (ready) {
            ItemFileResult r = ConvertItemFile(itemKind, target, observer, member);
            if (r.diskFull) report.diskFull = true;
            report.itemsConverted += r.converted;
            report.itemsAlreadyThere += r.alreadyThere;
            report.itemsFailed += r.failed;
            for (auto& f : r.failures) report.failures.push_back(std::move(f));
            for (auto& w : r.warnings) report.warnings.push_back(std::move(w));
            if (r.stopped) report.stopped = true;
        }
        finishInput(failuresBefore, true);
        return true;
    };

    // Every mailbox, contacts and calendar file of an archive, in the archive's order,
    // read once from start to end. A member that fails costs that member; any other
    // member is passed over.
    auto convertArchive = [&](int index, int count, const std::string& archivePath) {
        ArchiveReader archive;
        if (std::optional<Failure> failure = archive.Open(archivePath)) {
            TellNotConverted(observer, archivePath, failure->reason);
            report.failures.push_back(std::move(*failure));
            ++report.mailboxesFailed;
            return true;
        }
        // The share read is that of the archive's own bytes.
        const ReadProgress archiveRead = [&share, &archive](uint64_t) { share.InFile(archive.bytesRead()); };
        int found = 0;  // mailboxes, contacts and calendars
        bool damaged = false;
        const int failedBefore = report.mailboxesFailed;
        auto memberFailed = [&](const std::string& memberPath, const std::string& reason) {
            TellNotConverted(observer, memberPath, reason);
            report.failures.push_back({memberPath, reason});
            ++report.mailboxesFailed;
        };
        for (;;) {
            if (observer.StopRequested()) {
                report.stopped = true;
                break;
            }
            ArchiveReader::Step step = archive.NextMember();
            if (step.next == ArchiveReader::Next::End) break;
            if (step.next != ArchiveReader::Next::Member) {
                TellNotConverted(observer, step.failure->file, step.failure->reason);
                report.failures.push_back(std::move(*step.failure));
                damaged = true;
                if (step.next == ArchiveReader::Next::Failed) break;
                continue;
            }
            const ArchiveMember& member = step.member;
            const std::string memberPath = archivePath + kPathSeparator + member.name;
            if (std::string why = UnsafeMemberName(member.name); !why.empty()) {
                memberFailed(archivePath, why);
                continue;
            }
            if (!member.regular) continue;
            if (member.encrypted) {
                memberFailed(memberPath, "the member is encrypted; it cannot be read without its password");
                continue;
            }
            // Decompressed beside the extraction; a plain .tar is read as a file is.
            std::optional<ReadAhead> ahead;
            InputFile in;
            in.Open(archive.decompresses() ? ahead.emplace(archive.data()) : archive.data());
            // Looked at, not consumed: each kind reads the member from its first byte.
            const size_t got = in.Ensure(kMemberKindBytes);
            const MemberKind memberKind = MemberKindOf(member.name, in.data(), std::min(got, kMemberKindBytes));
            // Announced as each is read; those an .eml / .emlx run passes over are not read.
            if (memberKind == MemberKind::Mailbox || (memberKind != MemberKind::Other && (pst || kind == OutputKind::Msg)))
                observer.MailboxStarted(index, count, PathLastPart(member.name));
            if (memberKind != MemberKind::Other) ++found;
            switch (memberKind) {
                case MemberKind::Mailbox:
                    if (!convertMailbox(memberPath, &in, archiveRead)) return false;
                    break;
                case MemberKind::Contacts:
                case MemberKind::Calendar: {
                    const ItemFileKind itemKind =
                        memberKind == MemberKind::Contacts ? ItemFileKind::Contacts : ItemFileKind::Calendar;
                    // The first file of a kind in the one store takes the kind's folder,
                    // unless loose files of the kind are listed; every later one a folder named after it.
                    const bool several =
                        !storePerMailbox && (itemFiles[itemKind] > 0 || itemMembersStored[itemKind] > 0);
                    if (pst && !storePerMailbox) ++itemMembersStored[itemKind];
                    if (!convertItemFile(memberPath, itemKind, &in, several)) return false;
                    share.InFile(archive.bytesRead());
                    break;
                }
                case MemberKind::Other:
                    if (in.failed()) memberFailed(memberPath, in.error());
                    break;
            }
            if (report.stopped || report.diskFull) break;
        }
        // Damage that cost no member of its own still costs what it hid.
        if (damaged && report.mailboxesFailed == failedBefore) ++report.mailboxesFailed;
        if (found == 0 && !damaged && !report.stopped)
            memberFailed(archivePath, "no mailbox found in the archive");
        return true;
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
    const int count = int(inputs.size());
    // The listed inputs from `index` on that the run ends before.
    auto notReached = [&](int index) {
        for (int i = index; i < count; ++i)
            if (!Trim(inputs[size_t(i)]).empty()) ++report.inputsNotReached;
    };
    for (int index = 0; index < count; ++index) {
        if (index > 0) share.FileDone(sizes[size_t(index) - 1]);
        if (observer.StopRequested()) {
            report.stopped = true;
            notReached(index);
            break;
        }
        const std::string inputPath = Trim(inputs[size_t(index)]);
        const std::string inputFileName = PathLastPart(inputPath);
        observer.MailboxStarted(index, count, inputPath.empty() ? std::string() : inputFileName);
        if (inputPath.empty()) continue;  // an empty list row: nothing to read
        InputTally tally(report, inputPath, itemFilesPassedOver);

        bool going;
        if (const ItemFileKind itemKind = ItemFileKindOf(inputPath); itemKind != ItemFileKind::None)
            going = convertItemFile(inputPath, itemKind, nullptr, !storePerMailbox && itemFiles[itemKind] > 1);
        else
            going = IsArchiveFile(inputPath) ? convertArchive(index, count, inputPath)
                                             : convertMailbox(inputPath, nullptr, inFile);
        if (!going) {
            notReached(index + 1);
            return WithReadBack(report, written);  // a store could not be opened
        }
        // The store is finished while the last input is tallied: what a part that
        // cannot be finished loses is counted against it.
        const bool ending = report.stopped || report.diskFull;
        if (store && (ending || index + 1 == count)) closeStore();
        if (ending) {
            notReached(index + 1);
            break;
        }
    }

    if (!report.stopped && !report.diskFull && count > 0) share.FileDone(sizes.back());
    if (store) closeStore();
    if (!itemFilesPassedOver.empty()) {
        std::string files = itemFilesPassedOver.front();
        if (itemFilesPassedOver.size() > 1)
            files += " and " + std::to_string(itemFilesPassedOver.size() - 1) + " more";
        report.notes.push_back({files, kItemFilesPassedOver});
    }
    report.messagesPerFolder = labelCounts.Counts();
    // A store that could not be finished is not there: it is no output to name.
    std::erase_if(report.storeFiles, [](const std::string& path) {
        std::error_code ec;
        return !std::filesystem::exists(std::filesystem::u8path(path), ec);
    });
    share.End();
    return WithReadBack(report, written);
}

}  // namespace bv::conversion
