// Archives as inputs: a .zip (deflate, Zip64), a .tar (also gzip'd, bzip2'd or xz'd)
// or a single compressed mailbox (.mbox.gz). The archive is read once, start to end;
// each member is read as a stream while it is decompressed, never unpacked to disk
// and never held whole in memory.
//
// A member fails, and reading goes on with the next one, when its name is absolute
// or climbs out with "..", when it is encrypted, when its checksum fails or its data
// is damaged, and when it expands past kBombRatio times the compressed bytes read for
// it and past the archive's own size plus kBombAllowance (a "zip bomb"). A damaged
// archive ends where the damage makes it unreadable: what was read before stays.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "conversion/ByteSource.h"
#include "conversion/RunObserver.h"

namespace bv::conversion {

inline constexpr uint64_t kBombRatio = 100;
inline constexpr uint64_t kBombAllowance = uint64_t(1) << 30;

// Whether the first bytes of a file are those of an archive read here: a zip, a tar,
// or a gzip, bzip2 or xz stream. `data` should hold the first 512 bytes when the file
// has them (a tar is known by its header's "ustar" mark).
bool LooksLikeArchive(const char* data, size_t size);
// The same for a file; false when it cannot be read (its reading then says why).
bool IsArchiveFile(const std::string& path);

// What a member of an archive is, decided by its name and its first bytes. This is
// the one place that decides it: a kind added here is handed to its reading in the
// conversion run.
enum class MemberKind {
    Mailbox,   // named *.mbox / *.mbx, or whose first line with text (after a byte-order
               // mark and blank lines) is a "From " line
    Contacts,  // named as a contacts file (*.vcf, *.vcard): converted as that file on disk
    Calendar,  // named as a calendar file (*.ics, *.ical, *.ifb): the same
    Other,     // anything else: passed over
};
// The first bytes of a member that MemberKindOf is given, when it has them.
inline constexpr size_t kMemberKindBytes = size_t(64) << 10;
MemberKind MemberKindOf(const std::string& name, const char* firstBytes, size_t size);

// Why a member's name is refused ("" when it is not): an absolute name (a root or a
// drive) or one with a ".." part could climb out of the archive's output folder.
std::string UnsafeMemberName(const std::string& name);

// One entry of an archive.
struct ArchiveMember {
    std::string name;     // the path inside the archive, "/" separated
    bool regular = true;  // a file (not a folder, link or device)
    bool encrypted = false;
};

class ArchiveReader {
public:
    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Opens the archive; the failure when it cannot be opened or is of no kind read here.
    std::optional<Failure> Open(const std::string& path);

    enum class Next {
        Member,   // `member` is the next entry; data() reads its bytes
        Damaged,  // this entry cannot be read (`failure` says why); the next may be
        End,      // no more entries
        Failed,   // the archive cannot be read on (`failure` says why)
    };
    struct Step {
        Next next = Next::End;
        ArchiveMember member;            // Member
        std::optional<Failure> failure;  // Damaged, Failed: the archive and why
    };
    // Moves to the next entry, passing over what is left of the current one.
    Step NextMember();

    // The current member's bytes, decompressed. Valid until the next NextMember().
    ByteSource& data();
    // Whether members are decompressed (all but a plain .tar), known once the first
    // entry was read: worth reading ahead on a thread of its own.
    bool decompresses() const;
    // Bytes of the archive file read so far (for the run's progress; any thread).
    uint64_t bytesRead() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Test seam: the allowance of a bomb (kBombAllowance); 0 restores it.
void SetBombAllowanceForTesting(uint64_t bytes);

}  // namespace bv::conversion
