// What the run records of a failure: its kind, once, and whether it ended the run; and
// how the summary words a report, each line through the reader's words.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "TestHost.h"
#include "conversion/ConversionRun.h"
#include "conversion/RunNames.h"
#include "summary/RunSummary.h"

using namespace bv::conversion;
using bv::testing::TempDir;
using bv::testing::TestHost;
using bv::testing::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kMailbox = "From a\nSubject: s\n\nx\n";

}  // namespace

// Each way an input can fail, set up in a fresh destination: the one failure it costs
// has its kind, and only an unusable destination ends the run.
TEST(RunFailures, EachFailureIsRecordedOnceWithItsKind) {
    struct Case {
        const char* name;
        OutputKind kind;
        bool singleStore;
        std::function<void(const fs::path& box, const fs::path& out)> setUp;
        FailureKind expected;
        bool endsRun;
    };
    const Case cases[] = {
        {"not a mailbox", OutputKind::Eml, false, [](const fs::path& box, const fs::path&) { WriteFile(box, "hello\n"); },
         FailureKind::NotAMailbox, false},
        {"no such file", OutputKind::Eml, false, [](const fs::path&, const fs::path&) {}, FailureKind::InputUnreadable,
         false},
        {"output folder taken by a file", OutputKind::Eml, false,
         [](const fs::path& box, const fs::path& out) {
             WriteFile(box, kMailbox);
             WriteFile(out / MirroredPart(box.string()), "a file");
         },
         FailureKind::OutputFolder, false},
        {"message file taken by a folder", OutputKind::Eml, false,
         [](const fs::path& box, const fs::path& out) {
             WriteFile(box, kMailbox);
             fs::create_directories(out / MirroredPart(box.string()) / "email-1.eml" / "x");
         },
         FailureKind::MessageFailed, false},
        {"no store under the store's name", OutputKind::Pst, false,
         [](const fs::path& box, const fs::path& out) {
             WriteFile(box, kMailbox);
             WriteFile(out / "m.pst", "not a store");
         },
         FailureKind::StoreError, false},
        {"destination a file, one store", OutputKind::Pst, true,
         [](const fs::path& box, const fs::path& out) {
             WriteFile(box, kMailbox);
             fs::remove(out);
             WriteFile(out, "a file");
         },
         FailureKind::DestinationUnusable, true},
        {"destination a file, a store each", OutputKind::Pst, false,
         [](const fs::path& box, const fs::path& out) {
             WriteFile(box, kMailbox);
             fs::remove(out);
             WriteFile(out, "a file");
         },
         FailureKind::DestinationUnusable, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir in, out;
        const fs::path box = in.path() / "m.mbox", dest = out.path() / "dest";
        fs::create_directories(dest);
        c.setUp(box, dest);
        TestHost h;
        h.options.kind = c.kind;
        h.options.singleStore = c.singleStore;
        h.options.destination = dest.string();
        h.options.inputs = {box.string()};
        const RunReport r = h.Run();
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0].kind, c.expected) << r.failures[0].reason;
        EXPECT_FALSE(r.failures[0].reason.empty());
        EXPECT_EQ(bool(r.endedBy), c.endsRun);
        EXPECT_EQ(r.storeError(), c.endsRun);
        EXPECT_FALSE(r.diskFull());
        EXPECT_EQ(r.endedBy ? r.endedBy->reason : r.failures[0].reason, r.failures[0].reason);
        EXPECT_FALSE(r.ok());
    }
}

// The summary's lines go through the reader's words before the counts and names are
// filled in; a name that looks like a placeholder stays as it is.
TEST(RunSummary, EveryLineGoesThroughTheWordsBeforeItIsFilled) {
    const bv::summary::Words brackets = [](const char* english) { return "[" + std::string(english) + "]"; };
    RunReport r;
    r.destination = "/out/%1/";
    r.inputsFound = 2;
    r.mailboxesConverted = 1;
    r.mailboxesFailed = 1;
    r.messagesConverted = 5;
    r.messagesFailed = 2;
    r.messagesAlreadyThere = 3;
    r.storeFiles = {"/out/a.pst"};
    r.failures = {{"/in/b.mbox", "not a mailbox", FailureKind::NotAMailbox}};
    const std::string text = bv::summary::CompletionText(r, true, true, brackets);
    for (const char* line :
         {"[The conversion finished with problems.]\r\n", "[Converted: 1 of 2 mailboxes, 5 messages.]\r\n",
          "[Messages not converted: 2.]\r\n", "[Already there, so not added again: 3 messages.]\r\n",
          "[Store: /out/a.pst]\r\n", "[Destination: /out/%1/]\r\n", "\r\n[What failed:]\r\n/in/b.mbox: not a mailbox\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    // Without words: English, the same lines.
    EXPECT_NE(bv::summary::CompletionText(r, true).find("\r\nConverted: 1 of 2 mailboxes, 5 messages.\r\n"),
              std::string::npos);
    EXPECT_EQ(bv::summary::Say({}, "%2 of %1, 100%", {"a", "b"}), "b of a, 100%");
    EXPECT_EQ(bv::summary::StoreErrorText("cannot open the store x: y", brackets),
              "Cannot open the store x: y.\r\n[The conversion stopped there; the mailboxes converted before it keep "
              "their output.]");
}
