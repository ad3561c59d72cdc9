#include <gtest/gtest.h>

#include <filesystem>

#include "TestHost.h"
#include "conversion/ConversionRun.h"
#include "conversion/StoreSetup.h"

using namespace bv::conversion;
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

}  // namespace

TEST(Run, NoOutputKindShowsOnlyTheHint) {
    TestHost h;
    RunReport r = ConversionRun(h).Run();
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].text, "Please select a option to convert file(s).");
    EXPECT_EQ(h.boxes[0].title, "Brimvault Converter");
    EXPECT_EQ(h.boxes[0].icon, MessageIcon::Information);
    EXPECT_TRUE(h.prompts.empty());
    EXPECT_FALSE(r.started);
    EXPECT_TRUE(h.calls.empty());
}

TEST(Run, CancelledPromptChangesNothing) {
    TestHost h;
    h.eml = true;
    ConversionRun(h).Run();
    EXPECT_EQ(h.prompts, std::vector<std::string>{"Choose Folder to Save..."});
    EXPECT_TRUE(h.boxes.empty());
    EXPECT_TRUE(h.eml);
    EXPECT_TRUE(h.calls.empty());
}

TEST(Run, EmlRunWritesEveryMessageUnderTheMirroredFolder) {
    TempDir in, out;
    fs::path anna = in.path() / "Backups" / "anna.mbox";
    fs::path bob = in.path() / "bob.MBOX";
    WriteFile(anna, "From a@x Mon Dec  7 08:00:00 2026\r\nSubject: 1\r\n\r\nx\r\n"
                    "From b@x Mon Dec  7 08:00:01 2026\r\nSubject: 2\r\n\r\ny\r\n"
                    "From c@x Mon Dec  7 08:00:02 2026\r\nSubject: 3\r\n\r\nz\r\n");
    WriteFile(bob, "From a\nSubject: b1\n\nbody\n");
    TestHost h;
    h.eml = true;
    h.folderAnswer = out.str();  // no trailing separator: the run adds it
    h.rows = {"  " + anna.string() + " ", bob.string()};
    RunReport r = ConversionRun(h).Run();

    fs::path annaOut = OutputFolder(out.path(), anna);
    EXPECT_EQ(ReadFile(annaOut / "email-3.eml"), "From c@x Mon Dec  7 08:00:02 2026\r\nSubject: 3\r\n\r\nz\r\n");
    EXPECT_TRUE(fs::exists(annaOut / "email-1.eml"));
    EXPECT_FALSE(fs::exists(annaOut / "email-4.eml"));
    EXPECT_EQ(ReadFile(OutputFolder(out.path(), bob) / "email-1.eml"), "From a\r\nSubject: b1\r\n\r\nbody\r\n");

    EXPECT_EQ(h.progressCurrent, (std::vector<std::string>{"Mailbox 1 (of 2) ", "Mailbox 2 (of 2) "}));
    EXPECT_EQ(h.immFile, (std::vector<std::string>{"anna.mbox", "bob.MBOX"}));
    EXPECT_EQ(h.progress.back(), "Saved 1 Email Messages...");
    EXPECT_EQ(h.progress.at(2), "Saved 3 Email Messages...");
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].text, kEmlDone);
    EXPECT_EQ(h.boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(h.calls, (std::vector<std::string>{"disable", "enable", "clearOptions"}));
    EXPECT_FALSE(h.eml);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.messagesConverted, 4);
    EXPECT_EQ(r.mailboxesConverted, 2);
    EXPECT_EQ(r.destination, out.str() + "/");
}

TEST(Run, EmlxFilesAreNamedAndLaidOutForAppleMail) {
    TempDir in, out;
    fs::path box = in.path() / "m.mbox";
    WriteFile(box, "From a\r\nSubject: s\r\n\r\nbody\r\n");
    TestHost h;
    h.emlx = true;
    h.folderAnswer = out.str() + "/";
    h.rows = {box.string()};
    ConversionRun(h).Run();
    std::string file = ReadFile(OutputFolder(out.path(), box) / "email-1.emlx");
    EXPECT_EQ(file.substr(0, 11), "17        \n");
    EXPECT_EQ(file.substr(11, 17), "Subject: s\n\nbody\n");
    EXPECT_EQ(file.substr(28, 6), "<?xml ");
}

TEST(Run, EmptyListRunsOnceAndReportsSuccess) {
    TempDir out;
    TestHost h;
    h.eml = true;
    h.folderAnswer = out.str();
    RunReport r = ConversionRun(h).Run();
    EXPECT_EQ(h.progressCurrent, std::vector<std::string>{"Mailbox 1 (of 1) "});
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].text, kEmlDone);
    EXPECT_TRUE(r.ok());
}

TEST(Run, FailuresAreReportedNotHidden) {
    TempDir in, out;
    fs::path good = in.path() / "good.mbox";
    WriteFile(good, "From a\nx\n");
    TestHost h;
    h.eml = true;
    h.folderAnswer = out.str();
    h.rows = {(in.path() / "missing.mbox").string(), in.str(), good.string()};
    RunReport r = ConversionRun(h).Run();
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(h.boxes[0].text.find("successfully"), std::string::npos);
    EXPECT_NE(h.boxes[0].text.find("missing.mbox: cannot open the file"), std::string::npos) << h.boxes[0].text;
    EXPECT_NE(h.boxes[0].text.find("Converted: 1 of 3 mailboxes, 1 messages."), std::string::npos) << h.boxes[0].text;
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
    h.eml = true;
    h.folderAnswer = out.str();
    h.rows = {box.string()};
    RunReport r = ConversionRun(h).Run();
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].reason.find("cannot create the output folder"), std::string::npos);
    EXPECT_EQ(r.messagesConverted, 0);
}

