// Gathers one message's text with spare room, so that appending a line or block
// copies it once and the buffer is enlarged only now and then.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace bv::conversion {

class AppendStrings {
public:
    // Growth step for small buffers, in characters.
    static constexpr size_t kGrowthStep = 10000;

    AppendStrings() = default;

    // Appends `strAdd`. The buffer grows in steps of 10000 characters while it is
    // small and by half its size once it is large, so gathering a message of any
    // size copies each byte a bounded number of times.
    void AddToString(std::string_view strAdd) {
        if (strAdd.empty()) return;
        size_t newUsed = usedBytes + strAdd.size();
        if (newUsed > strBuffer.size()) Grow(newUsed);
        strAdd.copy(strBuffer.data() + usedBytes, strAdd.size());
        usedBytes = newUsed;
    }
    void AddToString(const char* data, size_t size) { AddToString(std::string_view(data, size)); }

    // The gathered text without copying it; valid until the next append or Clear().
    std::string_view View() const { return std::string_view(strBuffer.data(), usedBytes); }
    // The gathered text. The spare room is given up.
    std::string ReturnString() {
        strBuffer.resize(usedBytes);
        return strBuffer;
    }
    // Starts a fresh message; the room stays for the next one.
    void Clear() { usedBytes = 0; }
    size_t size() const { return usedBytes; }
    size_t capacity() const { return strBuffer.size(); }

private:
    void Grow(size_t needed) {
        size_t cap = strBuffer.size();
        while (cap < needed) {
            size_t step = cap / 2 > kGrowthStep ? cap / 2 : kGrowthStep;
            cap += step;
        }
        strBuffer.resize(cap, ' ');
    }

    std::string strBuffer;  // its size is the capacity; the bytes past usedBytes are spare
    size_t usedBytes = 0;   // bytes in use (one byte per character of mailbox text)
};

}  // namespace bv::conversion
