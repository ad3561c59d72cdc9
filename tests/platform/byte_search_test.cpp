// memchr as the programs have it (on Windows our own, 16 bytes at a time): every
// alignment, length and place of the byte, against a plain search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const void* PlainSearch(const unsigned char* p, unsigned char c, size_t n) {
    const unsigned char* end = p + n;
    const unsigned char* at = std::find(p, end, c);
    return at == end ? nullptr : at;
}

TEST(ByteSearch, FindsTheFirstOccurrenceWithinTheRangeOnly) {
    struct Case {
        unsigned char wanted;
        unsigned char filler;
    };
    for (const Case c : {Case{'\n', 'a'}, Case{'\r', '\n'}, Case{0xFF, 0x7F}, Case{0x00, 0x80}}) {
        std::vector<unsigned char> bytes(160, c.filler);
        for (size_t offset = 0; offset < 32; ++offset)
            for (size_t n = 0; offset + n <= 96; ++n) {
                for (size_t at = 0; at <= n + 1 && offset + at < bytes.size(); ++at) {
                    bytes[offset + at] = c.wanted;
                    if (at + 3 < n) bytes[offset + at + 3] = c.wanted;  // a later one is not the answer
                    ASSERT_EQ(std::memchr(bytes.data() + offset, c.wanted, n), PlainSearch(bytes.data() + offset, c.wanted, n))
                        << "offset " << offset << ", length " << n << ", byte at " << at;
                    std::fill(bytes.begin(), bytes.end(), c.filler);
                }
            }
    }
}

}  // namespace
