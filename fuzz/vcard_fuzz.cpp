// vCard files: any bytes are read card by card without a crash, a leak or a hang; every
// card either fails with a line inside the input or becomes a contact whose strings are
// valid UTF-8.
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzCommon.h"
#include "mailstore/vcard/CardReader.h"
#include "mailstore/vcard/ContactItem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    bv::mailstore::vcard::CardReader reader(in);
    bv::mailstore::vcard::Card card;
    int lines = 1;
    for (size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    while (reader.Next(card)) {
        BV_FUZZ_CHECK(card.firstLine >= 1 && card.firstLine <= lines);
        if (!card.error.empty()) {
            BV_FUZZ_CHECK(card.errorLine >= 1 && card.errorLine <= lines);
            continue;
        }
        bv::fuzz::CheckMessageStrings(bv::mailstore::vcard::ContactFromCard(card));
    }
    return 0;
}
