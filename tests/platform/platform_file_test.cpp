// The file calls the .pst writer makes through PlatformFile, and message files written
// complete or not at all: the same behaviour on POSIX systems and on Windows, with
// names in any script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/base/CompleteFile.h"
#include "mailstore/base/PlatformFile.h"

namespace fs = std::filesystem;
using bv::mailstore::base::PlatformFile;
using bv::mailstore::IoError;
using bv::mailstore::MailStoreError;
using bv::mailstore::SystemErrorOf;

namespace {

class PlatformFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder whose name needs more than one code page: Cyrillic, CJK, Greek.
        dir_ = fs::temp_directory_path() /
               fs::u8path("bv_platform_" + std::to_string(bv::mailstore::base::CurrentProcessId()) + "_Почта_郵便_Ελληνικά");
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
    {
        PlatformFile f;
        f.Open(path, PlatformFile::Mode::CreateReadWrite);
        f.WriteAt(10, "world", 5);
        f.WriteAt(0, "hello", 5);
        EXPECT_EQ(f.Size(), 15u);
        char buf[32] = {};
        // A read past the end returns what there is; a read at the end returns 0.
        EXPECT_EQ(f.ReadAt(8, buf, sizeof buf), 7u);
        EXPECT_EQ(std::string(buf + 2, 5), "world");
        EXPECT_EQ(f.ReadAt(15, buf, 4), 0u);
        // Extending fills with zeros; cutting drops the end.
        f.Truncate(4096);
        EXPECT_EQ(f.Size(), 4096u);
        EXPECT_EQ(f.ReadAt(4000, buf, 4), 4u);
        EXPECT_EQ(std::string(buf, 4), std::string(4, '\0'));
        f.Truncate(5);
        EXPECT_EQ(f.Size(), 5u);
    }
    // Binary: bytes as written, with no line-end translation, and the name as given.
    std::ifstream in(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "hello");
    const std::u8string name = fs::directory_iterator(dir_)->path().filename().u8string();
    EXPECT_EQ(std::string(name.begin(), name.end()), "архив-档案.pst");

    // Opening an existing file keeps it; creating empties it.
    PlatformFile g;
    g.Open(path, PlatformFile::Mode::ReadWrite);
    EXPECT_EQ(g.Size(), 5u);
    g.WriteAt(0, "\r\n", 2);
    g = PlatformFile();
    g.Open(path, PlatformFile::Mode::CreateReadWrite);
    EXPECT_EQ(g.Size(), 0u);
}

// The failure, as data: what was done, to which file, and the system's error code.
struct Failure {
    IoError::Operation operation;
    std::string file;
    bool hasCode;
};
bool operator==(const Failure& a, const Failure& b) {
    return a.operation == b.operation && a.file == b.file && a.hasCode == b.hasCode;
}
std::ostream& operator<<(std::ostream& out, const Failure& f) {
    return out << int(f.operation) << " " << f.file << (f.hasCode ? " (code)" : " (no code)");
}

Failure FailureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const IoError& e) {
        // The text is made from the same data.
        EXPECT_EQ(std::string(e.what()), IoError::Text(e.operation(), e.file(), e.code()));
        EXPECT_EQ(e.code(), SystemErrorOf(e));
        return {e.operation(), e.file(), bool(e.code())};
    }
    ADD_FAILURE() << "no IoError";
    return {};
}

TEST_F(PlatformFileTest, FailuresSayWhatWhichFileAndWhy) {
    PlatformFile f("the store");
    const fs::path missing = dir_ / "missing.pst";
    const fs::path noFolder = dir_ / "no-folder" / "x.pst";
    const fs::path readOnly = dir_ / "read-only.pst";
    std::ofstream(readOnly, std::ios::binary) << "abc";
    PlatformFile reader("the store");
    reader.Open(readOnly, PlatformFile::Mode::ReadOnly);
    using Op = IoError::Operation;
    const struct {
        const char* what;
        std::function<void()> call;
        Failure expected;
    } cases[] = {
        {"open a missing file", [&] { f.Open(missing, PlatformFile::Mode::ReadWrite); }, {Op::Open, missing.string(), true}},
        {"create in a missing folder", [&] { f.Open(noFolder, PlatformFile::Mode::CreateReadWrite); },
         {Op::Create, noFolder.string(), true}},
        {"a temporary file in a missing folder", [&] { f.OpenTemporary(dir_ / "no-folder"); }, {Op::Create, "the store", true}},
        {"write a file opened for reading", [&] { reader.WriteAt(0, "x", 1); }, {Op::Write, "the store", true}},
    };
    for (const auto& c : cases) EXPECT_EQ(FailureOf(c.call), c.expected) << c.what;
    EXPECT_FALSE(f.IsOpen());
    // The file opened for reading still reads.
    char c = 0;
    EXPECT_EQ(reader.ReadAt(2, &c, 1), 1u);
    EXPECT_EQ(c, 'c');
}

