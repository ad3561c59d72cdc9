// Little-endian fields: the byte order of every on-disk structure we write (.pst,
// .msg and its compound file, MAPI entry IDs).
#pragma once
#include <cstdint>
#include <vector>

namespace bv::mailstore::base {

using Bytes = std::vector<uint8_t>;

inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void Put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) { return uint64_t(Get32(p)) | (uint64_t(Get32(p + 4)) << 32); }

inline void Append16(Bytes& b, uint16_t v) {
    size_t n = b.size();
    b.resize(n + 2);
    Put16(&b[n], v);
}
inline void Append32(Bytes& b, uint32_t v) {
    size_t n = b.size();
    b.resize(n + 4);
    Put32(&b[n], v);
}
inline void Append64(Bytes& b, uint64_t v) {
    size_t n = b.size();
    b.resize(n + 8);
    Put64(&b[n], v);
}

}  // namespace bv::mailstore::base
