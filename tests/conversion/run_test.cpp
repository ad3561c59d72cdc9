#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <chrono>
#include <thread>

#include "TestHost.h"
#include "conversion/ConversionRun.h"
#include "summary/RunSummary.h"
#include "conversion/PathHelpers.h"
#include "conversion/StoreName.h"

using namespace bv::conversion;
using namespace bv::summary;
using bv::testing::ReadFile;
using bv::testing::TempDir;
using bv::testing::TestHost;
using bv::testing::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kStars(75, '*');
const std::string kEmlDone = kStars + "\r\nYour messages from Brimvault files has been successfully exported.\r\n" + kStars + "\r\n";

// The output folder of an input path under a destination: the input without its root.
fs::path OutputFolder(const fs::path& dest, const fs::path& input) { return dest / input.relative_path(); }

// Everything below `dir` (files and folders), relative, sorted.
std::vector<std::string> Tree(const fs::path& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (!e.is_directory() || fs::is_empty(e.path())) out.push_back(fs::relative(e.path(), dir).generic_string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(Run, EmlRunWritesEveryMessageUnderTheMirroredFolder) {
    TempDir in, out;
    fs::path anna = in.path() / "Backups" / "anna.mbox";
    fs::path bob = in.path() / "bob.MBOX";
    WriteFile(anna, "From a@x Mon Dec  7 08:00:00 2026\r\nSubject: 1\r\n\r\nx\r\n"
                    "From b@x Mon Dec  7 08:00:01 2026\r\nSubject: 2\r\n\r\ny\r\n"
                    "From c@x Mon Dec  7 08:00:02 2026\r\nSubject: 3\r\n\r\nz\r\n");
    WriteFile(bob, "From a\nSubject: b1\n\nbody\n");
    TestHost h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = out.str();  // no trailing separator: the run adds it
    h.options.inputs = {"  " + anna.string() + " ", bob.string()};
    RunReport r = h.Run();

    fs::path annaOut = OutputFolder(out.path(), anna);
    EXPECT_EQ(ReadFile(annaOut / "email-3.eml"), "From c@x Mon Dec  7 08:00:02 2026\r\nSubject: 3\r\n\r\nz\r\n");
    EXPECT_TRUE(fs::exists(annaOut / "email-1.eml"));
    EXPECT_FALSE(fs::exists(annaOut / "email-4.eml"));
    EXPECT_EQ(ReadFile(OutputFolder(out.path(), bob) / "email-1.eml"), "From a\r\nSubject: b1\r\n\r\nbody\r\n");

    EXPECT_EQ(h.progressCurrent, (std::vector<std::string>{"Mailbox 1 (of 2) ", "Mailbox 2 (of 2) "}));
    EXPECT_EQ(h.immFile, (std::vector<std::string>{"anna.mbox", "bob.MBOX"}));
    EXPECT_EQ(h.progress.back(), "Saved 1 Email Messages...");
    EXPECT_EQ(h.progress.at(2), "Saved 3 Email Messages...");
    EXPECT_EQ(CompletionText(r, false),
              kEmlDone + "Converted: 2 mailboxes, 4 messages.\r\nDestination: " + r.destination + "\r\n");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.messagesConverted, 4);
    EXPECT_EQ(r.mailboxesConverted, 2);
    EXPECT_EQ(r.destination, out.str() + kPathSeparator);
}

TEST(Run, EmlxFilesAreNamedAndLaidOutForAppleMail) {
    TempDir in, out;
    fs::path box = in.path() / "m.mbox";
    WriteFile(box, "From a\r\nSubject: s\r\n\r\nbody\r\n");
    TestHost h;
    h.options.kind = OutputKind::Emlx;
    h.options.destination = out.str() + "/";
    h.options.inputs = {box.string()};
    h.Run();
    std::string file = ReadFile(OutputFolder(out.path(), box) / "email-1.emlx");
    EXPECT_EQ(file.substr(0, 11), "17        \n");
    EXPECT_EQ(file.substr(11, 17), "Subject: s\n\nbody\n");
    EXPECT_EQ(file.substr(28, 6), "<?xml ");
}

TEST(Run, NoMailboxAmongTheInputsIsNothingToConvertAndNoSuccess) {
    TempDir in, out;
    fs::path notes = in.path() / "notes.txt";
    WriteFile(notes, "Shopping list\nmilk\nFrom the bakery: bread\n");
    for (bool single : {false, true}) {
        for (auto inputs : {std::vector<std::string>{"  "}, std::vector<std::string>{}, std::vector<std::string>{notes.string()}}) {
            TestHost h;
            h.options.kind = OutputKind::Pst;
            h.options.singleStore = single;
            h.options.destination = out.str();
            h.options.inputs = inputs;  // the window's empty list: one empty row
            RunReport r = h.Run();
            EXPECT_TRUE(r.nothingToConvert());
            EXPECT_FALSE(r.ok());
            EXPECT_TRUE(fs::is_empty(out.path())) << "no store, no folder";
            const std::string text = CompletionText(r, true);
            EXPECT_EQ(text.find("successfully"), std::string::npos) << text;
            EXPECT_EQ(text.rfind("Nothing to convert: there is no mailbox among the listed files.\r\n", 0), 0u) << text;
            EXPECT_EQ(text.find("not a mailbox") != std::string::npos, inputs.size() == 1 && inputs[0] == notes.string());
        }
    }
}

TEST(Run, FailuresAreReportedNotHidden) {
    TempDir in, out;
    fs::path good = in.path() / "good.mbox";
    WriteFile(good, "From a\nx\n");
    TestHost h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = out.str();
    h.options.inputs = {(in.path() / "missing.mbox").string(), in.str(), good.string()};
    RunReport r = h.Run();
    const std::string text = CompletionText(r, false);
    EXPECT_EQ(text.find("successfully"), std::string::npos);
    EXPECT_NE(text.find("What failed:\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("missing.mbox: cannot open the file"), std::string::npos) << text;
    EXPECT_NE(text.find("Converted: 1 of 3 mailboxes, 1 messages."), std::string::npos) << text;
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.mailboxesFailed, 2);
    EXPECT_EQ(r.messagesConverted, 1);
    EXPECT_TRUE(fs::exists(OutputFolder(out.path(), good) / "email-1.eml"));
}

TEST(Run, UnwritableOutputFolderIsOneFailurePerMailbox) {
    TempDir in, out;
    fs::path box = in.path() / "m.mbox";
    WriteFile(box, "From a\nx\nFrom b\ny\n");
    // A file where the mailbox's output folder has to go.
    WriteFile(OutputFolder(out.path(), box), "in the way");
    TestHost h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = out.str();
    h.options.inputs = {box.string()};
    RunReport r = h.Run();
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].reason.find("cannot create the output folder"), std::string::npos);
    EXPECT_EQ(r.messagesConverted, 0);
}

