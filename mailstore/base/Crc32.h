// The CRC-32 of the .pst's pages and blocks and of the name-to-id map's string hashes:
// the reflected 0xEDB88320 polynomial, seeded with 0 and without the final inversion.
#pragma once
#include <cstddef>
#include <cstdint>

namespace bv::mailstore::base {

uint32_t ComputeCrc(const uint8_t* data, size_t size, uint32_t crc = 0);

}  // namespace bv::mailstore::base
