// RFC 822 import: corpus robustness and field-level checks on crafted messages.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/HeaderMapping.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/mime/TnefImport.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::mapi;
using bv::mailstore::mime::ImportTnef;

namespace {

// A message as the conversion hands it to a writer: imported, then completed.
void ImportRfc822(std::string_view bytes, Message& m) {
    bv::mailstore::mime::ImportRfc822(bytes, m);
    CompleteMessage(m);
}
void ImportRfc822File(const fs::path& path, Message& m) {
    bv::mailstore::mime::ImportRfc822File(path, m);
    CompleteMessage(m);
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// "\n" -> "\r\n", as our splitter writes messages.
std::string Crlf(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Base64(const std::string& data) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0, line = 0;
    for (; i + 2 < data.size(); i += 3) {
        uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8) | uint8_t(data[i + 2]);
        out += k[v >> 18];
        out += k[(v >> 12) & 63];
        out += k[(v >> 6) & 63];
        out += k[v & 63];
        if (++line == 19) out += "\n", line = 0;
    }
    if (i + 1 == data.size()) {
        uint32_t v = uint8_t(data[i]) << 16;
        out += k[v >> 18];
        out += k[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == data.size()) {
        uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8);
        out += k[v >> 18];
        out += k[(v >> 12) & 63];
        out += k[(v >> 6) & 63];
        out += '=';
    }
    return out + "\n";
}

Message Import(const std::string& bytes) {
    Message m;
    EXPECT_NO_THROW(ImportRfc822(bytes, m));
    return m;
}

std::string Str(const PropertyBag& p, uint32_t tag) { return p.GetString(tag).value_or("<missing>"); }
std::string Bin(const PropertyBag& p, uint32_t tag) {
    const Binary* b = p.GetBinary(tag);
    return b ? std::string(b->begin(), b->end()) : std::string("<missing>");
}

int64_t FileTimeOf(int y, int mo, int d, int h, int mi, int s) {
    // days from civil (UTC)
    y -= mo <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    int64_t days = int64_t(era) * 146097 + int64_t(doe) - 719468;
    return UnixToFileTime(days * 86400 + h * 3600 + mi * 60 + s);
}

bool HasWarningContaining(const Message& m, const std::string& text) {
    return std::any_of(m.warnings.begin(), m.warnings.end(), [&](const std::string& w) { return w.find(text) != std::string::npos; });
}

const Attachment* FindAttachment(const Message& m, const std::string& longName) {
    for (const auto& a : m.attachments)
        if (a.props.GetString(PR_ATTACH_LONG_FILENAME) == longName) return &a;
    return nullptr;
}

// Checks that hold for every imported message, whatever its content.
void ExpectWellFormed(const Message& m, const std::string& what, int depth = 0) {
    SCOPED_TRACE(what);
    if (Str(m.props, PR_MESSAGE_CLASS) == "IPM.Note.SMIME") {  // encrypted: the blob is its attachment
        ASSERT_EQ(m.attachments.size(), 1u);
        EXPECT_NE(Str(m.attachments[0].props, PR_ATTACH_MIME_TAG).find("pkcs7-mime"), std::string::npos);
    } else {
        EXPECT_EQ(Str(m.props, PR_MESSAGE_CLASS), "IPM.Note");
    }
    auto flags = m.props.GetInt(PR_MESSAGE_FLAGS);
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(*flags & MSGFLAG_UNSENT, 0);
    EXPECT_EQ((*flags & MSGFLAG_HASATTACH) != 0, !m.attachments.empty());
    for (size_t i = 0; i < m.recipients.size(); ++i) EXPECT_EQ(CompletedRecipient(m.recipients[i], i).GetInt(PR_ROWID), int32_t(i));
    for (size_t i = 0; i < m.attachments.size(); ++i) {
        const Attachment& a = m.attachments[i];
        EXPECT_EQ(a.props.GetInt(PR_ATTACH_NUM), int32_t(i));
        auto method = a.props.GetInt(PR_ATTACH_METHOD);
        ASSERT_TRUE(method.has_value());
        EXPECT_FALSE(Str(a.props, PR_ATTACH_LONG_FILENAME).empty());
        if (*method == ATTACH_EMBEDDED_MSG) {
            ASSERT_NE(a.embedded, nullptr);
            ExpectWellFormed(*a.embedded, what + " / attached", depth + 1);
        } else {
            EXPECT_EQ(*method, ATTACH_BY_VALUE);
            ASSERT_NE(a.props.GetBinary(PR_ATTACH_DATA_BIN), nullptr);
            EXPECT_EQ(a.props.GetInt(PR_ATTACH_SIZE), int32_t(a.props.GetBinary(PR_ATTACH_DATA_BIN)->size()));
        }
    }
}

}  // namespace

// ---------------------------------------------------------------- corpus

TEST(Rfc822ImportCorpus, EveryEmlFileImports) {
    int count = 0;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(BV_CORPUS) / "eml")) {
        if (!e.is_regular_file()) continue;
        Message m;
        ASSERT_NO_THROW(ImportRfc822File(e.path(), m)) << e.path();
        ExpectWellFormed(m, e.path().string());
        ++count;
    }
    EXPECT_GE(count, 15);
}

TEST(Rfc822ImportCorpus, EveryMboxMessageImports) {
    int count = 0;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(BV_CORPUS) / "mbox")) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || name.find("mbox") == std::string::npos || e.path().string().find("/output/") != std::string::npos)
            continue;
        const std::string data = ReadFile(e.path());
        std::vector<size_t> starts;
        size_t first = data.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        starts.push_back(first);
        for (size_t pos = data.find("\nFrom ", first); pos != std::string::npos; pos = data.find("\nFrom ", pos + 1))
            starts.push_back(pos + 1);
        for (size_t i = 0; i < starts.size(); ++i) {
            size_t end = i + 1 < starts.size() ? starts[i + 1] : data.size();
            Message m;
            ASSERT_NO_THROW(ImportRfc822(std::string_view(data).substr(starts[i], end - starts[i]), m)) << name << " #" << i;
            ExpectWellFormed(m, name + " #" + std::to_string(i));
            ++count;
        }
    }
    EXPECT_GE(count, 35);
}

TEST(Rfc822ImportCorpus, BomFileWithHeaders) {
    // feedback-report.txt starts with a UTF-8 BOM: the header must still be read.
    Message m;
    ImportRfc822File(fs::path(BV_CORPUS) / "eml/mimekit/messages/feedback-report.txt", m);
    EXPECT_TRUE(m.props.Has(PR_SUBJECT));
    EXPECT_TRUE(m.props.Has(PR_SENDER_EMAIL_ADDRESS));
    EXPECT_TRUE(m.warnings.empty()) << m.warnings.front();
}

TEST(Rfc822ImportCorpus, MissingFileThrows) {
    Message m;
    EXPECT_THROW(ImportRfc822File("/nonexistent/dir/x.eml", m), bv::mailstore::MailStoreError);
}

// ---------------------------------------------------------------- envelope

TEST(Rfc822Import, EncodedWordsInSubjectAndNames) {
    Message m = Import(Crlf(
        "From sender@example.com Mon Dec  7 08:37:05 2026\n"
        "From: =?UTF-8?B?SsO8cmdlbiBNw7xsbGVy?= <juergen@example.com>\n"
        "Sender: Secretary <sec@example.com>\n"
        "To: =?ISO-8859-1?Q?Fran=E7ois_Dupr=E9?= <francois@example.org>, plain@example.net\n"
        "Cc: Team: a@example.com, \"B, Person\" <b@example.com>;\n"
        "Bcc: hidden@example.com\n"
        "Subject: RE: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_K=C3=B6ln?=\n"
        "Date: Mon, 07 Dec 2026 08:37:05 +0100\n"
        "Message-ID: <id-1@example.com>\n"
        "In-Reply-To: <id-0@example.com>\n"
        "References: <id-a@example.com>\n <id-0@example.com>\n"
        "\n"
        "Body.\n"));
    const PropertyBag& p = m.props;
    EXPECT_EQ(Str(p, PR_SUBJECT), "RE: Grüße aus Köln");
    EXPECT_EQ(Str(p, PR_SUBJECT_PREFIX), "RE: ");
    EXPECT_EQ(Str(p, PR_NORMALIZED_SUBJECT), "Grüße aus Köln");
    EXPECT_EQ(Str(p, PR_CONVERSATION_TOPIC), "Grüße aus Köln");

    EXPECT_EQ(Str(p, PR_SENT_REPRESENTING_NAME), "Jürgen Müller");
    EXPECT_EQ(Str(p, PR_SENT_REPRESENTING_EMAIL_ADDRESS), "juergen@example.com");
    EXPECT_EQ(Str(p, PR_SENT_REPRESENTING_ADDRTYPE), "SMTP");
    EXPECT_EQ(Bin(p, PR_SENT_REPRESENTING_SEARCH_KEY), std::string("SMTP:JUERGEN@EXAMPLE.COM\0", 25));
    // Sender: header wins for the sender group
    EXPECT_EQ(Str(p, PR_SENDER_NAME), "Secretary");
    EXPECT_EQ(Str(p, PR_SENDER_EMAIL_ADDRESS), "sec@example.com");

    ASSERT_EQ(m.recipients.size(), 5u);
    EXPECT_EQ(Str(m.recipients[0].Props(), PR_DISPLAY_NAME), "François Dupré");
    EXPECT_EQ(Str(m.recipients[1].Props(), PR_DISPLAY_NAME), "plain@example.net");  // no name: the address
    EXPECT_EQ(m.recipients[2].Props().GetInt(PR_RECIPIENT_TYPE), MAPI_CC);          // group members expanded
    EXPECT_EQ(Str(m.recipients[3].Props(), PR_DISPLAY_NAME), "B, Person");
    EXPECT_EQ(m.recipients[4].Props().GetInt(PR_RECIPIENT_TYPE), MAPI_BCC);
    for (size_t i = 0; i < m.recipients.size(); ++i) {  // the rows as they are written
        const PropertyBag r = CompletedRecipient(m.recipients[i], i);
        EXPECT_EQ(Str(r, PR_ADDRTYPE), "SMTP");
        EXPECT_EQ(Str(r, PR_SMTP_ADDRESS), Str(r, PR_EMAIL_ADDRESS));
        EXPECT_EQ(r.GetInt(PR_OBJECT_TYPE), 6);
        EXPECT_EQ(r.GetInt(PR_DISPLAY_TYPE), 0);
        EXPECT_EQ(r.GetBool(PR_RESPONSIBILITY), false);
        EXPECT_EQ(r.GetBool(PR_SEND_RICH_INFO), false);
    }
    EXPECT_EQ(Str(p, PR_DISPLAY_TO), "François Dupré; plain@example.net");
    EXPECT_EQ(Str(p, PR_DISPLAY_CC), "a@example.com; B, Person");
    EXPECT_EQ(Str(p, PR_DISPLAY_BCC), "hidden@example.com");

    EXPECT_EQ(Str(p, PR_INTERNET_MESSAGE_ID), "<id-1@example.com>");
    EXPECT_EQ(Str(p, PR_IN_REPLY_TO_ID), "<id-0@example.com>");
    EXPECT_EQ(Str(p, PR_INTERNET_REFERENCES), "<id-a@example.com> <id-0@example.com>");
    EXPECT_EQ(p.GetTime(PR_CLIENT_SUBMIT_TIME), FileTimeOf(2026, 12, 7, 7, 37, 5));
    // no Received header: delivery = sent time; creation/modification follow delivery
    EXPECT_EQ(p.GetTime(PR_MESSAGE_DELIVERY_TIME), FileTimeOf(2026, 12, 7, 7, 37, 5));
    EXPECT_EQ(p.GetTime(PR_CREATION_TIME), p.GetTime(PR_MESSAGE_DELIVERY_TIME));
    EXPECT_EQ(p.GetTime(PR_LAST_MODIFICATION_TIME), p.GetTime(PR_MESSAGE_DELIVERY_TIME));

    // transport headers: the header block without the "From " line, CR LF
    std::string th = Str(p, PR_TRANSPORT_MESSAGE_HEADERS);
    EXPECT_EQ(th.rfind("From: =?UTF-8?B?", 0), 0u) << th;
    EXPECT_NE(th.find("References: <id-a@example.com>\r\n <id-0@example.com>\r\n"), std::string::npos);
    EXPECT_EQ(th.find("\n\r\n"), std::string::npos);
    EXPECT_EQ(p.GetInt(PR_MESSAGE_FLAGS), MSGFLAG_READ | MSGFLAG_UNMODIFIED);
    EXPECT_EQ(p.GetInt(PR_MESSAGE_STATUS), 0);
    EXPECT_TRUE(m.warnings.empty());
}

