// Forms of real-world mail that mail readers take and that an import must keep whole:
// each case comes from a message that lost a field or an attachment on the way in.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mailstore/base/Ascii.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/HeaderMapping.h"
#include "mailstore/mime/MimeWalk.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/Rfc822Import.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::mapi;
using namespace bv::mailstore::mime;

namespace {

// A message as the conversion hands it to a writer: imported, then completed.
Message Import(const std::string& bytes) {
    Message m;
    EXPECT_NO_THROW(ImportRfc822(bytes, m));
    CompleteMessage(m);
    return m;
}

std::string Str(const PropertyBag& p, uint32_t tag) { return p.GetString(tag).value_or("<missing>"); }

std::string Data(const Attachment& a) {
    const Binary* b = a.props.GetBinary(PR_ATTACH_DATA_BIN);
    return b ? std::string(b->begin(), b->end()) : std::string("<missing>");
}

std::string Names(const Message& m) {
    std::string s;
    for (const auto& a : m.attachments) s += Str(a.props, PR_ATTACH_LONG_FILENAME) + ";";
    return s;
}

std::string Warnings(const Message& m) {
    std::string s;
    for (const auto& w : m.warnings) s += w + "\n";
    return s;
}

// Unix seconds -> FILETIME
int64_t At(int64_t unix) { return UnixToFileTime(unix); }

// uuencoded "abc\n" + one more line, as `uuencode` writes it
const char kUuAbc[] = "begin 644 abc.txt\n$86)C\"@``\n`\nend\n";

}  // namespace

TEST(RealWorldMail, UuencodedPartsAndBlocksAreFiles) {
    for (const char* cte : {"x-uuencode", "uuencode", "x-uue"}) {
        SCOPED_TRACE(cte);
        Message m = Import(std::string("From: a@example.com\nSubject: uu\nMIME-Version: 1.0\n"
                                       "Content-Type: multipart/mixed; boundary=b\n\n--b\n"
                                       "Content-Type: text/plain\n\nSee the file.\n--b\n"
                                       "Content-Type: application/octet-stream; name=abc.txt\n"
                                       "Content-Transfer-Encoding: ") +
                           cte + "\n\n" + kUuAbc + "--b--\n");
        ASSERT_EQ(m.attachments.size(), 1u) << Names(m);
        EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_LONG_FILENAME), "abc.txt");
        EXPECT_EQ(Data(m.attachments[0]), "abc\n");
        EXPECT_EQ(Str(m.props, PR_BODY), "See the file.");
    }
    // blocks inside a plain text body (with and without a MIME structure)
    for (bool mime : {false, true}) {
        SCOPED_TRACE(mime);
        std::string head = "From: a@example.com\nSubject: uu\n";
        if (mime) head += "MIME-Version: 1.0\nContent-Type: text/plain; charset=us-ascii\n";
        Message m = Import(head + "\nTwo files:\n\n" + kUuAbc + "\nand\n\nbegin 600 two.bin\n#_P`!\n`\nend\nBye.\n");
        ASSERT_EQ(m.attachments.size(), 2u) << Names(m);
        EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_LONG_FILENAME), "abc.txt");
        EXPECT_EQ(Data(m.attachments[0]), "abc\n");
        EXPECT_EQ(Str(m.attachments[1].props, PR_ATTACH_LONG_FILENAME), "two.bin");
        EXPECT_EQ(Data(m.attachments[1]), std::string("\xFF\x00\x01", 3));
        const std::string body = Str(m.props, PR_BODY);
        EXPECT_EQ(body.find("begin 644"), std::string::npos) << body;
        EXPECT_NE(body.find("Two files:"), std::string::npos);
        EXPECT_NE(body.find("Bye."), std::string::npos);
        EXPECT_NE(m.props.GetInt(PR_MESSAGE_FLAGS).value_or(0) & MSGFLAG_HASATTACH, 0);
    }
    // "begin" that starts no block stays text
    Message m = Import("From: a@example.com\n\nbegin 644 is how it starts\nno end\n");
    EXPECT_TRUE(m.attachments.empty());
    // old encoders write blanks for zero bits, and the blanks at a line's end get lost
    // on the way (a sample library's uuencoded images came back cut short)
    Message old = Import("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
                         "Content-Type: text/plain\n\nx\n--b\nContent-Type: image/png; name=z.bin\n"
                         "Content-Transfer-Encoding: x-uuencode\n\nbegin 644 z.bin\r\n&86)C    \r\n&    86)C\r\n \r\nend\r\n--b--\n");
    ASSERT_EQ(old.attachments.size(), 1u) << Names(old);
    EXPECT_EQ(Data(old.attachments[0]), std::string("abc\0\0\0\0\0\0abc", 12));
    EXPECT_TRUE(old.warnings.empty()) << Warnings(old);
}

