// Turns a mapi::Message into the node image of a message object ([MS-PST] §2.4.5,
// §2.4.6): the message PC, the recipient TC (subnode 0x692), the attachment TC
// (0x671) and one PC subnode per attachment, embedded messages as subnodes of
// their attachment.
#pragma once
#include <cstdint>
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

struct PreparedMessage {
    BuiltMessage built;   // its node sealed for the store below
    uint8_t cryptMethod;
};

// Properties of a message or attachment that the store computes and so never stores
// ([MS-PST] §2.5.2).
bool IsComputedProperty(uint16_t id);

}  // namespace bv::mailstore::pst
