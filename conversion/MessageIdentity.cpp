#include "conversion/MessageIdentity.h"

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

}  // namespace

std::vector<uint8_t> MessageDigest(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    size_t pos = 0;
    bool header = true, skipping = false;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const bool first = pos == 0;
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (header) {
            if (first && line.substr(0, 5) == "From ") continue;
            if (line.empty()) {
                header = false;
            } else if (line[0] == ' ' || line[0] == '\t') {
                if (skipping) continue;  // a continuation line of a field left out
            } else {
                size_t colon = line.find(':');
                skipping = colon != std::string_view::npos && IsMailboxField(line.substr(0, colon));
                if (skipping) continue;
            }
        }
        kept.append(line);
        kept.push_back('\n');
    }
    return mailstore::mapi::MessageSearchKey(kept);
}

}  // namespace bv::conversion