// Sorting by labels into files: a label folder that cannot be made (a file is in its
// way) fails only the messages bound for it; the others land in their folders with
// their numbers, and the completion text counts the messages per folder.
TEST(Run, ByLabelFolderThatCannotBeMadeFailsOnlyItsMessages) {
    for (OutputKind kind : {OutputKind::Eml, OutputKind::Emlx, OutputKind::Msg}) {
        SCOPED_TRACE(int(kind));
        TempDir in, out;
        fs::path box = in.path() / "m.mbox";
        WriteFile(box, "From a\nSubject: 1\nX-Brimvault-Labels: Trash\n\nx\n"
                       "From b\nSubject: 2\nX-Brimvault-Labels: Work/Projects,Unread\n\ny\n"
                       "From c\nSubject: 3\n\nz\n"
                       "From d\nSubject: 4\nKeywords: Work/Projects\n\nw\n");
        const fs::path folder = OutputFolder(out.path(), box);
        WriteFile(folder / "Deleted Items", "in the way");
        TestHost h;
        h.options.kind = kind;
        h.options.byLabel = true;
        h.options.destination = out.str();
        h.options.inputs = {box.string()};
        RunReport r = h.Run();

        const std::string ext = kind == OutputKind::Eml ? ".eml" : kind == OutputKind::Emlx ? ".emlx" : ".msg";
        const std::string stem = kind == OutputKind::Msg ? "Email-" : "email-";
        EXPECT_EQ(Tree(folder), (std::vector<std::string>{"Archive/" + stem + "3" + ext, "Deleted Items",
                                                          "Work/Projects/" + stem + "2" + ext,
                                                          "Work/Projects/" + stem + "4" + ext}));
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0].file, (folder / "Deleted Items").string());
        EXPECT_EQ(r.failures[0].reason, "cannot create the output folder");
        EXPECT_EQ(r.messagesConverted, 3);
        EXPECT_EQ(r.messagesFailed, 1);
        EXPECT_EQ(r.messagesPerFolder, (std::map<std::string, int64_t>{{"Archive", 1}, {"Work/Projects", 2}}));
        const std::string text = CompletionText(r, false);
        EXPECT_NE(text.find("\r\nMessages per folder:\r\nFolder         Messages\r\nArchive               1\r\n"
                            "Work/Projects         2\r\n"),
                  std::string::npos)
            << text;
        EXPECT_EQ(CompletionText(r, false, false).find("Messages per folder"), std::string::npos);
    }
}

