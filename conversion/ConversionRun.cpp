#include "conversion/ConversionRun.h"

#include <chrono>
#include <memory>

#include "conversion/AppendStrings.h"
#include "conversion/MailboxProbe.h"
#include "conversion/MessageExtraction.h"
#include "conversion/MessageOutput.h"
#include "conversion/PathHelpers.h"
#include "conversion/StoreSetup.h"
#include "mailstore/RdoSession.h"

namespace bv::conversion {

namespace {

constexpr const char* kTitle = "Brimvault Converter";
const std::string kStarLine(75, '*');
constexpr const char* kCrLf = "\r\n";
constexpr size_t kFailuresListed = 20;

// Lets the window handle its events at most about every 15 ms.
class YieldThrottle {
public:
    explicit YieldThrottle(RunHost& host) : host_(host) {}
    void operator()() {
        auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(15)) return;
        last_ = now;
        host_.yield();
    }

private:
    RunHost& host_;
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

}  // namespace

struct ConversionRun::State {
    // Members of the window the run sets; they outlive a run.
    OpenStore store;
    std::string pstFolderName;
    std::string mailboxFolder;
    MboxMode mboxMode = MboxMode::None;
    AppendStrings msgText;
};

ConversionRun::ConversionRun(RunHost& host) : host_(host), state_(new State) {}
ConversionRun::~ConversionRun() { delete state_; }

std::string CompletionText(const RunReport& r, bool pstOutput) {
    if (r.failures.empty()) {
        if (pstOutput)
            return kStarLine + kCrLf +
                   "Your messages from Brimvault files has been successfully exported to Outlook (.pst) file." +
                   kCrLf + kStarLine + kCrLf +
                   "Start Outlook and open converted pst file by clicking File -> Open -> Outlook Data File. "
                   "And it all done !";
        return kStarLine + kCrLf + "Your messages from Brimvault files has been successfully exported." + kCrLf +
               kStarLine + kCrLf;
    }
    std::string text = "The conversion finished with problems.";
    text += kCrLf;
    text += "Converted: " + std::to_string(r.mailboxesConverted) + " of " +
            std::to_string(r.mailboxesConverted + r.mailboxesFailed) + " mailboxes, " +
            std::to_string(r.messagesConverted) + " messages.";
    text += kCrLf;
    if (r.messagesFailed > 0) text += "Messages not converted: " + std::to_string(r.messagesFailed) + "." + kCrLf;
    text += kCrLf;
    text += "What failed:";
    text += kCrLf;
    for (size_t i = 0; i < r.failures.size() && i < kFailuresListed; ++i)
        text += r.failures[i].file + ": " + r.failures[i].reason + kCrLf;
    if (r.failures.size() > kFailuresListed)
        text += "... and " + std::to_string(r.failures.size() - kFailuresListed) + " more." + kCrLf;
    return text;
}

RunReport ConversionRun::Run() {
    RunReport report;
    State& st = *state_;
    YieldThrottle yield(host_);
    auto yieldFn = [&yield] { yield(); };

    // An output kind must be chosen.
    if (!host_.optEML() && !host_.optPST() && !host_.optEMLX() && !host_.optMSG()) {
        host_.messageBox("Please select a option to convert file(s).", kTitle, MessageIcon::Information);
        return report;
    }
    // The destination.
    std::string chosen = host_.browseForFolder("Choose Folder to Save...");
    if (chosen.empty()) return report;
    const std::string saveFolder = WithTrailingSeparator(chosen);
    report.started = true;
    report.destination = saveFolder;
    yield();
    host_.setConvertEnabled(false);

    auto storeErrorPath = [&](const std::string& reason) {
        host_.messageBox(std::string("Outlook Session Creation Error !") + kCrLf +
                             "Check if Outlook is installed and configured." + kCrLf +
                             "For more details visit this link : "
                             "https://support.microsoft.com/office/outlook-help-training" +
                             kCrLf + "(" + reason + ")",
                         "Outlook Error", MessageIcon::Information);
        host_.setConvertEnabled(true);
        host_.clearOptions();
        report.storeError = true;
        report.failures.push_back({st.store.pstPath, reason});
    };
    auto pstOnePerFile = [&] { return host_.chkAllinOnePSTEnabled() && !host_.chkAllinOnePSTTicked() && host_.optPST(); };
    auto pstAllInOne = [&] { return host_.chkAllinOnePSTEnabled() && host_.chkAllinOnePSTTicked() && host_.optPST(); };
    // Messages and mailboxes counted as converted into the open .pst store: when the
    // store cannot be finished its file is not there, and they were not converted.
    int64_t storeMessages = 0;
    int storeMailboxes = 0;
    auto closeStore = [&] {
        std::vector<std::string> errors = ClosePSTStore(st.store, yieldFn);
        for (const std::string& e : errors) report.failures.push_back({st.store.pstPath, e});
        if (!errors.empty() && storeMessages > 0) {
            report.failures.push_back({st.store.pstPath, "the store could not be finished: the " +
                                                             std::to_string(storeMessages) +
                                                             " messages put into it are lost"});
            report.messagesConverted -= storeMessages;
            report.messagesFailed += storeMessages;
            report.mailboxesConverted -= storeMailboxes;
            report.mailboxesFailed += storeMailboxes;
        }
        storeMessages = 0;
        storeMailboxes = 0;
    };

    // The run's store.
    try {
        if (host_.optMSG()) OpenPSTStore(StoreMode::Temporary, saveFolder, "", st.store);
        if (pstAllInOne()) OpenPSTStore(StoreMode::Single, saveFolder, "", st.store);
    } catch (const std::exception& e) {
        storeErrorPath(e.what());
        return report;
    }

    // The loop bound is read once.
    const int lastRow = host_.rowCount() - 1;
    for (int rowIndex = 0; rowIndex <= lastRow; ++rowIndex) {
        if (host_.stopRequested()) {
            report.stopped = true;
            break;
        }
        // The row's path.
        bool rowExists = host_.setCurrentRow(rowIndex);
        yield();
        host_.setLblProgessCurrent("Mailbox " + std::to_string(rowIndex + 1) + " (of " +
                                   std::to_string(host_.rowCount()) + ") ");
        if (!rowExists) continue;
        const std::string inputPath = Trim(host_.currentText());
        if (inputPath.empty()) continue;  // an empty list: nothing to read

        // Output folder and mailbox name.
        st.mailboxFolder = saveFolder + MirroredPart(inputPath);
        const std::string inputFileName = PathLastPart(inputPath);
        std::string mailboxName = Trim(inputFileName);
        RemoveAll(mailboxName, ".mbox");
        mailboxName = Trim(mailboxName);
        RemoveAll(mailboxName, ".MBOX");
        if (mailboxName.empty()) mailboxName = "mailbox";
        host_.setLblIMMFile(inputFileName);

        const size_t failuresBefore = report.failures.size();
        // One store per file.
        if (pstOnePerFile()) {
            try {
                OpenPSTStore(StoreMode::PerFile, saveFolder, mailboxName, st.store);
            } catch (const std::exception& e) {
                storeErrorPath(e.what());
                return report;
            }
        }
        // The mailbox's folder in the store.
        st.pstFolderName = mailboxName;
        if (host_.optPST() || host_.optMSG()) {
            try {
                AddMailboxFolder(st.store, st.pstFolderName);
            } catch (const std::exception& e) {
                report.failures.push_back({inputPath, std::string("cannot add the folder to the store: ") + e.what()});
            }
        }
        yield();
        // The output folder.
        bool folderOk = EnsureFolderPath(st.mailboxFolder);
        yield();
        bool needFolder = !host_.optPST();
        if (!folderOk && needFolder) {
            report.failures.push_back({st.mailboxFolder, "cannot create the output folder"});
        } else {
            // Probe and extraction.
            st.mboxMode = MboxMode::None;
            std::string probeError;
            st.mboxMode = ReadMBOXFile(inputPath, &probeError);
            if (st.mboxMode == MboxMode::None) {
                report.failures.push_back({inputPath, probeError});
            } else {
                MailboxOutputContext ctx{inputPath, st.mailboxFolder, mailboxName, st.store.rdoSession,
                                         st.store.storeDisplayName};
                MessageOutput output(host_, yieldFn, ctx);
                ExtractionResult x = ExtractMailbox(inputPath, st.mboxMode, output, st.msgText);
                output.Flush();
                report.messagesConverted += output.written();
                storeMessages += output.storedInStore();
                report.messagesFailed += output.failedCount();
                for (auto& f : output.failures()) report.failures.push_back(std::move(f));
                if (!x.error.empty()) report.failures.push_back({inputPath, x.error});
                if (x.stopped) report.stopped = true;
            }
        }
        yield();
        // Close the store of this file.
        if (pstOnePerFile() && st.store.open()) closeStore();
        if (report.failures.size() == failuresBefore && !report.stopped) {
            ++report.mailboxesConverted;
            if (host_.optPST() && st.store.open()) ++storeMailboxes;
        } else
            ++report.mailboxesFailed;
        if (report.stopped) break;
    }

    // Close the run's store (whatever is still open, also when the output
    // kind was changed during the run or the run was stopped).
    if (st.store.open()) closeStore();

    if (!report.stopped) {
        const bool pst = host_.optPST();
        if (pst || host_.optEML() || host_.optEMLX() || host_.optMSG())
            host_.messageBox(CompletionText(report, pst), kTitle,
                             report.failures.empty() ? MessageIcon::Information : MessageIcon::Warning);
    }
    host_.setConvertEnabled(true);
    host_.clearOptions();
    return report;
}

}  // namespace bv::conversion
