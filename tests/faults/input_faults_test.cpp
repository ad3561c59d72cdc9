// Inputs that change, fail or misbehave during a run: every case must end, write
// only complete messages, and name what failed in the report and the completion box.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "FaultHelpers.h"
#include "conversion/ConversionRun.h"
#include "summary/RunSummary.h"

using namespace bv::conversion;
using namespace bv::summary;
using namespace bv::faults;
using bv::testing::ReferenceSplit;
using bv::testing::TempDir;
using bv::testing::TestHost;
using bv::testing::WriteFile;

namespace {

HookHost EmlHost(const TempDir& out, std::vector<std::string> rows) {
    HookHost h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = out.str();
    h.options.inputs = std::move(rows);
    return h;
}

const std::string kNotAMailbox = "not a mailbox: its first line is not a \"From \" separator line";

bool Mentions(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

// The completion text, which must tell of problems and name `what`.
void ExpectCompletionNaming(const RunReport& r, const std::string& what) {
    const std::string text = CompletionText(r, false);
    EXPECT_FALSE(Mentions(text, "successfully"));
    EXPECT_TRUE(Mentions(text, what)) << text;
}

}  // namespace

// ---- The input file vanishes, shrinks or is replaced during the run ----

TEST(InputChangesDuringTheRun, ALaterMailboxDeletedIsNamedAndTheOthersConvert) {
    TempDir in, out;
    const fs::path a = in.path() / "a.mbox", b = in.path() / "b.mbox", c = in.path() / "c.mbox";
    const std::string box = MakeMailbox(3, 200, false);
    for (auto& p : {a, b, c}) WriteFile(p, box);
    HookHost h = EmlHost(out, {a.string(), b.string(), c.string()});
    h.onMailbox = [&](HookHost& host) {
        if (host.immFile.size() == 1) fs::remove(b);
    };
    RunReport r = h.Run();
    const auto ref = ReferenceSplit(box, MboxLineEnds::Lf);
    EXPECT_EQ(FilesIn(OutputFolder(out.path(), a)), EmlFiles(ref, 3));
    EXPECT_EQ(FilesIn(OutputFolder(out.path(), b)), (std::map<std::string, std::string>{}));
    EXPECT_EQ(FilesIn(OutputFolder(out.path(), c)), EmlFiles(ref, 3));
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].file, b.string());
    EXPECT_EQ(r.failures[0].reason, "cannot open the file: No such file or directory");
    EXPECT_EQ(r.mailboxesConverted, 2);
    EXPECT_EQ(r.mailboxesFailed, 1);
    EXPECT_EQ(r.messagesConverted, 6);
    ExpectCompletionNaming(r, b.string() + ": cannot open the file");
    EXPECT_TRUE(Mentions(CompletionText(r, false), "Converted: 2 of 3 mailboxes, 6 messages."));
}

TEST(InputChangesDuringTheRun, DeletedOrReplacedWhileReadConvertsTheFileThatWasOpened) {
    // The open file stays readable on POSIX systems: all of it is converted, and a
    // file put in its place is not mixed in.
    for (bool replace : {false, true}) {
        TempDir in, out;
        const fs::path a = in.path() / "a.mbox";
        const std::string box = MakeMailbox(40, 100000, false);  // about 4 MB: several blocks
        WriteFile(a, box);
        HookHost h = EmlHost(out, {a.string()});
        bool done = false;
        h.onSaved = [&](HookHost& host) {
            if (done || host.progress.empty()) return;
            done = true;
            std::error_code ec;
            if (replace) {
                WriteFile(in.path() / "new.mbox", MakeMailbox(2, 10, false, 500));
                fs::rename(in.path() / "new.mbox", a, ec);
            } else {
                fs::remove(a, ec);
            }
#ifdef _WIN32
            // Windows keeps a file that is open for reading from being removed or replaced.
            EXPECT_TRUE(ec);
#else
            EXPECT_FALSE(ec) << ec.message();
#endif
        };
        RunReport r = h.Run();
        EXPECT_TRUE(done);
        EXPECT_TRUE(r.ok()) << (r.failures.empty() ? "" : r.failures[0].reason);
        EXPECT_EQ(r.messagesConverted, 40);
        EXPECT_EQ(FilesIn(OutputFolder(out.path(), a)), EmlFiles(ReferenceSplit(box, MboxLineEnds::Lf), 40));
    }
}

