// The common CRC-32 (reflected 0xEDB88320) without the inversions before and after, so
// zlib's implementation serves, inverted around.
#include "mailstore/base/Crc32.h"

#include <zlib.h>

namespace bv::mailstore::base {

uint32_t ComputeCrc(const uint8_t* p, size_t n, uint32_t crc) {
    return ~uint32_t(crc32_z(~crc & 0xFFFFFFFFu, p, n));
}

}  // namespace bv::mailstore::base
