// A small RTF reader: enough of RTF 1.x to get the text of a mail body. Groups that
// hold no body text (font and colour tables, pictures, ignorable destinations) are
// skipped; \'hh bytes are read in the document's ANSI code page, \uN as Unicode.
#include "mailstore/mime/RtfText.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "mailstore/base/Utf8.h"
#include "mailstore/mime/Charsets.h"

namespace bv::mailstore::mime {

namespace {

constexpr int kMaxGroupDepth = 256;

bool SkippedDestination(std::string_view word) {
    static constexpr std::string_view kSkipped[] = {"fonttbl", "colortbl", "stylesheet", "info",     "pict",
                                                    "object",  "header",   "footer",     "headerl",  "headerr",
                                                    "footerl", "footerr",  "xmlnstbl",   "listtable", "listoverridetable",
                                                    "rsidtbl", "generator", "themedata", "datastore", "latentstyles"};
    for (std::string_view s : kSkipped)
        if (word == s) return true;
    return false;
}

struct GroupState {
    bool skip = false;     // inside a destination that holds no body text
    bool htmlrtf = false;  // \htmlrtf: RTF-only content of encapsulated HTML
    bool htmltag = false;  // inside {\*\htmltag ...}: HTML to pass through
    int unicodeSkip = 1;   // \ucN: characters after \uN that stand in for it
};

class Reader {
public:
    explicit Reader(std::string_view rtf) : s_(rtf) {}

    RtfText Read() {
        std::vector<GroupState> stack{GroupState{}};
        size_t pendingSkip = 0;  // fallback characters still to drop after \uN
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (c == '{') {
                ++i_;
                if (stack.size() < kMaxGroupDepth) stack.push_back(stack.back());
                starting_ = true;
                continue;
            }
            if (c == '}') {
                ++i_;
                if (stack.size() > 1) stack.pop_back();
                starting_ = false;
                continue;
            }
            GroupState& g = stack.back();
            if (c == '\\') {
                ControlWord(g, pendingSkip);
                starting_ = false;
                continue;
            }
            starting_ = false;
            ++i_;
            if (c == '\r' || c == '\n') continue;
            if (pendingSkip > 0) {
                --pendingSkip;
                continue;
            }
            Emit(g, std::string(1, c));
        }
        FlushBytes();
        return RtfText{std::move(out_), html_};
    }

private:
    bool Visible(const GroupState& g) const {
        if (g.skip) return false;
        if (html_) return g.htmltag || !g.htmlrtf;
        return true;
    }

    void Emit(const GroupState& g, const std::string& text) {
        if (!Visible(g)) return;
        bytes_ += text;
    }
    void EmitCodePoint(const GroupState& g, uint32_t cp) {
        if (!Visible(g)) return;
        FlushBytes();
        base::AppendUtf8(out_, cp);
    }
    // Bytes gathered from text and \'hh are in the ANSI code page until flushed.
    void FlushBytes() {
        if (bytes_.empty()) return;
        out_ += ToUtf8(bytes_, codePage_);
        bytes_.clear();
    }

    void ControlWord(GroupState& g, size_t& pendingSkip) {
        ++i_;  // the backslash
        if (i_ >= s_.size()) return;
        const char c = s_[i_];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++i_;
            switch (c) {
            case '\'': {  // \'hh
                if (i_ + 2 <= s_.size()) {
                    const std::string hex(s_.substr(i_, 2));
                    i_ += 2;
                    if (pendingSkip > 0) {
                        --pendingSkip;
                        return;
                    }
                    if (Visible(g)) bytes_ += char(std::strtol(hex.c_str(), nullptr, 16));
                }
                return;
            }
            case '*':
                if (starting_) ignorable_ = true;
                return;
            case '~':
                EmitCodePoint(g, 0xA0);
                return;
            case '-':
            case '_':
                return;
            case '\n':
            case '\r':
                Emit(g, "\n");
                return;
            default:  // \\ \{ \}
                Emit(g, std::string(1, c));
                return;
            }
        }
        size_t start = i_;
        while (i_ < s_.size() && std::isalpha(static_cast<unsigned char>(s_[i_]))) ++i_;
        const std::string_view word = s_.substr(start, i_ - start);
        bool hasParam = false;
        long param = 0;
        if (i_ < s_.size() && (s_[i_] == '-' || std::isdigit(static_cast<unsigned char>(s_[i_])))) {
            size_t p = i_;
            if (s_[p] == '-') ++p;
            while (p < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p]))) ++p;
            param = std::strtol(std::string(s_.substr(i_, p - i_)).c_str(), nullptr, 10);
            hasParam = true;
            i_ = p;
        }
        if (i_ < s_.size() && s_[i_] == ' ') ++i_;  // the delimiting blank belongs to the word

        const bool ignorable = ignorable_;
        ignorable_ = false;
        if (word == "htmltag") {
            g.htmltag = true;
            return;
        }
        if (word == "fromhtml") {
            html_ = true;
            return;
        }
        if (word == "htmlrtf") {
            g.htmlrtf = !hasParam || param != 0;
            return;
        }
        if (word == "ansicpg" && hasParam) {
            FlushBytes();
            codePage_ = "windows-" + std::to_string(param);
            return;
        }
        if (ignorable || SkippedDestination(word)) {
            g.skip = true;
            return;
        }
        if (word == "uc" && hasParam) {
            g.unicodeSkip = int(param);
            return;
        }
        if (word == "u" && hasParam) {
            EmitCodePoint(g, uint32_t(param < 0 ? param + 65536 : param));
            pendingSkip = size_t(g.unicodeSkip > 0 ? g.unicodeSkip : 0);
            return;
        }
        if (word == "par" || word == "line" || word == "sect" || word == "row") Emit(g, "\n");
        else if (word == "tab" || word == "cell") Emit(g, "\t");
        else if (word == "emdash") EmitCodePoint(g, 0x2014);
        else if (word == "endash") EmitCodePoint(g, 0x2013);
        else if (word == "lquote") EmitCodePoint(g, 0x2018);
        else if (word == "rquote") EmitCodePoint(g, 0x2019);
        else if (word == "ldblquote") EmitCodePoint(g, 0x201C);
        else if (word == "rdblquote") EmitCodePoint(g, 0x201D);
        else if (word == "bullet") EmitCodePoint(g, 0x2022);
    }

    std::string_view s_;
    size_t i_ = 0;
    bool starting_ = false;   // just after a '{'
    bool ignorable_ = false;  // "\*" seen at the start of this group
    bool html_ = false;
    std::string codePage_ = "windows-1252";
    std::string bytes_;
    std::string out_;
};

}  // namespace

RtfText ReadRtf(std::string_view rtf) { return Reader(rtf).Read(); }

}  // namespace bv::mailstore::mime
