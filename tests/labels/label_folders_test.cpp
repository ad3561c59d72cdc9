// Label folders in a store (made once, reused by later mailboxes and runs) and the
// per-folder message counts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "conversion/LabelFolders.h"
#include "mailstore/mapi/Message.h"

using namespace bv;
using conversion::LabelFolderCounts;
using conversion::StoreLabelFolders;
namespace fs = std::filesystem;

namespace {

mapi::Message Note(const std::string& subject) {
    mapi::Message m;
    m.props.SetString(mapi::PR_MESSAGE_CLASS, "IPM.Note");
    m.props.SetString(mapi::PR_SUBJECT, subject);
    return m;
}

}  // namespace

TEST(LabelFolders, MadeOnceAndReusedByALaterRun) {
    const fs::path dir = fs::temp_directory_path() / ("bv_label_folders_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path path = dir / "labels.pst";
    fs::remove(path);

    mailstore::pst::FolderId projects = 0;
    {
        auto store = mailstore::pst::PstStore::OpenOrCreate(path, "labels");
        const auto mailbox = store->AddFolder(store->IpmSubtree(), "anna");
        StoreLabelFolders folders(*store);
        projects = folders.Resolve(mailbox, {"Work", "Projects"});
        EXPECT_EQ(folders.Resolve(mailbox, {"Work", "Projects"}), projects);
        const auto work = folders.Resolve(mailbox, {"Work"});
        EXPECT_EQ(store->FindFolder(work, "Projects"), projects);
        // A second mailbox folder gets its own label folders.
        const auto other = store->AddFolder(store->IpmSubtree(), "bert");
        EXPECT_NE(folders.Resolve(other, {"Work", "Projects"}), projects);
        // Names stay as the label has them, characters a file name could not hold included.
        const auto odd = folders.Resolve(mailbox, {"Bills: 2026?"});
        EXPECT_EQ(store->FindFolder(mailbox, "Bills: 2026?"), odd);
        store->AddMessage(projects, Note("first run"));
        store->Close();
    }
    {
        auto store = mailstore::pst::PstStore::OpenOrCreate(path, "labels");
        const auto mailbox = store->AddFolder(store->IpmSubtree(), "anna");
        StoreLabelFolders folders(*store);
        const auto again = folders.Resolve(mailbox, {"Work", "Projects"});
        store->AddMessage(again, Note("second run"));
        EXPECT_EQ(store->MessageCount(again), 2u);
        store->Close();
    }
    fs::remove_all(dir);
}

TEST(LabelFolders, OnDiskMadeBelowTheMailboxFolder) {
    const fs::path dir = fs::temp_directory_path() / ("bv_label_disk_" + std::to_string(::getpid()));
    fs::remove_all(dir);
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
    fs::remove_all(dir);
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