TEST(RealWorldMail, AdjacentEncodedWordsJoin) {
    Message m = Import(
        "From: =?utf-8?B?QW4=?= =?utf-8?B?IFNtaXRo?= <an@example.com>\n"
        "To: =?utf-8?Q?Bj=C3=B6rn?= =?utf-8?B?IE5pbHNzb24=?= <bn@example.com>\n"
        "Subject: =?utf-8?B?SGVsbG8=?= =?utf-8?B?IFdvcmxk?=\n"
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
        "Content-Type: text/plain\n\nx\n--b\n"
        "Content-Type: application/pdf; name=\"=?utf-8?B?cmVwb3J0LQ==?= =?utf-8?B?MjAyNC5wZGY=?=\"\n"
        "Content-Disposition: attachment\n\n%PDF\n--b--\n");
    EXPECT_EQ(Str(m.props, PR_SUBJECT), "Hello World");
    EXPECT_EQ(Str(m.props, PR_SENT_REPRESENTING_NAME), "An Smith");
    ASSERT_EQ(m.recipients.size(), 1u);
    EXPECT_EQ(Str(m.recipients[0].Props(), PR_DISPLAY_NAME), "Björn Nilsson");
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_LONG_FILENAME), "report-2024.pdf");
    // a long Russian subject, folded as mail programs write it
    Message r = Import("From: a@example.com\nSubject: =?UTF-8?B?0J/RgNC40LLQtdGCLCA=?=\n =?UTF-8?B?0LzQuNGA?=\n\nx\n");
    EXPECT_EQ(Str(r.props, PR_SUBJECT), "Привет, мир");
}

// Blank-only lines, and blanks in front of the first field (enmime's
// "bad-header-start"), before the header.
TEST(RealWorldMail, LeadingBlanksBeforeTheHeaderAreSkipped) {
    for (const char* lead : {" \n", "\t\n", "  \r\n", " \n \n", " ", "\t ", " \n "}) {
        Message m = Import(std::string(lead) +
                           "From: Ann <ann@example.com>\nTo: bob@example.com\nSubject: Photo\n"
                           "Date: Tue, 1 Oct 2019 10:00:00 +0000\nMessage-ID: <p@example.com>\n"
                           "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
                           "Content-Type: text/plain\n\nHere.\n--b\n"
                           "Content-Type: image/jpeg; name=IMG_1.jpg\nContent-Transfer-Encoding: base64\n\n/9j/\n--b--\n");
        EXPECT_EQ(Str(m.props, PR_SUBJECT), "Photo");
        EXPECT_EQ(Str(m.props, PR_SENT_REPRESENTING_EMAIL_ADDRESS), "ann@example.com");
        EXPECT_EQ(m.recipients.size(), 1u);
        EXPECT_EQ(Str(m.props, PR_INTERNET_MESSAGE_ID), "<p@example.com>");
        EXPECT_EQ(m.props.GetTime(PR_CLIENT_SUBMIT_TIME), At(1569924000));
        EXPECT_EQ(Str(m.props, PR_BODY), "Here.");
        EXPECT_EQ(Names(m), "IMG_1.jpg;");
        EXPECT_TRUE(m.warnings.empty()) << Warnings(m);
    }
}

TEST(RealWorldMail, TwelveHourClockDates) {
    struct Case {
        const char* date;
        int64_t unix;
    } cases[] = {
        {"Wed 29 May 2019 06:09:22 PM EDT", 1559167762},
        {"Wed, 29 May 2019 06:09:22 AM -0400", 1559124562},
        {"Wed, 29 May 2019 12:09:22 AM +0000", 1559088562},
        {"Wed, 29 May 2019 12:09:22 PM +0000", 1559131762},
        {"Wed, 29 May 2019 18:09:22 -0400", 1559167762},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        Message m = Import(std::string("From: a@example.com\nDate: ") + c.date + "\n\nx\n");
        EXPECT_EQ(m.props.GetTime(PR_CLIENT_SUBMIT_TIME), At(c.unix));
    }
}

