#include "PstFile.h"

#include <array>
#include <cstring>

namespace bv::pstcheck {

PstFile::~PstFile() {
    if (fp_) std::fclose(fp_);
}

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

namespace {
std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        t[i] = c;
    }
    return t;
}

const uint8_t kCrypt[768] = {
#include "CryptTable.inc"
};
}  // namespace

uint32_t PstCrc(const uint8_t* data, size_t count) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t crc = 0;
    for (size_t i = 0; i < count; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
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
