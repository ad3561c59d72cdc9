#include "conversion/ArchiveInput.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#define BV_READ _read
#define BV_CLOSE _close
#define BV_LSEEK _lseeki64
#else
#include <sys/stat.h>
#include <unistd.h>
#define BV_READ ::read
#define BV_CLOSE ::close
#define BV_LSEEK ::lseek
#endif

#include "conversion/ItemFiles.h"
#include "conversion/PathHelpers.h"
#include "mailstore/mime/MboxGrammar.h"

namespace bv::conversion {

namespace {

uint64_t g_bombAllowance = kBombAllowance;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char a = s[s.size() - suffix.size() + i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (a != suffix[i]) return false;
    }
    return true;
}

// The name of a single compressed file once decompressed: "anna.mbox.gz" -> "anna.mbox".
std::string WithoutCompressionExtension(const std::string& fileName) {
    for (std::string_view ext : {".gz", ".gzip", ".bz2", ".xz"})
        if (EndsWithNoCase(fileName, ext) && fileName.size() > ext.size())
            return fileName.substr(0, fileName.size() - ext.size());
    return fileName;
}

constexpr size_t kReadBlock = size_t(1) << 20;

}  // namespace

void SetBombAllowanceForTesting(uint64_t bytes) { g_bombAllowance = bytes ? bytes : kBombAllowance; }

bool LooksLikeArchive(const char* data, size_t size) {
    std::string_view d(data, size);
    if (StartsWith(d, "PK\x03\x04") || StartsWith(d, "PK\x05\x06") || StartsWith(d, "PK\x07\x08")) return true;  // zip
    if (StartsWith(d, "\x1f\x8b")) return true;                                                     // gzip
    if (StartsWith(d, "BZh") && size >= 4 && d[3] >= '1' && d[3] <= '9') return true;               // bzip2
    if (StartsWith(d, std::string_view("\xfd" "7zXZ\0", 6))) return true;                           // xz
    if (size >= 262 && d.substr(257, 5) == "ustar") return true;                                    // tar
    return false;
}

bool IsArchiveFile(const std::string& path) {
    // A plain read of the first bytes, apart from the mailbox's own reading: a file
    // that cannot be read here is not an archive, and its reading says why.
#ifdef _WIN32
    // Opening a pipe here would wait for its writer: only a regular file is looked at.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec)) return false;
    int fd = _wopen(std::filesystem::u8path(path).c_str(), _O_RDONLY | _O_BINARY);
#else
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
#endif
    if (fd < 0) return false;
#ifndef _WIN32
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // a pipe or device is never read as an archive
        BV_CLOSE(fd);
        return false;
    }
#endif
    char prefix[512];
    size_t got = 0;
    while (got < sizeof prefix) {
        long r = long(BV_READ(fd, prefix + got, unsigned(sizeof prefix - got)));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += size_t(r);
    }
    BV_CLOSE(fd);
    return got > 0 && LooksLikeArchive(prefix, got);
}

MemberKind MemberKindOf(const std::string& name, const char* firstBytes, size_t size) {
    const std::string fileName = PathLastPart(name);
    if (EndsWithNoCase(fileName, ".mbox") || EndsWithNoCase(fileName, ".mbx")) return MemberKind::Mailbox;
    // Named as the inputs of the same kinds on disk are.
    switch (ItemFileKindOf(fileName)) {
        case ItemFileKind::Contacts: return MemberKind::Contacts;
        case ItemFileKind::Calendar: return MemberKind::Calendar;
        case ItemFileKind::None: break;
    }
    // A mailbox file's first line with text, as its probe finds it.
    std::string_view d(firstBytes, size);
    d.remove_prefix(mailstore::mime::MailboxLeadOf(d, false).length);
    if (mailstore::mime::IsSeparatorLine(d)) return MemberKind::Mailbox;
    return MemberKind::Other;
}

std::string UnsafeMemberName(const std::string& name) {
    if (name.empty()) return "the entry has no name";
    if (IsPathSeparator(name[0]) || (name.size() >= 2 && name[1] == ':'))
        return "the entry's name \"" + name + "\" is absolute; it was not read";
    size_t i = 0;
    while (i <= name.size()) {
        size_t j = i;
        while (j < name.size() && !IsPathSeparator(name[j])) ++j;
        if (name.compare(i, j - i, "..") == 0 && j - i == 2)
            return "the entry's name \"" + name + "\" climbs out of the archive with \"..\"; it was not read";
        i = j + 1;
    }
    return "";
}

