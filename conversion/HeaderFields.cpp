#include "conversion/HeaderFields.h"

#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/GMimeSupport.h"

namespace bv::conversion {

std::string DecodeText(std::string_view value) {
    std::string in(value);
    char* decoded = g_mime_utils_header_decode_text(mailstore::mime::ParserOptions(), in.c_str());
    // Raw 8-bit text, or an encoded word whose bytes are not what its charset says,
    // can come back as bytes that are no UTF-8: those are read as windows-1252.
    std::string out = mailstore::mime::BytesToUtf8(decoded ? std::string_view(decoded) : std::string_view(in));
    g_free(decoded);
    return out;
}

std::optional<long long> DecodeDate(std::string_view value) {
    return mailstore::mime::ReadDate(value);
}

std::string UnfoldFieldValue(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (char c : raw)
        if (c != '\r' && c != '\n') out.push_back(c);
    size_t b = out.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    size_t e = out.find_last_not_of(" \t");
    return out.substr(b, e - b + 1);
}

}  // namespace bv::conversion
