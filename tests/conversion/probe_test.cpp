#include <gtest/gtest.h>

#include "TestHost.h"
#include "conversion/MailboxProbe.h"

using namespace bv::conversion;
using bv::testing::TempDir;
using bv::testing::WriteFile;

namespace {
MboxMode ProbeText(const std::string& s) { return ProbeLineEnds(s.data(), s.size()); }
}  // namespace

TEST(Probe, LineEndsOfTheFirst512Bytes) {
    EXPECT_EQ(ProbeText("From a\r\nbody\r\n"), MboxMode::Normal);
    EXPECT_EQ(ProbeText("From a\nbody\n"), MboxMode::NotNormal);
    EXPECT_EQ(ProbeText("From a\rbody\r"), MboxMode::Normal);
    EXPECT_EQ(ProbeText(""), MboxMode::Normal);
    EXPECT_EQ(ProbeText(std::string(600, 'x')), MboxMode::Normal);
    // A bare LF first and a CR LF later, both inside the block: CR LF wins.
    EXPECT_EQ(ProbeText("From a\nbody\r\n"), MboxMode::Normal);
}

TEST(Probe, OnlyTheFirst512BytesCount) {
    TempDir t;
    std::string crlfLate = "From " + std::string(515, 'x');
    crlfLate += "\r\n";
    crlfLate += std::string(78, 'y');
    ASSERT_EQ(crlfLate.size(), 600u);
    WriteFile(t.path() / "late", crlfLate);
    EXPECT_EQ(ReadMBOXFile((t.path() / "late").string()).mode, MboxMode::Normal);

    std::string lfThenCrlf = "From a\n" + std::string(600, 'b') + "\r\n";
    WriteFile(t.path() / "lf", lfThenCrlf);
    EXPECT_EQ(ReadMBOXFile((t.path() / "lf").string()).mode, MboxMode::NotNormal);
}

TEST(Probe, UnreadableFilesLeaveTheModeEmptyWithAReason) {
    TempDir t;
    const std::string missing = (t.path() / "missing.mbox").string();
    Probed p = ReadMBOXFile(missing);
    EXPECT_EQ(p.mode, MboxMode::None);
    ASSERT_TRUE(p.failure);
    EXPECT_EQ(p.failure->file, missing);
    EXPECT_NE(p.failure->reason.find("cannot open"), std::string::npos);
    p = ReadMBOXFile(t.str());  // a folder
    EXPECT_EQ(p.mode, MboxMode::None);
    ASSERT_TRUE(p.failure);
    EXPECT_EQ(p.failure->reason, "it is a folder, not a mailbox file");
    EXPECT_TRUE(ReadMBOXFile("").failure);
}

TEST(Probe, AMailboxIsAFileWhoseFirstLineAfterABomAndBlankLinesIsASeparator) {
    TempDir t;
    auto probe = [&](const std::string& text, std::string* error = nullptr) {
        WriteFile(t.path() / "f", text);
        Probed p = ReadMBOXFile((t.path() / "f").string());
        EXPECT_EQ(p.mode == MboxMode::None, p.failure.has_value()) << text;
        if (error && p.failure) *error = p.failure->reason;
        return p.mode;
    };
    EXPECT_EQ(probe("From a\nx\n"), MboxMode::NotNormal);
    EXPECT_EQ(probe("\xEF\xBB\xBF\n \t\n\r\nFrom a\r\nx\r\n"), MboxMode::Normal);
    // Blank lines longer than the probe's 512 bytes still lead to the separator, and
    // the line ends are those of the mailbox itself.
    EXPECT_EQ(probe("\xEF\xBB\xBF" + std::string(2000, '\n') + "From a\r\nx\r\n"), MboxMode::Normal);
    EXPECT_EQ(probe(std::string(700, ' ') + "\r\nFrom a\nx\n"), MboxMode::NotNormal);
    for (const auto& [text, why] : std::vector<std::pair<std::string, std::string>>{
             {"Shopping list\nmilk\nFrom the bakery: bread\n", "its first line is not a \"From \" separator line"},
             {"\n>From a\nx\n", "its first line is not a \"From \" separator line"},
             {"from a\nx\n", "its first line is not a \"From \" separator line"},
             {"  From a\nx\n", "its first line is not a \"From \" separator line"},
             {"\xEF\xBB\xBF", "the file holds only blank lines"},
             {"\n\r\n  \t", "the file holds only blank lines"},
             {"", "the file is empty"}}) {
        std::string error;
        EXPECT_EQ(probe(text, &error), MboxMode::None) << text;
        EXPECT_EQ(error, "not a mailbox: " + why) << text;
    }
}
