// brimvault-convert: the conversion run from the command line, for batch use and
// benchmarks.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "conversion/ConversionRun.h"
#include "conversion/MessageOutput.h"
#include "conversion/ItemReport.h"
#include "conversion/PathHelpers.h"
#include "conversion/StoreReadBack.h"
#include "mailstore/base/PlatformFile.h"
#include "summary/RunSummary.h"
#include "version.h"

namespace fs = std::filesystem;
using namespace bv::conversion;
using bv::summary::FolderCountsText;
using bv::summary::ReadBackText;
using bv::summary::StoreErrorText;

namespace {

volatile std::sig_atomic_t g_signal = 0;
extern "C" void OnSignal(int sig) { g_signal = sig; }

const char* kUsage =
    "usage: brimvault-convert --to eml|emlx|msg|pst [--single-pst] [--max-pst-size SIZE] [--by-label [--label-map FILE]]\n"
    "                         [--report FILE] -o DEST INPUT...\n"
    "       brimvault-convert --verify STORE...\n"
    "  INPUT   mailbox files, archives of them (.zip, .tar, .tgz, .tar.bz2, .tar.xz, .mbox.gz),\n"
    "          or folders (every file below them)\n"
    "  -o DEST destination folder (created when missing)\n"
    "  --single-pst  with --to pst: one store for all mailboxes\n"
    "  --max-pst-size SIZE  with --to pst: the largest a store file may grow (default 50G);\n"
    "                a larger store is written in parts. K, M and G are powers of 1024; 0: no limit.\n"
    "                For an import into Microsoft 365, which recommends stores of at most 20 GB\n"
    "                and skips items over 150 MB, use 20G\n"
    "  --by-label    sort messages into folders by their labels, keeping unread and starred\n"
    "                state and the labels as categories; prints the messages per folder\n"
    "  --label-map FILE  with --by-label: what labels mean, over the built-in names, one\n"
    "                line each: LABEL = Inbox|Sent Items|Drafts|Deleted Items|Junk Email|\n"
    "                unread|starred|ignore|FOLDER/PATH  (# begins a comment)\n"
    "  --report FILE write what became of each message, card and event, and of each input not\n"
    "                converted, to FILE as the run goes: CSV, or JSON Lines when FILE ends in .jsonl\n"
    "  --verify      read back .pst stores written earlier: each folder's contents table against\n"
    "                its count and its items, each item read, the file's structure checked\n"
    "  -h, --help    this text;  -V, --version  the version\n"
    "\n"
    "One summary line goes to standard output, each failure once to standard error. After\n"
    "a .pst run every store written or added to is read back: \"read back: N items in M\n"
    "folders, as written\", or what differs (on standard error, and exit status 1).\n"
    "Exit status:\n"
    "  0    every mailbox was converted\n"
    "  1    something was not converted (named on standard error), a message was\n"
    "       converted with a loss, a store read back differs from what was written,\n"
    "       or there was nothing to convert\n"
    "  2    the command was used wrongly\n"
    "  130  stopped by SIGINT (Ctrl+C); 143 stopped by SIGTERM\n";

// One line naming what is wrong and where to look, never the whole help.
int UsageError(const std::string& reason) {
    std::fprintf(stderr, "brimvault-convert: %s\nTry 'brimvault-convert --help'.\n", reason.c_str());
    return 2;
}

// "50G", "512M", "300K", "1000": bytes, K, M and G being powers of 1024.
bool ParseSize(const std::string& text, uint64_t& bytes) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 15 || text.size() > digits + 1) return false;
    bytes = std::stoull(text.substr(0, digits));
    if (digits == text.size()) return true;
    switch (text[digits]) {
        case 'K': case 'k': bytes <<= 10; return true;
        case 'M': case 'm': bytes <<= 20; return true;
        case 'G': case 'g': bytes <<= 30; return true;
        default: return false;
    }
}

bool IsTerminal(FILE* f) {
#ifdef _WIN32
    return false;
#else
    return ::isatty(fileno(f));
#endif
}

