#include "mailstore/base/CompleteFileFolders.h"

#include "mailstore/base/CompleteFile.h"

#ifdef _WIN32
#include <map>
#include <string>
#include <string_view>

#include "mailstore/base/ThreadSync.h"
#include "mailstore/base/WindowsApi.h"
#endif

namespace bv::mailstore::base {

#ifdef _WIN32
namespace {

// A work folder is ".brimvault-<process id>.tmp"; a file made beside its name (no batch)
// is "<name>.tmp<process id>-<n>".
constexpr std::wstring_view kWorkPrefix = L".brimvault-", kWorkSuffix = L".tmp", kBesideMark = L".tmp";

// The number `text` spells in decimal digits, if it is only that.
std::optional<DWORD> Number(std::wstring_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    unsigned long long n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        n = n * 10 + unsigned(c - L'0');
    }
    if (n > 0xFFFFFFFFull) return std::nullopt;
    return DWORD(n);
}

// The process that made the work folder `name`, if it is one.
std::optional<DWORD> WorkFolderProcess(std::wstring_view name) {
    if (!name.starts_with(kWorkPrefix) || !name.ends_with(kWorkSuffix)) return std::nullopt;
    name.remove_prefix(kWorkPrefix.size());
    name.remove_suffix(kWorkSuffix.size());
    return Number(name);
}

// The process that made the file `name` beside its own name, if it is one.
std::optional<DWORD> BesideFileProcess(std::wstring_view name) {
    const size_t mark = name.rfind(kBesideMark);
    if (mark == std::wstring_view::npos || mark == 0) return std::nullopt;
    const std::wstring_view rest = name.substr(mark + kBesideMark.size());
    const size_t dash = rest.find(L'-');
    if (dash == std::wstring_view::npos || !Number(rest.substr(dash + 1))) return std::nullopt;
    return Number(rest.substr(0, dash));
}

// Whether the process `id` has ended. An earlier process that had this one's id has;
// a file this one is writing cannot be removed anyway (it is open for this writer
// alone). Where the answer is not known (another user's process), it has not.
bool Ended(DWORD id) {
    if (id == GetCurrentProcessId()) return true;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// Calls `each` with every entry of `folder` (not "." and "..").
template <class Each>
void ForEachEntry(const std::wstring& folder, const Each& each) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..") each(name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// Removes the files in the work folder `folder` (all of them made there by a writer),
// then the folder; what cannot go (a file still open) stays.
void RemoveWorkFolder(const std::wstring& folder) {
    ForEachEntry(folder, [&](std::wstring_view name, bool isFolder) {
        if (!isFolder) DeleteFileW((folder + L"\\" + std::wstring(name)).c_str());
    });
    RemoveDirectoryW(folder.c_str());
}

// What runs that ended before they finished left in `folder`: their work folders and
// their files under temporary names. Nothing else is touched.
void ClearLeftovers(const std::wstring& folder) {
    ForEachEntry(folder, [&](std::wstring_view name, bool isFolder) {
        const std::optional<DWORD> process = isFolder ? WorkFolderProcess(name) : BesideFileProcess(name);
        if (!process || !Ended(*process)) return;
        const std::wstring path = folder + L"\\" + std::wstring(name);
        if (isFolder) RemoveWorkFolder(path);
        else DeleteFileW(path.c_str());
    });
}

// The work folder of this process in `folder`, made hidden; empty when it cannot be made.
std::wstring MakeWorkFolder(const std::wstring& folder) {
    ClearLeftovers(folder);
    const std::wstring work =
        folder + L"\\" + std::wstring(kWorkPrefix) + std::to_wstring(GetCurrentProcessId()) + std::wstring(kWorkSuffix);
    // (Still there: left by an ended process with this id, with a file that stays open.)
    if (!CreateDirectoryW(work.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {};
    SetFileAttributesW(work.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return work;
}

struct Batches {
    Mutex mutex;
    int live = 0;
    std::map<std::wstring, std::wstring> work;  // a folder -> its work folder (empty: none)
};

Batches& TheBatches() {
    static Batches batches;
    return batches;
}

}  // namespace

std::optional<std::filesystem::path> WorkFolderPathFor(const std::filesystem::path& path) {
    Batches& batches = TheBatches();
    const std::lock_guard lock(batches.mutex);
    if (batches.live == 0) return std::nullopt;
    auto [it, added] = batches.work.try_emplace(std::filesystem::absolute(path).parent_path().wstring());
    if (added) it->second = MakeWorkFolder(it->first);
    if (it->second.empty()) return std::nullopt;
    return std::filesystem::path(it->second) / path.filename();
}

CompleteFileBatch::CompleteFileBatch() {
    Batches& batches = TheBatches();
    const std::lock_guard lock(batches.mutex);
    ++batches.live;
}

CompleteFileBatch::~CompleteFileBatch() {
    Batches& batches = TheBatches();
    const std::lock_guard lock(batches.mutex);
    if (--batches.live > 0) return;
    for (const auto& [folder, work] : batches.work)
        if (!work.empty()) RemoveWorkFolder(work);
    batches.work.clear();
}
#else
// Elsewhere files are made unnamed (or beside their names): a batch changes nothing.
std::optional<std::filesystem::path> WorkFolderPathFor(const std::filesystem::path&) { return std::nullopt; }
CompleteFileBatch::CompleteFileBatch() = default;
CompleteFileBatch::~CompleteFileBatch() = default;
#endif

}  // namespace bv::mailstore::base
