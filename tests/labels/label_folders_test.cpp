// Label folders in a store (made once, reused by later mailboxes and runs) and the
// per-folder message counts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "conversion/LabelFolders.h"
#include "mailstore/mapi/Message.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/pst/PstStoreSeries.h"
#include "mailstore/pst/messaging/Store.h"
#include "tests/TempFolder.h"

using namespace bv;
using conversion::LabelFolderCounts;
namespace fs = std::filesystem;

namespace {

mailstore::mapi::Message Note(const std::string& subject) {
    mailstore::mapi::Message m;
    m.props.SetString(mailstore::mapi::PR_MESSAGE_CLASS, "IPM.Note");
    m.props.SetString(mailstore::mapi::PR_SUBJECT, subject);
    mailstore::mapi::CompleteMessage(m);
    return m;
}

}  // namespace

TEST(LabelFolders, MadeOnceInAStoreAndReusedByALaterRun) {
    const bv::testing::TempDir temp;
    const fs::path dir = temp.path();
    const fs::path path = dir / "labels.pst";
    fs::remove(path);
    for (const char* run : {"first run", "second run"}) {
        mailstore::pst::PstStoreSeries series((dir / "labels").string(), "labels", 0);
        series.AddFolder("anna");
        series.AddFolder("bert");
        series.Add({"anna", "Work", "Projects"}, series.Prepare(Note(run)));
        series.Add({"anna", "Work", "Projects"}, series.Prepare(Note(run)));
        series.Add({"bert", "Work", "Projects"}, series.Prepare(Note(run)));
        // Names stay as the label has them, characters a file name could not hold included.
        series.Add({"anna", "Bills: 2026?"}, series.Prepare(Note(run)));
        series.Close();
        ASSERT_TRUE(series.TakeFailures().empty());
    }
    auto store = mailstore::pst::Store::OpenOrCreate(path, "labels");
    const auto anna = store->FindFolder(store->IpmSubtree(), "anna");
    const auto bert = store->FindFolder(store->IpmSubtree(), "bert");
    ASSERT_TRUE(anna && bert);
    const auto work = store->FindFolder(*anna, "Work");
    ASSERT_TRUE(work);
    const auto projects = store->FindFolder(*work, "Projects");
    ASSERT_TRUE(projects);
    EXPECT_EQ(store->MessageCount(*projects), 4u);  // one folder for both runs
    EXPECT_EQ(store->MessageCount(*store->FindFolder(*store->FindFolder(*bert, "Work"), "Projects")), 2u);
    EXPECT_EQ(store->MessageCount(*store->FindFolder(*anna, "Bills: 2026?")), 2u);
    store->Close();
}

TEST(LabelFolders, OnDiskMadeBelowTheMailboxFolder) {
    const bv::testing::TempDir temp;
    const fs::path dir = temp.path() / "disk";
    const std::string mailbox = (dir / "Inbox.mbox").string();
    conversion::DiskLabelFolders folders;
    auto projects = folders.FolderFor(mailbox, {"Work", "Projects"});
    ASSERT_TRUE(projects);
    EXPECT_TRUE(fs::is_directory(dir / "Inbox.mbox" / "Work" / "Projects"));
    EXPECT_EQ(folders.FolderFor(mailbox, {"Work", "Projects"}), projects);
    auto odd = folders.FolderFor(mailbox, {"..", "Bills: 2026?"});
    ASSERT_TRUE(odd);
    EXPECT_TRUE(fs::is_directory(dir / "Inbox.mbox" / "_" / "Bills_ 2026_"));
    // Nothing was made beside the mailbox folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A folder that cannot be made (a file stands in its way) is no path.
    std::ofstream(dir / "Inbox.mbox" / "Blocked").put('x');
    EXPECT_FALSE(folders.FolderFor(mailbox, {"Blocked", "Sub"}));
}

TEST(LabelFolders, CountsAndTheirTable) {
    LabelFolderCounts counts;
    EXPECT_EQ(counts.Table(), "");
    counts.Add({"Inbox"});
    counts.Add({"Work", "Projects"});
    counts.Add({"Inbox"});
    counts.Add({"Reçus"});
    EXPECT_EQ(counts.Counts().at("Inbox"), 2);
    EXPECT_EQ(counts.Counts().at("Work/Projects"), 1);
    EXPECT_EQ(counts.Table(),
              "Folder         Messages\n"
              "Inbox                 2\n"
              "Reçus                 1\n"
              "Work/Projects         1\n");
}

// A message sorted before, met again with other labels: the folder over the labels of
// both, found from what the store kept (its label folder and categories).
TEST(LabelFolders, MetAgainTheFolderOverTheLabelsOfBoth) {
    using conversion::LabelFolderMetAgain;
    using V = std::vector<std::string>;
    // A folder label beats a user label, and the better folder label stays.
    EXPECT_EQ(LabelFolderMetAgain({"Receipts"}, {"Receipts"}, {"Work", "Trash"}), V{"Deleted Items"});
    EXPECT_EQ(LabelFolderMetAgain({"Sent Items"}, {}, {"Inbox", "Work"}), std::nullopt);
    EXPECT_EQ(LabelFolderMetAgain({"Inbox"}, {"Family"}, {"Sent"}), V{"Sent Items"});
    // No folder label: the first user label of the first copy stays first; "Archive"
    // (none) gives way to one.
    EXPECT_EQ(LabelFolderMetAgain({"Work", "Projects"}, {"Work/Projects"}, {"Family"}), std::nullopt);
    EXPECT_EQ(LabelFolderMetAgain({"Archive"}, {"Important"}, {"Family", "Unread"}), V{"Family"});
    // A user label named like a folder label's folder is taken for what chose it.
    EXPECT_EQ(LabelFolderMetAgain({"Sent Items"}, {"Sent Items"}, {"Inbox"}), V{"Inbox"});
    // Not where its labels would put it (not sorted by them): left where it is.
    EXPECT_EQ(LabelFolderMetAgain({"Misc"}, {"Work"}, {"Trash"}), std::nullopt);
    // Folder names are compared as the store does, without regard to case.
    EXPECT_EQ(LabelFolderMetAgain({"work"}, {"Work"}, {"Family"}), std::nullopt);
}