// The archive file as libarchive's client: read in 1 MiB blocks, skipped by seeking,
// every byte counted (the compressed bytes a member took are what its expansion is
// measured against).
struct ArchiveFile {
    int fd = -1;
    uint64_t size = 0;      // when opened
    std::atomic<uint64_t> consumed = 0;  // read or skipped so far (the read-ahead thread reads)
    std::unique_ptr<char[]> block;

    ~ArchiveFile() {
        if (fd >= 0) BV_CLOSE(fd);
    }

    static la_ssize_t Read(struct archive* a, void* self, const void** buffer) {
        auto* f = static_cast<ArchiveFile*>(self);
        for (;;) {
            long r = long(BV_READ(f->fd, f->block.get(), kReadBlock));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                archive_set_error(a, errno, "read error after %llu bytes: %s", (unsigned long long)f->consumed.load(),
                                  std::strerror(errno));
                return -1;
            }
            if (r == 0 && f->consumed < f->size) {
                archive_set_error(a, EIO, "the archive became shorter while it was read");
                return -1;
            }
            f->consumed += uint64_t(r);
            *buffer = f->block.get();
            return r;
        }
    }
    static la_int64_t Skip(struct archive*, void* self, la_int64_t request) {
        auto* f = static_cast<ArchiveFile*>(self);
        if (request <= 0) return 0;
        la_int64_t room = la_int64_t(f->size - std::min<uint64_t>(f->size, f->consumed));
        la_int64_t n = std::min(request, room);
        if (n <= 0 || BV_LSEEK(f->fd, n, SEEK_CUR) < 0) return 0;  // libarchive reads over it instead
        f->consumed += uint64_t(n);
        return n;
    }
    static la_int64_t Seek(struct archive*, void* self, la_int64_t offset, int whence) {
        auto* f = static_cast<ArchiveFile*>(self);
        la_int64_t r = BV_LSEEK(f->fd, offset, whence);
        if (r < 0) return ARCHIVE_FATAL;
        f->consumed = uint64_t(r);
        return r;
    }
};

struct ArchiveReader::Impl : ByteSource {
    std::string path;
    ArchiveFile file;
    struct archive* a = nullptr;
    bool raw = false;           // a single compressed file, not an archive of members
    bool compressed = false;    // the whole archive is one compressed stream (.tgz ...)
    int entries = 0;            // entries whose headers were read
    bool memberFatal = false;   // the current member's data left the archive unreadable
    bool memberBomb = false;
    bool finished = false;
    struct archive_entry* heldEntry = nullptr;  // found after damage, not handed out yet

    // The current member's data. In a plain .tar it lies in one piece in the file and
    // is read from there straight into the caller's buffer, as a mailbox file is.
    bool direct = false;
    uint64_t directStart = 0, directSize = 0;
    const char* pending = nullptr;
    size_t pendingSize = 0;
    int64_t pendingOffset = 0;   // where `pending` belongs in the member
    int64_t delivered = 0;       // bytes of the member handed out
    uint64_t consumedAtStart = 0;
    bool dataDone = false;
    std::string dataError;

    ~Impl() override { Close(); }

    Next Describe(struct archive_entry* entry, ArchiveMember& member);

    void Close() {
        if (a) archive_read_free(a);
        a = nullptr;
    }

    // Opens the archive (again) from its start; the reason when it cannot be read.
    std::optional<std::string> OpenArchive() {
        Close();
        a = archive_read_new();
        archive_read_support_filter_gzip(a);
        archive_read_support_filter_bzip2(a);
        archive_read_support_filter_xz(a);
        archive_read_support_format_zip(a);  // with its central directory when there is one, else as a stream
        archive_read_support_format_tar(a);
        archive_read_support_format_gnutar(a);
        archive_read_support_format_raw(a);  // a single compressed mailbox
        archive_read_set_callback_data(a, &file);
        archive_read_set_read_callback(a, &ArchiveFile::Read);
        archive_read_set_skip_callback(a, &ArchiveFile::Skip);
        archive_read_set_seek_callback(a, &ArchiveFile::Seek);
        if (BV_LSEEK(file.fd, 0, SEEK_SET) < 0) return std::string("cannot read the archive: ") + std::strerror(errno);
        file.consumed = 0;
        if (archive_read_open1(a) != ARCHIVE_OK) return std::string("cannot read the archive: ") + Text();
        return std::nullopt;
    }

    std::string Text() const {
        const char* s = a ? archive_error_string(a) : nullptr;
        return s && *s ? s : "it is damaged or cut short";
    }

