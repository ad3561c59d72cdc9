#include "conversion/DiskFull.h"

#include <cerrno>
#include <system_error>

namespace bv::conversion {

namespace {

// The system's words for a full disk found in `reason`, "" when there are none.
std::string DiskFullWords(const std::string& reason) {
    for (int error : {ENOSPC,
#ifdef EDQUOT
                      EDQUOT
#endif
         }) {
        const std::string words = std::generic_category().message(error);
        if (reason.find(words) != std::string::npos) return words;
    }
    return std::string();
}

}  // namespace

bool IsDiskFull(const std::string& reason) { return !DiskFullWords(reason).empty(); }

std::string DiskFullReason(const std::string& reason) {
    std::string words = DiskFullWords(reason);
    if (words.empty()) words = reason;
    return "the disk is full (" + words + "); the conversion stopped there";
}

}  // namespace bv::conversion