TEST(Run, ManyFailuresAreListedUpToTwenty) {
    RunReport r;
    r.inputsFound = 1;
    for (int i = 0; i < 25; ++i) r.failures.push_back({"f" + std::to_string(i), "bad"});
    std::string text = CompletionText(r, false);
    EXPECT_NE(text.find("f19: bad"), std::string::npos);
    EXPECT_EQ(text.find("f20: bad"), std::string::npos);
    EXPECT_NE(text.find("... and 5 more."), std::string::npos);
}

TEST(Run, PstCompletionText) {
    RunReport r;
    r.inputsFound = r.mailboxesConverted = 1;
    r.messagesConverted = 12;
    r.destination = "D:\\Out\\";
    r.storeFiles = {"D:\\Out\\Brimvault6.12.26 8.37.05.pst"};
    const std::string lead =
        kStars + "\r\nYour messages from Brimvault files has been successfully exported to Outlook (.pst) file.\r\n" +
        kStars + "\r\nStart Outlook and open converted pst file by clicking File -> Open -> Outlook Data File. And it all done !" +
        "\r\nConverted: 1 mailboxes, 12 messages.\r\n";
    EXPECT_EQ(CompletionText(r, true), lead + "Store: D:\\Out\\Brimvault6.12.26 8.37.05.pst\r\nDestination: D:\\Out\\\r\n");
    // A run into the store of an earlier run says so; contacts and calendars are counted apart.
    r.storesAddedTo = r.storeFiles;
    r.itemFilesConverted = 2;
    r.itemsConverted = 21;
    r.messagesAlreadyThere = 3;
    EXPECT_EQ(CompletionText(r, true),
              kStars + "\r\nYour messages from Brimvault files has been successfully exported to Outlook (.pst) file.\r\n" +
                  kStars + "\r\nStart Outlook and open converted pst file by clicking File -> Open -> Outlook Data File. And it all done !" +
                  "\r\nConverted: 1 mailboxes, 12 messages; 2 contacts and calendar files, 21 contacts, events and tasks.\r\n"
                  "Already there, so not added again: 3 messages.\r\n"
                  "Messages were added to the store of an earlier run: D:\\Out\\Brimvault6.12.26 8.37.05.pst\r\n"
                  "Destination: D:\\Out\\\r\n");
}

