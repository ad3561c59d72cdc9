// Decides whether a file is a mailbox and how its lines end.
//
// A file is a mailbox when its first line, after a UTF-8 byte-order mark and blank
// lines, is a "From " separator line; that line is where the mailbox starts. How its
// lines end is decided over the first 512 bytes from there (mime/MboxGrammar holds
// each of these rules).
#pragma once
#include <optional>
#include <string>

#include "conversion/RunObserver.h"
#include "mailstore/mime/MboxGrammar.h"

namespace bv::conversion {

class InputFile;

using mailstore::mime::MboxLineEnds;

constexpr size_t kProbeBytes = 512;

// What probing found: how the mailbox's lines end, or (None) why the file cannot be
// read or is no mailbox ("not a mailbox: ..." for the latter).
struct Probed {
    MboxLineEnds lineEnds = MboxLineEnds::None;
    std::optional<Failure> failure;
};

// Opens `fileName` and probes it.
Probed ProbeMailboxFile(const std::string& fileName);
// The same for a mailbox opened already (a member of an archive, `name` in failures):
// consumes what stands before its start and makes its first bytes available, reading
// no further.
Probed ProbeMailbox(InputFile& in, const std::string& name);

// Consumes what may stand before a mailbox's first separator line: a UTF-8 byte-order
// mark and blank lines (nothing but blanks and tabs before their line end).
void SkipToMailboxStart(InputFile& in);

}  // namespace bv::conversion
