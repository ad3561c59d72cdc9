#include "mailstore/mime/FileNames.h"
#include "mailstore/base/Ascii.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "mailstore/mime/Charsets.h"

namespace bv::mailstore::mime {

std::string SanitizeFileName(const std::string& nameIn) {
    std::string name;
    for (unsigned char c : nameIn) {
        if (c < 0x20 || c == 0x7F) continue;
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
            name += '_';
        else
            name += char(c);
    }
    size_t b = name.find_first_not_of(" .");
    if (b == std::string::npos) return std::string();
    size_t e = name.find_last_not_of(" .");
    name = name.substr(b, e - b + 1);
    if (name.size() > 255) {
        std::string ext = FileExtension(name);
        if (ext.size() > 16) ext.clear();
        size_t keep = 255 - ext.size();
        // do not cut inside a UTF-8 sequence
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
        name = name.substr(0, keep) + ext;
    }
    return name;
}

std::string FileExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return std::string();
    std::string ext = name.substr(dot);
    if (ext.find(' ') != std::string::npos) return std::string();
    return ext;
}

std::string ShortFileName(const std::string& longName) {
    std::string ext = FileExtension(longName);
    std::string base = longName.substr(0, longName.size() - ext.size());
    auto clean = [](const std::string& s) {
        std::string r;
        for (unsigned char c : s)
            if (std::isalnum(c) || c == '_' || c == '-' || c == '~' || c == '!' || c == '#' || c == '$' || c == '%' ||
                c == '&' || c == '(' || c == ')' || c == '@' || c == '^' || c == '{' || c == '}')
                r += char(std::toupper(c));
        return r;
    };
    std::string b = clean(base);
    std::string e = ext.empty() ? std::string() : clean(ext.substr(1));
    if (e.size() > 3) e = e.substr(0, 3);
    const bool fits = b.size() <= 8 && b.size() == base.size() && (ext.empty() || ext.size() - 1 <= 3);
    if (b.empty()) b = "ATTACH";
    if (!fits) b = b.substr(0, std::min<size_t>(b.size(), 6)) + "~1";
    return e.empty() ? b : b + "." + e;
}

std::string ExtensionForMimeType(const std::string& mimeType) {
    static const std::pair<const char*, const char*> kMap[] = {
        {"text/plain", ".txt"},        {"text/html", ".htm"},         {"text/calendar", ".ics"},
        {"text/csv", ".csv"},          {"text/xml", ".xml"},          {"text/rtf", ".rtf"},
        {"text/enriched", ".txt"},     {"text/richtext", ".rtx"},     {"text/vcard", ".vcf"},
        {"text/x-vcard", ".vcf"},      {"text/rfc822-headers", ".txt"}, {"image/png", ".png"},
        {"image/jpeg", ".jpg"},        {"image/jpg", ".jpg"},         {"image/gif", ".gif"},
        {"image/bmp", ".bmp"},         {"image/tiff", ".tif"},        {"image/svg+xml", ".svg"},
        {"image/webp", ".webp"},       {"application/pdf", ".pdf"},   {"application/zip", ".zip"},
        {"application/gzip", ".gz"},   {"application/x-gzip", ".gz"}, {"application/msword", ".doc"},
        {"application/postscript", ".ps"}, {"application/rtf", ".rtf"}, {"application/json", ".json"},
        {"application/xml", ".xml"},   {"application/pgp-signature", ".asc"},
        {"application/pgp-encrypted", ".asc"}, {"application/pgp-keys", ".asc"},
        {"application/pkcs7-signature", ".p7s"}, {"application/x-pkcs7-signature", ".p7s"},
        {"application/pkcs7-mime", ".p7m"}, {"application/x-pkcs7-mime", ".p7m"},
        {"application/ms-tnef", ".dat"}, {"application/vnd.ms-tnef", ".dat"},
        {"message/rfc822", ".eml"},    {"message/delivery-status", ".txt"},
        {"message/disposition-notification", ".txt"}, {"message/feedback-report", ".txt"},
        {"audio/mpeg", ".mp3"},        {"audio/wav", ".wav"},         {"video/mp4", ".mp4"},
    };
    std::string m = base::AsciiLowered(mimeType);
    for (const auto& [type, ext] : kMap)
        if (m == type) return ext;
    return ".bin";
}

void SetAttachNames(mapi::PropertyBag& p, const std::string& longName) {
    p.SetString(mapi::PR_ATTACH_LONG_FILENAME, longName);
    p.SetString(mapi::PR_ATTACH_FILENAME, ShortFileName(longName));
    p.SetString(mapi::PR_DISPLAY_NAME, longName);
    std::string ext = FileExtension(longName);
    if (!ext.empty()) p.SetString(mapi::PR_ATTACH_EXTENSION, ext);
}

}  // namespace bv::mailstore::mime
