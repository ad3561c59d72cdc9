#include "conversion/EmlxFormat.h"

#include "mailstore/mime/GMimeSupport.h"

#include <cstdio>
#include <cstring>

namespace bv::conversion {

namespace {

// Apple's "read" (seen) flag bit.
constexpr long long kEmlxFlagRead = 1;

}  // namespace

std::optional<long long> MessageDate(std::string_view text) {
    // Walk the header block: unfolded "Date:" value, up to the first empty line.
    size_t pos = 0;
    if (text.substr(0, 5) == "From ") {
        size_t nl = text.find('\n');
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
    }
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        size_t lineEnd = eol == std::string_view::npos ? text.size() : eol;
        std::string_view line = text.substr(pos, lineEnd - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;  // end of the header
        size_t next = eol == std::string_view::npos ? text.size() : eol + 1;
        size_t colon = line.find(':');
        if (colon != std::string_view::npos && colon == 4 && strncasecmp(line.data(), "Date", 4) == 0) {
            std::string value(line.substr(colon + 1));
            // Folded continuation lines.
            while (next < text.size() && (text[next] == ' ' || text[next] == '\t')) {
                size_t e = text.find('\n', next);
                size_t le = e == std::string_view::npos ? text.size() : e;
                std::string_view cont = text.substr(next, le - next);
                if (!cont.empty() && cont.back() == '\r') cont.remove_suffix(1);
                value += cont;
                next = e == std::string_view::npos ? text.size() : e + 1;
            }
            if (auto date = mailstore::mime::ReadDate(value)) return *date;
            return std::nullopt;
        }
        pos = next;
    }
    return std::nullopt;
}

void BuildEmlx(std::string_view text, std::string& out) {
    // The message data: without the separator line, with LF line ends.
    std::string_view body = text;
    if (body.substr(0, 5) == "From ") {
        size_t nl = body.find('\n');
        body = nl == std::string_view::npos ? std::string_view() : body.substr(nl + 1);
    }
    std::string data;
    data.reserve(body.size());
    size_t pos = 0;
    while (pos < body.size()) {
        size_t cr = body.find("\r\n", pos);
        if (cr == std::string_view::npos) {
            data.append(body.substr(pos));
            break;
        }
        data.append(body.substr(pos, cr - pos));
        data.push_back('\n');
        pos = cr + 2;
    }

    char countLine[32];
    std::snprintf(countLine, sizeof countLine, "%-10zu\n", data.size());

    std::optional<long long> date = MessageDate(text);
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
    plist += "\t<key>flags</key>\n\t<integer>" + std::to_string(kEmlxFlagRead) + "</integer>\n";
    plist += "</dict>\n</plist>\n";

    out.clear();
    out.reserve(std::strlen(countLine) + data.size() + plist.size());
    out += countLine;
    out += data;
    out += plist;
}

}  // namespace bv::conversion
