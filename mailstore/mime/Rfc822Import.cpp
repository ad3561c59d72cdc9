// RFC 5322 / MIME message -> MAPI property model, following the MIME-reader
// mapping of [MS-OXCMAIL] 2.2.3 (parsing by GMime 3).
#include "mailstore/mime/Rfc822Import.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/mime/MimeText.h"
#include "mailstore/msg/MsgFormat.h"

namespace bv::mailstore::mime {

using namespace bv::mapi;

namespace {

// A 16-byte search key from the message's bytes: two 64-bit multiply-rotate lanes
// over 16-byte strides, then mixed. Stable and quick; not meant to be cryptographic.
std::vector<uint8_t> MessageSearchKey(std::string_view bytes) {
    constexpr uint64_t kP1 = 0x9E3779B185EBCA87ULL, kP2 = 0xC2B2AE3D27D4EB4FULL;
    auto rotl = [](uint64_t x, int r) { return (x << r) | (x >> (64 - r)); };
    uint64_t a = 0x243F6A8885A308D3ULL ^ bytes.size(), b = 0x13198A2E03707344ULL;
    const char* p = bytes.data();
    size_t n = bytes.size();
    while (n >= 16) {
        uint64_t w1, w2;
        std::memcpy(&w1, p, 8);
        std::memcpy(&w2, p + 8, 8);
        a = rotl(a + w1 * kP2, 31) * kP1;
        b = rotl(b + w2 * kP2, 31) * kP1;
        p += 16;
        n -= 16;
    }
    uint8_t tail[16] = {};
    std::memcpy(tail, p, n);
    uint64_t w1, w2;
    std::memcpy(&w1, tail, 8);
    std::memcpy(&w2, tail + 8, 8);
    a = rotl(a + (w1 ^ n) * kP2, 31) * kP1;
    b = rotl(b + w2 * kP2, 31) * kP1;
    auto mix = [](uint64_t h) {
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ULL;
        return h ^ (h >> 33);
    };
    uint64_t h1 = mix(a ^ rotl(b, 17)), h2 = mix(b ^ rotl(a, 29) ^ kP1);
    std::vector<uint8_t> key(16);
    std::memcpy(key.data(), &h1, 8);
    std::memcpy(key.data() + 8, &h2, 8);
    return key;
}


constexpr int kMaxEmbeddedDepth = 32;   // message/rfc822 inside message/rfc822 ...
constexpr int kMaxMultipartDepth = 200; // nested multiparts walked

// Issues GMime reports while parsing (and while decoding headers lazily), collected
// for the import running on this thread.
struct ParseIssues {
    bool truncated = false;     // a closing boundary is missing
    bool malformed = false;     // GMime lost track of the MIME structure
    int droppedLines = 0;       // header lines GMime could not read and skipped
    bool partsSkipped = false;  // GMime says it skipped parts
};
thread_local ParseIssues* tlIssues = nullptr;

void OnParserWarning(gint64, GMimeParserWarning code, const gchar* item, gpointer) {
    ParseIssues* issues = tlIssues;
    if (!issues) return;
    switch (code) {
    case GMIME_WARN_TRUNCATED_MESSAGE:
        issues->truncated = true;
        break;
    case GMIME_WARN_MALFORMED_MESSAGE:
        issues->malformed = true;
        break;
    case GMIME_CRIT_INVALID_HEADER_NAME:
        // mbox escape lines (">From ...") in front of an attached message carry nothing
        if (item && (std::strncmp(item, ">From ", 6) == 0 || std::strncmp(item, "From ", 5) == 0)) break;
        ++issues->droppedLines;
        break;
    case GMIME_CRIT_NESTING_OVERFLOW:
    case GMIME_CRIT_PART_WITHOUT_HEADERS_OR_CONTENT:
        issues->partsSkipped = true;
        break;
    default:
        break;
    }
}

// GLib sets up a GObject class the first time an object of it is made. That is
// thread-safe, but done here, once, before several threads import at the same time,
// the classes of every kind of object an import makes exist from the start.
void WarmUpTypes(GMimeParserOptions* options) {
    if (InternetAddressList* list = internet_address_list_parse(options, "A <a@example.com>, group: b@example.com;"))
        g_object_unref(list);
    static const char kSample[] =
        "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; charset=utf-8\n\nx\n"
        "--b\nContent-Type: message/rfc822\n\nFrom: a@example.com\nSubject: s\n\ny\n"
        "--b\nContent-Type: application/octet-stream; name=a.bin\nContent-Disposition: attachment; filename=a.bin\n"
        "Content-Transfer-Encoding: base64\n\neA==\n--b--\n";
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(kSample, sizeof kSample - 1);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    if (GMimeObject* obj = g_mime_parser_construct_part(parser, options)) g_object_unref(obj);
    g_object_unref(parser);
    g_object_unref(stream);
    if (GMimeContentType* ct = g_mime_content_type_parse(options, "text/plain; charset=utf-8")) g_object_unref(ct);
}

GMimeParserOptions* ParserOptions() {
    static GMimeParserOptions* options = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        g_mime_init();
        options = g_mime_parser_options_new();
        static const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(options, fallback);
        g_mime_parser_options_set_rfc2047_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_address_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_allow_addresses_without_domain(options, TRUE);
        g_mime_parser_options_set_warning_callback(options, OnParserWarning, nullptr);
        WarmUpTypes(options);
    });
    return options;
}

template <class T>
struct GUnref {
    T* p = nullptr;
    explicit GUnref(T* x) : p(x) {}
    ~GUnref() {
        if (p) g_object_unref(p);
    }
    GUnref(const GUnref&) = delete;
    GUnref& operator=(const GUnref&) = delete;
};

struct GFree {
    char* p;
    explicit GFree(char* x) : p(x) {}
    ~GFree() { g_free(p); }
    std::string str() const { return p ? std::string(p) : std::string(); }
};

