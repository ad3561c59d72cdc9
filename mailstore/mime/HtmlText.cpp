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

// The text as it is laid out: runs of white space fold into one space, block tags
// start lines, <pre> keeps its spacing.
class TextLayout {
public:
    explicit TextLayout(size_t expected) { out_.reserve(expected); }

    // Ends the line, leaving at most `maxConsecutive` line ends in a row.
    void Newline(int maxConsecutive) {
        pendingSpace_ = false;
        TrimSpaces();
        int n = 0;
        for (size_t i = out_.size(); i > 0 && out_[i - 1] == '\n'; --i) ++n;
        if (out_.empty()) return;
        if (n < maxConsecutive) out_ += '\n';
    }

    void Text(std::string_view s) {
        for (char c : s) {
            if (!pre_ && (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f')) {
                pendingSpace_ = true;
                continue;
            }
            if (pre_ && c == '\r') continue;
            if (pendingSpace_) {
                if (!out_.empty() && out_.back() != '\n' && out_.back() != ' ') out_ += ' ';
                pendingSpace_ = false;
            }
            out_ += c;
        }
    }

    // What a tag does to the layout.
    void Tag(const std::string& name, bool closing) {
        if (name == "br") {
            pendingSpace_ = false;
            TrimSpaces();
            out_ += '\n';
        } else if (name == "pre") {
            Newline(2);
            pre_ += closing ? -1 : 1;
            if (pre_ < 0) pre_ = 0;
        } else if (name == "p" || name == "h1" || name == "h2" || name == "h3" || name == "h4" || name == "h5" ||
                   name == "h6" || name == "blockquote" || name == "table") {
            Newline(1);
            if (closing || name == "p") Newline(2);
        } else if (name == "td" || name == "th") {
            if (closing) pendingSpace_ = true;
            else if (!out_.empty() && out_.back() != '\n') {
                TrimSpaces();
                out_ += '\t';
                pendingSpace_ = false;
            }
        } else if (name == "li" && !closing) {
            Newline(1);
            out_ += "* ";
        } else if (IsBlockTag(name)) {
            Newline(1);
        }
    }

    std::string Finish() {
        while (!out_.empty() && (out_.back() == '\n' || out_.back() == ' ')) out_.pop_back();
        if (!out_.empty()) out_ += '\n';
        return std::move(out_);
    }

private:
    void TrimSpaces() {
        while (!out_.empty() && out_.back() == ' ') out_.pop_back();
    }

    std::string out_;
    bool pendingSpace_ = false;
    int pre_ = 0;
};

// The end of a tag that starts at `j` (after its name), honouring quoted attribute values.
size_t TagEnd(std::string_view html, size_t j) {
    char quote = 0;
    for (; j < html.size(); ++j) {
        const char d = html[j];
        if (quote) {
            if (d == quote) quote = 0;
        } else if (d == '"' || d == '\'') {
            quote = d;
        } else if (d == '>') {
            break;
        }
    }
    return j;
}

// Where the closing tag of `name` starts at or after `from` (any case), or npos.
size_t ClosingTag(std::string_view html, size_t from, const std::string& name) {
    const std::string endTag = "</" + name;
    const size_t n = html.size();
    for (size_t k = from; k < n;) {
        const size_t lt = html.find("</", k);
        if (lt == std::string_view::npos) break;
        bool match = lt + endTag.size() <= n;
        for (size_t q = 0; match && q < endTag.size(); ++q) match = base::AsciiToLower(html[lt + q]) == endTag[q];
        if (match) return lt;
        k = lt + 2;
    }
    return std::string_view::npos;
}

// The character of an entity (`ent` between & and ;), or 0 when it is none we know.
uint32_t EntityCodePoint(std::string_view ent) {
    if (!ent.empty() && ent[0] == '#') {
        const bool hex = ent.size() > 1 && (ent[1] == 'x' || ent[1] == 'X');
        const std::string digits(ent.substr(hex ? 2 : 1));
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [&](char d) {
                return hex ? std::isxdigit((unsigned char)d) : std::isdigit((unsigned char)d);
            }))
            return 0;
        const unsigned long v = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
        uint32_t cp = (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) ? 0xFFFD : uint32_t(v);
        if (cp >= 0x80 && cp < 0xA0) cp = Cp1252CodePoint(static_cast<unsigned char>(cp));
        return cp;
    }
    for (const auto& e : kEntities)
        if (ent == e.name) return e.cp;
    return 0;
}

// A tag at `i` (html[i] == '<'): its effect on the layout; returns where reading goes on.
size_t ReadTag(std::string_view html, size_t i, TextLayout& text) {
    const size_t n = html.size();
    if (html.compare(i, 4, "<!--") == 0) {
        const size_t e = html.find("-->", i + 4);
        return e == std::string_view::npos ? n : e + 3;
    }
    size_t j = i + 1;
    const bool closing = j < n && html[j] == '/';
    if (closing) ++j;
    std::string name;
    while (j < n && (std::isalnum(static_cast<unsigned char>(html[j])) || html[j] == '!' || html[j] == '?')) {
        name += base::AsciiToLower(html[j]);
        ++j;
    }
    if (name.empty()) {  // a lone '<' in text
        text.Text("<");
        return i + 1;
    }
    j = TagEnd(html, j);
    i = j < n ? j + 1 : n;
    if (!closing && (name == "script" || name == "style" || name == "head" || name == "title")) {
        // Content that is not text: skipped up to its closing tag.
        const size_t found = ClosingTag(html, i, name);
        if (found == std::string_view::npos) return name == "head" ? i : n;  // an unterminated head: its content goes on
        const size_t gt = html.find('>', found);
        return gt == std::string_view::npos ? n : gt + 1;
    }
    text.Tag(name, closing);
    return i;
}

}  // namespace

std::string HtmlToText(std::string_view html) {
    TextLayout text(html.size() / 2);
    size_t i = 0;
    const size_t n = html.size();
    while (i < n) {
        const char c = html[i];
        if (c == '<') {
            i = ReadTag(html, i, text);
            continue;
        }
        if (c == '&') {
            const size_t semi = html.find(';', i + 1);
            if (semi != std::string_view::npos && semi - i <= 10) {
                if (const uint32_t cp = EntityCodePoint(html.substr(i + 1, semi - i - 1))) {
                    std::string s;
                    AppendUtf8(s, cp);
                    text.Text(s);
                    i = semi + 1;
                    continue;
                }
            }
            text.Text("&");
            ++i;
            continue;
        }
        size_t next = i;
        while (next < n && html[next] != '<' && html[next] != '&') ++next;
        text.Text(html.substr(i, next - i));
        i = next;
    }
    return text.Finish();
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
