// RFC 822 / MIME message -> MAPI property model (the mail store's Import).
#pragma once
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "mailstore/mapi/Message.h"
#include "mailstore/mime/HeaderMapping.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mime {

// Parses one RFC 822 message (the bytes of an .eml file; a leading mbox "From " line
// is allowed and used as a fallback date) into `out`. Never throws for bad content:
// whatever could be read is kept and each loss is recorded in out.warnings.
// Throws MailStoreError only when the file cannot be read.
//
// What is filled (strings UTF-8 without NUL, the same for every writer; raw 8-bit
// header text is read in the charset the message's text declares, else windows-1252):
//  message     PR_MESSAGE_CLASS "IPM.Note" (or "IPM.Note.SMIME"); PR_SUBJECT, PR_SUBJECT_PREFIX, PR_NORMALIZED_SUBJECT,
//              PR_CONVERSATION_TOPIC; PR_SENDER_* and PR_SENT_REPRESENTING_* (NAME, ADDRTYPE "SMTP",
//              EMAIL_ADDRESS, SMTP_ADDRESS, ENTRYID one-off, SEARCH_KEY "SMTP:ADDR\0");
//              PR_DISPLAY_TO/CC/BCC; PR_REPLY_RECIPIENT_NAMES/_ENTRIES from Reply-To; PR_CLIENT_SUBMIT_TIME, PR_MESSAGE_DELIVERY_TIME,
//              PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME (never "now"; absent when the message
//              carries no date at all); PR_INTERNET_MESSAGE_ID, PR_IN_REPLY_TO_ID,
//              PR_INTERNET_REFERENCES, PR_TRANSPORT_MESSAGE_HEADERS (CR LF); PR_IMPORTANCE,
//              PR_PRIORITY, PR_SENSITIVITY when given; PR_BODY (CR LF), PR_HTML (UTF-8 bytes),
//              PR_NATIVE_BODY, PR_INTERNET_CPID = PR_MESSAGE_CODEPAGE = 65001; PR_MESSAGE_FLAGS
//              (read | unmodified | has-attach), PR_MESSAGE_STATUS 0, PR_SEARCH_KEY (MD5, 16 bytes).
//  recipients  PR_RECIPIENT_TYPE, PR_DISPLAY_NAME, PR_ADDRTYPE, PR_EMAIL_ADDRESS, PR_SMTP_ADDRESS,
//              PR_ENTRYID, PR_SEARCH_KEY, PR_OBJECT_TYPE 6, PR_DISPLAY_TYPE 0, PR_ROWID,
//              PR_RESPONSIBILITY, PR_SEND_RICH_INFO.
//  attachments PR_ATTACH_NUM, PR_ATTACH_METHOD (1 by value with PR_ATTACH_DATA_BIN and
//              PR_ATTACH_SIZE; 5 with `embedded` set and no data), PR_ATTACH_LONG_FILENAME,
//              PR_ATTACH_FILENAME (8.3), PR_DISPLAY_NAME, PR_ATTACH_EXTENSION, PR_ATTACH_MIME_TAG,
//              PR_RENDERING_POSITION -1, PR_ATTACH_CONTENT_ID / _LOCATION when given, and for
//              parts the HTML body shows (by cid: or location) that are not marked as
//              attachments PR_ATTACH_FLAGS ATT_MHTML_REF + PR_ATTACHMENT_HIDDEN true.
//  special     Text whose first line is no header field is the body, sender and date from
//              the "From " line (with a warning). A winmail.dat (application/ms-tnef) gives
//              its body (PR_RTF_COMPRESSED, PR_HTML, PR_BODY) and files instead of itself;
//              the message's own text, when it says something else, stays as the file
//              "message-text.txt" (or ".html"), with a warning. NUL characters, which
//              no text property can hold, are taken out of every string with a warning:
//              a text body's part is kept whole as a file, any other field's message
//              as original-message.eml.
//              An encrypted S/MIME message is IPM.Note.SMIME with its blob as attachment.
void ImportRfc822File(const std::filesystem::path& path, mapi::Message& out);
void ImportRfc822(std::string_view bytes, mapi::Message& out);
// The same for a message whose top the caller has read already (ReadMessageTop of
// the same bytes), so that its header is cut only once; `searchKey`, when not empty,
// is the message's PR_SEARCH_KEY, in place of the one made from its bytes. A writer
// that keeps at most `recipientRows` rows of a message (of each attached one too)
// says so: the rows past them are only counted (out.recipientsLeftOut), not made; so
// for `attachmentsKept`: the attachments past them are let go once made
// (out.attachmentsLeftOut). `atHand` says how long the writer keeps `bytes` and `top`:
// a message whose bytes it keeps leaves a long header to it, and with UntilWritten its
// rows may view them (MapHeaderFields).
void ImportRfc822(std::string_view bytes, const MessageTop& top, mapi::Message& out,
                  std::vector<uint8_t> searchKey = {}, size_t recipientRows = SIZE_MAX,
                  size_t attachmentsKept = SIZE_MAX, BytesAtHand atHand = BytesAtHand::RowsLeftOut);

// The whole message `bytes` as attachment number `number`: "original-message.eml", by
// value, of MIME type message/rfc822 (what a reader opens where a message could not be
// kept whole in the properties). Without `withBytes` its PR_ATTACH_DATA_BIN is left
// empty, for a writer given the bytes apart (msg::WriteMsgFile).
inline constexpr const char* kOriginalMessageName = "original-message.eml";
mapi::Attachment OriginalMessageAttachment(std::string_view bytes, int32_t number, bool withBytes = true);

}  // namespace bv::mailstore::mime