TEST(RealWorldMail, AddressesAsMailReadersTakeThem) {
    // a sender without angle brackets: the address is the word with the "@"
    Message m = Import("From sender@envelope.example Mon Dec  7 08:37:05 2026\n"
                       "From: Big Bug bb@bug.example\nTo: Jo Smith jo@example.com, ann@example.com\n\nx\n");
    EXPECT_EQ(Str(m.props, PR_SENT_REPRESENTING_EMAIL_ADDRESS), "bb@bug.example");
    EXPECT_EQ(Str(m.props, PR_SENT_REPRESENTING_NAME), "Big Bug");
    ASSERT_EQ(m.recipients.size(), 2u);
    EXPECT_EQ(Str(m.recipients[0].Props(), PR_EMAIL_ADDRESS), "jo@example.com");
    EXPECT_EQ(Str(m.recipients[0].Props(), PR_DISPLAY_NAME), "Jo Smith");
    EXPECT_EQ(Str(m.recipients[1].Props(), PR_EMAIL_ADDRESS), "ann@example.com");

    // an 8-bit byte in a local part: kept, read as the importer reads header bytes
    Message e = Import("From: a@example.com\nTo: \xB4user@example.com\nCc: Ren\xC3\xA9 <r\xC3\xA9@example.com>\n\nx\n");
    ASSERT_EQ(e.recipients.size(), 2u);
    EXPECT_EQ(Str(e.recipients[0].Props(), PR_EMAIL_ADDRESS), "\xC2\xB4user@example.com");
    EXPECT_EQ(Str(e.recipients[1].Props(), PR_EMAIL_ADDRESS), "r\xC3\xA9@example.com");
    EXPECT_EQ(Str(e.recipients[1].Props(), PR_DISPLAY_NAME), "Ren\xC3\xA9");

    // a To field continued after a line that is no header field
    Message c = Import("From: a@example.com\nTo: first@example.com,\nthis line is broken\n second@example.com\n"
                       "Subject: s\n\nx\n");
    ASSERT_EQ(c.recipients.size(), 2u);
    EXPECT_EQ(Str(c.recipients[0].Props(), PR_EMAIL_ADDRESS), "first@example.com");
    EXPECT_EQ(Str(c.recipients[1].Props(), PR_EMAIL_ADDRESS), "second@example.com");
    EXPECT_EQ(Str(c.props, PR_SUBJECT), "s");
}

