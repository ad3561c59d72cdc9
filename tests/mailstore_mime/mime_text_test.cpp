// Text helpers of the importer: HTML rendering, charset fallback, envelope dates, file names.
#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <random>

#include "mailstore/mapi/Message.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/CompressedRtf.h"
#include "mailstore/mime/FileNames.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/HeaderMapping.h"
#include "mailstore/mime/HtmlText.h"
#include "mailstore/mime/RtfText.h"

using namespace bv::mailstore::mime;

TEST(MimeText, HtmlToTextStructureAndEntities) {
    EXPECT_EQ(HtmlToText("<p>a</p><p>b</p>"), "a\n\nb\n");
    EXPECT_EQ(HtmlToText("x<br>y<br/>z"), "x\ny\nz\n");
    EXPECT_EQ(HtmlToText("<div>one   two\n three</div>"), "one two three\n");
    EXPECT_EQ(HtmlToText("<pre>  keep\n  this</pre>"), "  keep\n  this\n");
    EXPECT_EQ(HtmlToText("&lt;&gt;&amp;&quot;&#65;&#x42;&euro;&bogus;"), "<>&\"AB€&bogus;\n");
    EXPECT_EQ(HtmlToText("<STYLE>p{}</STYLE><Script>x()</SCRIPT>text<!-- hidden -->"), "text\n");
    EXPECT_EQ(HtmlToText("<a href=\"x>y\">link</a>"), "link\n");
    EXPECT_EQ(HtmlToText("<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>"), "a\tb\nc\n");
    EXPECT_EQ(HtmlToText("1 < 2"), "1 < 2\n");
    EXPECT_EQ(HtmlToText(""), "");
    EXPECT_EQ(HtmlToText("<html><head><title>unclosed"), "");
}

TEST(MimeText, CharsetFallbacks) {
    bool unknown = false, invalid = false;
    EXPECT_EQ(ToUtf8("caf\xE9", "iso-8859-1", &unknown, &invalid), "café");
    EXPECT_FALSE(unknown);
    EXPECT_EQ(ToUtf8("caf\xE9", "", &unknown, &invalid), "café");  // not UTF-8: windows-1252
    EXPECT_EQ(ToUtf8("café", "", &unknown, &invalid), "café");
    EXPECT_EQ(ToUtf8("abc", "no-such-charset", &unknown, &invalid), "abc");
    EXPECT_TRUE(unknown);
    EXPECT_EQ(ToUtf8("\x82\xA0", "us-ascii", &unknown, &invalid), "‚\xC2\xA0");  // 8-bit in "ascii": windows-1252
    EXPECT_EQ(ToUtf8("\xA4\xA2\xFF", "euc-jp", &unknown, &invalid), "あ\xEF\xBF\xBD");
    EXPECT_TRUE(invalid);
    EXPECT_EQ(ToUtf8("\x1B$B$\"", "iso-2022-jp", &unknown, &invalid), "あ");
}

TEST(MimeText, FromLineDates) {
    using bv::mailstore::mapi::FileTimeToUnix;
    EXPECT_EQ(ParseFromLineDate("From a@b Mon Dec  7 08:37:05 2026"), 1796632625);
    EXPECT_EQ(ParseFromLineDate("From a@b  Mon Dec 7 08:37:05 2026\r"), 1796632625);
    EXPECT_EQ(ParseFromLineDate("From a@b Mon Dec  7 08:37:05 +0100 2026"), 1796632625 - 3600);
    EXPECT_EQ(ParseFromLineDate("From - "), std::nullopt);
    EXPECT_EQ(ParseFromLineDate("From 1844347839636459560@xxx"), std::nullopt);
    EXPECT_EQ(ParseFromLineDate("From a Mon Feb 31 08:37:05 2026"), std::nullopt);
}

