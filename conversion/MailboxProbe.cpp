#include "conversion/MailboxProbe.h"

#include <cstring>

#include "conversion/InputFile.h"

namespace bv::conversion {

MboxMode ProbeLineEnds(const char* data, size_t size) {
    std::string_view block(data, size);
    if (block.find("\r\n") != std::string_view::npos) return MboxMode::Normal;
    if (block.find('\n') != std::string_view::npos) return MboxMode::NotNormal;
    return MboxMode::Normal;
}

MboxMode ReadMBOXFile(const std::string& fileName, std::string* error) {
    char block[kProbeBytes];
    long got = ReadFilePrefix(fileName, block, sizeof block, error);
    if (got < 0) return MboxMode::None;
    return ProbeLineEnds(block, size_t(got));
}

}  // namespace bv::conversion
