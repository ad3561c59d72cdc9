#include "mailstore/vcard/CardIdentity.h"

#include <string>
#include <string_view>

#include "mailstore/mapi/EntryIds.h"

namespace bv::mailstore::vcard {

namespace {

// Each part with its length in front, so that no two different cards join to one text.
void AppendPart(std::string& out, std::string_view part) {
    out += std::to_string(part.size());
    out += ':';
    out += part;
}

std::string_view Trimmed(std::string_view s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

std::string CardUid(const Card& card) {
    for (const ContentLine& line : card.lines)
        if (line.name == "UID" && !Trimmed(line.value).empty()) return std::string(Trimmed(line.value));
    return {};
}

std::vector<uint8_t> CardSearchKey(const Card& card) {
    if (std::string uid = CardUid(card); !uid.empty()) {
        std::string key = "VCARD UID\n" + uid;
        if (card.sameUidBefore > 0) key += "\nBEFORE " + std::to_string(card.sameUidBefore);
        return mapi::MessageSearchKey(key);
    }
    std::string text = "VCARD LINES\n";
    for (const ContentLine& line : card.lines) {
        if (line.name == "REV" || line.name == "PRODID" || line.name == "VERSION") continue;
        AppendPart(text, line.group);
        AppendPart(text, line.name);
        text += std::to_string(line.params.size());
        for (const Parameter& p : line.params) {
            AppendPart(text, p.name);
            text += std::to_string(p.values.size());
            for (const std::string& v : p.values) AppendPart(text, v);
        }
        AppendPart(text, line.value);
        text += '\n';
    }
    return mapi::MessageSearchKey(text);
}

}  // namespace bv::mailstore::vcard
