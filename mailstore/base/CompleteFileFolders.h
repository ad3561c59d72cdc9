// Where a complete file is made before it gets its name, on Windows: while a batch of
// files lives (CompleteFileBatch), in a work folder inside the target's own folder, one
// per folder and process, made on the folder's first file and removed when the last
// batch ends. What ended runs left there is cleared away when a folder is first used.
#pragma once
#include <filesystem>
#include <optional>

namespace bv::mailstore::base {

// The name under which the file for `path` is made in its folder's work folder, or none
// (no batch lives, or no work folder could be made there: the file is then made beside
// its name).
std::optional<std::filesystem::path> WorkFolderPathFor(const std::filesystem::path& path);

}  // namespace bv::mailstore::base
