// Writing one message file (.eml, .emlx) so that it is complete or absent.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "conversion/RunObserver.h"

namespace bv::conversion {

struct MessageFileWrite {
    bool alreadyThere = false;       // a file of this content was there: left as it is
    std::optional<Failure> failure;  // nothing is left behind then
};

// Writes `data` to `path`, replacing a file of that name unless it holds exactly
// `data` already (the message converted before).
MessageFileWrite WriteMessageFile(const std::string& path, std::string_view data);

}  // namespace bv::conversion
