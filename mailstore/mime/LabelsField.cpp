#include "mailstore/mime/LabelsField.h"

#include <glib.h>

#include "mailstore/base/Ascii.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/EncodedWords.h"

namespace bv::mailstore::mime {

namespace {

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

bool IsLabelsFieldName(std::string_view name) {
    constexpr std::string_view kPrefix = "x-", kSuffix = "-labels";
    if (name.size() <= kPrefix.size() + kSuffix.size() || !base::StartsWithNoCase(name, kPrefix)) return false;
    if (!base::EqualsNoCase(name.substr(name.size() - kSuffix.size()), kSuffix)) return false;
    for (char c : name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size()))
        if (!IsAsciiAlnum(c)) return false;
    return true;
}

void SplitLabelsValue(std::string_view rawValue, std::vector<std::string>& out) {
    const std::string text = DecodeEncodedWords(UnfoldHeader(rawValue));
    std::string current;
    bool quoted = false;
    auto finish = [&] {
        std::string_view label = TrimBlanks(current);
        if (!label.empty()) out.emplace_back(label);
        current.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (quoted) {
            if (c == '"' && next == '"') current.push_back(text[++i]);
            else if (c == '"') quoted = false;
            else if (c == '\\' && (next == '"' || next == '\\')) current.push_back(text[++i]);
            else current.push_back(c);
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            finish();
        } else {
            current.push_back(c);
        }
    }
    finish();
}

std::string FoldedLabel(std::string_view label) {
    bool ascii = true;
    for (char c : label) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return base::AsciiLowered(std::string(label));
    // Compatibility decomposition: accents become marks of their own, which are left
    // out; a no-break space becomes a space. Then Unicode's case folding.
    gchar* decomposed = g_utf8_normalize(label.data(), gssize(label.size()), G_NORMALIZE_NFKD);
    if (!decomposed) return base::AsciiLowered(std::string(label));  // not UTF-8: compared as it is
    std::string bare;
    for (const gchar* p = decomposed; *p; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (g_unichar_type(c) == G_UNICODE_NON_SPACING_MARK) continue;
        bare.append(p, size_t(g_utf8_next_char(p) - p));
    }
    g_free(decomposed);
    gchar* folded = g_utf8_casefold(bare.data(), gssize(bare.size()));
    std::string out(folded);
    g_free(folded);
    return out;
}

}  // namespace bv::mailstore::mime