TEST(RealWorldMail, EveryCharsetIconvKnows) {
    struct Case {
        const char* charset;
        std::string bytes;
    } cases[] = {
        {"x-mac-cyrillic", "\x8F\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"},
        {"koi8-u", "\xF0\xD2\xC9\xD7\xC5\xD4, \xCD\xC9\xD2"},
        {"cp866", "\x8F\xE0\xA8\xA2\xA5\xE2, \xAC\xA8\xE0"},
        {"ibm866", "\x8F\xE0\xA8\xA2\xA5\xE2, \xAC\xA8\xE0"},
        {"windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"},
        {"x-mac-ukrainian", "\x8F\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.charset);
        Message m = Import(std::string("From: a@example.com\nSubject: =?") + c.charset + "?B?" +
                           (c.bytes == cases[0].bytes ? "j/Do4uXyLCDs6PA=" : "") + "?=\nMIME-Version: 1.0\n"
                           "Content-Type: text/plain; charset=" + c.charset + "\nContent-Transfer-Encoding: 8bit\n\n" +
                           c.bytes + "\n");
        EXPECT_EQ(Str(m.props, PR_BODY), "Привет, мир\r\n");
        if (c.bytes == cases[0].bytes) {
            EXPECT_EQ(Str(m.props, PR_SUBJECT), "Привет, мир");
        }
        EXPECT_TRUE(m.warnings.empty()) << Warnings(m);
    }
    // the same inside a multipart and in an HTML part
    Message m = Import("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=b\n\n--b\n"
                       "Content-Type: text/plain; charset=x-mac-cyrillic\n\n\x8F\xF0\xE8\xE2\xE5\xF2\n--b\n"
                       "Content-Type: text/html; charset=koi8-u\n\n<p>\xF0\xD2\xC9\xD7\xC5\xD4</p>\n--b--\n");
    EXPECT_EQ(Str(m.props, PR_BODY), "Привет");
    const Binary* html = m.props.GetBinary(PR_HTML);
    ASSERT_NE(html, nullptr);
    EXPECT_NE(std::string(html->begin(), html->end()).find("Привет"), std::string::npos);
}

TEST(RealWorldMail, MultipartWithOnlyAnEmptyPartStoresNoPreamble) {
    Message m = Import("From: a@example.com\nSubject: empty\nMIME-Version: 1.0\n"
                       "Content-Type: multipart/mixed; boundary=\"b\"\n\n"
                       "This is a multi-part message in MIME format.\n\n--b\n\n--b--\n");
    EXPECT_EQ(Names(m), "");
    EXPECT_EQ(Str(m.props, PR_SUBJECT), "empty");
    Message n = Import("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n"
                       "This is a multi-part message in MIME format.\n--b\nContent-Type: text/plain\n\n--b--\n");
    EXPECT_EQ(Names(n), "");
    // the empty part right before the closing boundary: nothing is lost, nothing to warn of
    Message e = Import("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n"
                       "This is a multi-part message in MIME format.\n\n--b\n--b--\n");
    EXPECT_EQ(Names(e), "");
    EXPECT_TRUE(e.warnings.empty()) << Warnings(e);
}

namespace {

std::string WithCrLf(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

const Attachment* Embedded(const Message& m, size_t k = 0) {
    for (const Attachment& a : m.attachments)
        if (a.embedded && k-- == 0) return &a;
    return nullptr;
}

}  // namespace

// A delivery report returns the message as the server kept it: often its text
// without a header, or a header without its text. Every attached message, plain or
// transfer-encoded, is imported the same one way, from its own bytes.
TEST(RealWorldMail, DeliveryReportsKeepTheReturnedMessage) {
    const std::string report =
        "From: Mail Delivery Subsystem <MAILER-DAEMON@example.com>\nSubject: Returned mail\nTo: ann@example.com\n"
        "MIME-Version: 1.0\nContent-Type: multipart/report; report-type=delivery-status; boundary=\"r/1\"\n\n"
        "--r/1\nContent-Type: text/plain\n\nThe message could not be delivered.\n\n"
        "--r/1\ncontent-type: message/delivery-status\n\nReporting-MTA: dns; example.com\n\nAction: failed\n\n"
        "--r/1\ncontent-type: message/rfc822\n\n[original message goes here]\n\n"
        "--r/1\nContent-Type: message/rfc822\n\nFrom: ann@example.com\nSubject: Only a header\n\n"
        "--r/1\nContent-Type: text/rfc822-headers\n\nFrom: ann@example.com\nSubject: Headers as text\n\n"
        "--r/1--\n";
    for (const std::string& bytes : {report, WithCrLf(report)}) {
        Message m = Import(bytes);
        EXPECT_TRUE(m.warnings.empty() || Warnings(m).find("original-message") == std::string::npos) << Warnings(m);
        EXPECT_EQ(Str(m.props, PR_BODY).substr(0, 34), "The message could not be delivered");
        ASSERT_EQ(m.attachments.size(), 4u) << Names(m);
        EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_MIME_TAG), "message/delivery-status");
        // the message without a header: its text is the attached message's body
        const Attachment* text = Embedded(m, 0);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(Str(text->embedded->props, PR_BODY).substr(0, 28), "[original message goes here]");
        // the header without a text: the attached message has its fields
        const Attachment* header = Embedded(m, 1);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(Str(header->embedded->props, PR_SUBJECT), "Only a header");
        EXPECT_EQ(Str(header->embedded->props, PR_SENDER_EMAIL_ADDRESS), "ann@example.com");
        EXPECT_EQ(Str(header->props, PR_ATTACH_LONG_FILENAME), "Only a header.eml");
        // headers sent as text stay the text they are
        EXPECT_EQ(Str(m.attachments[3].props, PR_ATTACH_MIME_TAG), "text/rfc822-headers");
        EXPECT_NE(Data(m.attachments[3]).find("Subject: Headers as text"), std::string::npos);
    }

    // The same message attached as it is and transfer-encoded: the same import.
    const std::string inner = "From: bob@example.com\nSubject: Inner\nMIME-Version: 1.0\n"
                              "Content-Type: multipart/mixed; boundary=in\n\n--in\nContent-Type: text/plain\n\nInner text.\n"
                              "--in\nContent-Type: application/octet-stream; name=a.bin\n\nabc\n\n--in--";
    const std::string base64 = "RnJvbTogYm9iQGV4YW1wbGUuY29tClN1YmplY3Q6IElubmVyCk1JTUUtVmVyc2lvbjogMS4wCkNvbnRlbnQtVHlwZTog"
                               "bXVsdGlwYXJ0L21peGVkOyBib3VuZGFyeT1pbgoKLS1pbgpDb250ZW50LVR5cGU6IHRleHQvcGxhaW4KCklubmVyIHRl"
                               "eHQuCi0taW4KQ29udGVudC1UeXBlOiBhcHBsaWNhdGlvbi9vY3RldC1zdHJlYW07IG5hbWU9YS5iaW4KCmFiYwoKLS1p"
                               "bi0t\n";
    const std::string twice = "From: a@example.com\nSubject: Twice\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=o\n\n"
                              "--o\nContent-Type: text/plain\n\nSee both.\n"
                              "--o\nContent-Type: message/rfc822\n\n>From bob@example.com Mon Jan  1 00:00:00 2024\n" + inner + "\n"
                              "--o\nContent-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\n" + base64 + "--o--\n";
    for (const bool crlf : {false, true}) {
        Message m = Import(crlf ? WithCrLf(twice) : twice);
        EXPECT_TRUE(m.warnings.empty()) << Warnings(m);
        for (size_t k = 0; k < 2; ++k) {
            const Attachment* a = Embedded(m, k);
            ASSERT_NE(a, nullptr) << k;
            const Message& e = *a->embedded;
            EXPECT_EQ(Str(e.props, PR_SUBJECT), "Inner") << k;
            EXPECT_EQ(Str(e.props, PR_BODY), "Inner text.") << k;
            EXPECT_EQ(Str(a->props, PR_ATTACH_LONG_FILENAME), "Inner.eml") << k;
            ASSERT_EQ(e.attachments.size(), 1u) << k;
            // the closing boundary right before the parent's: the last part ends at its line end
            EXPECT_EQ(Data(e.attachments[0]), k == 0 && crlf ? "abc\r\n" : "abc\n") << k;
        }
    }
}

