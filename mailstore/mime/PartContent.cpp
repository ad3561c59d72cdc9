// A MIME part's content and description. Content is decoded where it lies when the
// parser read it from memory, else read from its stream in pieces.
#include "mailstore/mime/PartContent.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/Base64.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/EncodedWords.h"
#include "mailstore/mime/FileNames.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/Uuencode.h"

namespace bv::mailstore::mime {

using mapi::Binary;

namespace {

// Counts the characters of base64 data that carry data (padding included) and those
// that have no place in it (anything but line ends and blanks).
void CountBase64(std::string_view raw, size_t& significant, size_t& invalid) {
    // Each byte's kind looked up once: 1 carries data, 2 has no place, 0 is a blank.
    static constexpr auto kKind = [] {
        std::array<uint8_t, 256> kind{};
        for (size_t c = 0; c < 256; ++c) {
            const uint8_t v = base::kBase64Bytes[c];
            kind[c] = v < 64 || v == base::kBase64Pad ? 1 : v == base::kBase64Blank ? 0 : 2;
        }
        return kind;
    }();
    size_t counts[3] = {0, 0, 0};
    for (const char c : raw) ++counts[kKind[static_cast<unsigned char>(c)]];
    significant += counts[1];
    invalid += counts[2];
}

// The verdict on base64 data by its counts (concatenated base64 blocks, data after
// padding, are common and decode fine).
bool Base64Clean(size_t significant, size_t invalid, std::string& problem) {
    if (invalid > 0) {
        problem = "invalid characters in base64 data";
        return false;
    }
    if (significant % 4 != 0) {
        problem = "base64 data is truncated";
        return false;
    }
    return true;
}

// The bytes a stream reads from memory, where they lie; nothing for any other stream.
std::optional<std::string_view> InPlace(GMimeStream* stream) {
    const gint64 len = g_mime_stream_length(stream);
    if (!GMIME_IS_STREAM_MEM(stream) || len < 0) return std::nullopt;
    const GByteArray* bytes = GMIME_STREAM_MEM(stream)->buffer;
    if (!bytes || stream->bound_start < 0 || uint64_t(stream->bound_start) + uint64_t(len) > bytes->len) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(bytes->data) + stream->bound_start, size_t(len));
}

GMimeStream* ContentStream(GMimePart* part) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    return wrapper ? g_mime_data_wrapper_get_stream(wrapper) : nullptr;
}

GMimeContentEncoding ContentEncoding(GMimePart* part) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    return wrapper ? g_mime_data_wrapper_get_encoding(wrapper) : GMIME_CONTENT_ENCODING_DEFAULT;
}

}  // namespace

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
    if (enc == GMIME_CONTENT_ENCODING_UUENCODE) {
        UuFile file;
        const bool clean = DecodeUuencoded(raw, file);
        out.assign(file.bytes.begin(), file.bytes.end());
        if (!clean) problem = "uuencoded data is damaged or truncated";
        return clean;
    }
    if (enc == GMIME_CONTENT_ENCODING_BASE64 && DecodePlainBase64(raw, out)) return true;  // the usual case
    size_t invalid = 0, significant = 0;
    if (enc == GMIME_CONTENT_ENCODING_BASE64) CountBase64(raw, significant, invalid);
    GMimeEncoding state;
    g_mime_encoding_init_decode(&state, enc);
    size_t room = g_mime_encoding_outlen(&state, raw.size());
    if (enc == GMIME_CONTENT_ENCODING_BASE64) room = std::min(room, significant / 4 * 3 + 3);  // what 4-in-3 gives
    out.resize(room + 16);
    size_t n = g_mime_encoding_step(&state, raw.data(), raw.size(), reinterpret_cast<char*>(out.data()));
    n += g_mime_encoding_flush(&state, "", 0, reinterpret_cast<char*>(out.data()) + n);
    out.resize(n);
    return enc != GMIME_CONTENT_ENCODING_BASE64 || Base64Clean(significant, invalid, problem);
}

bool DecodeStream(GMimeStream* stream, GMimeContentEncoding enc, Binary& out, std::string& problem, size_t chunk) {
    out.clear();
    g_mime_stream_reset(stream);
    if (enc == GMIME_CONTENT_ENCODING_UUENCODE) {
        std::string raw;
        char buf[16384];
        for (ssize_t n; (n = g_mime_stream_read(stream, buf, sizeof buf)) > 0;) raw.append(buf, size_t(n));
        return DecodeContent(raw, enc, out, problem);
    }
    const bool decode = IsTransferEncoded(enc);
    GMimeEncoding state;
    if (decode) g_mime_encoding_init_decode(&state, enc);
    // Room for the whole result at once, so that it never moves (and is never held
    // twice) while it grows: base64 gives at most 3 bytes for 4, the others no more
    // than they read.
    if (const gint64 length = g_mime_stream_length(stream); length > 0)
        out.reserve(enc == GMIME_CONTENT_ENCODING_BASE64 ? size_t(length) / 4 * 3 + 16 : size_t(length) + 16);
    chunk = std::max<size_t>(chunk, 1);
    std::vector<char> in(chunk), piece(decode ? g_mime_encoding_outlen(&state, chunk) + 16 : 0);
    size_t invalid = 0, significant = 0;
    for (ssize_t n; (n = g_mime_stream_read(stream, in.data(), chunk)) > 0;) {
        if (!decode) {
            out.insert(out.end(), in.begin(), in.begin() + n);
            continue;
        }
        if (enc == GMIME_CONTENT_ENCODING_BASE64) CountBase64(std::string_view(in.data(), size_t(n)), significant, invalid);
        const size_t made = g_mime_encoding_step(&state, in.data(), size_t(n), piece.data());
        out.insert(out.end(), piece.begin(), piece.begin() + ptrdiff_t(made));
    }
    if (!decode) return true;
    const size_t made = g_mime_encoding_flush(&state, "", 0, piece.data());
    out.insert(out.end(), piece.begin(), piece.begin() + ptrdiff_t(made));
    return enc != GMIME_CONTENT_ENCODING_BASE64 || Base64Clean(significant, invalid, problem);
}

