#include "mailstore/mime/MimeText.h"

#include "mailstore/mapi/Utf16.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace bv::mailstore::mime {

namespace {

using mapi::AppendUtf8;

std::string Lower(std::string s) {
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const char kReplacement[] = "\xEF\xBF\xBD";

// windows-1252 0x80..0x9F (0 = undefined, mapped to U+FFFD).
const uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (unsigned char c : bytes) {
        if (c < 0x80) out += char(c);
        else if (c < 0xA0) AppendUtf8(out, kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD);
        else AppendUtf8(out, c);
    }
    return out;
}

// Valid UTF-8, replacing invalid sequences with U+FFFD. Returns true when nothing was replaced.
bool MakeValidUtf8(std::string_view in, std::string& out) {
    size_t valid = mapi::ValidUtf8Prefix(in);
    if (valid == in.size()) {
        out.assign(in);
        return true;
    }
    out.clear();
    out.reserve(in.size() + 16);
    while (!in.empty()) {
        valid = mapi::ValidUtf8Prefix(in);
        out.append(in.substr(0, valid));
        if (valid == in.size()) break;
        out += kReplacement;
        size_t skip = valid + 1;
        // skip continuation bytes of the broken sequence
        while (skip < in.size() && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
        in.remove_prefix(skip);
    }
    return false;
}

// The converter name we use for a MIME charset: supersets where mail in the wild
// routinely exceeds the declared set (WHATWG encoding rules).
std::string ConverterName(const std::string& charset) {
    std::string c = Lower(charset);
    if (c == "gb2312" || c == "gbk" || c == "x-gbk" || c == "euc-cn" || c == "cp936" || c == "gb_2312-80") return "GB18030";
    if (c == "ks_c_5601-1987" || c == "ks_c_5601" || c == "euc-kr" || c == "korean") return "CP949";
    if (c == "shift_jis" || c == "shift-jis" || c == "sjis" || c == "x-sjis" || c == "ms_kanji" || c == "windows-31j") return "CP932";
    if (c == "iso-8859-1" || c == "latin1" || c == "iso_8859-1" || c == "l1" || c == "iso8859-1" || c == "us-ascii" ||
        c == "ascii" || c == "ansi_x3.4-1968" || c == "cp1252")
        return "WINDOWS-1252";
    if (c == "iso-2022-jp") return "ISO-2022-JP-2";
    if (c == "big5") return "BIG5-HKSCS";
    const char* name = g_mime_charset_iconv_name(charset.c_str());
    return name ? std::string(name) : charset;
}

bool IsUtf8Name(const std::string& c) {
    std::string l = Lower(c);
    return l == "utf-8" || l == "utf8" || l == "unicode-1-1-utf-8" || l == "x-unicode20utf8";
}

}  // namespace

std::string BytesToUtf8(std::string_view bytes) {
    if (mapi::ValidUtf8Prefix(bytes) == bytes.size()) return std::string(bytes);
    return Cp1252ToUtf8(bytes);
}

std::string ToUtf8(std::string_view bytes, const std::string& charsetIn, bool* unknownCharset, bool* invalidBytes) {
    if (unknownCharset) *unknownCharset = false;
    if (invalidBytes) *invalidBytes = false;
    std::string charset = charsetIn;
    while (!charset.empty() && (charset.back() == ' ' || charset.back() == '"')) charset.pop_back();
    while (!charset.empty() && (charset.front() == ' ' || charset.front() == '"')) charset.erase(0, 1);
    if (charset.empty()) return BytesToUtf8(bytes);
    if (IsUtf8Name(charset)) {
        std::string out;
        bool clean = MakeValidUtf8(bytes, out);
        if (!clean && invalidBytes) *invalidBytes = true;
        return out;
    }
    const std::string conv = ConverterName(charset);
    if (conv == "WINDOWS-1252") return Cp1252ToUtf8(bytes);
    iconv_t cd = iconv_open("UTF-8", conv.c_str());
    if (cd == (iconv_t)-1) cd = iconv_open("UTF-8", charset.c_str());
    if (cd == (iconv_t)-1) {
        if (unknownCharset) *unknownCharset = true;
        return BytesToUtf8(bytes);
    }
    std::string out;
    out.resize(bytes.size() * 2 + 16);
    char* inp = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t used = 0;
    bool replaced = false;
    while (inLeft > 0) {
        char* outp = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        used = size_t(outp - out.data());
        if (r != size_t(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2 + 64);
        } else if (errno == EILSEQ) {
            if (out.size() - used < 8) out.resize(out.size() + 64);
            std::memcpy(out.data() + used, kReplacement, 3);
            used += 3;
            ++inp;
            --inLeft;
            replaced = true;
        } else {  // EINVAL: incomplete sequence at the end
            if (out.size() - used < 8) out.resize(out.size() + 64);
            std::memcpy(out.data() + used, kReplacement, 3);
            used += 3;
            inLeft = 0;
            replaced = true;
        }
    }
    // Flush the shift state (stateful encodings such as ISO-2022-JP).
    for (;;) {
        if (out.size() - used < 16) out.resize(out.size() + 64);
        char* outp = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t r = iconv(cd, nullptr, nullptr, &outp, &outLeft);
        used = size_t(outp - out.data());
        if (r != size_t(-1) || errno != E2BIG) break;
    }
    iconv_close(cd);
    out.resize(used);
    // glibc's UTF-8 decoder lets sequences above U+10FFFF through unchanged.
    if (mapi::ValidUtf8Prefix(out) != out.size()) {
        std::string clean;
        MakeValidUtf8(out, clean);
        out.swap(clean);
        replaced = true;
    }
    if (replaced && invalidBytes) *invalidBytes = true;
    return out;
}

std::string ToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 2);
    while (!text.empty()) {
        // The next line end: an LF, or a CR before it.
        size_t lf = text.find('\n');
        size_t stop = lf == std::string_view::npos ? text.size() : lf;
        size_t cr = text.substr(0, stop).find('\r');
        if (cr != std::string_view::npos) {
            out.append(text.substr(0, cr));
            out += "\r\n";
            text.remove_prefix(cr + (cr + 1 < text.size() && text[cr + 1] == '\n' ? 2 : 1));
        } else if (lf != std::string_view::npos) {
            out.append(text.substr(0, lf));
            out += "\r\n";
            text.remove_prefix(lf + 1);
        } else {
            out.append(text);
            break;
        }
    }
    return out;
}

