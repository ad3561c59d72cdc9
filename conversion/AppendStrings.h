// Gathers one message's text as the mailbox is read. Appending grows the buffer
// geometrically, so each byte is copied a bounded number of times; a message that
// goes on to a worker is taken out whole, without a copy.
#pragma once
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "mailstore/base/FreeMemory.h"

namespace bv::conversion {

class AppendStrings {
public:
    // The most room a fresh buffer is given ahead: a long message's is not held for
    // the ones after it.
    static constexpr size_t kFreshRoom = size_t(1) << 20;

    void AddToString(std::string_view piece) { AddToString(piece.data(), piece.size()); }
    void AddToString(const char* data, size_t size) {
        const size_t room = text_.capacity();
        text_.append(data, size);
        // A long message's buffer grew through ones of half its size, a quarter...,
        // which the allocator would keep for seconds beside it: they go back now.
        if (text_.capacity() != room && room >= kFreshRoom) mailstore::base::ReturnFreeMemory();
    }

    // The gathered text without copying it; valid until the next change.
    std::string_view View() const { return text_; }
    // Hands the gathered text over, its bytes moved, not copied. The next message
    // starts in a fresh buffer as large as this one, up to kFreshRoom.
    std::string Take() {
        std::string out = std::move(text_);
        text_ = std::string();
        text_.reserve(std::min(out.size(), kFreshRoom));
        return out;
    }
    // Starts a fresh message; the room stays for the next one.
    void Clear() { text_.clear(); }
    size_t size() const { return text_.size(); }

private:
    std::string text_;
};

}  // namespace bv::conversion
