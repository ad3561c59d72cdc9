#include <gtest/gtest.h>

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
