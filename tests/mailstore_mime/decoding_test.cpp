// The one-pass base64 reading against GMime's decoder: the same bytes wherever it
// answers, and no answer where GMime's reading is to judge the data.
#include <gtest/gtest.h>

#include "mailstore/mime/GMimeSupport.h"

namespace bv::mailstore::mime {
namespace {

std::vector<uint8_t> GMimeBase64(std::string_view raw) {
    ParserOptions();  // GMime set up
    GMimeEncoding state;
    g_mime_encoding_init_decode(&state, GMIME_CONTENT_ENCODING_BASE64);
    std::vector<uint8_t> out(g_mime_encoding_outlen(&state, raw.size()) + 16);
    size_t n = g_mime_encoding_step(&state, raw.data(), raw.size(), reinterpret_cast<char*>(out.data()));
    n += g_mime_encoding_flush(&state, "", 0, reinterpret_cast<char*>(out.data()) + n);
    out.resize(n);
    return out;
}

TEST(DecodePlainBase64, AgreesWithGMimeOrLeavesItToIt) {
    struct Case {
        std::string raw;
        bool plain;
    };
    const Case cases[] = {
        {"", true},
        {"QUJD", true},
        {"QUJDRA==", true},
        {"QUJDREU=", true},
        {"QR==", true},                       // bits past the last byte
        {"QUJD\nREVG\r\nR0g=\r\n", true},
        {"  QU JD\tRA\n=\n=\n", true},        // blanks anywhere, padding across lines
        {"QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5ejAxMjM0NTY3ODkrLw==\n", true},
        {"/+/+", true},
        {"QUJ", false},                       // truncated
        {"QUJDR", false},
        {"QUJD!RA==", false},                 // a character of no alphabet
        {"QUJD\xC3\xA9", false},
        {"QUI=QUJD", false},                  // data after padding
        {"Q===", false},
        {"QUJDRA=", false},
        {"====", false},
        {"-_-_", false},                      // the URL alphabet
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out;
        ASSERT_EQ(DecodePlainBase64(c.raw, out), c.plain) << c.raw;
        if (c.plain) EXPECT_EQ(out, GMimeBase64(c.raw)) << c.raw;
    }
    // Every byte value, on lines of 76 letters as mail programs write them.
    std::string data;
    for (int i = 0; i < 1000; ++i) data.push_back(char(i * 7 % 256));
    gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(data.data()), data.size());
    std::string lines;
    for (std::string_view e(encoded); !e.empty(); e.remove_prefix(std::min<size_t>(76, e.size())))
        lines.append(e.substr(0, 76)).append("\r\n");
    g_free(encoded);
    std::vector<uint8_t> out;
    ASSERT_TRUE(DecodePlainBase64(lines, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), data);
}

}  // namespace
}  // namespace bv::mailstore::mime
