// A multipart of very many parts, read a window of parts at a time, imports as it
// does read whole; and the attachments past those a writer keeps are only counted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/MimeEntity.h"
#include "mailstore/mime/MimeWalk.h"
#include "mailstore/mime/Rfc822Import.h"

using namespace bv::mailstore::mime;
using bv::mailstore::mapi::Attachment;
using bv::mailstore::mapi::CompleteMessage;
using bv::mailstore::mapi::Message;

namespace {

// A message of `n` parts after its text body; `part(i)` says what part i is (a header,
// a blank line, content).
template <class Part>
std::string ManyParts(size_t n, const std::string& type, Part part, const std::string& eol = "\n") {
    std::string m = "From: a@example.org\nSubject: many\nMIME-Version: 1.0\nContent-Type: " + type +
                    "; boundary=\"b-many\"\n\npreamble\n--b-many\nContent-Type: text/plain\n\nThe text.\n";
    for (size_t i = 0; i < n; ++i) m += "\n--b-many\n" + part(i);
    m += "\n--b-many--\nepilogue\n";
    std::string out;
    for (char c : m) out += c == '\n' ? eol : std::string(1, c);
    return out;
}

std::string File(size_t i) {
    return "Content-Type: text/plain; name=\"f" + std::to_string(i) + ".txt\"\nContent-Disposition: attachment\n\nfile " +
           std::to_string(i) + "\n";
}

// The message imported from its entity read whole, and read in windows (`windowed`:
// whether it was), each with what the parser reported.
struct Both {
    Message whole, windows, streamed;  // streamed: in windows, the attachments made as read
    std::vector<ParseIssues::Report> wholeReports, windowReports;
    bool windowed = false;
    bool made = false;  // the attachments were made as read
};
Both ImportBoth(const std::string& bytes) {
    Both b;
    const MessageTop top = ReadMessageTop(bytes);
    const std::string_view separator = top.data.substr(top.headerLen, top.bodyStart - top.headerLen);
    const std::string_view body = top.data.substr(top.bodyStart), header = top.data.substr(0, top.headerLen);
    auto fill = [&](Message& m, const Body& with, BytesAtHand atHand = BytesAtHand::None) {
        FillMessage(m, 0, m.warnings, top.header.fields, with, header, top.envelope, {}, SIZE_MAX, SIZE_MAX, atHand);
    };
    {
        ParseIssues issues;
        ParseIssuesScope scope(&issues);
        const MimeEntity entity(top.header.content, separator, body, issues);
        fill(b.whole, Body{entity.object(), nullptr, entity.source(), entity.sourceAt()});
        b.wholeReports = issues.reports;
    }
    ParseIssues issues;
    ParseIssuesScope scope(&issues);
    const auto windows = PartWindows::Of(top.header.content, separator, body);
    b.windowed = windows != nullptr;
    if (windows) fill(b.windows, Body{nullptr, nullptr, {}, 0, windows.get()});
    b.windowReports = issues.reports;
    if (windows) {
        // As a writer reads them: all of them, completed, in place of those held.
        ParseIssues ignored;
        ParseIssuesScope again(&ignored);
        Message streamed;
        fill(streamed, Body{nullptr, nullptr, {}, 0, windows.get()}, BytesAtHand::UntilWritten);
        b.made = streamed.moreAttachments != nullptr;
        CompleteMessage(streamed);
        b.streamed.props = streamed.props;
        b.streamed.warnings = streamed.warnings;
        ForEachAttachment(streamed, [&](Attachment& a) { b.streamed.attachments.push_back(std::move(a)); });
    }
    return b;
}

void ExpectSame(const Message& a, const Message& b) {
    EXPECT_EQ(a.warnings, b.warnings);
    EXPECT_EQ(a.props.Size(), b.props.Size());
    for (const auto& [id, p] : a.props.All()) {
        const auto* q = b.props.Find(uint32_t(id) << 16);
        ASSERT_NE(q, nullptr) << std::hex << id;
        EXPECT_TRUE(q->type == p.type && q->value == p.value) << std::hex << id;
    }
    ASSERT_EQ(a.attachments.size(), b.attachments.size());
    for (size_t i = 0; i < a.attachments.size(); ++i) {
        const auto& x = a.attachments[i].props.All();
        const auto& y = b.attachments[i].props.All();
        ASSERT_EQ(x.size(), y.size()) << i;
        for (auto p = x.begin(), q = y.begin(); p != x.end(); ++p, ++q)
            EXPECT_TRUE(p->first == q->first && p->second.value == q->second.value) << i << " " << std::hex << p->first;
        ASSERT_EQ(!a.attachments[i].embedded, !b.attachments[i].embedded) << i;
        if (a.attachments[i].embedded) ExpectSame(*a.attachments[i].embedded, *b.attachments[i].embedded);
    }
}

}  // namespace

