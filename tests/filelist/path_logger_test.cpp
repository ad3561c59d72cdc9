// pathLogger over real temporary folder trees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "conversion/PathHelpers.h"
#include "filelist/PathLogger.h"

namespace fs = std::filesystem;
using bv::filelist::FolderReadError;
using bv::filelist::FolderSource;
using bv::filelist::MakeLocalFolderSource;
using bv::filelist::pathLogger;
using bv::filelist::TextCollection;

namespace {

// The walker lists folders with the platform's separator: "\\" on Windows.
const std::string kSep(1, bv::conversion::kPathSeparator);

class WalkedTree : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("bv_pathlogger_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    void File(const std::string& relative) {
        fs::path p = root_ / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
    }
    void Folder(const std::string& relative) { fs::create_directories(root_ / relative); }
    // The root as the list would hold it: without a final separator.
    std::string Root() const { return root_.string(); }
    // `relative` written with "/"; the list holds the platform's separator.
    std::string Under(std::string relative) const {
        for (char& c : relative)
            if (c == '/') c = bv::conversion::kPathSeparator;
        return Root() + kSep + relative;
    }

    static std::vector<std::string> Items(const std::shared_ptr<TextCollection>& c) { return c->Items(); }
    static std::vector<std::string> Keys(const std::shared_ptr<TextCollection>& c) {
        std::vector<std::string> keys;
        for (size_t i = 1; i <= c->Count(); ++i) keys.push_back(c->Key(i));
        return keys;
    }

    fs::path root_;
};

TEST_F(WalkedTree, FlatFolderGivesItsFilesUnderNumberedKeysWhateverTheirType) {
    File("b.mbox");
    File("a.txt");
    File("no-extension");

    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(Root());

    EXPECT_EQ(Items(walker.pathNames()), std::vector<std::string>{Root() + kSep});
    EXPECT_EQ(Keys(walker.pathNames()), std::vector<std::string>{"K0"});
    EXPECT_EQ(Items(walker.fullFileNames()),
              (std::vector<std::string>{Under("a.txt"), Under("b.mbox"), Under("no-extension")}));
    EXPECT_EQ(Keys(walker.fullFileNames()), (std::vector<std::string>{"K1", "K2", "K3"}));
    EXPECT_EQ(walker.Count(), 4);
    // Full-path mode keeps the other two collections empty.
    EXPECT_EQ(walker.fileNames()->Count(), 0u);
    EXPECT_EQ(walker.pathPointers()->Count(), 0u);
}

TEST_F(WalkedTree, StartFolderWithOrWithoutFinalSeparatorGivesOneSeparator) {
    File("sub/x.mbox");
    for (const std::string& start : {Root(), Root() + "/", Root() + "\\"}) {
        SCOPED_TRACE(start);
        pathLogger walker;
        walker.PathLogInit();
        walker.LogPath(start);
        ASSERT_EQ(walker.pathNames()->Count(), 2u);
        const std::string first = walker.pathNames()->Item(1);
        EXPECT_EQ(first, start.back() == '\\' || start.back() == '/' ? start : start + kSep);
        EXPECT_EQ(walker.pathNames()->Item(2), first + "sub" + kSep);
        EXPECT_EQ(Items(walker.fullFileNames()), std::vector<std::string>{first + "sub" + kSep + "x.mbox"});
    }
}

TEST_F(WalkedTree, WalkIsBreadthFirstAndFolderKeysSkipK1) {
    File("z-top.mbox");
    File("a/a1.mbox");
    File("a/deep/d1.mbox");
    File("b/b1.mbox");
    File("b/b2.mbox");
    File("b/deeper/e1.mbox");
    Folder("c");

    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(Root());

    EXPECT_EQ(Items(walker.pathNames()),
              (std::vector<std::string>{Root() + kSep, Under("a/"), Under("b/"), Under("c/"), Under("a/deep/"),
                                        Under("b/deeper/")}));
    EXPECT_EQ(Keys(walker.pathNames()), (std::vector<std::string>{"K0", "K2", "K3", "K4", "K5", "K6"}));
    // The start folder's file first, then level by level.
    EXPECT_EQ(Items(walker.fullFileNames()),
              (std::vector<std::string>{Under("z-top.mbox"), Under("a/a1.mbox"), Under("b/b1.mbox"),
                                        Under("b/b2.mbox"), Under("a/deep/d1.mbox"), Under("b/deeper/e1.mbox")}));
    EXPECT_EQ(walker.Count(), 7);
}

TEST_F(WalkedTree, SecondModeKeepsNamesPointersAndFullPathsInStep) {
    File("top.mbox");
    File("one/inner.mbox");
    File("one/two/leaf.eml");
    File("one/two/leaf2.eml");

    pathLogger walker;
    walker.PathLogInit();
    walker.fullFileNamesOnly(false);
    EXPECT_FALSE(walker.fullFileNamesOnly());
    walker.LogPath(Root());

    auto names = walker.fileNames();
    auto full = walker.fullFileNames();
    auto pointers = walker.pathPointers();
    auto folders = walker.pathNames();
    ASSERT_EQ(walker.Count(), 5);
    ASSERT_EQ(names->Count(), 4u);
    ASSERT_EQ(full->Count(), 4u);
    ASSERT_EQ(pointers->Count(), 4u);
    EXPECT_EQ(pointers->Items(), (std::vector<int32_t>{1, 2, 3, 3}));
    for (size_t k = 1; k <= full->Count(); ++k) {
        ASSERT_GE(pointers->Item(k), 1);
        ASSERT_LE(static_cast<size_t>(pointers->Item(k)), folders->Count());
        EXPECT_EQ(full->Item(k), folders->Item(static_cast<size_t>(pointers->Item(k))) + names->Item(k));
        EXPECT_EQ(names->Key(k), full->Key(k));
        EXPECT_EQ(pointers->Key(k), full->Key(k));
    }
    EXPECT_EQ(names->Item(4), "leaf2.eml");
}

