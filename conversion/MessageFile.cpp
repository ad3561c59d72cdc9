#include "conversion/MessageFile.h"

#include <filesystem>

#include "mailstore/MailStoreError.h"
#include "mailstore/base/CompleteFile.h"

namespace bv::conversion {

MessageFileWrite WriteMessageFile(const std::string& path, std::string_view data) {
    MessageFileWrite result;
    try {
        result.alreadyThere = !mailstore::base::WriteCompleteFileUnlessSame(std::filesystem::u8path(path), data);
    } catch (const mailstore::MailStoreError& e) {
        result.failure = Failure{path, e.what()};
        result.failure->system = mailstore::SystemErrorOf(e);
    }
    return result;
}

}  // namespace bv::conversion
