#include "mailstore/mime/TopHeader.h"

#include "mailstore/base/Ascii.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/Dates.h"
#include "mailstore/mime/MboxGrammar.h"

namespace bv::mailstore::mime {

std::string RawHeader(const HeaderFields& fields, std::string_view name) {
    for (const HeaderField& f : fields)
        if (base::EqualsNoCase(f.name, name)) return BytesToUtf8(UnfoldHeader(f.raw));
    return std::string();
}

bool HasHeader(const HeaderFields& fields, std::string_view name) {
    for (const HeaderField& f : fields)
        if (base::EqualsNoCase(f.name, name)) return true;
    return false;
}

Envelope TakeEnvelope(std::string_view& data) {
    Envelope envelope;
    if (IsSeparatorLine(data)) {
        size_t eol = data.find('\n');
        std::string_view line = data.substr(0, eol == std::string_view::npos ? data.size() : eol);
        envelope.date = ParseFromLineDate(line);
        // "From addr date": the envelope sender stands in when the header names nobody
        size_t b = kSeparatorStart.size();
        while (b < line.size() && line[b] == ' ') ++b;
        size_t e = line.find_first_of(" \t\r", b);
        std::string_view addr = line.substr(b, e == std::string_view::npos ? line.size() - b : e - b);
        if (addr.find('@') != std::string_view::npos && addr.find_first_of("<>\"") == std::string_view::npos)
            envelope.sender = BytesToUtf8(addr);
        data.remove_prefix(eol == std::string_view::npos ? data.size() : eol + 1);
    }
    return envelope;
}

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

bool LooksLikeText(std::string_view data) {
    size_t controls = 0;
    for (char ch : data) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == 0) return false;
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f' && c != 0x1B) ++controls;
    }
    return controls * 100 <= data.size();
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsAddressField(std::string_view name) {
    for (std::string_view n : {"To", "Cc", "Bcc", "From", "Sender", "Reply-To"})
        if (base::EqualsNoCase(name, n)) return true;
    return false;
}

bool IsMboxMarker(std::string_view line) { return IsSeparatorLine(line) || IsQuotedSeparatorLine(line); }

}  // namespace

std::optional<FieldStart> FieldStartOf(std::string_view line) {
    size_t j = 0;
    bool blank = false;
    while (j < line.size() && line[j] != ':') {
        const unsigned char c = static_cast<unsigned char>(line[j]);
        if (IsBlank(line[j])) {
            blank = true;
        } else if (blank || c < 32 || c == 127) {
            return std::nullopt;
        }
        ++j;
    }
    if (j == line.size() || j == 0) return std::nullopt;
    size_t nameEnd = j;
    while (nameEnd > 0 && IsBlank(line[nameEnd - 1])) --nameEnd;
    return FieldStart{line.substr(0, nameEnd), j};
}

TopHeader SplitHeader(std::string_view block) {
    TopHeader h;
    // kJoined: a field continued after a line that is no field, its value kept in
    // h.joined; kInvalid: after such a line.
    enum { kNone, kField, kJoined, kInvalid } current = kNone;
    bool resumable = false;  // the line that is no field follows a field
    size_t fieldStart = 0;
    size_t i = 0;
    auto finishField = [&](size_t end) {
        if (current != kField) return;
        HeaderField& f = h.fields.back();
        f.raw = block.substr(size_t(f.raw.data() - block.data()), end - size_t(f.raw.data() - block.data()));
        if (f.name.size() > 8 && base::EqualsNoCase(f.name.substr(0, 8), "Content-"))
            h.content.append(block.data() + fieldStart, end - fieldStart);
    };
    while (i < block.size()) {
        size_t eol = block.find('\n', i);
        size_t next = eol == std::string_view::npos ? block.size() : eol + 1;
        std::string_view line = block.substr(i, next - i);
        if (ContinuesField(line)) {
            if (current == kNone) {  // a folded first line
                h.unreadable = true;
                return h;
            }
            if (current == kInvalid && resumable && IsAddressField(h.fields.back().name)) {
                // The address field before the unreadable line goes on: its
                // continuation holds more of its addresses, which mail readers keep.
                h.joined.emplace_back(h.fields.back().raw);
                current = kJoined;
            }
            if (current == kJoined) {
                h.joined.back().append(line);
                h.fields.back().raw = h.joined.back();
                if (h.fields.back().name.size() > 8 && base::EqualsNoCase(h.fields.back().name.substr(0, 8), "Content-"))
                    h.content.append(line);
            }
            i = next;  // continues the field (or the unreadable line) before
            continue;
        }
        finishField(i);
        const std::optional<FieldStart> start = FieldStartOf(line);
        if (!start) {
            if (!IsMboxMarker(line)) {
                if (h.fields.empty()) {
                    h.unreadable = true;
                    return h;
                }
                ++h.dropped;
            }
            resumable = current == kField || current == kJoined || (current == kInvalid && resumable);
            current = kInvalid;
            i = next;
            continue;
        }
        h.fields.push_back({start->name, block.substr(i + start->colon + 1, 0)});
        current = kField;
        fieldStart = i;
        i = next;
    }
    finishField(block.size());
    return h;
}

MessageTop ReadMessageTop(std::string_view bytes) {
    MessageTop top;
    std::string_view data = bytes;
    SkipByteOrderMark(data);
    top.envelope = TakeEnvelope(data);
    for (;;) {
        size_t k = 0;
        while (k < data.size() && (data[k] == ' ' || data[k] == '\t')) ++k;
        if (k == 0) break;
        // Blanks in front of the first field: the field is read as mail readers read it.
        if (LooksLikeHeader(data.substr(k))) {
            data.remove_prefix(k);
            break;
        }
        if (k < data.size() && data[k] == '\r') ++k;
        if (k >= data.size() || data[k] != '\n') break;
        data.remove_prefix(k + 1);
    }
    top.data = data;
    FindHeaderEnd(data, top.headerLen, top.bodyStart);
    top.header = SplitHeader(data.substr(0, top.headerLen));
    return top;
}

}  // namespace bv::mailstore::mime
