// [MS-PST] §5.3: the CRC is the common CRC-32 (reflected 0xEDB88320) without the
// inversions before and after, so zlib's implementation serves, inverted around.
#include "mailstore/pst/ndb/Crc.h"

#include <zlib.h>

namespace bv::mailstore::pst {

uint32_t ComputeCrc(const uint8_t* p, size_t n, uint32_t crc) {
    return ~uint32_t(crc32_z(~crc & 0xFFFFFFFFu, p, n));
}

}  // namespace bv::mailstore::pst