TEST(MimeText, QuickDateReadingAgreesWithGMime) {
    // Whatever the quick reading accepts, it must read as GMime's full parser does;
    // what it declines goes to GMime.
    g_mime_init();
    auto gmime = [](const std::string& v) -> std::optional<int64_t> {
        GDateTime* dt = g_mime_utils_header_decode_date(v.c_str());
        if (!dt) return std::nullopt;
        int64_t t = g_date_time_to_unix(dt);
        g_date_time_unref(dt);
        return t;
    };
    static const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "dec"};
    std::mt19937 rng(5);
    int quick = 0;
    for (int n = 0; n < 4000; ++n) {
        char buf[128];
        int zone = int(rng() % 1500) - 720;
        const char* zoneText = n % 7 == 0 ? "GMT" : n % 11 == 0 ? "UT" : nullptr;
        char z[16];
        std::snprintf(z, sizeof z, "%c%02d%02d", zone < 0 ? '-' : '+', std::abs(zone) / 60, std::abs(zone) % 60);
        std::snprintf(buf, sizeof buf, "%s%s%d %s %d %02d:%02d%s%s %s%s", n % 3 ? kDays[rng() % 7] : "", n % 3 ? ", " : "",
                      int(rng() % 31) + 1, kMonths[rng() % 12], 1969 + int(rng() % 130), int(rng() % 24), int(rng() % 60),
                      n % 5 ? ":" : "", n % 5 ? std::to_string(rng() % 60).insert(0, rng() % 2 ? "" : "0").substr(0, 2).c_str() : "",
                      zoneText ? zoneText : z, n % 13 == 0 ? " (UTC)" : "");
        std::string v = buf;
        if (auto t = ParseRfc5322DateFast(v)) {
            ++quick;
            EXPECT_EQ(t, gmime(v)) << v;
        }
    }
    EXPECT_GT(quick, 3000) << "the common forms are read quickly";
    EXPECT_EQ(ParseRfc5322DateFast("Mon, 4 Dec 2026 08:03:21 +0000"), 1796371401);
    for (const char* declined : {"Tue, 30 Feb 2026 10:00:00 +0000", "4 Dec 2026 24:00:00 +0000", "4 Dec 2026 08:03 EST",
                                 "4 Dec 26 08:03:21 +0000", "4 Dec 2026 08:03:21 +0060", "4 Dec 2026 08:03:21 +0000 trailing",
                                 "Mon,4 Dec 2026 8:03:21 +0000", "4 Dec 1950 08:03:21 +0000", ""})
        EXPECT_EQ(ParseRfc5322DateFast(declined), std::nullopt) << declined;
}

TEST(MimeText, PlainMailboxesReadAsGMimeReadsThem) {
    g_mime_init();
    GMimeParserOptions* options = g_mime_parser_options_new();
    std::mt19937 rng(9);
    const char* names[] = {"", "Sender 1", "Ann", "O'Brien Ltd", "x+y", "Ann  Lee", "Ann Lee ", "Jos\xC3\xA9", "A. Person",
                           "=?utf-8?q?Ann?=", "\"Quoted, Name\"", "Ann (comment)"};
    const char* addrs[] = {"a@example.com", "first.last+tag@mail.example.org", "x@localhost", "bad@@example.com",
                           "nodomain@", "@nolocal", "a..b@example.com", "UPPER@EXAMPLE.COM", "a@b", "a@[127.0.0.1]"};
    int plain = 0;
    for (int n = 0; n < 2000; ++n) {
        std::string name = names[rng() % (sizeof names / sizeof *names)];
        std::string addr = addrs[rng() % (sizeof addrs / sizeof *addrs)];
        std::string value = name.empty() && rng() % 2 ? addr : name + (name.empty() ? "" : " ") + "<" + addr + ">";
        if (rng() % 4 == 0) value = " " + value + "\r\n";
        if (rng() % 9 == 0) value += ", b@example.com";
        std::string quickName, quickAddr;
        if (!ParseSimpleMailbox(value, quickName, quickAddr)) continue;
        ++plain;
        InternetAddressList* list = internet_address_list_parse(options, value.c_str());
        ASSERT_NE(list, nullptr) << value;
        ASSERT_EQ(internet_address_list_length(list), 1) << value;
        InternetAddress* ia = internet_address_list_get_address(list, 0);
        ASSERT_TRUE(INTERNET_ADDRESS_IS_MAILBOX(ia)) << value;
        const char* gname = internet_address_get_name(ia);
        EXPECT_EQ(quickName, gname ? gname : "") << value;
        EXPECT_EQ(quickAddr, internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia))) << value;
        g_object_unref(list);
    }
    EXPECT_GT(plain, 300) << "the plain forms are read without the parser";
    g_mime_parser_options_free(options);
}

