// RFC 822 import to MAPI properties: any bytes give a message without a crash, an
// exception or a hang, and every string it holds is valid UTF-8 without NUL.
#include <cstdint>
#include <string_view>

#include "FuzzCommon.h"
#include "mailstore/mime/Rfc822Import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::mailstore::mapi::Message m;
    bv::mailstore::mime::ImportRfc822(std::string_view(reinterpret_cast<const char*>(data), size), m);
    bv::fuzz::CheckMessageStrings(m, /*nulFree=*/true);
    return 0;
}
