#include "mailstore/vcard/CardReader.h"

#include <functional>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/CappedLine.h"
#include "mailstore/vcard/CardIdentity.h"

namespace bv::mailstore::vcard {

namespace {

// A logical line larger than this is not a card property but a damaged file.
constexpr size_t kMaxLineBytes = size_t(64) << 20;

// The part before the value: name and parameters.
std::string_view Head(std::string_view line) {
    size_t colon = line.find(':');
    return colon == std::string_view::npos ? line : line.substr(0, colon);
}

bool HasNoCase(std::string_view s, std::string_view what) {
    if (what.size() > s.size()) return false;
    for (size_t i = 0; i + what.size() <= s.size(); ++i)
        if (base::EqualsNoCase(s.substr(i, what.size()), what)) return true;
    return false;
}

bool IsQuotedPrintable(std::string_view line) { return HasNoCase(Head(line), "QUOTED-PRINTABLE"); }
bool IsBase64(std::string_view line) {
    std::string_view head = Head(line);
    return HasNoCase(head, "BASE64") || HasNoCase(head, "ENCODING=B");
}

bool IsLine(std::string_view line, std::string_view what) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return base::EqualsNoCase(line, what);
}

}  // namespace

bool CardReader::NextPhysical(std::string& text) {
    if (hasPeeked_) {
        text = std::move(peeked_);
        hasPeeked_ = false;
        return true;
    }
    const base::CappedLine got = base::ReadCappedLine(in_, text, kMaxLineBytes);
    if (!got.read) return false;
    bytes_ += got.consumed;
    ++physical_;
    // A longer line keeps kMaxLineBytes bytes: too large to be a property, its card fails.
    while (!text.empty() && text.back() == '\r') text.pop_back();  // CR LF, and CR CR LF of some writers
    // A byte order mark before the first line.
    if (physical_ == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    return true;
}

bool CardReader::NextLogical(std::string& text, int& line) {
    if (hasPending_) {
        hasPending_ = false;
        text = std::move(pending_);
        line = pendingLine_;
        return true;
    }
    do {
        if (!NextPhysical(text)) return false;
    } while (text.empty());
    line = physical_;
    std::string next;
    while (text.size() < kMaxLineBytes && NextPhysical(next)) {
        const bool qpSoftBreak = !text.empty() && text.back() == '=' && IsQuotedPrintable(text);
        if (qpSoftBreak) {
            text.pop_back();
            text += next;
        } else if (!next.empty() && (next[0] == ' ' || next[0] == '\t')) {
            text.append(next, 1);
        } else if (!next.empty() && next.find(':') == std::string::npos && IsBase64(text)) {
            text += next;  // vCard 2.1: BASE64 lines run on to a blank line
        } else {
            peeked_ = std::move(next);
            hasPeeked_ = true;
            break;
        }
    }
    return true;
}

bool CardReader::Next(Card& card) {
    card = Card{};
    std::string text;
    int line = 0;
    // Anything before BEGIN:VCARD is passed over.
    for (;;) {
        if (!NextLogical(text, line)) return false;
        if (IsLine(text, "BEGIN:VCARD")) break;
    }
    card.firstLine = line;
    for (;;) {
        if (!NextLogical(text, line)) {
            card.error = "the card has no END:VCARD";
            card.errorLine = card.firstLine;
            return true;
        }
        if (IsLine(text, "END:VCARD")) {
            if (const std::string uid = CardUid(card); !uid.empty())
                card.sameUidBefore = uids_[std::hash<std::string>{}(uid)]++;
            return true;
        }
        if (IsLine(text, "BEGIN:VCARD")) {
            // The card before was never ended; this one starts afresh next time.
            pending_ = std::move(text);
            pendingLine_ = line;
            hasPending_ = true;
            card.error = "the card has no END:VCARD";
            card.errorLine = card.firstLine;
            return true;
        }
        if (text.size() >= kMaxLineBytes) {
            if (card.error.empty()) {
                card.error = "a property is larger than 64 MB";
                card.errorLine = line;
            }
            continue;
        }
        ContentLine cl;
        if (!ParseContentLine(text, cl)) {
            if (card.error.empty()) {
                card.error = "not a vCard property: \"" + text.substr(0, 60) + "\"";
                card.errorLine = line;
            }
            continue;
        }
        cl.line = line;
        card.lines.push_back(std::move(cl));
    }
}

}  // namespace bv::mailstore::vcard