// A writer that keeps only so many recipient rows is given no more: the rest are
// counted, the display lists still name everyone, in an attached message too.
TEST(Rfc822Import, RecipientRowsPastALimitAreCounted) {
    const std::string mail =
        "From: s@example.com\nTo: Ann <a1@example.com>, a2@example.com\nCc: \"Doe, Jo\" <c1@example.com>\n"
        "Bcc: b1@example.com\nSubject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
        "Content-Type: text/plain\n\nx\n--b\nContent-Type: message/rfc822\n\n"
        "From: e@example.com\nTo: e1@example.com, e2@example.com, e3@example.com\nSubject: inner\n\ny\n--b--\n";
    const Message all = Import(mail);
    ASSERT_EQ(all.recipients.size(), 4u);
    ASSERT_EQ(all.attachments.size(), 1u);
    ASSERT_NE(all.attachments[0].embedded, nullptr);
    const struct {
        size_t rows, made, innerMade;
    } cases[] = {{SIZE_MAX, 4, 3}, {4, 4, 3}, {3, 3, 3}, {2, 2, 2}, {0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        Message m;
        bv::mailstore::mime::ImportRfc822(mail, bv::mailstore::mime::ReadMessageTop(mail), m, {}, c.rows);
        CompleteMessage(m);
        ASSERT_EQ(m.recipients.size(), c.made);
        EXPECT_EQ(m.recipientsLeftOut, 4 - c.made);
        for (size_t i = 0; i < c.made; ++i) {
            const PropertyBag row = m.recipients[i].Props(), whole = all.recipients[i].Props();
            EXPECT_EQ(row.GetInt(PR_RECIPIENT_TYPE), whole.GetInt(PR_RECIPIENT_TYPE));
            EXPECT_EQ(Str(row, PR_DISPLAY_NAME), Str(whole, PR_DISPLAY_NAME));
            EXPECT_EQ(Str(row, PR_EMAIL_ADDRESS), Str(whole, PR_EMAIL_ADDRESS));
        }
        for (uint32_t tag : {PR_DISPLAY_TO, PR_DISPLAY_CC, PR_DISPLAY_BCC}) EXPECT_EQ(Str(m.props, tag), Str(all.props, tag));
        ASSERT_EQ(m.attachments.size(), 1u);
        ASSERT_NE(m.attachments[0].embedded, nullptr);
        const Message& inner = *m.attachments[0].embedded;
        EXPECT_EQ(inner.recipients.size(), c.innerMade);
        EXPECT_EQ(inner.recipientsLeftOut, 3 - c.innerMade);
        EXPECT_EQ(Str(inner.props, PR_DISPLAY_TO), "e1@example.com; e2@example.com; e3@example.com");
        EXPECT_EQ(Str(m.props, PR_TRANSPORT_MESSAGE_HEADERS), Str(all.props, PR_TRANSPORT_MESSAGE_HEADERS));
    }
}

// A long header of a message whose rows were left out is left to the writer, which
// has the message's bytes; an attached message keeps its own.
TEST(Rfc822Import, LongHeaderOfAMessageWithRowsLeftOutIsLeftToTheWriter) {
    std::string to;
    for (int i = 0; i < 60000; ++i) to += (i ? ",\n r" : "r") + std::to_string(i) + "@example.org";
    const std::string inner = "From: e@example.com\nTo: " + to + "\nSubject: inner\n\ny\n";
    for (const std::string& mail :
         {"From: s@example.com\nTo: " + to + "\nSubject: s\n\nx\n",
          "From: s@example.com\nTo: " + to + "\nSubject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
          "Content-Type: text/plain\n\nx\n--b\nContent-Type: message/rfc822\n\n" + inner + "--b--\n"}) {
        const Message all = Import(mail);
        const std::string whole = Str(all.props, PR_TRANSPORT_MESSAGE_HEADERS);
        const auto top = bv::mailstore::mime::ReadMessageTop(mail);
        const std::string_view header = top.data.substr(0, top.headerLen);
        ASSERT_TRUE(bv::mailstore::mime::HeaderLeftToWriter(header));
        std::string joined;
        bv::mailstore::mime::TransportHeadersInPieces(header, 1000, [&joined](std::string_view p) { joined += p; });
        EXPECT_EQ(joined, whole);
        for (size_t rows : {size_t(60000), size_t(2048)}) {
            Message m;
            bv::mailstore::mime::ImportRfc822(mail, top, m, {}, rows);
            EXPECT_EQ(Str(m.props, PR_TRANSPORT_MESSAGE_HEADERS), rows == 60000 ? whole : "");
            if (!m.attachments.empty() && m.attachments[0].embedded) {
                const Message& e = *m.attachments[0].embedded;
                EXPECT_EQ(e.recipientsLeftOut, rows == 60000 ? 0u : 60000u - 2048u);
                EXPECT_EQ(Str(e.props, PR_TRANSPORT_MESSAGE_HEADERS),
                          Str(all.attachments[0].embedded->props, PR_TRANSPORT_MESSAGE_HEADERS));
            }
        }
    }
}

namespace {
// Whether two bags hold the same properties.
bool SameProps(const PropertyBag& a, const PropertyBag& b) {
    return std::equal(a.All().begin(), a.All().end(), b.All().begin(), b.All().end(), [](const auto& x, const auto& y) {
        return x.first == y.first && x.second.type == y.second.type && x.second.value == y.second.value;
    });
}

}  // namespace

// A writer that keeps the message's bytes until it is written (a store's): a long
// header is left to it, rows of plain mailboxes view the bytes, and past a few hundred
// rows of nothing but plain mailboxes they are made as the writer reads them. Every
// row and list stays what the importer makes otherwise.
TEST(Rfc822Import, RowsOfAMessageWhoseBytesTheWriterKeeps) {
    std::string many;
    for (int i = 0; i < 60000; ++i) many += (i ? ",\n 'Person " : "'Person ") + std::to_string(i) + "' <p" + std::to_string(i) + "@example.org>";
    const struct {
        std::string fields;
        bool asRead;
    } cases[] = {
        {"To: " + many + "\nCc: c1@example.org, C Two <c2@example.org>\n", true},
        {"To: " + many + "\nCc: \"Quoted, Name\" <q@example.org>\n", false},  // one field for the parser
        {"To: Ann <ann@example.org>, bob@example.org\nBcc: carl@example.org\n", false},
    };
    for (const auto& c : cases) {
        const std::string mail = "From: s@example.com\n" + c.fields + "Subject: s\n\nx\n";
        const Message all = Import(mail);
        const auto top = bv::mailstore::mime::ReadMessageTop(mail);
        Message m;
        bv::mailstore::mime::ImportRfc822(mail, top, m, {}, SIZE_MAX, SIZE_MAX, bv::mailstore::mime::BytesAtHand::UntilWritten);
        EXPECT_EQ(m.moreRecipients != nullptr, c.asRead);
        EXPECT_EQ(m.recipients.empty(), c.asRead);
        ASSERT_EQ(RecipientCount(m), all.recipients.size());
        size_t i = 0;
        ForEachRecipient(m, [&](const Recipient& r) {
            const PropertyBag row = CompletedRecipient(r, i), whole = CompletedRecipient(all.recipients[i], i);
            EXPECT_TRUE(SameProps(row, whole)) << i;
            ++i;
        });
        EXPECT_EQ(i, all.recipients.size());
        for (uint32_t tag : {PR_DISPLAY_TO, PR_DISPLAY_CC, PR_DISPLAY_BCC}) EXPECT_EQ(Str(m.props, tag), Str(all.props, tag));
        const bool longHeader = bv::mailstore::mime::HeaderLeftToWriter(top.data.substr(0, top.headerLen));
        EXPECT_EQ(longHeader, c.fields.size() > many.size());
        EXPECT_EQ(Str(m.props, PR_TRANSPORT_MESSAGE_HEADERS), longHeader ? "" : Str(all.props, PR_TRANSPORT_MESSAGE_HEADERS));
    }
}

TEST(Rfc822Import, OneOffEntryIdLayout) {
    Message m = Import("From: Ann <ann@example.com>\nTo: Bob <bob@example.com>\nSubject: x\n\nbody\n");
    ASSERT_EQ(m.recipients.size(), 1u);
    const PropertyBag row = m.recipients[0].Props();
    const Binary* id = row.GetBinary(PR_ENTRYID);
    ASSERT_NE(id, nullptr);
    const uint8_t provider[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19, 0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
    ASSERT_GE(id->size(), 24u);
    EXPECT_TRUE(std::equal(id->begin(), id->begin() + 4, std::vector<uint8_t>(4, 0).begin()));
    EXPECT_TRUE(std::equal(provider, provider + 16, id->begin() + 4));
    uint16_t flags = uint16_t((*id)[22] | ((*id)[23] << 8));
    EXPECT_TRUE(flags & 0x8000) << "Unicode flag";
    // then UTF-16LE "Bob\0SMTP\0bob@example.com\0"
    std::u16string expect = u"Bob";
    expect += u'\0';
    expect += u"SMTP";
    expect += u'\0';
    expect += u"bob@example.com";
    expect += u'\0';
    ASSERT_EQ(id->size(), 24 + expect.size() * 2);
    for (size_t i = 0; i < expect.size(); ++i) EXPECT_EQ(char16_t((*id)[24 + 2 * i] | ((*id)[25 + 2 * i] << 8)), expect[i]);
    EXPECT_EQ(Bin(row, PR_SEARCH_KEY), std::string("SMTP:BOB@EXAMPLE.COM\0", 21));
    // the message-level sender entry id has the same form
    const Binary* sid = m.props.GetBinary(PR_SENDER_ENTRYID);
    ASSERT_NE(sid, nullptr);
    EXPECT_TRUE(std::equal(provider, provider + 16, sid->begin() + 4));
}

TEST(Rfc822Import, ReplyToBecomesReplyRecipients) {
    Message m = Import("From: a@example.com\nReply-To: List <list@example.com>, b@example.com\nSubject: x\n\nbody\n");
    EXPECT_EQ(Str(m.props, PR_REPLY_RECIPIENT_NAMES), "List; b@example.com");
    const Binary* flat = m.props.GetBinary(PR_REPLY_RECIPIENT_ENTRIES);
    ASSERT_NE(flat, nullptr);
    auto u32 = [&](size_t off) { return uint32_t((*flat)[off] | (*flat)[off + 1] << 8 | (*flat)[off + 2] << 16 | (*flat)[off + 3] << 24); };
    ASSERT_GE(flat->size(), 8u);
    EXPECT_EQ(u32(0), 2u);                   // entries
    EXPECT_EQ(u32(4), flat->size() - 8);     // bytes that follow
    size_t off = 8;
    for (int i = 0; i < 2; ++i) {
        uint32_t cb = u32(off);
        ASSERT_LE(off + 4 + cb, flat->size());
        EXPECT_EQ((*flat)[off + 4 + 4], 0x81);  // one-off provider UID starts after 4 flag bytes
        off += 4 + cb;
        off = (off + 3) & ~size_t(3);
    }
    EXPECT_EQ(off, flat->size());
    Message n = Import("From: a@example.com\nSubject: x\n\nbody\n");
    EXPECT_FALSE(n.props.Has(PR_REPLY_RECIPIENT_ENTRIES));
}

TEST(Rfc822Import, DatesFallBackToEnvelopeThenReceived) {
    // Missing Date: the "From " line's asctime date
    Message a = Import(Crlf("From sender@example.com Mon Dec  7 08:37:05 2026\nFrom: a@example.com\nSubject: no date\n\nbody\n"));
    EXPECT_EQ(a.props.GetTime(PR_CLIENT_SUBMIT_TIME), FileTimeOf(2026, 12, 7, 8, 37, 5));
    EXPECT_EQ(a.props.GetTime(PR_MESSAGE_DELIVERY_TIME), FileTimeOf(2026, 12, 7, 8, 37, 5));

    // Unreadable Date, no envelope: the topmost Received header's date for both
    Message b = Import(
        "Received: from b by c; Tue, 01 Dec 2026 10:00:02 +0000\n"
        "Received: from a by b; Tue, 01 Dec 2026 10:00:01 +0000\n"
        "From: a@example.com\nDate: not a date at all\nSubject: s\n\nbody\n");
    EXPECT_EQ(b.props.GetTime(PR_CLIENT_SUBMIT_TIME), FileTimeOf(2026, 12, 1, 10, 0, 2));
    EXPECT_EQ(b.props.GetTime(PR_MESSAGE_DELIVERY_TIME), FileTimeOf(2026, 12, 1, 10, 0, 2));

    // Date and Received: sent from Date, delivered from the topmost Received
    Message c = Import(
        "Received: from b by c;\n Tue, 01 Dec 2026 11:00:00 +0100\n"
        "From: a@example.com\nDate: Tue, 01 Dec 2026 09:59:00 +0000\nSubject: s\n\nbody\n");
    EXPECT_EQ(c.props.GetTime(PR_CLIENT_SUBMIT_TIME), FileTimeOf(2026, 12, 1, 9, 59, 0));
    EXPECT_EQ(c.props.GetTime(PR_MESSAGE_DELIVERY_TIME), FileTimeOf(2026, 12, 1, 10, 0, 0));
    EXPECT_EQ(c.props.GetTime(PR_CREATION_TIME), FileTimeOf(2026, 12, 1, 10, 0, 0));
}

TEST(Rfc822Import, EnvelopeSenderStandsInForMissingFrom) {
    Message a = Import(Crlf("From bounce@example.com Mon Dec  7 08:37:05 2026\nSubject: no from\n\nbody\n"));
    EXPECT_EQ(Str(a.props, PR_SENDER_EMAIL_ADDRESS), "bounce@example.com");
    EXPECT_EQ(Str(a.props, PR_SENT_REPRESENTING_NAME), "bounce@example.com");
    Message b = Import(Crlf("From bounce@example.com Mon Dec  7 08:37:05 2026\nFrom: Real <real@example.com>\n\nbody\n"));
    EXPECT_EQ(Str(b.props, PR_SENDER_EMAIL_ADDRESS), "real@example.com");
    Message c = Import(Crlf("From - Mon Dec  7 08:37:05 2026\nSubject: x\n\nbody\n"));
    EXPECT_FALSE(c.props.Has(PR_SENDER_EMAIL_ADDRESS));
}

TEST(Rfc822Import, SubjectPrefixes) {
    struct Case {
        const char* subject;
        const char* prefix;
        const char* normalized;
    } cases[] = {
        {"Re: hello", "Re: ", "hello"},   {"FW: fwd", "FW: ", "fwd"},       {"AW: Antwort", "AW: ", "Antwort"},
        {"Answer: 42", "", "Answer: 42"}, {"Note:nospace", "", "Note:nospace"}, {"1: numbered", "", "1: numbered"},
        {"plain", "", "plain"},           {"", "", ""},
    };
    for (const auto& c : cases) {
        Message m = Import(std::string("From: a@example.com\nSubject: ") + c.subject + "\n\nbody\n");
        EXPECT_EQ(Str(m.props, PR_SUBJECT_PREFIX), c.prefix) << c.subject;
        EXPECT_EQ(Str(m.props, PR_NORMALIZED_SUBJECT), c.normalized) << c.subject;
    }
}

TEST(Rfc822Import, ImportanceSensitivityPriority) {
    Message a = Import("From: a@example.com\nX-Priority: 1 (Highest)\nSensitivity: Company-Confidential\n\nx\n");
    EXPECT_EQ(a.props.GetInt(PR_IMPORTANCE), 2);
    EXPECT_EQ(a.props.GetInt(PR_PRIORITY), 1);
    EXPECT_EQ(a.props.GetInt(PR_SENSITIVITY), 3);
    Message b = Import("From: a@example.com\nImportance: low\nX-Priority: 1\nPriority: non-urgent\n\nx\n");
    EXPECT_EQ(b.props.GetInt(PR_IMPORTANCE), 0);  // Importance wins over X-Priority
    EXPECT_EQ(b.props.GetInt(PR_PRIORITY), -1);
    Message c = Import("From: a@example.com\n\nx\n");
    EXPECT_FALSE(c.props.Has(PR_IMPORTANCE));
    EXPECT_FALSE(c.props.Has(PR_SENSITIVITY));
}

// ---------------------------------------------------------------- bodies and charsets

struct CharsetCase {
    const char* charset;
    std::string encoded;   // the text in that charset
    std::string utf8;      // the same text in UTF-8
};

TEST(Rfc822Import, EightCharsets) {
    const CharsetCase cases[] = {
        {"UTF-8", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", "Grüße €"},
        {"ISO-8859-1", "Gr\xFC\xDF" "e aus K\xF6ln", "Grüße aus Köln"},
        {"ISO-8859-15", "Prix: 10 \xA4", "Prix: 10 €"},
        {"windows-1252", "\x93Quotes\x94 \x96 \x80", "“Quotes” – €"},
        {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "Привет"},
        {"ISO-2022-JP", "\x1B$B$3$s$K$A$O\x1B(B", "こんにちは"},
        {"Shift_JIS", "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD", "こんにちは"},
        {"GB2312", "\xC4\xE3\xBA\xC3", "你好"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.charset);
        std::string html = std::string("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=") + c.charset +
                           "\"></head><body><p>" + c.encoded + "</p></body></html>";
        Message m = Import(Crlf(std::string("From: a@example.com\nSubject: =?") + c.charset + "?B?" +
                                [&] { std::string b = Base64(c.encoded); b.pop_back(); return b; }() + "?=\n"
                                "MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=\"alt\"\n\n"
                                "--alt\nContent-Type: text/plain; charset=" + c.charset + "\nContent-Transfer-Encoding: base64\n\n" +
                                Base64(c.encoded) + "--alt\nContent-Type: text/html; charset=\"" + c.charset +
                                "\"\nContent-Transfer-Encoding: base64\n\n" + Base64(html) + "--alt--\n"));
        EXPECT_EQ(Str(m.props, PR_SUBJECT), c.utf8);
        EXPECT_EQ(Str(m.props, PR_BODY), c.utf8);
        std::string h = Bin(m.props, PR_HTML);
        EXPECT_NE(h.find("<p>" + c.utf8 + "</p>"), std::string::npos) << h;
        std::string lower = h;
        for (auto& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_NE(lower.find("charset=utf-8"), std::string::npos) << h;  // declaration follows the conversion
        EXPECT_EQ(m.props.GetInt(PR_INTERNET_CPID), 65001);
        EXPECT_EQ(m.props.GetInt(PR_NATIVE_BODY), 3);
        EXPECT_TRUE(m.attachments.empty());
        EXPECT_TRUE(m.warnings.empty()) << m.warnings.front();
    }
}

TEST(Rfc822Import, EightBitWithoutCharsetAndUnknownCharset) {
    Message a = Import("From: a@example.com\nContent-Type: text/plain\n\nK\xF6ln\n");
    EXPECT_EQ(Str(a.props, PR_BODY), "Köln\r\n");
    Message b = Import("From: a@example.com\nContent-Type: text/plain; charset=x-no-such-charset\n\nplain text\n");
    EXPECT_EQ(Str(b.props, PR_BODY), "plain text\r\n");
    EXPECT_TRUE(HasWarningContaining(b, "unknown charset")) << (b.warnings.empty() ? "" : b.warnings.front());
    Message c = Import("From: a@example.com\nContent-Type: text/plain; charset=utf-8\n\nbad \xFF byte\n");
    EXPECT_EQ(Str(c.props, PR_BODY), "bad \xEF\xBF\xBD byte\r\n");
}

TEST(Rfc822Import, HtmlCharsetFromMetaWhenMimeNamesNone) {
    Message m = Import("From: a@example.com\nContent-Type: text/html\n\n"
                       "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"></head>"
                       "<body>\xCF\xF0\xE8\xE2\xE5\xF2</body></html>\n");
    EXPECT_EQ(Str(m.props, PR_BODY), "Привет\r\n");
    std::string h = Bin(m.props, PR_HTML);
    EXPECT_NE(h.find("charset=utf-8"), std::string::npos) << h;
    EXPECT_NE(h.find("Привет"), std::string::npos) << h;
}

TEST(Rfc822Import, HtmlOnlyGetsPlainRendering) {
    Message m = Import(
        "From: a@example.com\nSubject: html\nMIME-Version: 1.0\nContent-Type: text/html; charset=utf-8\n"
        "Content-Transfer-Encoding: quoted-printable\n\n"
        "<html><head><title>T</title><style>p{color:red}</style></head><body><h1>Headline</h1>=\n"
        "<p>First &amp; more&nbsp;text.<br>Second line</p><script>var x=1;</script><ul><li>apples</li><li>pears</li></ul>=\n"
        "<p>caf=C3=A9 &#8364; &#x263A; &lt;tag&gt;</p></body></html>\n");
    std::string body = Str(m.props, PR_BODY);
    EXPECT_NE(body.find("Headline\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("First & more\xC2\xA0text.\r\nSecond line"), std::string::npos) << body;
    EXPECT_NE(body.find("* apples\r\n* pears"), std::string::npos) << body;
    EXPECT_NE(body.find("café € ☺ <tag>"), std::string::npos) << body;
    EXPECT_EQ(body.find("color:red"), std::string::npos);
    EXPECT_EQ(body.find("var x"), std::string::npos);
    EXPECT_EQ(m.props.GetInt(PR_NATIVE_BODY), 3);
    EXPECT_EQ(Bin(m.props, PR_HTML).find("<h1>Headline</h1>"), Bin(m.props, PR_HTML).find("<h1>"));
    EXPECT_TRUE(m.attachments.empty());
}

TEST(Rfc822Import, PlainOnly) {
    Message m = Import("From: a@example.com\nSubject: plain\n\nline 1\nline 2\n");
    EXPECT_EQ(Str(m.props, PR_BODY), "line 1\r\nline 2\r\n");
    EXPECT_FALSE(m.props.Has(PR_HTML));
    EXPECT_EQ(m.props.GetInt(PR_NATIVE_BODY), 1);
}

// ---------------------------------------------------------------- attachments

TEST(Rfc822Import, InlineImagesInRelated) {
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(300, '\x01');
    Message m = Import(Crlf(
        "From: a@example.com\nSubject: inline\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=mix\n\n"
        "--mix\nContent-Type: multipart/related; boundary=rel\n\n"
        "--rel\nContent-Type: multipart/alternative; boundary=alt\n\n"
        "--alt\nContent-Type: text/plain\n\nSee the logo.\n"
        "--alt\nContent-Type: text/html\n\n<p>See <img src=\"cid:logo@x\"> and <img src=\"pic2.gif\"></p>\n"
        "--alt--\n"
        "--rel\nContent-Type: image/png\nContent-ID: <logo@x>\nContent-Transfer-Encoding: base64\n\n" + Base64(png) +
        "--rel\nContent-Type: image/gif\nContent-Location: pic2.gif\n\nGIF89a\n"
        "--rel--\n"
        "--mix\nContent-Type: application/pdf; name=\"report.pdf\"\nContent-Disposition: attachment; filename=\"report.pdf\"\n"
        "Content-Transfer-Encoding: base64\n\n" + Base64("%PDF-1.4 data") + "--mix--\n"));
    ASSERT_EQ(m.attachments.size(), 3u);
    const Attachment& logo = m.attachments[0];
    EXPECT_EQ(Str(logo.props, PR_ATTACH_CONTENT_ID), "logo@x");
    EXPECT_EQ(logo.props.GetInt(PR_ATTACH_FLAGS), 4);
    EXPECT_EQ(logo.props.GetBool(PR_ATTACHMENT_HIDDEN), true);
    EXPECT_EQ(Bin(logo.props, PR_ATTACH_DATA_BIN), png);
    EXPECT_EQ(Str(logo.props, PR_ATTACH_MIME_TAG), "image/png");
    EXPECT_EQ(Str(logo.props, PR_ATTACH_LONG_FILENAME), "attachment-1.png");  // generated name
    EXPECT_EQ(logo.props.GetInt(PR_RENDERING_POSITION), -1);
    const Attachment& gif = m.attachments[1];
    EXPECT_EQ(Str(gif.props, PR_ATTACH_CONTENT_LOCATION), "pic2.gif");
    EXPECT_EQ(gif.props.GetBool(PR_ATTACHMENT_HIDDEN), true);
    const Attachment& pdf = m.attachments[2];
    EXPECT_EQ(Str(pdf.props, PR_ATTACH_LONG_FILENAME), "report.pdf");
    EXPECT_EQ(Str(pdf.props, PR_ATTACH_FILENAME), "REPORT.PDF");
    EXPECT_EQ(Str(pdf.props, PR_ATTACH_EXTENSION), ".pdf");
    EXPECT_EQ(Str(pdf.props, PR_DISPLAY_NAME), "report.pdf");
    EXPECT_EQ(Bin(pdf.props, PR_ATTACH_DATA_BIN), "%PDF-1.4 data");
    EXPECT_FALSE(pdf.props.Has(PR_ATTACHMENT_HIDDEN));
    EXPECT_FALSE(pdf.props.Has(PR_ATTACH_FLAGS));
    EXPECT_EQ(Str(m.props, PR_BODY), "See the logo.");  // the line break before a boundary belongs to it
    EXPECT_TRUE(m.props.GetInt(PR_MESSAGE_FLAGS).value() & MSGFLAG_HASATTACH);
}

TEST(Rfc822Import, Rfc2231AndEncodedFileNames) {
    Message m = Import(Crlf(
        "From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
        "--b\nContent-Type: text/plain\n\nbody\n"
        "--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment;\n"
        " filename*0*=UTF-8''%E6%97%A5%E6%9C%AC%E8%AA%9E%20;\n filename*1*=%E3%83%95%E3%82%A1%E3%82%A4%E3%83%AB.txt\n\nx\n"
        "--b\nContent-Type: application/msword; name=\"=?ISO-8859-1?Q?R=E9sum=E9_with_a_long_name.doc?=\"\n\ny\n"
        "--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment; filename=\"../../etc/pass:wd\"\n\nz\n"
        "--b--\n"));
    ASSERT_EQ(m.attachments.size(), 3u);
    EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_LONG_FILENAME), "日本語 ファイル.txt");
    EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_EXTENSION), ".txt");
    EXPECT_EQ(Str(m.attachments[1].props, PR_ATTACH_LONG_FILENAME), "Résumé with a long name.doc");
    EXPECT_EQ(Str(m.attachments[1].props, PR_ATTACH_FILENAME), "RSUMWI~1.DOC");
    // no path separators or drive colons in a stored name
    std::string risky = Str(m.attachments[2].props, PR_ATTACH_LONG_FILENAME);
    EXPECT_EQ(risky.find('/'), std::string::npos) << risky;
    EXPECT_EQ(risky.find(':'), std::string::npos) << risky;
}

TEST(Rfc822Import, NestedAttachedMessages) {
    std::string inner2 = "From: deep@example.com\nSubject: innermost\nDate: Fri, 04 Dec 2026 09:00:00 +0000\n\nInnermost body.\n";
    std::string inner1 =
        "From: mid@example.com\nSubject: =?UTF-8?Q?middle_=C3=A9?=\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=in1\n\n"
        "--in1\nContent-Type: text/plain\n\nMiddle body.\n"
        "--in1\nContent-Type: message/rfc822\n\n" + inner2 + "\n--in1\nContent-Type: text/csv; name=data.csv\n"
        "Content-Disposition: attachment; filename=data.csv\n\na,b\n1,2\n--in1--\n";
    Message m = Import(Crlf("From: top@example.com\nSubject: Fwd: nested\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=top\n\n"
                            "--top\nContent-Type: text/plain\n\nSee attached.\n"
                            "--top\nContent-Type: message/rfc822\nContent-Disposition: attachment\n\n" + inner1 + "\n--top--\n"));
    ASSERT_EQ(m.attachments.size(), 1u);
    const Attachment& a = m.attachments[0];
    EXPECT_EQ(a.props.GetInt(PR_ATTACH_METHOD), ATTACH_EMBEDDED_MSG);
    EXPECT_EQ(Str(a.props, PR_ATTACH_MIME_TAG), "message/rfc822");
    EXPECT_EQ(Str(a.props, PR_ATTACH_LONG_FILENAME), "middle é.eml");
    EXPECT_EQ(Str(a.props, PR_DISPLAY_NAME), "middle é");
    EXPECT_FALSE(a.props.Has(PR_ATTACH_DATA_BIN));
    ASSERT_NE(a.embedded, nullptr);
    const Message& mid = *a.embedded;
    EXPECT_EQ(Str(mid.props, PR_SUBJECT), "middle é");
    EXPECT_EQ(Str(mid.props, PR_BODY), "Middle body.");
    EXPECT_EQ(Str(mid.props, PR_SENDER_EMAIL_ADDRESS), "mid@example.com");
    ASSERT_EQ(mid.attachments.size(), 2u);
    ASSERT_NE(mid.attachments[0].embedded, nullptr);
    EXPECT_EQ(Str(mid.attachments[0].embedded->props, PR_SUBJECT), "innermost");
    EXPECT_EQ(Str(mid.attachments[0].embedded->props, PR_BODY), "Innermost body.\r\n");
    EXPECT_EQ(mid.attachments[0].embedded->props.GetTime(PR_CLIENT_SUBMIT_TIME), FileTimeOf(2026, 12, 4, 9, 0, 0));
    EXPECT_EQ(Bin(mid.attachments[1].props, PR_ATTACH_DATA_BIN), "a,b\r\n1,2");
    EXPECT_TRUE(mid.props.Has(PR_TRANSPORT_MESSAGE_HEADERS));
    EXPECT_NE(*mid.props.GetBinary(PR_SEARCH_KEY), *m.props.GetBinary(PR_SEARCH_KEY));
    ExpectWellFormed(m, "nested");
}

TEST(Rfc822Import, TransferEncodedAttachedMessages) {
    const std::string inner = "From: in@example.com\r\nSubject: inner b64\r\n\r\ninner body\r\n";
    Message m = Import(Crlf("From: a@example.com\nSubject: outer\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                            "--b\nContent-Type: text/plain\n\nouter\n"
                            "--b\nContent-Type: message/rfc822\nContent-Transfer-Encoding: base64\n"
                            "Content-Disposition: attachment; filename=fwd.eml\n\n" + Base64(inner) +
                            "--b\nContent-Type: message/global\n\nFrom: g@example.com\nSubject: global\n\nglobal body\n--b--\n"));
    ASSERT_EQ(m.attachments.size(), 2u);
    for (const auto& a : m.attachments) {
        EXPECT_EQ(a.props.GetInt(PR_ATTACH_METHOD), ATTACH_EMBEDDED_MSG);
        ASSERT_NE(a.embedded, nullptr);
    }
    EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_LONG_FILENAME), "fwd.eml");
    EXPECT_EQ(Str(m.attachments[0].embedded->props, PR_SUBJECT), "inner b64");
    EXPECT_EQ(Str(m.attachments[0].embedded->props, PR_BODY), "inner body\r\n");
    EXPECT_EQ(Str(m.attachments[1].embedded->props, PR_SUBJECT), "global");
    EXPECT_TRUE(m.warnings.empty());
}

