#include "conversion/PathHelpers.h"

#include <filesystem>
#include <system_error>

namespace bv::conversion {

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string PathLastPart(std::string_view path) {
    size_t i = path.size();
    while (i > 0 && !IsPathSeparator(path[i - 1])) --i;
    return std::string(path.substr(i));
}

std::string WithTrailingSeparator(std::string_view path) {
    std::string s(path);
    if (s.empty() || !IsPathSeparator(s.back())) s += kPathSeparator;
    return s;
}

size_t PathRootLength(std::string_view path) {
    // UNC root: \\server\share\ (either separator).
    if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
        size_t i = 2;
        int parts = 0;
        while (i < path.size() && parts < 2) {
            size_t start = i;
            while (i < path.size() && !IsPathSeparator(path[i])) ++i;
            if (i == start) break;  // empty component
            ++parts;
            if (i < path.size()) ++i;  // the separator after the component
        }
        return parts == 2 ? i : 2;
    }
    // Drive root: C:\ or C:/ (also C: alone).
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return (path.size() >= 3 && IsPathSeparator(path[2])) ? 3 : 2;
    // POSIX root; more than one leading separator counts as one root.
    size_t i = 0;
    while (i < path.size() && IsPathSeparator(path[i])) ++i;
    return i;
}

bool EnsureFolderPath(std::string_view path, std::error_code* why) {
    if (path.empty()) return false;
    std::error_code ec, checked;
    std::filesystem::path p = std::filesystem::u8path(std::string(path));
    std::filesystem::create_directories(p, ec);
    if (std::filesystem::is_directory(p, checked)) return true;
    if (why) *why = ec;
    return false;
}

}  // namespace bv::conversion
