#include "conversion/MessageIdentity.h"

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

}  // namespace

std::vector<uint8_t> MessageDigest(std::string_view text) { return MessageDigest(text, mailstore::mime::ReadMessageTop(text)); }

std::vector<uint8_t> MessageDigest(std::string_view text, const mailstore::mime::MessageTop& top) {
    // The header ends where the cut found its end (the message's top may stand after
    // a separator line, a mark and blank lines: lines of the header all the same).
    const size_t headerEnd = size_t(top.data.data() - text.data()) + top.headerLen;
    std::string kept;
    kept.reserve(text.size());
    size_t pos = 0;
    bool skipping = false;
    while (pos < text.size()) {
        const bool first = pos == 0, header = pos < headerEnd;
        const std::string_view line = mailstore::mime::NextLine(text, pos);
        if (header) {
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
        }
        kept.append(line);
        kept.push_back('\n');
    }
    return mailstore::mapi::MessageSearchKey(kept);
}

}  // namespace bv::conversion
