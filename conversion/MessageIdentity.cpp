#include "conversion/MessageIdentity.h"

#include <cstring>
#include <optional>
#include <string>

#include "mailstore/base/Ascii.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mime/LabelsField.h"
#include "mailstore/mime/MboxGrammar.h"

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

std::vector<uint8_t> MessageDigest(std::string_view text) { return MessageDigest(text, mailstore::mime::ReadMessageTop(text)); }

std::vector<uint8_t> MessageDigest(std::string_view text, const mailstore::mime::MessageTop& top) {
    // The header ends where the cut found its end (the message's top may stand after
    // a separator line, a mark and blank lines: lines of the header all the same). Its
    // kept lines and the body are read where they are, in pieces (a header may be
    // megabytes long): once for their size, which the hash takes first, then hashed.
    const size_t headerEnd = size_t(top.data.data() - text.data()) + top.headerLen;
    size_t pos = 0;
    auto forHeadLines = [&](auto add) {
        pos = 0;
        bool skipping = false;
        while (pos < text.size() && pos < headerEnd) {
            const bool first = pos == 0;
            const std::string_view line = mailstore::mime::NextLine(text, pos);
            if (first && mailstore::mime::IsSeparatorLine(line)) continue;
            if (mailstore::mime::ContinuesField(line)) {
                if (skipping) continue;  // a continuation line of a field left out
            } else {
                // Only a name written right before its colon is left out: so the digests
                // of stores written before stay what they were.
                const std::optional<mailstore::mime::FieldStart> field = mailstore::mime::FieldStartOf(line);
                skipping = field && field->name.size() == field->colon && IsMailboxField(field->name);
                if (skipping) continue;
            }
            add(line);
            add("\n");
        }
    };
    size_t headSize = 0;
    forHeadLines([&headSize](std::string_view piece) { headSize += piece.size(); });
    const std::string_view body = text.substr(pos);
    const size_t firstCr = body.find('\r');
    mailstore::mapi::MessageSearchKeyHash hash(headSize + ForBodyLines(body, firstCr, [](std::string_view) {}));
    Gathered gathered(hash);
    forHeadLines([&gathered](std::string_view piece) { gathered.Add(piece); });
    ForBodyLines(body, firstCr, [&](std::string_view piece) { gathered.Add(piece); });
    gathered.Flush();
    return hash.Finish();
}

}  // namespace bv::conversion