    void StartMember() {
        pending = nullptr;
        pendingSize = 0;
        pendingOffset = delivered = 0;
        consumedAtStart = file.consumed;
        dataDone = false;
        dataError.clear();
    }

    long ReadDirect(char* buffer, size_t size) {
#ifndef _WIN32
        if (dataDone) return dataError.empty() ? 0 : -1;
        const uint64_t left = directSize - uint64_t(delivered);
        if (left == 0) {
            dataDone = true;
            return 0;
        }
        for (;;) {
            ssize_t r = ::pread(file.fd, buffer, size_t(std::min<uint64_t>(size, left)), off_t(directStart + delivered));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                dataDone = true;
                dataError = r < 0 ? std::string("the member's data cannot be read: ") + std::strerror(errno)
                                  : "the member's data is cut short: the archive ends after " +
                                        std::to_string(delivered) + " of its " + std::to_string(directSize) + " bytes";
                return -1;
            }
            delivered += r;
            return long(r);
        }
#else
        (void)buffer;
        (void)size;
        return -1;
#endif
    }

    long Read(char* buffer, size_t size) override {
        if (direct) return ReadDirect(buffer, size);
        size_t out = 0;
        while (out < size) {
            if (pendingSize == 0) {
                if (dataDone) break;
                const void* block = nullptr;
                size_t blockSize = 0;
                la_int64_t offset = 0;
                int r = archive_read_data_block(a, &block, &blockSize, &offset);
                if (r == ARCHIVE_EOF) {
                    dataDone = true;
                    break;
                }
                if (r < ARCHIVE_OK) {
                    dataDone = true;
                    dataError = MemberDataError(r);
                    if (r == ARCHIVE_FATAL) memberFatal = true;
                    break;
                }
                pending = static_cast<const char*>(block);
                pendingSize = blockSize;
                pendingOffset = offset;
                continue;
            }
            if (pendingOffset > delivered) {  // a hole of a sparse member: zeros
                size_t n = size_t(std::min<int64_t>(pendingOffset - delivered, int64_t(size - out)));
                std::memset(buffer + out, 0, n);
                out += n;
                delivered += int64_t(n);
                continue;
            }
            size_t n = std::min(pendingSize, size - out);
            std::memcpy(buffer + out, pending, n);
            pending += n;
            pendingSize -= n;
            pendingOffset += int64_t(n);
            out += n;
            delivered += int64_t(n);
            if (IsBomb()) {
                dataDone = true;
                memberBomb = true;
                pendingSize = 0;
                dataError = "the member expands to more than " + std::to_string(kBombRatio) +
                            " times its compressed size and far past the archive's own size (a "
                            "decompression bomb); it was read no further";
                break;
            }
        }
        // Everything read before a failure is handed out first; the failure comes with
        // the next call.
        if (out > 0) return long(out);
        return dataError.empty() ? 0 : -1;
    }
    const std::string& error() const override { return dataError; }

    bool IsBomb() const {
        const uint64_t expanded = uint64_t(delivered);
        const uint64_t compressedBytes = std::max<uint64_t>(file.consumed - consumedAtStart, 1);
        return expanded / kBombRatio > compressedBytes && expanded > file.size + g_bombAllowance;
    }

    std::string MemberDataError(int r) const {
        std::string what = Text();
        if (r == ARCHIVE_FATAL) return "the member's data is damaged or cut short: " + what;
        return "the member's data is damaged (" + what + ")";
    }

    // After a member left the archive unreadable: a zip that is not compressed as a
    // whole is opened again and its entries up to the damaged one passed over, which
    // takes reading their headers only.
    bool Recover() {
        if (compressed || raw || (archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP) return false;
        const int skip = entries;
        if (OpenArchive()) return false;
        struct archive_entry* entry = nullptr;
        for (int i = 0; i < skip; ++i)
            if (archive_read_next_header(a, &entry) < ARCHIVE_WARN) return false;
        return true;
    }
};

ArchiveReader::ArchiveReader() : impl_(std::make_unique<Impl>()) {}
ArchiveReader::~ArchiveReader() = default;

ByteSource& ArchiveReader::data() { return *impl_; }

uint64_t ArchiveReader::bytesRead() const {
    const Impl& m = *impl_;
    // A plain .tar's member is read past libarchive, which catches up at the next entry.
    if (m.direct) return std::max<uint64_t>(m.file.consumed, m.directStart + uint64_t(m.delivered));
    return m.file.consumed;
}