TEST(Rfc822Import, DeepNestingIsCutWithAWarning) {
    std::string msg = "From: a@example.com\nSubject: level 0\n\nbottom\n";
    for (int i = 1; i <= 40; ++i)
        msg = "From: a@example.com\nSubject: level " + std::to_string(i) + "\nContent-Type: message/rfc822\n\n" + msg;
    Message m = Import(msg);
    int depth = 0;
    const Message* cur = &m;
    while (!cur->attachments.empty() && cur->attachments[0].embedded) {
        cur = cur->attachments[0].embedded.get();
        ++depth;
    }
    EXPECT_GE(depth, 30);
    EXPECT_LT(depth, 40);
    ASSERT_EQ(cur->attachments.size(), 1u);  // kept as an .eml file
    EXPECT_NE(Bin(cur->attachments[0].props, PR_ATTACH_DATA_BIN).find("level"), std::string::npos);
    EXPECT_TRUE(HasWarningContaining(m, "nested too deeply"));
}

TEST(Rfc822Import, DeeplyNestedMultipartsDoNotCrash) {
    std::string body = "leaf\n";
    for (int i = 0; i < 300; ++i) {
        std::string b = "b" + std::to_string(i);
        body = "Content-Type: multipart/mixed; boundary=" + b + "\n\n--" + b + "\n" + body + "\n--" + b + "--\n";
    }
    Message m = Import("From: a@example.com\nSubject: deep\n" + body);
    EXPECT_EQ(Str(m.props, PR_SUBJECT), "deep");
}

