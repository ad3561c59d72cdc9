#include "mailstore/mime/Charsets.h"
#include "mailstore/base/Ascii.h"

#include <gmime/gmime.h>
#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "mailstore/base/ThreadSync.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/mime/GMimeSupport.h"

namespace bv::mailstore::mime {

namespace {

using base::AppendUtf8;

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
        else AppendUtf8(out, Cp1252CodePoint(c));
    }
    return out;
}

// Valid UTF-8, replacing invalid sequences with U+FFFD. Returns true when nothing was replaced.
bool MakeValidUtf8(std::string_view in, std::string& out) {
    size_t valid = base::ValidUtf8Prefix(in);
    if (valid == in.size()) {
        out.assign(in);
        return true;
    }
    out.clear();
    out.reserve(in.size() + 16);
    while (!in.empty()) {
        valid = base::ValidUtf8Prefix(in);
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

bool ConverterExists(const std::string& name) {
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == (iconv_t)-1) return false;
    iconv_close(cd);
    return true;
}

// Answers about charset names, worked out once for the process and shared by its
// threads. Names are few; a flood of made-up ones is not kept. (Not one per thread:
// MinGW frees a thread's thread_local objects before it runs their destructors.)
template <class Value>
class NameAnswers {
public:
    std::optional<Value> Find(const std::string& lower) {
        std::lock_guard lock(mutex_);
        if (auto it = answers_.find(lower); it != answers_.end()) return it->second;
        return std::nullopt;
    }
    void Keep(const std::string& lower, const Value& answer) {
        std::lock_guard lock(mutex_);
        if (answers_.size() < 256) answers_.emplace(lower, answer);
    }

private:
    base::Mutex mutex_;
    std::unordered_map<std::string, Value> answers_;
};

// A charset name the converter knows: GMime's name for it, the name itself, or the
// name without an "x-" in front and without dashes ("x-mac-cyrillic" is
// "MAC-CYRILLIC", "x-mac-ukrainian" "MACUKRAINIAN"). Names are looked up once; the
// answer is the name itself when nothing fits.
std::string ResolvedName(const std::string& charset, const std::string& lower) {
    static NameAnswers<std::string> answers;
    if (std::optional<std::string> known = answers.Find(lower)) return std::move(*known);
    std::vector<std::string> candidates;
    ParserOptions();  // GMime's charset tables exist once it is initialised
    {
        // GMime fills its table under a lock of its own that thread checkers cannot
        // see; ours makes the hand-over of the name it returns visible to them.
        static std::mutex gmimeTable;
        std::lock_guard<std::mutex> hold(gmimeTable);
        if (const char* name = g_mime_charset_iconv_name(charset.c_str())) candidates.push_back(name);
    }
    candidates.push_back(charset);
    std::string bare = lower.rfind("x-", 0) == 0 ? lower.substr(2) : lower;
    candidates.push_back(bare);
    std::string undashed;
    for (char ch : bare)
        if (ch != '-' && ch != '_') undashed += ch;
    candidates.push_back(undashed);
    std::string found = charset;
    for (const std::string& c : candidates)
        if (ConverterExists(c)) {
            found = c;
            break;
        }
    answers.Keep(lower, found);
    return found;
}

// The converter name we use for a MIME charset: supersets where mail in the wild
// routinely exceeds the declared set (WHATWG encoding rules).
std::string ConverterName(const std::string& charset) {
    std::string c = base::AsciiLowered(charset);
    if (c == "gb2312" || c == "gbk" || c == "x-gbk" || c == "euc-cn" || c == "cp936" || c == "gb_2312-80") return "GB18030";
    if (c == "ks_c_5601-1987" || c == "ks_c_5601" || c == "euc-kr" || c == "korean") return "CP949";
    if (c == "shift_jis" || c == "shift-jis" || c == "sjis" || c == "x-sjis" || c == "ms_kanji" || c == "windows-31j") return "CP932";
    if (c == "iso-8859-1" || c == "latin1" || c == "iso_8859-1" || c == "l1" || c == "iso8859-1" || c == "us-ascii" ||
        c == "ascii" || c == "ansi_x3.4-1968" || c == "cp1252")
        return "WINDOWS-1252";
    if (c == "iso-2022-jp") return "ISO-2022-JP-2";
    if (c == "big5") return "BIG5-HKSCS";
    if (c == "x-mac-roman" || c == "mac-roman" || c == "macroman") return "MACINTOSH";
    if (c == "x-mac-ce" || c == "x-mac-centraleurroman" || c == "mac-centraleurroman") return "MAC-CENTRALEUROPE";
    if (c == "x-mac-icelandic" || c == "mac-icelandic") return "MAC-IS";
    return ResolvedName(charset, c);
}

bool IsUtf8Name(const std::string& c) {
    std::string l = base::AsciiLowered(c);
    return l == "utf-8" || l == "utf8" || l == "unicode-1-1-utf-8" || l == "x-unicode20utf8";
}

// True when `charset` reads every printable ASCII character, blank and line end as
// itself (so that header structure and encoded words survive the reading). Asked
// once per name.
bool KeepsAscii(const std::string& charset) {
    static NameAnswers<bool> answers;
    const std::string lower = base::AsciiLowered(charset);
    if (std::optional<bool> known = answers.Find(lower)) return *known;
    std::string ascii = "\t\r\n";
    for (char c = 0x20; c < 0x7F; ++c) ascii += c;
    bool unknown = false, invalid = false;
    const bool keeps = ToUtf8(ascii, charset, &unknown, &invalid) == ascii && !unknown && !invalid;
    answers.Keep(lower, keeps);
    return keeps;
}

}  // namespace

