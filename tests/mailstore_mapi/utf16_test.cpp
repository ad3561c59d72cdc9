#include <gtest/gtest.h>

#include <algorithm>

#include "mailstore/mapi/Utf16.h"

using namespace bv::mailstore::mapi;

namespace {
std::u16string Decode(const std::vector<uint8_t>& b) {
    std::u16string s;
    for (size_t i = 0; i + 1 < b.size(); i += 2) s += char16_t(b[i] | (b[i + 1] << 8));
    return s;
}
}  // namespace

TEST(Utf16, AsciiRunsAndMultiByteSequencesAtEveryAlignment) {
    for (size_t pad = 0; pad < 17; ++pad) {
        std::string prefix(pad, 'a');
        std::string text = prefix + "Grüße €😀 end" + prefix;
        EXPECT_EQ(Decode(Utf8ToUtf16Le(text)), std::u16string(pad, u'a') + u"Grüße €😀 end" + std::u16string(pad, u'a'));
        auto bytes = Utf8ToUtf16Le(text);
        EXPECT_EQ(Utf16LeToUtf8(bytes.data(), bytes.size()), text);
    }
    EXPECT_TRUE(Utf8ToUtf16Le("").empty());
}

TEST(Utf16, InvalidInputBecomesReplacementCharacters) {
    // Stray continuation, overlong form, encoded surrogate, cut-short sequence, 0xFF.
    EXPECT_EQ(Decode(Utf8ToUtf16Le("a\x80" "b")), u"a\uFFFDb");
    EXPECT_EQ(Decode(Utf8ToUtf16Le("\xC0\xAF")), u"\uFFFD\uFFFD");
    EXPECT_EQ(Decode(Utf8ToUtf16Le("\xED\xA0\x80")), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Decode(Utf8ToUtf16Le("x\xE2\x82")), u"x\uFFFD\uFFFD");
    EXPECT_EQ(Decode(Utf8ToUtf16Le("\xFF")), u"\uFFFD");
    // Unpaired surrogates read back as U+FFFD.
    uint8_t lone[] = {0x00, 0xD8, 0x41, 0x00};
    EXPECT_EQ(Utf16LeToUtf8(lone, sizeof lone), "\xEF\xBF\xBD" "A");
}

TEST(Utf16, InPiecesGivesTheWholeResultWhereverTheTextIsCut) {
    // Characters of every length, invalid bytes and runs of continuation bytes, cut
    // into pieces of every small size: the pieces joined are the whole conversion.
    const std::vector<std::string> texts = {
        "Grüße €😀 end", "a\x80\x80\x80\x80\x80" "b", "x\xE2\x82", "\xF0\x9F\x98\x80\xF0\x9F\x98",
        "\xC0\xAF\xED\xA0\x80\xFF" "ab\xC3", std::string(40, 'a') + "😀😀ü€" + std::string(3, '\x80'), ""};
    for (const std::string& text : texts) {
        const std::vector<uint8_t> whole = Utf8ToUtf16Le(text);
        EXPECT_EQ(Utf16LeSize(text), whole.size()) << text;
        for (size_t chunk = 1; chunk <= 9; ++chunk) {
            std::vector<uint8_t> joined;
            Utf8ToUtf16LeInPieces(text, chunk, [&](const uint8_t* p, size_t n) {
                EXPECT_LE(n, 2 * std::max<size_t>(chunk, 4));
                joined.insert(joined.end(), p, p + n);
            });
            EXPECT_EQ(joined, whole) << text << " in pieces of " << chunk;
        }
    }
}