// ---------------------------------------------------------------- damaged input

TEST(Rfc822Import, BrokenBase64IsWarned) {
    Message m = Import(Crlf("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                            "--b\nContent-Type: text/plain\n\nbody\n"
                            "--b\nContent-Type: application/octet-stream; name=x.bin\nContent-Transfer-Encoding: base64\n\n"
                            "SGVsbG8g!!d29y*bGQ\n--b--\n"));
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_TRUE(HasWarningContaining(m, "x.bin")) << (m.warnings.empty() ? "no warning" : m.warnings.front());
    EXPECT_NE(Bin(m.attachments[0].props, PR_ATTACH_DATA_BIN).find("Hello"), std::string::npos);
}

TEST(Rfc822Import, TruncatedMessageKeepsWhatWasRead) {
    std::string full = Crlf("From: a@example.com\nSubject: cut\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                            "--b\nContent-Type: text/plain\n\nthe body survives\n"
                            "--b\nContent-Type: application/pdf; name=r.pdf\nContent-Transfer-Encoding: base64\n\n" +
                            Base64(std::string(3000, 'P')) + "--b--\n");
    Message m = Import(full.substr(0, full.size() / 2 + 13));
    EXPECT_EQ(Str(m.props, PR_SUBJECT), "cut");
    EXPECT_EQ(Str(m.props, PR_BODY), "the body survives");
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_TRUE(HasWarningContaining(m, "truncated")) << (m.warnings.empty() ? "no warning" : m.warnings.front());
}

