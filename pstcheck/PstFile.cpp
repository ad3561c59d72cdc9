#include "PstFile.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace bv::pstcheck {

PstFile::~PstFile() {
#ifdef _WIN32
    if (fp_) std::fclose(fp_);
#else
    if (fd_ >= 0) ::close(fd_);
#endif
}

#ifdef _WIN32
bool PstFile::open(const std::string& path) {
    fp_ = std::fopen(path.c_str(), "rb");
    if (!fp_) return false;
    if (fseeko(fp_, 0, SEEK_END) != 0) return false;
    off_t end = ftello(fp_);
    if (end < 0) return false;
    size_ = uint64_t(end);
    return true;
}

bool PstFile::read(uint64_t offset, void* buffer, size_t count) const {
    if (!fp_ || offset > size_ || count > size_ - offset) return false;
    if (fseeko(fp_, off_t(offset), SEEK_SET) != 0) return false;
    return std::fread(buffer, 1, count, fp_) == count;
}
#else
// Reads go to the file at their offset, without a buffer of stdio between: the checks read
// small pieces all over the file.
bool PstFile::open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return false;
    size_ = uint64_t(st.st_size);
    return true;
}

bool PstFile::read(uint64_t offset, void* buffer, size_t count) const {
    if (fd_ < 0 || offset > size_ || count > size_ - offset) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    while (count) {
        const ssize_t n = ::pread(fd_, out, count, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        offset += uint64_t(n);
        count -= size_t(n);
    }
    return true;
}
#endif

namespace {
const uint8_t kCrypt[768] = {
#include "CryptTable.inc"
};
}  // namespace

uint32_t PstCrc(const uint8_t* data, size_t count) {
    // zlib's CRC-32 is this one with the register inverted before and after.
    uLong crc = 0xFFFFFFFFul;
    while (count) {
        const uInt n = uInt(std::min<size_t>(count, 1u << 30));
        crc = crc32(crc, data, n);
        data += n;
        count -= n;
    }
    return ~uint32_t(crc);
}

uint16_t PstSignature(uint64_t ib, uint64_t bid) {
    uint32_t x = uint32_t(ib ^ bid);
    return uint16_t(uint16_t(x >> 16) ^ uint16_t(x));
}

void PstDecode(uint8_t cryptMethod, uint64_t bid, uint8_t* data, size_t count) {
    const uint8_t* r = kCrypt;
    const uint8_t* s = kCrypt + 256;
    const uint8_t* inv = kCrypt + 512;
    if (cryptMethod == 1) {
        for (size_t i = 0; i < count; ++i) data[i] = inv[data[i]];
    } else if (cryptMethod == 2) {
        uint32_t key = uint32_t(bid);
        uint16_t w = uint16_t(key ^ (key >> 16));
        for (size_t i = 0; i < count; ++i) {
            uint8_t b = data[i];
            b = uint8_t(b + uint8_t(w));
            b = r[b];
            b = uint8_t(b + uint8_t(w >> 8));
            b = s[b];
            b = uint8_t(b - uint8_t(w >> 8));
            b = inv[b];
            b = uint8_t(b - uint8_t(w));
            data[i] = b;
            w = uint16_t(w + 1);
        }
    }
}

std::string Hex(uint64_t value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(value));
    return buf;
}

}  // namespace bv::pstcheck