TEST(Run, StoreThatCannotBeCreatedTakesTheStoreErrorPath) {
    TempDir in, out;
    fs::path box = in.path() / "m.mbox";
    WriteFile(box, "From a\nx\n");
    fs::path notAFolder = out.path() / "file";
    WriteFile(notAFolder, "x");
    for (bool single : {true, false}) {
        TestHost h;
        h.options.kind = OutputKind::Pst;
        h.options.singleStore = single;
        h.options.destination = notAFolder.string();
        h.options.inputs = {box.string(), box.string()};
        RunReport r = h.Run();
        EXPECT_TRUE(r.storeError());
        EXPECT_FALSE(r.endedBy->reason.empty());
        EXPECT_EQ(r.mailboxesConverted + r.mailboxesFailed, 0);
        // The run ends at the store it could not open, made for the first mailbox.
        EXPECT_EQ(h.progressCurrent.size(), 1u);
        // The cause leads, in plain words: which file and why; no mail client is named.
        const std::string store = (notAFolder / (single ? "Brimvault" : "m.pst")).string();
        EXPECT_EQ(r.endedBy->reason.rfind("cannot create the store " + store, 0), 0u) << r.endedBy->reason;
#ifndef _WIN32  // Windows words it its own way ("The system cannot find the path specified")
        EXPECT_EQ(r.endedBy->reason.substr(r.endedBy->reason.size() - 17), ": Not a directory") << r.endedBy->reason;
#endif
        const std::string text = StoreErrorText(r.endedBy->reason);
        EXPECT_EQ(text, "C" + r.endedBy->reason.substr(1) + ".\r\nThe conversion stopped there; the mailboxes "
                        "converted before it keep their output.");
        EXPECT_EQ(text.find("Outlook"), std::string::npos);
        EXPECT_EQ(text.find("install"), std::string::npos);
    }
}

// A mailbox whose name is as long as a file name may be (its store's file name and
// the store's temporary name would not fit), one whose store cannot be opened (a file
// that is no store stands under its name), then an ordinary one: each store error costs
// its own mailbox only. The long name's store is shortened, keeps its beginning and
// stays apart from another long name that begins alike; a second run finds it again.
TEST(Run, StoreErrorOfOneMailboxCostsThatMailboxOnly) {
    TempDir in, out;
    const std::string longName(240, 'L');
    const std::vector<fs::path> boxes = {in.path() / (longName + "-one.mbox"), in.path() / (longName + "-two.mbox"),
                                         in.path() / "taken.mbox", in.path() / "plain.mbox"};
    for (const fs::path& box : boxes) WriteFile(box, "From a\nSubject: s\n\nx\n");
    WriteFile(out.path() / "taken.pst", "not a store");
    for (int run = 0; run < 2; ++run) {
        TestHost h;
        h.options.kind = OutputKind::Pst;
        h.options.destination = out.str();
        for (const fs::path& box : boxes) h.options.inputs.push_back(box.string());
        RunReport r = h.Run();
        EXPECT_FALSE(r.storeError());
        EXPECT_EQ(r.mailboxesConverted, 3);
        EXPECT_EQ(r.mailboxesFailed, 1);
        EXPECT_EQ(r.messagesConverted, run == 0 ? 3 : 0);
        EXPECT_EQ(r.messagesAlreadyThere, run == 0 ? 0 : 3);
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0].file, (out.path() / "taken.pst").string());
    }
    std::vector<std::string> stores;
    for (const std::string& name : Tree(out.path()))
        if (name != "taken.pst") stores.push_back(name);
    ASSERT_EQ(stores.size(), 3u);  // nothing temporary left
    EXPECT_EQ(stores.back(), "plain.pst");
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_LE(stores[i].size() + std::string(" (99)").size(), 255u) << stores[i];
        EXPECT_EQ(stores[i].substr(0, 200), longName.substr(0, 200));
    }
    EXPECT_NE(stores[0], stores[1]);
}

