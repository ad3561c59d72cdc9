// What a MIME part GMime parsed holds and how it is described: its content, decoded
// from its transfer encoding (in pieces, however large), its media type, disposition
// and file name.
#pragma once
#include <gmime/gmime.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mime {

bool IsTransferEncoded(GMimeContentEncoding enc);

// Undoes a Content-Transfer-Encoding. Returns false when the encoded data was damaged
// (invalid base64 and the like), with `problem` saying how; what could be decoded is
// in `out` all the same.
bool DecodeContent(std::string_view raw, GMimeContentEncoding enc, mapi::Binary& out, std::string& problem);

// The same for content read from `stream` (from its start to its end), `chunk` bytes
// at a time: the encoded content is never held whole. The result and the verdict are
// DecodeContent's for the same bytes. A uuencoded stream is read whole first (its
// "begin" line decides what follows).
bool DecodeStream(GMimeStream* stream, GMimeContentEncoding enc, mapi::Binary& out, std::string& problem,
                  size_t chunk = size_t(1) << 16);

// The bytes the parser read from `sourceAt` on, where a part's content can be found in
// place (the top header's Content-* fields before them hold none); empty when unknown.
struct ParsedBytes {
    std::string_view source;
    size_t sourceAt = 0;
};

// Where the content of a part lies in `parsed.source`: after the line that ends its
// header (a part whose header lies before the source starts where it does). Nothing
// for a part without a header.
std::optional<size_t> ContentStart(GMimeObject* part, const ParsedBytes& parsed);

// A part's content as stored (still transfer-encoded): the bytes the parser read, in
// place where they are in memory (a part of the message's bytes), else a copy.
struct RawBytes {
    std::string_view view;
    std::string copy;
    operator std::string_view() const { return view; }
};
RawBytes RawContent(GMimePart* part, const ParsedBytes& parsed = {});

bool IsUuencoded(GMimePart* part);

// The part's content decoded: from the bytes in place when they are found in memory,
// else read from its stream in pieces.
bool DecodePartContent(GMimePart* part, mapi::Binary& out, std::string& problem, const ParsedBytes& parsed = {});

// The media type, lower case ("text/plain" for a Content-Type without a subtype;
// "application/octet-stream" for one that names nothing a reader knows).
std::string MimeTypeOf(GMimeObject* obj);
// The Content-Disposition's value, lower case; empty without one.
std::string DispositionOf(GMimeObject* obj);
// An encrypted S/MIME message's part (not signed data, not a certificate bundle).
bool IsEncryptedSmime(GMimePart* part, const std::string& mimeType);

// The last element of a path a file name carries ("x.png" for "C:\TEMP\x.png").
std::string BaseName(std::string name);
// The file name of a part (Content-Disposition filename, else Content-Type name), as
// UTF-8; empty when it has none.
std::string PartFileName(GMimeObject* obj);

}  // namespace bv::mailstore::mime
