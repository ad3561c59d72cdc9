// The store's name-to-ID map ([MS-PST] §2.4.7, node 0x61): which property id (0x8000 and
// up) each named property has in this store. The records, streams and hash buckets are
// mapi::NameIdMap's; here is what is the store's own: the lock (messages are built on
// worker threads, so a name gets its id under it), the names a new store starts with and
// the properties of node 0x61, written back at Close when the map grew.
#pragma once
#include <cstdint>
#include <vector>

#include "mailstore/base/ThreadSync.h"
#include "mailstore/mapi/Message.h"
#include "mailstore/mapi/NameIdMap.h"
#include "mailstore/pst/ltp/PropertyContext.h"

namespace bv::mailstore::pst {

class NameToIdMap {
public:
    // The map of a new store. It holds the names Outlook registers first and that we
    // write ourselves: "Keywords" in PS_PUBLIC_STRINGS (categories) and
    // PidLidInternetAccountName. A map without entries is legal, but some readers refuse
    // a store whose map or string stream is empty.
    static NameToIdMap ForNewStore();
    // The map of a store we opened, from the properties of its node 0x61. Entries it
    // holds keep their ids; its streams are kept byte for byte and only appended to.
    static NameToIdMap FromProperties(std::vector<PcProp> props);

    NameToIdMap(NameToIdMap&& other) noexcept;

    // The property id of `name` in this store, given the next free id when the map does
    // not hold it yet. Thread-safe. Throws MailStoreError when the ids run out.
    uint16_t IdOf(const mapi::PropertyName& name);

    // Whether entries were added since the map was read (or created).
    bool Changed() const;
    // The properties of node 0x61: bucket count, GUID, entry and string streams, buckets.
    std::vector<PcProp> Properties() const;

private:
    NameToIdMap(mapi::NameIdMap map, std::vector<PcProp> otherProps);

    mutable base::Mutex mutex_;
    mapi::NameIdMap map_;
    size_t namesRead_;                  // entries the map held when read
    std::vector<PcProp> otherProps_;    // anything else node 0x61 held
};

}  // namespace bv::mailstore::pst