TEST_F(WalkedTree, EmptyAndMissingFolders) {
    pathLogger empty;
    empty.PathLogInit();
    empty.LogPath(Root());
    EXPECT_EQ(empty.pathNames()->Count(), 1u);
    EXPECT_EQ(empty.fullFileNames()->Count(), 0u);
    EXPECT_EQ(empty.Count(), 1);

    pathLogger missing;
    EXPECT_EQ(missing.Count(), 0);
    EXPECT_FALSE(missing.fullFileNamesOnly());
    missing.PathLogInit();
    EXPECT_TRUE(missing.fullFileNamesOnly());
    missing.LogPath(Under("not-there"));
    EXPECT_EQ(missing.Count(), 0);
    EXPECT_EQ(missing.pathNames()->Count(), 0u);
    EXPECT_EQ(missing.fullFileNames()->Count(), 0u);

    // A file is not a folder to walk.
    File("plain.mbox");
    missing.LogPath(Under("plain.mbox"));
    EXPECT_EQ(missing.Count(), 0);
}

TEST_F(WalkedTree, CollectionsHandedOutSurviveTerminateAndTheWalker) {
    File("a.mbox");
    File("s/b.mbox");
    std::shared_ptr<TextCollection> full;
    std::shared_ptr<TextCollection> folders;
    {
        pathLogger walker;
        walker.PathLogInit();
        walker.LogPath(Root());
        full = walker.fullFileNames();
        folders = walker.pathNames();
        walker.Terminate();
        // After Terminate a property hands out a fresh empty collection.
        EXPECT_EQ(walker.fullFileNames()->Count(), 0u);
        EXPECT_NE(walker.fullFileNames(), full);
    }
    EXPECT_EQ(Items(full), (std::vector<std::string>{Under("a.mbox"), Under("s/b.mbox")}));
    EXPECT_EQ(folders->Count(), 2u);
}

TEST_F(WalkedTree, KeysRepeatSoASecondWalkNeedsPathLogInit) {
    File("a.mbox");
    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(Root());
    EXPECT_THROW(walker.LogPath(Root()), TextCollection::DuplicateKey);

    walker.PathLogInit();
    walker.LogPath(Root());
    EXPECT_EQ(walker.fullFileNames()->Count(), 1u);
    EXPECT_EQ(walker.Count(), 2);
}

// The local file system, except that one folder disappears just before it is listed:
// its listing fails for real.
class VanishingFolderSource : public FolderSource {
public:
    explicit VanishingFolderSource(std::string victim) : victim_(std::move(victim)) {}
    bool FolderExists(const std::string& path) override { return local_->FolderExists(path); }
    Listing List(const std::string& path) override {
        if (path == victim_) fs::remove_all(path);
        return local_->List(path);
    }

private:
    std::string victim_;
    std::shared_ptr<FolderSource> local_ = MakeLocalFolderSource();
};

TEST_F(WalkedTree, UnlistableFolderEndsTheWalkAndKeepsWhatWasFound) {
    File("top.mbox");
    File("a/a1.mbox");
    File("b/b1.mbox");
    File("c/c1.mbox");
    const std::string victim = Under("b/");

    pathLogger walker([victim] { return std::make_shared<VanishingFolderSource>(victim); });
    walker.PathLogInit();
    try {
        walker.LogPath(Root());
        FAIL() << "the walk went past a folder it could not list";
    } catch (const FolderReadError& e) {
        EXPECT_EQ(e.folder(), victim);
    }
    EXPECT_EQ(Items(walker.fullFileNames()), (std::vector<std::string>{Under("top.mbox"), Under("a/a1.mbox")}));
    EXPECT_EQ(walker.Count(), 3);
}

TEST_F(WalkedTree, LinkBackToAParentDoesNotMakeTheWalkEndless) {
    File("inner/f.mbox");
    std::error_code ec;
    fs::create_directory_symlink(root_, root_ / "inner" / "loop", ec);
#ifdef _WIN32
    // Windows lets only administrators (or developer mode) make symbolic links, and
    // Wine makes none.
    if (ec) GTEST_SKIP() << "no directory symbolic links here: " << ec.message();
#endif
    ASSERT_FALSE(ec) << ec.message();
    fs::create_directory_symlink(root_ / "inner", root_ / "inner-link");

    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(Root());
    // The link to a parent is left out; a link elsewhere in the tree is an ordinary folder.
    EXPECT_EQ(Items(walker.fullFileNames()),
              (std::vector<std::string>{Under("inner/f.mbox"), Under("inner-link/f.mbox")}));
}

}  // namespace
