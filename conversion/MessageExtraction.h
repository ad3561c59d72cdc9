// Cuts a mailbox into its messages and hands each complete one to a sink.
//
// Line procedure (CR LF or CR line ends): a line ends at CR or CR LF;
// a bare LF is an ordinary character. A line that begins with "From ", or with
// LF LF "From " (the two LFs are dropped), starts a message. Text before the first
// such line belongs to no message. Every line is written with CR LF.
//
// LF procedure (bare LF line ends): message 1 starts at the first
// byte of the mailbox; every LF followed by "From " ends a message (the LF is the last
// character of the message before). Every line end (CR LF, LF or a lone CR) is
// written as CR LF.
//
// Both begin where the mailbox does (SkipToMailboxStart: after a byte-order mark and
// blank lines). In both, a message begins with its "From " separator line, and the
// file is read in large blocks, so memory stays bounded by the largest message. The
// rules themselves are mime/MboxGrammar's.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "conversion/AppendStrings.h"
#include "conversion/MailboxProbe.h"

namespace bv::conversion {

class InputFile;

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // One complete message, numbered from 1: the sink reads it (text.View()) or takes
    // its bytes (text.Take()). Whatever is left is cleared after the call.
    virtual void OutputMessage(int32_t n, AppendStrings& text) = 0;
    // Called just before OutputMessage: where that message begins in the input, in
    // bytes (its separator line's first byte).
    virtual void MessageAt(uint64_t offset) {}
    // Called after every message and every block read; true ends the extraction
    // (the message in hand has been handed over already).
    virtual bool ShouldStop() = 0;
};

struct ExtractionResult {
    int64_t messages = 0;     // messages handed to the sink
    bool stopped = false;     // ended because the sink asked to stop
    std::string error;        // open or read failure, "" when the whole file was read
};

// Told how many bytes of the file have been read through so far; called after every
// message and every block read.
using ReadProgress = std::function<void(uint64_t bytesDone)>;

// Extracts `path`, whose lines end as `lineEnds` says, gathering each message in `msgText`.
// MboxLineEnds::None extracts nothing.
ExtractionResult ExtractMailbox(const std::string& path, MboxLineEnds lineEnds, MessageSink& sink,
                                AppendStrings& msgText, const ReadProgress& progress = {});
// The same for a mailbox opened already (a member of an archive), read from where it
// stands; bytes already made available (for the probe) are not consumed yet.
ExtractionResult ExtractMailbox(InputFile& in, MboxLineEnds lineEnds, MessageSink& sink, AppendStrings& msgText,
                                const ReadProgress& progress = {});

}  // namespace bv::conversion
