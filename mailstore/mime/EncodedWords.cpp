#include "mailstore/mime/EncodedWords.h"

#include <optional>
#include <vector>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/Base64.h"
#include "mailstore/mime/Charsets.h"

namespace bv::mailstore::mime {

namespace {

struct Word {
    size_t begin = 0, end = 0;  // the "=?...?=" in the text
    std::string charset;
    std::string bytes;  // decoded payload
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string DecodeBase64Word(std::string_view s) {
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (char c : s) {
        int v = base::Base64Value(c);
        if (v < 0) continue;  // padding and stray characters
        acc = (acc << 6) | uint32_t(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((acc >> bits) & 0xFF);
        }
    }
    return out;
}

std::string DecodeQWord(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '_') {
            out += ' ';
        } else if (s[i] == '=' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += char(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The encoded word starting at `at` ("=?charset?B|Q?payload?="), if it is one.
std::optional<Word> WordAt(std::string_view t, size_t at) {
    const size_t end = EncodedWordEnd(t, at);
    if (end == 0) return std::nullopt;
    const size_t q1 = t.find('?', at + 2);
    std::string_view charset = t.substr(at + 2, q1 - at - 2);
    std::string_view payload = t.substr(q1 + 3, end - 2 - (q1 + 3));
    Word w;
    w.begin = at;
    w.end = end;
    w.charset.assign(charset.substr(0, charset.find('*')));  // RFC 2231 language tag
    w.bytes = base::AsciiToLower(t[q1 + 1]) == 'b' ? DecodeBase64Word(payload) : DecodeQWord(payload);
    return w;
}

bool OnlyBlanks(std::string_view s) {
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

// Runs of adjacent encoded words: each run is a list of words.
std::vector<std::vector<Word>> Runs(std::string_view t) {
    std::vector<std::vector<Word>> runs;
    size_t i = 0;
    while ((i = t.find("=?", i)) != std::string_view::npos) {
        std::optional<Word> w = WordAt(t, i);
        if (!w) {
            i += 2;
            continue;
        }
        if (!runs.empty() && !runs.back().empty() && OnlyBlanks(t.substr(runs.back().back().end, w->begin - runs.back().back().end)))
            runs.back().push_back(std::move(*w));
        else
            runs.push_back({std::move(*w)});
        i = runs.back().back().end;
    }
    return runs;
}

// The text of a run: the bytes of neighbouring words in one charset joined, then converted.
std::string RunText(const std::vector<Word>& run) {
    std::string out;
    for (size_t k = 0; k < run.size();) {
        std::string bytes = run[k].bytes;
        size_t j = k + 1;
        while (j < run.size() && base::EqualsNoCase(run[j].charset, run[k].charset)) bytes += run[j++].bytes;
        out += ToUtf8(bytes, run[k].charset);
        k = j;
    }
    return out;
}

std::string Base64Encode(std::string_view data) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8) | uint8_t(data[i + 2]);
        out += k[v >> 18], out += k[(v >> 12) & 63], out += k[(v >> 6) & 63], out += k[v & 63];
    }
    if (i + 1 == data.size()) {
        uint32_t v = uint8_t(data[i]) << 16;
        out += k[v >> 18], out += k[(v >> 12) & 63], out += "==";
    } else if (i + 2 == data.size()) {
        uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8);
        out += k[v >> 18], out += k[(v >> 12) & 63], out += k[(v >> 6) & 63], out += '=';
    }
    return out;
}

}  // namespace

std::string DecodeEncodedWords(std::string_view text) {
    if (text.find("=?") == std::string_view::npos) return BytesToUtf8(text);
    std::string out;
    size_t pos = 0;
    for (const auto& run : Runs(text)) {
        out += BytesToUtf8(text.substr(pos, run.front().begin - pos));
        out += RunText(run);
        pos = run.back().end;
    }
    out += BytesToUtf8(text.substr(pos));
    return out;
}

bool HasAdjacentEncodedWords(std::string_view raw) {
    if (raw.find("=?") == raw.rfind("=?")) return false;
    for (const auto& run : Runs(raw))
        if (run.size() > 1) return true;
    return false;
}

std::string JoinAdjacentEncodedWords(std::string_view raw) {
    std::string out;
    size_t pos = 0;
    for (const auto& run : Runs(raw)) {
        if (run.size() < 2) continue;
        out.append(raw.substr(pos, run.front().begin - pos));
        out += "=?UTF-8?B?" + Base64Encode(RunText(run)) + "?=";
        pos = run.back().end;
    }
    out.append(raw.substr(pos));
    return out;
}

size_t EncodedWordEnd(std::string_view t, size_t at) {
    if (t.compare(at, 2, "=?") != 0) return 0;
    const size_t q1 = t.find('?', at + 2);
    if (q1 == std::string_view::npos || q1 == at + 2 || q1 + 2 >= t.size() || t[q1 + 2] != '?') return 0;
    if (const char enc = base::AsciiToLower(t[q1 + 1]); enc != 'b' && enc != 'q') return 0;
    const size_t end = t.find("?=", q1 + 3);
    if (end == std::string_view::npos || t.substr(at, end - at).find_first_of(" \t\r\n") != std::string_view::npos) return 0;
    return end + 2;
}

}  // namespace bv::mailstore::mime
