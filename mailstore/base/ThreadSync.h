// A mutex and a condition variable for the hand-offs between the run's threads.
// Elsewhere they are the standard ones. On Windows they are the system's slim
// reader/writer lock and condition variable: the standard ones of MinGW's threads
// library are built on events and semaphores, and each wait or wake-up there is a
// kernel object's (under Wine, a request to its server), while these wait on the
// address itself and take no kernel object.
#pragma once
#include <condition_variable>
#include <mutex>

#ifdef _WIN32
#include "mailstore/base/WindowsApi.h"
#endif

namespace bv::mailstore::base {

#ifdef _WIN32

class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock() { AcquireSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != 0; }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

private:
    friend class CondVar;
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class CondVar {
public:
    CondVar() = default;
    CondVar(const CondVar&) = delete;
    CondVar& operator=(const CondVar&) = delete;
    void notify_one() { WakeConditionVariable(&cv_); }
    void notify_all() { WakeAllConditionVariable(&cv_); }
    // May return without a wake-up, as the standard one may.
    void wait(std::unique_lock<Mutex>& lock) { SleepConditionVariableSRW(&cv_, &lock.mutex()->lock_, INFINITE, 0); }
    template <class Predicate>
    void wait(std::unique_lock<Mutex>& lock, Predicate ready) {
        while (!ready()) wait(lock);
    }

private:
    CONDITION_VARIABLE cv_ = CONDITION_VARIABLE_INIT;
};

#else

using Mutex = std::mutex;
using CondVar = std::condition_variable;

#endif

}  // namespace bv::mailstore::base
