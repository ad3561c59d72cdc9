// Decides whether a file is a mailbox and how its lines end.
//
// A file is a mailbox when its first line, after a UTF-8 byte-order mark and blank
// lines, is a "From " separator line; that line is where the mailbox starts. How its
// lines end is decided over the first 512 bytes from there.
#pragma once
#include <optional>
#include <string>

#include "conversion/RunObserver.h"

namespace bv::conversion {

class InputFile;

// "Normal": lines end in CR LF or CR (read line by line);
// "NotNormal": lines end in a bare LF; None: not a mailbox, or the file could not be read.
enum class MboxMode { None, Normal, NotNormal };

constexpr size_t kProbeBytes = 512;

// What probing found: the mode, or (mode None) why the file cannot be read or is no
// mailbox ("not a mailbox: ..." for the latter).
struct Probed {
    MboxMode mode = MboxMode::None;
    std::optional<Failure> failure;
};

// Probes `fileName`.
Probed ReadMBOXFile(const std::string& fileName);
// The same for a mailbox opened already (a member of an archive, `name` in failures):
// consumes what stands before its start and makes its first bytes available, reading
// no further.
Probed ProbeMailbox(InputFile& in, const std::string& name);

// Consumes what may stand before a mailbox's first separator line: a UTF-8 byte-order
// mark and blank lines (nothing but blanks and tabs before their line end).
void SkipToMailboxStart(InputFile& in);

// The line-end rule itself, over the first bytes of a mailbox.
MboxMode ProbeLineEnds(const char* data, size_t size);


}  // namespace bv::conversion