std::string Lower(std::string s) {
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string ValidUtf8(const char* s) {
    if (!s) return std::string();
    return BytesToUtf8(s);
}


// A date header value -> Unix seconds; nullopt when missing or unreadable.
std::optional<int64_t> ParseDate(const std::string& value) {
    if (value.empty()) return std::nullopt;
    // (The quick reading takes only years 1969 to 9999, within the limits below.)
    if (auto t = ParseRfc5322DateFast(value)) return *t == 0 ? std::nullopt : t;
    GDateTime* dt = g_mime_utils_header_decode_date(value.c_str());
    if (!dt) return std::nullopt;
    int64_t t = g_date_time_to_unix(dt);
    int year = g_date_time_get_year(dt);
    g_date_time_unref(dt);
    if (year < 1601 || year > 9999) return std::nullopt;
    // GMime answers "0" (1970-01-01) for values it cannot read at all.
    if (t == 0) return std::nullopt;
    return t;
}

// A message's header fields: names (without the blanks before the colon) and raw
// values (folding kept), in order.
struct HeaderField {
    std::string_view name;
    std::string_view raw;
};
using HeaderFields = std::vector<HeaderField>;

bool NameIs(std::string_view name, std::string_view wanted) {
    if (name.size() != wanted.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != std::tolower(static_cast<unsigned char>(wanted[i])))
            return false;
    return true;
}

// The fields of a message GMime parsed (an attached message); valid while it lives.
HeaderFields FieldsOf(GMimeObject* obj) {
    HeaderFields out;
    GMimeHeaderList* list = g_mime_object_get_header_list(obj);
    if (!list) return out;
    int n = g_mime_header_list_get_count(list);
    out.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        GMimeHeader* h = g_mime_header_list_get_header_at(list, i);
        const char* name = g_mime_header_get_name(h);
        const char* raw = g_mime_header_get_raw_value(h);
        if (name) out.push_back({name, raw ? std::string_view(raw) : std::string_view()});
    }
    return out;
}

// Raw header value (first occurrence), unfolded; empty when absent.
std::string RawHeader(const HeaderFields& fields, std::string_view name) {
    for (const HeaderField& f : fields)
        if (NameIs(f.name, name)) return BytesToUtf8(UnfoldHeader(f.raw));
    return std::string();
}

bool HasHeader(const HeaderFields& fields, std::string_view name) {
    for (const HeaderField& f : fields)
        if (NameIs(f.name, name)) return true;
    return false;
}

// Mailboxes of an address list, groups expanded.
struct Mailbox {
    std::string name;
    std::string address;
};

// A mailbox as a mail reader keeps it: quotes some mailers leave around names go.
void AddMailbox(Mailbox m, std::vector<Mailbox>& out) {
    if (m.name.size() >= 2 && m.name.front() == '\'' && m.name.back() == '\'') m.name = m.name.substr(1, m.name.size() - 2);
    if (m.name.empty() && m.address.empty()) return;
    out.push_back(std::move(m));
}

void CollectMailboxes(InternetAddressList* list, std::vector<Mailbox>& out, int depth = 0) {
    if (!list || depth > 8) return;
    int n = internet_address_list_length(list);
    for (int i = 0; i < n; ++i) {
        InternetAddress* ia = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(ia)) {
            CollectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), out, depth + 1);
        } else if (INTERNET_ADDRESS_IS_MAILBOX(ia)) {
            Mailbox m;
            m.name = ValidUtf8(internet_address_get_name(ia));
            m.address = ValidUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia)));
            AddMailbox(std::move(m), out);
        }
    }
}

// The mailboxes of every field of that name, in order (as a mail reader joins repeated
// To: fields).
std::vector<Mailbox> AddressesOf(const HeaderFields& fields, std::string_view name, GMimeParserOptions* options) {
    std::vector<Mailbox> out;
    for (const HeaderField& f : fields) {
        if (!NameIs(f.name, name)) continue;
        // Most fields hold one plain mailbox on one line, which needs no parser.
        const bool folded = f.raw.find('\n') != f.raw.rfind('\n');
        if (Mailbox m; !folded && ParseSimpleMailbox(f.raw, m.name, m.address)) {
            AddMailbox(std::move(m), out);
            continue;
        }
        std::string raw(f.raw);
        InternetAddressList* list = internet_address_list_parse(options, raw.c_str());
        if (!list) continue;
        CollectMailboxes(list, out);
        g_object_unref(list);
    }
    return out;
}

// The subject as a mail reader shows it: the last Subject field, unfolded, encoded
// words decoded.
std::string SubjectOf(const HeaderFields& fields, GMimeParserOptions* options) {
    const HeaderField* last = nullptr;
    for (const HeaderField& f : fields)
        if (NameIs(f.name, "Subject")) last = &f;
    if (!last) return std::string();
    std::string raw(last->raw);
    GFree unfolded(g_mime_utils_header_unfold(raw.c_str()));
    if (!unfolded.p) return std::string();
    GFree decoded(g_mime_utils_header_decode_text(options, unfolded.p));
    return ValidUtf8(decoded.p);
}

std::string DisplayNameOf(const Mailbox& m) { return m.name.empty() ? m.address : m.name; }

void SetAddressGroup(PropertyBag& p, const Mailbox& m, uint32_t nameTag, uint32_t addrTypeTag, uint32_t emailTag,
                     uint32_t entryIdTag, uint32_t searchKeyTag, uint32_t smtpTag) {
    p.SetString(nameTag, DisplayNameOf(m));
    p.SetString(addrTypeTag, "SMTP");
    p.SetString(emailTag, m.address);
    p.SetBinary(entryIdTag, OneOffEntryId(DisplayNameOf(m), m.address));
    p.SetBinary(searchKeyTag, SmtpSearchKey(m.address));
    if (!m.address.empty()) p.SetString(smtpTag, m.address);
}

// ---------------------------------------------------------------- part content

// Undoes a Content-Transfer-Encoding. Returns false when the encoded data was damaged
// (invalid base64 and the like); what could be decoded is in `out` all the same.
bool IsTransferEncoded(GMimeContentEncoding enc) {
    return enc == GMIME_CONTENT_ENCODING_BASE64 || enc == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
           enc == GMIME_CONTENT_ENCODING_UUENCODE;
}

bool DecodeContent(std::string_view raw, GMimeContentEncoding enc, Binary& out, std::string& problem) {
    out.clear();
    if (!IsTransferEncoded(enc)) {
        out.assign(raw.begin(), raw.end());
        return true;
    }
    size_t invalid = 0, significant = 0;
    if (enc == GMIME_CONTENT_ENCODING_BASE64) {
        for (char ch : raw) {
            unsigned char c = static_cast<unsigned char>(ch);
            if (std::isalnum(c) || c == '+' || c == '/' || c == '=') ++significant;
            else if (c != '\r' && c != '\n' && c != ' ' && c != '\t') ++invalid;
        }
    }
    GMimeEncoding state;
    g_mime_encoding_init_decode(&state, enc);
    out.resize(g_mime_encoding_outlen(&state, raw.size()) + 16);
    size_t n = g_mime_encoding_step(&state, raw.data(), raw.size(), reinterpret_cast<char*>(out.data()));
    n += g_mime_encoding_flush(&state, "", 0, reinterpret_cast<char*>(out.data()) + n);
    out.resize(n);
    if (enc == GMIME_CONTENT_ENCODING_BASE64) {
        // (concatenated base64 blocks, data after padding, are common and decode fine)
        if (invalid > 0) {
            problem = "invalid characters in base64 data";
            return false;
        }
        if (significant % 4 != 0) {
            problem = "base64 data is truncated";
            return false;
        }
    }
    return true;
}

