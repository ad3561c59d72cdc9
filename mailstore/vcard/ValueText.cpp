#include "mailstore/vcard/ValueText.h"

#include "mailstore/base/Ascii.h"
#include "mailstore/base/Base64.h"
#include "mailstore/mime/Charsets.h"

namespace bv::mailstore::vcard {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The standard alphabet and the URL-safe one ("-" and "_"), as cards carry either.
int Base64Digit(char c) {
    if (c == '-') return 62;
    if (c == '_') return 63;
    return base::Base64Value(c);
}

std::string Encoding(const ContentLine& line) {
    std::string e = line.FirstParam("ENCODING");
    for (char& c : e) c = base::AsciiToLower(c);
    return e;
}

// Splits at an unescaped separator, resolving escapes in each part.
// `sep` < 0: no separator.
std::vector<std::string> SplitUnescaped(std::string_view s, int sep) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            if (n == 'n' || n == 'N')
                out.back() += "\r\n";
            else
                out.back() += n;  // "\,", "\;", "\\" and anything else escaped
        } else if (sep >= 0 && c == char(sep)) {
            out.emplace_back();
        } else if (c == '\n') {
            out.back() += "\r\n";
        } else if (c != '\r') {
            out.back() += c;
        }
    }
    return out;
}

}  // namespace

bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out) {
    out.clear();
    out.reserve(text.size() * 3 / 4);
    uint32_t acc = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=') break;
        int d = Base64Digit(c);
        if (d < 0) {
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
            return false;
        }
        acc = (acc << 6) | uint32_t(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(uint8_t(acc >> bits));
        }
    }
    return true;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '=') {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) {
            // Soft line break.
            ++i;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            continue;
        }
        int h = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        int l = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (h < 0 || l < 0) {
            if (i + 1 == text.size()) continue;  // a soft break at the very end
            out += c;
            continue;
        }
        out += char(h * 16 + l);
        i += 2;
    }
    return out;
}

std::string RawText(const ContentLine& line) {
    const std::string enc = Encoding(line);
    std::string bytes;
    if (enc == "quoted-printable") {
        bytes = DecodeQuotedPrintable(line.value);
    } else if (enc == "b" || enc == "base64") {
        std::vector<uint8_t> data;
        if (DecodeBase64(line.value, data))
            bytes.assign(data.begin(), data.end());
        else
            bytes = line.value;
    } else {
        bytes = line.value;
    }
    return mime::ToUtf8(bytes, line.FirstParam("CHARSET"));
}

std::string Text(const ContentLine& line) {
    std::vector<std::string> all = SplitUnescaped(RawText(line), -1);
    return all.front();
}

std::vector<std::string> Parts(const ContentLine& line) { return SplitUnescaped(RawText(line), ';'); }

std::vector<std::string> List(const ContentLine& line) {
    std::vector<std::string> out;
    for (std::string& v : SplitUnescaped(RawText(line), ',')) {
        size_t b = v.find_first_not_of(" \t");
        if (b == std::string::npos) continue;
        size_t e = v.find_last_not_of(" \t");
        out.push_back(v.substr(b, e - b + 1));
    }
    return out;
}

bool Binary(const ContentLine& line, std::vector<uint8_t>& out, std::string& mediaType) {
    mediaType.clear();
    const std::string enc = Encoding(line);
    std::string type = line.FirstParam("TYPE");
    if (type.empty()) type = line.FirstParam("MEDIATYPE");
    for (char& c : type) c = base::AsciiToLower(c);
    if (!type.empty()) mediaType = type.find('/') == std::string::npos ? "image/" + type : type;
    if (enc == "b" || enc == "base64") return DecodeBase64(line.value, out) && !out.empty();
    std::string_view v = line.value;
    if (base::StartsWithNoCase(v, "data:")) {
        size_t comma = v.find(',');
        if (comma == std::string_view::npos) return false;
        std::string_view meta = v.substr(5, comma - 5);
        std::string_view data = v.substr(comma + 1);
        size_t semi = meta.find(';');
        std::string t(meta.substr(0, semi));
        for (char& c : t) c = base::AsciiToLower(c);
        if (!t.empty()) mediaType = t;
        bool b64 = false;
        for (size_t i = 0; i + 7 <= meta.size(); ++i)
            if (base::EqualsNoCase(meta.substr(i, 7), ";base64")) b64 = true;
        if (b64) return DecodeBase64(data, out) && !out.empty();
        std::string bytes;
        for (size_t i = 0; i < data.size(); ++i) {
            int h = data[i] == '%' && i + 2 < data.size() ? HexDigit(data[i + 1]) : -1;
            int l = h >= 0 ? HexDigit(data[i + 2]) : -1;
            if (h >= 0 && l >= 0) {
                bytes += char(h * 16 + l);
                i += 2;
            } else {
                bytes += data[i];
            }
        }
        out.assign(bytes.begin(), bytes.end());
        return !out.empty();
    }
    return false;
}

}  // namespace bv::mailstore::vcard
