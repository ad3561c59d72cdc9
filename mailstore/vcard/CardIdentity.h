// How a contact is recognised in a store that may hold it already (each item is stored
// once): the search key of the card's contact, set where the contact is made, which
// the store compares as it does a message's.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "mailstore/vcard/CardReader.h"

namespace bv::mailstore::vcard {

// The card's UID, without blanks around it; "" when it has none.
std::string CardUid(const Card& card);

// The card's UID when it has one, with its place among the cards of the file that have
// the same UID when it is not the first (Card::sameUidBefore); otherwise a digest of its
// content lines, each as it was read (unfolded, names and groups in upper case,
// parameters and raw value as written), in order. Left out of the digest: the lines
// that say when or by what the card was written (REV, PRODID, VERSION). The same card
// read twice, from any file or line, gives the same key; the key does not depend on
// the platform.
std::vector<uint8_t> CardSearchKey(const Card& card);

}  // namespace bv::mailstore::vcard
