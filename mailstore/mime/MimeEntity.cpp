// The MIME entity GMime parses, read in place: see MimeEntity.h.
#include "mailstore/mime/MimeEntity.h"

#include <algorithm>

#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mime {

namespace {

// A line in a MIME part's header that is no field, read as mail readers read it:
// after a line that ends in ";" it goes on with that field's parameters (a folded
// line that lost its blank); otherwise the header ended before it (the blank line is
// missing) and it is the part's first line of content. Returns what to insert at
// `at` to say so to the parser: nothing when the line is not in a part's header (a
// message's own header keeps its reading: such a line is dropped and reported).
std::string_view PartHeaderRepairAt(std::string_view entity, size_t at) {
    if (at == 0 || at >= entity.size() || entity[at - 1] != '\n') return {};
    size_t end = at - 1;  // the line end of the line before
    std::string_view previous;
    for (bool first = true;; first = false) {
        size_t start = end == 0 ? std::string_view::npos : entity.rfind('\n', end - 1);
        start = start == std::string_view::npos ? 0 : start + 1;
        std::string_view line = entity.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (first) previous = line;
        if (line.empty()) return {};           // a message's header, after a blank line
        if (line.starts_with("--")) break;     // the boundary line the part's header follows
        if (start == 0) return {};
        end = start - 1;
    }
    while (!previous.empty() && (previous.back() == ' ' || previous.back() == '\t')) previous.remove_suffix(1);
    if (!previous.starts_with("--") && previous.ends_with(";")) return " ";
    return at >= 2 && entity[at - 2] == '\r' ? "\r\n" : "\n";
}

void CollectBoundaries(GMimeObject* obj, std::vector<std::string>& out, int depth = 0) {
    if (!obj || depth > 64) return;
    if (GMIME_IS_MULTIPART(obj)) {
        GMimeMultipart* mp = GMIME_MULTIPART(obj);
        if (const char* b = g_mime_multipart_get_boundary(mp); b && *b) out.emplace_back(b);
        for (int i = 0, n = g_mime_multipart_get_count(mp); i < n; ++i)
            CollectBoundaries(g_mime_multipart_get_part(mp, i), out, depth + 1);
    } else if (GMIME_IS_MESSAGE_PART(obj)) {
        if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj)))
            CollectBoundaries(g_mime_message_get_mime_part(inner), out, depth + 1);
    }
}

// The part headers of `entity` (after a line of one of `boundaries`) that run into a
// line that is neither a field nor its continuation: where each such line starts and
// what to insert there (PartHeaderRepairAt), last first.
std::vector<std::pair<size_t, std::string_view>> PartHeaderRepairs(std::string_view entity,
                                                                   const std::vector<std::string>& boundaries) {
    std::vector<std::pair<size_t, std::string_view>> out;
    for (const std::string& b : boundaries) {
        const std::string marker = "--" + b;
        for (size_t pos = entity.find(marker); pos != std::string_view::npos; pos = entity.find(marker, pos + 1)) {
            if (pos > 0 && entity[pos - 1] != '\n') continue;
            if (entity.substr(pos + marker.size()).starts_with("--")) continue;  // the closing boundary
            size_t line = entity.find('\n', pos);
            while (line != std::string_view::npos && ++line < entity.size()) {
                const size_t eol = entity.find('\n', line);
                std::string_view text = entity.substr(line, eol == std::string_view::npos ? std::string_view::npos : eol - line);
                if (text.empty() || text == "\r" || text.starts_with("--")) break;
                if (text[0] != ' ' && text[0] != '\t' && !LooksLikeHeader(text)) {
                    if (std::string_view repair = PartHeaderRepairAt(entity, line); !repair.empty())
                        out.emplace_back(line, repair);
                    break;
                }
                line = eol;
            }
        }
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    out.erase(std::unique(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first == b.first; }), out.end());
    return out;
}

}  // namespace

void MimeEntity::ArrayShell::operator()(GByteArray* a) const { g_byte_array_free(a, FALSE); }

MimeEntity::MimeEntity(std::string_view fields, std::string_view separator, std::string_view body, ParseIssues& issues)
    : body_(body) {
    head_.reserve(fields.size() + separator.size());
    head_.append(fields).append(separator);
    Parse();
    // Part headers that lost a blank line are read again the way mail readers read
    // them (rare: only where the parser lost its way or dropped lines).
    for (int round = 0; round < 4 && object_ && Repair(issues); ++round) {
        issues.reports.clear();
        Parse();
    }
}

MimeEntity::MimeEntity(std::string_view fields, std::string_view separator, std::string_view body, std::string_view tail)
    : body_(body), tail_(tail) {
    head_.reserve(fields.size() + separator.size());
    head_.append(fields).append(separator);
    Parse();
}

MimeEntity::~MimeEntity() { Release(); }

// Released in the reverse order: the entity, the parser, the stream, then the arrays
// the streams read (whose bytes are the message's).
void MimeEntity::Release() {
    if (object_) g_object_unref(object_);
    if (parser_) g_object_unref(parser_);
    if (stream_) g_object_unref(stream_);
    object_ = nullptr;
    parser_ = nullptr;
    stream_ = nullptr;
    arrays_.clear();
}

// A memory stream that reads `bytes` where they are.
GMimeStream* MimeEntity::Borrowed(std::string_view bytes) {
    static char none;
    char* data = bytes.empty() ? &none : const_cast<char*>(bytes.data());
    arrays_.emplace_back(g_byte_array_new_take(reinterpret_cast<guint8*>(data), bytes.size()));
    GMimeStream* s = g_mime_stream_mem_new_with_byte_array(arrays_.back().get());
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(s), FALSE);
    return s;
}

