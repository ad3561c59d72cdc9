#include "conversion/ImportWorker.h"

namespace bv::conversion {

ImportWorker::ImportWorker() : thread_([this] { Loop(); }) {}

ImportWorker::~ImportWorker() {
    {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return !busy_; });
        quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void ImportWorker::Start(std::function<void()> job) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !busy_; });
    job_ = std::move(job);
    busy_ = true;
    lock.unlock();
    cv_.notify_all();
}

void ImportWorker::Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !busy_; });
}

void ImportWorker::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return busy_ || quit_; });
        if (busy_) {
            std::function<void()> job = std::move(job_);
            lock.unlock();
            job();
            lock.lock();
            busy_ = false;
            cv_.notify_all();
            continue;
        }
        if (quit_) return;
    }
}

}  // namespace bv::conversion