std::string Utf8(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

// Whether a linked folder leads to the folder it is in or to one above it.
bool LeadsBackUp(const fs::path& link, const fs::path& dir) {
    std::error_code ec;
    const fs::path target = fs::canonical(link, ec);
    if (ec) return false;
    const fs::path here = fs::canonical(dir, ec);
    if (ec) return false;
    auto h = here.begin();
    for (auto t = target.begin(); t != target.end(); ++t, ++h)
        if (h == here.end() || *t != *h) return false;
    return true;
}

// Every file below `folder`, in the order adding a folder in the window gives them
// (breadth first: a folder's files by name, then its subfolders' level by level). A
// linked folder that leads back up is passed over; a folder that cannot be listed
// ends the walk, what was found until then kept, and is the failure returned.
std::optional<Failure> AddFolderFiles(const fs::path& folder, std::vector<std::string>& out) {
    std::vector<fs::path> level{folder};
    for (size_t next = 0; next < level.size(); ++next) {
        const fs::path& dir = level[next];
        std::error_code ec;
        std::vector<fs::path> files, subFolders;
        fs::directory_iterator it(dir, ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            std::error_code entryEc;
            if (!it->is_directory(entryEc)) {
                files.push_back(it->path());
                continue;
            }
            if (it->is_symlink(entryEc) && LeadsBackUp(it->path(), dir)) continue;
            subFolders.push_back(it->path());
        }
        if (ec) {
            const std::string where = bv::conversion::WithTrailingSeparator(Utf8(dir));
            return Failure{where, "Cannot read the folder " + where + ": " + ec.message()};
        }
        std::sort(files.begin(), files.end());
        std::sort(subFolders.begin(), subFolders.end());
        for (const fs::path& f : files) out.push_back(Utf8(f));
        level.insert(level.end(), subFolders.begin(), subFolders.end());
    }
    return std::nullopt;
}

std::string ToLf(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
        out += s[i];
    }
    return out;
}

// Progress on standard error when it is a terminal: one line redrawn in place with
// the share of the input read, which mailbox and how far into it; cleared at the end.
// Ctrl+C and SIGTERM stop the run after the message in hand.
class CliProgress : public RunObserver {
public:
    CliProgress() : tty_(IsTerminal(stderr)) {}

    void MailboxStarted(int index, int count, const std::string& fileName) override {
        mailboxLabel_ = "Mailbox " + std::to_string(index + 1) + " (of " + std::to_string(count) + ") ";
        if (fileName.empty()) return;
        file_ = fileName;
        saved_.clear();
        added_ = alreadyThere_ = 0;
        Draw(true);
    }
    void MessageSettled(bool added) override {
        ++(added ? added_ : alreadyThere_);
        saved_ = "Saved " + std::to_string(added_) + " Email Messages...";
        if (alreadyThere_ > 0) saved_ += " " + std::to_string(alreadyThere_) + " already there";
        Draw(false);
    }
    void BytesRead(uint64_t done, uint64_t total) override {
        percent_ = total > 0 ? int(done * 100 / total) : 100;
        Draw(true);
    }
    bool StopRequested() const override { return g_signal != 0; }
    // With --report: each item's outcome goes to the report file.
    void ReportTo(ItemReportFile* file) { report_ = file; }
    bool WantsItems() const override { return report_ != nullptr; }
    void ItemDone(const ItemOutcome& outcome) override { report_->Write(outcome); }

    // Clears the line, so the report starts on a clean one.
    void Clear() {
        if (tty_ && drawn_) std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }

private:
    static size_t Columns() {
#ifndef _WIN32
        struct winsize ws{};
        if (::ioctl(fileno(stderr), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1) return ws.ws_col;
#endif
        return 80;
    }

    void Draw(bool force) {
        if (!tty_) return;
        auto now = std::chrono::steady_clock::now();
        if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        char share[16];
        std::snprintf(share, sizeof share, "%3d%% ", percent_);
        std::string line = share + mailboxLabel_ + file_ + "  " + saved_;
        // A line that wrapped could not be redrawn in place.
        const size_t width = Columns() - 1;
        if (line.size() > width) {
            line.resize(width);
            while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80) line.pop_back();
            if (!line.empty() && (static_cast<unsigned char>(line.back()) & 0x80)) line.pop_back();
        }
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }

    bool tty_;
    ItemReportFile* report_ = nullptr;
    bool drawn_ = false;
    int percent_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
    std::string mailboxLabel_, file_, saved_;
    int64_t added_ = 0, alreadyThere_ = 0;  // of the mailbox in hand
};

