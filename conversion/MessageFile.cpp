#include "conversion/MessageFile.h"

#include <filesystem>

#include "mailstore/MailStoreError.h"
#include "mailstore/base/CompleteFile.h"

namespace bv::conversion {

std::optional<Failure> WriteMessageFile(const std::string& path, std::string_view data) {
    try {
        base::WriteCompleteFile(std::filesystem::u8path(path), data);
    } catch (const mailstore::MailStoreError& e) {
        return Failure{path, e.what()};
    }
    return std::nullopt;
}

}  // namespace bv::conversion
