// Text helpers of the importer: HTML rendering, charset fallback, envelope dates, file names.
#include <gtest/gtest.h>

#include "mailstore/mapi/Message.h"
#include "mailstore/mime/MimeText.h"

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
    using bv::mapi::FileTimeToUnix;
    EXPECT_EQ(ParseFromLineDate("From a@b Mon Dec  7 08:37:05 2026"), 1796632625);
    EXPECT_EQ(ParseFromLineDate("From a@b  Mon Dec 7 08:37:05 2026\r"), 1796632625);
    EXPECT_EQ(ParseFromLineDate("From a@b Mon Dec  7 08:37:05 +0100 2026"), 1796632625 - 3600);
    EXPECT_EQ(ParseFromLineDate("From - "), std::nullopt);
    EXPECT_EQ(ParseFromLineDate("From 1844347839636459560@xxx"), std::nullopt);
    EXPECT_EQ(ParseFromLineDate("From a Mon Feb 31 08:37:05 2026"), std::nullopt);
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