// "2 mailbox(es) and 7 message(s) converted into DEST/", and what was not.
std::string SummaryLine(const RunReport& r, size_t foldersNotListed) {
    std::string line = std::to_string(r.mailboxesConverted) + " mailbox(es) and " +
                       std::to_string(r.messagesConverted) + " message(s)";
    if (r.itemFilesConverted + r.itemFilesFailed > 0)
        line += ", " + std::to_string(r.itemFilesConverted) + " contacts/calendar file(s) and " +
                std::to_string(r.itemsConverted) + " item(s)";
    line += " converted into " + r.destination;
    std::string notConverted;
    auto add = [&notConverted](int64_t n, const char* what) {
        if (n > 0) notConverted += (notConverted.empty() ? "" : ", ") + std::to_string(n) + what;
    };
    add(r.mailboxesFailed, " mailbox(es)");
    add(r.itemFilesFailed, " contacts/calendar file(s)");
    add(int64_t(foldersNotListed), " folder(s)");
    add(r.messagesFailed, " message(s)");
    add(r.itemsFailed, " item(s)");
    if (!notConverted.empty()) line += "; not converted: " + notConverted;
    if (r.inputsNotReached > 0) line += "; not reached: " + std::to_string(r.inputsNotReached) + " input(s)";
    if (!r.warnings.empty()) line += "; " + std::to_string(r.warnings.size()) + " converted with warnings";
    if (const std::string back = ReadBackText(r.readBack, "\n"); !back.empty()) line += "; " + back.substr(0, back.find('\n'));
    // Messages the destination held already are not converted again.
    if (r.messagesAlreadyThere > 0)
        line += (r.messagesConverted == 0 && r.messagesFailed == 0 ? "; all " : "; ") +
                std::to_string(r.messagesAlreadyThere) + " message(s) already there";
    if (r.itemsAlreadyThere > 0) line += "; " + std::to_string(r.itemsAlreadyThere) + " item(s) already there";
    return line + "\n";
}

void PrintDifferences(const ReadBackReport& r) {
    for (const Failure& d : r.differences) std::fprintf(stderr, "differs: %s: %s\n", d.file.c_str(), d.reason.c_str());
}

// --verify STORE...: each store read back against what it says of itself.
int Verify(const std::vector<std::string>& stores) {
    if (stores.empty()) return UsageError("--verify needs a store");
    std::vector<std::string> paths;
    std::error_code ec;
    for (const std::string& s : stores) paths.push_back(Utf8(fs::absolute(fs::u8path(s), ec).lexically_normal()));
    const ReadBackReport report = ReadBackStores(paths);
    PrintDifferences(report);
    const std::string text = ReadBackText(report, "\n");
    std::fputs(text.substr(0, text.find('\n') + 1).c_str(), stdout);
    return report.asWritten() ? 0 : 1;
}

// The command line as given.
struct Arguments {
    std::string to, dest;
    bool single = false;
    bool byLabel = false;
    std::string labelMap;
    bool maxPstSizeGiven = false;
    uint64_t maxPstSize = kDefaultMaxPstSize;
    bool verify = false;
    std::string reportPath;
    std::vector<std::string> inputs;
    // Help and the version are given once every argument is known good: a wrong one wins.
    bool help = false, version = false;
};

