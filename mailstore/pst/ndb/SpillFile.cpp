#include "mailstore/pst/ndb/SpillFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mailstore/MailStoreError.h"

namespace bv::mailstore::pst {
namespace {

constexpr size_t kPiece = 1 << 20;

}  // namespace

SpillFile::SpillFile(const std::filesystem::path& dir, size_t recordSize) : recordSize_(recordSize) {
    file_.OpenTemporary(dir);
    pending_.reserve(kPiece);
}

SpillFile::~SpillFile() = default;

void SpillFile::Append(const void* record) {
    const uint8_t* p = static_cast<const uint8_t*>(record);
    pending_.insert(pending_.end(), p, p + recordSize_);
    if (pending_.size() + recordSize_ > kPiece) Flush();
}

void SpillFile::Flush() {
    file_.WriteAt(flushed_ * recordSize_, pending_.data(), pending_.size());
    flushed_ += pending_.size() / recordSize_;
    pending_.clear();
}

void SpillFile::ReadRaw(uint64_t offset, uint8_t* out, size_t size) const {
    if (file_.ReadAt(offset, out, size) < size)
        throw MailStoreError("cannot read the temporary file beside the store: " + std::string(std::strerror(EIO)));
}

void SpillFile::Read(uint64_t i, void* out) const {
    if (i >= flushed_) {
        std::memcpy(out, pending_.data() + (i - flushed_) * recordSize_, recordSize_);
        return;
    }
    ReadRaw(i * recordSize_, static_cast<uint8_t*>(out), recordSize_);
}

const uint8_t* SpillFile::Cursor::Next() {
    if (pos_ >= buf_.size()) {
        uint64_t count = file_.Count();
        if (next_ >= count) return nullptr;
        size_t per = std::max<size_t>(1, kPiece / file_.recordSize_);
        size_t n = size_t(std::min<uint64_t>(per, count - next_));
        buf_.resize(n * file_.recordSize_);
        for (size_t k = 0; k < n;) {
            uint64_t i = next_ + k;
            if (i >= file_.flushed_) {
                std::memcpy(buf_.data() + k * file_.recordSize_,
                            file_.pending_.data() + (i - file_.flushed_) * file_.recordSize_,
                            (n - k) * file_.recordSize_);
                break;
            }
            size_t m = size_t(std::min<uint64_t>(n - k, file_.flushed_ - i));
            file_.ReadRaw(i * file_.recordSize_, buf_.data() + k * file_.recordSize_, m * file_.recordSize_);
            k += m;
        }
        next_ += n;
        pos_ = 0;
    }
    const uint8_t* r = buf_.data() + pos_;
    pos_ += file_.recordSize_;
    return r;
}

}  // namespace bv::mailstore::pst