// A part's content as stored (still transfer-encoded).
std::string RawContent(GMimePart* part) {
    std::string raw;
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) return raw;
    GMimeStream* stream = g_mime_data_wrapper_get_stream(wrapper);
    if (!stream) return raw;
    g_mime_stream_reset(stream);
    gint64 len = g_mime_stream_length(stream);
    if (len > 0) raw.reserve(size_t(len));
    char buf[16384];
    for (;;) {
        ssize_t n = g_mime_stream_read(stream, buf, sizeof buf);
        if (n <= 0) break;
        raw.append(buf, size_t(n));
    }
    return raw;
}

bool DecodePartContent(GMimePart* part, Binary& out, std::string& problem) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    GMimeContentEncoding enc = wrapper ? g_mime_data_wrapper_get_encoding(wrapper) : GMIME_CONTENT_ENCODING_DEFAULT;
    return DecodeContent(RawContent(part), enc, out, problem);
}

std::string MimeTypeOf(GMimeObject* obj) {
    // A Content-Type without "type/subtype" is read as text/plain (RFC 2045 5.2).
    if (const char* raw = g_mime_object_get_header(obj, "Content-Type")) {
        std::string v = raw;
        std::string main = v.substr(0, v.find(';'));
        if (main.find('/') == std::string::npos) return "text/plain";
    }
    GMimeContentType* ct = g_mime_object_get_content_type(obj);
    if (!ct) return "application/octet-stream";
    GFree s(g_mime_content_type_get_mime_type(ct));
    return Lower(s.str());
}

std::string DispositionOf(GMimeObject* obj) {
    const char* d = g_mime_object_get_disposition(obj);
    return d ? Lower(d) : std::string();
}

std::string StripAngles(std::string s) {
    while (!s.empty() && (s.front() == '<' || s.front() == ' ')) s.erase(0, 1);
    while (!s.empty() && (s.back() == '>' || s.back() == ' ')) s.pop_back();
    return s;
}

void ImportAt(std::string_view bytes, Message& out, int depth);

// ---------------------------------------------------------------- the walk

struct Leaf {
    GMimeObject* obj = nullptr;
    bool inRelated = false;
    GMimeObject* alternative = nullptr;  // nearest multipart/alternative ancestor
    size_t order = 0;
};

// A message body of one text part, read without the MIME parser: the content as
// stored, how it is transfer-encoded, its charset.
struct SimpleText {
    bool html = false;
    std::string charset;
    GMimeContentEncoding encoding = GMIME_CONTENT_ENCODING_DEFAULT;
    std::string_view raw;
};

// What a message's body is: a MIME entity GMime parsed, or one text part read here
// (or neither, for a message without a body).
struct Body {
    GMimeObject* mime = nullptr;
    const SimpleText* text = nullptr;
};

class Importer {
public:
    Importer(Message& out, int depth, std::vector<std::string>& warnings) : out_(out), depth_(depth), warnings_(warnings) {}

    // Fills out_ from a message's header fields and its parsed MIME entity (nullptr
    // when it has no body). headerText: the header block as text.
    void Fill(const HeaderFields& fields, Body body, const std::string& headerText,
              std::optional<int64_t> envelopeDate, const std::vector<uint8_t>& searchKey,
              const std::string& envelopeSender = std::string());

private:
    void Walk(GMimeObject* obj, bool inRelated, GMimeObject* alternative, int nest);
    void AddPartAttachment(GMimePart* part, bool inRelated, const std::string& html);
    void AddMessageAttachment(GMimeMessagePart* mp);
    void AddRawAttachment(const std::string& name, const std::string& mimeType, std::string data);
    Attachment& NewAttachment();
    std::string DecodeText(GMimeObject* obj, const char* what, bool html = false);
    std::string DecodeText(std::string_view raw, GMimeContentEncoding enc, std::string charset, const char* what, bool html);
    void Warn(std::string w) { warnings_.push_back(std::move(w)); }
    void FillSimpleBody(const SimpleText& t);
    void FillBodiesAndAttachments();

    Message& out_;
    int depth_;
    std::vector<std::string>& warnings_;
    std::vector<Leaf> leaves_;
    std::vector<std::pair<std::string, std::string>> orphanTexts_;  // {mime type, content}
    size_t order_ = 0;
    int unnamed_ = 0;
};

Attachment& Importer::NewAttachment() {
    out_.attachments.emplace_back();
    Attachment& a = out_.attachments.back();
    a.props.SetInt(PR_ATTACH_NUM, int32_t(out_.attachments.size() - 1));
    a.props.SetInt(PR_RENDERING_POSITION, -1);
    return a;
}

// At most `n` bytes of UTF-8 text, ending on a whole character.
static std::string Utf8Prefix(const std::string& s, size_t n) {
    if (s.size() <= n) return s;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

void SetAttachNames(PropertyBag& p, const std::string& longName) {
    p.SetString(PR_ATTACH_LONG_FILENAME, longName);
    p.SetString(PR_ATTACH_FILENAME, ShortFileName(longName));
    p.SetString(PR_DISPLAY_NAME, longName);
    std::string ext = FileExtension(longName);
    if (!ext.empty()) p.SetString(PR_ATTACH_EXTENSION, ext);
}

void Importer::AddRawAttachment(const std::string& name, const std::string& mimeType, std::string data) {
    Attachment& a = NewAttachment();
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    SetAttachNames(a.props, name);
    a.props.SetString(PR_ATTACH_MIME_TAG, mimeType);
    a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(data.size(), 0x7FFFFFFF)));
    a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(data.begin(), data.end()));
}

std::string Importer::DecodeText(GMimeObject* obj, const char* what, bool html) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(GMIME_PART(obj));
    GMimeContentEncoding enc = wrapper ? g_mime_data_wrapper_get_encoding(wrapper) : GMIME_CONTENT_ENCODING_DEFAULT;
    const char* param = g_mime_object_get_content_type_parameter(obj, "charset");
    return DecodeText(RawContent(GMIME_PART(obj)), enc, param ? param : std::string(), what, html);
}

