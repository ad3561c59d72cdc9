// HEADER and ROOT of a Unicode .pst ([MS-PST] §2.2.2.5, §2.2.2.6).
#pragma once
#include <array>
#include <cstdint>

#include "mailstore/pst/ndb/NdbTypes.h"

namespace bv::mailstore::pst {

constexpr size_t kHeaderSize = 564;      // Unicode HEADER bytes we read and write
constexpr uint16_t kVerUnicode = 23;     // wVer of a Unicode store
constexpr uint8_t NDB_CRYPT_NONE = 0x00;
constexpr uint8_t NDB_CRYPT_PERMUTE = 0x01;
constexpr uint8_t NDB_CRYPT_CYCLIC = 0x02;
constexpr uint8_t FAMAP_VALID = 0x02;

struct Root {
    Ib ibFileEof = 0;
    Ib ibAMapLast = 0;
    uint64_t cbAMapFree = 0;
    uint64_t cbPMapFree = 0;
    Bref BREFNBT;
    Bref BREFBBT;
    uint8_t fAMapValid = 0;
};

struct Header {
    uint16_t wVer = kVerUnicode;
    uint16_t wVerClient = 19;
    Bid bidNextP = 0;
    uint32_t dwUnique = 0;
    std::array<uint32_t, 32> rgnid{};  // last nidIndex handed out per nidType
    Root root;
    uint8_t bCryptMethod = NDB_CRYPT_NONE;
    Bid bidNextB = 0;

    // The initial rgnid of a new store ([MS-PST] §2.2.2.6).
    static std::array<uint32_t, 32> InitialRgnid();

    void Serialize(uint8_t* out /* kHeaderSize bytes */) const;
    // Throws MailStoreError naming the field when the bytes are no Unicode HEADER.
    static Header Parse(const uint8_t* in, size_t size);
};

}  // namespace bv::mailstore::pst
