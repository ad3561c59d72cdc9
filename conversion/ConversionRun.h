// The conversion run: what the Convert button does, from the output-kind check to
// the completion message.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/RunHost.h"

namespace bv::conversion {

struct Failure {
    std::string file;    // mailbox, message file or store concerned
    std::string reason;  // what went wrong, in words a user understands
};

struct RunReport {
    bool started = false;          // false when no output kind or the prompt was cancelled
    bool storeError = false;       // ended on the store error path
    bool stopped = false;          // ended early because stopRequested() turned true
    std::string destination;       // the chosen folder, with its trailing separator
    int mailboxesConverted = 0;    // mailboxes read to their end with every message written
    int mailboxesFailed = 0;
    int64_t messagesConverted = 0;
    int64_t messagesFailed = 0;
    std::vector<Failure> failures;  // in the order they happened
    bool ok() const { return started && !storeError && !stopped && failures.empty(); }
};

class ConversionRun {
public:
    explicit ConversionRun(RunHost& host);
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // The whole click of Convert. Never throws.
    RunReport Run();

private:
    struct State;
    RunHost& host_;
    State* state_;
};

// The completion text for a finished run: the fixed success texts when nothing
// failed, otherwise counts and the failures (the first 20 and a count of the rest).
std::string CompletionText(const RunReport& report, bool pstOutput);

}  // namespace bv::conversion