std::string Importer::DecodeText(std::string_view raw, GMimeContentEncoding enc, std::string cs, const char* what,
                                 bool html) {
    // Text sent as it is needs no copy before its charset is read.
    Binary bytes;
    std::string_view view = raw;
    if (IsTransferEncoded(enc)) {
        std::string problem;
        if (!DecodeContent(raw, enc, bytes, problem)) Warn(std::string(what) + ": " + problem);
        view = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    // HTML without a MIME charset: the document's own <meta> declaration decides
    if (cs.empty() && html) cs = HtmlMetaCharset(view);
    bool unknown = false, invalid = false;
    std::string text = ToUtf8(view, cs, &unknown, &invalid);
    if (unknown) Warn(std::string(what) + ": unknown charset \"" + cs + "\", read as UTF-8/windows-1252");
    else if (invalid) Warn(std::string(what) + ": bytes not valid in charset \"" + cs + "\" replaced");
    return text;
}

void Importer::Walk(GMimeObject* obj, bool inRelated, GMimeObject* alternative, int nest) {
    if (!obj) return;
    if (nest > kMaxMultipartDepth) {
        Warn("MIME structure nested too deeply; inner parts skipped");
        return;
    }
    if (GMIME_IS_MULTIPART(obj)) {
        GMimeMultipart* mp = GMIME_MULTIPART(obj);
        std::string type = MimeTypeOf(obj);
        bool related = type == "multipart/related";
        GMimeObject* alt = type == "multipart/alternative" ? obj : alternative;
        int n = g_mime_multipart_get_count(mp);
        if (n == 0) {
            // No parts (a missing or unmatched boundary): keep the content as a file.
            const char* prologue = g_mime_multipart_get_prologue(mp);
            if (prologue && *prologue && std::string_view(prologue).find_first_not_of(" \t\r\n") != std::string_view::npos)
                orphanTexts_.push_back({type, prologue});
            return;
        }
        for (int i = 0; i < n; ++i) Walk(g_mime_multipart_get_part(mp, i), related || inRelated, alt, nest + 1);
        return;
    }
    Leaf leaf;
    leaf.obj = obj;
    leaf.inRelated = inRelated;
    leaf.alternative = alternative;
    leaf.order = order_++;
    leaves_.push_back(leaf);
}

void Importer::AddMessageAttachment(GMimeMessagePart* mp) {
    GMimeMessage* inner = g_mime_message_part_get_message(mp);
    GMimeObject* obj = GMIME_OBJECT(mp);
    const char* fname = nullptr;
    GMimeContentDisposition* disp = g_mime_object_get_content_disposition(obj);
    if (disp) fname = g_mime_content_disposition_get_parameter(disp, "filename");
    if (!fname) fname = g_mime_object_get_content_type_parameter(obj, "name");

    if (!inner) {
        // An empty message/rfc822 part: keep it as an (empty) file.
        AddRawAttachment(fname ? SanitizeFileName(ValidUtf8(fname)) : "message.eml", "message/rfc822", std::string());
        return;
    }
    if (depth_ + 1 > kMaxEmbeddedDepth) {
        GFree s(g_mime_object_to_string(GMIME_OBJECT(inner), nullptr));
        Warn("attached message nested too deeply; kept as an .eml file");
        AddRawAttachment(fname ? SanitizeFileName(ValidUtf8(fname)) : "message.eml", "message/rfc822", s.str());
        return;
    }
    Attachment& a = NewAttachment();
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
    a.props.SetString(PR_ATTACH_MIME_TAG, "message/rfc822");
    a.embedded = std::make_unique<Message>();

    GFree headers(g_mime_object_get_headers(GMIME_OBJECT(inner), nullptr));
    std::string headerText = BytesToUtf8(headers.str());
    // A stable search key for the inner message: its headers plus its place.
    GChecksum* sum = g_checksum_new(G_CHECKSUM_MD5);
    g_checksum_update(sum, reinterpret_cast<const guchar*>(headerText.data()), gssize(headerText.size()));
    std::string place = std::to_string(depth_) + "/" + std::to_string(out_.attachments.size());
    g_checksum_update(sum, reinterpret_cast<const guchar*>(place.data()), gssize(place.size()));
    std::vector<uint8_t> key(16);
    gsize keyLen = 16;
    g_checksum_get_digest(sum, key.data(), &keyLen);
    g_checksum_free(sum);

    std::vector<std::string> innerWarnings;
    Importer sub(*a.embedded, depth_ + 1, innerWarnings);
    sub.Fill(FieldsOf(GMIME_OBJECT(inner)), Body{g_mime_message_get_mime_part(inner), nullptr}, headerText, std::nullopt,
             key);
    for (auto& w : innerWarnings) Warn("attached message: " + w);

    std::string name;
    if (fname) name = SanitizeFileName(ValidUtf8(fname));
    if (name.empty()) {
        std::string subject = a.embedded->props.GetString(PR_SUBJECT).value_or("");
        name = SanitizeFileName(subject);
        if (name.size() > 200) name = SanitizeFileName(Utf8Prefix(name, 200));
        if (name.empty()) name = "message";
        name += ".eml";
    }
    // The display name is what Outlook shows for an attached item: its subject.
    SetAttachNames(a.props, name);
    if (auto subject = a.embedded->props.GetString(PR_SUBJECT); subject && !subject->empty())
        a.props.SetString(PR_DISPLAY_NAME, *subject);
}

void Importer::AddPartAttachment(GMimePart* part, bool inRelated, const std::string& html) {
    GMimeObject* obj = GMIME_OBJECT(part);
    std::string mimeType = MimeTypeOf(obj);
    Binary data;
    std::string problem;
    const char* rawName = g_mime_part_get_filename(part);
    std::string name = rawName ? SanitizeFileName(ValidUtf8(rawName)) : std::string();
    if (!DecodePartContent(part, data, problem)) Warn("attachment " + (name.empty() ? mimeType : "\"" + name + "\"") + ": " + problem);
    if ((mimeType == "message/rfc822" || mimeType == "message/global") && depth_ + 1 <= kMaxEmbeddedDepth && !data.empty()) {
        // A transfer-encoded attached message (base64, quoted-printable): import the decoded bytes.
        Attachment& a = NewAttachment();
        a.props.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
        a.props.SetString(PR_ATTACH_MIME_TAG, "message/rfc822");
        a.embedded = std::make_unique<Message>();
        ImportAt(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), *a.embedded, depth_ + 1);
        for (auto& w : a.embedded->warnings) Warn("attached message: " + w);
        a.embedded->warnings.clear();
        std::string subject = a.embedded->props.GetString(PR_SUBJECT).value_or("");
        if (name.empty()) name = SanitizeFileName(Utf8Prefix(subject, 200));
        if (name.empty()) name = "message";
        if (FileExtension(name).empty()) name += ".eml";
        SetAttachNames(a.props, name);
        if (!subject.empty()) a.props.SetString(PR_DISPLAY_NAME, subject);
        return;
    }
    if (name.empty()) {
        ++unnamed_;
        name = "attachment-" + std::to_string(unnamed_) + ExtensionForMimeType(mimeType);
    }
    Attachment& a = NewAttachment();
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    SetAttachNames(a.props, name);
    a.props.SetString(PR_ATTACH_MIME_TAG, mimeType);
    std::string cid = StripAngles(ValidUtf8(g_mime_object_get_content_id(obj)));
    std::string location = ValidUtf8(g_mime_part_get_content_location(part));
    if (!cid.empty()) a.props.SetString(PR_ATTACH_CONTENT_ID, cid);
    if (!location.empty()) a.props.SetString(PR_ATTACH_CONTENT_LOCATION, location);
    a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(data.size(), 0x7FFFFFFF)));
    a.props.SetBinary(PR_ATTACH_DATA_BIN, std::move(data));

    // Inline images ([MS-OXCMAIL] 2.2.3.4.1.4.1): referenced by the HTML body, or
    // shown inline inside multipart/related.
    if (!html.empty()) {
        const std::string disposition = DispositionOf(obj);
        bool referenced = (!cid.empty() && html.find("cid:" + cid) != std::string::npos) ||
                          (!location.empty() && html.find(location) != std::string::npos);
        bool inlineRelated = inRelated && disposition != "attachment" && (!cid.empty() || !location.empty());
        if (referenced || inlineRelated) {
            a.props.SetInt(PR_ATTACH_FLAGS, 4);  // ATT_MHTML_REF: rendered in the body
            a.props.SetBool(PR_ATTACHMENT_HIDDEN, true);
        }
    }
}

