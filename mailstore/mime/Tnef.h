// TNEF (winmail.dat, application/ms-tnef) read with libytnef: the body and the
// attachments a TNEF-aware reader shows, attached items among them. The library
// only sees streams we have read through and rebuilt first (TnefStream.h). (Kept
// apart from the MAPI model's headers: libytnef's own headers define MAPI names
// as macros.)
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::mime {

struct TnefContent;

struct TnefAttachment {
    std::string longName;     // PR_ATTACH_LONG_FILENAME, else the display name, else the 8.3 title
    std::string mimeType;     // PR_ATTACH_MIME_TAG, when given
    std::string contentId;    // PR_ATTACH_CONTENT_ID, when given
    std::string data;
    std::vector<TnefContent> message;  // an attached message (one at most), instead of data
};

struct TnefContent {
    std::string body;           // PR_BODY as UTF-8, or empty
    std::string html;           // PR_HTML bytes, or empty
    std::string rtfCompressed;  // PR_RTF_COMPRESSED as stored, or empty
    std::string rtf;            // the same decompressed, or empty
    std::vector<TnefAttachment> attachments;
};

// The content of a TNEF stream; nullopt when it is no TNEF stream or cannot be read.
std::optional<TnefContent> DecodeTnef(std::string_view bytes);

}  // namespace bv::mailstore::mime
