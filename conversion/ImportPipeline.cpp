#include "conversion/ImportPipeline.h"

#include <algorithm>
#if defined(__linux__)
#include <pthread.h>
#endif
#include <stdexcept>

namespace bv::conversion {

namespace {
// Idle workers are woken once this many jobs wait, not for every job: each wake-up
// costs a few microseconds, as much as importing a small message.
constexpr size_t kWakeBatch = 4;
}  // namespace

ImportPipeline::ImportPipeline(unsigned workers) {
    if (workers == 0) workers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Loop(); });
}

ImportPipeline::~ImportPipeline() {
    {
        std::unique_lock lock(mutex_);
        quit_ = true;
        WakeLocked(true);
    }
    for (auto& t : threads_) t.join();
}

ImportPipeline::Ticket ImportPipeline::Submit(std::function<void()> job) {
    std::unique_lock lock(mutex_);
    Ticket ticket = first_ + slots_.size();
    slots_.push_back(Slot{std::move(job), false});
    if (idle_ > 0 && first_ + slots_.size() - nextToRun_ >= kWakeBatch) WakeLocked(false);
    return ticket;
}

void ImportPipeline::WaitLocked(std::unique_lock<mailstore::base::Mutex>& lock, Ticket ticket) {
    if (ticket < first_ || ticket >= first_ + slots_.size())
        throw std::logic_error("ImportPipeline: no such job in flight");
    if (slots_[ticket - first_].done) return;
    // Whatever waits runs now: the run has nothing else to do until this is done.
    if (nextToRun_ < first_ + slots_.size()) WakeLocked(true);
    waitingFor_ = ticket;
    done_.wait(lock, [&] { return slots_[ticket - first_].done; });
    waitingFor_ = ~Ticket(0);
}

void ImportPipeline::Wait(Ticket ticket) {
    std::unique_lock lock(mutex_);
    WaitLocked(lock, ticket);
}

void ImportPipeline::Collect(Ticket ticket) {
    std::unique_lock lock(mutex_);
    if (slots_.empty() || ticket != first_) throw std::logic_error("ImportPipeline: jobs are collected in order");
    WaitLocked(lock, ticket);
    slots_.pop_front();
    ++first_;
}

size_t ImportPipeline::InFlight() const {
    std::lock_guard lock(mutex_);
    return slots_.size();
}

void ImportPipeline::WakeLocked(bool all) {
    if (all) work_.notify_all();
    else work_.notify_one();
}

void ImportPipeline::Loop() {
#if defined(__linux__)
    pthread_setname_np(pthread_self(), "bv-import");  // for profilers and debuggers
#endif
    std::unique_lock lock(mutex_);
    for (;;) {
        if (nextToRun_ < first_ + slots_.size()) {
            Ticket ticket = nextToRun_++;
            std::function<void()> job = std::move(slots_[ticket - first_].job);
            lock.unlock();
            job();
            job = nullptr;  // what the job holds is released off the lock
            lock.lock();
            slots_[ticket - first_].done = true;
            if (ticket == waitingFor_) done_.notify_one();
            continue;
        }
        if (quit_) return;
        ++idle_;
        work_.wait(lock, [this] { return quit_ || nextToRun_ < first_ + slots_.size(); });
        --idle_;
    }
}

}  // namespace bv::conversion