// A full disk is told by its code, on every system, whatever the system's words.
TEST(IoErrorTest, AFullDiskIsToldByItsCode) {
    const struct {
        std::error_code code;
        bool diskFull;
    } cases[] = {
        {std::make_error_code(std::errc::no_space_on_device), true},
#ifndef _WIN32
        {std::error_code(ENOSPC, std::system_category()), true},
#endif
#ifdef EDQUOT
        {std::error_code(EDQUOT, std::generic_category()), true},
#endif
#ifdef _WIN32
        {std::error_code(112, std::system_category()), true},  // ERROR_DISK_FULL
        {std::error_code(39, std::system_category()), true},   // ERROR_HANDLE_DISK_FULL
#endif
        {std::make_error_code(std::errc::permission_denied), false},
        {std::make_error_code(std::errc::io_error), false},
        {std::error_code(), false},
    };
    for (const auto& c : cases) {
        const IoError e(IoError::Operation::Write, "the file", c.code);
        EXPECT_EQ(e.DiskFull(), c.diskFull) << c.code.message();
        EXPECT_EQ(bv::mailstore::IsDiskFull(c.code), c.diskFull) << c.code.message();
    }
    // Other failures carry no system error.
    EXPECT_FALSE(SystemErrorOf(MailStoreError("no folder")));
    EXPECT_FALSE(SystemErrorOf(bv::mailstore::FormatFault("BTPAGE", "cEnt", "out of range")));
    EXPECT_EQ(SystemErrorOf(std::system_error(std::make_error_code(std::errc::no_space_on_device))),
              std::errc::no_space_on_device);
}

TEST_F(PlatformFileTest, TemporaryFilesVanishWhenClosed) {
    {
        PlatformFile a, b;
        a.OpenTemporary(dir_);
        b.OpenTemporary(dir_);  // two at once do not collide
        std::vector<char> data(3 << 20, 'x');
        a.WriteAt(0, data.data(), data.size());
        b.WriteAt(0, "b", 1);
        std::vector<char> back(data.size());
        EXPECT_EQ(a.ReadAt(0, back.data(), back.size()), data.size());
        EXPECT_EQ(back, data);
        // Nothing that another program could take for output stays visible by name.
        for (const auto& e : fs::directory_iterator(dir_)) EXPECT_EQ(e.path().filename().string().rfind(".", 0), 0u);
    }
    EXPECT_EQ(Entries(), 0u);
}

// A message file converted again: one of the same content is left as it was (not even
// touched), one that differs is replaced whole; no temporary file stays beside them.
// The same for content in memory (.eml) and content written through a stream (.msg).
TEST_F(PlatformFileTest, CompleteFilesKeepOneOfTheSameContentAndReplaceOneThatDiffers) {
    using bv::mailstore::base::WriteCompleteFileUnlessSame;
    for (const bool streamed : {false, true}) {
        SCOPED_TRACE(streamed ? "written through a stream" : "from memory");
        const fs::path path = dir_ / fs::u8path(streamed ? "письмо-1.msg" : "письмо-1.eml");
        auto write = [&](const std::string& data) {
            if (!streamed) return WriteCompleteFileUnlessSame(path, data);
            return WriteCompleteFileUnlessSame(path, [&data](FILE* file) { std::fwrite(data.data(), 1, data.size(), file); });
        };
        auto content = [&] {
            std::ifstream in(path, std::ios::binary);
            return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        };
        const std::string first = "Subject: one\r\n\r\nbody\r\n" + std::string(streamed ? 200000 : 0, 'x');
        EXPECT_TRUE(write(first));
        EXPECT_EQ(content(), first);

        const auto old = fs::last_write_time(path) - std::chrono::hours(24);
        fs::last_write_time(path, old);
        EXPECT_FALSE(write(first));
        EXPECT_EQ(fs::last_write_time(path), old);

        std::string second = first;
        second[second.size() - 1] = 'e';  // the same size, other bytes (past the first chunk compared)
        EXPECT_TRUE(write(second));
        EXPECT_EQ(content(), second);
        EXPECT_TRUE(write(second + "more"));
        EXPECT_EQ(content(), second + "more");
    }
    EXPECT_EQ(Entries(), 2u);
}