std::optional<size_t> ContentStart(GMimeObject* part, const ParsedBytes& parsed) {
    GMimeHeaderList* list = g_mime_object_get_header_list(part);
    const int n = list ? g_mime_header_list_get_count(list) : 0;
    int64_t first = -1;
    for (int i = 0; i < n; ++i) {
        const int64_t at = g_mime_header_get_offset(g_mime_header_list_get_header_at(list, i));
        if (at >= 0 && (first < 0 || at < first)) first = at;
    }
    const std::string_view source = parsed.source;
    if (first < 0 || size_t(first) > parsed.sourceAt + source.size()) return std::nullopt;
    if (size_t(first) < parsed.sourceAt) return 0;
    for (size_t line = size_t(first) - parsed.sourceAt; line < source.size();) {
        const size_t end = source.find('\n', line);
        if (end == std::string_view::npos) break;
        const std::string_view text = source.substr(line, end - line);
        if (text.empty() || text == "\r") return end + 1;
        line = end + 1;
    }
    return source.size();
}

namespace {

// True when `stream` reads `bytes` from `offset` on.
bool ReadsAt(GMimeStream* stream, gint64 offset, std::string_view bytes) {
    std::string read(bytes.size(), '\0');
    if (g_mime_stream_seek(stream, offset, GMIME_STREAM_SEEK_SET) < 0) return false;
    size_t got = 0;
    for (ssize_t n; got < read.size() && (n = g_mime_stream_read(stream, read.data() + got, read.size() - got)) > 0;)
        got += size_t(n);
    return got == read.size() && read == bytes;
}

// True when `stream` reads exactly `view`: its first and last bytes, and nothing after.
bool ReadsAs(GMimeStream* stream, std::string_view view) {
    const size_t ends = std::min<size_t>(view.size(), 256);
    if (!ReadsAt(stream, 0, view.substr(0, ends)) || !ReadsAt(stream, gint64(view.size() - ends), view.substr(view.size() - ends)))
        return false;
    char more;
    return g_mime_stream_read(stream, &more, 1) <= 0;
}

// The content of a part whose stream reads the parsed bytes through another stream:
// where it lies in them, found after its header and confirmed by the stream's bytes.
// GMime's part of a joined stream gives as its length, for content that begins past
// the first stream joined, where the content ends in the stream it lies in: both
// readings are tried.
std::optional<std::string_view> Located(GMimePart* part, GMimeStream* stream, const ParsedBytes& parsed) {
    const gint64 length = g_mime_stream_length(stream);
    const std::optional<size_t> begin = parsed.source.empty() ? std::nullopt : ContentStart(GMIME_OBJECT(part), parsed);
    if (length < 0 || !begin) return std::nullopt;
    std::optional<std::string_view> found;
    for (const uint64_t size : {uint64_t(length), uint64_t(length) - std::min<uint64_t>(*begin, uint64_t(length))}) {
        if (*begin + size > parsed.source.size()) continue;
        if (ReadsAs(stream, parsed.source.substr(*begin, size))) {
            found = parsed.source.substr(*begin, size);
            break;
        }
    }
    g_mime_stream_reset(stream);
    return found;
}

// The content in place: a memory stream's bytes, or where the parsed bytes hold it.
std::optional<std::string_view> ContentInPlace(GMimePart* part, GMimeStream* stream, const ParsedBytes& parsed) {
    if (std::optional<std::string_view> view = InPlace(stream)) return view;
    return Located(part, stream, parsed);
}

}  // namespace

RawBytes RawContent(GMimePart* part, const ParsedBytes& parsed) {
    RawBytes raw;
    GMimeStream* stream = ContentStream(part);
    if (!stream) return raw;
    g_mime_stream_reset(stream);
    if (std::optional<std::string_view> view = ContentInPlace(part, stream, parsed)) {
        raw.view = *view;
        return raw;
    }
    if (const gint64 len = g_mime_stream_length(stream); len > 0) raw.copy.reserve(size_t(len));
    char buf[16384];
    for (ssize_t n; (n = g_mime_stream_read(stream, buf, sizeof buf)) > 0;) raw.copy.append(buf, size_t(n));
    raw.view = raw.copy;
    return raw;
}

