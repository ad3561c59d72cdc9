// Decides whether a file is a mailbox and how its lines end.
//
// A file is a mailbox when its first line, after a UTF-8 byte-order mark and blank
// lines, is a "From " separator line; that line is where the mailbox starts. How its
// lines end is decided over the first 512 bytes from there.
#pragma once
#include <string>

namespace bv::conversion {

class InputFile;

// "Normal": lines end in CR LF or CR (read line by line);
// "NotNormal": lines end in a bare LF; None: not a mailbox, or the file could not be read.
enum class MboxMode { None, Normal, NotNormal };

constexpr size_t kProbeBytes = 512;

// Probes `fileName`. Returns MboxMode::None for a file that cannot be read or is no
// mailbox, and says why in `error` ("not a mailbox: ..." for the latter).
MboxMode ReadMBOXFile(const std::string& fileName, std::string* error = nullptr);
// The same for a mailbox opened already (a member of an archive): consumes what stands
// before its start and makes its first bytes available, reading no further.
MboxMode ProbeMailbox(InputFile& in, std::string* error = nullptr);

// Consumes what may stand before a mailbox's first separator line: a UTF-8 byte-order
// mark and blank lines (nothing but blanks and tabs before their line end).
void SkipToMailboxStart(InputFile& in);

// The line-end rule itself, over the first bytes of a mailbox.
MboxMode ProbeLineEnds(const char* data, size_t size);


}  // namespace bv::conversion