TEST(MimeText, PlainMailboxListsReadAsGMimeReadsThem) {
    g_mime_init();
    GMimeParserOptions* options = g_mime_parser_options_new();
    std::mt19937 rng(11);
    const char* items[] = {"a@example.com", "Ann Lee <first.last+tag@mail.example.org>", "'Bob' <b@example.com>",
                           "UPPER@EXAMPLE.COM", "Ann  Lee <a@b.c>", "\"Lee, Ann\" <a@b.c>", "", "(x) a@b.c"};
    const char* joins[] = {", ", ",", ",\n ", " ,\r\n\t", ";"};
    int plain = 0;
    for (int n = 0; n < 1000; ++n) {
        std::string value = items[rng() % 8];
        for (int k = int(rng() % 4); k > 0; --k) value += std::string(joins[rng() % 5]) + items[rng() % 8];
        std::vector<Mailbox> quick{{"kept", "kept"}};
        if (!ParseSimpleMailboxList(value + "\n", quick)) {
            EXPECT_EQ(quick.size(), 1u) << value;
            continue;
        }
        ++plain;
        InternetAddressList* list = internet_address_list_parse(options, value.c_str());
        ASSERT_NE(list, nullptr) << value;
        ASSERT_EQ(size_t(internet_address_list_length(list)), quick.size() - 1) << value;
        for (size_t i = 1; i < quick.size(); ++i) {
            InternetAddress* ia = internet_address_list_get_address(list, int(i - 1));
            ASSERT_TRUE(INTERNET_ADDRESS_IS_MAILBOX(ia)) << value;
            const char* gname = internet_address_get_name(ia);
            EXPECT_EQ(quick[i].name, gname ? gname : "") << value;
            EXPECT_EQ(quick[i].address, internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia))) << value;
        }
        g_object_unref(list);
    }
    EXPECT_GT(plain, 100) << "plain lists are read without the parser";
    g_mime_parser_options_free(options);
}

TEST(MimeText, FileNames) {
    EXPECT_EQ(SanitizeFileName("  a/b\\c:d*e?.txt. "), "a_b_c_d_e_.txt");
    EXPECT_EQ(SanitizeFileName("..."), "");
    EXPECT_EQ(SanitizeFileName(std::string(300, 'x') + ".pdf").size(), 255u);
    EXPECT_EQ(ShortFileName("report.pdf"), "REPORT.PDF");
    EXPECT_EQ(ShortFileName("a long report.pdf"), "ALONGR~1.PDF");
    EXPECT_EQ(ShortFileName("archive.tar.gz"), "ARCHIV~1.GZ");
    EXPECT_EQ(ShortFileName("notes.markdown"), "NOTES~1.MAR");
    EXPECT_EQ(FileExtension("a.b.c"), ".c");
    EXPECT_EQ(FileExtension("noext"), "");
    EXPECT_EQ(FileExtension(".hidden"), "");
    EXPECT_EQ(ExtensionForMimeType("IMAGE/PNG"), ".png");
    EXPECT_EQ(ExtensionForMimeType("application/x-unknown"), ".bin");
}