bool ArchiveReader::decompresses() const {
    return impl_->compressed || impl_->raw || (impl_->a && (archive_format(impl_->a) & ARCHIVE_FORMAT_BASE_MASK) ==
                                                               ARCHIVE_FORMAT_ZIP);
}

std::optional<Failure> ArchiveReader::Open(const std::string& path) {
    Impl& m = *impl_;
    m.path = path;
#ifdef _WIN32
    m.file.fd = _wopen(std::filesystem::u8path(path).c_str(), _O_RDONLY | _O_BINARY);
#else
    m.file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
#endif
    if (m.file.fd < 0) return Failure{path, std::string("cannot open the file: ") + std::strerror(errno)};
#ifndef _WIN32
    struct stat st;
    if (::fstat(m.file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Failure{path, "it is not a regular file (a pipe, socket or device)"};
    m.file.size = uint64_t(st.st_size);
    ::fcntl(m.file.fd, F_SETFL, ::fcntl(m.file.fd, F_GETFL) & ~O_NONBLOCK);
#else
    std::error_code ec;
    m.file.size = std::filesystem::file_size(std::filesystem::u8path(path), ec);
#endif
    m.file.block = std::make_unique_for_overwrite<char[]>(kReadBlock);
    if (std::optional<std::string> why = m.OpenArchive()) return Failure{path, *why};
    return std::nullopt;
}

ArchiveReader::Step ArchiveReader::NextMember() {
    Impl& m = *impl_;
    Step step;
    auto failed = [&](Next next, std::string why) {
        step.next = next;
        step.failure = Failure{m.path, std::move(why)};
        return step;
    };
    if (m.heldEntry) {
        struct archive_entry* entry = m.heldEntry;
        m.heldEntry = nullptr;
        step.next = m.Describe(entry, step.member);
        return step;
    }
    if (m.finished || !m.a) return step;
    if (m.memberBomb && m.compressed) {
        // The members after it lie behind the rest of its expansion.
        m.finished = true;
        return failed(Next::Failed, "the members after a decompression bomb cannot be reached without expanding it");
    }
    if (m.memberFatal) {
        m.memberFatal = false;
        std::string why = m.Text();
        if (!m.Recover()) {
            m.finished = true;
            return failed(Next::Failed, "the archive cannot be read past its damaged member (" + why + ")");
        }
    }
    m.memberBomb = false;
    struct archive_entry* entry = nullptr;
    int r = archive_read_next_header(m.a, &entry);
    if (r == ARCHIVE_RETRY) {
        // A damaged header: libarchive looks for the next good one further on. The
        // damage is told once, then the entry found after it.
        const std::string why = m.Text();
        while (r == ARCHIVE_RETRY) r = archive_read_next_header(m.a, &entry);
        if (r == ARCHIVE_OK || r == ARCHIVE_WARN) m.heldEntry = entry;
        else m.finished = true;
        return failed(Next::Damaged, "the archive is damaged (" + why + "); the entries in the damaged part were passed over");
    }
    if (r == ARCHIVE_EOF) {
        m.finished = true;
        return step;
    }
    if (r < ARCHIVE_WARN) {
        m.finished = true;
        return failed(Next::Failed, "the archive is damaged or cut short: " + m.Text());
    }
    step.next = m.Describe(entry, step.member);
    return step;
}

ArchiveReader::Next ArchiveReader::Impl::Describe(struct archive_entry* entry, ArchiveMember& member) {
    Impl& m = *this;
    ++m.entries;
    if (m.entries == 1) {
        m.raw = archive_format(m.a) == ARCHIVE_FORMAT_RAW;
        m.compressed = archive_filter_count(m.a) > 1;
    }
    const char* name = archive_entry_pathname_utf8(entry);
    if (!name) name = archive_entry_pathname(entry);
    member.name = name ? name : "";
    if (m.raw) member.name = WithoutCompressionExtension(PathLastPart(m.path));
    // A hard link in a tar names a member stored before it, and has no bytes of its own.
    member.regular = archive_entry_filetype(entry) == AE_IFREG && !archive_entry_hardlink(entry);
    member.encrypted = archive_entry_is_encrypted(entry) != 0;
    m.StartMember();
#ifndef _WIN32
    m.direct = !m.compressed && !m.raw && member.regular &&
               (archive_format(m.a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR &&
               archive_entry_size_is_set(entry) && archive_entry_sparse_count(entry) == 0;
    if (m.direct) {
        m.directStart = uint64_t(archive_filter_bytes(m.a, 0));
        m.directSize = uint64_t(archive_entry_size(entry));
    }
#endif
    return Next::Member;
}

}  // namespace bv::conversion