TEST(Rfc822Import, PartHeaderWithoutItsBlankLine) {
    // The base64 line follows the part header without the blank line: mail readers
    // take it as the start of the content (the parser alone would skip it, or lose the
    // rest of the message reading it as a header).
    for (const char* data : {"SGVsbG8gd29ybGQ=\n", "SGVsbG8gd29ybGQ=\nSGVsbG8gd29ybGQ=\n"}) {
        const std::string msg = Crlf(
            "From: a@example.com\nSubject: s\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\n"
            "body\n--b\nContent-Type: application/zip; name=\"A.zip\"\nContent-Transfer-Encoding: base64\n"
            "Content-Disposition: attachment; filename=\"A.zip\"\n" + std::string(data) + "\n--b--\n");
        Message m = Import(msg);
        EXPECT_EQ(Str(m.props, PR_SUBJECT), "s");
        EXPECT_TRUE(m.warnings.empty()) << m.warnings.front();
        const Attachment* zip = FindAttachment(m, "A.zip");
        ASSERT_NE(zip, nullptr) << data;
        EXPECT_EQ(Bin(zip->props, PR_ATTACH_DATA_BIN).substr(0, 11), "Hello world") << data;
        EXPECT_EQ(FindAttachment(m, "original-message.eml"), nullptr);
    }
    // an mbox escape line in front of an attached message is no loss
    Message n = Import("From: a@example.com\nContent-Type: message/rfc822\n\n>From - Fri Dec 13 15:01:21 1996\nFrom: b@example.com\nSubject: in\n\nx\n");
    EXPECT_TRUE(n.warnings.empty()) << n.warnings.front();
    ASSERT_EQ(n.attachments.size(), 1u);
    ASSERT_NE(n.attachments[0].embedded, nullptr);
    EXPECT_EQ(Str(n.attachments[0].embedded->props, PR_SUBJECT), "in");
}

TEST(Rfc822Import, QuotedSeparatorsOfAnyDepthAreNoLoss) {
    // A mailbox quotes a separator once more each time it is stored again.
    for (const std::string quoted : {">From x 1", ">>From x 1", ">>>From x 1"}) {
        Message top = Import(Crlf("From: a@example.com\n" + quoted + "\nSubject: s\n\nbody\n"));
        EXPECT_TRUE(top.warnings.empty()) << quoted << ": " << top.warnings.front();
        EXPECT_EQ(Str(top.props, PR_SUBJECT), "s");
        Message inner = Import("From: a@example.com\nContent-Type: message/rfc822\n\n" + quoted + "\nSubject: in\n\nx\n");
        EXPECT_TRUE(inner.warnings.empty()) << quoted << ": " << inner.warnings.front();
        ASSERT_EQ(inner.attachments.size(), 1u);
        ASSERT_NE(inner.attachments[0].embedded, nullptr);
        EXPECT_EQ(Str(inner.attachments[0].embedded->props, PR_SUBJECT), "in");
    }
}

TEST(Rfc822Import, TopLevelHeaderFieldsAreCutAsAMailReaderCutsThem) {
    // Blanks before the colon, repeated address fields joined in order, the last
    // Subject winning, a Content-Type folded across lines, an mbox escape line.
    Message m = Import(Crlf("Subject : first\nTo: a@example.com\nFrom: s@example.com\n>From the archive\n"
                            "To: b@example.com,\n c@example.com\nSubject: =?utf-8?q?second_=C3=A9?=\n"
                            "Content-Type: multipart/mixed;\n\tboundary=\"zz\"\n\n"
                            "--zz\nContent-Type: text/plain\n\nbody text\n--zz\nContent-Type: application/pdf; name=r.pdf\n\n%PDF\n--zz--\n"));
    EXPECT_TRUE(m.warnings.empty()) << m.warnings.front();
    EXPECT_EQ(Str(m.props, PR_SUBJECT), "second \xC3\xA9");
    ASSERT_EQ(m.recipients.size(), 3u);
    EXPECT_EQ(Str(m.recipients[0].Props(), PR_EMAIL_ADDRESS), "a@example.com");
    EXPECT_EQ(Str(m.recipients[2].Props(), PR_EMAIL_ADDRESS), "c@example.com");
    EXPECT_EQ(Str(m.props, PR_SENDER_EMAIL_ADDRESS), "s@example.com");
    EXPECT_EQ(Str(m.props, PR_BODY), "body text");
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_LONG_FILENAME), "r.pdf");

    // A line that is no field, after the first: dropped and reported, the original kept.
    const std::string dropped = "From: a@example.com\nSubject: s\nthis line has no colon\n  and a continuation\n\nbody\n";
    Message d = Import(dropped);
    EXPECT_EQ(Str(d.props, PR_SUBJECT), "s");
    EXPECT_EQ(Str(d.props, PR_BODY), "body\r\n");
    EXPECT_TRUE(HasWarningContaining(d, "1 unreadable header line")) << (d.warnings.empty() ? "none" : d.warnings.front());
    EXPECT_NE(FindAttachment(d, "original-message.eml"), nullptr);

    // Blanks in front of the first field (as a mail program wrote enmime's
    // "bad-header-start" sample): the header is read as mail readers read it.
    Message blanks = Import(" From: a@example.com\nSubject: s\n\nbody\n");
    EXPECT_EQ(Str(blanks.props, PR_SUBJECT), "s");
    EXPECT_EQ(Str(blanks.props, PR_SENDER_EMAIL_ADDRESS), "a@example.com");
    EXPECT_EQ(Str(blanks.props, PR_BODY), "body\r\n");
    EXPECT_TRUE(blanks.warnings.empty()) << blanks.warnings.front();

    // A first line that is no field, or a field name with a blank inside: no header
    // at all, so the whole text is the body, as a mail reader shows it.
    for (const char* bad : {" no field at first\nSubject: s\n\nbody\n", "Sub ject: s\n\nbody\n"}) {
        Message b = Import(bad);
        EXPECT_TRUE(HasWarningContaining(b, "no header")) << bad;
        EXPECT_EQ(FindAttachment(b, "original-message.eml"), nullptr) << bad;
        EXPECT_EQ(Str(b.props, PR_BODY), Crlf(bad)) << bad;
        EXPECT_FALSE(b.props.Has(PR_SUBJECT)) << bad;
        ExpectWellFormed(b, bad);
    }

    // A header with nothing after it, and a header of only Content-* fields.
    Message h = Import("Subject: only a header\n");
    EXPECT_EQ(Str(h.props, PR_SUBJECT), "only a header");
    EXPECT_TRUE(h.warnings.empty());
    Message c = Import("Content-Type: text/plain; charset=iso-8859-1\n\ncaf\xE9\n");
    EXPECT_EQ(Str(c.props, PR_BODY), "caf\xC3\xA9\r\n");
}

TEST(Rfc822Import, EmptyInput) {
    Message m = Import("");
    EXPECT_EQ(Str(m.props, PR_MESSAGE_CLASS), "IPM.Note");
    EXPECT_FALSE(m.warnings.empty());
    ExpectWellFormed(m, "empty");
}

TEST(Rfc822Import, BinaryGarbageKeepsTheOriginal) {
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += char((i * 7919 + 13) & 0xFF);
    Message m = Import(junk);
    EXPECT_FALSE(m.warnings.empty());
    const Attachment* orig = FindAttachment(m, "original-message.eml");
    ASSERT_NE(orig, nullptr);
    EXPECT_EQ(Bin(orig->props, PR_ATTACH_DATA_BIN), junk);
    ExpectWellFormed(m, "garbage");
}

TEST(Rfc822Import, TextWithoutAHeaderIsTheBody) {
    // The first line is no header field: the text is the body, the sender and date
    // come from the "From " line, and the message is converted with a warning.
    Message m = Import(Crlf("From ann@example.com Mon Dec  7 08:37:05 2026\nHello Bob,\nthe figures: 3 < 4.\n\nAnn\n"));
    EXPECT_EQ(Str(m.props, PR_BODY), Crlf("Hello Bob,\nthe figures: 3 < 4.\n\nAnn\n"));
    EXPECT_EQ(Str(m.props, PR_SENDER_EMAIL_ADDRESS), "ann@example.com");
    EXPECT_EQ(Str(m.props, PR_SENT_REPRESENTING_EMAIL_ADDRESS), "ann@example.com");
    EXPECT_EQ(m.props.GetTime(PR_CLIENT_SUBMIT_TIME), FileTimeOf(2026, 12, 7, 8, 37, 5));
    EXPECT_EQ(m.props.GetTime(PR_MESSAGE_DELIVERY_TIME), FileTimeOf(2026, 12, 7, 8, 37, 5));
    EXPECT_TRUE(m.attachments.empty());
    EXPECT_TRUE(HasWarningContaining(m, "no header")) << (m.warnings.empty() ? "none" : m.warnings.front());
    ExpectWellFormed(m, "headerless");

    // An empty header (a blank line straight after the "From " line): what follows it.
    Message e = Import("From someone with love\n\nWhat does a mail reader do?\n");
    EXPECT_EQ(Str(e.props, PR_BODY), "What does a mail reader do?\r\n");
    EXPECT_EQ(FindAttachment(e, "original-message.eml"), nullptr);
    EXPECT_FALSE(e.props.Has(PR_SENDER_EMAIL_ADDRESS));  // "someone" is no address
    EXPECT_TRUE(HasWarningContaining(e, "no header"));

    // Text that is not a message in another charset: read as windows-1252.
    Message w = Import("From b@example.com Mon Dec  7 08:37:05 2026\ncaf\xE9 au lait\n");
    EXPECT_EQ(Str(w.props, PR_BODY), "caf\xC3\xA9 au lait\r\n");
}

