// What a message carries before it is written, decided once for every output: the
// .msg and .pst writers encode the properties they are given and add none of their
// own (beyond what their format itself keeps: sizes, row and node ids). A message
// from any source (the RFC 822 importer, a contact card, a calendar) is completed
// here by the conversion before it goes to either writer, so a .msg file and a store
// hold the same properties.
#pragma once
#include "mailstore/mapi/Message.h"

namespace bv::mapi {

// Completes one recipient row where it has no value of its own: recipient type To;
// the address as display name when there is no name; address type "SMTP" (with an
// address); the one-off entry ID and the search key ("SMTP:ADDRESS"); a mail user
// (object type 6, display type 0); not responsible, no rich text; and the recipient
// columns Outlook keeps with every recipient (display name, entry ID, sendable, no
// response tracked).
void CompleteRecipient(PropertyBag& recipient);

// Completes a message and every message attached to it, each where it has no value of
// its own: class "IPM.Note"; flags "read" (has-attachments is set exactly when it has
// attachments, whatever the flags said); status 0; subject prefix and normalized
// subject from the subject; each recipient (CompleteRecipient, row ids by position);
// the display To / Cc / Bcc from the recipients' names; each attachment's number (by
// position), method (embedded message or by value), rendering position (-1, none)
// and short file name (its long one).
void CompleteMessage(Message& message);

}  // namespace bv::mapi