// Part headers damaged as mail programs damage them, read the way mail readers read
// them: nothing lost, nothing to warn of.
TEST(RealWorldMail, DamagedPartHeadersReadAsMailReadersReadThem) {
    const std::string head = "From: a@example.com\nSubject: s\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                             "--b\nContent-Type: text/plain\n\nSection one\n\n";
    // a folded parameter whose line lost its blank
    Message wrap = Import(head + "--b\nContent-Transfer-Encoding: base64\nContent-Type: application/x-zip-compressed; x-unix-mode=0600;\n"
                                 "name=\"foo.zip\"\nContent-Disposition: attachment; filename=\"foo.zip\"\n\nPGh0bWw+Cg==\n\n--b--\n");
    EXPECT_EQ(Names(wrap), "foo.zip;");
    ASSERT_EQ(wrap.attachments.size(), 1u);
    EXPECT_EQ(Data(wrap.attachments[0]), "<html>\n");
    EXPECT_TRUE(wrap.warnings.empty()) << Warnings(wrap);
    // a part without any header: its text is a text part
    Message bare = Import(head + "--b\nI'm section without headers\n\n--b\nContent-Type: text/plain\n\nSection two\n\n--b--\n");
    ASSERT_EQ(bare.attachments.size(), 2u) << Names(bare);
    EXPECT_EQ(Data(bare.attachments[0]), "I'm section without headers\n");
    EXPECT_EQ(Data(bare.attachments[1]), "Section two\n");
    EXPECT_TRUE(bare.warnings.empty()) << Warnings(bare);
}

