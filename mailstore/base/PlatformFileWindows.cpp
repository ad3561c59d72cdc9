// PlatformFile on Windows: wide-character names, positioned I/O through OVERLAPPED
// offsets, delete-on-close temporary files. Handles are binary and not inherited.
#ifdef _WIN32
#include "mailstore/base/PlatformFile.h"

#include "mailstore/base/WindowsApi.h"

#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>
#include <vector>

#include "mailstore/MailStoreError.h"

namespace bv::mailstore::base {
namespace {

// The system's text for `code`, in UTF-8, without the trailing line break.
std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (n && buffer) {
        while (n && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L' ' || buffer[n - 1] == L'.'))
            --n;
        int len = WideCharToMultiByte(CP_UTF8, 0, buffer, int(n), nullptr, 0, nullptr, nullptr);
        text.resize(size_t(len));
        WideCharToMultiByte(CP_UTF8, 0, buffer, int(n), text.data(), len, nullptr, nullptr);
    }
    if (buffer) LocalFree(buffer);
    if (text.empty()) text = "system error " + std::to_string(code);
    return text;
}

// Positioned reads and writes go through the native calls, with no event and no
// completion value: ReadFile and WriteFile with an OVERLAPPED offset ask for a
// completion each time, which costs Wine a request to its server per call.
extern "C" NTSTATUS NTAPI NtReadFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                     PLARGE_INTEGER, PULONG);
extern "C" NTSTATUS NTAPI NtWriteFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                      PLARGE_INTEGER, PULONG);
constexpr NTSTATUS kEndOfFile = NTSTATUS(0xC0000011L);

LARGE_INTEGER Offset(uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    return at;
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED o = {};
    o.Offset = DWORD(offset & 0xFFFFFFFFu);
    o.OffsetHigh = DWORD(offset >> 32);
    return o;
}

std::error_code SystemCode(DWORD code) { return std::error_code(int(code), std::system_category()); }

}  // namespace

void PlatformFile::Fail(IoError::Operation operation, std::error_code code) const {
    throw IoError(operation, name_, code);
}

PlatformFile& PlatformFile::operator=(PlatformFile&& other) noexcept {
    if (this != &other) {
        Close();
        name_ = std::move(other.name_);
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

void PlatformFile::Open(const std::filesystem::path& path, Mode mode) {
    Close();
    DWORD access = GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_DELETE, disposition = OPEN_EXISTING;
    switch (mode) {
        case Mode::ReadOnly: share |= FILE_SHARE_WRITE; break;
        case Mode::ReadWrite:
            // Another writer of this program gets the file too, and is then refused by
            // the lock (LockExclusive), so it can say why.
            access |= GENERIC_WRITE;
            share |= FILE_SHARE_WRITE;
            break;
        case Mode::CreateReadWrite:
            access |= GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
    }
    HANDLE h = CreateFileW(path.wstring().c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        throw IoError(mode == Mode::CreateReadWrite ? IoError::Operation::Create : IoError::Operation::Open,
                      path.string(), SystemCode(GetLastError()));
    }
    handle_ = h;
}

void PlatformFile::OpenTemporary(const std::filesystem::path& dir) {
    Close();
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = L".brimvault-spill-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter.fetch_add(1)) + L"-" + std::to_wstring(GetTickCount64());
        HANDLE h = CreateFileW((dir / name).wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = h;
            return;
        }
        DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) Fail(IoError::Operation::Create, SystemCode(code));
    }
    Fail(IoError::Operation::Create, SystemCode(ERROR_FILE_EXISTS));
}

void PlatformFile::Close() {
    if (handle_ != kNone) CloseHandle(handle_);
    handle_ = kNone;
}

size_t PlatformFile::ReadAt(uint64_t offset, void* data, size_t size) const {
    size_t done = 0;
    while (done < size) {
        IO_STATUS_BLOCK io = {};
        LARGE_INTEGER at = Offset(offset + done);
        const ULONG want = ULONG(std::min<size_t>(size - done, 1u << 30));
        const NTSTATUS status =
            NtReadFile(handle_, nullptr, nullptr, nullptr, &io, static_cast<char*>(data) + done, want, &at, nullptr);
        if (status == kEndOfFile) break;
        if (status < 0) Fail(IoError::Operation::Read, SystemCode(RtlNtStatusToDosError(status)));
        if (io.Information == 0) break;
        done += io.Information;
    }
    return done;
}

void PlatformFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        IO_STATUS_BLOCK io = {};
        LARGE_INTEGER at = Offset(offset + done);
        const ULONG want = ULONG(std::min<size_t>(size - done, 1u << 30));
        char* from = const_cast<char*>(static_cast<const char*>(data)) + done;
        const NTSTATUS status = NtWriteFile(handle_, nullptr, nullptr, nullptr, &io, from, want, &at, nullptr);
        if (status < 0) Fail(IoError::Operation::Write, SystemCode(RtlNtStatusToDosError(status)));
        if (io.Information == 0) Fail(IoError::Operation::Write, SystemCode(ERROR_DISK_FULL));
        done += io.Information;
    }
}

void PlatformFile::Truncate(uint64_t size) {
    FILE_END_OF_FILE_INFO info = {};
    info.EndOfFile.QuadPart = LONGLONG(size);
    if (!SetFileInformationByHandle(handle_, FileEndOfFileInfo, &info, sizeof info))
        Fail(IoError::Operation::Resize, SystemCode(GetLastError()));
}

uint64_t PlatformFile::Size() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) Fail(IoError::Operation::ReadSize, SystemCode(GetLastError()));
    return uint64_t(size.QuadPart);
}

void PlatformFile::SyncData() {
    if (!FlushFileBuffers(handle_)) Fail(IoError::Operation::Write, SystemCode(GetLastError()));
}

void PlatformFile::StartWriteBack(uint64_t, uint64_t) {}

bool PlatformFile::LockExclusive() {
    // One byte far past any end the file can have: Windows locks are mandatory, and a
    // lock on the data would keep readers out too; this one keeps out only writers that
    // take it as well.
    OVERLAPPED o = At(uint64_t(1) << 62);
    if (LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &o))
        return true;
    DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return false;
    Fail(IoError::Operation::Lock, SystemCode(code));
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool ProcessMayBeRunning(unsigned long pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!h) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
    DWORD code = 0;
    bool running = !GetExitCodeProcess(h, &code) || code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
}

void UseUtf8CommandLine(int& argc, char**& argv) {
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return;
    // Kept for the life of the process, as the C runtime's own arguments are.
    static std::vector<std::string> args;
    static std::vector<char*> pointers;
    args.clear();
    for (int i = 0; i < count; ++i) {
        int len = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string a(size_t(len > 0 ? len - 1 : 0), '\0');
        if (len > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, a.data(), len, nullptr, nullptr);
        args.push_back(std::move(a));
    }
    LocalFree(wide);
    pointers.clear();
    for (std::string& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
}

}  // namespace bv::mailstore::base

namespace bv::mailstore {

// System codes in the Windows words; C runtime codes (errno) in the runtime's.
std::string SystemErrorText(std::error_code code) {
    if (code.category() == std::system_category()) return base::SystemText(DWORD(code.value()));
    return code.message();
}

}  // namespace bv::mailstore
#endif