// Blanks after every 50th boundary.
std::string Blanks(std::string bytes) {
    size_t n = 0;
    for (size_t at = bytes.find("\n--b-many\n"); at != std::string::npos; at = bytes.find("\n--b-many\n", at + 1))
        if (++n % 50 == 0) bytes.insert(at + 9, " \t");
    return bytes;
}

std::string Unclosed(std::string bytes) { return bytes.substr(0, bytes.rfind("--b-many--")); }

TEST(PartWindows, ManyPartsImportAsWhenReadWhole) {
    const std::string message = "From: b@example.org\nSubject: inner\n\nInner text.\n";
    struct Case {
        const char* name;
        std::string bytes;
        bool windowed;
        bool made = true;
    } cases[] = {
        {"files", ManyParts(600, "multipart/mixed", File), true},
        {"CR LF", ManyParts(600, "multipart/mixed", File, "\r\n"), true},
        {"messages at the windows' ends", ManyParts(600, "multipart/mixed", [&](size_t i) {
             return i % 256 == 254 || i % 256 == 255 ? "Content-Type: message/rfc822\n\n" + message : File(i);
         }), true},
        {"blanks after boundaries, lines like them", Blanks(ManyParts(600, "multipart/mixed", [](size_t i) {
             return File(i) + (i % 100 == 0 ? "--b-manyX\n--b-many-not\n" : "");
         })), true},
        {"HTML in a later window, images it shows", ManyParts(700, "multipart/related", [](size_t i) {
             if (i == 400) return std::string("Content-Type: text/html\n\n<p><img src=\"cid:i3@x\"><img src=\"cid:i650@x\">\n");
             return "Content-Type: image/png\nContent-ID: <i" + std::to_string(i) + "@x>\n\npng " + std::to_string(i) + "\n";
         }), true},
        {"nested multiparts", ManyParts(600, "multipart/mixed", [](size_t i) {
             return i % 7 ? File(i)
                          : "Content-Type: multipart/alternative; boundary=\"in\"\n\n--in\nContent-Type: text/plain\n\n"
                            "x\n--in\nContent-Type: text/html\n\n<b>x</b>\n--in--\n";
         }), true},
        {"a nested multipart left open", ManyParts(600, "multipart/mixed", [](size_t i) {
             return i == 500 ? "Content-Type: multipart/mixed; boundary=\"open\"\n\n--open\n\nx\n" : File(i);
         }), true},
        {"no closing boundary (read whole)", Unclosed(ManyParts(600, "multipart/mixed", File)), true, false},
        {"few parts", ManyParts(200, "multipart/mixed", File), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Both b = ImportBoth(c.bytes);
        ASSERT_EQ(b.windowed, c.windowed);
        EXPECT_GE(b.whole.attachments.size(), 200u);
        if (!c.windowed) continue;
        ExpectSame(b.whole, b.windows);
        EXPECT_EQ(b.wholeReports.size(), b.windowReports.size());
        EXPECT_EQ(b.made, c.made);
        CompleteMessage(b.windows);
        ExpectSame(b.windows, b.streamed);
    }
}

TEST(PartWindows, AttachmentsPastThoseKeptAreCounted) {
    const std::string bytes = ManyParts(3000, "multipart/mixed", File);
    Message all, kept;
    ImportRfc822(bytes, all);
    ImportRfc822(bytes, ReadMessageTop(bytes), kept, {}, SIZE_MAX, 2048);
    ASSERT_EQ(all.attachments.size(), 3000u);
    EXPECT_EQ(kept.attachments.size(), 2048u);
    EXPECT_EQ(kept.attachmentsLeftOut, 952u);
    using bv::mailstore::mapi::PR_ATTACH_LONG_FILENAME;
    EXPECT_EQ(kept.attachments.back().props.GetString(PR_ATTACH_LONG_FILENAME),
              all.attachments[2047].props.GetString(PR_ATTACH_LONG_FILENAME));
}
