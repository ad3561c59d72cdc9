// Writing one message file (.eml, .emlx) so that it is complete or absent.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "conversion/RunObserver.h"

namespace bv::conversion {

// Writes `data` to `path`, replacing a file of that name. On failure leaves nothing
// behind and returns the failure.
std::optional<Failure> WriteMessageFile(const std::string& path, std::string_view data);

// Whether a file `path` is there holding exactly `data` (a message converted before).
bool SameFileContent(const std::string& path, std::string_view data);

}  // namespace bv::conversion
