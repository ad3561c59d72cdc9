#pragma once
// Raw access to the file: bounded reads, little-endian fields, CRC, block
// signature and the two data-block encodings of [MS-PST] §5.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bv::pstcheck {

class PstFile {
public:
    PstFile() = default;
    ~PstFile();
    PstFile(const PstFile&) = delete;
    PstFile& operator=(const PstFile&) = delete;

    bool open(const std::string& path);
    uint64_t size() const { return size_; }
    // False (and nothing read) when the range is not fully inside the file.
    bool read(uint64_t offset, void* buffer, size_t count) const;

private:
#ifdef _WIN32
    std::FILE* fp_ = nullptr;
#else
    int fd_ = -1;
#endif
    uint64_t size_ = 0;
};

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
inline uint64_t Le64(const uint8_t* p) { return uint64_t(Le32(p)) | (uint64_t(Le32(p + 4)) << 32); }

// [MS-PST] §5.3: reflected CRC-32, seed 0, no final inversion.
uint32_t PstCrc(const uint8_t* data, size_t count);
// [MS-PST] §5.5: signature of a block or page from its offset and BID.
uint16_t PstSignature(uint64_t ib, uint64_t bid);
// Decodes a data block in place (bCryptMethod 1 = permute, 2 = cyclic keyed by the BID).
void PstDecode(uint8_t cryptMethod, uint64_t bid, uint8_t* data, size_t count);

std::string Hex(uint64_t value);

}  // namespace bv::pstcheck
