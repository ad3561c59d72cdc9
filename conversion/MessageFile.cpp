#include "conversion/MessageFile.h"

#include <filesystem>

#include "mailstore/base/CompleteFile.h"

namespace bv::conversion {

std::optional<Failure> WriteMessageFile(const std::string& path, std::string_view data) {
    std::string failure = base::WriteCompleteFile(std::filesystem::u8path(path), data);
    if (failure.empty()) return std::nullopt;
    return Failure{path, std::move(failure)};
}

}  // namespace bv::conversion
