#include <gtest/gtest.h>

#include <random>

#include "ReferenceSplit.h"
#include "TestHost.h"
#include "conversion/InputFile.h"
#include "conversion/MessageExtraction.h"

using namespace bv::conversion;
using bv::testing::ReferenceSplit;
using bv::testing::TempDir;
using bv::testing::WriteFile;

namespace {

struct Collected {
    int32_t n;
    std::string text;
};

class CollectingSink : public MessageSink {
public:
    std::vector<Collected> messages;
    size_t stopAfter = SIZE_MAX;
    // Takes the bytes of every other message, as the import does; reads the rest.
    void OutputMessage(int32_t n, AppendStrings& text) override {
        messages.push_back({n, n % 2 ? text.Take() : std::string(text.View())});
    }
    bool ShouldStop() override { return messages.size() >= stopAfter; }
};

struct Run {
    ExtractionResult result;
    std::vector<Collected> messages;
};

Run Extract(const std::string& content, MboxLineEnds mode, size_t stopAfter = SIZE_MAX) {
    TempDir t;
    auto path = (t.path() / "box.mbox").string();
    WriteFile(path, content);
    CollectingSink sink;
    sink.stopAfter = stopAfter;
    AppendStrings acc;
    Run r;
    r.result = ExtractMailbox(path, mode, sink, acc);
    r.messages = sink.messages;
    return r;
}

std::vector<std::string> Texts(const Run& r) {
    std::vector<std::string> v;
    for (auto& m : r.messages) v.push_back(m.text);
    return v;
}

}  // namespace

TEST(LineProcedure, SeparatorLinesStartMessagesWrittenWithCrLf) {
    auto r = Extract("From a\r\nbody 1\r\nFrom b\r\nbody 2\r\nFrom c\r\nbody 3\r\n", MboxLineEnds::CrOrCrLf);
    ASSERT_EQ(r.messages.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r.messages[size_t(i)].n, i + 1);
    }
    EXPECT_EQ(r.messages[1].text, "From b\r\nbody 2\r\n");
    EXPECT_TRUE(r.result.error.empty());
}

TEST(LineProcedure, WhatIsAndIsNotASeparator) {
    // Text before the first separator belongs to no message.
    EXPECT_EQ(Texts(Extract("preamble\r\nFrom a\r\nx\r\n", MboxLineEnds::CrOrCrLf)),
              std::vector<std::string>{"From a\r\nx\r\n"});
    // Lower case, quoted and blank-less "From" lines are ordinary lines.
    auto r = Extract("From a\r\nfrom b\r\n>From c\r\nFromd\r\n", MboxLineEnds::CrOrCrLf);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "From a\r\nfrom b\r\n>From c\r\nFromd\r\n");
    // LF LF "From " starts a message without the two LFs ...
    EXPECT_EQ(Texts(Extract("From a\r\nx\r\n\n\nFrom b\r\ny\r\n", MboxLineEnds::CrOrCrLf)),
              (std::vector<std::string>{"From a\r\nx\r\n", "From b\r\ny\r\n"}));
    // ... but two LFs before other text do not (they stay in the message).
    EXPECT_EQ(Texts(Extract("From a\r\n\n\nhello\r\n", MboxLineEnds::CrOrCrLf)),
              std::vector<std::string>{"From a\r\n\n\nhello\r\n"});
    // No separator at all: no message.
    EXPECT_TRUE(Extract("just text\r\nmore\r\n", MboxLineEnds::CrOrCrLf).messages.empty());
}

TEST(LineProcedure, CrOnlyAndUnterminatedLines) {
    auto crlf = Texts(Extract("From a\r\nx\r\nFrom b\r\ny\r\n", MboxLineEnds::CrOrCrLf));
    auto cr = Texts(Extract("From a\rx\rFrom b\ry\r", MboxLineEnds::CrOrCrLf));
    EXPECT_EQ(cr, crlf);
    // The last line without an end still gets CR LF; a bare LF inside a line stays.
    EXPECT_EQ(Texts(Extract("From a\r\nx\ny", MboxLineEnds::CrOrCrLf)), std::vector<std::string>{"From a\r\nx\ny\r\n"});
}

