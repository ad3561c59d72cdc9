// Outputs that cannot be written (a full disk: the run stops at the first write that
// finds it) and mailboxes given twice (read once): only complete files and stores are
// left, and the report counts only what is there.
#include <gtest/gtest.h>

#include "FaultHelpers.h"
#include "conversion/ConversionRun.h"
#include "summary/RunSummary.h"
#ifdef BV_HAVE_PST_VALIDATE
#include "PstValidate.h"
#endif

using namespace bv::conversion;
using namespace bv::summary;
using namespace bv::faults;
using bv::testing::ReferenceSplit;
using bv::testing::TempDir;
using bv::testing::TestHost;
using bv::testing::WriteFile;

namespace {

bool Mentions(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

const std::string kDiskFull = "the disk is full (No space left on device); the conversion stopped there";

// Every file below `dir`, relative, sorted.
std::vector<std::string> Tree(const fs::path& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (!e.is_directory()) out.push_back(fs::relative(e.path(), dir).string());
    std::sort(out.begin(), out.end());
    return out;
}

#ifdef BV_HAVE_PST_VALIDATE
// A store that validates without errors; returns its message count.
uint64_t ValidStoreMessages(const fs::path& pst) {
    bv::pstcheck::Result r = bv::pstcheck::ValidatePstFile(pst.string());
    std::string errors;
    for (auto& f : r.findings)
        if (f.severity == bv::pstcheck::Severity::Error) errors += bv::pstcheck::FormatFinding(f) + "\n";
    EXPECT_EQ(r.summary.errors, 0u) << pst << "\n" << errors;
    EXPECT_FALSE(r.summary.fatal) << pst;
    return r.summary.messages;
}
#endif

}  // namespace

// ---- The disk fills up ----

TEST(DiskFull, EmlRunStopsAtTheFirstFailedWriteAndLeavesCompleteFiles) {
    SmallDisk disk(1024);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    TempDir in;
    const fs::path a = in.path() / "a.mbox";
    const std::string box = MakeMailbox(30, 60000, false);  // about 1.8 MB
    WriteFile(a, box);
    const auto ref = ReferenceSplit(box, MboxLineEnds::Lf);
    TestHost h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = disk.path().string();
    h.options.inputs = {a.string()};
    RunReport r = h.Run();

    auto files = FilesIn(OutputFolder(disk.path(), a));
    ASSERT_FALSE(files.empty());
    ASSERT_LT(files.size(), ref.size());
    for (auto& [name, text] : files) {
        size_t n = std::stoul(name.substr(6));
        EXPECT_EQ(name, "email-" + std::to_string(n) + ".eml");
        EXPECT_EQ(text, ref.at(n - 1)) << name;  // complete, never cut
    }
    // The run stopped at the first write that found the disk full: one failure, for
    // a file that is not there.
    EXPECT_TRUE(r.diskFull());
    EXPECT_EQ(r.messagesConverted, int64_t(files.size()));
    EXPECT_GE(r.messagesFailed, 1);
    EXPECT_LE(r.messagesConverted + r.messagesFailed, int64_t(ref.size()));
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].reason, kDiskFull);
    EXPECT_EQ(r.failures[0].kind, FailureKind::DiskFull);
    EXPECT_EQ(r.endedBy->file, r.failures[0].file);
    EXPECT_EQ(fs::path(r.failures[0].file).parent_path(), OutputFolder(disk.path(), a));
    EXPECT_FALSE(files.count(fs::path(r.failures[0].file).filename().string())) << r.failures[0].file;
    EXPECT_EQ(r.mailboxesFailed, 1);
    const std::string text = CompletionText(r, false);
    EXPECT_TRUE(Mentions(text, "Messages not converted: " + std::to_string(r.messagesFailed) + "."));
    EXPECT_TRUE(Mentions(text, r.failures[0].file + ": " + kDiskFull)) << text;
}

