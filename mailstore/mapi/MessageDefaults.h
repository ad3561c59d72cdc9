// What a message carries before it is written, decided once for every output: the
// .msg and .pst writers encode the properties they are given and add none of their
// own (beyond what their format itself keeps: sizes, row and node ids). A message
// from any source (the RFC 822 importer, a contact card, a calendar) is completed
// here by the conversion before it goes to either writer, so a .msg file and a store
// hold the same properties. Recipient rows are the exception: both writers complete
// each row here as they write it (CompletedRecipient), so that a message of many
// recipients is not held with every row's defaults.
#pragma once
#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mapi {

// Completes one recipient row where it has no value of its own: recipient type To;
// the address as display name when there is no name; address type "SMTP" (with an
// address); the one-off entry ID and the search key ("SMTP:ADDRESS"); a mail user
// (object type 6, display type 0); not responsible, no rich text; and the recipient
// columns Outlook keeps with every recipient (display name, entry ID, sendable, no
// response tracked).
void CompleteRecipient(PropertyBag& recipient);
// Recipient row `row` of a message as a writer writes it: a copy completed by
// CompleteRecipient, with `row` as its row id unless it has one. A message keeps only
// what its rows say (thousands of them may come with one message): each row is
// completed as it is written.
PropertyBag CompletedRecipient(const Recipient& recipient, size_t row);

// Completes a message and every message attached to it, each where it has no value of
// its own: class "IPM.Note"; flags "read" (has-attachments is set exactly when it has
// attachments, whatever the flags said); status 0; subject prefix and normalized
// subject from the subject; the display To / Cc / Bcc from the recipients' names
// (as CompletedRecipient gives them; the rows themselves stay as they are, for the
// writers to complete); each attachment's number (by
// position), method (embedded message or by value), rendering position (-1, none)
// and short file name (its long one).
void CompleteMessage(Message& message);
// Completes one attachment as CompleteMessage does, `index` its number.
void CompleteAttachment(Attachment& attachment, int32_t index);

}  // namespace bv::mailstore::mapi