TEST(LfProcedure, EveryLfFromEndsAMessageAndLineEndsBecomeCrLf) {
    // Two 9-byte messages.
    auto r = Extract("From a\nb\nFrom c\nd\n", MboxLineEnds::Lf);
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0].n, 1);
    EXPECT_EQ(r.messages[1].n, 2);
    EXPECT_EQ(r.messages[0].text, "From a\r\nb\r\n");
    EXPECT_EQ(r.messages[1].text, "From c\r\nd\r\n");
    // Two separators close together, CR LF and lone CR in an LF mailbox.
    EXPECT_EQ(Texts(Extract("From a\nx\r\nFrom b\ny\rz\nFrom c\n", MboxLineEnds::Lf)),
              (std::vector<std::string>{"From a\r\nx\r\n", "From b\r\ny\r\nz\r\n", "From c\r\n"}));
    // The first message starts at the first byte, whatever it is.
    EXPECT_EQ(Texts(Extract("junk\nFrom a\nx\n", MboxLineEnds::Lf)),
              (std::vector<std::string>{"junk\r\n", "From a\r\nx\r\n"}));
    // Only an LF introduces a separator: a lone CR before "From " does not.
    EXPECT_EQ(Extract("From a\rFrom b\n", MboxLineEnds::Lf).messages.size(), 1u);
}

TEST(LfProcedure, SeparatorsAcrossEveryOldBlockBoundaryAreFound) {
    // Messages of every length around the 518-byte blocks that used to hide separators.
    std::string box;
    std::vector<std::string> expected;
    for (int len = 500; len < 1100; len += 7) {
        std::string body(size_t(len), 'x');
        box += "From sender@example.org Mon Dec  7 08:37:05 2026\n" + body + "\n";
        expected.push_back("From sender@example.org Mon Dec  7 08:37:05 2026\r\n" + body + "\r\n");
    }
    EXPECT_EQ(Texts(Extract(box, MboxLineEnds::Lf)), expected);
}

TEST(Extraction, SeparatorsStraddlingTheReadBufferAtEveryOffset) {
    // Place each separator form across the 1 MiB read boundary at every split point.
    const size_t block = InputFile::kBlockSize;
    for (MboxLineEnds mode : {MboxLineEnds::CrOrCrLf, MboxLineEnds::Lf}) {
        const std::string eol = mode == MboxLineEnds::CrOrCrLf ? "\r\n" : "\n";
        for (size_t shift = 0; shift < 9; ++shift) {
            std::string first = "From a" + eol;
            size_t fill = block - first.size() - eol.size() - 4 + shift;
            first += std::string(fill, 'p') + eol;
            std::string box = first + "From b" + eol + "q" + eol;
            if (mode == MboxLineEnds::CrOrCrLf) box = first + "\n\nFrom b" + eol + "q" + eol;
            auto got = Texts(Extract(box, mode));
            EXPECT_EQ(got, ReferenceSplit(box, mode)) << "shift " << shift;
            EXPECT_EQ(got.size(), 2u) << "shift " << shift;
        }
    }
}

TEST(Extraction, StreamedAgreesWithTheWholeFileRules) {
    std::mt19937 rng(12345);
    const char* pieces[] = {"From ", "\n", "\r\n", "\r", "\n\nFrom ", "x", "From x", "body text ", ">From "};
    for (int round = 0; round < 40; ++round) {
        std::string box;
        size_t n = 50 + rng() % 4000;
        for (size_t i = 0; i < n; ++i) box += pieces[rng() % (sizeof pieces / sizeof *pieces)];
        if (round % 4 == 0) box += std::string(InputFile::kBlockSize + rng() % 1000, 'B') + "\nFrom z\n";
        for (MboxLineEnds mode : {MboxLineEnds::CrOrCrLf, MboxLineEnds::Lf}) {
            auto got = Texts(Extract(box, mode));
            ASSERT_EQ(got, ReferenceSplit(box, mode)) << "round " << round;
        }
    }
}

