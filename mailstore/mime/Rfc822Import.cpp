// RFC 5322 / MIME message -> MAPI property model: the importer's top level. The
// header is cut here without a parser; the MIME entity goes to GMime, unless the
// message is one text part, which is read directly.
#include "mailstore/mime/Rfc822Import.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/FileNames.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/MimeWalk.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mime {

using namespace bv::mailstore::mapi;

namespace {

// Frees a GByteArray's shell, not the bytes it was given to read.
struct ByteArrayShell {
    void operator()(GByteArray* a) const { g_byte_array_free(a, FALSE); }
};

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

// What a property that held NUL characters is called in a warning.
std::string NulFieldName(uint16_t id) {
    switch (id) {
        case TagId(PR_SUBJECT): case TagId(PR_NORMALIZED_SUBJECT): case TagId(PR_CONVERSATION_TOPIC): case TagId(PR_SUBJECT_PREFIX):
            return "the subject";
        case TagId(PR_INTERNET_MESSAGE_ID): return "the Message-ID";
        case TagId(PR_IN_REPLY_TO_ID): return "In-Reply-To";
        case TagId(PR_INTERNET_REFERENCES): return "References";
        case TagId(PR_TRANSPORT_MESSAGE_HEADERS): return "the header";
        case TagId(PR_BODY): return "the text body";
        default: return "other text";
    }
}

// A text property cannot hold a NUL character (its readers end the text there, each
// at a different one): every NUL is taken out of every string of the message, the
// same way for a body and for a Message-ID. Those that end a string are its
// terminator (as readers take them) and go without a word; `where` says what held
// others, for the warning.
void TakeOutNuls(PropertyBag& bag, std::vector<std::string>& where) {
    auto clean = [&](std::string& s, uint16_t id) {
        if (s.find('\0') == std::string::npos) return;
        while (!s.empty() && s.back() == '\0') s.pop_back();
        if (s.find('\0') == std::string::npos) return;
        s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
        std::string name = NulFieldName(id);
        if (std::find(where.begin(), where.end(), name) == where.end()) where.push_back(std::move(name));
    };
    auto hasNul = [](const std::string& s) { return s.find('\0') != std::string::npos; };
    for (const auto& [id, prop] : bag.All()) {
        // (copied only when there is something to take out)
        const auto* text = std::get_if<std::string>(&prop.value);
        const auto* list = std::get_if<std::vector<std::string>>(&prop.value);
        if (!(text && hasNul(*text)) && !(list && std::any_of(list->begin(), list->end(), hasNul))) continue;
        Property fixed = prop;
        if (auto s = std::get_if<std::string>(&fixed.value)) clean(*s, id);
        if (auto v = std::get_if<std::vector<std::string>>(&fixed.value))
            for (std::string& s : *v) clean(s, id);
        if (fixed.value != prop.value) bag.Set(MakeTag(id, prop.type), std::move(fixed.value));
    }
    for (const auto& [name, prop] : bag.AllNamed()) {
        const std::string* s = std::get_if<std::string>(&prop.value);
        if (!s || s->find('\0') == std::string::npos) continue;
        std::string fixed = *s;
        clean(fixed, 0);
        bag.SetNamed(name, prop.type, std::move(fixed));
    }
}

void TakeOutNuls(mapi::Message& m, std::vector<std::string>& where, int depth = 0) {
    TakeOutNuls(m.props, where);
    for (PropertyBag& r : m.recipients) TakeOutNuls(r, where);
    for (Attachment& a : m.attachments) {
        TakeOutNuls(a.props, where);
        if (a.embedded && depth < 64) TakeOutNuls(*a.embedded, where, depth + 1);
    }
}

// Takes the NULs out of the message's strings; true, with a warning, when any but
// terminators were there: the original is to be attached (`attached`: it is anyway).
bool NulsTakenOut(mapi::Message& out, bool attached) {
    std::vector<std::string> nuls;
    TakeOutNuls(out, nuls);
    if (nuls.empty()) return false;
    std::string fields;
    for (const std::string& f : nuls) fields += (fields.empty() ? "" : ", ") + f;
    out.warnings.push_back("NUL characters taken out of " + fields + " (a text property cannot hold them); " +
                           (attached ? std::string("see the original attached") : std::string("the original is attached as ") + kOriginalMessageName));
    return true;
}

void ImportTop(std::string_view bytes, const MessageTop& top, mapi::Message& out, int depth,
               std::vector<uint8_t> searchKey = {}) {
    GMimeParserOptions* options = ParserOptions();
    std::vector<std::string>& warnings = out.warnings;
    const std::string_view data = top.data;
    const Envelope& envelope = top.envelope;
    const size_t headerLen = top.headerLen, bodyStart = top.bodyStart;

    if (searchKey.empty()) searchKey = mapi::MessageSearchKey(bytes);

    const bool hasHeader = headerLen > 0 && LooksLikeHeader(data);
    if (!data.empty() && !LooksLikeHeader(data) && LooksLikeText(data)) {
        // The first line is no header field: mail readers show such text as the body,
        // from the sender and at the date of the mailbox's "From " line.
        SimpleText text;
        text.raw = headerLen == 0 ? data.substr(bodyStart) : data;
        warnings.push_back("the message has no header; its text is kept as the body");
        FillMessage(out, depth, warnings, HeaderFields{}, Body{nullptr, &text, {}}, std::string_view(), envelope, searchKey);
        if (NulsTakenOut(out, false)) out.attachments.push_back(OriginalMessageAttachment(bytes, int32_t(out.attachments.size())));
        return;
    }
    const std::string_view headerBytes = hasHeader ? data.substr(0, headerLen) : std::string_view();

    const TopHeader& header = top.header;

    const bool hasBody = bodyStart < data.size();
    std::string entity;  // for GMime: the Content-* fields, the blank line, the body

    ParseIssues issues;
    ParseIssuesScope issuesScope(&issues);
    issues.headerLinesDropped = header.dropped;

    // Released in the reverse order: the entity, the parser, the stream, then the
    // array the stream reads (whose bytes stay the entity's).
    std::unique_ptr<GByteArray, ByteArrayShell> array;
    GObjectRef<GMimeStream> stream;
    GObjectRef<GMimeParser> parser;
    GObjectRef<GMimeObject> body;
    std::optional<SimpleText> simple;
    if (!header.unreadable && hasBody)
        simple = SimpleTextBody(header.fields, data.substr(bodyStart));
    if (!header.unreadable && !simple && (hasBody || !header.content.empty())) {
        entity.reserve(header.content.size() + 2 + (hasBody ? data.size() - bodyStart : 0));
        entity = header.content;
        if (bodyStart > headerLen) entity.append(data.substr(headerLen, bodyStart - headerLen));
        else entity += '\n';
        if (hasBody) entity.append(data.substr(bodyStart));
        auto parse = [&] {
            // The memory stream borrows the entity's bytes, which outlive the parse.
            array.reset(g_byte_array_new_take(reinterpret_cast<guint8*>(entity.data()), entity.size()));
            stream.p = g_mime_stream_mem_new_with_byte_array(array.get());
            g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream.p), FALSE);
            parser.p = g_mime_parser_new_with_stream(stream.p);
            g_mime_parser_set_format(parser.p, GMIME_FORMAT_MESSAGE);
            g_mime_parser_set_persist_stream(parser.p, TRUE);
            body.p = g_mime_parser_construct_part(parser.p, options);
        };
        parse();
        // Part headers that lost a blank line are read again the way mail readers
        // read them (rare: only where the parser lost its way or dropped lines).
        using Kind = ParseIssues::Kind;
        for (int round = 0; round < 4 && body.p; ++round) {
            const bool trouble = std::any_of(issues.reports.begin(), issues.reports.end(), [](const ParseIssues::Report& r) {
                return r.kind == Kind::DroppedLine || r.kind == Kind::Truncated || r.kind == Kind::Malformed;
            });
            if (!trouble) break;
            std::vector<std::string> boundaries;
            CollectBoundaries(body.p, boundaries);
            const auto repairs = PartHeaderRepairs(entity, boundaries);
            if (repairs.empty()) break;
            // (released as at the end: the entity's bytes move when it grows)
            g_object_unref(body.p);
            g_object_unref(parser.p);
            g_object_unref(stream.p);
            body.p = nullptr;
            parser.p = nullptr;
            stream.p = nullptr;
            array.reset();
            for (const auto& [at, insert] : repairs) entity.insert(at, insert);
            issues.reports.clear();
            parse();
        }
    }

    bool failed = false;
    std::string failure;
    if (data.empty()) {
        warnings.push_back("the message is empty");
    } else if (header.unreadable) {
        failed = true;
        failure = "the message could not be parsed";
    } else if (!hasHeader) {
        failed = true;
        failure = "the message has no header";
    } else if (!body.p && !simple && hasBody) {
        failed = true;
        failure = "the message body could not be read";
    }

    if (!header.unreadable && !data.empty()) {
        FillMessage(out, depth, warnings, header.fields, Body{body.p, simple ? &*simple : nullptr, entity}, headerBytes, envelope,
                    searchKey);
    } else {
        out.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNMODIFIED);
        out.props.SetBinary(PR_SEARCH_KEY, searchKey);
        out.props.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
        out.props.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
        if (envelope.date) {
            for (uint32_t tag : {PR_CLIENT_SUBMIT_TIME, PR_MESSAGE_DELIVERY_TIME, PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME})
                out.props.SetTime(tag, UnixToFileTime(*envelope.date));
        }
    }
    if (!failed && (issues.droppedLines() > 0 || issues.partsSkipped() || issues.malformed())) {
        failed = true;
        failure = issues.droppedLines() > 0 ? std::to_string(issues.droppedLines()) + " unreadable header line(s) were skipped"
                                          : "the MIME structure is damaged and parts may be missing";
    }
    if (issues.truncated() && !failed) warnings.push_back("the message is truncated (a closing MIME boundary is missing)");
    const bool nuls = NulsTakenOut(out, failed);
    if (failed) warnings.push_back(failure + "; the original is attached as " + kOriginalMessageName);
    if (failed || nuls) out.attachments.push_back(OriginalMessageAttachment(bytes, int32_t(out.attachments.size())));
}

}  // namespace

