#include "mailstore/MailStoreError.h"

#include <cerrno>

namespace bv::mailstore {

bool IsDiskFull(std::error_code code) {
    if (!code) return false;
    if (code == std::errc::no_space_on_device) return true;
#ifdef EDQUOT
    if (code.default_error_condition() == std::error_condition(EDQUOT, std::generic_category())) return true;
#endif
#ifdef _WIN32
    // ERROR_HANDLE_DISK_FULL, ERROR_DISK_FULL, ERROR_DISK_QUOTA_EXCEEDED
    constexpr int kHandleDiskFull = 39, kDiskFull = 112, kQuotaExceeded = 1295;
    if (code.category() == std::system_category())
        return code.value() == kHandleDiskFull || code.value() == kDiskFull || code.value() == kQuotaExceeded;
#endif
    return false;
}

std::error_code SystemErrorOf(const std::exception& failure) {
    if (const auto* store = dynamic_cast<const MailStoreError*>(&failure)) return store->SystemError();
    if (const auto* system = dynamic_cast<const std::system_error*>(&failure)) return system->code();
    return {};
}

namespace {

const char* Verb(IoError::Operation operation) {
    switch (operation) {
        case IoError::Operation::Open: return "open";
        case IoError::Operation::Create: return "create";
        case IoError::Operation::Read: return "read";
        case IoError::Operation::Write: return "write";
        case IoError::Operation::Resize: return "size";
        case IoError::Operation::ReadSize: return "read the size of";
        case IoError::Operation::Lock: return "lock";
        case IoError::Operation::MoveInto: return "move the finished store to";
    }
    return "use";
}

}  // namespace

std::string IoError::Text(Operation operation, const std::string& file, std::error_code code) {
    return std::string("cannot ") + Verb(operation) + (file.empty() ? "" : " " + file) + ": " + SystemErrorText(code);
}

IoError::IoError(Operation operation, std::string file, std::error_code code)
    : MailStoreError(Text(operation, file, code), code), operation_(operation), file_(std::move(file)) {}

}  // namespace bv::mailstore
