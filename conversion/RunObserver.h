// What the run's caller and the run's parts share: the output kinds, a failure as the
// run reports it, and the observer that follows the run.
#pragma once
#include <cstdint>
#include <string>

namespace bv::conversion {

enum class OutputKind { Eml, Emlx, Msg, Pst };

// Told what the run is doing. Every call comes on the run's thread.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // Mailbox `index` (from 0) of `count` begins; `fileName` is its file's name, ""
    // for an empty entry.
    virtual void MailboxStarted(int index, int count, const std::string& fileName) {}
    // Message `number` (from 1) of the current mailbox has been handed to its output.
    virtual void MessageWritten(int32_t number) {}
    // A message (or contact, event, task) handed over has reached its place: `added`,
    // or the destination held it already.
    virtual void MessageSettled(bool added) {}
    // Share of the run's input read so far: `done` of `total` bytes over all mailboxes.
    // Comes on the run's thread, at most about every 50 ms and once at the end.
    virtual void BytesRead(uint64_t done, uint64_t total) {}
    // True ends the run after the message in hand; open stores are closed.
    virtual bool StopRequested() const { return false; }
};

struct Failure {
    std::string file;    // mailbox, message file or store concerned
    std::string reason;  // what went wrong, in words a user understands
};

}  // namespace bv::conversion