// ---------------------------------------------------------------- what the HTML shows

TEST(Rfc822Import, OnlyPartsTheHtmlShowsAreHidden) {
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(40, '\x02');
    auto part = [&](const std::string& headers) {
        return "--rel\nContent-Type: image/png\n" + headers + "Content-Transfer-Encoding: base64\n\n" + Base64(png);
    };
    Message m = Import(Crlf(
        "From: a@example.com\nSubject: related\nMIME-Version: 1.0\nContent-Type: multipart/related; boundary=rel\n\n"
        "--rel\nContent-Type: text/html\n\n<p><img src=\"cid:shown@x\"><img src='CID:attached@x'>"
        "<img src=\"cid:other@x2\"></p>\n" +
        part("Content-ID: <shown@x>\n") +                                                    // shown, inline
        part("Content-ID: <unused@x>\n") +                                                   // never referenced
        part("Content-ID: <attached@x>\nContent-Disposition: attachment; filename=a.png\n") + // shown, but an attachment
        part("Content-ID: <other@x>\n") +                                                    // only a longer ID is shown
        "--rel--\n"));
    ASSERT_EQ(m.attachments.size(), 4u);
    auto hidden = [](const Attachment& a) { return a.props.GetBool(PR_ATTACHMENT_HIDDEN).value_or(false); };
    EXPECT_TRUE(hidden(m.attachments[0]));
    EXPECT_EQ(m.attachments[0].props.GetInt(PR_ATTACH_FLAGS), ATT_MHTML_REF);
    for (size_t i = 1; i < 4; ++i) {
        SCOPED_TRACE(Str(m.attachments[i].props, PR_ATTACH_CONTENT_ID));
        EXPECT_FALSE(hidden(m.attachments[i]));
        EXPECT_FALSE(m.attachments[i].props.Has(PR_ATTACH_FLAGS));
    }
    EXPECT_EQ(Str(m.attachments[2].props, PR_ATTACH_LONG_FILENAME), "a.png");
}

// ---------------------------------------------------------------- winmail.dat and S/MIME

namespace {

std::string WithTnef(const std::string& tnef, const std::string& textBody = "stub text\n") {
    return Crlf("From: a@example.com\nSubject: rich text\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                "--b\nContent-Type: text/plain\n\n" + textBody +
                "--b\nContent-Type: application/ms-tnef; name=winmail.dat\nContent-Disposition: attachment; filename=winmail.dat\n"
                "Content-Transfer-Encoding: base64\n\n" + Base64(tnef) + "--b--\n");
}

std::string TnefSample(const std::string& name) { return ReadFile(fs::path(BV_CORPUS) / "tnef" / name); }

std::string Le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

uint16_t Checksum(std::string_view data) {
    uint16_t sum = 0;
    for (unsigned char c : data) sum = uint16_t(sum + c);
    return sum;
}

// One TNEF attribute: level, id, size, data, checksum.
std::string TnefAttribute(uint8_t level, uint32_t id, const std::string& data) {
    const uint16_t sum = Checksum(data);
    return std::string(1, char(level)) + Le32(id) + Le32(uint32_t(data.size())) + data + char(sum) + char(sum >> 8);
}

std::string TnefStream(const std::string& attributes) { return Le32(0x223E9F78) + std::string("\x01\x00", 2) + attributes; }

std::string Padded4(std::string s) { return s.append((4 - s.size() % 4) % 4, '\0'); }

// A single-valued string or binary property of a MAPI property block.
std::string CountedProperty(uint32_t tag, const std::string& value) {
    return Le32(tag) + Le32(1) + Le32(uint32_t(value.size())) + Padded4(value);
}

// A named string property with a name of `nameLength` characters.
std::string NamedProperty(uint16_t id, size_t nameLength, const std::string& value) {
    const std::string guid(16, '\x11');
    std::string name;
    for (size_t i = 0; i < nameLength; ++i) name += std::string("n\0", 2);
    return Le32((uint32_t(id) << 16) | 0x001E) + guid + Le32(1) + Le32(uint32_t(name.size())) + Padded4(name) +
           Le32(1) + Le32(uint32_t(value.size())) + Padded4(value);
}

constexpr uint32_t kAttBody = 0x0002800C, kAttMapiProps = 0x00069003, kAttAttachment = 0x00069005;
constexpr uint32_t kAttRenddata = 0x00069002, kAttAttachData = 0x0006800F, kAttMetaFile = 0x00068011;

std::string PropertyBlock(const std::vector<std::string>& properties) {
    std::string block = Le32(uint32_t(properties.size()));
    for (const std::string& p : properties) block += p;
    return block;
}

std::string Unbase64(std::string_view text) {
    std::string out;
    uint32_t bits = 0;
    int n = 0;
    for (char c : text) {
        const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = c ? std::strchr(k, c) : nullptr;
        if (!at) continue;
        bits = (bits << 6) | uint32_t(at - k);
        if ((n += 6) >= 8) out += char(bits >> (n -= 8));
    }
    return out;
}

// The winmail.dat of a corpus message (its base64 body part).
std::string TnefOfMessage(const std::string& eml) {
    const std::string text = ReadFile(fs::path(BV_CORPUS) / "eml" / "mimekit" / "tnef" / eml);
    const size_t name = text.find("winmail.dat\"");
    const size_t start = text.find("\n\n", name);
    const size_t end = text.find("\n--", start + 2);
    if (name == std::string::npos || start == std::string::npos || end == std::string::npos) return std::string();
    return Unbase64(std::string_view(text).substr(start, end - start));
}

// What `f` writes to file descriptor 1 (single-threaded callers only).
template <class F>
std::string StdoutOf(F&& f) {
    std::fflush(stdout);
    FILE* sink = std::tmpfile();
    const int saved = dup(1);
    dup2(fileno(sink), 1);
    f();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string written;
    std::rewind(sink);
    for (int c; (c = std::fgetc(sink)) != EOF;) written += char(c);
    std::fclose(sink);
    return written;
}

// Where each attribute of a stream ends.
std::vector<size_t> AttributeEnds(const std::string& tnef) {
    std::vector<size_t> ends;
    for (size_t pos = 6; pos + 9 <= tnef.size();) {
        pos += 9 + size_t(uint8_t(tnef[pos + 5]) | uint8_t(tnef[pos + 6]) << 8 | uint8_t(tnef[pos + 7]) << 16 |
                          uint32_t(uint8_t(tnef[pos + 8])) << 24) + 2;
        ends.push_back(pos);
    }
    return ends;
}

// Broken copies of a stream: cut short, attribute sizes wrong, and inside the MAPI
// property blocks counts and sizes made huge or off by one (checksums then made right).
std::vector<std::pair<std::string, std::string>> MutationsOf(const std::string& tnef) {
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t cut : {size_t(0), size_t(3), size_t(5), size_t(6), size_t(10), tnef.size() - 3, tnef.size() - 1})
        if (cut < tnef.size()) out.emplace_back("cut at " + std::to_string(cut), tnef.substr(0, cut));
    for (size_t i = 1; i < 24; ++i) out.emplace_back("cut at " + std::to_string(tnef.size() * i / 24), tnef.substr(0, tnef.size() * i / 24));
    const uint32_t values[] = {0, 1, 2, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 1001, 102, 524289};
    size_t pos = 6;
    while (pos + 9 <= tnef.size()) {
        const uint32_t id = uint8_t(tnef[pos + 1]) | uint8_t(tnef[pos + 2]) << 8 | uint8_t(tnef[pos + 3]) << 16 |
                            uint32_t(uint8_t(tnef[pos + 4])) << 24;
        const uint32_t size = uint8_t(tnef[pos + 5]) | uint8_t(tnef[pos + 6]) << 8 | uint8_t(tnef[pos + 7]) << 16 |
                              uint32_t(uint8_t(tnef[pos + 8])) << 24;
        if (size > tnef.size() - pos - 9) break;
        for (uint32_t v : {0u, size - 1, size + 1, 0xFFFFFFFFu})
            out.emplace_back("attribute size " + std::to_string(v), tnef.substr(0, pos + 5) + Le32(v) + tnef.substr(pos + 9));
        if (id == kAttMapiProps || id == kAttAttachment) {
            const size_t data = pos + 9;
            // Every field of the first 400 bytes, and 40 more spread over the rest.
            std::vector<size_t> offsets;
            for (size_t o = 0; o + 4 <= size && o < 400; o += 4) offsets.push_back(o);
            for (size_t k = 1; k <= 40 && size > 400; ++k) offsets.push_back((400 + (size - 400) * k / 41) & ~size_t(3));
            for (size_t o : offsets) {
                for (uint32_t v : values) {
                    if (o + 4 > size) continue;
                    std::string m = tnef.substr(0, data + o) + Le32(v) + tnef.substr(data + o + 4);
                    const uint16_t sum = Checksum(std::string_view(m).substr(data, size));
                    m[data + size] = char(sum);
                    m[data + size + 1] = char(sum >> 8);
                    out.emplace_back("block field " + std::to_string(o) + " = " + std::to_string(v), std::move(m));
                }
            }
        }
        pos += 9 + size + 2;
    }
    return out;
}

}  // namespace

