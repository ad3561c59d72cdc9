#include "mailstore/msg/MsgFormat.h"

#include "mailstore/mapi/Utf16.h"

namespace bv::mailstore::msg {

namespace {

// Decodes one UTF-8 sequence at s[i]; returns the code point (U+FFFD when invalid)
// and advances i.
uint32_t NextCodePoint(const std::string& s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    uint32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    const bool overlong = (len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += len;
    return cp;
}

}  // namespace

std::vector<uint8_t> Utf8ToUtf16Le(const std::string& s) { return mapi::Utf8ToUtf16Le(s); }

std::pair<std::string, std::string> SplitSubjectPrefix(const std::string& subject) {
    size_t i = 0;
    int chars = 0;
    while (i < subject.size() && chars < 4) {
        const size_t start = i;
        const uint32_t cp = NextCodePoint(subject, i);
        if (cp == ':') {
            if (chars >= 1 && i < subject.size() && subject[i] == ' ') return {subject.substr(0, i + 1), subject.substr(i + 1)};
            break;
        }
        if (cp == ' ' || cp == '\t' || (cp >= '0' && cp <= '9') || cp == 0xFFFD) break;
        (void)start;
        ++chars;
    }
    return {std::string(), subject};
}

}  // namespace bv::mailstore::msg
