// The message digest read in pieces where the message lies against the digest of the
// text it stands for, built line by line: the same key, so that stores written before
// still recognise their messages.
#include <gtest/gtest.h>

#include "conversion/MessageIdentity.h"
#include "mailstore/mapi/EntryIds.h"

namespace bv::conversion {
namespace {

// What the digest reads: no "From " line, no mailbox fields, every line ending in LF.
std::string DigestedText(std::string_view text) {
    std::string kept;
    bool header = true, skipping = false;
    for (size_t pos = 0; pos < text.size();) {
        size_t nl = text.find('\n', pos), end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const bool first = pos == 0;
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (header) {
            if (first && line.starts_with("From ")) continue;
            if (line.empty()) header = false;
            else if (line[0] == ' ' || line[0] == '\t') { if (skipping) continue; }
            else if ((skipping = line.starts_with("Status:") || line.starts_with("X-Brimvault-Labels:"))) continue;
        }
        kept.append(line).push_back('\n');
    }
    return kept;
}

TEST(MessageDigest, MatchesTheDigestOfTheTextItStandsFor) {
    const std::string cases[] = {
        "",
        "Subject: a",
        "Subject: a\n\nbody",
        "From x Mon Jan  1 00:00:00 2024\nSubject: a\nStatus: RO\nX-Brimvault-Labels: Inbox,\n Starred\nTo: b\n\nline\n",
        "Subject: a\r\nTo: b\r\n\r\nline one\r\nline two\r\n",
        "Subject: a\r\n\r\nno end\r",
        "Subject: a\n\ncr\r\r\nlone\rcr\n\r",
        "Subject: a\n\n\n\nFrom inside\n",
        "Subject: a\r\n\r\n" + std::string(100, 'x') + "\r\n" + std::string(33, 'y'),
        "Subject: a\n\n" + std::string(20000, 'q') + "\n",
        "Subject: a\r\n\r\n" + [] {
            std::string lines;
            for (int i = 0; i < 1000; ++i) lines += std::string(size_t(i % 90), 'z') + "\r\n";
            return lines;
        }(),
    };
    for (const std::string& text : cases)
        EXPECT_EQ(MessageDigest(text), mailstore::mapi::MessageSearchKey(DigestedText(text))) << text;
    // The key of bytes given in pieces, cut anywhere.
    const std::string bytes = DigestedText(cases[8]);
    for (size_t cut = 0; cut <= bytes.size(); cut += 7) {
        mailstore::mapi::MessageSearchKeyHash hash(bytes.size());
        hash.Add(std::string_view(bytes).substr(0, cut));
        hash.Add(std::string_view(bytes).substr(cut));
        EXPECT_EQ(hash.Finish(), mailstore::mapi::MessageSearchKey(bytes)) << cut;
    }
}

}  // namespace
}  // namespace bv::conversion
