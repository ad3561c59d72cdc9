// Writing a file so that it is complete or absent: the content is written unnamed
// (or under a temporary name beside the target) and gets its name only once it is
// whole, replacing a file of that name. No partial file ever stands under the name.
#pragma once
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>

namespace bv::mailstore::base {

// Writes the content to the open file; throws MailStoreError saying what failed.
using FileContentWriter = std::function<void(FILE*)>;

// Writes the file at `path` through `write` (buffered by this thread's buffer). Throws
// MailStoreError saying what failed ("cannot create the file: ...", "cannot write the
// file: ...", "cannot move ... into place: ..."); nothing is left behind then.
void WriteCompleteFile(const std::filesystem::path& path, const FileContentWriter& write);
// The same for content already in memory.
void WriteCompleteFile(const std::filesystem::path& path, std::string_view data);
// The same, unless a file of exactly this content stands under the name already: that
// one is left as it is. Whether the file was written. (Where the file system names
// finished unnamed files, the name is tried first and the content compared only when
// it is taken: converting into a new folder costs no extra look-up per file.)
bool WriteCompleteFileUnlessSame(const std::filesystem::path& path, std::string_view data);
// The same for content written through `write`: it is written (unnamed, or under a
// temporary name) and compared with the file under the name, if one is there.
bool WriteCompleteFileUnlessSame(const std::filesystem::path& path, const FileContentWriter& write);

// The files of one run. While a batch lives, a file on Windows is made in a work folder
// inside its own folder and moved into the folder when whole: a new name is looked up
// in a small folder, and the file's own name once. (Where each look-up of a name not
// yet there reads the whole folder, as under Wine, that halves what a file costs in a
// folder of many.) What runs that were cut short left in a folder (their work folders,
// their files under temporary names) is cleared away when a batch first writes there;
// the work folders go when the last batch ends. Elsewhere a batch changes nothing.
class CompleteFileBatch {
public:
    CompleteFileBatch();
    ~CompleteFileBatch();
    CompleteFileBatch(const CompleteFileBatch&) = delete;
    CompleteFileBatch& operator=(const CompleteFileBatch&) = delete;
};

}  // namespace bv::mailstore::base
