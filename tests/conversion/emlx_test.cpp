#include <gtest/gtest.h>

#include "TestHost.h"
#include "conversion/EmlxFormat.h"

using namespace bv::conversion;

namespace {

struct Emlx {
    size_t declared = 0;
    std::string data, plist;
};

// Reads an .emlx the way Apple Mail does: the count line, that many bytes, the rest.
Emlx Parse(const std::string& file) {
    Emlx e;
    size_t nl = file.find('\n');
    e.declared = std::stoul(file.substr(0, nl));
    e.data = file.substr(nl + 1, e.declared);
    e.plist = file.substr(nl + 1 + e.declared);
    return e;
}

}  // namespace

TEST(Emlx, CountLineDataWithoutSeparatorAndPlist) {
    std::string msg =
        "From anna@example.org Mon Dec  7 08:37:05 2026\r\n"
        "From: Anna <anna@example.org>\r\n"
        "Date: Mon, 07 Dec 2026 08:37:05 +0100\r\n"
        "Subject: hi\r\n"
        "\r\n"
        "Hello\r\nFrom here on\r\n";
    std::string out;
    BuildEmlx(msg, out);
    Emlx e = Parse(out);
    EXPECT_EQ(e.data,
              "From: Anna <anna@example.org>\nDate: Mon, 07 Dec 2026 08:37:05 +0100\nSubject: hi\n\n"
              "Hello\nFrom here on\n");
    EXPECT_EQ(e.declared, e.data.size());
    EXPECT_EQ(out.find('\n'), 10u);  // the count is padded to ten characters like Apple's
    EXPECT_NE(e.plist.find("<plist version=\"1.0\">"), std::string::npos);
    // 2026-12-07 07:37:05 UTC
    EXPECT_NE(e.plist.find("<key>date-sent</key>\n\t<integer>1796629025</integer>"), std::string::npos) << e.plist;
    EXPECT_NE(e.plist.find("<key>date-received</key>"), std::string::npos);
    EXPECT_NE(e.plist.find("<key>flags</key>\n\t<integer>1</integer>"), std::string::npos);
}

TEST(Emlx, MissingOrBadDateLeavesTheDatesOut) {
    std::string out;
    BuildEmlx("From x\r\nSubject: none\r\n\r\nbody\r\n", out);
    EXPECT_EQ(out.find("date-sent"), std::string::npos);
    BuildEmlx("From x\r\nDate: not a date at all\r\n\r\nbody\r\n", out);
    EXPECT_EQ(out.find("date-sent"), std::string::npos);
    // A Date line in the body is not the message's date.
    EXPECT_FALSE(MessageDate("From x\r\nSubject: s\r\n\r\nDate: Mon, 07 Dec 2026 08:37:05 +0100\r\n"));
    // Folded header value.
    EXPECT_TRUE(MessageDate("Date: Mon, 07 Dec 2026\r\n 08:37:05 +0100\r\n\r\n"));
}

TEST(Emlx, CorpusEmlxRoundTrip) {
    // Apple's own file: its message bytes rebuilt through our writer keep the layout.
    std::string apple = bv::testing::ReadFile(std::string(BV_CORPUS) +
                                              "/emlx/partial-emlx-converter/input/Messages/114862.emlx");
    Emlx theirs = Parse(apple);
    std::string crlf;
    for (char c : theirs.data) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    std::string out;
    BuildEmlx("From x Mon Jan  1 00:00:00 2018\r\n" + crlf, out);
    Emlx ours = Parse(out);
    EXPECT_EQ(ours.data, theirs.data);
}

TEST(Emlx, UnreadAndFlaggedStatesInTheFlags) {
    const std::string msg = "From x\r\nSubject: s\r\n\r\nbody\r\n";
    auto flags = [&](EmlxFlags f) {
        std::string out;
        BuildEmlx(msg, out, f);
        Emlx e = Parse(out);
        size_t key = e.plist.find("<key>flags</key>\n\t<integer>");
        EXPECT_NE(key, std::string::npos);
        return std::stol(e.plist.substr(key + std::string("<key>flags</key>\n\t<integer>").size()));
    };
    EXPECT_EQ(flags({}), 1);                                   // read, as every message so far
    EXPECT_EQ(flags({.read = false}), 0);                      // unread: bit 0 off
    EXPECT_EQ(flags({.read = true, .flagged = true}), 1 | 16);  // flagged: bit 4
    EXPECT_EQ(flags({.read = false, .flagged = true}), 16);
}