std::string UnfoldHeader(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (char c : raw)
        if (c != '\r' && c != '\n') out += c;
    size_t b = out.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    size_t e = out.find_last_not_of(" \t");
    return out.substr(b, e - b + 1);
}

// ---------------------------------------------------------------- HTML -> text

namespace {

struct Entity {
    const char* name;
    uint32_t cp;
};
const Entity kEntities[] = {
    {"nbsp", 0xA0},   {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"copy", 0xA9},   {"reg", 0xAE},     {"trade", 0x2122}, {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013},
    {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"laquo", 0xAB},   {"raquo", 0xBB},
    {"bull", 0x2022}, {"middot", 0xB7},  {"euro", 0x20AC},  {"pound", 0xA3},   {"yen", 0xA5},     {"cent", 0xA2},
    {"sect", 0xA7},   {"deg", 0xB0},     {"plusmn", 0xB1},  {"times", 0xD7},   {"divide", 0xF7},  {"frac12", 0xBD},
    {"auml", 0xE4},   {"ouml", 0xF6},    {"uuml", 0xFC},    {"Auml", 0xC4},    {"Ouml", 0xD6},    {"Uuml", 0xDC},
    {"szlig", 0xDF},  {"eacute", 0xE9},  {"egrave", 0xE8},  {"ecirc", 0xEA},   {"aacute", 0xE1},  {"agrave", 0xE0},
    {"acirc", 0xE2},  {"ccedil", 0xE7},  {"iacute", 0xED},  {"oacute", 0xF3},  {"uacute", 0xFA},  {"ntilde", 0xF1},
    {"Eacute", 0xC9}, {"aring", 0xE5},   {"Aring", 0xC5},   {"oslash", 0xF8},  {"aelig", 0xE6},   {"iexcl", 0xA1},
    {"iquest", 0xBF}, {"shy", 0xAD},     {"zwnj", 0x200C},  {"zwj", 0x200D},   {"ensp", 0x2002},  {"emsp", 0x2003},
    {"thinsp", 0x2009},
};

bool IsBlockTag(const std::string& t) {
    static const char* kBlocks[] = {"p",  "div", "tr", "li", "h1", "h2", "h3", "h4", "h5", "h6", "table", "blockquote",
                                    "ul", "ol",  "dl", "dt", "dd", "pre", "hr", "address", "center", "section",
                                    "article", "header", "footer", "form", "fieldset", "tbody", "thead"};
    for (const char* b : kBlocks)
        if (t == b) return true;
    return false;
}

}  // namespace

