#include "conversion/MessageFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

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

bool SameFileContent(const std::string& path, std::string_view data) {
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::u8path(path);
    if (std::filesystem::file_size(file, ec) != data.size() || ec) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string chunk(64 * 1024, '\0');
    size_t pos = 0;
    while (pos < data.size()) {
        in.read(chunk.data(), std::streamsize(std::min(chunk.size(), data.size() - pos)));
        const size_t got = size_t(in.gcount());
        if (got == 0 || data.compare(pos, got, chunk.data(), got) != 0) return false;
        pos += got;
    }
    return true;
}

}  // namespace bv::conversion
