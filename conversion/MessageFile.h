// Writing one message file (.eml, .emlx) so that it is complete or absent.
#pragma once
#include <string>
#include <string_view>

namespace bv::conversion {

// Writes `data` to `path`, replacing a file of that name. On failure returns false,
// leaves nothing behind and says why in `error`.
bool WriteMessageFile(const std::string& path, std::string_view data, std::string* error);

// Whether a file `path` is there holding exactly `data` (a message converted before).
bool SameFileContent(const std::string& path, std::string_view data);

// Removes a file; true when it is gone afterwards.
bool DeleteFileQuietly(const std::string& path);

}  // namespace bv::conversion