std::string HtmlToText(std::string_view html) {
    std::string out;
    out.reserve(html.size() / 2);
    bool pendingSpace = false;
    int pre = 0;
    auto newline = [&](int maxConsecutive) {
        pendingSpace = false;
        // trim trailing spaces of the current line
        while (!out.empty() && out.back() == ' ') out.pop_back();
        int n = 0;
        for (size_t i = out.size(); i > 0 && out[i - 1] == '\n'; --i) ++n;
        if (out.empty()) return;
        if (n < maxConsecutive) out += '\n';
    };
    auto emitText = [&](const std::string& s) {
        for (char c : s) {
            if (!pre && (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f')) {
                pendingSpace = true;
                continue;
            }
            if (pre && c == '\r') continue;
            if (pendingSpace) {
                if (!out.empty() && out.back() != '\n' && out.back() != ' ') out += ' ';
                pendingSpace = false;
            }
            out += c;
        }
    };
    size_t i = 0;
    const size_t n = html.size();
    while (i < n) {
        char c = html[i];
        if (c == '<') {
            if (html.compare(i, 4, "<!--") == 0) {
                size_t e = html.find("-->", i + 4);
                i = e == std::string_view::npos ? n : e + 3;
                continue;
            }
            size_t j = i + 1;
            bool closing = false;
            if (j < n && html[j] == '/') {
                closing = true;
                ++j;
            }
            std::string name;
            while (j < n && (std::isalnum(static_cast<unsigned char>(html[j])) || html[j] == '!' || html[j] == '?')) {
                name += char(std::tolower(static_cast<unsigned char>(html[j])));
                ++j;
            }
            if (name.empty()) {  // a lone '<' in text
                emitText("<");
                ++i;
                continue;
            }
            // find the end of the tag, honouring quoted attribute values
            char quote = 0;
            while (j < n) {
                char d = html[j];
                if (quote) {
                    if (d == quote) quote = 0;
                } else if (d == '"' || d == '\'') {
                    quote = d;
                } else if (d == '>') {
                    break;
                }
                ++j;
            }
            i = j < n ? j + 1 : n;
            if (!closing && (name == "script" || name == "style" || name == "head" || name == "title")) {
                std::string endTag = "</" + name;
                // case-insensitive search for the closing tag
                size_t k = i;
                size_t found = std::string_view::npos;
                while (k < n) {
                    size_t lt = html.find("</", k);
                    if (lt == std::string_view::npos) break;
                    bool match = lt + endTag.size() <= n;
                    for (size_t q = 0; match && q < endTag.size(); ++q)
                        match = std::tolower(static_cast<unsigned char>(html[lt + q])) == endTag[q];
                    if (match) {
                        found = lt;
                        break;
                    }
                    k = lt + 2;
                }
                if (found == std::string_view::npos) {
                    if (name == "head") continue;  // unterminated head: keep going with the content
                    i = n;
                } else {
                    size_t gt = html.find('>', found);
                    i = gt == std::string_view::npos ? n : gt + 1;
                }
                continue;
            }
            if (name == "br") {
                pendingSpace = false;
                while (!out.empty() && out.back() == ' ') out.pop_back();
                out += '\n';
            } else if (name == "pre") {
                newline(2);
                pre += closing ? -1 : 1;
                if (pre < 0) pre = 0;
            } else if (name == "p" || name == "h1" || name == "h2" || name == "h3" || name == "h4" || name == "h5" ||
                       name == "h6" || name == "blockquote" || name == "table") {
                newline(1);
                if (closing || name == "p") newline(2);
            } else if (name == "td" || name == "th") {
                if (closing) pendingSpace = true;
                else if (!out.empty() && out.back() != '\n') {
                    while (!out.empty() && out.back() == ' ') out.pop_back();
                    out += '\t';
                    pendingSpace = false;
                }
            } else if (name == "li" && !closing) {
                newline(1);
                out += "* ";
            } else if (IsBlockTag(name)) {
                newline(1);
            }
            continue;
        }
        if (c == '&') {
            size_t semi = html.find(';', i + 1);
            if (semi != std::string_view::npos && semi - i <= 10) {
                std::string_view ent = html.substr(i + 1, semi - i - 1);
                uint32_t cp = 0;
                if (!ent.empty() && ent[0] == '#') {
                    bool hex = ent.size() > 1 && (ent[1] == 'x' || ent[1] == 'X');
                    std::string digits(ent.substr(hex ? 2 : 1));
                    if (!digits.empty() &&
                        std::all_of(digits.begin(), digits.end(), [&](char d) { return hex ? std::isxdigit((unsigned char)d) : std::isdigit((unsigned char)d); })) {
                        unsigned long v = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
                        cp = (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) ? 0xFFFD : uint32_t(v);
                        if (cp >= 0x80 && cp < 0xA0) cp = kCp1252High[cp - 0x80] ? kCp1252High[cp - 0x80] : 0xFFFD;
                    }
                } else {
                    for (const auto& e : kEntities)
                        if (ent == e.name) {
                            cp = e.cp;
                            break;
                        }
                }
                if (cp) {
                    std::string s;
                    AppendUtf8(s, cp == 0xA0 ? 0xA0 : cp);
                    emitText(s);
                    i = semi + 1;
                    continue;
                }
            }
            emitText("&");
            ++i;
            continue;
        }
        size_t next = i;
        while (next < n && html[next] != '<' && html[next] != '&') ++next;
        emitText(std::string(html.substr(i, next - i)));
        i = next;
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    if (!out.empty()) out += '\n';
    return out;
}

namespace {

// Position and length of the charset value inside the first <meta> that names one.
bool FindMetaCharset(std::string_view html, size_t& valuePos, size_t& valueLen) {
    const size_t limit = std::min<size_t>(html.size(), 8192);
    std::string head = Lower(std::string(html.substr(0, limit)));
    size_t pos = 0;
    while ((pos = head.find("<meta", pos)) != std::string::npos) {
        size_t end = head.find('>', pos);
        if (end == std::string::npos) break;
        size_t cs = head.find("charset", pos);
        if (cs != std::string::npos && cs < end) {
            size_t v = cs + 7;
            while (v < end && (head[v] == ' ' || head[v] == '=')) ++v;
            if (v < end && (head[v] == '"' || head[v] == '\'')) ++v;
            size_t ve = v;
            while (ve < end && (std::isalnum(static_cast<unsigned char>(head[ve])) || head[ve] == '-' || head[ve] == '_' ||
                                head[ve] == '.' || head[ve] == ':'))
                ++ve;
            if (ve > v) {
                valuePos = v;
                valueLen = ve - v;
                return true;
            }
        }
        pos = end;
    }
    return false;
}

}  // namespace

std::string DeclareHtmlUtf8(std::string html) {
    size_t pos = 0, len = 0;
    if (FindMetaCharset(html, pos, len)) html.replace(pos, len, "utf-8");
    return html;
}

std::string HtmlMetaCharset(std::string_view html) {
    size_t pos = 0, len = 0;
    return FindMetaCharset(html, pos, len) ? std::string(html.substr(pos, len)) : std::string();
}

// ---------------------------------------------------------------- addresses

std::vector<uint8_t> OneOffEntryId(const std::string& displayName, const std::string& address) {
    static const uint8_t kOneOffProvider[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
    std::vector<uint8_t> id;
    id.reserve(24 + 2 * (displayName.size() + address.size() + 8));
    for (int k = 0; k < 4; ++k) id.push_back(0);  // flags
    for (uint8_t b : kOneOffProvider) id.push_back(b);
    id.push_back(0);  // version
    id.push_back(0);
    // MAPI_ONE_OFF_UNICODE (0x8000) | 0x1000 | MAPI_ONE_OFF_NO_RICH_INFO (0x0001), as Outlook writes it.
    id.push_back(0x01);
    id.push_back(0x90);
    auto putUtf16 = [&](const std::string& s) {
        glong written = 0;
        gunichar2* u = g_utf8_to_utf16(s.c_str(), glong(s.size()), nullptr, &written, nullptr);
        if (u) {
            for (glong k = 0; k < written; ++k) {
                id.push_back(uint8_t(u[k] & 0xFF));
                id.push_back(uint8_t(u[k] >> 8));
            }
            g_free(u);
        }
        id.push_back(0);
        id.push_back(0);
    };
    putUtf16(displayName);
    putUtf16("SMTP");
    putUtf16(address);
    return id;
}

std::vector<uint8_t> SmtpSearchKey(const std::string& address) {
    std::string key = "SMTP:";
    for (char c : address) key += char(std::toupper(static_cast<unsigned char>(c)));
    std::vector<uint8_t> out(key.begin(), key.end());
    out.push_back(0);
    return out;
}

// ---------------------------------------------------------------- addresses

namespace {

bool IsAtext(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr;
}

bool IsSimpleAddrSpec(std::string_view a) {
    size_t at = a.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 >= a.size() || a.find('@', at + 1) != std::string_view::npos)
        return false;
    std::string_view local = a.substr(0, at), domain = a.substr(at + 1);
    if (local.front() == '.' || local.back() == '.' || local.find("..") != std::string_view::npos) return false;
    for (char c : local)
        if (!IsAtext(c) && c != '.') return false;
    if (domain.front() == '.' || domain.back() == '.' || domain.front() == '-') return false;
    for (char c : domain)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
            return false;
    return true;
}

}  // namespace

bool ParseSimpleMailbox(std::string_view v, std::string& name, std::string& address) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!v.empty() && blank(v.front())) v.remove_prefix(1);
    while (!v.empty() && blank(v.back())) v.remove_suffix(1);
    if (v.empty()) return false;
    size_t lt = v.find('<');
    if (lt == std::string_view::npos) {
        if (!IsSimpleAddrSpec(v)) return false;
        name.clear();
        address.assign(v);
        return true;
    }
    if (v.back() != '>' || v.find('<', lt + 1) != std::string_view::npos || v.find('>') != v.size() - 1) return false;
    std::string_view addr = v.substr(lt + 1, v.size() - lt - 2);
    std::string_view display = v.substr(0, lt);
    while (!display.empty() && display.back() == ' ') display.remove_suffix(1);
    if (!IsSimpleAddrSpec(addr)) return false;
    if (display.find("=?") != std::string_view::npos) return false;
    for (size_t i = 0; i < display.size(); ++i) {
        char c = display[i];
        if (c == ' ') {
            if (i == 0 || display[i - 1] == ' ') return false;
        } else if (!IsAtext(c)) {
            return false;
        }
    }
    name.assign(display);
    address.assign(addr);
    return true;
}