TEST(Run, ManyFailuresAreListedUpToTwenty) {
    RunReport r;
    r.started = true;
    for (int i = 0; i < 25; ++i) r.failures.push_back({"f" + std::to_string(i), "bad"});
    std::string text = CompletionText(r, false);
    EXPECT_NE(text.find("f19: bad"), std::string::npos);
    EXPECT_EQ(text.find("f20: bad"), std::string::npos);
    EXPECT_NE(text.find("... and 5 more."), std::string::npos);
}

TEST(Run, PstCompletionText) {
    RunReport r;
    EXPECT_EQ(CompletionText(r, true),
              kStars + "\r\nYour messages from Brimvault files has been successfully exported to Outlook (.pst) file.\r\n" +
                  kStars + "\r\nStart Outlook and open converted pst file by clicking File -> Open -> Outlook Data File. And it all done !");
}

TEST(Run, StoreThatCannotBeCreatedTakesTheStoreErrorPath) {
    TempDir in, out;
    fs::path box = in.path() / "m.mbox";
    WriteFile(box, "From a\nx\n");
    fs::path notAFolder = out.path() / "file";
    WriteFile(notAFolder, "x");
    for (bool msg : {false, true}) {
        TestHost h;
        h.msg = msg;
        h.pst = !msg;
        h.chkEnabled = !msg;
        h.folderAnswer = notAFolder.string();
        h.rows = {box.string()};
        RunReport r = ConversionRun(h).Run();
        ASSERT_EQ(h.boxes.size(), 1u);
        EXPECT_EQ(h.boxes[0].title, "Outlook Error");
        EXPECT_EQ(h.boxes[0].text.rfind("Outlook Session Creation Error !\r\nCheck if Outlook is installed and configured.\r\n"
                                        "For more details visit this link : ", 0), 0u);
        EXPECT_TRUE(r.storeError);
        EXPECT_FALSE(h.msg || h.pst);
        EXPECT_TRUE(h.convertEnabled);
        EXPECT_TRUE(h.progressCurrent.empty());  // no row converted
    }
}

TEST(Run, StopRequestedEndsAfterTheMessageInHand) {
    TempDir in, out;
    fs::path box = in.path() / "m.mbox";
    std::string content;
    for (int i = 0; i < 50; ++i) content += "From a\nmessage " + std::to_string(i) + "\n";
    WriteFile(box, content);
    TestHost h;
    h.eml = true;
    h.folderAnswer = out.str();
    h.rows = {box.string(), box.string()};
    h.stopAfterMessages = 3;
    RunReport r = ConversionRun(h).Run();
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.messagesConverted, 3);
    EXPECT_EQ(h.progressCurrent.size(), 1u);  // the second mailbox was not started
    EXPECT_TRUE(h.boxes.empty());
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
    h.eml = true;
    h.folderAnswer = (out.path() / "dest").string();
    // "/../../tmp/x/./m.mbox" names /tmp/x/m.mbox; its mirror must not climb above "dest".
    h.rows = {"/../../" + in.path().relative_path().string() + "/./m.mbox"};
    RunReport r = ConversionRun(h).Run();
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(fs::exists(out.path() / "dest" / in.path().relative_path() / "m.mbox" / "email-1.eml"));
}

TEST(StoreSetup, CreationStamp) {
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

TEST(Run, MsgAndPstRunsWriteTheirFilesAndNameWhatDidNotFit) {
    TempDir in, out;
    fs::path box = in.path() / "crowd.mbox";
    std::string to;
    for (int i = 0; i < 2100; ++i) to += (i ? ", " : "") + std::string("r") + std::to_string(i) + "@example.org";
    WriteFile(box, "From a@x Mon Dec  7 08:00:00 2026\nFrom: a@x\nTo: " + to + "\nSubject: crowd\n\nhi\n"
                   "From b@x Mon Dec  7 08:00:01 2026\nFrom: b@x\nTo: c@x\nSubject: small\n\nhi\n");
    TestHost h;
    h.msg = true;
    h.folderAnswer = out.str();
    h.rows = {box.string()};
    RunReport r = ConversionRun(h).Run();
    fs::path folder = OutputFolder(out.path(), box);
    EXPECT_TRUE(fs::exists(folder / "Email-1.msg"));
    EXPECT_TRUE(fs::exists(folder / "Email-2.msg"));
    EXPECT_FALSE(fs::exists(folder / "email-1.eml"));  // nothing intermediate is left
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].file, (folder / "Email-1.msg").string());
    EXPECT_NE(r.failures[0].reason.find("only 2048 of its 2100 recipients"), std::string::npos);
    EXPECT_EQ(h.boxes.at(0).icon, MessageIcon::Warning);
    // The temporary store stays behind beside the mailbox folders.
    int temps = 0;
    for (auto& e : fs::directory_iterator(out.path()))
        if (e.path().filename().string().rfind("Temp", 0) == 0 && e.path().extension() == ".pst") ++temps;
    EXPECT_EQ(temps, 1);

    TestHost p;
    p.pst = true;
    p.chkEnabled = true;
    p.chkTicked = false;
    p.folderAnswer = out.str();
    p.rows = {box.string()};
    RunReport rp = ConversionRun(p).Run();
    EXPECT_TRUE(rp.ok());
    EXPECT_EQ(rp.messagesConverted, 2);
    EXPECT_TRUE(fs::exists(out.path() / "crowd.pst"));
    EXPECT_NE(p.boxes.at(0).text.find("successfully exported to Outlook (.pst) file."), std::string::npos);
}