// A picture sent as text (a mail program's guess): a text property ends at the first
// NUL byte, so the part is kept whole as a file as well.
TEST(RealWorldMail, BinaryDataSentAsTextIsKeptWhole) {
    const std::string gif = "R0lGODlhZAAEAIAAAABmzGb/mSH5BAAAAAAALAAAAABkAAQAAAIajI+py+0Po5y02uuA3rz7D4bi\n"
                            "SJbmiabqKhYAOw==\n";
    const std::string one = "Content-Type: text/plain;\n\tname=\"rzkly.txt\"\nContent-Transfer-Encoding: base64\n\n" + gif;
    const std::string inside = "From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n" + one +
                               "--b--\n";
    for (const std::string& bytes : {one, inside}) {
        Message m = Import(bytes);
        ASSERT_EQ(m.attachments.size(), 1u) << Names(m);
        EXPECT_EQ(Str(m.attachments[0].props, PR_ATTACH_LONG_FILENAME), "rzkly.txt");
        const std::string data = Data(m.attachments[0]);
        EXPECT_EQ(data.size(), 67u);
        EXPECT_EQ(data.substr(0, 6), "GIF89a");
        EXPECT_EQ(Str(m.props, PR_BODY).find('\0'), std::string::npos);
    }
}

// A file name with a path ("C:\TEMP\x.png", as some mail programs write it) is saved
// under its last element, the way mail readers save it.
TEST(RealWorldMail, FileNamesWithAPathKeepTheirLastElement) {
    for (const char* field : {"Content-Disposition: attachment; filename=\"C:\\TEMP\\nsmailEG.png\"",
                              "Content-Disposition: attachment; filename=\"C:\\\\TEMP\\\\nsmailEG.png\"",
                              "Content-Disposition: attachment; filename=C:\\TEMP\\nsmailEG.png",
                              "Content-Disposition: attachment; filename=\"/home/ann/nsmailEG.png\""}) {
        Message m = Import(std::string("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                                       "--b\nContent-Type: text/plain\n\nx\n--b\nContent-Type: image/png\n") +
                           field + "\nContent-Transfer-Encoding: base64\n\niVBORw==\n--b--\n");
        EXPECT_EQ(Names(m), "nsmailEG.png;") << field;
    }
    // an escaped quote is no separator
    Message q = Import("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                       "--b\nContent-Type: text/plain\n\nx\n--b\nContent-Type: text/plain\n"
                       "Content-Disposition: attachment; filename=\"say \\\"hi\\\".txt\"\n\nhi\n--b--\n");
    EXPECT_EQ(Names(q), "say _hi_.txt;");
}

// ---------------------------------------------------------------- fast paths

namespace {

// Every message of the test corpora: .eml files whole, mailboxes split at "From " lines.
std::vector<std::pair<std::string, std::string>> CorpusMessages() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const char* root : {BV_TEST_DATA "/corpus", BV_TEST_DATA "/fidelity"}) {
        if (!fs::exists(root)) continue;
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            if (!e.is_regular_file()) continue;
            const std::string name = e.path().filename().string();
            const std::string ext = e.path().extension().string();
            const bool mbox = name.find(".mbox") != std::string::npos;
            if (!mbox && ext != ".eml" && ext != ".raw" && ext != ".txt") continue;
            if (name == "SOURCES.md" || name.find("summary") != std::string::npos) continue;
            std::ifstream in(e.path(), std::ios::binary);
            std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!mbox) {
                out.emplace_back(e.path().string(), std::move(data));
                continue;
            }
            size_t start = 0;
            while (start < data.size()) {
                size_t next = data.find("\nFrom ", start);
                size_t end = next == std::string::npos ? data.size() : next + 1;
                out.emplace_back(e.path().string() + "#" + std::to_string(out.size()), data.substr(start, end - start));
                start = end;
            }
        }
    }
    return out;
}

}  // namespace

