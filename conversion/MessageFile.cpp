#include "conversion/MessageFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "mailstore/base/CompleteFile.h"

namespace bv::conversion {

bool DeleteFileQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::u8path(path), ec);
    return !std::filesystem::exists(std::filesystem::u8path(path), ec);
}

bool SameFileContent(const std::string& path, std::string_view data) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in) return false;
    std::error_code ec;
    if (std::filesystem::file_size(std::filesystem::u8path(path), ec) != data.size() || ec) return false;
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

bool WriteMessageFile(const std::string& path, std::string_view data, std::string* error) {
    std::string failure = base::WriteCompleteFile(std::filesystem::u8path(path), data);
    if (failure.empty()) return true;
    if (error) *error = std::move(failure);
    return false;
}

}  // namespace bv::conversion
