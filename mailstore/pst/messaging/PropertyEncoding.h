// MAPI property values <-> the bytes a Unicode .pst stores ([MS-PST] §2.3.3).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "mailstore/mapi/Message.h"
#include "mailstore/pst/ltp/PropertyContext.h"

namespace bv::mailstore::pst {

Bytes Utf16(const std::string& utf8);
std::string FromUtf16(const Bytes& utf16);

// The on-disk form of a property; PT_STRING8 values are stored as PT_UNICODE, as a
// Unicode store expects. Returns nothing for types we do not store (PT_OBJECT...).
std::optional<PcProp> EncodeProperty(uint16_t id, const mapi::Property& prop);
// The model form of a stored property.
mapi::Property DecodeProperty(const PcProp& prop);

PcProp PropLong(uint32_t tag, int32_t v);
PcProp PropBool(uint32_t tag, bool v);
PcProp PropTime(uint32_t tag, int64_t filetime);
PcProp PropString(uint32_t tag, const std::string& utf8);
PcProp PropBinary(uint32_t tag, Bytes v);
// A long text (mapi::kLongText bytes or more) stored as PT_UNICODE: kept as UTF-8 and
// made into UTF-16 as its data tree is written, never held in both forms.
PcProp PropLongText(uint16_t id, std::string utf8);
inline uint32_t TagOf(const PcProp& p) { return (uint32_t(p.id) << 16) | p.type; }

// A store entry ID ([MS-PST] §2.4.3.2): rgbFlags(4) = 0, uid (the store record key), nid.
Bytes MakeEntryId(const Bytes& recordKey, Nid nid);

// FILETIME of the current time.
int64_t FileTimeNow();

}  // namespace bv::mailstore::pst
