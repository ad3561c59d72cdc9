#include "conversion/DiskFull.h"

#include <cerrno>

#include "mailstore/MailStoreError.h"

namespace bv::conversion {

bool IsDiskFull(const std::exception& failure) { return IsDiskFull(mailstore::SystemErrorOf(failure)); }

std::string DiskFullReason(std::error_code code) {
    int words = ENOSPC;
#ifdef EDQUOT
    if (code.default_error_condition() == std::error_condition(EDQUOT, std::generic_category())) words = EDQUOT;
#endif
    return "the disk is full (" + std::generic_category().message(words) + "); the conversion stopped there";
}

}  // namespace bv::conversion
