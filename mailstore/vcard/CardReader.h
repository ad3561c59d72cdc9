// Reads the cards of a vCard file one at a time, so a file of any size is read in
// the memory of its largest card (and 8 bytes and a count per UID, for the cards'
// identities: CardIdentity). Lines are unfolded here: a line starting with a
// space or tab continues the one before, a QUOTED-PRINTABLE value ending in "="
// continues on the next line, and a vCard 2.1 BASE64 value goes on until a blank line.
#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <unordered_map>
#include <vector>

#include "mailstore/vcard/ContentLine.h"

namespace bv::mailstore::vcard {

struct Card {
    int firstLine = 0;  // the line of BEGIN:VCARD
    std::vector<ContentLine> lines;  // between BEGIN and END, in order
    // Set when the card cannot be read; `errorLine` is where.
    std::string error;
    int errorLine = 0;
    // Cards of the file before this one with the same UID (CardUid): each is known by
    // its place among them too.
    int sameUidBefore = 0;
};

class CardReader {
public:
    explicit CardReader(std::istream& in) : in_(in) {}
    // The next card, also one that cannot be read (its `error` set). False at the end.
    bool Next(Card& card);
    // The bytes read so far.
    uint64_t BytesRead() const { return bytes_; }

private:
    // The next unfolded line and the number of its first physical line. False at the end.
    bool NextLogical(std::string& text, int& line);
    bool NextPhysical(std::string& text);

    std::istream& in_;
    std::string peeked_;
    bool hasPeeked_ = false;
    std::string pending_;  // a logical line given back
    int pendingLine_ = 0;
    bool hasPending_ = false;
    int physical_ = 0;  // physical lines read
    uint64_t bytes_ = 0;
    std::unordered_map<uint64_t, int> uids_;  // hashes of the UIDs of the cards read -> how many
};

}  // namespace bv::mailstore::vcard