// While a file is written nothing of it can be read under its name, and a writer that
// fails leaves nothing behind: no file where there was none, the old one where there was.
TEST_F(PlatformFileTest, CompleteFilesCannotBeReadHalfWrittenAndVanishWhenTheWriterFails) {
    using bv::mailstore::base::WriteCompleteFile;
    using bv::mailstore::base::WriteCompleteFileUnlessSame;
    const fs::path path = dir_ / fs::u8path("письмо-2.msg");
    auto content = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    for (const bool there : {false, true}) {
        SCOPED_TRACE(there ? "over a file of that name" : "a new name");
        auto failing = [&](FILE* file) {
            std::fwrite("Subject: half", 1, 13, file);
            std::fflush(file);
            if (!there) EXPECT_FALSE(std::ifstream(path, std::ios::binary).is_open()) << "readable while written";
            throw MailStoreError("no space left");
        };
        if (there) WriteCompleteFile(path, "Subject: old\r\n");
        EXPECT_THROW(WriteCompleteFile(path, failing), MailStoreError);
        EXPECT_THROW(WriteCompleteFileUnlessSame(path, failing), MailStoreError);
        EXPECT_EQ(Entries(), there ? 1u : 0u);
        EXPECT_EQ(content(), there ? "Subject: old\r\n" : "");
    }
}

// The files of a run: each complete under its name, nothing else left in the folder when
// the run ends. On Windows, what runs that were cut short left there (their work
// folders, their files under temporary names) goes when a run first writes there, and
// nothing else does.
TEST_F(PlatformFileTest, ARunsFilesLeaveNothingElseAndClearWhatEndedRunsLeft) {
    using bv::mailstore::base::CompleteFileBatch;
    using bv::mailstore::base::WriteCompleteFile;
    using bv::mailstore::base::WriteCompleteFileUnlessSame;
    const std::vector<std::string> others = {"notes.tmp", ".brimvault-x.tmp", "email-1.eml.tmp12-", "keep.tmp1-2.eml"};
    for (const std::string& name : others) WriteCompleteFile(dir_ / name, "theirs");
#ifdef _WIN32
    // Left by an ended process (no process has this id).
    fs::create_directory(dir_ / ".brimvault-4294967292.tmp");
    WriteCompleteFile(dir_ / ".brimvault-4294967292.tmp" / "email-7.eml", "half");
    WriteCompleteFile(dir_ / "email-8.eml.tmp4294967292-3", "half");
#endif
    {
        const CompleteFileBatch run;
        for (int n = 1; n <= 3; ++n) {
            const std::string data = "Subject: " + std::to_string(n) + "\r\n";
            EXPECT_TRUE(WriteCompleteFileUnlessSame(dir_ / ("email-" + std::to_string(n) + ".eml"), data));
            EXPECT_FALSE(WriteCompleteFileUnlessSame(dir_ / ("email-" + std::to_string(n) + ".eml"), data));
        }
        const CompleteFileBatch another;  // (the work folders stay until the last ends)
        WriteCompleteFile(dir_ / "Email-4.msg", [](FILE* file) { std::fputs("msg", file); });
    }
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {"Email-4.msg", "email-1.eml", "email-2.eml", "email-3.eml"};
    expected.insert(expected.end(), others.begin(), others.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

}  // namespace