// ---------------------------------------------------------------- dates

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ValidCivil(int y, int m, int d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) return false;
    return d <= kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0);
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int MonthOf(std::string_view name) {
    static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() < 3) return -1;
    char m[3];
    for (int i = 0; i < 3; ++i) m[i] = char(std::tolower(static_cast<unsigned char>(name[size_t(i)])));
    for (int q = 0; q < 12; ++q)
        if (std::memcmp(m, kMonths[q], 3) == 0) return q + 1;
    return -1;
}

}  // namespace

std::optional<int64_t> UnixTimeOf(int year, int month, int day, int hh, int mm, int ss, int zoneMinutes) {
    if (!ValidCivil(year, month, day) || hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 || ss > 59) return std::nullopt;
    return DaysFromCivil(year, month, day) * 86400 + hh * 3600 + mm * 60 + ss - int64_t(zoneMinutes) * 60;
}

std::optional<int64_t> ParseRfc5322DateFast(std::string_view v) {
    size_t i = 0;
    auto blanks = [&] {
        while (i < v.size() && (v[i] == ' ' || v[i] == '\t' || v[i] == '\r' || v[i] == '\n')) ++i;
    };
    auto digits = [&](size_t minLen, size_t maxLen, int& out) {
        size_t start = i;
        out = 0;
        while (i < v.size() && i - start < maxLen && v[i] >= '0' && v[i] <= '9') out = out * 10 + (v[i++] - '0');
        return i - start >= minLen && !(i < v.size() && v[i] >= '0' && v[i] <= '9');
    };
    auto alpha = [&](size_t n) {
        for (size_t k = 0; k < n; ++k)
            if (i + k >= v.size() || !std::isalpha(static_cast<unsigned char>(v[i + k]))) return false;
        return i + n >= v.size() || !std::isalpha(static_cast<unsigned char>(v[i + n]));
    };
    blanks();
    if (alpha(3) && i + 3 < v.size() && v[i + 3] == ',') {  // day of the week: not checked
        i += 4;
        blanks();
    }
    int day, year, hh, mm, ss = 0;
    if (!digits(1, 2, day)) return std::nullopt;
    blanks();
    if (!alpha(3)) return std::nullopt;
    int month = MonthOf(v.substr(i, 3));
    if (month < 0) return std::nullopt;
    i += 3;
    blanks();
    // Years before 1969 are not taken as dates (a mail reader shows such a message
    // by its other dates): left to the full parser, which says the same.
    if (!digits(4, 4, year) || year < 1969) return std::nullopt;
    blanks();
    if (!digits(2, 2, hh) || i >= v.size() || v[i] != ':') return std::nullopt;
    ++i;
    if (!digits(2, 2, mm)) return std::nullopt;
    if (i < v.size() && v[i] == ':') {
        ++i;
        if (!digits(2, 2, ss)) return std::nullopt;
    }
    blanks();
    int zone = 0;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) {
        bool minus = v[i] == '-';
        ++i;
        int z;
        if (!digits(4, 4, z) || z % 100 > 59) return std::nullopt;
        zone = (z / 100) * 60 + z % 100;
        if (minus) zone = -zone;
    } else if (v.substr(i, 3) == "GMT" || v.substr(i, 3) == "UTC") {
        i += 3;
    } else if (v.substr(i, 2) == "UT") {
        i += 2;
    } else {
        return std::nullopt;  // a zone name or something else: the full parser decides
    }
    blanks();
    if (i < v.size() && v[i] == '(') {  // a trailing comment such as "(UTC)"
        size_t close = v.find(')', i);
        if (close == std::string_view::npos) return std::nullopt;
        i = close + 1;
        blanks();
    }
    if (i != v.size()) return std::nullopt;
    return UnixTimeOf(year, month, day, hh, mm, ss, zone);
}