// The share of the input read: the sum of the distinct inputs' sizes as the total,
// a done count that only grows, at most about every 50 ms, and all of it at the end.
TEST(Run, BytesReadTellsTheShareOfTheInputOverAllMailboxes) {
    struct Recorder : TestHost {
        struct Call {
            uint64_t done, total;
            std::chrono::steady_clock::time_point at;
        };
        std::vector<Call> calls;
        void BytesRead(uint64_t done, uint64_t total) override {
            calls.push_back({done, total, std::chrono::steady_clock::now()});
        }
        void MessageWritten(int32_t number) override {
            TestHost::MessageWritten(number);
            if (number % 25 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a slow disk
        }
    };
    TempDir in, out;
    const fs::path a = in.path() / "a.mbox", b = in.path() / "b.mbox", notes = in.path() / "notes.txt";
    std::string box;
    for (int i = 0; i < 1500; ++i) box += "From a\nSubject: " + std::to_string(i) + "\n\n" + std::string(500, 'x') + "\n";
    WriteFile(a, box);
    WriteFile(b, box.substr(0, box.size() / 3));
    WriteFile(notes, "Shopping list\n");
    const uint64_t total = fs::file_size(a) + fs::file_size(b) + fs::file_size(notes);
    Recorder h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = out.str();
    h.options.inputs = {a.string(), notes.string(), b.string(), (in.path() / "." / "a.mbox").string()};
    h.Run();
    ASSERT_GE(h.calls.size(), 3u);
    for (size_t i = 0; i < h.calls.size(); ++i) {
        EXPECT_EQ(h.calls[i].total, total);
        if (i == 0) continue;
        EXPECT_GE(h.calls[i].done, h.calls[i - 1].done);
        if (i + 1 < h.calls.size()) {
            EXPECT_GE(h.calls[i].at - h.calls[i - 1].at, std::chrono::milliseconds(45));
        }
    }
    EXPECT_EQ(h.calls.back().done, total);
    EXPECT_TRUE(std::any_of(h.calls.begin(), h.calls.end(), [&](auto& c) { return c.done > 0 && c.done < fs::file_size(a); }))
        << "the share moves within one mailbox";
}

TEST(Run, StopRequestedEndsAfterTheMessageInHand) {
    TempDir in, out;
    fs::path box = in.path() / "m.mbox";
    std::string content;
    for (int i = 0; i < 50; ++i) content += "From a\nmessage " + std::to_string(i) + "\n";
    WriteFile(box, content);
    TestHost h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = out.str();
    h.options.inputs = {box.string(), box.string()};
    h.stopAfterMessages = 3;
    RunReport r = h.Run();
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.messagesConverted, 3);
    EXPECT_EQ(h.progressCurrent.size(), 1u);  // the second mailbox was not started
    // Every file that exists is complete.
    for (auto& e : fs::directory_iterator(OutputFolder(out.path(), box))) {
        std::string text = ReadFile(e.path());
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }
}

TEST(Run, PathsThatClimbOutOfTheDestinationStayInside) {
    TempDir in, out;
    fs::path box = in.path() / "m.mbox";
    WriteFile(box, "From a\nx\n");
    TestHost h;
    h.options.kind = OutputKind::Eml;
    h.options.destination = (out.path() / "dest").string();
    // "/../../tmp/x/./m.mbox" names /tmp/x/m.mbox ("C:/../../Temp/x/./m.mbox" on Windows);
    // its mirror must not climb above "dest".
    h.options.inputs = {in.path().root_name().string() + "/../../" + in.path().relative_path().string() + "/./m.mbox"};
    RunReport r = h.Run();
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(fs::exists(out.path() / "dest" / in.path().relative_path() / "m.mbox" / "email-1.eml"));
}

TEST(StoreName, CreationStamp) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_hour = 8;
    t.tm_min = 7;
    t.tm_sec = 5;
    t.tm_isdst = -1;
    EXPECT_EQ(CreationStamp(std::mktime(&t)), "6.12.26 8.7.05");
    t.tm_hour = 18;
    t.tm_min = 37;
    t.tm_mday = 16;
    t.tm_mon = 0;
    EXPECT_EQ(CreationStamp(std::mktime(&t)), "16.1.26 18.37.05");
}

