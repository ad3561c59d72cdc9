#include "conversion/EmlxFormat.h"

#include <cstdio>
#include <cstring>

#include "mailstore/base/Ascii.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/Dates.h"
#include "mailstore/mime/MboxGrammar.h"

namespace bv::conversion {

namespace {

// Bits of the "flags" value: read (seen) and flagged.
constexpr long long kEmlxFlagRead = 1 << 0;
constexpr long long kEmlxFlagFlagged = 1 << 4;
}  // namespace

std::optional<long long> MessageDate(const mailstore::mime::HeaderFields& fields) {
    for (const mailstore::mime::HeaderField& f : fields)
        if (mailstore::base::EqualsNoCase(f.name, "Date")) return mailstore::mime::ReadDate(mailstore::mime::UnfoldHeader(f.raw));
    return std::nullopt;
}

std::optional<long long> MessageDate(std::string_view text) {
    return MessageDate(mailstore::mime::ReadMessageTop(text).header.fields);
}

void BuildEmlx(std::string_view text, std::string& out, EmlxFlags flags) {
    BuildEmlx(text, mailstore::mime::ReadMessageTop(text).header.fields, out, flags);
}

void BuildEmlx(std::string_view text, const mailstore::mime::HeaderFields& fields, std::string& out, EmlxFlags flags) {
    // The message data: without the separator line, with LF line ends.
    std::string_view body = text;
    if (mailstore::mime::IsSeparatorLine(body)) {
        size_t nl = body.find('\n');
        body = nl == std::string_view::npos ? std::string_view() : body.substr(nl + 1);
    }
    std::string data;
    data.reserve(body.size());
    mailstore::mime::MessageToLf(body, data);

    char countLine[32];
    std::snprintf(countLine, sizeof countLine, "%-10zu\n", data.size());

    std::optional<long long> date = MessageDate(fields);
    std::string plist =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n"
        "<dict>\n";
    if (date) {
        plist += "\t<key>date-received</key>\n\t<integer>" + std::to_string(*date) + "</integer>\n";
        plist += "\t<key>date-sent</key>\n\t<integer>" + std::to_string(*date) + "</integer>\n";
    }
    const long long bits = (flags.read ? kEmlxFlagRead : 0) | (flags.flagged ? kEmlxFlagFlagged : 0);
    plist += "\t<key>flags</key>\n\t<integer>" + std::to_string(bits) + "</integer>\n";
    plist += "</dict>\n</plist>\n";

    out.clear();
    out.reserve(std::strlen(countLine) + data.size() + plist.size());
    out += countLine;
    out += data;
    out += plist;
}

}  // namespace bv::conversion