TEST(Extraction, VeryLongLineAndStopping) {
    std::string longLine(3 * InputFile::kBlockSize + 17, 'L');
    auto r = Extract("From a\n" + longLine, MboxLineEnds::Lf);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text.size(), 8 + longLine.size());

    auto s = Extract("From a\nx\nFrom b\ny\nFrom c\nz\n", MboxLineEnds::Lf, 1);
    EXPECT_EQ(s.messages.size(), 1u);
    EXPECT_TRUE(s.result.stopped);

    auto none = Extract("From a\nx\n", MboxLineEnds::None);
    EXPECT_TRUE(none.messages.empty());
}

TEST(Extraction, FilesWithoutAnySeparatorAreNotMailboxes) {
    for (MboxLineEnds mode : {MboxLineEnds::CrOrCrLf, MboxLineEnds::Lf}) {
        auto r = Extract("{\"json\": true}\n\n", mode);
        EXPECT_TRUE(r.messages.empty());
        EXPECT_NE(r.result.error.find("not a mailbox"), std::string::npos);
        auto nul = Extract(std::string(5000, '\0'), mode);
        EXPECT_TRUE(nul.messages.empty());
        EXPECT_NE(nul.result.error.find("not a mailbox"), std::string::npos);
    }
    // An empty mailbox is just empty.
    auto empty = Extract("", MboxLineEnds::CrOrCrLf);
    EXPECT_TRUE(empty.messages.empty());
    EXPECT_TRUE(empty.result.error.empty());
}

TEST(Extraction, ABomAndBlankLinesBeforeTheFirstSeparatorMakeNoMessage) {
    for (const std::string& lead : {std::string("\xEF\xBB\xBF"), std::string("\n\n \n"),
                                    std::string("\xEF\xBB\xBF\r\n\t\r\n"), std::string(3000, '\n')}) {
        auto lf = Extract(lead + "From a\nx\nFrom b\ny\n", MboxLineEnds::Lf);
        EXPECT_TRUE(lf.result.error.empty()) << lf.result.error;
        EXPECT_EQ(Texts(lf), (std::vector<std::string>{"From a\r\nx\r\n", "From b\r\ny\r\n"}));
        auto crlf = Extract(lead + "From a\r\nx\r\nFrom b\r\ny\r\n", MboxLineEnds::CrOrCrLf);
        EXPECT_EQ(Texts(crlf), (std::vector<std::string>{"From a\r\nx\r\n", "From b\r\ny\r\n"}));
    }
}

TEST(Extraction, MissingFileIsReported) {
    CollectingSink sink;
    AppendStrings acc;
    auto r = ExtractMailbox("/nonexistent/box.mbox", MboxLineEnds::CrOrCrLf, sink, acc);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(sink.messages.empty());
}

TEST(Extraction, CorpusMailboxesSplitIntoTheirMessages) {
    // Message counts as Python's mailbox module finds them for these files.
    struct Case {
        const char* file;
        size_t messages;
    } cases[] = {
        {"/mbox/gmime/input/substring.mbox", 3},
        {"/mbox/mimekit/content-length.mbox.txt", 29},
        {"/mbox/mimekit/issue1189.mbox.txt", 4},
    };
    for (auto& c : cases) {
        std::string path = std::string(BV_CORPUS) + c.file;
        CollectingSink sink;
        AppendStrings acc;
        MboxLineEnds mode = ProbeMailboxFile(path).lineEnds;
        auto r = ExtractMailbox(path, mode, sink, acc);
        EXPECT_TRUE(r.error.empty()) << c.file;
        EXPECT_EQ(sink.messages.size(), c.messages) << c.file;
        for (auto& m : sink.messages) EXPECT_EQ(m.text.rfind("From ", 0), 0u) << c.file;
    }
}