TEST(Run, MsgAndPstRunsLeaveOnlyTheirFilesAndAWarningCountsAsConverted) {
    TempDir in, msgOut, pstOut;
    fs::path box = in.path() / "crowd.mbox";
    std::string to;
    for (int i = 0; i < 2100; ++i) to += (i ? ", " : "") + std::string("r") + std::to_string(i) + "@example.org";
    WriteFile(box, "From a@x Mon Dec  7 08:00:00 2026\nFrom: a@x\nTo: " + to + "\nSubject: crowd\n\nhi\n"
                   "From b@x Mon Dec  7 08:00:01 2026\nFrom: b@x\nTo: c@x\nSubject: small\n\nhi\n");
    TestHost h;
    h.options.kind = OutputKind::Msg;
    h.options.destination = msgOut.str();
    h.options.inputs = {box.string()};
    RunReport r = h.Run();
    const fs::path folder = OutputFolder(msgOut.path(), box);
    // Only the two .msg files: no store, nothing intermediate.
    EXPECT_EQ(Tree(msgOut.path()), (std::vector<std::string>{fs::relative(folder / "Email-1.msg", msgOut.path()).generic_string(),
                                                             fs::relative(folder / "Email-2.msg", msgOut.path()).generic_string()}));
    // The recipients that did not fit are a warning: the message and its mailbox
    // are converted, and the completion text names it.
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.failures.empty());
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].file, (folder / "Email-1.msg").string());
    EXPECT_NE(r.warnings[0].reason.find("only 2048 of its 2100 recipients"), std::string::npos);
    EXPECT_NE(r.warnings[0].reason.find("the whole message is attached as original-message.eml"), std::string::npos);
    EXPECT_EQ(r.mailboxesConverted, 1);
    EXPECT_EQ(r.messagesConverted, 2);
    const std::string text = CompletionText(r, false);
    EXPECT_NE(text.find("Converted: 1 of 1 mailboxes, 2 messages."), std::string::npos) << text;
    EXPECT_NE(text.find("Converted with warnings:\r\n" + r.warnings[0].file + ": converted, but only 2048"),
              std::string::npos) << text;
    EXPECT_EQ(text.find("What failed:"), std::string::npos) << text;

    for (bool single : {false, true}) {
        TempDir out;
        TestHost p;
        p.options.kind = OutputKind::Pst;
        p.options.singleStore = single;
        p.options.destination = out.str();
        p.options.inputs = {box.string()};
        RunReport rp = p.Run();
        EXPECT_TRUE(rp.ok());
        EXPECT_EQ(rp.messagesConverted, 2);
        // The store and nothing else: no mailbox folders.
        const std::vector<std::string> left = Tree(out.path());
        ASSERT_EQ(left.size(), 1u);
        if (single) EXPECT_EQ(left[0].rfind("Brimvault", 0), 0u) << left[0];
        else EXPECT_EQ(left[0], "crowd.pst");
        EXPECT_NE(CompletionText(rp, true).find("successfully exported to Outlook (.pst) file."), std::string::npos);
    }
}

TEST(Run, AStorePastTheSizeLimitIsWrittenInPartsNamedInTheCompletionText) {
    TempDir in, out;
    fs::path box = in.path() / "big.mbox";
    std::string text;
    for (int i = 1; i <= 300; ++i) {
        text += "From a@x Mon Dec  7 08:00:00 2026\nSubject: part message " + std::to_string(i) + "\n\n";
        for (int line = 0; line < 40; ++line) text += "A line of the body of message " + std::to_string(i) + ".\n";
    }
    WriteFile(box, text);
    TestHost h;
    h.options.kind = OutputKind::Pst;
    h.options.singleStore = false;
    h.options.maxPstSize = 1 << 20;
    h.options.destination = out.str();
    h.options.inputs = {box.string()};
    RunReport r = h.Run();
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.messagesConverted, 300);
    ASSERT_GE(r.storeParts.size(), 2u);
    const std::string done = CompletionText(r, true);
    EXPECT_EQ(done.rfind(kStars + "\r\nYour messages from Brimvault files has been successfully exported to Outlook", 0), 0u);
    for (size_t k = 0; k < r.storeParts.size(); ++k) {
        const std::string name = k == 0 ? "big.pst" : "big (" + std::to_string(k + 1) + ").pst";
        EXPECT_EQ(r.storeParts[k], out.str() + kPathSeparator + name);
        EXPECT_NE(done.find(r.storeParts[k] + "\r\n"), std::string::npos) << done;
        EXPECT_LE(fs::file_size(r.storeParts[k]), uint64_t(1) << 20);
    }
    EXPECT_EQ(Tree(out.path()).size(), r.storeParts.size());  // the parts and nothing else
}