#ifdef BV_HAVE_PST_VALIDATE
TEST(DiskFull, StoreThatCannotBeFinishedIsNotLeftAndIsTheOneFailure) {
    // One store for all, and one store per mailbox where the second does not fit.
    for (bool single : {true, false}) {
        SCOPED_TRACE(single ? "single store" : "store per mailbox");
        SmallDisk disk(1536);
        if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
        TempDir in;
        const fs::path small = in.path() / "small.mbox", big = in.path() / "big.mbox";
        WriteFile(small, MakeMailbox(3, 2000, false));
        WriteFile(big, MakeMailbox(40, 60000, false));  // about 2.4 MB of text
        TestHost h;
        h.options.kind = OutputKind::Pst;
        h.options.singleStore = single;
        h.options.destination = disk.path().string();
        h.options.inputs = {small.string(), big.string()};
        RunReport r = h.Run();

        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.diskFull());
        // One failure: the store that found the disk full.
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0].reason, kDiskFull);
        EXPECT_EQ(r.failures[0].kind, FailureKind::DiskFull);
        EXPECT_EQ(r.failures[0].file.substr(r.failures[0].file.size() - 4), ".pst");
        // No half-written store and no temporary file stay behind.
        std::vector<std::string> left = Tree(disk.path());
        for (auto& name : left) EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
        if (single) {
            EXPECT_TRUE(left.empty()) << left.front();
            EXPECT_EQ(r.messagesConverted, 0);
            EXPECT_EQ(r.mailboxesConverted, 0);
            EXPECT_GE(r.messagesFailed, 3);
        } else {
            ASSERT_EQ(left, std::vector<std::string>{"small.pst"});
            EXPECT_EQ(ValidStoreMessages(disk.path() / "small.pst"), 3u);
            EXPECT_EQ(r.failures[0].file, (disk.path() / "big.pst").string());
            EXPECT_EQ(r.messagesConverted, 3);
            EXPECT_EQ(r.mailboxesConverted, 1);
            EXPECT_GE(r.messagesFailed, 1);
        }
        EXPECT_EQ(r.mailboxesFailed, single ? 2 : 1);
        EXPECT_FALSE(Mentions(CompletionText(r, true), "successfully"));
    }
}
#endif

TEST(DiskFull, MsgFilesAreCompleteOrAbsent) {
    SmallDisk disk(1024);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    TempDir in;
    const fs::path a = in.path() / "a.mbox";
    WriteFile(a, MakeMailbox(30, 60000, false));
    TestHost h;
    h.options.kind = OutputKind::Msg;
    h.options.destination = disk.path().string();
    h.options.inputs = {a.string()};
    RunReport r = h.Run();
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.diskFull());
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].reason, kDiskFull);
    auto files = FilesIn(OutputFolder(disk.path(), a));
    EXPECT_EQ(r.messagesConverted, int64_t(files.size()));
    EXPECT_LE(r.messagesConverted + r.messagesFailed, 30);
    for (auto& [name, data] : files) {
        // A compound file's header, and a size that is a whole number of sectors.
        EXPECT_EQ(data.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) << name;
        EXPECT_EQ(data.size() % 512, 0u) << name;
    }
    for (auto& name : Tree(disk.path())) EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
}

// ---- A mailbox given twice ----

TEST(MailboxGivenTwice, IsReadOnce) {
    TempDir in, out;
    const fs::path a = in.path() / "a.mbox";
    const std::string box = MakeMailbox(4, 100, false);
    WriteFile(a, box);
    TestHost h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = out.str();
    h.options.inputs = {a.string(), a.string()};
    RunReport r = h.Run();
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.mailboxesConverted, 1);
    EXPECT_EQ(r.messagesConverted, 4);
    EXPECT_EQ(FilesIn(OutputFolder(out.path(), a)), EmlFiles(ReferenceSplit(box, MboxLineEnds::Lf), 4));
    EXPECT_EQ(bv::testing::ReadFile(a), box);  // the input is untouched
}

#ifdef BV_HAVE_PST_VALIDATE
TEST(MailboxGivenTwice, StoresHoldItsMessagesOnce) {
    for (bool single : {true, false}) {
        TempDir in, out;
        const fs::path a = in.path() / "a.mbox";
        WriteFile(a, MakeMailbox(4, 100, false));
        TestHost h;
        h.options.kind = OutputKind::Pst;
        h.options.singleStore = single;
        h.options.destination = out.str();
        h.options.inputs = {a.string(), (in.path() / "." / "a.mbox").string()};
        RunReport r = h.Run();
        EXPECT_TRUE(r.ok()) << (r.failures.empty() ? "" : r.failures[0].reason);
        EXPECT_EQ(r.messagesConverted, 4);
        std::vector<std::string> stores = Tree(out.path());
        ASSERT_EQ(stores.size(), 1u);
        if (!single) {
            EXPECT_EQ(stores[0], "a.pst");
        }
        EXPECT_EQ(ValidStoreMessages(out.path() / stores[0]), 4u);
    }
}
#endif
