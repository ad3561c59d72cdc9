#include "mailstore/mime/CompressedRtf.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "mailstore/base/LittleEndian.h"

namespace bv::mailstore::mime {

namespace {

constexpr size_t kHeaderSize = 16;  // compressed size, raw size, kind, CRC
constexpr uint32_t kCompressed = 0x75465A4C;    // "LZFu"
constexpr uint32_t kUncompressed = 0x414C454D;  // "MELA"
constexpr size_t kDictionarySize = 4096;
// The dictionary's initial content.
constexpr std::string_view kPrebuffer =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";

}  // namespace

std::string DecompressRtf(std::string_view value) {
    if (value.size() < kHeaderSize) return std::string();
    const auto* b = reinterpret_cast<const uint8_t*>(value.data());
    const uint32_t compressedSize = base::Get32(b);
    const uint32_t rawSize = base::Get32(b + 4);
    const uint32_t kind = base::Get32(b + 8);
    if (compressedSize != value.size() - 4) return std::string();
    const std::string_view data = value.substr(kHeaderSize);
    if (kind == kUncompressed) return std::string(data.substr(0, rawSize));
    if (kind != kCompressed) return std::string();

    std::array<char, kDictionarySize> dictionary{};
    std::copy(kPrebuffer.begin(), kPrebuffer.end(), dictionary.begin());
    size_t write = kPrebuffer.size();
    std::string out;
    out.reserve(std::min<size_t>(rawSize, data.size() * 8));
    auto put = [&](char c) {
        out.push_back(c);
        dictionary[write] = c;
        write = (write + 1) % kDictionarySize;
    };
    size_t in = 0;
    while (in < data.size() && out.size() < rawSize) {
        const uint8_t control = uint8_t(data[in++]);
        for (int bit = 0; bit < 8 && in < data.size() && out.size() < rawSize; ++bit) {
            if (!(control & (1 << bit))) {
                put(data[in++]);
                continue;
            }
            if (data.size() - in < 2) return out;
            const unsigned reference = (unsigned(uint8_t(data[in])) << 8) | uint8_t(data[in + 1]);
            in += 2;
            size_t offset = reference >> 4;
            if (offset == write) return out;  // the end
            for (unsigned n = (reference & 0xF) + 2; n > 0 && out.size() < rawSize; --n) {
                put(dictionary[offset]);
                offset = (offset + 1) % kDictionarySize;
            }
        }
    }
    return out;
}

}  // namespace bv::mailstore::mime
