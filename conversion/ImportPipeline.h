// Background threads for the run's messages. While the run's own thread reads on and
// finishes the messages in order (counts them, stores them in the .pst), the workers
// write or import the messages after them: jobs run on any worker in any order, and the run collects
// them in the order it handed them over. Nothing a job does talks to the window or
// to the store; those stay on the run's thread.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "mailstore/base/ThreadSync.h"

namespace bv::conversion {

class ImportPipeline {
public:
    using Ticket = uint64_t;

    // `workers` threads; 0 picks one per processor (at least one, at most eight).
    explicit ImportPipeline(unsigned workers = 0);
    // Lets every job handed over finish, then ends the threads.
    ~ImportPipeline();
    ImportPipeline(const ImportPipeline&) = delete;
    ImportPipeline& operator=(const ImportPipeline&) = delete;

    // Hands over a job. The job must not throw.
    Ticket Submit(std::function<void()> job);
    // Waits for the job with `ticket`, handed over and not yet collected, to finish.
    void Wait(Ticket ticket);
    // Waits for the oldest job not yet collected, which must be `ticket`, to finish,
    // and forgets it.
    void Collect(Ticket ticket);
    // Jobs handed over and not yet collected.
    size_t InFlight() const;
    unsigned Workers() const { return unsigned(threads_.size()); }

private:
    struct Slot {
        std::function<void()> job;
        bool done = false;
    };
    void Loop();
    void WakeLocked(bool all);
    void WaitLocked(std::unique_lock<mailstore::base::Mutex>& lock, Ticket ticket);

    mutable mailstore::base::Mutex mutex_;
    mailstore::base::CondVar work_;
    mailstore::base::CondVar done_;
    std::deque<Slot> slots_;  // tickets first_ .. first_ + size - 1
    Ticket first_ = 0;
    Ticket nextToRun_ = 0;
    Ticket waitingFor_ = ~Ticket(0);
    unsigned idle_ = 0;
    bool quit_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace bv::conversion
