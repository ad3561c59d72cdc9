// Identifiers and limits of the node database: NID, BID, IB, BREF ([MS-PST] §2.2.2.1-2.2.2.4).
#pragma once
#include <cstdint>
#include <string>

#include "mailstore/MailStoreError.h"
#include "mailstore/base/LittleEndian.h"

namespace bv::mailstore::pst {

// The on-disk structures are little-endian: base/LittleEndian.h reads and writes them.
using Bytes = base::Bytes;
using base::Append16;
using base::Append32;
using base::Append64;
using base::Get16;
using base::Get32;
using base::Get64;
using base::Put16;
using base::Put32;
using base::Put64;

using Nid = uint32_t;
using Bid = uint64_t;
using Ib = uint64_t;

struct Bref {
    Bid bid = 0;
    Ib ib = 0;
};

// nidType values ([MS-PST] §2.2.2.1).
enum NidType : uint8_t {
    NID_TYPE_HID = 0x00,
    NID_TYPE_INTERNAL = 0x01,
    NID_TYPE_NORMAL_FOLDER = 0x02,
    NID_TYPE_SEARCH_FOLDER = 0x03,
    NID_TYPE_NORMAL_MESSAGE = 0x04,
    NID_TYPE_ATTACHMENT = 0x05,
    NID_TYPE_SEARCH_UPDATE_QUEUE = 0x06,
    NID_TYPE_SEARCH_CRITERIA_OBJECT = 0x07,
    NID_TYPE_ASSOC_MESSAGE = 0x08,
    NID_TYPE_CONTENTS_TABLE_INDEX = 0x0A,
    NID_TYPE_RECEIVE_FOLDER_TABLE = 0x0B,
    NID_TYPE_OUTGOING_QUEUE_TABLE = 0x0C,
    NID_TYPE_HIERARCHY_TABLE = 0x0D,
    NID_TYPE_CONTENTS_TABLE = 0x0E,
    NID_TYPE_ASSOC_CONTENTS_TABLE = 0x0F,
    NID_TYPE_SEARCH_CONTENTS_TABLE = 0x10,
    NID_TYPE_ATTACHMENT_TABLE = 0x11,
    NID_TYPE_RECIPIENT_TABLE = 0x12,
    NID_TYPE_SEARCH_TABLE_INDEX = 0x13,
    NID_TYPE_LTP = 0x1F,
};

constexpr Nid MakeNid(uint8_t type, uint32_t index) { return (index << 5) | type; }
constexpr uint8_t NidTypeOf(Nid nid) { return uint8_t(nid & 0x1F); }
constexpr uint32_t NidIndexOf(Nid nid) { return nid >> 5; }

// Special NIDs ([MS-PST] §2.4.1).
constexpr Nid NID_MESSAGE_STORE = 0x21;
constexpr Nid NID_NAME_TO_ID_MAP = 0x61;
constexpr Nid NID_NORMAL_FOLDER_TEMPLATE = 0xA1;
constexpr Nid NID_SEARCH_FOLDER_TEMPLATE = 0xC1;
constexpr Nid NID_ROOT_FOLDER = 0x122;
constexpr Nid NID_SEARCH_MANAGEMENT_QUEUE = 0x1E1;
constexpr Nid NID_SEARCH_ACTIVITY_LIST = 0x201;
constexpr Nid NID_HIERARCHY_TABLE_TEMPLATE = 0x60D;
constexpr Nid NID_CONTENTS_TABLE_TEMPLATE = 0x60E;
constexpr Nid NID_ASSOC_CONTENTS_TABLE_TEMPLATE = 0x60F;
constexpr Nid NID_SEARCH_CONTENTS_TABLE_TEMPLATE = 0x610;
constexpr Nid NID_ATTACHMENT_TABLE = 0x671;
constexpr Nid NID_RECIPIENT_TABLE = 0x692;

// Block geometry ([MS-PST] §2.2.2.8).
constexpr size_t kBlockTrailerSize = 16;
constexpr size_t kMaxBlockSize = 8192;
constexpr size_t kMaxBlockData = kMaxBlockSize - kBlockTrailerSize;  // 8176
constexpr size_t kPageSize = 512;
constexpr Bid kBidInternal = 0x2;  // BID bit 1: XBLOCK/XXBLOCK/SLBLOCK/SIBLOCK

constexpr size_t BlockAllocSize(size_t cb) { return (cb + kBlockTrailerSize + 63) / 64 * 64; }

// Every format fault names the structure and the field, e.g. "BTPAGE cEnt out of range".
[[noreturn]] inline void FormatError(const std::string& structure, const std::string& field,
                                     const std::string& what) {
    throw FormatFault(structure, field, what);
}

}  // namespace bv::mailstore::pst
