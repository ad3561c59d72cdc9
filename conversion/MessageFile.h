// Writing one message file so that it is complete or absent: the file is created,
// written in one go and closed; when any of that fails the partial file is removed.
#pragma once
#include <string>
#include <string_view>

namespace bv::conversion {

// Writes `data` to `path`, replacing a file of that name. On failure returns false,
// removes what was written and says why in `error`.
bool WriteMessageFile(const std::string& path, std::string_view data, std::string* error);

// Removes a file; true when it is gone afterwards.
bool DeleteFileQuietly(const std::string& path);

}  // namespace bv::conversion
