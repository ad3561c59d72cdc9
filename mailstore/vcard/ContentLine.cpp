#include "mailstore/vcard/ContentLine.h"

#include "mailstore/base/Ascii.h"

namespace bv::mailstore::vcard {

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

std::string Trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

// Splits a parameter value list at "," outside quotes; quotes are removed.
std::vector<std::string> SplitParamValues(std::string_view s) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char c : s) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.push_back(Trimmed(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(Trimmed(cur));
    return out;
}

}  // namespace

std::vector<std::string> ContentLine::Param(std::string_view wanted) const {
    std::vector<std::string> out;
    for (const Parameter& p : params)
        if (p.name == wanted) out.insert(out.end(), p.values.begin(), p.values.end());
    return out;
}

std::string ContentLine::FirstParam(std::string_view wanted) const {
    for (const Parameter& p : params)
        if (p.name == wanted && !p.values.empty()) return p.values.front();
    return "";
}

bool ContentLine::HasType(std::string_view type) const {
    for (const Parameter& p : params) {
        if (p.name != "TYPE") continue;
        for (const std::string& v : p.values) {
            // vCard 4.0 may quote a list: TYPE="work,voice".
            for (size_t b = 0; b <= v.size();) {
                size_t e = v.find(',', b);
                if (e == std::string::npos) e = v.size();
                if (base::EqualsNoCase(std::string_view(v).substr(b, e - b), type)) return true;
                b = e + 1;
            }
        }
    }
    return false;
}

bool ParseContentLine(std::string_view text, ContentLine& out) {
    out.group.clear();
    out.name.clear();
    out.params.clear();
    out.value.clear();
    // The name ends at the first ";" or ":".
    size_t i = 0;
    while (i < text.size() && text[i] != ';' && text[i] != ':') ++i;
    if (i == text.size()) return false;
    std::string name = Trimmed(text.substr(0, i));
    if (size_t dot = name.rfind('.'); dot != std::string::npos) {
        out.group = Upper(name.substr(0, dot));
        name.erase(0, dot + 1);
    }
    if (name.empty()) return false;
    out.name = Upper(name);
    // Parameters up to the first ":" outside quotes.
    while (i < text.size() && text[i] == ';') {
        size_t start = ++i;
        bool quoted = false;
        while (i < text.size() && (quoted || (text[i] != ';' && text[i] != ':'))) {
            if (text[i] == '"') quoted = !quoted;
            ++i;
        }
        std::string_view param = text.substr(start, i - start);
        if (param.empty()) continue;
        Parameter p;
        if (size_t eq = param.find('='); eq != std::string_view::npos) {
            p.name = Upper(Trimmed(param.substr(0, eq)));
            p.values = SplitParamValues(param.substr(eq + 1));
        } else {
            // vCard 2.1: a bare value names its parameter by itself.
            std::string v = Trimmed(param);
            std::string upper = Upper(v);
            if (upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "8BIT" || upper == "7BIT" || upper == "B")
                p.name = "ENCODING";
            else
                p.name = "TYPE";
            p.values.push_back(v);
        }
        out.params.push_back(std::move(p));
    }
    if (i >= text.size() || text[i] != ':') return false;
    out.value.assign(text.substr(i + 1));
    return true;
}

}  // namespace bv::mailstore::vcard
