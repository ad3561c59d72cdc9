// One background thread for the run: while the run's own thread stores message n in
// the .pst or writes its .msg, the worker imports message n + 1. It runs one job at
// a time; everything that talks to the window or the store stays on the run's thread.
#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace bv::conversion {

class ImportWorker {
public:
    ImportWorker();
    ~ImportWorker();
    ImportWorker(const ImportWorker&) = delete;
    ImportWorker& operator=(const ImportWorker&) = delete;

    // Hands over a job; waits first for the one before it. The job must not throw.
    void Start(std::function<void()> job);
    // Returns once the job handed over last has finished.
    void Wait();

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable cv_;
    std::function<void()> job_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace bv::conversion
