// The CRC-32 of pages and blocks ([MS-PST] §5.3): the reflected 0xEDB88320 table,
// seeded with 0 and without final inversion.
#pragma once
#include <cstddef>
#include <cstdint>

namespace bv::mailstore::pst {

uint32_t ComputeCrc(const uint8_t* data, size_t size, uint32_t crc = 0);

}  // namespace bv::mailstore::pst
