// The mbox grammar, one table of real-world shapes per rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mailstore/mime/EncodedWords.h"
#include "mailstore/mime/MboxGrammar.h"

using namespace bv::mailstore::mime;

TEST(MboxGrammar, SeparatorLines) {
    struct Case {
        std::string line;
        size_t offset;  // SeparatorOffset in a mailbox of CR line ends; npos: none
        bool quoted;
    };
    const size_t no = std::string::npos;
    for (const Case& c : std::vector<Case>{
             {"From anna@example.org Mon Dec  7 08:37:05 2026", 0, false},
             {"From - Fri Dec 13 15:01:21 1996", 0, false},
             {"From ", 0, false},
             {"\n\nFrom anna@example.org", 2, false},  // LF LF before it in a CR mailbox
             {"\nFrom anna@example.org", no, false},
             {"From:anna@example.org", no, false},  // a header field, not a separator
             {"from anna", no, false},
             {"Fro", no, false},
             {">From the archive", no, true},  // quoted inside a body
             {">>>From here", no, true},
             {"> From here", no, false},
             {">", no, false},
             {"", no, false},
         }) {
        EXPECT_EQ(SeparatorOffset(c.line), c.offset) << c.line;
        EXPECT_EQ(IsSeparatorLine(c.line), c.offset == 0) << c.line;
        EXPECT_EQ(IsQuotedSeparatorLine(c.line), c.quoted) << c.line;
    }
}

TEST(MboxGrammar, WhatStandsBeforeTheFirstSeparator) {
    struct Case {
        std::string data;
        bool more;
        size_t length;
        bool decided;
    };
    const std::string bom = "\xEF\xBB\xBF";
    for (const Case& c : std::vector<Case>{
             {"From a\n", false, 0, true},
             {bom + "From a\n", false, 3, true},
             {bom + "\n\r\n \t\nFrom a\n", false, 9, true},  // mark, then blank lines of every end
             {"\r\rFrom a\r", false, 2, true},             // lone CR ends a blank line
             {"  From a\n", false, 0, true},               // blanks before text are no line
             {bom + bom + "From a", false, 3, true},       // one mark only
             {"\n\n  ", false, 2, true},                   // blanks up to the end stay
             {"\n\n  ", true, 2, false},                   // ... or more may follow
             {"\n\r", true, 1, false},                     // its LF may follow
             {"\n\r", false, 2, true},
             {"\xEF\xBB", true, 0, false},                 // a mark cut short
             {"\xEF\xBB", false, 0, true},
             {"", false, 0, true},
         }) {
        const MailboxLead lead = MailboxLeadOf(c.data, c.more);
        EXPECT_EQ(lead.length, c.length) << c.data;
        EXPECT_EQ(lead.decided, c.decided) << c.data;
    }
    std::string_view marked = "\xEF\xBB\xBF" "From a";
    EXPECT_TRUE(SkipByteOrderMark(marked));
    EXPECT_EQ(marked, "From a");
    EXPECT_FALSE(SkipByteOrderMark(marked));
}

TEST(MboxGrammar, LineEnds) {
    struct Case {
        std::string firstBytes;
        MboxLineEnds ends;
    };
    for (const Case& c : std::vector<Case>{
             {"From a\r\nx\r\n", MboxLineEnds::CrOrCrLf},
             {"From a\nx\n", MboxLineEnds::Lf},
             {"From a\rx\r", MboxLineEnds::CrOrCrLf},  // lone CR
             {"From a\nx\r\n", MboxLineEnds::CrOrCrLf},  // a CR LF anywhere wins
             {"From a", MboxLineEnds::CrOrCrLf},
         })
        EXPECT_EQ(LineEndsOf(c.firstBytes), c.ends) << c.firstBytes;

    // A message travels in CR LF; its LF form and its lines without their ends.
    struct Travel {
        std::string message, lf;
        std::vector<std::string> lines;
    };
    for (const Travel& t : std::vector<Travel>{
             {"a\r\nb\r\n", "a\nb\n", {"a", "b"}},
             {"a\r\n\r\nb", "a\n\nb", {"a", "", "b"}},
             {"a\nb\r\n", "a\nb\n", {"a", "b"}},     // a bare LF kept as it is
             {"a\rb\r\n", "a\rb\n", {"a\rb"}},       // a CR inside a line too
             {"a\r\n\r", "a\n\r", {"a", ""}},        // a last CR without its LF
             {"", "", {}},
         }) {
        std::string lf;
        MessageToLf(t.message, lf);
        EXPECT_EQ(lf, t.lf);
        std::vector<std::string> lines;
        for (size_t pos = 0; pos < t.message.size();) lines.emplace_back(NextLine(t.message, pos));
        EXPECT_EQ(lines, t.lines) << t.message;
    }
}

TEST(EncodedWords, WhereAWordEnds) {
    struct Case {
        std::string text;
        size_t end;
    };
    for (const Case& c : std::vector<Case>{
             {"=?UTF-8?B?w6k=?=", 16},
             {"=?utf-8?q?caf=C3=A9?= rest", 21},
             {"=?iso-8859-1*fr?Q?a?=", 21},
             {"=?UTF-8?X?abc?=", 0},    // no such encoding
             {"=??B?abc?=", 0},         // no charset
             {"=?UTF-8?B?w6 k=?=", 0},  // a blank inside
             {"=?UTF-8?Q?a\r\n b?=", 0},
             {"=?UTF-8?B?w6k=", 0},     // never closed
             {"x=?UTF-8?B?w6k=?=", 0},  // none starts here
         })
        EXPECT_EQ(EncodedWordEnd(c.text, 0), c.end) << c.text;
    EXPECT_EQ(DecodeEncodedWords("=?UTF-8?B?w6k=?= =?UTF-8?B?w6k=?="), "\xC3\xA9\xC3\xA9");
}
