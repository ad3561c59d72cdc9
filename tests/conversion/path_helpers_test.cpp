#include <gtest/gtest.h>

#include <filesystem>

#include "TestHost.h"
#include "conversion/PathHelpers.h"

using namespace bv::conversion;

TEST(PathHelpers, PathLastPart) {
    EXPECT_EQ(PathLastPart("C:\\Mail\\inbox.mbox"), "inbox.mbox");
    EXPECT_EQ(PathLastPart("C:\\Out\\Mailbox"), "Mailbox");
    EXPECT_EQ(PathLastPart("inbox.mbox"), "inbox.mbox");
    EXPECT_EQ(PathLastPart("C:\\Out\\"), "");
    EXPECT_EQ(PathLastPart("/home/anna/mail/inbox"), "inbox");
    EXPECT_EQ(PathLastPart(""), "");
}

TEST(PathHelpers, RootLength) {
    EXPECT_EQ(PathRootLength("C:\\Backups\\anna.mbox"), 3u);
    EXPECT_EQ(PathRootLength("c:/x.mbox"), 3u);
    EXPECT_EQ(PathRootLength("\\\\server\\share\\mail\\a.mbox"), std::string("\\\\server\\share\\").size());
    EXPECT_EQ(PathRootLength("/home/anna/a.mbox"), 1u);
    EXPECT_EQ(PathRootLength("relative/a.mbox"), 0u);
    EXPECT_EQ(PathRootLength(""), 0u);
}

TEST(PathHelpers, TrailingSeparator) {
    EXPECT_EQ(WithTrailingSeparator("D:\\"), "D:\\");
    EXPECT_EQ(WithTrailingSeparator("/out/"), "/out/");
    EXPECT_EQ(WithTrailingSeparator("/out"), std::string("/out") + kPathSeparator);
}

TEST(PathHelpers, EnsureFolderPathCreatesEveryMissingParent) {
    bv::testing::TempDir t;
    std::string deep = t.str() + "/A/B";
    EXPECT_TRUE(EnsureFolderPath(deep));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(EnsureFolderPath(deep + "/"));  // again, with a trailing separator
    bv::testing::WriteFile(t.path() / "file", "x");
    EXPECT_FALSE(EnsureFolderPath(t.str() + "/file/sub"));
    EXPECT_FALSE(EnsureFolderPath(""));
}