void Importer::Fill(const HeaderFields& fields, Body body, const std::string& headerText,
                    std::optional<int64_t> envelopeDate, const std::vector<uint8_t>& searchKey,
                    const std::string& envelopeSender) {
    PropertyBag& p = out_.props;
    GMimeParserOptions* options = ParserOptions();
    p.SetString(PR_MESSAGE_CLASS, "IPM.Note");

    // Subject
    std::string subject = SubjectOf(fields, options);
    for (auto& c : subject)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    if (HasHeader(fields, "Subject") || !subject.empty()) {
        auto [prefix, normalized] = msg::SplitSubjectPrefix(subject);
        p.SetString(PR_SUBJECT, subject);
        p.SetString(PR_SUBJECT_PREFIX, prefix);
        p.SetString(PR_NORMALIZED_SUBJECT, normalized);
        p.SetString(PR_CONVERSATION_TOPIC, normalized);
    }

    // Originator
    std::vector<Mailbox> from = AddressesOf(fields, "From", options);
    std::vector<Mailbox> sender = AddressesOf(fields, "Sender", options);
    if (from.empty() && sender.empty() && !envelopeSender.empty()) from.push_back(Mailbox{std::string(), envelopeSender});
    if (sender.empty()) sender = from;
    if (from.empty()) from = sender;
    if (!from.empty())
        SetAddressGroup(p, from.front(), PR_SENT_REPRESENTING_NAME, PR_SENT_REPRESENTING_ADDRTYPE,
                        PR_SENT_REPRESENTING_EMAIL_ADDRESS, PR_SENT_REPRESENTING_ENTRYID, PR_SENT_REPRESENTING_SEARCH_KEY,
                        PR_SENT_REPRESENTING_SMTP_ADDRESS);
    if (!sender.empty())
        SetAddressGroup(p, sender.front(), PR_SENDER_NAME, PR_SENDER_ADDRTYPE, PR_SENDER_EMAIL_ADDRESS, PR_SENDER_ENTRYID,
                        PR_SENDER_SEARCH_KEY, PR_SENDER_SMTP_ADDRESS);

    // Recipients
    const std::pair<const char*, int32_t> kinds[] = {{"To", MAPI_TO}, {"Cc", MAPI_CC}, {"Bcc", MAPI_BCC}};
    std::string display[3];
    for (int k = 0; k < 3; ++k) {
        std::vector<Mailbox> list = AddressesOf(fields, kinds[k].first, options);
        for (const Mailbox& m : list) {
            PropertyBag r;
            r.SetInt(PR_RECIPIENT_TYPE, kinds[k].second);
            r.SetString(PR_DISPLAY_NAME, DisplayNameOf(m));
            r.SetString(PR_ADDRTYPE, "SMTP");
            r.SetString(PR_EMAIL_ADDRESS, m.address);
            if (!m.address.empty()) r.SetString(PR_SMTP_ADDRESS, m.address);
            r.SetBinary(PR_ENTRYID, OneOffEntryId(DisplayNameOf(m), m.address));
            r.SetBinary(PR_SEARCH_KEY, SmtpSearchKey(m.address));
            r.SetInt(PR_OBJECT_TYPE, 6);  // MAPI_MAILUSER
            r.SetInt(PR_DISPLAY_TYPE, 0); // DT_MAILUSER
            r.SetInt(PR_ROWID, int32_t(out_.recipients.size()));
            r.SetBool(PR_RESPONSIBILITY, false);
            r.SetBool(PR_SEND_RICH_INFO, false);
            out_.recipients.push_back(std::move(r));
            if (!display[k].empty()) display[k] += "; ";
            display[k] += DisplayNameOf(m);
        }
    }
    p.SetString(PR_DISPLAY_TO, display[0]);
    p.SetString(PR_DISPLAY_CC, display[1]);
    p.SetString(PR_DISPLAY_BCC, display[2]);

    // Reply-To ([MS-OXCMAIL] 2.2.3.1.6): names, and the one-off entry IDs as a
    // FLATENTRYLIST ([MS-OXCDATA] 2.3.3: count, size, then each entry's size, bytes,
    // padding to 4).
    {
        std::vector<Mailbox> replyTo = AddressesOf(fields, "Reply-To", options);
        if (!replyTo.empty()) {
            std::string names;
            Binary entries;
            auto put32 = [](Binary& b, uint32_t v) {
                for (int k = 0; k < 4; ++k) b.push_back(uint8_t(v >> (8 * k)));
            };
            for (const Mailbox& mb : replyTo) {
                if (!names.empty()) names += "; ";
                names += DisplayNameOf(mb);
                std::vector<uint8_t> id = OneOffEntryId(DisplayNameOf(mb), mb.address);
                put32(entries, uint32_t(id.size()));
                entries.insert(entries.end(), id.begin(), id.end());
                while (entries.size() % 4) entries.push_back(0);
            }
            Binary list;
            put32(list, uint32_t(replyTo.size()));
            put32(list, uint32_t(entries.size()));
            list.insert(list.end(), entries.begin(), entries.end());
            p.SetString(PR_REPLY_RECIPIENT_NAMES, names);
            p.SetBinary(PR_REPLY_RECIPIENT_ENTRIES, std::move(list));
        }
    }

    // Times
    std::optional<int64_t> date = ParseDate(RawHeader(fields, "Date"));
    std::optional<int64_t> received;
    {
        std::string rec = RawHeader(fields, "Received");  // the first one is the topmost (last hop)
        size_t semi = rec.rfind(';');
        if (semi != std::string::npos) received = ParseDate(UnfoldHeader(rec.substr(semi + 1)));
    }
    std::optional<int64_t> submit = date ? date : envelopeDate ? envelopeDate : received;
    std::optional<int64_t> delivery = received ? received : submit;
    if (submit) p.SetTime(PR_CLIENT_SUBMIT_TIME, UnixToFileTime(*submit));
    if (delivery) {
        p.SetTime(PR_MESSAGE_DELIVERY_TIME, UnixToFileTime(*delivery));
        p.SetTime(PR_CREATION_TIME, UnixToFileTime(*delivery));
        p.SetTime(PR_LAST_MODIFICATION_TIME, UnixToFileTime(*delivery));
    }

    // Identification and threading
    if (auto v = RawHeader(fields, "Message-ID"); !v.empty()) p.SetString(PR_INTERNET_MESSAGE_ID, v);
    if (auto v = RawHeader(fields, "In-Reply-To"); !v.empty()) p.SetString(PR_IN_REPLY_TO_ID, v);
    if (auto v = RawHeader(fields, "References"); !v.empty()) p.SetString(PR_INTERNET_REFERENCES, v);
    if (!headerText.empty()) p.SetString(PR_TRANSPORT_MESSAGE_HEADERS, ToCrLf(headerText));

    // Importance, priority, sensitivity
    {
        std::string importance = Lower(RawHeader(fields, "Importance"));
        std::string xprio = RawHeader(fields, "X-Priority");
        std::string prio = Lower(RawHeader(fields, "Priority"));
        std::string msPrio = Lower(RawHeader(fields, "X-MSMail-Priority"));
        int xp = xprio.empty() ? 0 : std::atoi(xprio.c_str());
        if (importance.rfind("high", 0) == 0) p.SetInt(PR_IMPORTANCE, 2);
        else if (importance.rfind("low", 0) == 0) p.SetInt(PR_IMPORTANCE, 0);
        else if (importance.rfind("normal", 0) == 0) p.SetInt(PR_IMPORTANCE, 1);
        else if (xp >= 1 && xp <= 5) p.SetInt(PR_IMPORTANCE, xp <= 2 ? 2 : xp == 3 ? 1 : 0);
        else if (msPrio.rfind("high", 0) == 0) p.SetInt(PR_IMPORTANCE, 2);
        else if (msPrio.rfind("low", 0) == 0) p.SetInt(PR_IMPORTANCE, 0);
        if (prio.rfind("urgent", 0) == 0) p.SetInt(PR_PRIORITY, 1);
        else if (prio.rfind("non-urgent", 0) == 0) p.SetInt(PR_PRIORITY, -1);
        else if (prio.rfind("normal", 0) == 0) p.SetInt(PR_PRIORITY, 0);
        else if (xp >= 1 && xp <= 5) p.SetInt(PR_PRIORITY, xp <= 2 ? 1 : xp == 3 ? 0 : -1);
        std::string sens = Lower(RawHeader(fields, "Sensitivity"));
        if (sens == "personal") p.SetInt(PR_SENSITIVITY, 1);
        else if (sens == "private") p.SetInt(PR_SENSITIVITY, 2);
        else if (sens == "company-confidential") p.SetInt(PR_SENSITIVITY, 3);
        else if (sens == "normal") p.SetInt(PR_SENSITIVITY, 0);
    }

    // Bodies and attachments
    if (body.text) {
        FillSimpleBody(*body.text);
    } else {
        Walk(body.mime, false, nullptr, 0);
        FillBodiesAndAttachments();
    }

    // Flags and keys
    int32_t flags = MSGFLAG_READ | MSGFLAG_UNMODIFIED;
    if (!out_.attachments.empty()) flags |= MSGFLAG_HASATTACH;
    p.SetInt(PR_MESSAGE_FLAGS, flags);
    p.SetInt(PR_MESSAGE_STATUS, 0);
    if (!searchKey.empty()) p.SetBinary(PR_SEARCH_KEY, searchKey);
}

