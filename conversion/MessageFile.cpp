#include "conversion/MessageFile.h"

#include <filesystem>
#include <system_error>

#include "mailstore/base/CompleteFile.h"

namespace bv::conversion {

bool DeleteFileQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::u8path(path), ec);
    return !std::filesystem::exists(std::filesystem::u8path(path), ec);
}

bool WriteMessageFile(const std::string& path, std::string_view data, std::string* error) {
    std::string failure = base::WriteCompleteFile(std::filesystem::u8path(path), data);
    if (failure.empty()) return true;
    if (error) *error = std::move(failure);
    return false;
}

}  // namespace bv::conversion
