// The identity digest of a message must stay what it was: stores written before
// recognise their messages by it.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestHost.h"
#include "conversion/MailboxProbe.h"
#include "conversion/MessageExtraction.h"
#include "conversion/MessageIdentity.h"
#include "mailstore/base/Ascii.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mime/LabelsField.h"

using namespace bv::conversion;

namespace {

// The digest's rule as stores were first written with it, written plainly.
std::vector<uint8_t> FirstDigest(std::string_view text) {
    using bv::mailstore::base::EqualsNoCase;
    auto mailboxField = [](std::string_view n) {
        return EqualsNoCase(n, "keywords") || EqualsNoCase(n, "status") || EqualsNoCase(n, "x-status") ||
               bv::mailstore::mime::IsLabelsFieldName(n);
    };
    std::string kept;
    bool header = true, skipping = false;
    for (size_t pos = 0; pos < text.size();) {
        size_t nl = text.find('\n', pos), end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const bool first = pos == 0;
        pos = end == text.size() ? end : end + 1;
        if (header) {
            if (first && line.substr(0, 5) == "From ") continue;
            if (line.empty()) {
                header = false;
            } else if (line[0] == ' ' || line[0] == '\t') {
                if (skipping) continue;
            } else {
                size_t colon = line.find(':');
                if ((skipping = colon != std::string_view::npos && mailboxField(line.substr(0, colon)))) continue;
            }
        }
        kept.append(line).push_back('\n');
    }
    return bv::mailstore::mapi::MessageSearchKey(kept);
}

struct Collect : MessageSink {
    std::vector<std::string> texts;
    void OutputMessage(int32_t, AppendStrings& t) override { texts.emplace_back(t.View()); }
    bool ShouldStop() override { return false; }
};

}  // namespace

TEST(MessageIdentity, DigestStaysWhatStoresWereWrittenWith) {
    std::vector<std::string> messages = {
        "From a@example.org Mon Dec  7 08:37:05 2026\r\nSubject: x\r\nX-Brimvault-Labels: Inbox,\r\n Sent\r\nStatus: RO\r\n\r\nbody\r\n",
        "From a\nStatus : RO\nKeywords:\tx\nX-Status:\n\nStatus: body, kept\n",  // blanks before a colon
        "\xEF\xBB\xBF" "From a 08:37:05\r\nStatus: RO\r\n\r\n",                          // a mark before it
        "From a\r\n  \r\n  Status: RO\r\nSubject: y\r\n\r\nb",                     // blank lines, blanks in front
        "From a\r\n folded first\r\nStatus: RO\r\n continued\r\nBad line\r\n more\r\n\r\nx",
        "From a\r\n>From b\r\nFrom c 1:2\r\nKeywords: k\r\n\r\n",
        "From a\r\nSta\x01tus: RO\r\nX-Labels: l\r\nX-a-b-Labels: l\r\nX-9-LABELS: l\r\n\r\n",
        "From a\r\n\r\nStatus: RO\r\n",  // no header at all
        "Subject: no separator\r\nStatus: RO\r\n\r\nx\r",
        "From a\r\nSubject: no body\r\nStatus: RO",
        "From a",
        "",
    };
    // Real mail: every message of the mailboxes and .eml files of the test data.
    for (const auto& e : std::filesystem::recursive_directory_iterator(BV_TEST_DATA)) {
        const std::string path = e.path().string(), ext = e.path().extension().string();
        if (ext == ".eml") messages.push_back("From x@example.org Mon Dec  7 08:37:05 2026\r\n" + bv::testing::ReadFile(e.path()));
        if (ext != ".mbox" && path.find(".mbox.txt") == std::string::npos) continue;
        Collect sink;
        AppendStrings text;
        ExtractMailbox(path, ProbeMailboxFile(path).lineEnds, sink, text);
        messages.insert(messages.end(), sink.texts.begin(), sink.texts.end());
    }
    ASSERT_GT(messages.size(), 100u);
    for (const std::string& m : messages) {
        EXPECT_EQ(MessageDigest(m), FirstDigest(m)) << m.substr(0, 200);
        EXPECT_EQ(MessageDigest(m, bv::mailstore::mime::ReadMessageTop(m)), FirstDigest(m)) << m.substr(0, 200);
    }
}
