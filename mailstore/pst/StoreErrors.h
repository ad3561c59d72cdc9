// The failures of opening a .pst store, as data (the other kinds, IoError and
// FormatFault, are every mail store layer's: mailstore/MailStoreError.h).
#pragma once
#include <exception>
#include <filesystem>
#include <string>

#include "mailstore/MailStoreError.h"

namespace bv::mailstore::pst {

// The store is open for writing in another program (or another store object of this
// one). Raised by the node database when it cannot take the file's lock.
class StoreInUseError : public MailStoreError {
public:
    explicit StoreInUseError(std::filesystem::path path)
        : MailStoreError(path.string() + " is " + Reason()), path_(std::move(path)) {}
    const std::filesystem::path& path() const { return path_; }
    // What is wrong with the store, after its path and "is".
    static std::string Reason() { return "being written by another program"; }

private:
    std::filesystem::path path_;
};

// A file that is there but is no store that can be opened: its header is not a
// Unicode .pst's, or its nodes cannot be followed. Raised by Store when it opens the
// file, inside the handler of its cause: what was found wrong (a FormatFault, or an
// IoError reading it), kept whole.
class NotAStoreError : public MailStoreError {
public:
    NotAStoreError(std::filesystem::path path, const MailStoreError& cause)
        : MailStoreError(path.string() + " is " + Reason(cause.what()), cause.SystemError()),
          path_(std::move(path)),
          cause_(std::current_exception()),
          causeText_(cause.what()) {}
    const std::filesystem::path& path() const { return path_; }
    // What was found wrong, to be rethrown and caught by its kind.
    std::exception_ptr cause() const { return cause_; }
    const std::string& causeText() const { return causeText_; }
    // What is wrong with the file, after its path and "is".
    std::string Reason() const { return Reason(causeText_); }
    static std::string Reason(const std::string& cause) { return "not a .pst store that can be opened: " + cause; }

private:
    std::filesystem::path path_;
    std::exception_ptr cause_;
    std::string causeText_;
};

}  // namespace bv::mailstore::pst