TEST(InputChangesDuringTheRun, CutShortWhileReadIsAFailureAndTheMessageInHandIsNotWritten) {
    for (bool crlf : {false, true}) {
        TempDir in, out;
        const fs::path a = in.path() / "a.mbox";
        const std::string box = MakeMailbox(40, 100000, crlf);
        WriteFile(a, box);
        const MboxLineEnds mode = crlf ? MboxLineEnds::CrOrCrLf : MboxLineEnds::Lf;
        const auto ref = ReferenceSplit(box, mode);
        const size_t cut = box.size() * 3 / 4 + 12345;  // inside a message, beyond what was read
        HookHost h = EmlHost(out, {a.string()});
        bool done = false;
        h.onSaved = [&](HookHost& host) {
            if (done || host.progress.empty()) return;
            done = true;
            fs::resize_file(a, cut);
        };
        RunReport r = h.Run();
        ASSERT_TRUE(done);
        // The messages that ended before the cut; not the one the cut went through.
        const auto refCut = ReferenceSplit(box.substr(0, cut), mode);
        ASSERT_GE(refCut.size(), 2u);
        const size_t complete = refCut.size() - 1;
        EXPECT_EQ(FilesIn(OutputFolder(out.path(), a)), EmlFiles(ref, complete)) << "crlf " << crlf;
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0].file, a.string());
        EXPECT_EQ(r.failures[0].reason, "the file became shorter while it was read (it ended after " +
                                            std::to_string(cut) + " of " + std::to_string(box.size()) + " bytes)");
        EXPECT_EQ(r.messagesConverted, int64_t(complete));
        EXPECT_EQ(r.mailboxesFailed, 1);
        ExpectCompletionNaming(r, "became shorter");
    }
}

// ---- Read errors ----

TEST(ReadError, PartWayThroughAMailboxEndsItsProcedureAndTheNextMailboxConverts) {
    for (bool crlf : {false, true}) {
        for (off_t failAt : {off_t(0), off_t(600), off_t(1 << 20), off_t(1500000)}) {
            TempDir in, out;
            const fs::path a = in.path() / "a.mbox", b = in.path() / "b.mbox";
            const std::string box = MakeMailbox(30, 100000, crlf);
            WriteFile(a, box);
            WriteFile(b, box);
            const MboxLineEnds mode = crlf ? MboxLineEnds::CrOrCrLf : MboxLineEnds::Lf;
            const auto ref = ReferenceSplit(box, mode);
            ReadFaultScope scope(a);
            scope.fault().failAt = failAt;
            HookHost h = EmlHost(out, {a.string(), b.string()});
            RunReport r = h.Run();
            SCOPED_TRACE("crlf " + std::to_string(crlf) + " failAt " + std::to_string(failAt));

            ASSERT_EQ(r.failures.size(), 1u);
            EXPECT_EQ(r.failures[0].file, a.string());
            if (failAt < off_t(kProbeBytes)) {
                // The probe already meets the error: nothing is extracted.
                EXPECT_EQ(r.failures[0].reason, "read error after " + std::to_string(failAt) + " bytes: Input/output error");
                EXPECT_TRUE(FilesIn(OutputFolder(out.path(), a)).empty());
                EXPECT_EQ(r.messagesConverted, int64_t(ref.size()));
            } else {
                EXPECT_EQ(r.failures[0].reason, "read error after " + std::to_string(failAt) + " bytes: Input/output error");
                const auto before = ReferenceSplit(box.substr(0, size_t(failAt)), mode);
                const size_t complete = before.empty() ? 0 : before.size() - 1;
                EXPECT_EQ(FilesIn(OutputFolder(out.path(), a)), EmlFiles(ref, complete));
                EXPECT_EQ(r.messagesConverted, int64_t(complete + ref.size()));
            }
            // One failed read ends the procedure: no retrying loop.
            EXPECT_EQ(scope.fault().failedCalls, 1u);
            EXPECT_EQ(FilesIn(OutputFolder(out.path(), b)), EmlFiles(ref, ref.size()));
            EXPECT_EQ(r.mailboxesConverted, 1);
            EXPECT_EQ(r.mailboxesFailed, 1);
            ExpectCompletionNaming(r, a.string() + ": read error after ");
        }
    }
}

TEST(ReadError, ShortReadsAndInterruptedReadsChangeNothing) {
    for (bool crlf : {false, true}) {
        TempDir in, out;
        const fs::path a = in.path() / "a.mbox";
        std::string box = MakeMailbox(12, 3000, crlf);
        box.insert(box.size() / 2, crlf ? "\n\nFrom inserted@example.org\r\nx\r\n" : "\r\nFrom inserted\nx\r");
        WriteFile(a, box);
        ReadFaultScope scope(a);
        scope.fault().chunk = 7;
        scope.fault().eintrEvery = 5;
        HookHost h = EmlHost(out, {a.string()});
        RunReport r = h.Run();
        const auto ref = ReferenceSplit(box, crlf ? MboxLineEnds::CrOrCrLf : MboxLineEnds::Lf);
        EXPECT_TRUE(r.ok());
        EXPECT_GT(scope.fault().calls, 1000u);
        EXPECT_EQ(FilesIn(OutputFolder(out.path(), a)), EmlFiles(ref, ref.size()));
    }
}