// ---------------------------------------------------------------- From line date

std::optional<int64_t> ParseFromLineDate(std::string_view line) {
    // tokens separated by blanks
    std::string_view tok[16];
    size_t count = 0;
    for (size_t i = 0; i < line.size() && count < 16;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
        size_t start = i;
        while (i < line.size() && !(line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
        if (i > start) tok[count++] = line.substr(start, i - start);
    }
    auto number = [](std::string_view t, size_t& pos) {
        int v = 0;
        size_t start = pos;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9' && pos - start < 6) v = v * 10 + (t[pos++] - '0');
        return pos > start ? v : -1;
    };
    for (size_t k = 1; k + 2 < count; ++k) {
        int month = MonthOf(tok[k]);
        if (month < 0) continue;
        size_t pos = 0;
        int day = number(tok[k + 1], pos);
        if (day < 1 || day > 31) continue;
        // hh:mm[:ss]
        pos = 0;
        int hh = number(tok[k + 2], pos), mm = -1, ss = 0;
        if (hh < 0 || pos >= tok[k + 2].size() || tok[k + 2][pos] != ':') continue;
        ++pos;
        mm = number(tok[k + 2], pos);
        if (mm < 0) continue;
        if (pos < tok[k + 2].size() && tok[k + 2][pos] == ':') {
            ++pos;
            ss = number(tok[k + 2], pos);
            if (ss < 0) ss = 0;
        }
        int year = 0;
        int zoneMinutes = 0;
        for (size_t q = k + 3; q < count && q <= k + 5; ++q) {
            std::string_view t = tok[q];
            auto allDigits = [](std::string_view d) { return std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; }); };
            if ((t[0] == '+' || t[0] == '-') && t.size() == 5 && allDigits(t.substr(1))) {
                size_t p = 1;
                int v = number(t, p);
                zoneMinutes = (v / 100) * 60 + v % 100;
                if (t[0] == '-') zoneMinutes = -zoneMinutes;
            } else if (t.size() == 4 && allDigits(t)) {
                size_t p = 0;
                year = number(t, p);
            }
        }
        if (year < 1601 || year > 9999) return std::nullopt;
        return UnixTimeOf(year, month, day, hh, mm, ss, zoneMinutes);
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- file names

std::string SanitizeFileName(const std::string& nameIn) {
    std::string name;
    for (unsigned char c : nameIn) {
        if (c < 0x20 || c == 0x7F) continue;
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
            name += '_';
        else
            name += char(c);
    }
    size_t b = name.find_first_not_of(" .");
    if (b == std::string::npos) return std::string();
    size_t e = name.find_last_not_of(" .");
    name = name.substr(b, e - b + 1);
    if (name.size() > 255) {
        std::string ext = FileExtension(name);
        if (ext.size() > 16) ext.clear();
        size_t keep = 255 - ext.size();
        // do not cut inside a UTF-8 sequence
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
        name = name.substr(0, keep) + ext;
    }
    return name;
}

std::string FileExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return std::string();
    std::string ext = name.substr(dot);
    if (ext.find(' ') != std::string::npos) return std::string();
    return ext;
}

std::string ShortFileName(const std::string& longName) {
    std::string ext = FileExtension(longName);
    std::string base = longName.substr(0, longName.size() - ext.size());
    auto clean = [](const std::string& s) {
        std::string r;
        for (unsigned char c : s)
            if (std::isalnum(c) || c == '_' || c == '-' || c == '~' || c == '!' || c == '#' || c == '$' || c == '%' ||
                c == '&' || c == '(' || c == ')' || c == '@' || c == '^' || c == '{' || c == '}')
                r += char(std::toupper(c));
        return r;
    };
    std::string b = clean(base);
    std::string e = ext.empty() ? std::string() : clean(ext.substr(1));
    if (e.size() > 3) e = e.substr(0, 3);
    const bool fits = b.size() <= 8 && b.size() == base.size() && (ext.empty() || ext.size() - 1 <= 3);
    if (b.empty()) b = "ATTACH";
    if (!fits) b = b.substr(0, std::min<size_t>(b.size(), 6)) + "~1";
    return e.empty() ? b : b + "." + e;
}

std::string ExtensionForMimeType(const std::string& mimeType) {
    static const std::pair<const char*, const char*> kMap[] = {
        {"text/plain", ".txt"},        {"text/html", ".htm"},         {"text/calendar", ".ics"},
        {"text/csv", ".csv"},          {"text/xml", ".xml"},          {"text/rtf", ".rtf"},
        {"text/enriched", ".txt"},     {"text/richtext", ".rtx"},     {"text/vcard", ".vcf"},
        {"text/x-vcard", ".vcf"},      {"text/rfc822-headers", ".txt"}, {"image/png", ".png"},
        {"image/jpeg", ".jpg"},        {"image/jpg", ".jpg"},         {"image/gif", ".gif"},
        {"image/bmp", ".bmp"},         {"image/tiff", ".tif"},        {"image/svg+xml", ".svg"},
        {"image/webp", ".webp"},       {"application/pdf", ".pdf"},   {"application/zip", ".zip"},
        {"application/gzip", ".gz"},   {"application/x-gzip", ".gz"}, {"application/msword", ".doc"},
        {"application/postscript", ".ps"}, {"application/rtf", ".rtf"}, {"application/json", ".json"},
        {"application/xml", ".xml"},   {"application/pgp-signature", ".asc"},
        {"application/pgp-encrypted", ".asc"}, {"application/pgp-keys", ".asc"},
        {"application/pkcs7-signature", ".p7s"}, {"application/x-pkcs7-signature", ".p7s"},
        {"application/pkcs7-mime", ".p7m"}, {"application/x-pkcs7-mime", ".p7m"},
        {"application/ms-tnef", ".dat"}, {"application/vnd.ms-tnef", ".dat"},
        {"message/rfc822", ".eml"},    {"message/delivery-status", ".txt"},
        {"message/disposition-notification", ".txt"}, {"message/feedback-report", ".txt"},
        {"audio/mpeg", ".mp3"},        {"audio/wav", ".wav"},         {"video/mp4", ".mp4"},
    };
    std::string m = Lower(mimeType);
    for (const auto& [type, ext] : kMap)
        if (m == type) return ext;
    return ".bin";
}

}  // namespace bv::mailstore::mime