void Importer::FillSimpleBody(const SimpleText& t) {
    PropertyBag& p = out_.props;
    if (t.html) {
        std::string htmlText = DecodeText(t.raw, t.encoding, t.charset, "HTML body", true);
        std::string htmlUtf8 = DeclareHtmlUtf8(htmlText);
        p.SetBinary(PR_HTML, Binary(htmlUtf8.begin(), htmlUtf8.end()));
        p.SetString(PR_BODY, ToCrLf(HtmlToText(htmlText)));
    } else {
        p.SetString(PR_BODY, ToCrLf(DecodeText(t.raw, t.encoding, t.charset, "text body", false)));
    }
    p.SetInt(PR_NATIVE_BODY, t.html ? 3 : 1);
    p.SetInt(PR_INTERNET_CPID, 65001);
    p.SetInt(PR_MESSAGE_CODEPAGE, 65001);
}

void Importer::FillBodiesAndAttachments() {
    PropertyBag& p = out_.props;
    const Leaf* plain = nullptr;
    const Leaf* html = nullptr;
    for (const Leaf& leaf : leaves_) {
        if (!GMIME_IS_PART(leaf.obj) || GMIME_IS_MESSAGE_PART(leaf.obj)) continue;
        std::string type = MimeTypeOf(leaf.obj);
        if (type != "text/plain" && type != "text/html") continue;
        std::string disposition = DispositionOf(leaf.obj);
        if (disposition == "attachment") continue;
        // An inline text part with a file name after the body is an attachment.
        const char* fname = g_mime_part_get_filename(GMIME_PART(leaf.obj));
        if (fname && *fname && disposition == "inline" && (plain || html)) continue;
        if (type == "text/plain" && !plain) plain = &leaf;
        if (type == "text/html" && !html) html = &leaf;
    }
    // A text/plain part that follows the HTML body outside its alternative (a list
    // footer, say) is not the plain version of the body.
    if (plain && html && plain->order > html->order && plain->alternative != html->alternative) plain = nullptr;

    std::string htmlText;
    if (html) {
        htmlText = DecodeText(html->obj, "HTML body", true);
        // The bytes are UTF-8 now: the document must not claim another charset.
        std::string htmlUtf8 = DeclareHtmlUtf8(htmlText);
        p.SetBinary(PR_HTML, Binary(htmlUtf8.begin(), htmlUtf8.end()));
    }
    if (plain) {
        p.SetString(PR_BODY, ToCrLf(DecodeText(plain->obj, "text body")));
    } else if (html) {
        p.SetString(PR_BODY, ToCrLf(HtmlToText(htmlText)));
    }
    p.SetInt(PR_NATIVE_BODY, html && !plain ? 3 : html ? 3 : 1);
    p.SetInt(PR_INTERNET_CPID, 65001);
    p.SetInt(PR_MESSAGE_CODEPAGE, 65001);

    for (const Leaf& leaf : leaves_) {
        if ((plain && leaf.obj == plain->obj) || (html && leaf.obj == html->obj)) continue;
        if (GMIME_IS_MESSAGE_PART(leaf.obj)) {
            AddMessageAttachment(GMIME_MESSAGE_PART(leaf.obj));
        } else if (GMIME_IS_PART(leaf.obj)) {
            AddPartAttachment(GMIME_PART(leaf.obj), leaf.inRelated, htmlText);
        }
    }

    for (auto& [type, content] : orphanTexts_) {
        ++unnamed_;
        AddRawAttachment("attachment-" + std::to_string(unnamed_) + ".txt", type, content);
    }
}