bool IsUuencoded(GMimePart* part) { return ContentEncoding(part) == GMIME_CONTENT_ENCODING_UUENCODE; }

bool DecodePartContent(GMimePart* part, Binary& out, std::string& problem, const ParsedBytes& parsed) {
    GMimeStream* stream = ContentStream(part);
    if (!stream) return DecodeContent(std::string_view(), ContentEncoding(part), out, problem);
    if (std::optional<std::string_view> view = ContentInPlace(part, stream, parsed))
        return DecodeContent(*view, ContentEncoding(part), out, problem);
    return DecodeStream(stream, ContentEncoding(part), out, problem);
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
    std::string type = base::AsciiLowered(s.str());
    // A type or subtype is a token of printable ASCII; one with other bytes names
    // nothing a reader knows, and the part is kept as data.
    for (char c : type)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) return "application/octet-stream";
    return type;
}

std::string DispositionOf(GMimeObject* obj) {
    const char* d = g_mime_object_get_disposition(obj);
    return d ? base::AsciiLowered(d) : std::string();
}

// application/pkcs7-mime that is neither signed data nor a certificate bundle (by
// its smime-type, or for older mail without one, by its ".p7c" name): an encrypted
// S/MIME message.
bool IsEncryptedSmime(GMimePart* part, const std::string& mimeType) {
    if (mimeType != "application/pkcs7-mime" && mimeType != "application/x-pkcs7-mime") return false;
    if (const char* type = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "smime-type")) {
        const std::string t = base::AsciiLowered(type);
        return t != "signed-data" && t != "certs-only";
    }
    const char* name = g_mime_part_get_filename(part);
    return !(name && base::AsciiLowered(FileExtension(name)) == ".p7c");
}

namespace {

// A backslash inside a quoted parameter value that escapes neither a quote nor a
// backslash is a Windows path separator ("C:\TEMP\x.png" as mail programs write it),
// not an escape: it becomes "/" so that the value's path survives the parameter
// reading; "\\" is a separator too.
std::string PathSeparatorsAsSlashes(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') quoted = !quoted;
        if (!quoted || c != '\\') {
            out += c;
            continue;
        }
        if (i + 1 < raw.size() && raw[i + 1] == '"') {
            out.append(raw.substr(i, 2));
        } else {
            out += '/';
            if (i + 1 < raw.size() && raw[i + 1] == '\\') ++i;
            continue;
        }
        ++i;
    }
    return out;
}

}  // namespace

// The last element of a path a file name carries ("x.png" for "C:\TEMP\x.png"), the
// way mail readers save such a file; the name itself when nothing follows the last
// separator.
std::string BaseName(std::string name) {
    const size_t slash = name.find_last_of("/\\");
    if (slash == std::string::npos || slash + 1 == name.size()) return name;
    return name.substr(slash + 1);
}

// The file name of a part (Content-Disposition filename, else Content-Type name), as
// UTF-8; empty when it has none. A name in several adjacent encoded words is read
// whole (GMime's own reading keeps only the first of them when it ends in padding);
// a name with a path keeps its last element.
std::string PartFileName(GMimeObject* obj) {
    GMimeHeaderList* list = g_mime_object_get_header_list(obj);
    for (const char* field : {"Content-Disposition", "Content-Type"}) {
        GMimeHeader* h = list ? g_mime_header_list_get_header(list, field) : nullptr;
        const char* raw = h ? g_mime_header_get_raw_value(h) : nullptr;
        if (!raw) continue;
        const bool joined = HasAdjacentEncodedWords(raw), path = std::strchr(raw, '\\') != nullptr;
        if (!joined && !path) continue;
        std::string value = joined ? JoinAdjacentEncodedWords(raw) : std::string(raw);
        if (path) value = PathSeparatorsAsSlashes(value);
        if (field[8] == 'D') {
            GObjectRef<GMimeContentDisposition> d(g_mime_content_disposition_parse(ParserOptions(), value.c_str()));
            if (const char* v = d.p ? g_mime_content_disposition_get_parameter(d.p, "filename") : nullptr)
                return BaseName(BytesToUtf8(v));
        } else {
            GObjectRef<GMimeContentType> t(g_mime_content_type_parse(ParserOptions(), value.c_str()));
            if (const char* v = t.p ? g_mime_content_type_get_parameter(t.p, "name") : nullptr) return BaseName(BytesToUtf8(v));
        }
    }
    if (GMIME_IS_PART(obj)) return BaseName(BytesToUtf8(g_mime_part_get_filename(GMIME_PART(obj))));
    GMimeContentDisposition* disp = g_mime_object_get_content_disposition(obj);
    const char* name = disp ? g_mime_content_disposition_get_parameter(disp, "filename") : nullptr;
    if (!name) name = g_mime_object_get_content_type_parameter(obj, "name");
    return BaseName(BytesToUtf8(name));
}

}  // namespace bv::mailstore::mime
