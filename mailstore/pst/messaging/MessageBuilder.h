// Turns a mapi::Message into the node image of a message object ([MS-PST] §2.4.5,
// §2.4.6): the message PC, the recipient TC (subnode 0x692), the attachment TC
// (0x671) and one PC subnode per attachment, embedded messages as subnodes of
// their attachment. The properties are encoded as given (mapi::CompleteMessage gives
// them their defaults); the builder adds only what the store keeps of its own.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "mailstore/mapi/Message.h"
#include "mailstore/pst/ltp/LtpNode.h"
#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/messaging/StoreHandles.h"

namespace bv::mailstore::pst {

class NameToIdMap;

// The named properties of one message and their ids, at every level of it: the
// message, its recipients and attachments, and embedded messages below them at any
// depth. The one place where a message's named properties get their ids: from the map
// it is built with, then, when a store with another map takes it, from that map.
class MessageNames {
public:
    // Ids from `map` (thread-safe); without a map named properties are left out.
    explicit MessageNames(NameToIdMap* map) : map_(map) {}
    // The id of `name` in the map, noted as one the message uses; none without a map.
    std::optional<uint16_t> IdOf(const mapi::PropertyName& name);
    // The id the message's blocks carry for `name`, when it uses that name.
    std::optional<uint16_t> Find(const mapi::PropertyName& name) const;
    // Takes the ids of `map`, which learns the names it lacks: the ids that change, old -> new.
    std::map<uint16_t, uint16_t> MoveTo(NameToIdMap& map);
    size_t Count() const { return used_.size(); }

private:
    NameToIdMap* map_;
    std::map<mapi::PropertyName, uint16_t> used_;
};

struct BuiltMessage {
    LtpNode node;                // PC blocks + subnodes
    std::vector<PcProp> props;   // the PC's properties as stored
    uint32_t messageSize = 0;    // PidTagMessageSize
    int32_t messageFlags = 0;
};

// Named properties get their ids from `names` (thread-safe); without a map they are left out.
// A large recipient table waits in an unnamed temporary file in `spoolDir` (the store's
// folder) until the message is written, not in memory; without a folder it is held.
BuiltMessage BuildMessage(const mapi::Message& message, NameToIdMap* names = nullptr,
                          const std::filesystem::path& spoolDir = {});

// A message built and sealed ahead of the store that takes it, its named properties
// kept by name with the ids its blocks carry now; the store it is added to gives them
// the ids of its own map (FitToStore).
struct PreparedMessage {
    BuiltMessage built;   // its node sealed with `cryptMethod`
    uint8_t cryptMethod;
    MessageNames names;   // the named properties of the message and of everything below it
};

// Builds and seals a message, its named properties given ids by `names` (thread-safe);
// `spoolDir` as for BuildMessage. Blocks in the spool stay plain: they are sealed when
// the store writes them, so a spooled message fits a store of either crypt method.
PreparedMessage PrepareMessage(const mapi::Message& message, NameToIdMap& names, uint8_t cryptMethod,
                               const std::filesystem::path& spoolDir = {});
// The same for a message not needed after: its values (attachments' data, bodies) are
// moved into the prepared message, not copied, so that none is held twice. What is
// left of `message` is fit only to be destroyed; its warnings stay as they were. A
// long text given `apart` takes the place of its property in the message.
PreparedMessage PrepareMessage(mapi::Message&& message, NameToIdMap& names, uint8_t cryptMethod,
                               const std::filesystem::path& spoolDir = {}, TextApart apart = {});
// Makes a prepared message fit a store with the map `names` and `cryptMethod`: each
// named property, at every level of the message, gets the store's id for its name (the
// store's map learns names it lacks), and the blocks are sealed again for another crypt
// method.
void FitToStore(PreparedMessage& message, NameToIdMap& names, uint8_t cryptMethod);

// Properties of a message or attachment that the store computes and so never stores
// ([MS-PST] §2.5.2).
bool IsComputedProperty(uint16_t id);

}  // namespace bv::mailstore::pst
