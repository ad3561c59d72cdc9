#include "mailstore/mime/Uuencode.h"

namespace bv::mailstore::mime {

namespace {

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

// "begin 644 name": the name, when the line is one.
bool IsBeginLine(std::string_view line, std::string& name) {
    line = TrimLineEnd(line);
    if (line.substr(0, 6) != "begin ") return false;
    size_t i = 6;
    size_t digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '7') ++i, ++digits;
    if (digits < 3 || digits > 4 || i >= line.size() || line[i] != ' ') return false;
    name.assign(line.substr(i + 1));
    return !name.empty();
}

bool IsEndLine(std::string_view line) { return TrimLineEnd(line) == "end"; }

// One data line: its length character, then four characters for every three bytes.
// False when it is no uuencoded line.
bool DecodeLine(std::string_view line, std::string& out) {
    line = TrimLineEnd(line);
    if (line.empty()) return false;
    const int n = (line[0] - ' ') & 0x3F;
    if (line[0] < ' ' || line[0] > '`') return false;
    // (old encoders write blanks for zero bits, and line ends often lose them: the
    // characters missing at the end stand for zero bits)
    for (size_t i = 1; i < line.size(); ++i)
        if (line[i] < ' ' || line[i] > '`') return false;
    auto at = [&](size_t i) { return i < line.size() ? (line[i] - ' ') & 0x3F : 0; };
    std::string chunk;
    for (size_t i = 1; chunk.size() < size_t(n); i += 4) {
        const int a = at(i), b = at(i + 1), c = at(i + 2), d = at(i + 3);
        chunk += char((a << 2) | (b >> 4));
        chunk += char(((b & 0xF) << 4) | (c >> 2));
        chunk += char(((c & 0x3) << 6) | d);
    }
    chunk.resize(size_t(n));
    out += chunk;
    return true;
}

// Lines of `text` with their ends.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t i = 0;
    while (i < text.size()) {
        size_t eol = text.find('\n', i);
        size_t next = eol == std::string_view::npos ? text.size() : eol + 1;
        lines.push_back(text.substr(i, next - i));
        i = next;
    }
    return lines;
}

}  // namespace

bool DecodeUuencoded(std::string_view text, UuFile& file) {
    std::vector<std::string_view> lines = Lines(text);
    size_t k = 0;
    while (k < lines.size() && TrimLineEnd(lines[k]).empty()) ++k;
    if (k < lines.size() && IsBeginLine(lines[k], file.name)) ++k;
    bool clean = true;
    for (; k < lines.size(); ++k) {
        std::string_view line = TrimLineEnd(lines[k]);
        if (IsEndLine(line)) return clean;
        if (line.empty()) continue;
        if (line == "`") continue;
        if (!DecodeLine(line, file.bytes)) clean = false;
    }
    return false;  // no "end" line
}

std::vector<UuFile> TakeUuencodedBlocks(std::string& text) {
    std::vector<UuFile> files;
    // Most bodies hold no block: look for a "begin" line before cutting lines.
    bool any = false;
    for (size_t at = text.find("begin "); at != std::string::npos && !any; at = text.find("begin ", at + 6)) {
        if (at > 0 && text[at - 1] != '\n') continue;
        size_t eol = text.find('\n', at);
        std::string name;
        any = IsBeginLine(std::string_view(text).substr(at, eol == std::string::npos ? std::string::npos : eol - at), name);
    }
    if (!any) return files;
    std::vector<std::string_view> lines = Lines(text);
    std::string kept;
    bool changed = false;
    for (size_t k = 0; k < lines.size(); ++k) {
        UuFile file;
        if (IsBeginLine(lines[k], file.name)) {
            // a block: data lines up to "end", nothing else between
            size_t j = k + 1;
            bool ok = true;
            while (j < lines.size() && !IsEndLine(lines[j])) {
                std::string_view line = TrimLineEnd(lines[j]);
                if (line.empty() || !DecodeLine(line, file.bytes)) {
                    ok = false;
                    break;
                }
                ++j;
            }
            if (ok && j < lines.size() && j > k + 1) {
                files.push_back(std::move(file));
                changed = true;
                k = j;
                continue;
            }
        }
        kept.append(lines[k]);
    }
    if (changed) text.swap(kept);
    return files;
}

}  // namespace bv::mailstore::mime
