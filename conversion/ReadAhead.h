// Reads a byte source ahead on a thread of its own, so that decompressing an archive
// member runs beside the cutting and writing of its messages. Holds at most a few
// blocks: memory stays bounded whatever the member's size.
#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "conversion/ByteSource.h"
#include "mailstore/base/ThreadSync.h"

namespace bv::conversion {

class ReadAhead : public ByteSource {
public:
    static constexpr size_t kBlock = size_t(1) << 20;
    static constexpr size_t kBlocksAhead = 3;

    // Starts reading `inner`, which must not be used otherwise until this is gone.
    explicit ReadAhead(ByteSource& inner);
    // Stops reading (a member left unread is abandoned) and waits for the thread.
    ~ReadAhead() override;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Everything `inner` gave before a failure comes first; then -1 and its error.
    long Read(char* buffer, size_t size) override;
    const std::string& error() const override { return error_; }

private:
    struct Block {
        std::unique_ptr<char[]> data;
        size_t size = 0;
    };
    void Run();

    ByteSource& inner_;
    mailstore::base::Mutex mutex_;
    mailstore::base::CondVar changed_;
    std::deque<Block> full_;    // read, not handed out yet
    std::vector<Block> spare_;  // handed out, for reuse
    bool ended_ = false;        // `inner` is at its end or failed
    bool failed_ = false;
    bool stop_ = false;
    std::string innerError_;
    Block current_;             // being handed out (the reader's own)
    size_t pos_ = 0;
    std::string error_;
    std::thread thread_;
};

}  // namespace bv::conversion