// Contacts, appointments and tasks are stored once, as messages are: what a store holds
// already is counted and told apart from what was converted, for items alone or beside mail.
TEST(Run, ItemsAndMessagesAlreadyInTheStoreAreCountedAndTold) {
    TempDir in, out;
    const fs::path cards = in.path() / "family.vcf", calendar = in.path() / "work.ics", box = in.path() / "Inbox.mbox";
    WriteFile(cards, ReadFile(fs::path(BV_TEST_DATA) / "contacts" / "ezvcard-john-doe-1.vcf"));  // six cards
    WriteFile(calendar, ReadFile(fs::path(BV_TEST_DATA) / "calendars" / "vobject-radicale-0827.ics"));  // one series
    WriteFile(box, "From a@x Mon Dec  7 08:00:00 2026\nFrom: a@x\nMessage-ID: <1@x>\nSubject: one\n\nhi\n"
                   "From b@x Mon Dec  7 08:00:01 2026\nFrom: b@x\nMessage-ID: <2@x>\nSubject: two\n\nhi\n");
    // One store for all: every later run adds to the store of the first, whatever second it runs in.
    auto run = [&](std::vector<std::string> inputs) {
        TestHost h;
        h.options.kind = OutputKind::Pst;
        h.options.singleStore = true;
        h.options.destination = out.str();
        h.options.inputs = std::move(inputs);
        return h.Run();
    };
    RunReport first = run({box.string(), cards.string(), calendar.string()});
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.messagesConverted, 2);
    EXPECT_EQ(first.itemsConverted, 7);
    EXPECT_EQ(first.mailboxesConverted, 1);
    EXPECT_EQ(first.itemFilesConverted, 2);
    EXPECT_EQ(first.messagesAlreadyThere, 0);
    EXPECT_TRUE(first.storesAddedTo.empty());
    EXPECT_EQ(CompletionText(first, true).find("already there"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // a run in another second

    // Only items, every one there: the run succeeds and says so.
    RunReport items = run({cards.string(), calendar.string()});
    EXPECT_TRUE(items.ok());
    EXPECT_EQ(items.storesAddedTo, first.storeFiles);
    EXPECT_EQ(items.itemsConverted, 0);
    EXPECT_EQ(items.itemsAlreadyThere, 7);
    EXPECT_NE(CompletionText(items, true).find("\r\nEvery message (7) was already there: nothing needed to be added.\r\n"),
              std::string::npos) << CompletionText(items, true);

    // Items and mail, one card new: it is converted, the rest told apart.
    const fs::path more = in.path() / "more.vcf";
    WriteFile(more, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Someone New\r\nEND:VCARD\r\n");
    RunReport mixed = run({box.string(), cards.string(), calendar.string(), more.string()});
    EXPECT_TRUE(mixed.ok());
    EXPECT_EQ(mixed.itemsConverted, 1);
    EXPECT_EQ(mixed.messagesAlreadyThere, 2);
    EXPECT_EQ(mixed.itemsAlreadyThere, 7);
    EXPECT_NE(CompletionText(mixed, true).find("\r\nAlready there, so not added again: 2 messages, 7 contacts, events and tasks.\r\n"),
              std::string::npos)
        << CompletionText(mixed, true);
    // One store, the first run's, and nothing beside it.
    EXPECT_EQ(Tree(out.path()), std::vector<std::string>{fs::path(first.storeFiles.at(0)).filename().string()});
}
