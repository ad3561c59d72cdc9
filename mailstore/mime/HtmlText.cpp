#include "mailstore/mime/HtmlText.h"
#include "mailstore/base/Ascii.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "mailstore/base/Utf8.h"
#include "mailstore/mime/Charsets.h"

namespace bv::mailstore::mime {

using base::AppendUtf8;

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
                name += base::AsciiToLower(html[j]);
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
                        match = base::AsciiToLower(html[lt + q]) == endTag[q];
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
                        if (cp >= 0x80 && cp < 0xA0) cp = Cp1252CodePoint(static_cast<unsigned char>(cp));
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
    std::string head = base::AsciiLowered(std::string(html.substr(0, limit)));
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

bool HtmlReferencesContentId(std::string_view html, std::string_view contentId) {
    if (contentId.empty()) return false;
    for (size_t pos = 0; (pos = html.find(':', pos)) != std::string_view::npos; ++pos) {
        if (pos < 3) continue;
        const char* s = html.data() + pos - 3;
        if (base::AsciiToLower(s[0]) != 'c' || base::AsciiToLower(s[1]) != 'i' ||
            base::AsciiToLower(s[2]) != 'd')
            continue;
        std::string_view rest = html.substr(pos + 1);
        if (rest.substr(0, contentId.size()) != contentId) continue;
        // the reference ends where the ID does (a quote, blank or bracket follows)
        if (rest.size() == contentId.size()) return true;
        const char after = rest[contentId.size()];
        if (after == '"' || after == '\'' || after == ' ' || after == ')' || after == '>' || after == '\t' ||
            after == '\r' || after == '\n')
            return true;
    }
    return false;
}

}  // namespace bv::mailstore::mime