TEST(Rfc822Import, WinmailDatBecomesItsFilesAndBody) {
    // Files: each one an attachment, winmail.dat itself gone.
    Message files = Import(WithTnef(TnefSample("two-files.tnef")));
    EXPECT_EQ(FindAttachment(files, "winmail.dat"), nullptr);
    ASSERT_EQ(files.attachments.size(), 2u);
    EXPECT_EQ(Str(files.attachments[0].props, PR_ATTACH_LONG_FILENAME), "AUTHORS");
    EXPECT_EQ(Bin(files.attachments[0].props, PR_ATTACH_DATA_BIN).size(), 244u);
    EXPECT_EQ(Str(files.attachments[1].props, PR_ATTACH_LONG_FILENAME), "README");
    EXPECT_EQ(Bin(files.attachments[1].props, PR_ATTACH_DATA_BIN).size(), 893u);
    EXPECT_TRUE(files.warnings.empty()) << files.warnings.front();
    ExpectWellFormed(files, "two-files");

    // Rich text: the RTF kept for Outlook, its text as the plain body.
    Message rtf = Import(WithTnef(TnefSample("rtf.tnef"), ""));
    ASSERT_NE(rtf.props.GetBinary(PR_RTF_COMPRESSED), nullptr);
    EXPECT_EQ(rtf.props.GetInt(PR_NATIVE_BODY), NATIVE_BODY_RTF);
    EXPECT_NE(Str(rtf.props, PR_BODY).find("aafgag'alga'kgk\r\n"), std::string::npos) << Str(rtf.props, PR_BODY);
    EXPECT_NE(Str(rtf.props, PR_BODY).find("\r\n\\hge\r\n"), std::string::npos);  // an escaped backslash
    EXPECT_EQ(Str(rtf.props, PR_BODY).find("Arial"), std::string::npos) << "the font table is no text";
    EXPECT_TRUE(rtf.attachments.empty());

    // An HTML body inside the stream.
    Message html = Import(WithTnef(TnefSample("body.tnef")));
    ASSERT_NE(html.props.GetBinary(PR_HTML), nullptr);
    EXPECT_EQ(html.props.GetInt(PR_NATIVE_BODY), NATIVE_BODY_HTML);
    EXPECT_NE(Str(html.props, PR_BODY), "stub text");

    // Names stored as Unicode.
    Message unicode = Import(WithTnef(TnefSample("unicode-mapi-attr.tnef")));
    ASSERT_EQ(unicode.attachments.size(), 2u);  // and the stub text, which its body does not say
    EXPECT_EQ(Str(unicode.attachments[0].props, PR_ATTACH_LONG_FILENAME), "example.dat");
    EXPECT_EQ(Bin(unicode.attachments[0].props, PR_ATTACH_DATA_BIN).size(), 1024u);
    EXPECT_EQ(Bin(FindAttachment(unicode, "message-text.txt")->props, PR_ATTACH_DATA_BIN), "stub text");

    // Not decodable: the original stays, with a warning.
    Message bad = Import(WithTnef("\x78\x9F\x3E\x22 then nothing that parses"));
    EXPECT_NE(FindAttachment(bad, "winmail.dat"), nullptr);
    EXPECT_TRUE(HasWarningContaining(bad, "TNEF"));
}

TEST(Rfc822Import, WinmailDatOutlookRichText) {
    // Rich text from a client that also writes named properties with names of over
    // 100 bytes: the body and the file come out, winmail.dat goes.
    Message m;
    const std::string printed = StdoutOf([&] {
        EXPECT_NO_THROW(ImportRfc822File(fs::path(BV_CORPUS) / "eml" / "mimekit" / "tnef" / "rich-text.eml", m));
    });
    EXPECT_EQ(printed, "");
    EXPECT_EQ(FindAttachment(m, "winmail.dat"), nullptr);
    EXPECT_TRUE(m.warnings.empty()) << m.warnings.front();
    ASSERT_NE(m.props.GetBinary(PR_RTF_COMPRESSED), nullptr);
    EXPECT_EQ(m.props.GetInt(PR_NATIVE_BODY), NATIVE_BODY_RTF);
    const std::string body = Str(m.props, PR_BODY);
    EXPECT_NE(body.find("Oh! What a Christmas to remember\r\n"), std::string::npos) << body;
    const Attachment* kitten = FindAttachment(m, "kitten-playing-with-a-christmas-tree.jpg");
    ASSERT_NE(kitten, nullptr);
    EXPECT_EQ(Bin(kitten->props, PR_ATTACH_DATA_BIN).size(), 375081u);
    // Two attached items, each a message of its own with its body.
    for (auto [subject, text] : {std::pair{"Build a train table", "HO-scale train table"},
                                 std::pair{"Christmas Celebration!", "open their Christmas presents"}}) {
        SCOPED_TRACE(subject);
        const Attachment* item = FindAttachment(m, std::string(subject) + ".msg");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->props.GetInt(PR_ATTACH_METHOD), ATTACH_EMBEDDED_MSG);
        ASSERT_NE(item->embedded, nullptr);
        EXPECT_EQ(Str(item->embedded->props, PR_SUBJECT), subject);
        EXPECT_NE(Str(item->embedded->props, PR_BODY).find(text), std::string::npos);
    }
    EXPECT_EQ(m.attachments.size(), 3u);
    ExpectWellFormed(m, "rich-text.eml");
}

TEST(Rfc822Import, WinmailDatValuesTheDecoderCannotHold) {
    const std::string guid(16, '\x11');
    auto decoded = [](const std::string& stream) {
        Message m;
        const std::string printed = StdoutOf([&] { m = Import(WithTnef(stream, "")); });
        EXPECT_EQ(printed, "");
        EXPECT_EQ(FindAttachment(m, "winmail.dat"), nullptr);
        return m;
    };
    // A named property with a long name, a long subject: neither is needed for the body.
    Message named = decoded(TnefStream(TnefAttribute(1, kAttMapiProps, PropertyBlock({
        NamedProperty(0x8001, 60, "x"), CountedProperty(0x0037001E, std::string(300, 's')),
        CountedProperty(0x1000001E, "Hello from rich text")}))));
    EXPECT_EQ(Str(named.props, PR_BODY), "Hello from rich text");

    // A body attribute over 100000 bytes, a large icon, attachment data over 512 KiB.
    const std::string body(150000, 'b'), file(600000, 'f');
    Message large = decoded(TnefStream(
        TnefAttribute(1, kAttBody, body) + TnefAttribute(2, kAttRenddata, std::string(14, '\0')) +
        TnefAttribute(2, kAttMetaFile, std::string(20000, 'i')) +
        TnefAttribute(2, kAttAttachment, PropertyBlock({CountedProperty(0x3707001F, std::string("b\0i\0g\0.\0t\0x\0t\0\0\0", 16)),
                                                        CountedProperty(0x37010102, file)}))));
    EXPECT_EQ(Str(large.props, PR_BODY).size(), body.size());
    ASSERT_EQ(large.attachments.size(), 1u);
    EXPECT_EQ(Str(large.attachments[0].props, PR_ATTACH_LONG_FILENAME), "big.txt");
    EXPECT_EQ(Bin(large.attachments[0].props, PR_ATTACH_DATA_BIN), file);
}

TEST(Rfc822Import, BrokenWinmailDatNeverPrints) {
    // Each corpus stream and broken copies of it: decoded, or refused with the
    // message left as it was and winmail.dat kept with a warning; nothing on
    // standard output.
    std::vector<std::pair<std::string, std::string>> samples;
    for (const char* name : {"body.tnef", "rtf.tnef", "two-files.tnef", "unicode-mapi-attr.tnef"})
        samples.emplace_back(name, TnefSample(name));
    samples.emplace_back("ukr.eml", TnefOfMessage("ukr.eml"));
    // Of the large one, its message attributes only (its long named properties among them).
    const std::string richText = TnefOfMessage("rich-text.eml");
    samples.emplace_back("rich-text.eml", richText.substr(0, AttributeEnds(richText).at(4)));
    size_t decodedCount = 0, refusedCount = 0;
    for (const auto& [name, tnef] : samples) {
        ASSERT_GT(tnef.size(), 100u) << name;
        Message whole;
        EXPECT_EQ(StdoutOf([&] { whole = Import(WithTnef(tnef)); }), "") << name;
        EXPECT_EQ(FindAttachment(whole, "winmail.dat"), nullptr) << name;
        for (const auto& [what, bytes] : MutationsOf(tnef)) {
            Message m;
            bool decoded = false;
            const std::string printed = StdoutOf([&] { decoded = ImportTnef(bytes, m); });
            SCOPED_TRACE(name + ": " + what);
            EXPECT_EQ(printed, "");
            if (decoded) {
                ++decodedCount;
            } else {
                ++refusedCount;
                EXPECT_TRUE(m.attachments.empty() && m.props.Size() == 0);
                Message kept;
                EXPECT_EQ(StdoutOf([&] { kept = Import(WithTnef(bytes)); }), "");
                EXPECT_NE(FindAttachment(kept, "winmail.dat"), nullptr);
                EXPECT_TRUE(HasWarningContaining(kept, "TNEF"));
            }
        }
    }
    EXPECT_GT(decodedCount, 0u);
    EXPECT_GT(refusedCount, 0u);
}

TEST(Rfc822Import, WinmailDatFromAMailServer) {
    Message m;
    ASSERT_NO_THROW(ImportRfc822File(fs::path(BV_CORPUS) / "eml" / "mimekit" / "tnef" / "ukr.eml", m));
    EXPECT_EQ(FindAttachment(m, "winmail.dat"), nullptr);
    EXPECT_FALSE(Str(m.props, PR_BODY).empty());
    EXPECT_TRUE(m.warnings.empty()) << m.warnings.front();
    ExpectWellFormed(m, "ukr.eml");
}

