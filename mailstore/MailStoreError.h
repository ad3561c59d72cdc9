// The failures of the mail store layers, as data. Each kind says what it is by its
// type and carries what a caller decides by (the system's error code and the file, the
// store's path, the format's structure and field); what() is the text for the places
// that only show a failure, made from that data when it is raised. A caller that tells
// the user more (the report's "the disk is full ...") makes its own text from the data.
//
//   MailStoreError  every failing mail store operation; the base of the kinds below
//   IoError         a system call on a file failed: operation, file, error code
//                   (DiskFull() when the disk or the quota is full)
//   FormatFault     a file breaks its format: structure, field, what is wrong
//   StoreInUseError the store is open for writing in another program (pst/)
//   NotAStoreError  the file is no store that can be opened; wraps its cause (pst/)
#pragma once
#include <exception>
#include <stdexcept>
#include <string>
#include <system_error>

namespace bv::mailstore {

class MailStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    // A failure that words another, keeping the system's error underneath it.
    MailStoreError(const std::string& text, std::error_code system) : std::runtime_error(text), system_(system) {}
    // The system's error underneath this failure (its own, or its cause's); none when
    // the system reported none.
    std::error_code SystemError() const { return system_; }

private:
    std::error_code system_;
};

// The system's error underneath any failure: a MailStoreError's, a std::system_error's
// (std::filesystem's too); none for others.
std::error_code SystemErrorOf(const std::exception& failure);

// Whether `code` says the disk is full: no space left, or a disk quota used up (and
// the Windows codes for both).
bool IsDiskFull(std::error_code code);

// The system's words for `code` (on Windows its own, in UTF-8, without the final
// period), from the platform's file layer.
std::string SystemErrorText(std::error_code code);

// A system call on a file failed. `file` names the file as a reader knows it: its
// path, or what it is ("the store"). Raised by base::PlatformFile and the complete
// file writer, with the code the system returned.
class IoError : public MailStoreError {
public:
    enum class Operation { Open, Create, Read, Write, Resize, ReadSize, Lock, MoveInto };
    IoError(Operation operation, std::string file, std::error_code code);

    Operation operation() const { return operation_; }
    const std::string& file() const { return file_; }
    std::error_code code() const { return SystemError(); }
    bool DiskFull() const { return IsDiskFull(code()); }

    // "cannot open <file>: <the system's words>" ("cannot open: ..." without a file)
    static std::string Text(Operation operation, const std::string& file, std::error_code code);

private:
    Operation operation_;
    std::string file_;
};

// A file that breaks its format: the structure and the field at fault, and what is
// wrong with its value ("BTPAGE cEnt out of range").
class FormatFault : public MailStoreError {
public:
    FormatFault(std::string structure, std::string field, std::string problem)
        : MailStoreError(structure + " " + field + " " + problem),
          structure_(std::move(structure)),
          field_(std::move(field)),
          problem_(std::move(problem)) {}

    const std::string& structure() const { return structure_; }
    const std::string& field() const { return field_; }
    const std::string& problem() const { return problem_; }

private:
    std::string structure_, field_, problem_;
};

}  // namespace bv::mailstore
