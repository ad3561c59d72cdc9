// PR_RTF_COMPRESSED values ([MS-OXRTFCP]): the RTF they hold.
#pragma once
#include <string>
#include <string_view>

namespace bv::mailstore::mime {

// The RTF of a compressed ("LZFu") or uncompressed ("MELA") value; empty when its
// header does not hold. A compressed stream cut short gives what it holds up to there.
std::string DecompressRtf(std::string_view value);

}  // namespace bv::mailstore::mime
