// The file calls the .pst writer makes through PlatformFile: the same behaviour on
// POSIX systems and on Windows, with names in any script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mailstore/base/PlatformFile.h"

namespace fs = std::filesystem;
using bv::base::PlatformFile;

namespace {

class PlatformFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder whose name needs more than one code page: Cyrillic, CJK, Greek.
        dir_ = fs::temp_directory_path() /
               fs::u8path("bv_platform_" + std::to_string(bv::base::CurrentProcessId()) + "_Почта_郵便_Ελληνικά");
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    size_t Entries() const { return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator())); }
    fs::path dir_;
};

TEST_F(PlatformFileTest, WritesAndReadsAtOffsetsUnderAUnicodeName) {
    const fs::path path = dir_ / fs::u8path("архив-档案.pst");
    std::string error;
    {
        PlatformFile f;
        ASSERT_TRUE(f.Open(path, PlatformFile::Mode::CreateReadWrite, error)) << error;
        ASSERT_TRUE(f.WriteAt(10, "world", 5, error)) << error;
        ASSERT_TRUE(f.WriteAt(0, "hello", 5, error)) << error;
        EXPECT_EQ(f.Size(error), 15);
        char buf[32] = {};
        // A read past the end returns what there is; a read at the end returns 0.
        EXPECT_EQ(f.ReadAt(8, buf, sizeof buf, error), 7);
        EXPECT_EQ(std::string(buf + 2, 5), "world");
        EXPECT_EQ(f.ReadAt(15, buf, 4, error), 0);
        // Extending fills with zeros; cutting drops the end.
        ASSERT_TRUE(f.Truncate(4096, error)) << error;
        EXPECT_EQ(f.Size(error), 4096);
        EXPECT_EQ(f.ReadAt(4000, buf, 4, error), 4);
        EXPECT_EQ(std::string(buf, 4), std::string(4, '\0'));
        ASSERT_TRUE(f.Truncate(5, error)) << error;
        EXPECT_EQ(f.Size(error), 5);
    }
    // Binary: bytes as written, with no line-end translation, and the name as given.
    std::ifstream in(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "hello");
    const std::u8string name = fs::directory_iterator(dir_)->path().filename().u8string();
    EXPECT_EQ(std::string(name.begin(), name.end()), "архив-档案.pst");

    // Opening an existing file keeps it; creating empties it.
    PlatformFile g;
    ASSERT_TRUE(g.Open(path, PlatformFile::Mode::ReadWrite, error)) << error;
    EXPECT_EQ(g.Size(error), 5);
    ASSERT_TRUE(g.WriteAt(0, "\r\n", 2, error));
    g = PlatformFile();
    ASSERT_TRUE(g.Open(path, PlatformFile::Mode::CreateReadWrite, error)) << error;
    EXPECT_EQ(g.Size(error), 0);
}

TEST_F(PlatformFileTest, FailuresSayWhy) {
    std::string error;
    PlatformFile f;
    EXPECT_FALSE(f.Open(dir_ / "missing.pst", PlatformFile::Mode::ReadWrite, error));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(f.Open(dir_ / "no-folder" / "x.pst", PlatformFile::Mode::CreateReadWrite, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(f.OpenTemporary(dir_ / "no-folder", error));

    // A file opened for reading cannot be written.
    const fs::path path = dir_ / "read-only.pst";
    std::ofstream(path, std::ios::binary) << "abc";
    ASSERT_TRUE(f.Open(path, PlatformFile::Mode::ReadOnly, error)) << error;
    error.clear();
    EXPECT_FALSE(f.WriteAt(0, "x", 1, error));
    EXPECT_FALSE(error.empty());
    char c = 0;
    EXPECT_EQ(f.ReadAt(2, &c, 1, error), 1);
    EXPECT_EQ(c, 'c');
}

TEST_F(PlatformFileTest, TemporaryFilesVanishWhenClosed) {
    std::string error;
    {
        PlatformFile a, b;
        ASSERT_TRUE(a.OpenTemporary(dir_, error)) << error;
        ASSERT_TRUE(b.OpenTemporary(dir_, error)) << error;  // two at once do not collide
        std::vector<char> data(3 << 20, 'x');
        ASSERT_TRUE(a.WriteAt(0, data.data(), data.size(), error)) << error;
        ASSERT_TRUE(b.WriteAt(0, "b", 1, error)) << error;
        std::vector<char> back(data.size());
        EXPECT_EQ(a.ReadAt(0, back.data(), back.size(), error), int64_t(data.size()));
        EXPECT_EQ(back, data);
        // Nothing that another program could take for output stays visible by name.
        for (const auto& e : fs::directory_iterator(dir_)) EXPECT_EQ(e.path().filename().string().rfind(".", 0), 0u);
    }
    EXPECT_EQ(Entries(), 0u);
}

}  // namespace
