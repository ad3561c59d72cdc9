#include "conversion/MessageIdentity.h"

#include <cstring>
#include <string>

#include "mailstore/base/Ascii.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mime/LabelsField.h"

namespace bv::conversion {

namespace {

using mailstore::base::EqualsNoCase;

// Fields that differ between copies of one message in the mailboxes of an export.
bool IsMailboxField(std::string_view name) {
    return EqualsNoCase(name, "keywords") || EqualsNoCase(name, "status") || EqualsNoCase(name, "x-status") ||
           mailstore::mime::IsLabelsFieldName(name);
}

// The body's lines as the digest reads them: each without the CR before its LF, and
// the last ending in LF too. `add` takes them in pieces; returns how many bytes that is.
// `firstCr`: where the body has its first CR.
template <class Add>
size_t ForBodyLines(std::string_view body, size_t firstCr, Add add) {
    size_t size = 0, from = 0;
    auto piece = [&](std::string_view p) {
        size += p.size();
        add(p);
    };
    for (size_t cr = firstCr; cr != std::string_view::npos; cr = body.find('\r', cr + 1)) {
        if (cr + 1 < body.size() && body[cr + 1] != '\n') continue;
        piece(body.substr(from, cr - from));
        from = cr + 1;  // the LF after it, or the end
    }
    piece(body.substr(from));
    if (!body.empty() && body.back() != '\n') piece("\n");
    return size;
}

// Hands the hash the body's pieces gathered into blocks: one call for many short lines.
class Gathered {
public:
    explicit Gathered(mailstore::mapi::MessageSearchKeyHash& hash) : hash_(hash) {}
    void Add(std::string_view piece) {
        if (held_ + piece.size() > sizeof block_) Flush();
        if (piece.size() >= sizeof block_) {
            hash_.Add(piece);
            return;
        }
        std::memcpy(block_ + held_, piece.data(), piece.size());
        held_ += piece.size();
    }
    void Flush() {
        hash_.Add(std::string_view(block_, held_));
        held_ = 0;
    }

private:
    mailstore::mapi::MessageSearchKeyHash& hash_;
    char block_[16384];
    size_t held_ = 0;
};

}  // namespace

std::vector<uint8_t> MessageDigest(std::string_view text) {
    // The header's lines are kept apart (their fields are few); the body is read where
    // it is, in pieces between the CRs it loses.
    std::string head;
    size_t pos = 0;
    bool skipping = false;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const bool first = pos == 0;
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (first && line.substr(0, 5) == "From ") continue;
        if (line.empty()) {
            head.push_back('\n');
            break;
        } else if (line[0] == ' ' || line[0] == '\t') {
            if (skipping) continue;  // a continuation line of a field left out
        } else {
            size_t colon = line.find(':');
            skipping = colon != std::string_view::npos && IsMailboxField(line.substr(0, colon));
            if (skipping) continue;
        }
        head.append(line);
        head.push_back('\n');
    }
    const std::string_view body = text.substr(pos);
    const size_t firstCr = body.find('\r');
    mailstore::mapi::MessageSearchKeyHash hash(head.size() + ForBodyLines(body, firstCr, [](std::string_view) {}));
    Gathered gathered(hash);
    gathered.Add(head);
    ForBodyLines(body, firstCr, [&](std::string_view piece) { gathered.Add(piece); });
    gathered.Flush();
    return hash.Finish();
}

}  // namespace bv::conversion
