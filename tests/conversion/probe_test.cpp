#include <gtest/gtest.h>

#include "TestHost.h"
#include "conversion/MailboxProbe.h"

using namespace bv::conversion;
using bv::testing::TempDir;
using bv::testing::WriteFile;

namespace {
MboxLineEnds ProbeText(const std::string& s) { return bv::mailstore::mime::LineEndsOf(s); }
}  // namespace

TEST(Probe, LineEndsOfTheFirst512Bytes) {
    EXPECT_EQ(ProbeText("From a\r\nbody\r\n"), MboxLineEnds::CrOrCrLf);
    EXPECT_EQ(ProbeText("From a\nbody\n"), MboxLineEnds::Lf);
    EXPECT_EQ(ProbeText("From a\rbody\r"), MboxLineEnds::CrOrCrLf);
    EXPECT_EQ(ProbeText(""), MboxLineEnds::CrOrCrLf);
    EXPECT_EQ(ProbeText(std::string(600, 'x')), MboxLineEnds::CrOrCrLf);
    // A bare LF first and a CR LF later, both inside the block: CR LF wins.
    EXPECT_EQ(ProbeText("From a\nbody\r\n"), MboxLineEnds::CrOrCrLf);
}

TEST(Probe, OnlyTheFirst512BytesCount) {
    TempDir t;
    std::string crlfLate = "From " + std::string(515, 'x');
    crlfLate += "\r\n";
    crlfLate += std::string(78, 'y');
    ASSERT_EQ(crlfLate.size(), 600u);
    WriteFile(t.path() / "late", crlfLate);
    EXPECT_EQ(ProbeMailboxFile((t.path() / "late").string()).lineEnds, MboxLineEnds::CrOrCrLf);

    std::string lfThenCrlf = "From a\n" + std::string(600, 'b') + "\r\n";
    WriteFile(t.path() / "lf", lfThenCrlf);
    EXPECT_EQ(ProbeMailboxFile((t.path() / "lf").string()).lineEnds, MboxLineEnds::Lf);
}

TEST(Probe, UnreadableFilesLeaveTheModeEmptyWithAReason) {
    TempDir t;
    const std::string missing = (t.path() / "missing.mbox").string();
    Probed p = ProbeMailboxFile(missing);
    EXPECT_EQ(p.lineEnds, MboxLineEnds::None);
    ASSERT_TRUE(p.failure);
    EXPECT_EQ(p.failure->file, missing);
    EXPECT_NE(p.failure->reason.find("cannot open"), std::string::npos);
    p = ProbeMailboxFile(t.str());  // a folder
    EXPECT_EQ(p.lineEnds, MboxLineEnds::None);
    ASSERT_TRUE(p.failure);
    EXPECT_EQ(p.failure->reason, "it is a folder, not a mailbox file");
    EXPECT_TRUE(ProbeMailboxFile("").failure);
}

TEST(Probe, AMailboxIsAFileWhoseFirstLineAfterABomAndBlankLinesIsASeparator) {
    TempDir t;
    auto probe = [&](const std::string& text, std::string* error = nullptr) {
        WriteFile(t.path() / "f", text);
        Probed p = ProbeMailboxFile((t.path() / "f").string());
        EXPECT_EQ(p.lineEnds == MboxLineEnds::None, p.failure.has_value()) << text;
        if (error && p.failure) *error = p.failure->reason;
        return p.lineEnds;
    };
    EXPECT_EQ(probe("From a\nx\n"), MboxLineEnds::Lf);
    EXPECT_EQ(probe("\xEF\xBB\xBF\n \t\n\r\nFrom a\r\nx\r\n"), MboxLineEnds::CrOrCrLf);
    // Blank lines longer than the probe's 512 bytes still lead to the separator, and
    // the line ends are those of the mailbox itself.
    EXPECT_EQ(probe("\xEF\xBB\xBF" + std::string(2000, '\n') + "From a\r\nx\r\n"), MboxLineEnds::CrOrCrLf);
    EXPECT_EQ(probe(std::string(700, ' ') + "\r\nFrom a\nx\n"), MboxLineEnds::Lf);
    for (const auto& [text, why] : std::vector<std::pair<std::string, std::string>>{
             {"Shopping list\nmilk\nFrom the bakery: bread\n", "its first line is not a \"From \" separator line"},
             {"\n>From a\nx\n", "its first line is not a \"From \" separator line"},
             {"from a\nx\n", "its first line is not a \"From \" separator line"},
             {"  From a\nx\n", "its first line is not a \"From \" separator line"},
             {"\xEF\xBB\xBF", "the file holds only blank lines"},
             {"\n\r\n  \t", "the file holds only blank lines"},
             {"", "the file is empty"}}) {
        std::string error;
        EXPECT_EQ(probe(text, &error), MboxLineEnds::None) << text;
        EXPECT_EQ(error, "not a mailbox: " + why) << text;
    }
}
