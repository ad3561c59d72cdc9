// Where a mailbox's bytes come from when they are not a file of their own: a member
// read out of an archive as it is decompressed. InputFile reads a file with read(2)
// itself and takes any other source through this interface.
#pragma once
#include <cstddef>
#include <string>

namespace bv::conversion {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes into `buffer`: the count read, 0 at the end of the
    // bytes, -1 when they cannot be read (error() then says why). Reading on after the
    // end or a failure keeps returning the same.
    virtual long Read(char* buffer, size_t size) = 0;
    virtual const std::string& error() const = 0;
};

}  // namespace bv::conversion