// Reads the arguments into `args`; the exit status of a usage error, or -1.
int ParseArguments(int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            args.help = true;
        } else if (a == "--version" || a == "-V") {
            args.version = true;
        } else if (a == "--to" || a == "-t") {
            if (++i >= argc) return UsageError("--to needs an output kind");
            args.to = argv[i];
        } else if (a.rfind("--to=", 0) == 0) {
            args.to = a.substr(5);
        } else if (a == "-o" || a == "--output") {
            if (++i >= argc) return UsageError("-o needs a destination folder");
            args.dest = argv[i];
        } else if (a == "--report" || a.rfind("--report=", 0) == 0) {
            if (a == "--report") {
                if (++i >= argc) return UsageError("--report needs a file");
                args.reportPath = argv[i];
            } else {
                args.reportPath = a.substr(9);
            }
            if (args.reportPath.empty()) return UsageError("--report needs a file");
        } else if (a == "--verify") {
            args.verify = true;
        } else if (a == "--single-pst") {
            args.single = true;
        } else if (a == "--by-label") {
            args.byLabel = true;
        } else if (a == "--label-map") {
            if (++i >= argc) return UsageError("--label-map needs a file");
            args.labelMap = argv[i];
            if (args.labelMap.empty()) return UsageError("--label-map needs a file");
        } else if (a.rfind("--label-map=", 0) == 0) {
            args.labelMap = a.substr(12);
            if (args.labelMap.empty()) return UsageError("--label-map needs a file");
        } else if (a == "--max-pst-size" || a.rfind("--max-pst-size=", 0) == 0) {
            std::string size;
            if (a == "--max-pst-size") {
                if (++i >= argc) return UsageError("--max-pst-size needs a size");
                size = argv[i];
            } else {
                size = a.substr(15);
            }
            if (!ParseSize(size, args.maxPstSize))
                return UsageError("--max-pst-size takes a size such as 50G, 512M or 0, not \"" + size + "\"");
            args.maxPstSizeGiven = true;
        } else if (a == "--") {
            for (++i; i < argc; ++i) args.inputs.push_back(argv[i]);
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return UsageError("unknown option " + a);
        } else {
            args.inputs.push_back(a);
        }
    }
    return -1;
}

// The run's options from the arguments; the exit status of a usage error, or -1.
int RunOptionsOf(Arguments& args, RunOptions& options) {
    // The kind in any case: "PST" as "pst".
    for (char& c : args.to)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    const std::string& to = args.to;
    if (to == "eml") options.kind = OutputKind::Eml;
    else if (to == "emlx") options.kind = OutputKind::Emlx;
    else if (to == "msg") options.kind = OutputKind::Msg;
    else if (to == "pst") options.kind = OutputKind::Pst;
    else return UsageError(to.empty() ? "--to is required" : "unknown output kind \"" + to + "\"");
    if (args.single && options.kind != OutputKind::Pst) return UsageError("--single-pst goes with --to pst");
    if (args.maxPstSizeGiven && options.kind != OutputKind::Pst) return UsageError("--max-pst-size goes with --to pst");
    options.singleStore = args.single;
    options.byLabel = args.byLabel;
    if (!args.labelMap.empty()) {
        if (!args.byLabel) return UsageError("--label-map goes with --by-label");
        try {
            options.labelMap = LabelMap::Read(args.labelMap);
        } catch (const std::exception& e) {
            return UsageError(e.what());
        }
    }
    options.maxPstSize = args.maxPstSize;
    if (args.dest.empty()) return UsageError("-o DEST is required");
    if (args.inputs.empty()) return UsageError("no input mailbox given");
    return -1;
}

// The inputs as the run's list: absolute paths, folders the files below them. When the
// destination lies inside an input folder, the files below it that a run writes (the
// outputs of this run and earlier ones) are not taken as inputs. Folders that cannot be
// listed whole go into `listErrors`.
std::vector<std::string> ListInputs(const std::vector<std::string>& inputs, const fs::path& destPath,
                                    std::vector<Failure>& listErrors) {
    std::error_code ec;
    const std::string destPrefix = (fs::weakly_canonical(destPath, ec) / "").string();
    std::vector<std::string> rows;
    for (const std::string& in : inputs) {
        fs::path p = fs::absolute(fs::u8path(in), ec).lexically_normal();
        if (fs::is_directory(p, ec)) {
            std::vector<std::string> found;
            if (std::optional<Failure> f = AddFolderFiles(p, found)) listErrors.push_back(std::move(*f));
            for (std::string& f : found)
                if (fs::weakly_canonical(fs::u8path(f), ec).string().rfind(destPrefix, 0) != 0 ||
                    !IsRunOutputName(PathLastPart(f)))
                    rows.push_back(std::move(f));
        } else {
            rows.push_back(p.string());
        }
    }
    return rows;
}

