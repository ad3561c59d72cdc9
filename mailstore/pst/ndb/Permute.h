// Data block encoding NDB_CRYPT_PERMUTE ([MS-PST] §5.1).
#pragma once
#include <cstddef>
#include <cstdint>

namespace bv::mailstore::pst {

void PermuteEncode(uint8_t* data, size_t size);
void PermuteDecode(uint8_t* data, size_t size);
// The portable form of PermuteEncode, for tests of the vectorised one.
void PermuteEncodeScalar(uint8_t* data, size_t size);

}  // namespace bv::mailstore::pst
