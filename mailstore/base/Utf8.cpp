#include "mailstore/base/Utf8.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define BV_UTF16_SSE2 1
#endif

namespace bv::mailstore::base {

namespace {

constexpr uint32_t kReplacement = kReplacementCharacter;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the run of ASCII bytes at s[i..n), looked at 16 (or 8) bytes at a time;
// may stop short of the run's end by fewer than 16 bytes.
size_t AsciiRun(const unsigned char* s, size_t i, size_t n) {
    size_t start = i;
#if BV_UTF16_SSE2
    while (i + 16 <= n) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(v)) break;
        i += 16;
    }
#endif
    while (i + 8 <= n) {
        uint64_t w;
        std::memcpy(&w, s + i, 8);
        if (w & 0x8080808080808080ULL) break;
        i += 8;
    }
    return i - start;
}

// Widens `len` ASCII bytes to UTF-16LE.
void WidenAscii(const unsigned char* s, size_t len, uint8_t* o) {
    size_t k = 0;
#if BV_UTF16_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; k + 16 <= len; k += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 2 * k), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 2 * k + 16), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; k < len; ++k) {
        o[2 * k] = s[k];
        o[2 * k + 1] = 0;
    }
}

// Decodes the sequence at s[i] (not ASCII); advances i past it, or by one byte when
// the sequence is invalid (overlong, surrogate, out of range, cut short).
uint32_t DecodeMultiByte(const unsigned char* s, size_t n, size_t& i) {
    unsigned char c = s[i];
    size_t len;
    uint32_t cp, min;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + len > n) {
        ++i;
        return kReplacement;
    }
    for (size_t k = 1; k < len; ++k) {
        if (!IsContinuation(s[i + k])) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        ++i;
        return kReplacement;
    }
    i += len;
    return cp;
}

}  // namespace

uint32_t DecodeUtf8(std::string_view utf8, size_t& i) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    if (s[i] < 0x80) return s[i++];
    return DecodeMultiByte(s, utf8.size(), i);
}

std::string Utf8Prefix(const std::string& s, size_t n) {
    if (s.size() <= n) return s;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

std::vector<uint8_t> Utf8ToUtf16Le(std::string_view utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    // At most two bytes per input byte (a 4-byte sequence gives 4 bytes).
    std::vector<uint8_t> out(n * 2);
    uint8_t* o = out.data();
    size_t i = 0;
    while (i < n) {
        if (size_t run = AsciiRun(s, i, n)) {
            WidenAscii(s + i, run, o);
            o += 2 * run;
            i += run;
            if (i >= n) break;
        }
        if (s[i] < 0x80) {
            *o++ = s[i++];
            *o++ = 0;
            continue;
        }
        uint32_t cp = DecodeMultiByte(s, n, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            uint16_t hi = uint16_t(0xD800 + (cp >> 10)), lo = uint16_t(0xDC00 + (cp & 0x3FF));
            *o++ = uint8_t(hi), *o++ = uint8_t(hi >> 8), *o++ = uint8_t(lo), *o++ = uint8_t(lo >> 8);
        } else {
            *o++ = uint8_t(cp), *o++ = uint8_t(cp >> 8);
        }
    }
    out.resize(size_t(o - out.data()));
    return out;
}

size_t Utf16LeSize(std::string_view utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t size = 0, i = 0;
    while (i < n) {
        const size_t run = AsciiRun(s, i, n);
        size += 2 * run;
        i += run;
        if (i >= n) break;
        if (s[i] < 0x80) {
            size += 2;
            ++i;
            continue;
        }
        size += DecodeMultiByte(s, n, i) >= 0x10000 ? 4 : 2;
    }
    return size;
}

void Utf8ToUtf16LeInPieces(std::string_view utf8, size_t chunk,
                           const std::function<void(const uint8_t*, size_t)>& piece) {
    chunk = std::max<size_t>(chunk, 4);
    for (size_t at = 0; at < utf8.size();) {
        const size_t end = std::min(utf8.size(), at + chunk);
        // A cut before a byte that continues a character could split a valid one; a
        // cut before any other byte decodes each side as the whole text does, and so
        // does one after four continuing bytes (no character spans it).
        size_t cut = end;
        while (cut > end - 3 && cut < utf8.size() && IsContinuation(utf8[cut])) --cut;
        if (cut < utf8.size() && IsContinuation(utf8[cut])) cut = end;
        const std::vector<uint8_t> part = Utf8ToUtf16Le(utf8.substr(at, cut - at));
        piece(part.data(), part.size());
        at = cut;
    }
}

size_t ValidUtf8Prefix(std::string_view utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        i += AsciiRun(s, i, n);
        if (i >= n) break;
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        size_t at = i;
        if (DecodeMultiByte(s, n, i) == kReplacement && !(i - at == 3 && s[at] == 0xEF && s[at + 1] == 0xBF && s[at + 2] == 0xBD))
            return at;
    }
    return n;
}

std::string Utf16LeToUtf8(const uint8_t* b, size_t size) {
    std::string out;
    out.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t c = uint32_t(b[i]) | (uint32_t(b[i + 1]) << 8);
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00) {
            uint32_t lo = i + 3 < size ? (uint32_t(b[i + 2]) | (uint32_t(b[i + 3]) << 8)) : 0;
            if (lo >= 0xDC00 && lo < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            } else {
                c = kReplacement;
            }
        } else if (c >= 0xDC00 && c < 0xE000) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string RepairUtf8(std::string_view text) {
    if (ValidUtf8Prefix(text) == text.size()) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size();) AppendUtf8(out, DecodeUtf8(text, i));
    return out;
}

}  // namespace bv::mailstore::base