void MimeEntity::Parse() {
    GMimeParserOptions* options = ParserOptions();  // (GMime set up before any of its streams is made)
    if (!whole_.empty()) {
        stream_ = Borrowed(whole_);
    } else {
        stream_ = g_mime_stream_cat_new();
        for (std::string_view piece : {std::string_view(head_), body_, tail_}) {
            if (piece.empty()) continue;
            GMimeStream* s = Borrowed(piece);
            g_mime_stream_cat_add_source(GMIME_STREAM_CAT(stream_), s);
            g_object_unref(s);
        }
    }
    parser_ = g_mime_parser_new_with_stream(stream_);
    g_mime_parser_set_format(parser_, GMIME_FORMAT_MESSAGE);
    g_mime_parser_set_persist_stream(parser_, TRUE);
    object_ = g_mime_parser_construct_part(parser_, options);
}

// Makes the repairs the parser's reports call for in a whole copy of the entity;
// false when there are none.
bool MimeEntity::Repair(const ParseIssues& issues) {
    using Kind = ParseIssues::Kind;
    const bool trouble = std::any_of(issues.reports.begin(), issues.reports.end(), [](const ParseIssues::Report& r) {
        return r.kind == Kind::DroppedLine || r.kind == Kind::Truncated || r.kind == Kind::Malformed;
    });
    if (!trouble) return false;
    std::vector<std::string> boundaries;
    CollectBoundaries(object_, boundaries);
    std::string whole = whole_.empty() ? head_ + std::string(body_) : whole_;
    const auto repairs = PartHeaderRepairs(whole, boundaries);
    if (repairs.empty()) return false;
    Release();  // (the bytes move when they grow)
    for (const auto& [at, insert] : repairs) whole.insert(at, insert);
    whole_ = std::move(whole);
    return true;
}

namespace {

// True when `body` has at least `n` lines that start with "--" (a cheap look before
// anything is parsed: most multiparts have a few).
bool HasDashLines(std::string_view body, size_t n) {
    if (body.starts_with("--") && --n == 0) return true;
    for (size_t at = body.find("\n--"); at != std::string_view::npos; at = body.find("\n--", at + 3))
        if (--n == 0) return true;
    return false;
}

}  // namespace

std::unique_ptr<PartWindows> PartWindows::Of(std::string_view fields, std::string_view separator, std::string_view body) {
    if (!HasDashLines(body, kParts + 1)) return nullptr;
    std::string marker;
    {
        ParseIssues ignored;  // (the fields alone, for their boundary)
        ParseIssuesScope scope(&ignored);
        const MimeEntity head(fields, separator, std::string_view(), std::string_view());
        if (!head.object() || !GMIME_IS_MULTIPART(head.object())) return nullptr;
        const char* b = g_mime_multipart_get_boundary(GMIME_MULTIPART(head.object()));
        if (!b || !*b) return nullptr;
        marker = std::string("--") + b;
    }
    // The boundary lines, up to the closing one: each starts a part.
    std::vector<size_t> lines;
    for (size_t at = body.find(marker); at != std::string_view::npos; at = body.find(marker, at + 1)) {
        if (at > 0 && body[at - 1] != '\n') continue;
        const size_t eol = body.find('\n', at);
        std::string_view rest = body.substr(at + marker.size(), eol == std::string_view::npos ? std::string_view::npos
                                                                                            : eol - at - marker.size());
        if (rest.starts_with("--")) break;
        if (rest.find_first_not_of(" \t\r") != std::string_view::npos) continue;  // no boundary line
        lines.push_back(at);
    }
    if (lines.size() <= kParts) return nullptr;
    std::unique_ptr<PartWindows> windows(new PartWindows(fields, separator, body));
    for (size_t first = 0; first < lines.size(); first += kWindowParts) {
        const size_t next = first + kWindowParts;
        windows->starts_.push_back(first == 0 ? 0 : lines[first]);
        windows->parts_.push_back(std::min(kWindowParts, lines.size() - first));
        if (next >= lines.size()) {
            windows->ends_.push_back(body.size());
            windows->tails_.emplace_back();
            continue;
        }
        // A window ends before the line end of the next one's first boundary line,
        // which it reads closing ("--BOUNDARY--").
        size_t end = lines[next] - 1;
        if (end > 0 && body[end - 1] == '\r') --end;
        windows->ends_.push_back(end);
        // The parser reads the part's end by the boundary line: it is kept as it is,
        // closing.
        const size_t eol = body.find('\n', lines[next]);
        windows->tails_.push_back(std::string(body.substr(end, lines[next] + marker.size() - end)) + "--" +
                                  std::string(body.substr(lines[next] + marker.size(), eol + 1 - lines[next] - marker.size())));
    }
    return windows;
}

std::string_view PartWindows::Bytes(size_t i) const { return body_.substr(starts_[i], ends_[i] - starts_[i]); }

std::unique_ptr<MimeEntity> PartWindows::Parse(size_t i, bool* alike) const {
    ParseIssues issues;
    std::unique_ptr<MimeEntity> window;
    {
        ParseIssuesScope scope(&issues);
        window = std::make_unique<MimeEntity>(fields_, separator_, Bytes(i), tails_[i]);
    }
    GMimeObject* obj = window->object();
    if (alike)
        *alike = issues.reports.empty() && obj && GMIME_IS_MULTIPART(obj) &&
                 size_t(g_mime_multipart_get_count(GMIME_MULTIPART(obj))) == parts_[i];
    return window;
}

std::unique_ptr<MimeEntity> PartWindows::Whole(ParseIssues& issues) const {
    return std::make_unique<MimeEntity>(fields_, separator_, body_, issues);
}

}  // namespace bv::mailstore::mime