std::string HeaderBytesToUtf8(std::string_view bytes, const std::string& declared) {
    if (base::ValidUtf8Prefix(bytes) == bytes.size()) return std::string(bytes);
    const bool useDeclared = !declared.empty() && !IsUtf8Name(declared) && KeepsAscii(declared);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    while (!bytes.empty()) {
        const size_t eol = bytes.find('\n');
        const std::string_view line = bytes.substr(0, eol == std::string_view::npos ? bytes.size() : eol + 1);
        bytes.remove_prefix(line.size());
        if (base::ValidUtf8Prefix(line) == line.size()) {
            out.append(line);
            continue;
        }
        if (useDeclared) {
            bool unknown = false, invalid = false;
            std::string text = ToUtf8(line, declared, &unknown, &invalid);
            if (!unknown && !invalid) {
                out += text;
                continue;
            }
        }
        out += Cp1252ToUtf8(line);
    }
    return out;
}

uint32_t Cp1252CodePoint(unsigned char c) {
    if (c < 0x80 || c >= 0xA0) return c;
    return kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : base::kReplacementCharacter;
}

std::string BytesToUtf8(const char* bytes) { return bytes ? BytesToUtf8(std::string_view(bytes)) : std::string(); }

std::string BytesToUtf8(std::string_view bytes) {
    if (base::ValidUtf8Prefix(bytes) == bytes.size()) return std::string(bytes);
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
    if (base::ValidUtf8Prefix(out) != out.size()) {
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
    // Text without a CR (the usual case) has its line ends found by one search each.
    const bool lfOnly = text.find('\r') == std::string_view::npos;
    while (!text.empty()) {
        // The next line end: an LF, or a CR before it.
        size_t lf = text.find('\n');
        size_t stop = lf == std::string_view::npos ? text.size() : lf;
        size_t cr = lfOnly ? std::string_view::npos : text.substr(0, stop).find('\r');
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

std::string ToCrLf(std::string&& text) {
    // In CR LF already when every LF follows a CR and there are no more CRs than LFs
    // (each search stops at the first bare LF, where most texts show their form).
    size_t lfs = 0, crs = 0;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1), ++lfs)
        if (at == 0 || text[at - 1] != '\r') return ToCrLf(std::string_view(text));
    for (size_t at = text.find('\r'); at != std::string::npos && crs <= lfs; at = text.find('\r', at + 1)) ++crs;
    if (crs != lfs) return ToCrLf(std::string_view(text));
    return std::move(text);
}

void ToCrLfInPieces(std::string_view text, size_t piece, const std::function<void(std::string_view)>& out) {
    while (!text.empty()) {
        // (A cut after an LF leaves no CR LF in two, and each side reads as in the whole.)
        const size_t lf = text.size() > piece ? text.find('\n', std::max<size_t>(piece, 1) - 1) : std::string_view::npos;
        const size_t cut = lf == std::string_view::npos ? text.size() : lf + 1;
        out(ToCrLf(text.substr(0, cut)));
        text.remove_prefix(cut);
    }
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

}  // namespace bv::mailstore::mime
