// A vCard as an Outlook contact item (IPM.Contact): names and file-as, e-mail
// addresses as Email1..3, phones by kind, the home, work and other addresses with the
// mailing one marked, work, dates, web page, categories and the photo as the contact
// picture. What a card holds beyond these fields is appended to the notes.
#pragma once
#include <string>

#include "mailstore/mapi/Message.h"
#include "mailstore/vcard/CardReader.h"

namespace bv::mailstore::vcard {

// The contact of a card that could be read (card.error empty).
mapi::Message ContactFromCard(const Card& card);

}  // namespace bv::mailstore::vcard