// The run makes the destination when something is to go into it; a file in the place
// of it or of a folder above it is told before the run. False then.
bool DestinationCanBeMade(const fs::path& destPath) {
    std::error_code ec;
    for (fs::path at = destPath; !at.empty(); at = at.parent_path()) {
        if (!fs::exists(at, ec)) {
            if (at == at.parent_path()) break;
            continue;
        }
        if (!fs::is_directory(at, ec)) {
            std::fprintf(stderr, "brimvault-convert: cannot create the destination folder %s: %s\n",
                         destPath.string().c_str(), std::make_error_code(std::errc::not_a_directory).message().c_str());
            return false;
        }
        break;
    }
    return true;
}

// Each failure once, on standard error; one summary line on standard output.
void PrintOutcome(const RunReport& report, const std::vector<Failure>& listErrors) {
    if (report.storeError())
        std::fprintf(stderr, "brimvault-convert: %s\n", ToLf(StoreErrorText(report.endedBy->reason)).c_str());
    for (const Failure& e : listErrors) std::fprintf(stderr, "failed: %s: %s\n", e.file.c_str(), e.reason.c_str());
    for (const Failure& f : report.failures) {
        // The store error above already names the store and why it failed.
        if (report.storeError() && &f == &report.failures.back()) continue;
        std::fprintf(stderr, "failed: %s: %s\n", f.file.c_str(), f.reason.c_str());
    }
    for (const Failure& w : report.warnings) std::fprintf(stderr, "warning: %s: %s\n", w.file.c_str(), w.reason.c_str());
    for (const Failure& n : report.notes) std::fprintf(stderr, "note: %s: %s\n", n.file.c_str(), n.reason.c_str());
    PrintDifferences(report.readBack);
    if (report.nothingToConvert())
        std::fputs("brimvault-convert: nothing to convert: no mailbox among the inputs\n", stderr);
    if (g_signal != 0)
        std::fprintf(stderr, "brimvault-convert: stopped by %s; the message in hand was finished and open stores closed\n",
                     g_signal == SIGINT ? "SIGINT" : "SIGTERM");
    std::fputs(SummaryLine(report, listErrors.size()).c_str(), stdout);
    if (!report.stopped && !report.storeError()) {
        if (!report.storeParts.empty()) std::puts("Stores larger than the size limit were written in parts:");
        for (const std::string& part : report.storeParts) std::puts(part.c_str());
        std::fputs(FolderCountsText(report, "\n").c_str(), stdout);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bv::mailstore::base::UseUtf8CommandLine(argc, argv);
    Arguments args;
    if (const int status = ParseArguments(argc, argv, args); status >= 0) return status;
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.version) {
        std::puts("brimvault-convert " BV_VERSION_SHORT);
        return 0;
    }
    if (args.verify) {
        if (!args.to.empty() || !args.dest.empty() || args.single || args.byLabel || args.maxPstSizeGiven ||
            !args.reportPath.empty())
            return UsageError("--verify takes only stores");
        return Verify(args.inputs);
    }
    RunOptions options;
    if (const int status = RunOptionsOf(args, options); status >= 0) return status;

    std::error_code ec;
    const fs::path destPath = fs::absolute(fs::u8path(args.dest), ec).lexically_normal();
    std::vector<Failure> listErrors;
    options.inputs = ListInputs(args.inputs, destPath, listErrors);
    if (!DestinationCanBeMade(destPath)) return 1;

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    options.destination = destPath.string();
    CliProgress progress;
    std::unique_ptr<ItemReportFile> reportFile;
    if (!args.reportPath.empty()) {
        try {
            reportFile = std::make_unique<ItemReportFile>(Utf8(fs::absolute(fs::u8path(args.reportPath), ec)));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "brimvault-convert: cannot write the report: %s\n", e.what());
            return 1;
        }
    }
    progress.ReportTo(reportFile.get());
    RunReport report = RunConversion(options, progress);
    progress.Clear();
    const std::string reportError = reportFile ? reportFile->error() : std::string();
    if (!reportError.empty()) std::fprintf(stderr, "brimvault-convert: %s\n", reportError.c_str());
    PrintOutcome(report, listErrors);

    if (g_signal == SIGINT) return 130;
    if (g_signal == SIGTERM) return 143;
    // A message converted with a loss makes the run's status 1 too: something asks
    // for a look.
    return report.ok() && report.warnings.empty() && listErrors.empty() && reportError.empty() ? 0 : 1;
}
