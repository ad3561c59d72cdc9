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
    std::string crlfLate(520, 'x');
    crlfLate += "\r\n";
    crlfLate += std::string(78, 'y');
    ASSERT_EQ(crlfLate.size(), 600u);
    WriteFile(t.path() / "late", crlfLate);
    EXPECT_EQ(ReadMBOXFile((t.path() / "late").string()), MboxMode::Normal);

    std::string lfThenCrlf = "From a\n" + std::string(600, 'b') + "\r\n";
    WriteFile(t.path() / "lf", lfThenCrlf);
    EXPECT_EQ(ReadMBOXFile((t.path() / "lf").string()), MboxMode::NotNormal);
}

TEST(Probe, UnreadableFilesLeaveTheModeEmptyWithAReason) {
    TempDir t;
    std::string error;
    EXPECT_EQ(ReadMBOXFile((t.path() / "missing.mbox").string(), &error), MboxMode::None);
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    error.clear();
    EXPECT_EQ(ReadMBOXFile(t.str(), &error), MboxMode::None);  // a folder
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadMBOXFile(""), MboxMode::None);
}
