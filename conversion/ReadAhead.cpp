#include "conversion/ReadAhead.h"

#include <cstring>

namespace bv::conversion {

ReadAhead::ReadAhead(ByteSource& inner) : inner_(inner) { thread_ = std::thread([this] { Run(); }); }

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<mailstore::base::Mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ReadAhead::Run() {
    for (;;) {
        Block block;
        {
            std::unique_lock<mailstore::base::Mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || full_.size() < kBlocksAhead; });
            if (stop_) return;
            if (!spare_.empty()) {
                block = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        if (!block.data) block.data = std::make_unique_for_overwrite<char[]>(kBlock);
        block.size = 0;
        long r = 0;
        while (block.size < kBlock) {
            r = inner_.Read(block.data.get() + block.size, kBlock - block.size);
            if (r <= 0) break;
            block.size += size_t(r);
        }
        {
            std::lock_guard<mailstore::base::Mutex> lock(mutex_);
            if (block.size > 0) full_.push_back(std::move(block));
            if (r < 0) {
                failed_ = true;
                innerError_ = inner_.error();
            }
            ended_ = r <= 0;
        }
        changed_.notify_all();
        if (r <= 0) return;
    }
}

long ReadAhead::Read(char* buffer, size_t size) {
    size_t out = 0;
    while (out < size) {
        if (current_.data && pos_ < current_.size) {
            size_t n = std::min(size - out, current_.size - pos_);
            std::memcpy(buffer + out, current_.data.get() + pos_, n);
            pos_ += n;
            out += n;
            continue;
        }
        std::unique_lock<mailstore::base::Mutex> lock(mutex_);
        if (current_.data) spare_.push_back(std::move(current_));
        current_ = Block();
        pos_ = 0;
        if (out > 0 && full_.empty()) break;  // hand out what there is rather than wait
        changed_.wait(lock, [this] { return !full_.empty() || ended_; });
        if (full_.empty()) {
            if (out == 0 && failed_) {
                error_ = innerError_;
                return -1;
            }
            break;
        }
        current_ = std::move(full_.front());
        full_.pop_front();
        lock.unlock();
        changed_.notify_all();
    }
    return long(out);
}

}  // namespace bv::conversion