TEST(Rfc822Import, WinmailDatKeepsTheMessagesOwnText) {
    struct Case {
        const char* what;
        std::string own, tnefBody;
        const char* kept;  // the file holding the message's own text, or nullptr
    };
    const Case cases[] = {
        {"the same text, laid out otherwise", "Minutes of the\nboard meeting.\n", "Minutes of the board meeting.", nullptr},
        {"a text of its own", "Please read the minutes below.\n", "Board meeting: budget approved.", "message-text.txt"},
        {"no text of its own", "", "Board meeting: budget approved.", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Message m = Import(WithTnef(TnefStream(TnefAttribute(1, kAttBody, c.tnefBody)), c.own));
        EXPECT_EQ(Str(m.props, PR_BODY), c.tnefBody);
        const Attachment* kept = FindAttachment(m, "message-text.txt");
        EXPECT_EQ(kept != nullptr, c.kept != nullptr);
        EXPECT_EQ(HasWarningContaining(m, "message-text.txt"), c.kept != nullptr);
        if (kept) {  // (its last line end is the boundary's)
            EXPECT_EQ(Bin(kept->props, PR_ATTACH_DATA_BIN) + "\r\n", Crlf(c.own));
        }
        ExpectWellFormed(m, c.what);
    }
    // An HTML text of its own is kept as HTML.
    Message html = Import(Crlf("From: a@example.com\nSubject: s\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                               "--b\nContent-Type: text/html\n\n<p>Read <b>this</b> first.</p>\n"
                               "--b\nContent-Type: application/ms-tnef\nContent-Transfer-Encoding: base64\n\n" +
                               Base64(TnefStream(TnefAttribute(1, kAttBody, "Something else."))) + "--b--\n"));
    const Attachment* kept = FindAttachment(html, "message-text.html");
    ASSERT_NE(kept, nullptr);
    EXPECT_NE(Bin(kept->props, PR_ATTACH_DATA_BIN).find("<b>this</b>"), std::string::npos);
}

TEST(Rfc822Import, RawHeaderBytesInTheDeclaredCharset) {
    struct Case {
        const char* what;
        std::string message;
        const char *subject, *sender;
    };
    const std::string big5Header = "From: \xA4\xA4\xA4\xE5 <zh@example.com>\nSubject: \xB4\xFA\xB8\xD5 big5\n";
    const Case cases[] = {
        {"Big5, one text part", big5Header + "Content-Type: text/plain; charset=big5\n\nbody\n", "測試 big5", "中文"},
        {"GB2312, in a multipart",
         "From: \xD5\xC5\xC8\xFD <zs@example.com>\nSubject: =?gb2312?B?1tDOxA==?= \xD6\xD0\xCE\xC4\n"
         "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; charset=\"GB2312\"\n\nbody\n--b--\n",
         "中文 中文", "张三"},
        {"UTF-8 stays UTF-8", "From: Jürgen <j@example.com>\nSubject: Grüße\nContent-Type: text/plain; charset=big5\n\nbody\n",
         "Grüße", "Jürgen"},
        {"not valid in the declared charset: windows-1252",
         "From: J\xFCrgen <j@example.com>\nSubject: Gr\xFC\xDF" "e\nContent-Type: text/plain; charset=utf-8\n\nbody\n", "Grüße", "Jürgen"},
        {"no charset declared: windows-1252", "From: J\xFCrgen <j@example.com>\nSubject: Gr\xFC\xDF" "e\n\nbody\n", "Grüße", "Jürgen"},
        {"a charset that is not ASCII's: windows-1252",
         "From: J\xFCrgen <j@example.com>\nSubject: Gr\xFC\xDF" "e\nContent-Type: text/plain; charset=utf-16\n\n", "Grüße", "Jürgen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Message m = Import(Crlf(c.message));
        EXPECT_EQ(Str(m.props, PR_SUBJECT), c.subject);
        EXPECT_EQ(Str(m.props, PR_SENDER_NAME), c.sender);
        EXPECT_NE(Str(m.props, PR_TRANSPORT_MESSAGE_HEADERS).find(c.sender), std::string::npos);
    }
}

TEST(Rfc822Import, TheEpochIsADate) {
    for (const char* date : {"Thu, 01 Jan 1970 00:00:00 +0000", "Wed, 31 Dec 1969 19:00:00 -0500", "Thu, 1 Jan 1970 00:00:00 GMT",
                             "Thu Jan  1 00:00:00 1970", "01 Jan 70 00:00 GMT"}) {
        SCOPED_TRACE(date);
        Message m = Import(Crlf("From a@example.com Mon Dec  7 08:37:05 2026\nFrom: a@example.com\nDate: " + std::string(date) +
                                "\nSubject: epoch\n\nbody\n"));
        EXPECT_EQ(m.props.GetTime(PR_CLIENT_SUBMIT_TIME), FileTimeOf(1970, 1, 1, 0, 0, 0));
    }
}

TEST(Rfc822Import, NulCharactersAreTakenOutWithAWordAndKeptWhole) {
    // In a text body: the body without them, the part whole as a file.
    const std::string text("before\0after\n", 13);
    // (in a multipart, the last line end is the boundary's)
    for (auto [message, body, file] :
         {std::tuple{"From: a@example.com\nSubject: s\nContent-Type: text/plain; name=notes.txt\n\n" + text, "beforeafter\r\n", text},
          std::tuple{"From: a@example.com\nSubject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; "
                     "name=notes.txt\n\n" + text + "--b--\n", "beforeafter", text.substr(0, 12)}}) {
        Message m = Import(message);
        EXPECT_EQ(Str(m.props, PR_BODY), body);
        ASSERT_NE(FindAttachment(m, "notes.txt"), nullptr);
        EXPECT_EQ(Bin(FindAttachment(m, "notes.txt")->props, PR_ATTACH_DATA_BIN), file);
        EXPECT_TRUE(HasWarningContaining(m, "NUL characters")) << (m.warnings.empty() ? "" : m.warnings.front());
    }
    // In a Message-ID: the same rule, the original message whole beside it.
    const std::string message = std::string("From: a@example.com\nMessage-ID: <ab\0cd@example.com>\nSubject: s\n\nbody\n", 69);
    Message m = Import(message);
    EXPECT_EQ(Str(m.props, PR_INTERNET_MESSAGE_ID), "<abcd@example.com>");
    EXPECT_EQ(Str(m.props, PR_TRANSPORT_MESSAGE_HEADERS).find('\0'), std::string::npos);
    EXPECT_TRUE(HasWarningContaining(m, "the Message-ID"));
    ASSERT_NE(FindAttachment(m, "original-message.eml"), nullptr);
    EXPECT_EQ(Bin(FindAttachment(m, "original-message.eml")->props, PR_ATTACH_DATA_BIN), message);
    // In a recipient's name: the row without them, as written.
    Message r = Import(std::string("From: a@example.com\nTo: \"Ann\0Lee\" <ann@example.com>\nSubject: s\n\nbody\n", 69));
    ASSERT_EQ(r.recipients.size(), 1u);
    EXPECT_EQ(Str(CompletedRecipient(r.recipients[0], 0), PR_DISPLAY_NAME), "AnnLee");
    EXPECT_TRUE(HasWarningContaining(r, "NUL characters"));
}

TEST(Rfc822Import, EncryptedSmimeIsStoredAsOutlookStoresIt) {
    const std::string blob = std::string("\x30\x82\x01\x00", 4) + std::string(256, '\x5A');
    for (const char* type : {"application/pkcs7-mime; smime-type=enveloped-data; name=smime.p7m",
                             "application/x-pkcs7-mime"}) {
        SCOPED_TRACE(type);
        Message m = Import(Crlf(std::string("From: a@example.com\nSubject: secret\nMIME-Version: 1.0\nContent-Type: ") + type +
                                "\nContent-Transfer-Encoding: base64\n\n" + Base64(blob)));
        EXPECT_EQ(Str(m.props, PR_MESSAGE_CLASS), "IPM.Note.SMIME");
        ASSERT_EQ(m.attachments.size(), 1u);
        EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_LONG_FILENAME), "smime.p7m");
        EXPECT_EQ(Bin(m.attachments[0].props, PR_ATTACH_DATA_BIN), blob);
        ExpectWellFormed(m, type);
    }

    // Signed, opaquely: an ordinary message with the signed data attached.
    Message opaque = Import(Crlf("From: a@example.com\nMIME-Version: 1.0\n"
                                 "Content-Type: application/pkcs7-mime; smime-type=signed-data; name=smime.p7m\n"
                                 "Content-Transfer-Encoding: base64\n\n" + Base64(blob)));
    EXPECT_EQ(Str(opaque.props, PR_MESSAGE_CLASS), "IPM.Note");

    // Signed in the clear: the text is the body, the signature part stays.
    Message clear = Import(Crlf(
        "From: a@example.com\nSubject: signed\nMIME-Version: 1.0\n"
        "Content-Type: multipart/signed; protocol=\"application/pkcs7-signature\"; micalg=sha-256; boundary=s\n\n"
        "--s\nContent-Type: text/plain\n\nsigned text\n"
        "--s\nContent-Type: application/pkcs7-signature; name=smime.p7s\nContent-Disposition: attachment; filename=smime.p7s\n"
        "Content-Transfer-Encoding: base64\n\n" + Base64(blob) + "--s--\n"));
    EXPECT_EQ(Str(clear.props, PR_MESSAGE_CLASS), "IPM.Note");
    EXPECT_EQ(Str(clear.props, PR_BODY), "signed text");
    ASSERT_NE(FindAttachment(clear, "smime.p7s"), nullptr);
    EXPECT_EQ(Bin(FindAttachment(clear, "smime.p7s")->props, PR_ATTACH_DATA_BIN), blob);
}

TEST(Rfc822Import, LfAndBomAndCrlfGiveTheSameFields) {
    const std::string lf = "From: Ann <ann@example.com>\nTo: b@example.com\nSubject: same\nDate: Sun, 06 Dec 2026 06:00:00 +0000\n\nline 1\nline 2\n";
    Message a = Import(lf);
    Message b = Import(Crlf(lf));
    Message c = Import("\xEF\xBB\xBF" + lf);
    Message d = Import(Crlf("From ann@example.com Sun Dec  6 06:00:00 2026\n" + lf));
    for (const Message* m : {&b, &c, &d}) {
        EXPECT_EQ(Str(m->props, PR_SUBJECT), "same");
        EXPECT_EQ(Str(m->props, PR_SENDER_NAME), "Ann");
        EXPECT_EQ(Str(m->props, PR_BODY), Str(a.props, PR_BODY));
        EXPECT_EQ(m->props.GetTime(PR_CLIENT_SUBMIT_TIME), a.props.GetTime(PR_CLIENT_SUBMIT_TIME));
        EXPECT_EQ(Str(m->props, PR_TRANSPORT_MESSAGE_HEADERS), Str(a.props, PR_TRANSPORT_MESSAGE_HEADERS));
        EXPECT_TRUE(m->warnings.empty());
    }
}

TEST(Rfc822Import, ReproducibleAndThreadSafe) {
    const std::string msg = "From: a@example.com\nSubject: again\nDate: Sun, 06 Dec 2026 06:00:00 +0000\n\nbody\n";
    Message first = Import(msg);
    std::vector<std::thread> threads;
    std::vector<int> equal(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                Message m;
                ImportRfc822(msg, m);
                equal[t] += m.props.All().size() == first.props.All().size() &&
                            *m.props.GetBinary(PR_SEARCH_KEY) == *first.props.GetBinary(PR_SEARCH_KEY) &&
                            m.props.GetTime(PR_CREATION_TIME) == first.props.GetTime(PR_CREATION_TIME);
            }
        });
    for (auto& t : threads) t.join();
    for (int e : equal) EXPECT_EQ(e, 200);
    EXPECT_EQ(first.props.GetBinary(PR_SEARCH_KEY)->size(), 16u);
}

TEST(Rfc822Import, LargeAttachmentDecodesInFull) {
    std::string blob(24 * 1024 * 1024, '\0');
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = char((i * 31) >> 3);
    Message m = Import("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                       "--b\nContent-Type: text/plain\n\nbody\n--b\nContent-Type: application/octet-stream; name=big.bin\n"
                       "Content-Transfer-Encoding: base64\n\n" + Base64(blob) + "--b--\n");
    ASSERT_EQ(m.attachments.size(), 1u);
    const Binary* data = m.attachments[0].props.GetBinary(PR_ATTACH_DATA_BIN);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->size(), blob.size());
    EXPECT_TRUE(std::equal(data->begin(), data->end(), reinterpret_cast<const uint8_t*>(blob.data())));
    EXPECT_TRUE(m.warnings.empty());
}

TEST(Rfc822ImportCorpus, DamagedCopiesNeverThrow) {
    // Truncations, flipped bytes and spliced boundaries of every corpus .eml file.
    std::vector<std::string> samples;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(BV_CORPUS) / "eml"))
        if (e.is_regular_file()) samples.push_back(ReadFile(e.path()));
    ASSERT_FALSE(samples.empty());
    uint32_t seed = 12345;
    auto rnd = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8); };
    int runs = 0;
    for (const std::string& s : samples) {
        if (s.empty()) continue;
        for (int k = 0; k < 25; ++k) {
            std::string d = s;
            switch (k % 5) {
            case 0: d.resize(rnd() % d.size()); break;
            case 1:
                for (int j = 0; j < 20; ++j) d[rnd() % d.size()] = char(rnd());
                break;
            case 2: {  // duplicate a random slice somewhere else
                size_t a = rnd() % d.size(), n = rnd() % 200;
                d.insert(rnd() % d.size(), d.substr(a, n));
                break;
            }
            case 3:  // break line ends
                for (auto& c : d)
                    if (c == '\n' && rnd() % 3 == 0) c = '\r';
                break;
            case 4: d.erase(rnd() % d.size(), rnd() % 100); break;
            }
            Message m;
            ASSERT_NO_THROW(ImportRfc822(d, m));
            ExpectWellFormed(m, "damaged copy");
            ++runs;
        }
    }
    EXPECT_GT(runs, 300);
}
