#include "conversion/ConversionRun.h"

#include <chrono>
#include <memory>

#include "conversion/AppendStrings.h"
#include "conversion/LabelFolders.h"
#include "conversion/MailboxProbe.h"
#include "conversion/MessageExtraction.h"
#include "conversion/MessageOutput.h"
#include "conversion/PathHelpers.h"
#include "conversion/StoreSetup.h"

namespace bv::conversion {

namespace {

const std::string kStarLine(75, '*');
constexpr const char* kCrLf = "\r\n";
constexpr size_t kFailuresListed = 20;

// Lets the window handle its events at most about every 15 ms.
class YieldThrottle {
public:
    explicit YieldThrottle(RunObserver& observer) : observer_(observer) {}
    void operator()() {
        auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(15)) return;
        last_ = now;
        observer_.Yield();
    }

private:
    RunObserver& observer_;
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

// The messages the destination held already; "" when there were none.
std::string AlreadyThereText(const RunReport& r) {
    if (r.messagesAlreadyThere == 0) return "";
    const std::string n = std::to_string(r.messagesAlreadyThere);
    if (r.messagesConverted == 0 && r.messagesFailed == 0)
        return "Every message (" + n + ") was already there: nothing needed to be added." + kCrLf;
    return "Already there, so not added again: " + n + " messages." + kCrLf;
}

// The store files written in parts, one a line; "" when no store was split.
std::string PartsText(const RunReport& r) {
    if (r.storeParts.empty()) return "";
    std::string text = kCrLf;
    text += kCrLf;
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

}  // namespace

namespace {

// The completion text without the messages per folder.
std::string SummaryText(const RunReport& r, bool pstOutput) {
    if (r.failures.empty() && r.warnings.empty()) {
        if (pstOutput)
            return kStarLine + kCrLf +
                   "Your messages from Brimvault files has been successfully exported to Outlook (.pst) file." +
                   kCrLf + kStarLine + kCrLf +
                   "Start Outlook and open converted pst file by clicking File -> Open -> Outlook Data File. "
                   "And it all done !" +
                   (r.messagesAlreadyThere ? kCrLf + AlreadyThereText(r) : std::string()) + PartsText(r);
        return kStarLine + kCrLf + "Your messages from Brimvault files has been successfully exported." + kCrLf +
               kStarLine + kCrLf + AlreadyThereText(r);
    }
    std::string text = "The conversion finished with problems.";
    text += kCrLf;
    text += "Converted: " + std::to_string(r.mailboxesConverted) + " of " +
            std::to_string(r.mailboxesConverted + r.mailboxesFailed) + " mailboxes, " +
            std::to_string(r.messagesConverted) + " messages.";
    text += kCrLf;
    if (r.messagesFailed > 0) text += "Messages not converted: " + std::to_string(r.messagesFailed) + "." + kCrLf;
    text += AlreadyThereText(r);
    AppendList(text, "What failed:", r.failures);
    AppendList(text, "Converted with warnings:", r.warnings);
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
    const std::string counts = withFolderCounts ? FolderCountsText(r) : std::string();
    if (counts.empty()) return text;
    if (text.size() < 2 || text.compare(text.size() - 2, 2, kCrLf) != 0) text += kCrLf;
    return text + kCrLf + counts;
}

std::string StoreErrorText(const std::string& reason) {
    return std::string("Outlook Session Creation Error !") + kCrLf + "Check if Outlook is installed and configured." +
           kCrLf + "For more details visit this link : https://support.microsoft.com/office/outlook-help-training" +
           kCrLf + "(" + reason + ")";
}

RunReport RunConversion(const RunOptions& options, RunObserver& observer) {
    RunReport report;
    YieldThrottle yield(observer);
    auto yieldFn = [&yield] { yield(); };
    const std::string saveFolder = WithTrailingSeparator(options.destination);
    report.destination = saveFolder;
    const OutputKind kind = options.kind;
    const bool pst = kind == OutputKind::Pst;
    const bool storePerMailbox = pst && !options.singleStore;
    yield();

    RunStore store(pst ? options.maxPstSize : 0);
    DiskLabelFolders diskLabelFolders;
    LabelFolderCounts labelCounts;
    auto storeFailed = [&](const std::string& reason) {
        report.messagesPerFolder = labelCounts.Counts();
        report.storeError = true;
        report.storeErrorReason = reason;
        report.failures.push_back({store.path(), reason});
        return report;
    };
    // Parts that could not be finished are not there: the messages put into them
    // were not converted.
    auto takePartFailures = [&] {
        int64_t lost = 0;
        for (RunStore::PartFailure& f : store.TakeFailures()) {
            report.failures.push_back({f.path, f.reason});
            if (f.messagesLost == 0) continue;
            report.failures.push_back({f.path, "the store could not be finished: the " +
                                                   std::to_string(f.messagesLost) + " messages put into it are lost"});
            report.messagesConverted -= f.messagesLost;
            report.messagesFailed += f.messagesLost;
            lost += f.messagesLost;
        }
        return lost;
    };
    // Mailboxes counted as converted with messages in the open part: when it cannot
    // be finished they were not converted.
    int storeMailboxes = 0;
    int storeMailboxesPart = 0;  // the part they went into
    auto closeStore = [&] {
        yield();
        store.Close();
        yield();
        if (takePartFailures() > 0) {
            report.mailboxesConverted -= storeMailboxes;
            report.mailboxesFailed += storeMailboxes;
        }
        storeMailboxes = 0;
        for (std::string& part : store.parts()) report.storeParts.push_back(std::move(part));
        store.ReleaseFinishedParts();
    };

    if (pst && options.singleStore) {
        try {
            store.Open(StoreScope::AllMailboxes, saveFolder, "");
        } catch (const std::exception& e) {
            return storeFailed(e.what());
        }
    }

    AppendStrings msgText;
    const int count = int(options.inputs.size());
    for (int index = 0; index < count; ++index) {
        if (observer.StopRequested()) {
            report.stopped = true;
            break;
        }
        yield();
        const std::string inputPath = Trim(options.inputs[size_t(index)]);
        const std::string inputFileName = PathLastPart(inputPath);
        observer.MailboxStarted(index, count, inputPath.empty() ? std::string() : inputFileName);
        if (inputPath.empty()) continue;  // an empty list row: nothing to read

        const std::string mailboxFolder = saveFolder + MirroredPart(inputPath);
        const std::string mailboxName = MailboxName(inputFileName);
        const size_t failuresBefore = report.failures.size();

        MailboxOutput target;
        target.kind = kind;
        target.inputPath = inputPath;
        target.mailboxFolder = mailboxFolder;
        if (options.byLabel) {
            target.diskFolders = &diskLabelFolders;
            target.counts = &labelCounts;
        }
        bool ready = true;
        if (pst) {
            try {
                if (storePerMailbox) store.Open(StoreScope::OneMailbox, saveFolder, mailboxName);
            } catch (const std::exception& e) {
                return storeFailed(e.what());
            }
            try {
                store.AddMailboxFolder(mailboxName);
                target.folder = mailboxName;
                target.store = &store;
            } catch (const std::exception& e) {
                report.failures.push_back({inputPath, std::string("cannot add the folder to the store: ") + e.what()});
                ready = false;
            }
        } else if (!EnsureFolderPath(mailboxFolder)) {
            report.failures.push_back({mailboxFolder, "cannot create the output folder"});
            ready = false;
        }
        yield();
        if (ready) {
            std::string probeError;
            const MboxMode mode = ReadMBOXFile(inputPath, &probeError);
            if (mode == MboxMode::None) {
                report.failures.push_back({inputPath, probeError});
            } else {
                MessageOutput output(observer, yieldFn, std::move(target));
                ExtractionResult x = ExtractMailbox(inputPath, mode, output, msgText);
                output.Flush();
                store.ReleaseFinishedParts();
                report.messagesConverted += output.written();
                report.messagesAlreadyThere += output.alreadyThere();
                report.messagesFailed += output.failedCount();
                for (auto& f : output.failures()) report.failures.push_back(std::move(f));
                for (auto& w : output.warnings()) report.warnings.push_back(std::move(w));
                if (!x.error.empty()) report.failures.push_back({inputPath, x.error});
                if (x.stopped) report.stopped = true;
            }
        }
        yield();
        takePartFailures();
        if (storePerMailbox && store.open()) closeStore();
        if (report.failures.size() == failuresBefore && !report.stopped) {
            ++report.mailboxesConverted;
            if (store.open()) {
                if (store.partNumber() != storeMailboxesPart) storeMailboxes = 0;
                storeMailboxesPart = store.partNumber();
                ++storeMailboxes;
            }
        } else {
            ++report.mailboxesFailed;
        }
        if (report.stopped) break;
    }

    if (store.open()) closeStore();
    report.messagesPerFolder = labelCounts.Counts();
    return report;
}

}  // namespace bv::conversion