TEST(RealWorldMail, FastPathsAgreeWithGMimeOnEveryCorpusMessage) {
    // The importer reads the top-level header, plain mailboxes, common dates and
    // one-text-part bodies without GMime. Wherever such a quick reading answers on a
    // real message, GMime's full reading must give the same answer.
    GMimeParserOptions* options = ParserOptions();
    size_t messages = 0, fields = 0, dates = 0, mailboxes = 0, texts = 0;
    for (const auto& [name, bytes] : CorpusMessages()) {
        SCOPED_TRACE(name);
        const MessageTop top = ReadMessageTop(bytes);
        if (top.header.unreadable || top.headerLen == 0) continue;
        ++messages;
        // The header cut into the same fields (GMime is given the header alone).
        std::string header(top.data.substr(0, top.headerLen));
        GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(header.data(), header.size()));
        GObjectRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.p));
        g_mime_parser_set_format(parser.p, GMIME_FORMAT_MESSAGE);
        GObjectRef<GMimeMessage> message(g_mime_parser_construct_message(parser.p, options));
        ASSERT_NE(message.p, nullptr);
        HeaderFields theirs = FieldsOf(GMIME_OBJECT(message.p));
        // (GMime files the Content-* fields of a message under its body part)
        std::vector<std::string> ours, gmime;
        for (const HeaderField& f : top.header.fields)
            if (f.name.size() < 8 || !bv::mailstore::base::EqualsNoCase(f.name.substr(0, 8), "Content-"))
                ours.push_back(std::string(f.name) + ":" + UnfoldHeader(f.raw));
        for (const HeaderField& f : theirs)
            if (f.name.size() < 8 || !bv::mailstore::base::EqualsNoCase(f.name.substr(0, 8), "Content-"))
                gmime.push_back(std::string(f.name) + ":" + UnfoldHeader(f.raw));
        if (top.header.joined.empty()) {  // (an address field continued past a broken line: ours keeps more)
            EXPECT_EQ(ours, gmime);
            fields += ours.size();
        }
        for (const HeaderField& f : top.header.fields) {
            const std::string value = UnfoldHeader(f.raw);
            if (bv::mailstore::base::EqualsNoCase(f.name, "Date")) {
                if (auto quick = ParseRfc5322DateFast(value)) {
                    ++dates;
                    GDateTime* dt = g_mime_utils_header_decode_date(value.c_str());
                    ASSERT_NE(dt, nullptr) << value;
                    EXPECT_EQ(*quick, g_date_time_to_unix(dt)) << value;
                    g_date_time_unref(dt);
                }
            }
            for (const char* field : {"From", "To", "Cc", "Sender", "Reply-To"}) {
                std::string quickName, quickAddr;
                if (!bv::mailstore::base::EqualsNoCase(f.name, field) || !ParseSimpleMailbox(f.raw, quickName, quickAddr)) continue;
                ++mailboxes;
                std::string raw(f.raw);
                GObjectRef<InternetAddressList> list(internet_address_list_parse(options, raw.c_str()));
                ASSERT_NE(list.p, nullptr) << raw;
                ASSERT_EQ(internet_address_list_length(list.p), 1) << raw;
                InternetAddress* ia = internet_address_list_get_address(list.p, 0);
                const char* gname = internet_address_get_name(ia);
                EXPECT_EQ(quickName, gname ? gname : "") << raw;
                EXPECT_EQ(quickAddr, internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia))) << raw;
            }
        }
        // A body read as one text part: GMime sees the same part.
        if (top.bodyStart >= top.data.size()) continue;
        std::optional<SimpleText> simple = SimpleTextBody(top.header.fields, top.data.substr(top.bodyStart));
        if (!simple) continue;
        ++texts;
        std::string whole(top.data);
        GObjectRef<GMimeStream> s2(g_mime_stream_mem_new_with_buffer(whole.data(), whole.size()));
        GObjectRef<GMimeParser> p2(g_mime_parser_new_with_stream(s2.p));
        GObjectRef<GMimeMessage> m2(g_mime_parser_construct_message(p2.p, options));
        ASSERT_NE(m2.p, nullptr);
        GMimeObject* part = g_mime_message_get_mime_part(m2.p);
        ASSERT_TRUE(part && GMIME_IS_PART(part) && !GMIME_IS_MULTIPART(part));
        GMimeContentType* ct = g_mime_object_get_content_type(part);
        EXPECT_EQ(simple->html, g_mime_content_type_is_type(ct, "text", "html") != 0);
        EXPECT_TRUE(g_mime_content_type_is_type(ct, "text", simple->html ? "html" : "plain"));
        const char* cs = g_mime_object_get_content_type_parameter(part, "charset");
        EXPECT_EQ(simple->charset, cs ? cs : "");
        GMimeContentEncoding enc = g_mime_part_get_content_encoding(GMIME_PART(part));
        EXPECT_EQ(simple->encoding, enc);
    }
    EXPECT_GT(messages, 250u);
    std::printf("%zu messages: %zu fields, %zu dates, %zu mailboxes, %zu text bodies read quickly\n", messages, fields,
                dates, mailboxes, texts);
}
