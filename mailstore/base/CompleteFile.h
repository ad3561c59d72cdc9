// Writing a file so that it is complete or absent: the content is written unnamed
// (or under a temporary name beside the target) and gets its name only once it is
// whole, replacing a file of that name. No partial file ever stands under the name.
#pragma once
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace bv::base {

// Writes the content to the open file; returns what failed, or "" when all went well.
using FileContentWriter = std::function<std::string(FILE*)>;

// Writes the file at `path` through `write` (buffered by this thread's buffer).
// Returns "" on success, else what failed ("cannot create the file: ...", "cannot
// write the file: ...", "cannot move ... into place: ..."); nothing is left behind then.
std::string WriteCompleteFile(const std::filesystem::path& path, const FileContentWriter& write);
// The same for content already in memory.
std::string WriteCompleteFile(const std::filesystem::path& path, std::string_view data);

}  // namespace bv::base
