// Turns a mapi::Message into the node image of a message object ([MS-PST] §2.4.5,
// §2.4.6): the message PC, the recipient TC (subnode 0x692), the attachment TC
// (0x671) and one PC subnode per attachment, embedded messages as subnodes of
// their attachment. The properties are encoded as given (mapi::CompleteMessage gives
// them their defaults); the builder adds only what the store keeps of its own.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "mailstore/mapi/Message.h"
#include "mailstore/pst/ltp/LtpNode.h"
#include "mailstore/pst/ltp/PropertyContext.h"

namespace bv::mailstore::pst {

class NameToIdMap;

struct BuiltMessage {
    LtpNode node;                // PC blocks + subnodes
    std::vector<PcProp> props;   // the PC's properties as stored
    uint32_t messageSize = 0;    // PidTagMessageSize
    int32_t messageFlags = 0;
};

// Named properties get their ids from `names` (thread-safe); without a map they are left out.
BuiltMessage BuildMessage(const mapi::Message& message, NameToIdMap* names = nullptr);

// A message built and sealed ahead of the store that takes it. Its named properties
// are kept by name: `names` holds each with the id its blocks carry now, and the
// store it is added to gives each the id of its own map (FitToStore).
struct PreparedMessage {
    BuiltMessage built;   // its node sealed with `cryptMethod`
    uint8_t cryptMethod;
    std::vector<std::pair<mapi::PropertyName, uint16_t>> names;  // the message's own named properties
    bool namedBelow = false;  // a recipient, attachment or embedded message has named properties
};

// Builds and seals a message, its named properties given ids by `names` (thread-safe).
PreparedMessage PrepareMessage(const mapi::Message& message, NameToIdMap& names, uint8_t cryptMethod);
// Makes a prepared message fit a store with the map `names` and `cryptMethod`: each
// named property gets the store's id for its name (the store's map learns names it
// lacks), and the blocks are sealed again for another crypt method. Throws
// MailStoreError when an id would have to change below the message itself.
void FitToStore(PreparedMessage& message, NameToIdMap& names, uint8_t cryptMethod);

// Properties of a message or attachment that the store computes and so never stores
// ([MS-PST] §2.5.2).
bool IsComputedProperty(uint16_t id);

}  // namespace bv::mailstore::pst