mapi::Attachment OriginalMessageAttachment(std::string_view bytes, int32_t number) {
    Attachment a;
    a.props.SetInt(PR_ATTACH_NUM, number);
    a.props.SetInt(PR_RENDERING_POSITION, -1);
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    SetAttachNames(a.props, kOriginalMessageName);
    a.props.SetString(PR_ATTACH_MIME_TAG, "message/rfc822");
    a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(bytes.size(), 0x7FFFFFFF)));
    a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(bytes.begin(), bytes.end()));
    return a;
}

void ImportMessageAt(std::string_view bytes, mapi::Message& out, int depth) {
    ImportTop(bytes, ReadMessageTop(bytes), out, depth);
}

void ImportRfc822(std::string_view bytes, mapi::Message& out) { ImportMessageAt(bytes, out, 0); }

void ImportRfc822(std::string_view bytes, const MessageTop& top, mapi::Message& out, std::vector<uint8_t> searchKey) {
    ImportTop(bytes, top, out, 0, std::move(searchKey));
}

void ImportRfc822File(const std::filesystem::path& path, mapi::Message& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw MailStoreError("cannot import " + path.string() + ": the file cannot be opened");
    std::string bytes;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) throw MailStoreError("cannot import " + path.string() + ": the file size cannot be read");
    in.seekg(0, std::ios::beg);
    bytes.resize(size_t(size));
    if (size > 0 && !in.read(bytes.data(), size))
        throw MailStoreError("cannot import " + path.string() + ": read error");
    ImportRfc822(bytes, out);
}

}  // namespace bv::mailstore::mime