// Length of the header block at the start of `data` (up to, not including, the
// empty line), and the offset where the body starts.
void FindHeaderEnd(std::string_view data, size_t& headerLen, size_t& bodyStart) {
    size_t i = 0;
    while (i < data.size()) {
        size_t eol = data.find('\n', i);
        if (eol == std::string_view::npos) {
            headerLen = bodyStart = data.size();
            return;
        }
        std::string_view line = data.substr(i, eol - i);
        if (line.empty() || line == "\r") {
            headerLen = i;
            bodyStart = eol + 1;
            return;
        }
        i = eol + 1;
    }
    headerLen = bodyStart = data.size();
}

// True when the text starts like an RFC 5322 header field ("Name:", or "Name :" as
// some mailers write it).
bool LooksLikeHeader(std::string_view data) {
    size_t k = 0;
    while (k < data.size() && k < 200) {
        unsigned char c = static_cast<unsigned char>(data[k]);
        if (c == ':') return k > 0;
        if (c == ' ' || c == '\t') {
            if (k == 0) return false;
            while (k < data.size() && (data[k] == ' ' || data[k] == '\t')) ++k;
            return k < data.size() && data[k] == ':';
        }
        if (c < 32 || c >= 127) return false;
        ++k;
    }
    return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsMboxMarker(std::string_view line) {
    return line.substr(0, 5) == "From " || line.substr(0, 6) == ">From ";
}

// The top-level header block cut into fields the way GMime's parser cuts a header:
// a field name runs to the colon (blanks only between it and the colon), lines
// starting with a blank continue the field before, raw values keep their folding and
// line ends. Only the Content-* fields go on to the MIME parser, so the message's
// other fields cost no parser objects.
struct TopHeader {
    HeaderFields fields;
    std::string content;  // the Content-* fields, verbatim
    int dropped = 0;      // lines that are no header field (mbox escapes aside)
    bool unreadable = false;  // the first line is no header field: not a message
};

TopHeader SplitHeader(std::string_view block) {
    TopHeader h;
    enum { kNone, kField, kInvalid } current = kNone;
    size_t fieldStart = 0;
    size_t i = 0;
    auto finishField = [&](size_t end) {
        if (current != kField) return;
        HeaderField& f = h.fields.back();
        f.raw = block.substr(size_t(f.raw.data() - block.data()), end - size_t(f.raw.data() - block.data()));
        if (f.name.size() > 8 && NameIs(f.name.substr(0, 8), "Content-"))
            h.content.append(block.data() + fieldStart, end - fieldStart);
    };
    while (i < block.size()) {
        size_t eol = block.find('\n', i);
        size_t next = eol == std::string_view::npos ? block.size() : eol + 1;
        std::string_view line = block.substr(i, next - i);
        if (IsBlank(line[0])) {
            if (current == kNone) {  // a folded first line
                h.unreadable = true;
                return h;
            }
            i = next;  // continues the field (or the unreadable line) before
            continue;
        }
        finishField(i);
        size_t j = 0;
        bool blank = false, valid = true;
        while (j < line.size() && line[j] != ':') {
            unsigned char c = static_cast<unsigned char>(line[j]);
            if (IsBlank(line[j])) {
                blank = true;
            } else if (blank || c < 32 || c == 127) {
                valid = false;
                break;
            }
            ++j;
        }
        if (j == line.size() || j == 0) valid = false;
        if (!valid) {
            if (!IsMboxMarker(line)) {
                if (h.fields.empty()) {
                    h.unreadable = true;
                    return h;
                }
                ++h.dropped;
            }
            current = kInvalid;
            i = next;
            continue;
        }
        size_t nameEnd = j;
        while (nameEnd > 0 && IsBlank(line[nameEnd - 1])) --nameEnd;
        h.fields.push_back({line.substr(0, nameEnd), block.substr(i + j + 1, 0)});
        current = kField;
        fieldStart = i;
        i = next;
    }
    finishField(block.size());
    return h;
}

// The body of a message whose header makes it one text part (text/plain or text/html,
// no disposition, at most one Content-Type and one Content-Transfer-Encoding): such a
// body needs no MIME parser. Anything else is left to GMime.
std::optional<SimpleText> SimpleTextBody(const HeaderFields& fields, std::string_view body, GMimeParserOptions* options) {
    const HeaderField* type = nullptr;
    const HeaderField* encoding = nullptr;
    for (const HeaderField& f : fields) {
        if (f.name.size() < 8 || !NameIs(f.name.substr(0, 8), "Content-")) continue;
        if (NameIs(f.name, "Content-Type")) {
            if (type) return std::nullopt;
            type = &f;
        } else if (NameIs(f.name, "Content-Transfer-Encoding")) {
            if (encoding) return std::nullopt;
            encoding = &f;
        } else if (NameIs(f.name, "Content-Disposition")) {
            return std::nullopt;
        }
    }
    SimpleText t;
    t.raw = body;
    if (type) {
        std::string value = UnfoldHeader(type->raw);
        std::string main = value.substr(0, value.find(';'));
        if (main.find('/') == std::string::npos) return std::nullopt;
        GMimeContentType* ct = g_mime_content_type_parse(options, value.c_str());
        if (!ct) return std::nullopt;
        GFree mime(g_mime_content_type_get_mime_type(ct));
        std::string lower = Lower(mime.str());
        const char* cs = g_mime_content_type_get_parameter(ct, "charset");
        if (cs) t.charset = cs;
        g_object_unref(ct);
        if (lower == "text/html") t.html = true;
        else if (lower != "text/plain") return std::nullopt;
    }
    if (encoding) {
        std::string value = UnfoldHeader(encoding->raw);
        t.encoding = g_mime_content_encoding_from_string(value.c_str());
    }
    return t;
}

}  // namespace

