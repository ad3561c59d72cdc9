// A message's header fields -> MAPI properties ([MS-OXCMAIL] 2.2.3.1 and 2.2.3.2):
// subject, originator, recipients, reply-to, times, identification, importance.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/mapi/Message.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mime {

// How long the writer of a top-level message keeps the message's bytes (and the
// MessageTop read from them) at hand: what the importer may leave where it lies
// rather than copy it into the message.
enum class BytesAtHand {
    None,
    // When rows were left out (the writer attaches the message whole): a long header.
    RowsLeftOut,
    // Until the message is written: a long header, and the text of the rows of plain
    // mailboxes (Recipient::Viewing).
    UntilWritten,
};

// Sets the header-derived properties and the recipient rows of `out`. header: the
// header block's bytes (PR_TRANSPORT_MESSAGE_HEADERS; none when empty); charset: the
// one the message's text declares, in which raw 8-bit header text is read
// (HeaderBytesToUtf8). Rows past `recipientRows` are not made, only counted
// (out.recipientsLeftOut); the display lists name every recipient. A header that
// HeaderLeftToWriter, of a message whose bytes `atHand` says the writer keeps, has
// PR_TRANSPORT_MESSAGE_HEADERS empty: the writer writes it from the header block, as
// TransportHeadersInPieces makes it, rather than the two be held at once.
void MapHeaderFields(const HeaderFields& fields, std::string_view header, const std::string& charset,
                     const Envelope& envelope, mapi::Message& out, size_t recipientRows = SIZE_MAX,
                     BytesAtHand atHand = BytesAtHand::None);

// A long header block of UTF-8 without NUL characters: its PR_TRANSPORT_MESSAGE_HEADERS
// is the block in CR LF and nothing else.
bool HeaderLeftToWriter(std::string_view header);
// PR_TRANSPORT_MESSAGE_HEADERS of such a header block, handed to `out` in pieces of
// about `piece` bytes.
void TransportHeadersInPieces(std::string_view header, size_t piece, const std::function<void(std::string_view)>& out);

// One plain mailbox, "addr@domain" or "Display Name <addr@domain>" (ASCII words
// separated by single blanks, no quotes, comments, encoded words or groups): fills
// name and address and returns true. Anything else returns false and is left to the
// full address parser.
bool ParseSimpleMailbox(std::string_view value, std::string& name, std::string& address);

// A mailbox of an address list: its display name (none: empty) and its address.
struct Mailbox {
    std::string name;
    std::string address;
};

// A list of such plain mailboxes separated by commas, lines folded between them or not:
// appends each to `out` and returns true. Anything else returns false, `out` as it was.
bool ParseSimpleMailboxList(std::string_view value, std::vector<Mailbox>& out);

}  // namespace bv::mailstore::mime