// ---- Files that are not mailboxes ----

#ifdef _WIN32
TEST(SpecialFiles, PipesAndDevicesAreRefusedWithoutWaiting) {
    // A named pipe with no writer and the NUL device: neither is read.
    TempDir out;
    const std::string pipe = "\\\\.\\pipe\\bvtest-" + std::to_string(GetCurrentProcessId()) + ".mbox";
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                                     nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const auto start = std::chrono::steady_clock::now();
    HookHost h = EmlHost(out, {pipe, "NUL"});
    RunReport r = h.Run();
    CloseHandle(server);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(r.failures.size(), 2u);
    const std::string why = "it is not a regular file (a pipe, socket or device)";
    EXPECT_EQ(r.failures[0].file, pipe);
    EXPECT_EQ(r.failures[0].reason, why);
    EXPECT_EQ(r.failures[1].file, "NUL");
    EXPECT_EQ(r.failures[1].reason, why);
    EXPECT_EQ(r.mailboxesFailed, 2);
}
#else
TEST(SpecialFiles, PipesAndDevicesAreRefusedWithoutWaiting) {
    TempDir in, out;
    const fs::path fifo = in.path() / "pipe.mbox";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // Should the run wait for a writer, this one unblocks it after a while so the
    // test fails instead of hanging.
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 100 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!finished) {
            int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    HookHost h = EmlHost(out, {fifo.string(), "/dev/zero", "/dev/null"});
    RunReport r = h.Run();
    finished = true;
    watchdog.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(r.failures.size(), 3u);
    const std::string why = "it is not a regular file (a pipe, socket or device)";
    EXPECT_EQ(r.failures[0].file, fifo.string());
    EXPECT_EQ(r.failures[0].reason, why);
    EXPECT_EQ(r.failures[1].file, "/dev/zero");
    EXPECT_EQ(r.failures[1].reason, why);
    EXPECT_EQ(r.failures[2].file, "/dev/null");
    EXPECT_EQ(r.failures[2].reason, why);
    EXPECT_EQ(r.mailboxesFailed, 3);
    ExpectCompletionNaming(r, "/dev/zero: " + why);
}
#endif

TEST(SpecialFiles, FilesOfNulBytesAndEmptyFilesAreNotMailboxes) {
    // No separator line first: no message, no output folder, and the file is named
    // as not a mailbox, an empty one too.
    TempDir in, out;
    // Not "nul.mbox": on Windows that name is the NUL device.
    const fs::path nul = in.path() / "zeros.mbox", empty = in.path() / "empty.mbox";
    WriteFile(nul, std::string(3 * InputFile::kBlockSize + 5, '\0'));
    WriteFile(empty, "");
    HookHost h = EmlHost(out, {nul.string(), empty.string()});
    RunReport r = h.Run();
    ASSERT_EQ(r.failures.size(), 2u);
    EXPECT_EQ(r.failures[0].file, nul.string());
    EXPECT_EQ(r.failures[0].reason, kNotAMailbox);
    EXPECT_EQ(r.failures[1].file, empty.string());
    EXPECT_EQ(r.failures[1].reason, "not a mailbox: the file is empty");
    EXPECT_EQ(r.mailboxesConverted, 0);
    EXPECT_EQ(r.mailboxesFailed, 2);
    EXPECT_TRUE(r.nothingToConvert());
    EXPECT_TRUE(fs::is_empty(out.path()));
    ExpectCompletionNaming(r, nul.string() + ": " + kNotAMailbox);
}

TEST(SpecialFiles, TwoGigabyteLineWithoutALineEndIsNamedWithoutBeingReadThrough) {
    // A sparse file: 2 GiB of NUL bytes after text that is not a separator, once
    // with no line end at all and once after an LF. Its first line tells it is no
    // mailbox; the run names the file and ends.
    for (bool lf : {false, true}) {
        TempDir in, out;
        const fs::path big = in.path() / "big.mbox";
        WriteFile(big, lf ? "no separator here\n" : "no separator here");
        fs::resize_file(big, (uint64_t(2) << 30) + 17);
        const auto start = std::chrono::steady_clock::now();
        HookHost h = EmlHost(out, {big.string()});
        RunReport r = h.Run();
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0].reason, kNotAMailbox);
        EXPECT_EQ(r.messagesConverted, 0);
        EXPECT_TRUE(FilesIn(OutputFolder(out.path(), big)).empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(300));
    }
}