TEST(MimeText, HtmlCharsetDeclarations) {
    EXPECT_EQ(HtmlMetaCharset("<html><head><META http-equiv=Content-Type content=\"text/html; charset=windows-1251\">"),
              "windows-1251");
    EXPECT_EQ(HtmlMetaCharset("<meta charset='koi8-r'/>"), "koi8-r");
    EXPECT_EQ(HtmlMetaCharset("<meta name=x><p>charset=no</p>"), "");
    EXPECT_EQ(DeclareHtmlUtf8("<meta charset=\"ISO-8859-1\"><p>x</p>"), "<meta charset=\"utf-8\"><p>x</p>");
    EXPECT_EQ(DeclareHtmlUtf8("<p>no meta</p>"), "<p>no meta</p>");
}

TEST(MimeText, RtfBodiesAsText) {
    // Plain RTF: tables and ignorable groups dropped, code-page bytes and Unicode read.
    RtfText plain = ReadRtf("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}}{\\*\\generator x;}"
                            "\\pard caf\\'e9 \\u8364?5\\par\n{\\b bold} \\{braces\\}\\tab end\\par}");
    EXPECT_FALSE(plain.html);
    EXPECT_EQ(plain.text, "caf\xC3\xA9 \xE2\x82\xAC" "5\nbold {braces}\tend\n");

    // HTML carried in RTF: the HTML comes back, the RTF-only parts do not.
    RtfText html = ReadRtf("{\\rtf1\\ansi\\fromhtml1 {\\fonttbl{\\f0 Arial;}}"
                           "{\\*\\htmltag64 <p>}\\htmlrtf {\\b x}\\htmlrtf0 Hello{\\*\\htmltag72 </p>}}");
    EXPECT_TRUE(html.html);
    EXPECT_EQ(html.text, "<p>Hello</p>");
}

TEST(MimeText, CompressedRtf) {
    auto hex = [](std::string_view h) {
        std::string out;
        for (size_t i = 0; i + 1 < h.size(); i += 2) out += char(std::stoi(std::string(h.substr(i, 2)), nullptr, 16));
        return out;
    };
    // The format's own examples: literals with a reference into the initial
    // dictionary, and a reference that overlaps what it writes.
    const std::string hello = hex("2d0000002b0000004c5a4675f1c5c7a703000a0072637067313235423"
                                  "20af32068656c090020627705b06c647d0a800fa0");
    EXPECT_EQ(DecompressRtf(hello), "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
    EXPECT_EQ(DecompressRtf(hex("1a0000001c0000004c5a4675e2d44b51410004205758595a0d6e7d010eb0")),
              "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}");
    // Stored uncompressed.
    EXPECT_EQ(DecompressRtf(hex("12000000060000004d454c4100000000") + "{\\rtf}"), "{\\rtf}");

    // A size that disagrees with the value, an unknown kind, a header cut short: nothing.
    EXPECT_EQ(DecompressRtf(hello + "x"), "");
    EXPECT_EQ(DecompressRtf(hex("2d0000002b0000004c5a4676") + hello.substr(12)), "");
    EXPECT_EQ(DecompressRtf(hello.substr(0, 12)), "");
    // Data cut short (size fixed to match): what it holds up to there.
    std::string cut = hello.substr(0, 30);
    cut[0] = char(cut.size() - 4);
    EXPECT_EQ(DecompressRtf(cut), "{\\rtf1\\ansi\\ansicpg1252");
}

TEST(MimeText, LineEndsBecomeCrLfWhetherTheTextIsGivenUpOrNot) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"one line", "one line"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb", "a\r\nb"},
        {"a\r\nb\nc", "a\r\nb\r\nc"},
        {"a\rb\r\n", "a\r\nb\r\n"},
        {"a\r\n\r", "a\r\n\r\n"},
        {"\n", "\r\n"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(ToCrLf(std::string_view(in)), out) << in;
        EXPECT_EQ(ToCrLf(std::string(in)), out) << in;
        for (size_t piece : {1, 2, 3, 100}) {  // in pieces cut after line ends, joined: the same
            std::string joined;
            ToCrLfInPieces(in, piece, [&joined](std::string_view part) { joined += part; });
            EXPECT_EQ(joined, out) << in << " in pieces of " << piece;
        }
    }
}
