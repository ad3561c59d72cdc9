// The MIME walk: a message's entity tree -> its bodies (PR_BODY, PR_HTML) and its
// attachments, attached messages imported in turn ([MS-OXCMAIL] 2.2.3.4).
#pragma once
#include <gmime/gmime.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/mapi/Message.h"
#include "mailstore/mime/HeaderMapping.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mime {

class PartWindows;

// The fields of an entity GMime parsed, as its parser cut them; valid while it lives.
HeaderFields FieldsOf(GMimeObject* obj);

// A message body of one text part, read without the MIME parser: the content as
// stored, how it is transfer-encoded, its charset.
struct SimpleText {
    bool html = false;
    std::string charset;
    std::string name;  // the Content-Type's name parameter, as it stands
    GMimeContentEncoding encoding = GMIME_CONTENT_ENCODING_DEFAULT;
    std::string_view raw;
};
// The body of a message whose header makes it one text part (text/plain or text/html,
// no disposition, at most one Content-Type and one Content-Transfer-Encoding).
// Anything else is left to GMime (nullopt).
std::optional<SimpleText> SimpleTextBody(const HeaderFields& fields, std::string_view body);

// What a message's body is: a MIME entity GMime parsed (with the bytes it parsed,
// where attached messages are read from), or one text part read without it (or
// neither, for a message without a body). `source` may leave out the parsed bytes'
// first `sourceAt` (the top header's Content-* fields and the blank line, which
// hold no attached message). A multipart of very many parts comes as `windows`
// instead of `mime`, each parsed when it is read.
struct Body {
    GMimeObject* mime = nullptr;
    const SimpleText* text = nullptr;
    std::string_view source;
    size_t sourceAt = 0;
    const PartWindows* windows = nullptr;
};

// Fills `out` from a message's header fields and body: the header's properties,
// the bodies, the attachments, flags and `searchKey`. header: the header block's
// bytes. depth: how deep this message is attached (0 at the top). Problems go to
// `warnings`. Recipient rows past `recipientRows` are only counted (MapHeaderFields),
// in attached messages too; attachments past `attachmentsKept` let go once made
// (out.attachmentsLeftOut), in attached messages too. `atHand`: what the writer keeps of
// a top-level message's bytes (MapHeaderFields); an attached message's are never kept.
// With UntilWritten, the attachments of `body.windows` are made as the writer reads them
// (out.moreAttachments), their NULs taken out; `nulsOfMade` says what held them.
void FillMessage(mapi::Message& out, int depth, std::vector<std::string>& warnings, const HeaderFields& fields,
                 Body body, std::string_view header, const Envelope& envelope,
                 const std::vector<uint8_t>& searchKey, size_t recipientRows, size_t attachmentsKept = SIZE_MAX,
                 BytesAtHand atHand = BytesAtHand::None, std::vector<std::string>* nulsOfMade = nullptr);

// Takes the NUL characters out of an attachment's strings (and of the message attached,
// at any depth), noting in `where` what held them (as ImportRfc822 does for a message).
void TakeOutNuls(mapi::Attachment& attachment, std::vector<std::string>& where, int depth = 0);

// Imports one message's bytes into `out` (the importer's top level; every attached
// message, whatever its encoding, comes back here with its own bytes one level deeper).
void ImportMessageAt(std::string_view bytes, mapi::Message& out, int depth, size_t recipientRows,
                     size_t attachmentsKept = SIZE_MAX);

}  // namespace bv::mailstore::mime