namespace {

void ImportAt(std::string_view bytes, mapi::Message& out, int depth) {
    GMimeParserOptions* options = ParserOptions();
    std::vector<std::string>& warnings = out.warnings;

    std::string_view data = bytes;
    if (data.size() >= 3 && std::memcmp(data.data(), "\xEF\xBB\xBF", 3) == 0) data.remove_prefix(3);
    std::optional<int64_t> envelopeDate;
    std::string envelopeSender;
    if (data.size() >= 5 && data.compare(0, 5, "From ") == 0) {
        size_t eol = data.find('\n');
        std::string_view line = data.substr(0, eol == std::string_view::npos ? data.size() : eol);
        envelopeDate = ParseFromLineDate(line);
        // "From addr date": the envelope sender stands in when the header names nobody
        size_t b = 5;
        while (b < line.size() && line[b] == ' ') ++b;
        size_t e = line.find_first_of(" \t\r", b);
        std::string_view addr = line.substr(b, e == std::string_view::npos ? line.size() - b : e - b);
        if (addr.find('@') != std::string_view::npos && addr.find_first_of("<>\"") == std::string_view::npos)
            envelopeSender = BytesToUtf8(addr);
        data.remove_prefix(eol == std::string_view::npos ? data.size() : eol + 1);
    }

    std::vector<uint8_t> searchKey = MessageSearchKey(bytes);

    size_t headerLen = 0, bodyStart = 0;
    FindHeaderEnd(data, headerLen, bodyStart);
    const bool hasHeader = headerLen > 0 && LooksLikeHeader(data);
    std::string headerText = hasHeader ? BytesToUtf8(data.substr(0, headerLen)) : std::string();

    TopHeader top = SplitHeader(data.substr(0, headerLen));

    const bool hasBody = bodyStart < data.size();
    std::string entity;  // for GMime: the Content-* fields, the blank line, the body

    ParseIssues issues;
    struct IssuesScope {  // nests: an attached message may be imported while its parent is
        ParseIssues* previous;
        explicit IssuesScope(ParseIssues* i) : previous(tlIssues) { tlIssues = i; }
        ~IssuesScope() { tlIssues = previous; }
    } issuesScope(&issues);
    issues.droppedLines = top.dropped;

    GMimeObject* body = nullptr;
    GMimeStream* stream = nullptr;
    GMimeParser* parser = nullptr;
    GByteArray* array = nullptr;
    std::optional<SimpleText> simple;
    if (!top.unreadable && hasBody)
        simple = SimpleTextBody(top.fields, data.substr(bodyStart), options);
    if (!top.unreadable && !simple && (hasBody || !top.content.empty())) {
        entity.reserve(top.content.size() + 2 + (hasBody ? data.size() - bodyStart : 0));
        entity = top.content;
        if (bodyStart > headerLen) entity.append(data.substr(headerLen, bodyStart - headerLen));
        else entity += '\n';
        if (hasBody) entity.append(data.substr(bodyStart));
        // The memory stream borrows the entity's bytes, which outlive the parse.
        array = g_byte_array_new_take(reinterpret_cast<guint8*>(entity.data()), entity.size());
        stream = g_mime_stream_mem_new_with_byte_array(array);
        g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream), FALSE);
        parser = g_mime_parser_new_with_stream(stream);
        g_mime_parser_set_format(parser, GMIME_FORMAT_MESSAGE);
        g_mime_parser_set_persist_stream(parser, TRUE);
        body = g_mime_parser_construct_part(parser, options);
    }

    bool failed = false;
    std::string failure;
    if (data.empty()) {
        warnings.push_back("the message is empty");
    } else if (top.unreadable) {
        failed = true;
        failure = "the message could not be parsed";
    } else if (!hasHeader) {
        failed = true;
        failure = "the message has no header";
    } else if (!body && !simple && hasBody) {
        failed = true;
        failure = "the message body could not be read";
    }

    if (!top.unreadable && !data.empty()) {
        Importer importer(out, depth, warnings);
        importer.Fill(top.fields, Body{body, simple ? &*simple : nullptr}, headerText, envelopeDate, searchKey,
                      envelopeSender);
    } else {
        out.props.SetString(PR_MESSAGE_CLASS, "IPM.Note");
        out.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNMODIFIED);
        out.props.SetInt(PR_MESSAGE_STATUS, 0);
        out.props.SetBinary(PR_SEARCH_KEY, searchKey);
        out.props.SetInt(PR_INTERNET_CPID, 65001);
        out.props.SetInt(PR_MESSAGE_CODEPAGE, 65001);
        if (envelopeDate) {
            for (uint32_t tag : {PR_CLIENT_SUBMIT_TIME, PR_MESSAGE_DELIVERY_TIME, PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME})
                out.props.SetTime(tag, UnixToFileTime(*envelopeDate));
        }
    }
    if (body) g_object_unref(body);
    if (parser) g_object_unref(parser);
    if (stream) g_object_unref(stream);
    if (array) g_byte_array_free(array, FALSE);  // the bytes stay the entity's

    if (!failed && (issues.droppedLines > 0 || issues.partsSkipped || issues.malformed)) {
        failed = true;
        failure = issues.droppedLines > 0 ? std::to_string(issues.droppedLines) + " unreadable header line(s) were skipped"
                                          : "the MIME structure is damaged and parts may be missing";
    }
    if (issues.truncated && !failed) warnings.push_back("the message is truncated (a closing MIME boundary is missing)");
    if (failed) {
        warnings.push_back(failure + "; the original is attached as original-message.eml");
        Attachment a;
        a.props.SetInt(PR_ATTACH_NUM, int32_t(out.attachments.size()));
        a.props.SetInt(PR_RENDERING_POSITION, -1);
        a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
        SetAttachNames(a.props, "original-message.eml");
        a.props.SetString(PR_ATTACH_MIME_TAG, "message/rfc822");
        a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(bytes.size(), 0x7FFFFFFF)));
        a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(bytes.begin(), bytes.end()));
        out.attachments.push_back(std::move(a));
        int32_t flags = out.props.GetInt(PR_MESSAGE_FLAGS).value_or(MSGFLAG_READ | MSGFLAG_UNMODIFIED);
        out.props.SetInt(PR_MESSAGE_FLAGS, flags | MSGFLAG_HASATTACH);
    }
}

}  // namespace

void ImportRfc822(std::string_view bytes, mapi::Message& out) { ImportAt(bytes, out, 0); }

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
